// The lab's options, its reproducible drives, its agreement with the game's frames, and its tuner.
#include "DriveFrame.h"
#include "LabDrive.h"
#include "LabOptions.h"
#include "Tuner.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace {

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

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
    EXPECT_DOUBLE_EQ(options.tuning.heading, 0.7);
    EXPECT_DOUBLE_EQ(options.tuning.track, 0);
    EXPECT_DOUBLE_EQ(options.tuning.path, 1);
    EXPECT_DOUBLE_EQ(options.tuning.threshold, 0.25);
    EXPECT_DOUBLE_EQ(options.tuning.avoid, 0.05);
    EXPECT_EQ(options.laps, 3);
    EXPECT_EQ(options.stepMs, 10);
    EXPECT_EQ(options.seed, 42u);
    EXPECT_EQ(options.csvPath, "t.csv");
    EXPECT_EQ(options.mapPath, "m.bmp");
    EXPECT_TRUE(options.tune);
}

TEST(LabOptions, DefaultsAreTheGameDefaults) {
    LabOptions options;
    std::string error;
    ASSERT_TRUE(parseLabOptions({}, options, error));
    EXPECT_EQ(options.coursePath, "courses.txt");
    EXPECT_DOUBLE_EQ(options.tuning.heading, 0.5);
    EXPECT_DOUBLE_EQ(options.tuning.avoid, 0.5);
    EXPECT_EQ(options.laps, 1);
    EXPECT_EQ(options.stepMs, 20);
    EXPECT_FALSE(options.tune);
}

TEST(LabOptions, RejectsBadValuesWithAMessageNamingThem) {
    // The arguments, and the one the message must name.
    const std::vector<std::pair<std::vector<std::string>, std::string>> bad = {
        {{"--heading", "1.5"}, "--heading"}, {{"--track", "-0.1"}, "--track"},
        {{"--avoid", "nan"}, "--avoid"},     {{"--path", "half"}, "--path"},
        {{"--threshold"}, "--threshold"},    {{"--laps", "0"}, "--laps"},
        {{"--step", "2.5"}, "--step"},       {{"--seed", "-1"}, "--seed"},
        {{"--speed", "3"}, "--speed"},       {{"a.txt", "b.txt"}, "b.txt"},
        {{"--heading", "0.5x"}, "0.5x"},     {{"--laps", "99999999999999999999"}, "--laps"}};
    for (const auto& [args, named] : bad) {
        LabOptions options;
        std::string error;
        EXPECT_FALSE(parseLabOptions(args, options, error)) << named;
        EXPECT_NE(error.find(named), std::string::npos) << error;
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

TEST(LabDrive, SameSeedAndTuningGiveTheSameFiguresBitForBit) {
    LabDrive lab(loopCourse, "loop");
    ASSERT_TRUE(lab.valid());
    DriveSettings settings;
    settings.laps = 2;
    settings.seed = 7;
    settings.recordTrace = true;
    const DriveResult first = lab.drive(Tuning(), settings);
    const std::vector<CourseObject> firstObstacles = lab.getCourse().getObstacles();
    const DriveResult second = lab.drive(Tuning(), settings);
    ASSERT_TRUE(first.finished);
    ASSERT_EQ(first.laps.size(), 2u);
    ASSERT_EQ(first.trace.size(), second.trace.size());
    for (size_t i = 0; i < first.trace.size(); ++i) {
        ASSERT_EQ(first.trace[i].x, second.trace[i].x) << "frame " << i;
        ASSERT_EQ(first.trace[i].y, second.trace[i].y) << "frame " << i;
        ASSERT_EQ(first.trace[i].steering, second.trace[i].steering) << "frame " << i;
    }
    for (size_t lap = 0; lap < 2; ++lap) {
        EXPECT_EQ(first.laps[lap].seconds, second.laps[lap].seconds);
        EXPECT_EQ(first.laps[lap].obstaclesHit, second.laps[lap].obstaclesHit);
        EXPECT_EQ(first.laps[lap].rmsCrossTrack, second.laps[lap].rmsCrossTrack);
    }
    ASSERT_EQ(firstObstacles.size(), 32u);

    settings.seed = 8;
    lab.drive(Tuning(), settings);
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
    const DriveResult result = lab.drive(Tuning(), settings);
    ASSERT_TRUE(result.finished);
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
    blind.heading = blind.track = blind.path = 0;  // no path following at all
    DriveSettings settings;
    settings.lapLimitMs = 60000;
    const DriveResult result = lab.drive(blind, settings);
    EXPECT_FALSE(result.finished);
    EXPECT_TRUE(result.laps.empty());
}

TEST(LabDrive, ReachesTheSameStateAsTheGamesFramesOfTheSameLength) {
    LabDrive lab(loopCourse, "loop");
    DriveSettings settings;
    settings.recordTrace = true;
    settings.stepMs = 17;
    const DriveResult result = lab.drive(Tuning(), settings);
    ASSERT_TRUE(result.finished);

    // The game's way: a course read from the same text and seed, frames of 17 ms from tick 0.
    ParticleList particles;
    Course course(particles);
    std::istringstream stream(loopCourse);
    int leading = 0;
    stream >> leading;
    ASSERT_TRUE(course.read(stream, settings.seed, "loop"));
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    Car car;
    testing::internal::GetCapturedStdout();
    testing::internal::GetCapturedStderr();
    SurfacePtr screen = makeDisplaySurface();
    DriveClock clock(0);
    uint16_t tick = 0;
    for (const TraceRow& row : result.trace) {
        tick = static_cast<uint16_t>(tick + 17);
        const uint16_t dt = clock.tick(tick);
        advanceFrame(car, course, clock, dt, true);
        composeFrame(screen.get(), car, course, particles, dt);
        const CarState state = car.getState();
        ASSERT_EQ(state.x, row.x) << "at " << row.seconds << " s";
        ASSERT_EQ(state.y, row.y) << "at " << row.seconds << " s";
        ASSERT_EQ(state.heading, row.heading) << "at " << row.seconds << " s";
        ASSERT_EQ(state.waypointIndex, row.waypointIndex) << "at " << row.seconds << " s";
    }
}

TEST(Tuner, GridTuningIsWhatTheKeysReach) {
    GridTuning grid;
    grid.steps[0] = 10;
    grid.steps[1] = -11;
    grid.steps[3] = 2;
    const Tuning tuning = toTuning(grid);
    EXPECT_EQ(tuning.heading, 1.0);
    EXPECT_EQ(tuning.track, 0.0);
    EXPECT_EQ(tuning.path, 0.5);
    EXPECT_DOUBLE_EQ(tuning.threshold, 0.6);
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
