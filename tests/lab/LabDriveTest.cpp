// The lab's drives: courses refused with the reader's message, the same figures bit for bit for the
// same seed, lap figures, the lap limit, and the same states as the game's frames.
#include "DriveFrame.h"
#include "LabDrive.h"

#include "LabTestSupport.h"
#include "TestSurfaces.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <thread>
#include <vector>

namespace {

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

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
            DriveSetup setup;
            setup.seed = 7;
            setup.laps = 2;
            drive.start(setup, Pixels::atSteps);
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

}  // namespace
