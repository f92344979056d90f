// The autopilot: segment bearing, cross-track distance, advancing, speed and steering steps.
#include "Car.h"
#include "Course.h"

#include "SimTestData.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// Degrees on the compass to the car's heading, with the constants that the autopilot turns back.
double headingFor(double degrees) {
    return degrees * 3.14159 / 180;
}

class AutopilotTest : public testing::Test {
  protected:
    AutopilotTest() { targetSpeed = 0; }

    void useCourse(std::initializer_list<WaypointAt> waypoints) {
        ASSERT_TRUE(readCourse(course, courseText(waypoints)));
    }

    // Mid-course on segment index at (x, y), with no first step pending.
    static CarState onSegment(int32_t index, double x, double y, double heading, double bearing,
                              double speed = 20) {
        return {speed, 0, x, y, heading, bearing, false, index};
    }

    void setGains(double heading, double track, double path, double avoid) {
        car->headingGain = heading;
        car->trackGain = track;
        car->pathWeight = path;
        car->avoidGain = avoid;
    }

    // A step adds 7.5 to a steering that is not above the demand and takes 7.5 from one that is;
    // starting just below and just above the expected demand pins it to within 0.01.
    void expectDemand(const CarState& state, double demand) {
        const double target = targetSpeed;
        for (const double offset : {-0.01, 0.01}) {
            targetSpeed = target;
            CarState start = state;
            start.steering = demand + offset;
            car->setState(start);
            car->autopilotStep(course);
            EXPECT_EQ(car->getSteering(), start.steering + (offset < 0 ? 7.5 : -7.5))
                << "from a steering of " << start.steering;
        }
    }

    const SpriteDirectory sprites;
    ParticleList particles;
    Course course{particles};
    std::unique_ptr<Car> car = quietCar();
};

TEST_F(AutopilotTest, SegmentBearingFollowsTheCompass) {
    struct Case {
        double x1, y1, bearing, tolerance;
    };
    const Case cases[] = {
        {10, 0, 90, 1e-9},          {-10, 0, 270, 1e-9},
        {0, -10, 180, 0},           {0.05, 10, 0, 0},
        {-0.05, -10, 180, 0},       {0, 0, 180, 0},
        {10, 10, 44.99996, 1e-5},   {-10, -10, 224.99996, 1e-5},
        {-10, 10, 315.00004, 1e-5}, {0.1, -5, 178.854312, 1e-6},
    };
    for (const Case& c : cases) {
        useCourse({{0, 0, 20}, {c.x1, c.y1, 20}});
        car->setState(onSegment(0, 0, 0, 0, 0));
        EXPECT_NEAR(car->segmentBearing(course), c.bearing, c.tolerance)
            << "towards (" << c.x1 << ", " << c.y1 << ")";
    }
}

TEST_F(AutopilotTest, BearingAndCrossTrackBelongToTheCarsCurrentSegment) {
    useCourse({{0, 0, 20}, {0, 100, 30}, {100, 100, 40}});
    car->setState(onSegment(1, 50, 97, 0, 0));
    EXPECT_EQ(car->segmentBearing(course), 90);
    EXPECT_NEAR(car->crossTrackDistance(course), -3, 1e-12);
    EXPECT_EQ(car->waypointTargetSpeed(course), 30);
}

TEST_F(AutopilotTest, CrossTrackDistanceIsSignedBySideAndByBeingPastTheStart) {
    struct Case {
        double x0, y0, x1, y1, carX, carY, distance;
    };
    const Case cases[] = {
        {0, 0, 0, 10, 3, 5, -3},           {0, 0, 0, 10, -3, 5, 3},
        {0, 0, 0, 10, 3, -5, 3},           {0, 0, 0, 10, 3, 0, 3},
        {0, 0, 10, 0, 5, -4, -4},          {0, 0, 10, 0, 5, 4, 4},
        {0, 0, 10, 10, 10, 0, -7.0710678}, {5, 5, 5, 5, 9, 9, 0},
        {0, 0, 0, 10, 0, 50, 0},           {10, 20, 10, 30, 12, 25, -2},
    };
    for (const Case& c : cases) {
        useCourse({{c.x0, c.y0, 20}, {c.x1, c.y1, 20}});
        car->setState(onSegment(0, c.carX, c.carY, 0, 0));
        EXPECT_NEAR(car->crossTrackDistance(course), c.distance, 1e-7)
            << "(" << c.x0 << ", " << c.y0 << ") to (" << c.x1 << ", " << c.y1 << "), car at ("
            << c.carX << ", " << c.carY << ")";
    }
}

