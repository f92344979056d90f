// External controllers: the example autopilot drives as the built-in one, a scripted one sees the
// course and states and is held to the limits, and every failure ends with its own status.
#include "ControllerProcess.h"
#include "LabDrive.h"

#include "LabTestSupport.h"
#include "TestFiles.h"
#include "TestSurfaces.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <unistd.h>
#endif
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

const std::string examples = ROADSIM_SOURCE_DIR "/examples/controllers/";

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
    // Gone or a zombie, given a loaded machine two seconds to deliver the kill.
    const auto ended = [](const std::string& pidFile) {
        const std::string pid = readFile(pidFile);
        const std::string process = "/proc/" + pid.substr(0, pid.size() - 1);
        for (int wait = 0; wait < 200 && fs::exists(process); ++wait) {
            if (readFile(process + "/stat").find(") Z ") != std::string::npos) return true;
            usleep(10000);
        }
        return !fs::exists(process);
    };
    EXPECT_TRUE(ended("child.pid")) << "the controller's own child outlived the drive";

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
    EXPECT_TRUE(ended("stubborn.pid")) << "the controller outlived its drive";
#endif
}

}  // namespace
