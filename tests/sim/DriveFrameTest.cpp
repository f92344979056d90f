// The frame of a drive: 16-bit tick arithmetic, the 50 ms autopilot cadence and the frame order.
#include "DriveFrame.h"

#include "SimTestData.h"

#include <gtest/gtest.h>

namespace {

TEST(DriveClock, ElapsedTimeIsTheTickDifferenceAndOnlySinceTheWrap) {
    struct Frame {
        uint16_t now, dt;
    };
    const Frame frames[] = {{1020, 20}, {1020, 0},      {1100, 80}, {65530, 64430},
                            {10, 10},   {65535, 65525}, {0, 0}};
    DriveClock clock(1000);
    for (const Frame& frame : frames) EXPECT_EQ(clock.tick(frame.now), frame.dt) << frame.now;
}

TEST(DriveClock, AutopilotStepsWhenMoreThan50msHaveGathered) {
    struct Frame {
        uint16_t dt;
        bool step;
        uint16_t pending;
    };
    const Frame frames[] = {{20, false, 20}, {20, false, 40}, {20, true, 10},  {20, false, 30},
                            {20, false, 50}, {20, true, 20},  {20, false, 40}, {20, true, 10}};
    DriveClock clock(0);
    for (const Frame& frame : frames) {
        EXPECT_EQ(clock.autopilotDue(frame.dt, true), frame.step);
        EXPECT_EQ(clock.getPending(), frame.pending);
    }
}

TEST(DriveClock, SlowFramesStepOnceEachAndPendingTimeGrows) {
    DriveClock clock(0);
    for (const uint16_t pending : {30, 60, 90, 120}) {
        EXPECT_TRUE(clock.autopilotDue(80, true));
        EXPECT_EQ(clock.getPending(), pending);
    }
}

TEST(DriveClock, ManualDrivingNeverStepsWhilePendingWrapsIn16Bits) {
    DriveClock clock(0);
    int steps = 0;
    for (int frame = 0; frame < 1000; ++frame) steps += clock.autopilotDue(100, false);
    EXPECT_EQ(steps, 0);
    EXPECT_EQ(clock.getPending(), 100000 % 65536);
}

class DriveFrameTest : public testing::Test {
  protected:
    DriveFrameTest() {
        quietLoadImages(course);
        targetSpeed = 0;
    }

    const SpriteDirectory sprites;
    ParticleList particles;
    Course course{particles};
    std::unique_ptr<Car> car = quietCar();
    SurfacePtr screen = makeSurface565(800, 600, background);
};

TEST_F(DriveFrameTest, CarMovesBeforeTheAutopilotStepOfTheSameFrame) {
    ASSERT_TRUE(readCourse(course, courseText({{0, 0, 60}, {0, 1000, 60}})));
    DriveClock clock(0);
    // Steps fall on frames 3, 6 and 8; each raises the speed by 1 after that frame's move.
    struct Frame {
        double speed, y;
    };
    const double step = 20 * 0.00146667;
    const Frame frames[] = {{0, 0},        {0, 0},        {1, 0},
                            {1, step},     {1, 2 * step}, {2, 3 * step},
                            {2, 5 * step}, {3, 7 * step}, {3, 10 * step}};
    int number = 0;
    for (const Frame& frame : frames) {
        advanceFrame(*car, course, clock, 20, &autopilotDriver);
        ++number;
        EXPECT_EQ(car->getSpeed(), frame.speed) << "frame " << number;
        // The steering steps turn the car a little; a move of one frame is 0.029 ft.
        EXPECT_NEAR(car->getY(), frame.y, 1e-6) << "frame " << number;
    }
}

TEST_F(DriveFrameTest, ManualFramesMoveTheCarWithoutAutopilot) {
    ASSERT_TRUE(readCourse(course, courseText({{0, 0, 60}, {0, 1000, 60}})));
    DriveClock clock(0);
    car->setSpeed(30);
    for (int frame = 0; frame < 50; ++frame) advanceFrame(*car, course, clock, 20, nullptr);
    EXPECT_EQ(car->getSpeed(), 30);
    EXPECT_EQ(car->getSteering(), 0);
    EXPECT_NEAR(car->getY(), 44.0001, 1e-9);
    EXPECT_TRUE(car->getState().firstStep);
}

TEST_F(DriveFrameTest, FrameSensesIntoTheCarDrawsTheDashboardOverTheCourseAndThenTheDirt) {
    // One obstacle 1 ft right and 15 ft ahead, one under the gauge.
    ASSERT_TRUE(
        readCourse(course, courseText({}, {obstacleAt(1, 15, 0.8), obstacleAt(-117, 6, 0.8)})));
    car->setState({0, 0, 0, 0, 0, 0, true, 0});
    composeFrame(screen.get(), *car, course, particles, 0);

    EXPECT_NEAR(car->getObstacleSum(), 0.156629, 1e-6);
    EXPECT_EQ(car->getRingIndex(), 1);
    ASSERT_EQ(particles.size(), 1u);
    // The dirt is drawn over the obstacle at its screen position, the needle over the gauge.
    EXPECT_EQ(pixel565(screen.get(), 403, 550), black);
    EXPECT_EQ(pixel565(screen.get(), 404, 551), obstacleSprite.colour());
    EXPECT_EQ(pixel565(screen.get(), 72, 595), black);
    const CourseObject& hidden = course.getObstacles()[0];
    ASSERT_EQ(hidden.x, -117);
    ASSERT_TRUE(hidden.screenX > 0 && hidden.screenY > 560);
    EXPECT_EQ(pixel565(screen.get(), hidden.screenX, hidden.screenY), gauge.colour());
}

}  // namespace