TEST_F(AutopilotTest, FirstStepAfterResetTakesWaypointZerosSpeedAndSegmentZerosBearing) {
    useCourse({{0, 0, 25}, {100, 0, 40}, {100, 100, 50}});
    targetSpeed = -3;
    car->autopilotStep(course);
    const CarState state = car->getState();
    EXPECT_EQ(targetSpeed, 25);
    EXPECT_EQ(state.bearing, 90);
    EXPECT_FALSE(state.firstStep);
    EXPECT_EQ(state.waypointIndex, 0);
    EXPECT_EQ(state.speed, 1);
}

TEST_F(AutopilotTest, NextWaypointCloserThan15InCoordinateSumAdvances) {
    struct Case {
        double x1, y1;
        bool advances;
    };
    const Case cases[] = {{7, 7.9, true}, {7.5, 7.5, false}, {-7, -7.9, true}, {14.99, 0, true},
                          {15, 0, false}, {0, -15, false},   {-14.9, 0, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "next waypoint at (" << c.x1 << ", " << c.y1 << ")");
        useCourse({{0, 0, 10}, {c.x1, c.y1, 33}, {c.x1 + 100, c.y1, 44}});
        targetSpeed = 0;
        car->setState(onSegment(0, 0, 0, 0, 0, 0));
        car->autopilotStep(course);
        const CarState state = car->getState();
        EXPECT_EQ(state.waypointIndex, c.advances ? 1 : 0);
        EXPECT_EQ(targetSpeed, c.advances ? 33 : 0);
        EXPECT_EQ(state.bearing, c.advances ? 90 : 0);
        EXPECT_EQ(state.speed, c.advances ? 1 : -1);
    }
}

TEST_F(AutopilotTest, AtMostOneAdvanceHappensPerStep) {
    useCourse({{0, 0, 10}, {1, 1, 11}, {2, 2, 12}, {200, 2, 13}});
    car->setState(onSegment(0, 0, 0, 0, 0));
    car->autopilotStep(course);
    EXPECT_EQ(car->getState().waypointIndex, 1);
    EXPECT_EQ(targetSpeed, 11);
    car->autopilotStep(course);
    EXPECT_EQ(car->getState().waypointIndex, 2);
    EXPECT_EQ(targetSpeed, 12);
    car->autopilotStep(course);
    EXPECT_EQ(car->getState().waypointIndex, 2);
}

TEST_F(AutopilotTest, SpeedStepsByOneTowardsTheTargetAndSwingsBelowIt) {
    struct Case {
        double target, speed, after;
    };
    const Case cases[] = {{20, 20, 19}, {20, 19, 20}, {20, 25, 24}, {80, 60, 61},
                          {0, 0, -1},   {-5, -5, -6}, {1, 0, 1},    {20.5, 20, 21}};
    useCourse({{0, 0, 20}, {0, 1000, 20}});
    for (const Case& c : cases) {
        targetSpeed = c.target;
        car->setState(onSegment(0, 0, 0, 0, 0, c.speed));
        car->autopilotStep(course);
        EXPECT_EQ(car->getSpeed(), c.after) << "target " << c.target << ", speed " << c.speed;
        EXPECT_EQ(targetSpeed, c.target);
    }
}

