// The lab's options, its reproducible drives, its agreement with the game's frames, the shipped
// course, external controllers, recording, and its tuner.
#include "AveragedFrame.h"
#include "BoardReport.h"
#include "ControllerProcess.h"
#include "DriveFrame.h"
#include "LabDrive.h"
#include "LabOptions.h"
#include "Tuner.h"

#include "TestFiles.h"
#include "TestSurfaces.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>
#include <tuple>

namespace {

namespace fs = std::filesystem;
using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

const std::string shippedCourse = readFile(ROADSIM_DATA_DIR "/courses.txt");
const std::string examples = ROADSIM_SOURCE_DIR "/examples/controllers/";

// The lab program run by the shell in the working directory; its exit status.
int runLab(const std::string& arguments) {
#ifdef _WIN32
    // cmd.exe takes the outer quotes off, and gives back the program's exit code as it is.
    return std::system(("\"\"" ROADSIM_LAB "\" " + arguments + "\"").c_str());
#else
    const int status = std::system((ROADSIM_LAB " " + arguments).c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
}

// A short loop of gentle corners with obstacles on the road, so that layouts and tunings make a
// difference.
const char* const loopCourse =
    "7 octagon 9\n"
    "0 0 0 20\n1 0 200 30\n2 100 300 25\n3 250 300 30\n4 350 200 25\n"
    "5 350 0 30\n6 250 -100 25\n7 100 -100 20\n8 10 -30 15\n"
    "3\n"
    "6 0.8 -4 60 4 140\n"
    "6 -1 340 40 360 160\n"
    "20 -1 -60 -120 400 320\n";

TEST(LabOptions, ReadsEveryOption) {
    LabOptions options;
    std::string error;
    ASSERT_TRUE(parseLabOptions(
        {"my.txt", "--heading", "0.7",   "--track", "0",     "--path", "1",  "--threshold",
         "0.25",   "--avoid",   "0.05",  "--laps",  "3",     "--step", "10", "--seed",
         "42",     "--csv",     "t.csv", "--map",   "m.bmp", "--tune"},
        options, error))
        << error;
    EXPECT_EQ(options.coursePath, "my.txt");
    EXPECT_DOUBLE_EQ(options.tuning.headingGain, 0.7);
    EXPECT_DOUBLE_EQ(options.tuning.trackGain, 0);
    EXPECT_DOUBLE_EQ(options.tuning.pathWeight, 1);
    EXPECT_DOUBLE_EQ(options.tuning.obstacleThreshold, 0.25);
    EXPECT_DOUBLE_EQ(options.tuning.avoidGain, 0.05);
    EXPECT_EQ(options.laps, 3);
    EXPECT_EQ(options.frameMs, 10);
    EXPECT_EQ(options.seed, 42u);
    EXPECT_EQ(options.csvPath, "t.csv");
    EXPECT_EQ(options.mapPath, "m.bmp");
    EXPECT_TRUE(options.tune);

    LabOptions driven;
    ASSERT_TRUE(parseLabOptions({"--controller", "./drive --fast", "--controller-timeout", "0.25",
                                 "--record", "out", "--watch", "--watch-speed", "4"},
                                driven, error))
        << error;
    EXPECT_EQ(driven.controller, "./drive --fast");
    EXPECT_EQ(driven.controllerTimeout, 0.25);
    EXPECT_EQ(driven.recordFolder, "out");
    EXPECT_TRUE(driven.watch);
    EXPECT_EQ(driven.watchSpeed, 4);

    LabOptions made;
    ASSERT_TRUE(parseLabOptions(
        {"--make-course", "7", "new.txt", "--length", "2000", "--sharpness", "30", "--speeds",
         "10,35", "--obstacles", "4.5", "--strength", "-1", "--wobble", "0.8", "--lobes", "3"},
        made, error))
        << error;
    EXPECT_EQ(made.courseSeed, 7u);
    EXPECT_EQ(made.madeCoursePath, "new.txt");
    const CourseKnobs& knobs = made.knobs;
    EXPECT_EQ(std::make_tuple(knobs.lengthFt, knobs.sharpnessDeg, knobs.minSpeed, knobs.maxSpeed),
              std::make_tuple(2000.0, 30.0, 10, 35));
    EXPECT_EQ(std::make_tuple(knobs.groupsPer1000Ft, *knobs.strength, knobs.wobble, knobs.lobes),
              std::make_tuple(4.5, -1.0, 0.8, 3));
}

TEST(LabOptions, DefaultsAreTheGameDefaults) {
    LabOptions options;
    std::string error;
    ASSERT_TRUE(parseLabOptions({}, options, error));
    EXPECT_EQ(options.coursePath, "courses.txt");
    EXPECT_DOUBLE_EQ(options.tuning.headingGain, 0.5);
    EXPECT_DOUBLE_EQ(options.tuning.avoidGain, 0.5);
    EXPECT_EQ(options.laps, 1);
    EXPECT_EQ(options.frameMs, 20);
    EXPECT_FALSE(options.tune);
    EXPECT_EQ(options.controllerTimeout, 1);
    EXPECT_FALSE(options.watch);
    EXPECT_EQ(options.watchSpeed, 1);
}

TEST(LabOptions, RejectsBadValuesWithAMessageNamingThem) {
    // The arguments, and the one the message must name.
    const std::vector<std::pair<std::vector<std::string>, std::string>> bad = {
        {{"--heading", "1.5"}, "--heading"},
        {{"--track", "-0.1"}, "--track"},
        {{"--avoid", "nan"}, "--avoid"},
        {{"--path", "half"}, "--path"},
        {{"--threshold"}, "--threshold"},
        {{"--laps", "0"}, "--laps"},
        {{"--step", "2.5"}, "--step"},
        {{"--seed", "-1"}, "--seed"},
        {{"--speed", "3"}, "--speed"},
        {{"a.txt", "b.txt"}, "b.txt"},
        {{"--heading", "0.5x"}, "0.5x"},
        {{"--laps", "99999999999999999999"}, "--laps"},
        {{"--controller-timeout", "0"}, "--controller-timeout"},
        {{"--watch-speed", "fast"}, "--watch-speed"},
        {{"--record-size", "800x601"}, "--record-size"},
        {{"--record-size", "160"}, "--record-size"},
        {{"--tune", "--controller", "x"}, "--tune"},
        {{"--make-course", "x", "new.txt"}, "--make-course"},
        {{"--make-course", "1"}, "--make-course"},
        {{"--make-course", "1", "new.txt", "--length", "100"}, "--length"},
        {{"--make-course", "1", "new.txt", "--sharpness", "90"}, "--sharpness"},
        {{"--make-course", "1", "new.txt", "--speeds", "40,20"}, "--speeds"},
        {{"--make-course", "1", "new.txt", "--speeds", "20"}, "--speeds"},
        {{"--make-course", "1", "new.txt", "--obstacles", "-1"}, "--obstacles"},
        {{"--make-course", "1", "new.txt", "--strength", "1.5"}, "--strength"},
        {{"--make-course", "1", "new.txt", "--wobble", "2"}, "--wobble"},
        {{"--make-course", "1", "new.txt", "--lobes", "1"}, "--lobes"},
        {{"--make-course", "1", "new.txt", "--map", "m.png"}, "--make-course"},
        {{"--lobes", "3"}, "--make-course"}};
    for (const auto& [args, named] : bad) {
        LabOptions options;
        std::string error;
        EXPECT_FALSE(parseLabOptions(args, options, error)) << named;
        EXPECT_NE(error.find(named), std::string::npos) << error;
    }
}

auto requestFields(const DriveRequest& r) {
    const Tuning& t = r.tuning;
    return std::make_tuple(r.coursePath, t.headingGain, t.trackGain, t.pathWeight,
                           t.obstacleThreshold, t.avoidGain, r.laps, r.frameMs, r.seed,
                           r.controller, r.controllerTimeout, r.recordFolder, r.frameWidth,
                           r.frameHeight, r.imageFolder, r.jsonPath);
}

TEST(LabOptions, DriveRequestGoesToArgumentsAndComesBackTheSame) {
    DriveRequest every;
    every.coursePath = "my courses/a, \"b\".txt";
    every.tuning = {0.1 + 0.2, 0, 1, 1.0 / 3, 0.05};
    every.laps = 7;
    every.frameMs = 13;
    every.seed = 4294967295u;
    every.controller = "python3 'drive it.py' --fast \"x\"";
    every.controllerTimeout = 0.001 * 7;
    every.recordFolder = "rec";
    every.frameWidth = 160;
    every.frameHeight = 120;
    every.imageFolder = "img";
    every.jsonPath = "--json.json";
    DriveRequest autopilot;
    autopilot.jsonPath = "drive.json";
    for (const DriveRequest& request : {DriveRequest(), autopilot, every}) {
        DriveRequest back;
        back.laps = 99;
        std::string error;
        ASSERT_TRUE(parseDriveRequest(driveArguments(request), back, error)) << error;
        EXPECT_EQ(requestFields(back), requestFields(request));
    }
}

TEST(LabDrive, CourseWithFewerThanTwoWaypointsIsRefused) {
    CaptureStderr();
    const LabDrive lab("1 dot 1 0 0 0 20 0", "dot.txt");
    EXPECT_EQ(GetCapturedStderr(), "dot.txt: a course needs at least two waypoints\n");
    EXPECT_FALSE(lab.valid());
}

TEST(LabDrive, MalformedCourseIsRefusedWithTheReadersMessage) {
    CaptureStderr();
    const LabDrive lab("1 broken 2 0 0 0 20 1 0 100 fast", "broken.txt");
    EXPECT_EQ(GetCapturedStderr(), "broken.txt: cannot read waypoint 2\n");
    EXPECT_FALSE(lab.valid());
}

// The same frames, bit for bit.
void expectSameTrace(const DriveResult& a, const DriveResult& b) {
    ASSERT_EQ(a.trace.size(), b.trace.size());
    for (size_t i = 0; i < a.trace.size(); ++i) {
        ASSERT_EQ(a.trace[i].x, b.trace[i].x) << "frame " << i;
        ASSERT_EQ(a.trace[i].y, b.trace[i].y) << "frame " << i;
        ASSERT_EQ(a.trace[i].steering, b.trace[i].steering) << "frame " << i;
        ASSERT_EQ(a.trace[i].speed, b.trace[i].speed) << "frame " << i;
    }
}

TEST(LabDrive, SameSeedAndTuningGiveTheSameFiguresBitForBit) {
    LabDrive lab(loopCourse, "loop");
    ASSERT_TRUE(lab.valid());
    DriveSettings settings;
    settings.laps = 2;
    settings.seed = 7;
    settings.recordTrace = true;
    const DriveResult first = lab.drive(settings);
    const std::vector<CourseObject> firstObstacles = lab.getCourse().getObstacles();
    const DriveResult second = lab.drive(settings);
    ASSERT_TRUE(first.finished());
    ASSERT_EQ(first.laps.size(), 2u);
    expectSameTrace(first, second);
    for (size_t lap = 0; lap < 2; ++lap) {
        EXPECT_EQ(first.laps[lap].seconds, second.laps[lap].seconds);
        EXPECT_EQ(first.laps[lap].obstaclesHit, second.laps[lap].obstaclesHit);
        EXPECT_EQ(first.laps[lap].rmsCrossTrack, second.laps[lap].rmsCrossTrack);
    }
    ASSERT_EQ(firstObstacles.size(), 32u);

    // Drives share nothing: two stepped at once on two threads, drawing their frames from the
    // shipped bitmaps, give the same figures as one alone.
    std::vector<LapFigures> concurrent[2];
    std::vector<std::thread> threads;
    for (std::vector<LapFigures>& laps : concurrent)
        threads.emplace_back([&laps] {
            Drive drive(loopCourse, "loop", ROADSIM_DATA_DIR);
            DriveSpec spec;
            spec.seed = 7;
            spec.laps = 2;
            drive.start(spec, Pixels::atSteps);
            while (!drive.over()) drive.steerByAutopilot();
            laps = drive.getLaps();
        });
    for (std::thread& thread : threads) thread.join();
    for (const std::vector<LapFigures>& laps : concurrent) {
        ASSERT_EQ(laps.size(), 2u);
        for (size_t lap = 0; lap < 2; ++lap) {
            EXPECT_EQ(laps[lap].seconds, first.laps[lap].seconds);
            EXPECT_EQ(laps[lap].rmsCrossTrack, first.laps[lap].rmsCrossTrack);
            EXPECT_EQ(laps[lap].obstaclesHit, first.laps[lap].obstaclesHit);
        }
    }

    settings.seed = 8;
    lab.drive(settings);
    const std::vector<CourseObject>& other = lab.getCourse().getObstacles();
    int moved = 0;
    for (size_t i = 0; i < other.size(); ++i)
        if (other[i].x != firstObstacles[i].x || other[i].y != firstObstacles[i].y) ++moved;
    EXPECT_GT(moved, 16) << "another seed scatters the obstacles anew";
}

TEST(LabDrive, LapFiguresDescribeTheDrive) {
    LabDrive lab(loopCourse, "loop");
    DriveSettings settings;
    settings.laps = 1;
    settings.recordTrace = true;
    const DriveResult result = lab.drive(settings);
    ASSERT_TRUE(result.finished());
    const LapFigures& lap = result.laps[0];
    // About 1300 ft at 15 to 30 mph (22 to 44 ft/s).
    EXPECT_GT(lap.seconds, 15);
    EXPECT_LT(lap.seconds, 60);
    EXPECT_GT(lap.meanSpeed, 10);
    EXPECT_LT(lap.meanSpeed, 31);
    EXPECT_GE(lap.worstCrossTrack, lap.rmsCrossTrack);
    EXPECT_EQ(result.trace.size(), static_cast<size_t>(lap.seconds * 1000 / 20 + 0.5));
    int collisions = 0;
    for (const TraceRow& row : result.trace) collisions += row.collision;
    EXPECT_EQ(collisions, lap.collisionFrames);
    EXPECT_LE(lap.obstaclesHit, lap.collisionFrames);
}

TEST(LabDrive, CarThatCannotFollowTheCourseFailsAtTheLapLimit) {
    LabDrive lab(loopCourse, "loop");
    Tuning blind;
    blind.headingGain = blind.trackGain = blind.pathWeight = 0;  // no path following at all
    DriveSettings settings;
    settings.lapLimitMs = 60000;
    settings.tuning = blind;
    const DriveResult result = lab.drive(settings);
    EXPECT_EQ(result.end, DriveEnd::lapLimit);
    EXPECT_TRUE(result.laps.empty());
}

TEST(LabDrive, LapEndsAtTheRestartEvenWhenTheRestartingStepPassesWaypointOneAgain) {
    // Waypoint 1 lies within 15 ft of the origin: every restart passes it at once, so the
    // waypoint index never falls, yet each step from the last waypoint is a lap.
    LabDrive lab("1 short 2 0 0 0 20 1 0 10 20 0", "short");
    DriveSettings settings;
    settings.laps = 3;
    const DriveResult result = lab.drive(settings);
    ASSERT_TRUE(result.finished());
    for (const LapFigures& lap : result.laps) EXPECT_LE(lap.seconds, 0.1);
}

TEST(LabDrive, ReachesTheSameStateAsTheGamesFramesOfTheSameLength) {
    LabDrive lab(loopCourse, "loop");
    DriveSettings settings;
    settings.recordTrace = true;
    settings.frameMs = 17;
    const DriveResult result = lab.drive(settings);
    ASSERT_TRUE(result.finished());

    // The game's way: a course read from the same text and seed, frames of 17 ms from tick 0.
    ParticleList particles;
    Course course(particles);
    std::istringstream stream(loopCourse);
    ASSERT_TRUE(course.readFile(stream, settings.seed, "loop"));
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    Car car;
    testing::internal::GetCapturedStdout();
    testing::internal::GetCapturedStderr();
    SurfacePtr screen = makeDisplaySurface();
    DriveFrames frames(car, course, particles, 0);
    uint16_t tick = 0;
    for (const TraceRow& row : result.trace) {
        tick = static_cast<uint16_t>(tick + 17);
        frames.run(screen.get(), tick, &autopilotDriver, nullptr);
        const CarState state = car.getState();
        ASSERT_EQ(state.x, row.x) << "at " << row.seconds << " s";
        ASSERT_EQ(state.y, row.y) << "at " << row.seconds << " s";
        ASSERT_EQ(state.heading, row.heading) << "at " << row.seconds << " s";
        ASSERT_EQ(state.waypointIndex, row.waypointIndex) << "at " << row.seconds << " s";
    }
}

// The shipped course and every course of the gallery.
std::vector<fs::path> shippedCourses() {
    std::vector<fs::path> courses;
    for (const auto& entry : fs::directory_iterator(ROADSIM_DATA_DIR "/gallery"))
        courses.push_back(entry.path());
    std::sort(courses.begin(), courses.end());
    courses.insert(courses.begin(), ROADSIM_DATA_DIR "/courses.txt");
    return courses;
}

bool segmentsCross(const CourseObject& a, const CourseObject& b, const CourseObject& c,
                   const CourseObject& d) {
    const auto side = [](const CourseObject& p, const CourseObject& q, const CourseObject& r) {
        return (q.x - p.x) * (r.y - p.y) - (q.y - p.y) * (r.x - p.x) > 0;
    };
    return side(a, b, c) != side(a, b, d) && side(c, d, a) != side(c, d, b);
}

TEST(ShippedCourse, AutopilotDrivesEveryLapInOrderAtTheDefaultTuning) {
    const std::vector<fs::path> courses = shippedCourses();
    EXPECT_GE(courses.size(), 13u) << "the shipped course and a gallery of twelve";
    for (const fs::path& path : courses) {
        SCOPED_TRACE(path.filename().string());
        CaptureStderr();
        LabDrive lab(readFile(path.string()), path.string());
        EXPECT_EQ(GetCapturedStderr(), "") << "the game's reader complains";
        ASSERT_TRUE(lab.valid());
        const std::vector<CourseObject>& w = lab.getCourse().getWaypoints();
        const int32_t waypointCount = static_cast<int32_t>(w.size());
        ASSERT_GE(waypointCount, 10);
        // North from the origin, clockwise, and home from the south.
        EXPECT_EQ(std::make_tuple(w[0].x, w[0].y, w[1].x), std::make_tuple(0.0, 0.0, 0.0));
        EXPECT_GT(
            std::find_if(w.begin(), w.end(), [](const CourseObject& p) { return p.x != 0; })->x, 0);
        EXPECT_LT(std::hypot(w.back().x, w.back().y), 50);
        EXPECT_GT(w.back().y - w[waypointCount - 2].y, 0);
        for (int32_t i = 0; i + 1 < waypointCount; ++i)
            for (int32_t j = i + 2; j + 1 < waypointCount; ++j)
                EXPECT_FALSE(segmentsCross(w[i], w[i + 1], w[j], w[j + 1])) << i << " and " << j;
        if (path.parent_path().filename() == "gallery") {
            EXPECT_EQ(lab.getCourse().getName(), path.stem().string());
        }

        DriveSettings settings;
        settings.laps = 3;
        settings.seed = 20261208;
        settings.recordTrace = true;
        const DriveResult result = lab.drive(settings);
        ASSERT_TRUE(result.finished());
        int32_t previous = 0;
        for (const TraceRow& row : result.trace) {
            // The course restarts at the origin only from the last waypoint.
            if (row.waypointIndex < previous) {
                EXPECT_EQ(previous, waypointCount - 1) << row.seconds;
            } else if (row.waypointIndex > previous) {
                EXPECT_EQ(row.waypointIndex, previous + 1) << row.seconds;
            }
            previous = row.waypointIndex;
        }
        for (const LapFigures& lap : result.laps) {
            std::printf("%s lap: %.2f s, worst cross-track %.2f ft, %d obstacles hit\n",
                        path.stem().string().c_str(), lap.seconds, lap.worstCrossTrack,
                        lap.obstaclesHit);
            EXPECT_LT(lap.worstCrossTrack, 40) << "strays from the segment";
        }
    }
}

TEST(ShippedCourse, GalleryIsRemadeByteForByteAndAnUnmadeCourseFails) {
    const ScratchDirectory scratch;
    // The gallery is made by a POSIX shell script; tests/windows/wine-test.sh compares a course
    // that the Windows build makes with Linux's.
#ifndef _WIN32
    ASSERT_EQ(std::system(ROADSIM_SOURCE_DIR "/tools/gallery/make-gallery.sh " ROADSIM_LAB
                                             " . >made.txt"),
              0);
    for (const fs::path& path : shippedCourses())
        if (path.parent_path().filename() == "gallery") {
            EXPECT_TRUE(readFile(path) == readFile("gallery" / path.filename())) << path;
        }
    EXPECT_EQ(splitLines(readFile("made.txt")).size(), shippedCourses().size() - 1);
#endif

    // The arguments, the status and what the lab says.
    const std::tuple<std::string, int, std::string> cases[] = {
        {"--make-course 3 no/such/folder/new.txt", 1, "cannot write no/such/folder/new.txt"},
        {"--make-course 3 new.txt --length 800 --sharpness 10", 1, "--sharpness 10.0"},
        {"--make-course 3 new.txt --speeds 40,20", 2, "--speeds"},
    };
    for (const auto& [arguments, status, said] : cases) {
        EXPECT_EQ(runLab(arguments + " 2>err.txt"), status) << arguments;
        EXPECT_NE(readFile("err.txt").find(said), std::string::npos) << readFile("err.txt");
        EXPECT_FALSE(fs::exists("new.txt"));
    }
}

// Course, states and end as one scripted controller received them, and the trace of its drive.
struct ScriptedDrive {
    std::vector<std::string> received;
    DriveResult result;
    LabStatus fault;
};

ScriptedDrive driveWith(LabDrive& lab, const std::string& command, DriveSettings settings,
                        const Tuning& tuning = Tuning()) {
    Controller controller(command, 5);
    settings.controller = &controller;
    settings.recordTrace = true;
    ScriptedDrive drive;
    settings.tuning = tuning;
    drive.result = lab.drive(settings);
    drive.fault = controller.fault();
    return drive;
}

TEST(Controller, AutopilotScriptDrivesTheShippedCourseExactlyAsTheBuiltInAutopilot) {
#ifdef _WIN32
    GTEST_SKIP() << "its controller is a Python script, and the Windows tests have no Python";
#endif
    LabDrive lab(shippedCourse, "courses.txt");
    DriveSettings settings;
    settings.laps = 2;
    settings.seed = 7;
    settings.recordTrace = true;
    const DriveResult builtIn = lab.drive(settings);
    const ScriptedDrive external =
        driveWith(lab, "/usr/bin/env python3 " + examples + "autopilot.py", settings);
    ASSERT_EQ(external.fault, LabStatus::done);
    ASSERT_TRUE(builtIn.finished());
    ASSERT_TRUE(external.result.finished());
    for (size_t lap = 0; lap < 2; ++lap) {
        const LapFigures& a = builtIn.laps[lap];
        const LapFigures& b = external.result.laps[lap];
        EXPECT_EQ(a.seconds, b.seconds);
        EXPECT_EQ(a.obstaclesHit, b.obstaclesHit);
        EXPECT_EQ(a.collisionFrames, b.collisionFrames);
        EXPECT_EQ(a.worstCrossTrack, b.worstCrossTrack);
        EXPECT_EQ(a.rmsCrossTrack, b.rmsCrossTrack);
        EXPECT_EQ(a.meanSpeed, b.meanSpeed);
    }
    ASSERT_EQ(builtIn.trace.size(), external.result.trace.size());
    for (size_t i = 0; i < builtIn.trace.size(); ++i) {
        const TraceRow& a = builtIn.trace[i];
        const TraceRow& b = external.result.trace[i];
        ASSERT_TRUE(a.x == b.x && a.y == b.y && a.heading == b.heading && a.speed == b.speed &&
                    a.steering == b.steering && a.obstacleSum == b.obstacleSum)
            << "parted at " << a.seconds << " s";
    }
}

TEST(Controller, ScriptedControllerSeesCourseAndStatesAndIsHeldToTheLimits) {
#ifdef _WIN32
    GTEST_SKIP() << "its controller is a Python script, and the Windows tests have no Python";
#endif
    const ScratchDirectory scratch;
    // Asks for far too much to the right and too fast, then far too much to the left and
    // backwards.
    std::ofstream("scripted.py") << "import json, sys\n"
                                    "log = open('received.jsonl', 'w')\n"
                                    "for line in sys.stdin:\n"
                                    "    log.write(line); log.flush()\n"
                                    "    m = json.loads(line)\n"
                                    "    if m['type'] == 'state':\n"
                                    "        early = m['t'] < 1.5\n"
                                    "        print(json.dumps({'steering': 90 if early else -90,\n"
                                    "              'speed': 100 if early else -5, 'note': 1}),\n"
                                    "              flush=True)\n";
    LabDrive lab(loopCourse, "loop");
    DriveSettings settings;
    settings.lapLimitMs = 4000;
    const ScriptedDrive drive = driveWith(lab, "/usr/bin/env python3 scripted.py", settings);
    EXPECT_EQ(drive.fault, LabStatus::done);
    EXPECT_EQ(drive.result.end, DriveEnd::lapLimit);

    const std::vector<std::string> received = splitLines(readFile("received.jsonl"));
    ASSERT_GT(received.size(), 60u);
    EXPECT_EQ(received.front().rfind(R"({"name":"octagon","obstacles":[{"strength":)", 0), 0u)
        << received.front();
    EXPECT_NE(
        received.front().find(
            R"("step_ms":50,"type":"course","waypoints":[{"speed":20.0,"x":0.0,"y":0.0},{"speed":30.0,"x":0.0,"y":200.0})"),
        std::string::npos)
        << received.front();
    EXPECT_EQ(received.back(), R"({"type":"end"})");

    // Each state as the trace shows the car at that moment, and each step within the bounds.
    double steering = 0, speed = 0, t = 0;
    size_t frame = 0;
    for (size_t i = 1; i + 1 < received.size(); ++i) {
        const std::string& state = received[i];
        EXPECT_NE(state.find(R"("type":"state")"), std::string::npos) << state;
        const auto number = [&](const std::string& key) {
            const size_t at = state.find("\"" + key + "\":");
            return std::strtod(state.c_str() + at + key.size() + 3, nullptr);
        };
        const double expectedSteering =
            std::clamp(t < 1.5 ? steering + 7.5 : steering - 7.5, -45.0, 45.0);
        const double expectedSpeed = std::clamp(t < 1.5 ? speed + 1 : speed - 1, 0.0, 60.0);
        if (i > 1) {
            EXPECT_EQ(number("steering"), expectedSteering) << state;
            EXPECT_EQ(number("speed"), expectedSpeed) << state;
        }
        steering = number("steering");
        speed = number("speed");
        t = number("t");
        while (frame < drive.result.trace.size() && drive.result.trace[frame].seconds < t) ++frame;
        ASSERT_LT(frame, drive.result.trace.size());
        EXPECT_EQ(number("x"), drive.result.trace[frame].x) << "17 digits read back exactly";
        EXPECT_EQ(number("heading"), drive.result.trace[frame].heading);
    }
    EXPECT_EQ(steering, -45);
    EXPECT_EQ(speed, 0);
}

TEST(Controller, EveryFailureEndsWithItsOwnStatusAndFilesCompleteUpToThatStep) {
    const ScratchDirectory scratch;
    std::ofstream("loop.txt") << loopCourse;
    const std::string twoReplies =
        "read course\nfor i in 1 2; do read state; echo '{\"steering\": 0, \"speed\": 5}'; done\n";
    std::ofstream("exits.sh") << twoReplies;
    std::ofstream("garbage.sh") << twoReplies << "read state\necho 'steering=0 speed=5'\n";
    std::ofstream("slow.sh") << twoReplies << "read state\nsleep 30\n";
    std::ofstream("flood.sh") << twoReplies << "read state\nyes x | tr -d '\\n'\n";
    std::ofstream("deaf.sh") << "read course\nread state\necho '{\"steering\": 0, \"speed\": 5}'\n"
                                "read state\nexec 0<&-\necho '{\"steering\": 0, \"speed\": 5}'\n"
                                "sleep 30\n";
    std::ofstream("killed.sh") << twoReplies << "read state\nkill -9 $$\n";
    std::ofstream("half.sh") << twoReplies << "read state\nprintf '{\"steering\": 0, \"sp'\n";
    // It leaves a child of its own behind when the drive ends.
    std::ofstream("stays.sh") << "sleep 300 &\necho $! >child.pid\nexec /usr/bin/env python3 "
                              << examples << "autopilot.py\n";
    // So many obstacles that the course message overflows the pipe.
    std::ofstream("crowded.txt") << "1 crowded 3\n0 0 0 20\n1 0 200 20\n2 10 -30 15\n"
                                 << "1\n5000 0.1 100 100 400 400\n";
    fs::create_directory("full");
    std::ofstream("full/keep.txt") << "mine";
    // Windows has no POSIX shell: there the test controller acts each script out.
#ifdef _WIN32
    fs::copy_file(ROADSIM_TEST_CONTROLLER, "controller.exe");
    const auto acting = [](const std::string& how) { return "\"controller.exe " + how + "\""; };
#else
    const auto acting = [](const std::string& how) { return "'sh " + how + ".sh'"; };
#endif
    struct Case {
        std::string arguments;
        int status;
        std::string said;
        int rows;  // in the log; -1: no log at all
        std::string course = "loop.txt";
    };
    const Case cases[] = {
        {"--controller ./no-such-controller --record rec", 4, "could not run it", 0},
        {"--controller " + acting("exits") + " --record rec", 5,
         "at step 3: it exited with status 0", 2},
        {"--controller " + acting("garbage") + " --record rec", 6,
         "at step 3: expected a JSON object", 2},
        {"--controller " + acting("slow") + " --controller-timeout 1 --record rec", 7,
         "at step 3: no reply within 1000 ms", 2},
        {"--record full", 1, "refusing to record into full: it is not empty", -1},
        {"--controller " + acting("flood") + " --controller-timeout 5 --record rec", 6,
         "at step 3: a reply line longer than 1048576 bytes, beginning: xxx", 2},
        {"--controller " + acting("half") + " --record rec", 5,
         "at step 3: it exited with status 0 after sending: {\"steering\": 0, \"sp", 2},
#ifdef _WIN32
        // cmd.exe keeps its own copy of the controller's input open, so that closing it is found
        // out by the timeout.
        {"--controller " + acting("deaf") + " --controller-timeout 1 --record rec", 7,
         "at step 3: no reply within 1000 ms", 2},
        {"--controller " + acting("killed") + " --record rec", 5,
         "at step 3: it ended with exception 0xC0000005", 2},
        {"--controller " + acting("asleep") + " --controller-timeout 0.3 --record rec", 7,
         "before the first step: it did not read its input within 300 ms", 0, "crowded.txt"},
#else
        {"--controller " + acting("deaf") + " --controller-timeout 5 --record rec", 5,
         "at step 3: it closed its input", 2},
        {"--controller " + acting("killed") + " --record rec", 5,
         "at step 3: it was ended by signal 9", 2},
        {"--controller 'sleep 30' --controller-timeout 0.3 --record rec", 7,
         "before the first step: it did not read its input within 300 ms", 0, "crowded.txt"},
        // Which handles go along, and children left behind: on Windows the job object ends the
        // controller's own processes, which tests/windows/wine-test.sh looks for.
        {"--controller 'ls /proc/self/fd >fds.txt; sh exits.sh' --record rec", 5,
         "at step 3: it exited with status 0", 2},
        {"--controller 'sh stays.sh'", 0, "", -1},
#endif
    };
    for (const Case& c : cases) {
        for (const char* output : {"rec", "trace.csv", "map.png"}) fs::remove_all(output);
        const int status = runLab(c.course + " --csv trace.csv --map map.png " + c.arguments +
                                  " >out.txt 2>err.txt");
        const std::string said = readFile("err.txt");
        EXPECT_EQ(status, c.status) << c.arguments << ": " << said;
        EXPECT_NE(said.find(c.said), std::string::npos) << said;
        if (c.rows < 0) continue;
        const std::string log = readFile("rec/driving_log.csv");
        EXPECT_EQ(splitLines(log).size(), c.rows + 1u) << c.arguments;
        EXPECT_EQ(log.back(), '\n');
        for (int step = 1; step <= c.rows; ++step)
            EXPECT_TRUE(fs::exists("rec/frames/00000" + std::to_string(step) + ".png"));
        // A controller that cannot start may be found out before the first frame.
        EXPECT_GT(splitLines(readFile("trace.csv")).size(), c.rows == 0 ? 0u : 1u)
            << c.arguments << ": the trace up to the failure";
        EXPECT_EQ(readFile("map.png").compare(0, 8, "\x89PNG\r\n\x1a\n"), 0) << "the map as PNG";
    }
    EXPECT_EQ(readFile("full/keep.txt"), "mine");
#ifndef _WIN32
    // ls itself holds one more: its listing of the folder.
    EXPECT_EQ(readFile("fds.txt"), "0\n1\n2\n3\n") << "only the standard streams go along";
    const std::string child =
        "/proc/" + readFile("child.pid").substr(0, readFile("child.pid").size() - 1);
    EXPECT_TRUE(!fs::exists(child) || readFile(child + "/stat").find(") Z ") != std::string::npos)
        << "the controller's own child outlived the drive";

    // A drive that the board ends at its deadline goes with its controller, even one that ignores
    // both its input and the polite signal.
    std::ofstream("stubborn.sh") << "trap '' TERM\necho $$ >stubborn.pid\nexec sleep 300\n";
    {
        ControllerProcess drive;
        std::string why;
        ASSERT_TRUE(drive.start({ROADSIM_LAB, "loop.txt", "--controller", "sh stubborn.sh"},
                                "drive.err", why))
            << why;
        for (int wait = 0; wait < 500 && readFile("stubborn.pid").empty(); ++wait) usleep(10000);
        drive.stop();
    }
    const std::string stubborn =
        "/proc/" + readFile("stubborn.pid").substr(0, readFile("stubborn.pid").size() - 1);
    usleep(100000);
    EXPECT_TRUE(!fs::exists(stubborn) ||
                readFile(stubborn + "/stat").find(") Z ") != std::string::npos)
        << "the controller outlived its drive";
#endif
}

TEST(Recording, EveryStepGivesTheGamesFrameAsPngAndALogRowEqualToTheTrace) {
    LabDrive lab(loopCourse, "loop", ROADSIM_DATA_DIR);
    DriveSettings settings;
    settings.recordTrace = true;
    settings.lapLimitMs = 3000;
    const DriveResult unrecorded = lab.drive(settings);
    // The whole frame, and one averaged down to the size a model learns from.
    for (const auto& [width, height] : {std::pair{800, 600}, std::pair{160, 120}}) {
        const ScratchDirectory scratch;
        Recorder recorder("rec", width, height);
        std::string error;
        ASSERT_TRUE(recorder.open(error)) << error;
        settings.recorder = &recorder;
        const DriveResult result = lab.drive(settings);
        ASSERT_TRUE(recorder.close());
        expectSameTrace(result, unrecorded);

        const std::vector<std::string> rows = splitLines(readFile("rec/driving_log.csv"));
        ASSERT_EQ(rows.front(),
                  "image,t,x,y,heading,speed,steering,waypoint,cross_track,heading_error,"
                  "obstacle_sum,steering_cmd,speed_cmd,expert_steering,expert_speed");
        // A step every 50 ms on average, the first after 60 ms.
        ASSERT_EQ(rows.size() - 1, 59u);
        size_t frame = 0;
        for (size_t i = 1; i < rows.size(); ++i) {
            std::istringstream row(rows[i]);
            std::string image;
            std::getline(row, image, ',');
            char comma;
            double t, x, y, heading, speed, steering, waypoint, crossTrack, error, sum, steeringCmd,
                speedCmd, expertSteering, expertSpeed;
            row >> t >> comma >> x >> comma >> y >> comma >> heading >> comma >> speed >> comma >>
                steering >> comma >> waypoint >> comma >> crossTrack >> comma >> error >> comma >>
                sum >> comma >> steeringCmd >> comma >> speedCmd >> comma >> expertSteering >>
                comma >> expertSpeed;
            ASSERT_TRUE(row) << rows[i];
            char expected[32];
            std::snprintf(expected, sizeof expected, "frames/%06zu.png", i);
            EXPECT_EQ(image, expected);
            while (result.trace[frame].seconds < t) ++frame;
            const TraceRow& traced = result.trace[frame];
            EXPECT_EQ(x, traced.x) << rows[i];
            EXPECT_EQ(heading, traced.heading) << rows[i];
            EXPECT_EQ(steeringCmd, traced.steering)
                << "the autopilot's choice is the frame's steering";
            EXPECT_EQ(speedCmd, traced.speed);
            EXPECT_EQ(expertSteering, steeringCmd) << "the autopilot drives: it is the expert";
            EXPECT_EQ(expertSpeed, speedCmd);
        }
        // The size, 8 bits per channel, RGB: the header of every frame.
        const unsigned char header[] = {0x89,
                                        'P',
                                        'N',
                                        'G',
                                        '\r',
                                        '\n',
                                        0x1a,
                                        '\n',
                                        0,
                                        0,
                                        0,
                                        13,
                                        'I',
                                        'H',
                                        'D',
                                        'R',
                                        0,
                                        0,
                                        static_cast<unsigned char>(width >> 8),
                                        static_cast<unsigned char>(width),
                                        0,
                                        0,
                                        static_cast<unsigned char>(height >> 8),
                                        static_cast<unsigned char>(height),
                                        8,
                                        2};
        std::vector<fs::path> frames;
        for (const auto& entry : fs::directory_iterator("rec/frames"))
            frames.push_back(entry.path());
        EXPECT_EQ(frames.size(), rows.size() - 1);
        for (const fs::path& path : frames) {
            const std::string bytes = readFile(path.string());
            ASSERT_GE(bytes.size(), sizeof header);
            EXPECT_EQ(std::memcmp(bytes.data(), header, sizeof header), 0) << path;
        }
    }
}

// The display's frames shrunk by whole factors are averaged in integers; the same pixels in 8-bit
// channels take the single-precision sums, and must give the same bytes.
TEST(Recording, FramesAveragedInIntegersEqualTheSingleFloatSums) {
    const SurfacePtr display = makeDisplaySurface();
    const SurfacePtr wide(
        SDL_CreateRGBSurface(SDL_SWSURFACE, 800, 600, 32, 0xFF0000, 0xFF00, 0xFF, 0));
    uint32_t state = 12345;
    for (int frame = 0; frame < 4; ++frame) {
        for (int y = 0; y < 600; ++y)
            for (int x = 0; x < 800; ++x) {
                state = state * 1664525u + 1013904223u;
                // Noise, then the extremes of every channel, which lie furthest from the middle.
                const uint16_t pixel =
                    frame < 2 ? state >> 16 : static_cast<uint16_t>(frame == 2 ? 0xFFFF : 0xF81F);
                static_cast<uint16_t*>(display->pixels)[y * display->pitch / 2 + x] = pixel;
                static_cast<uint32_t*>(wide->pixels)[y * wide->pitch / 4 + x] =
                    (pixel >> 11) << 19 | ((pixel >> 5) & 0x3F) << 10 | (pixel & 0x1F) << 3;
            }
        for (const auto& [width, height] :
             {std::pair{80, 60}, std::pair{160, 120}, std::pair{32, 24}, std::pair{400, 300}})
            EXPECT_EQ(averagedFrame(display.get(), width, height),
                      averagedFrame(wide.get(), width, height))
                << width << "x" << height << ", frame " << frame;
    }
}

TEST(Recording, DiskFullStopsAtThatStepWithTheLogListingOnlyWholeFrames) {
#ifdef _WIN32
    GTEST_SKIP() << "a small file system of its own is made here with Linux's mount namespaces";
#else
    const ScratchDirectory scratch;
    std::ofstream("loop.txt") << loopCourse;
    fs::create_directory("rec");
    // A file system of 3 MB of its own, in a mount namespace of the lab's own: some frames fit.
    // A root that is no mount point (a chroot) cannot make one private.
    const std::string namespaceFlags = geteuid() == 0 ? "-m" : "-rm";
    const int status = std::system(
        ("unshare " + namespaceFlags +
         " sh -c 'mount -t tmpfs -o size=3m tmpfs rec && touch mounted && " + ROADSIM_LAB +
         " loop.txt --record rec 2>err.txt; s=$?; cp -r rec kept; exit $s' 2>/dev/null")
            .c_str());
    if (!fs::exists("mounted")) GTEST_SKIP() << "no private mount namespace with a tmpfs here";
    EXPECT_EQ(WEXITSTATUS(status), 1);
    const std::vector<std::string> rows = splitLines(readFile("kept/driving_log.csv"));
    ASSERT_GT(rows.size(), 2u) << "a few frames fit";
    const std::string said = readFile("err.txt");
    EXPECT_NE(said.find("recording stopped at step " + std::to_string(rows.size()) +
                        ": cannot write rec/frames/"),
              std::string::npos)
        << said;
    EXPECT_NE(said.find("No space left on device"), std::string::npos) << said;
    size_t frames = 0;
    for (const auto& entry : fs::directory_iterator("kept/frames")) {
        ++frames;
        const std::string png = readFile(entry.path().string());
        EXPECT_EQ(png.substr(png.size() - 8, 4), "IEND") << entry.path() << " is cut short";
    }
    EXPECT_EQ(frames, rows.size() - 1) << "the log lists exactly the frames on disk";
#endif
}

// An element of a page, with all the text inside it and its child elements.
struct Element {
    std::string tag, text;
    std::vector<Element> children;
    std::vector<const Element*> all(const std::string& tag) const {
        std::vector<const Element*> found;
        for (const Element& child : children) {
            if (child.tag == tag) found.push_back(&child);
            const std::vector<const Element*> inside = child.all(tag);
            found.insert(found.end(), inside.begin(), inside.end());
        }
        return found;
    }
};

// Reads a page's elements; false when one is closed out of order or left open.
bool parseHtml(const std::string& html, Element& root) {
    std::vector<Element*> open = {&root};
    for (size_t i = 0; i < html.size();) {
        const size_t start = html.find('<', i);
        for (Element* element : open) element->text += html.substr(i, start - i);
        if (start == std::string::npos) break;
        const size_t end = html.find('>', start);
        if (end == std::string::npos) return false;
        const std::string tag = html.substr(start + 1, end - start - 1);
        i = end + 1;
        if (tag[0] == '/' && (open.size() < 2 || open.back()->tag != tag.substr(1))) return false;
        if (tag[0] == '/') open.pop_back();
        if (tag[0] == '/' || tag[0] == '!') continue;
        open.back()->children.push_back({tag.substr(0, tag.find_first_of(" /")), "", {}});
        if (open.back()->children.back().tag != "meta" && tag.back() != '/')
            open.push_back(&open.back()->children.back());
    }
    return open.size() == 1;
}

TEST(Board, RanksDriversWithTheFiguresOfSingleDrivesWhateverTheWorkersAndRendersItsPage) {
#ifdef _WIN32
    GTEST_SKIP() << "its driver is a shell script; tests/windows/wine-test.sh compares the Windows "
                    "board's results with Linux's";
#endif
    const ScratchDirectory scratch;
    fs::create_directory("courses");
    std::ofstream("courses/loop.txt") << loopCourse;
    std::ofstream("courses/meadow.txt") << shippedCourse;
    std::ofstream("exits.sh")
        << "read course\nread state\necho '{\"steering\": 0, \"speed\": 5}'\n";
    // A name that a CSV reader takes apart unless it is quoted.
    const std::string board = "--board courses --driver 'quit, \"now\"=sh exits.sh' --seeds 1,2 ";
    ASSERT_EQ(runLab(board + "--jobs 2 --report rep >out.txt"), 0) << readFile("out.txt");
    ASSERT_EQ(runLab(board + "--jobs 1 --report one >/dev/null"), 0);
    const std::string results = readFile("rep/results.csv");
    EXPECT_EQ(results, readFile("one/results.csv")) << "the figures depend on the workers";

    // A driver that fails everywhere ranks last and the rest drives on.
    const std::vector<std::string> rows = splitLines(results);
    ASSERT_EQ(rows.size(), 9u) << results;
    EXPECT_EQ(rows[0],
              "driver,course,seed,laps,mean_lap_s,worst_cross_track_ft,rms_cross_track_ft,hits,"
              "failure");
    EXPECT_EQ(rows[6], "\"quit, \"\"now\"\"\",octagon,2,0,,0,0,0,controller exited");
    EXPECT_NE(readFile("out.txt").find("2    quit, \"now\""), std::string::npos)
        << readFile("out.txt");
    EXPECT_NE(readFile("rep/results.json").find("at step 2: it exited with status 0"),
              std::string::npos)
        << "the controller's fault in the drive's own words";
    LabDrive lab(loopCourse, "loop");
    DriveSettings settings;
    settings.seed = 2;
    const LapFigures lap = lab.drive(settings).laps.at(0);
    std::ostringstream single;
    single.precision(17);
    single << "autopilot,octagon,2,1," << lap.seconds << ',' << lap.worstCrossTrack << ','
           << lap.rmsCrossTrack << ',' << lap.obstaclesHit << ',';
    EXPECT_EQ(rows[2], single.str());
    // A drive's JSON holds each waypoint with its target speed: a teacher works from it.
    ASSERT_EQ(runLab("courses/loop.txt --laps 1 --json drive.json >/dev/null"), 0);
    EXPECT_NE(readFile("drive.json").find(R"("waypoints":[[0.0,0.0,20.0],[0.0,200.0,30.0],)"),
              std::string::npos)
        << readFile("drive.json").substr(0, 300);

    // The page: the ranking in order, then for each course its name, a map with the road, the
    // autopilot's path and a table of its drives.
    Element page;
    ASSERT_TRUE(parseHtml(readFile("rep/index.html"), page)) << "a tag closed out of order";
    const Element* body = page.all("body").at(0);
    const std::vector<const Element*> ranking = body->children.at(2).all("tr");
    ASSERT_EQ(ranking.size(), 3u);
    EXPECT_EQ(ranking[1]->text.substr(0, 10), "1autopilot");
    EXPECT_EQ(ranking[2]->text.substr(0, 23), "2quit, &quot;now&quot;0");
    const std::vector<const Element*> figures = body->all("figure");
    ASSERT_EQ(figures.size(), 2u);
    for (const Element* figure : figures) {
        EXPECT_NE(figure->children.at(0).text, "");
        const Element& map = figure->children.at(1);
        EXPECT_EQ(map.tag, "svg");
        EXPECT_EQ(map.all("polygon").size(), 1u) << "the road";
        EXPECT_EQ(map.all("polyline").size(), 2u) << "both drivers' paths";
        EXPECT_EQ(figure->all("tr").size(), 5u) << "two drivers on two seeds";
    }
    EXPECT_EQ(figures[0]->children[0].text, "octagon");
}

// A drive of the board with laps of these seconds, RMS cross-track and frames.
BoardDrive boardDrive(size_t driver, const std::vector<std::array<double, 3>>& laps,
                      const std::string& failure = "") {
    BoardDrive drive;
    drive.driver = driver;
    drive.failure = failure;
    drive.reported = true;
    for (const auto& [seconds, rms, frames] : laps)
        drive.report.laps.push_back({seconds, 1, 0, rms, rms, 0, static_cast<int64_t>(frames)});
    return drive;
}

TEST(Board, StandingsWeighTheRmsByFramesAndRankFinishedDrivesFirstWithTiesInOrder) {
    // 1 ft over 300 frames and 3 ft over 100: sqrt((300 + 900) / 400), not the mean of 2 ft.
    const BoardFigures weighted =
        summarise(boardDrive(0, {{10, 1, 300}, {20, 3, 100}}).report.laps);
    EXPECT_DOUBLE_EQ(weighted.rms, std::sqrt(3.0));
    EXPECT_EQ(std::make_tuple(weighted.laps, weighted.meanLap, weighted.worst, weighted.hits),
              std::make_tuple(2, 15.0, 3.0, 2));
    const std::vector<BoardDrive> drives = {
        boardDrive(0, {}, "controller exited"), boardDrive(0, {}, "bad reply"),
        boardDrive(1, {{60, 2, 3000}}), boardDrive(1, {{60, 2, 3000}}),
        boardDrive(2, {{50, 2, 2500}}), boardDrive(2, {{50, 2, 2500}}),
        boardDrive(3, {{60, 2, 3000}}), boardDrive(3, {{60, 2, 3000}}),
        // Faster, but one drive strayed after a lap.
        boardDrive(4, {{30, 1, 1500}}), boardDrive(4, {{30, 1, 1500}}, "strayed")};
    const std::vector<Standing> standings = rankDrivers(5, drives);
    std::vector<std::tuple<size_t, int, int>> ranked;  // driver, drives finished, laps
    for (const Standing& s : standings) ranked.emplace_back(s.driver, s.finished, s.total.laps);
    EXPECT_EQ(ranked, (std::vector<std::tuple<size_t, int, int>>{
                          {2, 2, 2}, {1, 2, 2}, {3, 2, 2}, {4, 1, 2}, {0, 0, 0}}));
}

TEST(Board, CsvFieldsAreQuotedOnlyWhereAReaderWouldSplitThem) {
    const std::pair<std::string, std::string> fields[] = {
        {"autopilot", "autopilot"},
        {"", ""},
        {"fast, \"safe\"", "\"fast, \"\"safe\"\"\""},
        {"two\nlines", "\"two\nlines\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"a;b c", "a;b c"}};
    for (const auto& [text, field] : fields) EXPECT_EQ(csvField(text), field) << text;
}

TEST(Tuner, GridTuningIsWhatTheKeysReach) {
    GridTuning grid;
    grid.steps[0] = 10;
    grid.steps[1] = -11;
    grid.steps[3] = 2;
    const Tuning tuning = toTuning(grid);
    EXPECT_EQ(tuning.headingGain, 1.0);
    EXPECT_EQ(tuning.trackGain, 0.0);
    EXPECT_EQ(tuning.pathWeight, 0.5);
    EXPECT_DOUBLE_EQ(tuning.obstacleThreshold, 0.6);
    EXPECT_EQ(keyPresses(grid), "a x10, x x11, f x2");
    EXPECT_EQ(keyPresses(GridTuning()), "none");
    const GridTuning back = toGrid(toTuning(grid));
    EXPECT_EQ(back.steps[0], 10);
    EXPECT_EQ(back.steps[1], -10);
    EXPECT_EQ(back.steps[3], 2);
}

TEST(Tuner, NeverReturnsATuningWorseThanItsStart) {
    LabDrive lab(loopCourse, "loop");
    const std::vector<unsigned> seeds = {1, 2};
    GridTuning start;
    start.steps[2] = -6;  // path 0.2: a poor start, so the search has room to work
    int reports = 0;
    const TuneResult result = tune(lab, start, seeds, 20, [&](const TuneResult&) { ++reports; });
    EXPECT_LE(result.bestScore.value, result.startScore.value);
    const Score again = scoreTuning(lab, toTuning(result.best), seeds, 20);
    EXPECT_EQ(again.value, result.bestScore.value) << "the reported score is reproducible";
    EXPECT_GE(reports, 1);
    EXPECT_GT(result.evaluations, 10);
}

}  // namespace
