// Drives the shipped course with the autopilot at the default tuning, frame by frame as a drive
// does.
#include "DriveFrame.h"

#include "ImageFrame.h"

#include <gtest/gtest.h>

#include <unistd.h>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <set>

namespace {

constexpr uint16_t frameMs = 20;
constexpr double strayLimit = 40;  // feet from the current segment

TEST(ShippedCourse, AutopilotDrivesEveryLapInOrderAtTheDefaultTuning) {
    ASSERT_EQ(chdir(ROADSIM_DATA_DIR), 0);
    testing::internal::CaptureStdout();
    ParticleList particles;
    Course course(particles);
    Car car;
    course.loadImages();
    std::ifstream stream("courses.txt");
    int leadingNumber = 0;
    stream >> leadingNumber;
    ASSERT_TRUE(course.read(stream, 20261208, "courses.txt"));
    testing::internal::GetCapturedStdout();
    const int32_t waypointCount = static_cast<int32_t>(course.getWaypoints().size());
    ASSERT_GE(waypointCount, 10);

    SurfacePtr screen = makeDisplaySurface();
    DriveClock clock(0);
    uint16_t now = 0;
    constexpr int laps = 3;
    int lap = 0;
    int32_t previousIndex = 0;
    int32_t lapStartMs = 0;
    int32_t elapsedMs = 0;
    double worstCrossTrack = 0;
    std::set<const CourseObject*> hitInLap;
    constexpr int32_t lapLimitMs = 10 * 60 * 1000;
    while (lap < laps && elapsedMs - lapStartMs < lapLimitMs) {
        now = static_cast<uint16_t>(now + frameMs);
        elapsedMs += frameMs;
        const uint16_t dt = clock.tick(now);
        advanceFrame(car, course, clock, dt, true);
        composeFrame(screen.get(), car, course, particles, dt);
        for (const CourseObject& obstacle : course.getObstacles())
            if (obstacle.value >= 0.5 && obstacle.isHit()) hitInLap.insert(&obstacle);

        const CarState state = car.getState();
        if (state.waypointIndex != previousIndex) {
            if (state.waypointIndex < previousIndex) {
                // The autopilot ends a lap only from the last waypoint, and restarts at the origin.
                EXPECT_EQ(previousIndex, waypointCount - 1);
                EXPECT_LE(state.waypointIndex, 1);
                ++lap;
                std::printf("lap %d: %.2f s, worst cross-track %.2f ft, %zu obstacles hit\n", lap,
                            (elapsedMs - lapStartMs) / 1000.0, worstCrossTrack, hitInLap.size());
                lapStartMs = elapsedMs;
                worstCrossTrack = 0;
                hitInLap.clear();
            } else {
                EXPECT_EQ(state.waypointIndex, previousIndex + 1)
                    << "waypoints are passed in order";
            }
            previousIndex = state.waypointIndex;
        }
        worstCrossTrack = std::max(worstCrossTrack, std::fabs(car.crossTrackDistance(course)));
        ASSERT_LT(worstCrossTrack, strayLimit)
            << "strayed at " << state.x << "," << state.y << " on segment " << state.waypointIndex;
    }
    EXPECT_EQ(lap, laps) << "stuck on segment " << previousIndex;
}

}  // namespace