TEST_F(AutopilotTest, HeadingErrorWrapsOnlyAcrossNorth) {
    // Demand = 0.1 e with the heading alone weighed.
    struct Case {
        double bearing, heading, error;
    };
    const Case cases[] = {
        {10, 350, 20},   {350, 10, -20}, {100, 300, -200}, {90, 90, 0}, {45, 300, 105},
        {300, 45, -105}, {270, 80, 190}, {89, 271, 178},   {0, 0, 0},   {180, 10, 170},
    };
    setGains(0.1, 0, 1, 0.5);
    useCourse({{0, 0, 20}, {0, 1000, 20}});
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "bearing " << c.bearing << ", heading " << c.heading);
        targetSpeed = 20;
        expectDemand(onSegment(0, 0, 100, headingFor(c.heading), c.bearing), 0.1 * c.error);
    }
}

TEST_F(AutopilotTest, DefaultTuningSwingsTheSteeringAroundASmallDemand) {
    // e = 10, on the line, no obstacles: 0.5 * 0.5 * 10 = 2.5.
    useCourse({{0, 0, 20}, {0, 1000, 20}});
    targetSpeed = 20;
    const CarState state = onSegment(0, 0, 100, headingFor(350), 0);
    expectDemand(state, 2.5);
    car->setState(state);
    for (const double steering : {7.5, 0.0, 7.5, 0.0}) {
        car->autopilotStep(course);
        EXPECT_EQ(car->getSteering(), steering);
    }
}

TEST_F(AutopilotTest, DemandIsClampedTo45AndTheSteeringSwingsBeyondIt) {
    struct Case {
        double carX, clamp, next;
    };
    // Cross-track 30 either side gives a demand of 300 either way.
    const Case cases[] = {{-30, 45, 52.5}, {30, -45, -37.5}};
    setGains(0, 1, 1, 0.5);
    useCourse({{0, 0, 20}, {0, 1000, 20}});
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "car at x " << c.carX);
        targetSpeed = 20;
        CarState state = onSegment(0, c.carX, 500, 0, 0);
        expectDemand(state, c.clamp);
        state.steering = c.clamp;
        car->setState(state);
        for (const double steering : {c.next, c.clamp, c.next}) {
            car->autopilotStep(course);
            EXPECT_EQ(car->getSteering(), steering);
        }
    }
    // Just inside the limits the demand passes unchanged.
    expectDemand(onSegment(0, -4.45, 500, 0, 0), 44.5);
    expectDemand(onSegment(0, 4.45, 500, 0, 0), -44.5);
}

TEST_F(AutopilotTest, ObstaclesToTheRightSteerLeftMoreStronglyAtLowSpeed) {
    // 0.5 * sum * 500 * 0.5 / speed, with the speed after this step's change.
    struct Case {
        double sum, speedAfter, demand;
    };
    const Case cases[] = {{1, 25, -5},      {1, 5, -25}, {-1, 25, 5},  {1, 1, -45},
                          {0.1, 50, -0.25}, {1, -5, 25}, {-2, -1, -45}};
    useCourse({{0, 0, 20}, {0, 1000, 20}});
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "sum " << c.sum << ", speed " << c.speedAfter);
        car->reset();
        car->pushObstacleForce(c.sum);
        targetSpeed = 100;
        expectDemand(onSegment(0, 0, 100, 0, 0, c.speedAfter - 1), c.demand);
    }
}

// Strengths up to the largest double are legal: their forces overflow the frame's sum, which must
// neither make the steering run away nor stay in the obstacle memory once the obstacles are gone.
TEST_F(AutopilotTest, ObstaclesOfTheLargestStrengthKeepTheSteeringBoundedAndLeaveTheMemory) {
    struct Case {
        int side;
        double avoidGain;
    };
    const Case cases[] = {{3, 0.5}, {-3, 0.5}, {3, 0}, {-3, 0}};
    const SurfacePtr screen = makeSurface565();
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << "obstacles at x " << c.side << ", avoid gain " << c.avoidGain);
        setGains(0.5, 0.5, 0.5, c.avoidGain);
        car->reset();
        targetSpeed = 0;
        for (const bool obstacles : {true, false}) {
            ASSERT_EQ(
                readCourse(course, courseText({{0, 0, 20}, {0, 1000, 20}},
                                              {obstacles ? obstacleAt(c.side, 30, 1.7e308, 100)
                                                         : obstacleAt(0, 0, 0, 0)})),
                true);
            for (int frame = 0; frame < 2 * Car::obstacleRingSize; ++frame) {
                car->pushObstacleForce(course.drawAndSense(screen.get(), car->getX(), car->getY(),
                                                           car->getHeading(), 0.5));
                car->autopilotStep(course);
                ASSERT_TRUE(std::isfinite(car->getObstacleSum())) << "frame " << frame;
                ASSERT_LE(std::fabs(car->getSteering()), 52.5) << "frame " << frame;
            }
        }
        EXPECT_EQ(car->getObstacleSum(), 0);
    }
}

TEST_F(AutopilotTest, StandingStillAfterTheSpeedStepTakesNoObstacleTerm) {
    // Speed 1 steps down onto 0: only the path term, 0.5 * 0.5 * 4, remains.
    useCourse({{0, 0, 20}, {0, 1000, 20}});
    for (const double sum : {1.0, 0.0, -3.0}) {
        SCOPED_TRACE(testing::Message() << "sum " << sum);
        car->reset();
        car->pushObstacleForce(sum);
        targetSpeed = 0;
        expectDemand(onSegment(0, 0, 100, headingFor(356), 0, 1), 1);
        EXPECT_EQ(car->getSpeed(), 0);
    }
}

TEST_F(AutopilotTest, FewerThanTwoWaypointsLeaveTheCarAlone) {
    const char* courses[] = {"empty 0 0", "single 1 0 10 10 20 0"};
    for (const char* text : courses) {
        SCOPED_TRACE(text);
        ASSERT_TRUE(readCourse(course, text));
        const CarState before{10, 5, 1, 2, 0.5, 33, true, 0};
        car->setState(before);
        targetSpeed = 17;
        car->autopilotStep(course);
        const CarState after = car->getState();
        EXPECT_EQ(after.speed, before.speed);
        EXPECT_EQ(after.steering, before.steering);
        EXPECT_EQ(after.x, before.x);
        EXPECT_EQ(after.bearing, before.bearing);
        EXPECT_EQ(after.firstStep, before.firstStep);
        EXPECT_EQ(after.waypointIndex, before.waypointIndex);
        EXPECT_EQ(targetSpeed, 17);
    }
}

TEST_F(AutopilotTest, StepFromTheLastWaypointRestartsTheCourseAtTheOrigin) {
    struct Case {
        double oldTarget, speedAfter;
    };
    const Case cases[] = {{25, 1}, {0, -1}, {-2, -1}};
    useCourse({{0, 0, 20}, {0, 100, 30}, {0, 200, 40}});
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "old target " << c.oldTarget);
        car->setState({30, 15, 3, 198, 1, 12, false, 2});
        car->pushObstacleForce(0.7);
        targetSpeed = c.oldTarget;
        car->autopilotStep(course);
        const CarState state = car->getState();
        EXPECT_EQ(state.x, 0);
        EXPECT_EQ(state.y, 0);
        EXPECT_EQ(state.heading, 0);
        EXPECT_EQ(state.waypointIndex, 0);
        EXPECT_TRUE(state.firstStep);
        EXPECT_EQ(state.speed, c.speedAfter);
        EXPECT_EQ(std::fabs(state.steering), 7.5);
        EXPECT_EQ(state.bearing, 12);
        EXPECT_EQ(targetSpeed, c.oldTarget);
        EXPECT_EQ(car->getObstacleSum(), 0);
        EXPECT_EQ(car->getRingIndex(), 0);

        // The step after that begins the course again.
        car->autopilotStep(course);
        EXPECT_EQ(targetSpeed, 20);
        EXPECT_EQ(car->getState().bearing, 0);
        EXPECT_FALSE(car->getState().firstStep);
    }
}

TEST_F(AutopilotTest, WaypointNearTheOriginIsPassedInTheRestartingStep) {
    useCourse({{0, 0, 20}, {5, 5, 30}, {100, 5, 40}});
    car->setState({30, 0, 100, 5, 0, 12, false, 2});
    car->autopilotStep(course);
    const CarState state = car->getState();
    EXPECT_EQ(state.waypointIndex, 1);
    EXPECT_EQ(targetSpeed, 30);
    EXPECT_EQ(state.bearing, 90);
    // Left set, and without effect away from waypoint 0.
    EXPECT_TRUE(state.firstStep);
    car->autopilotStep(course);
    EXPECT_EQ(targetSpeed, 30);
    EXPECT_EQ(car->getState().waypointIndex, 1);
}

TEST_F(AutopilotTest, AdvancingOntoTheLastWaypointKeepsTheBearingAndTakesNoCrossTrack) {
    setGains(0.5, 0.5, 1, 0.5);
    useCourse({{0, 0, 20}, {0, 100, 30}, {50, 100, 35}});
    targetSpeed = 30;
    // 3 ft left of segment 1 and facing along it: the old segment would ask for 15 degrees.
    const CarState state = onSegment(1, 45, 103, headingFor(90), 90, 30);
    car->setState(state);
    ASSERT_NEAR(car->crossTrackDistance(course), 3, 1e-12);
    expectDemand(state, 0);
    EXPECT_EQ(car->getState().waypointIndex, 2);
    EXPECT_EQ(car->getState().bearing, 90);
    EXPECT_EQ(targetSpeed, 35);
    EXPECT_EQ(car->segmentBearing(course), 90);
    EXPECT_EQ(car->crossTrackDistance(course), 0);

    car->autopilotStep(course);
    EXPECT_EQ(car->getState().waypointIndex, 0);
    EXPECT_EQ(car->getState().x, 0);
}

TEST_F(AutopilotTest, IndexBeyondAShorterCourseRestartsIt) {
    // A drive on a longer course left the car further along than this course reaches.
    useCourse({{0, 0, 20}, {0, 100, 30}, {0, 200, 40}});
    car->setState({30, 0, 0, 500, 0, 0, false, 7});
    EXPECT_EQ(car->crossTrackDistance(course), 0);
    car->autopilotStep(course);
    EXPECT_EQ(car->getState().waypointIndex, 0);
    EXPECT_EQ(car->getState().y, 0);
    EXPECT_TRUE(car->getState().firstStep);
}

TEST_F(AutopilotTest, AnotherDriversCommandMovesAtMostOneStepAndStaysWithinTheBounds) {
    struct Case {
        double steering, speed;            // before
        double askedSteering, askedSpeed;  // the command
        double expectedSteering, expectedSpeed;
    };
    const Case cases[] = {
        {0, 20, 3, 20.5, 3, 20.5},  // within one step: exactly what was asked
        {0, 20, 7.5, 21, 7.5, 21},  // exactly one step
        {0, 20, 90, 100, 7.5, 21},  // far: one step towards it
        {0, 20, -90, -100, -7.5, 19},
        {40, 59.5, 90, 100, 45, 60},  // not past the bounds
        {-40, 0.5, -90, -100, -45, 0},
        {52.5, 61, 52.5, 61, 45, 60},       // a car beyond them is brought back
        {10, 30, 1e300, -1e300, 17.5, 29},  // huge requests are only far away
    };
    for (const Case& c : cases) {
        car->setState({c.speed, c.steering, 0, 0, 0, 0, false, 0});
        car->applyControl({c.askedSteering, c.askedSpeed});
        EXPECT_EQ(car->getSteering(), c.expectedSteering) << c.askedSteering;
        EXPECT_EQ(car->getSpeed(), c.expectedSpeed) << c.askedSpeed;
    }
}

}  // namespace
