// The car: kinematics, manual controls, obstacle memory, dashboard, sliders and shared use.
#include "Car.h"

#include "SimTestData.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <set>
#include <thread>
#include <utility>
#include <vector>

namespace {

constexpr double pi = 3.14159265358979323846;

class CarTest : public testing::Test {
  protected:
    CarState stateWith(double speed, double steering, double heading) const {
        CarState state = car->getState();
        state.speed = speed;
        state.steering = steering;
        state.heading = heading;
        return state;
    }

    // At rest at the origin facing along y, before its first step, with an empty obstacle ring.
    void expectAtRestAtTheOrigin() const {
        const CarState state = car->getState();
        EXPECT_EQ(state.speed, 0);
        EXPECT_EQ(state.steering, 0);
        EXPECT_EQ(state.x, 0);
        EXPECT_EQ(state.y, 0);
        EXPECT_EQ(state.heading, 0);
        EXPECT_TRUE(state.firstStep);
        EXPECT_EQ(state.waypointIndex, 0);
        EXPECT_EQ(car->getRingIndex(), 0);
        EXPECT_EQ(car->getObstacleSum(), 0);
        EXPECT_TRUE(car->getWheels().isStopped());
    }

    const SpriteDirectory sprites;
    std::unique_ptr<Car> car = quietCar();
    SurfacePtr screen = makeSurface565(800, 600, background);
};

TEST_F(CarTest, NewCarRestsAtTheOriginWithDefaultTuningAndItsSprites) {
    expectAtRestAtTheOrigin();
    for (const double gain :
         {car->obstacleThreshold.load(), car->avoidGain.load(), car->headingGain.load(),
          car->trackGain.load(), car->pathWeight.load()})
        EXPECT_EQ(gain, 0.5);
    EXPECT_EQ(car->getWheels().frameCount(), 3u);
    EXPECT_EQ(car->getLights().frameCount(), 2u);
    EXPECT_EQ(car->getGauge().frameCount(), 1u);
    EXPECT_TRUE(car->getLights().isStopped());
    EXPECT_FALSE(car->isSoundPlaying());
}

TEST_F(CarTest, UpdateMovesAlongTheHeadingOnlyAboveTheRestSpeed) {
    struct Case {
        double speed, steering, heading;
        int32_t ms;
        double x, y, headingAfter;
    };
    const Case cases[] = {
        {0.999, 0, 0, 1000, 0, 0, 0},
        {-0.5, 0, 0, 1000, 0, 0, 0},
        {-5, 30, 1, 1000, 0, 0, 1},
        {1, 0, 0, 1, 0, 0.00146667, 0},
        {30, 0, 0, 1000, 0, 44.0001, 0},
        {30, 0, pi / 2, 1000, 44.0001, 0, pi / 2},
        {60, 0, pi, 20, 0, -1.760004, pi},
        // The position moves along the heading from before the turn.
        {30, 45, 0, 1000, 0, 44.0001, 3.66667},
        {30, -45, 0, 1000, 0, 44.0001, 6.28318 - 3.66667},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "speed " << c.speed << ", steering " << c.steering
                                        << ", heading " << c.heading);
        car->reset();
        car->setState(stateWith(c.speed, c.steering, c.heading));
        car->update(c.ms);
        EXPECT_NEAR(car->getX(), c.x, 1e-9);
        EXPECT_NEAR(car->getY(), c.y, 1e-9);
        EXPECT_NEAR(car->getHeading(), c.headingAfter, 1e-5);
        EXPECT_EQ(car->getSpeed(), c.speed);
        EXPECT_EQ(car->getSteering(), c.steering);
    }
}

TEST_F(CarTest, HeadingWrapsOnceIntoTheTurnWhileMoving) {
    struct Case {
        double speed, heading, headingAfter;
    };
    const Case cases[] = {
        {1, -0.1, 6.18318}, {1, 6.3, 0.01682}, {1, 6.28318, 6.28318}, {1, 0, 0},
        {1, -7, -0.71682},  {0, -0.1, -0.1},   {0, 6.3, 6.3},
    };
    for (const Case& c : cases) {
        car->setState(stateWith(c.speed, 0, c.heading));
        car->update(0);
        EXPECT_NEAR(car->getHeading(), c.headingAfter, 1e-12)
            << "speed " << c.speed << ", heading " << c.heading;
    }
}

TEST_F(CarTest, ManualControlsTestTheLimitThenStep) {
    struct Case {
        void (Car::*control)();
        const char* name;
        double before, after;
    };
    const Case speedCases[] = {
        {&Car::accelerate, "accelerate", 60, 60},
        {&Car::accelerate, "accelerate", 59.5, 60.5},
        {&Car::accelerate, "accelerate", 0, 1},
        {&Car::accelerate, "accelerate", 61, 61},
        {&Car::brake, "brake", 0, 0},
        {&Car::brake, "brake", 0.5, -0.5},
        {&Car::brake, "brake", 1, 0},
        {&Car::brake, "brake", 60, 59},
    };
    const Case steeringCases[] = {
        {&Car::steerLeft, "steerLeft", -45, -45}, {&Car::steerLeft, "steerLeft", -42, -47},
        {&Car::steerLeft, "steerLeft", 0, -5},    {&Car::steerRight, "steerRight", 45, 45},
        {&Car::steerRight, "steerRight", 42, 47}, {&Car::steerRight, "steerRight", -45, -40},
    };
    for (const Case& c : speedCases) {
        car->setState(stateWith(c.before, 0, 0));
        (car.get()->*c.control)();
        EXPECT_EQ(car->getSpeed(), c.after) << c.name << " at " << c.before;
    }
    for (const Case& c : steeringCases) {
        car->setState(stateWith(0, c.before, 0));
        (car.get()->*c.control)();
        EXPECT_EQ(car->getSteering(), c.after) << c.name << " at " << c.before;
    }
}

TEST_F(CarTest, JoystickSettersTakeTheWidenedValueWithoutLimits) {
    const float values[] = {0.1f, 100.5f, -90.25f, 1e6f, -0.0f};
    for (const float value : values) {
        car->setSpeed(value);
        car->setSteering(-value);
        EXPECT_EQ(car->getSpeed(), double{value});
        EXPECT_EQ(car->getSteering(), -double{value});
    }
}

TEST_F(CarTest, ObstacleMemoryIsTheMovingSumOfTheLastTwentySamples) {
    for (int sample = 1; sample <= 21; ++sample) car->pushObstacleForce(sample);
    EXPECT_EQ(car->getObstacleSum(), 230);  // the 21st overwrote the 1st
    EXPECT_EQ(car->getRingIndex(), 1);
    for (int sample = 22; sample <= 40; ++sample) car->pushObstacleForce(sample);
    EXPECT_EQ(car->getObstacleSum(), 610);  // 21 to 40
    EXPECT_EQ(car->getRingIndex(), 0);

    // Reset clears the slots too: zeros pushed afterwards subtract nothing old.
    car->reset();
    EXPECT_EQ(car->getObstacleSum(), 0);
    EXPECT_EQ(car->getRingIndex(), 0);
    for (int sample = 0; sample < 20; ++sample) car->pushObstacleForce(0);
    EXPECT_EQ(car->getObstacleSum(), 0);
    car->pushObstacleForce(-2.5);
    EXPECT_EQ(car->getObstacleSum(), -2.5);
    EXPECT_EQ(car->getRingIndex(), 1);
}

TEST_F(CarTest, ResetReturnsToTheOriginAndKeepsTuningAndBearing) {
    car->headingGain = 0.1;
    car->trackGain = 0.2;
    car->pathWeight = 0.3;
    car->obstacleThreshold = 0.4;
    car->avoidGain = 0.6;
    car->setState({12, -30, 5, 6, 2, 77, false, 3});
    car->pushObstacleForce(4);
    car->update(100);
    car->reset();
    expectAtRestAtTheOrigin();
    EXPECT_EQ(car->getState().bearing, 77);
    EXPECT_EQ(car->getWheels().getCurrent(), 0u);
    EXPECT_EQ(car->headingGain.load(), 0.1);
    EXPECT_EQ(car->trackGain.load(), 0.2);
    EXPECT_EQ(car->pathWeight.load(), 0.3);
    EXPECT_EQ(car->obstacleThreshold.load(), 0.4);
    EXPECT_EQ(car->avoidGain.load(), 0.6);
}

TEST_F(CarTest, MovingCyclesWheelsAndLightsAndRestingRewindsThem) {
    struct Step {
        double speed;
        int32_t ms;
        uint32_t wheelFrame, lightFrame;
        bool stopped;
    };
    // Wheels: three frames of 100 ms; lights: two of 500 ms.
    const Step steps[] = {{30, 150, 1, 0, false}, {30, 400, 2, 1, false},   {30, 500, 1, 0, false},
                          {0, 10, 0, 0, true},    {0.999, 200, 0, 0, true}, {2, 120, 1, 0, false}};
    for (const Step& step : steps) {
        car->setState(stateWith(step.speed, 0, 0));
        car->update(step.ms);
        SCOPED_TRACE(testing::Message() << "speed " << step.speed << " for " << step.ms);
        EXPECT_EQ(car->getWheels().getCurrent(), step.wheelFrame);
        EXPECT_EQ(car->getLights().getCurrent(), step.lightFrame);
        EXPECT_EQ(car->getWheels().isStopped(), step.stopped);
        EXPECT_EQ(car->getLights().isStopped(), step.stopped);
    }
}

TEST_F(CarTest, WithSoundOffTheEngineNeverStarts) {
    car->loadSound();
    car->setSpeed(30);
    car->update(20);
    EXPECT_FALSE(car->isSoundPlaying());
    car->setSpeed(0);
    car->update(20);
    EXPECT_FALSE(car->isSoundPlaying());
}

// Sounds that finish on channel 0 count the halts and restarts; the engine loops, so it plays on
// until halted.
TEST_F(CarTest, EngineSoundPlaysOnChannelZeroWhileMovingAndEveryUpdateAtRestHaltsIt) {
    const DummyMixer mixer;
    ASSERT_TRUE(mixer.isOpen());
    car->loadSound();
    const ChunkPtr other(Mix_LoadWAV("crash.wav"));
    struct Step {
        bool otherPlaying;
        double speed;
        bool playing;
        int finished;
    };
    const Step steps[] = {
        {true, 0, false, 1},   // at rest: halted, though the car had started nothing
        {false, 30, true, 1},  // moving: started
        {false, 30, true, 1},  // moving on: not restarted
        {false, 0, false, 2},  // at rest: halted
        {true, 0, false, 3},   // and at every update at rest
    };
    for (const Step& step : steps) {
        if (step.otherPlaying) {
            ASSERT_EQ(Mix_PlayChannel(0, other.get(), -1), 0);
        }
        car->setSpeed(static_cast<float>(step.speed));
        car->update(20);
        EXPECT_EQ(Mix_Playing(0) != 0, step.playing) << "speed " << step.speed;
        EXPECT_EQ(car->isSoundPlaying(), step.playing) << "speed " << step.speed;
        EXPECT_EQ(DummyMixer::finishedOn(0), step.finished) << "speed " << step.speed;
    }

    // A drive whose engine sound is missing runs silently.
    std::remove("weepweep.wav");
    car->loadSound();
    car->setSpeed(30);
    car->update(20);
    EXPECT_EQ(Mix_Playing(0), 0);
    EXPECT_TRUE(car->isSoundPlaying());
}

using Pixels = std::set<std::pair<int, int>>;

// The needle at 0 mph: row 595 leftwards from column 72, stretched and in steps of two. The last
// two columns lie off the screen.
constexpr int needleAtRest[30] = {72, 70, 68, 64, 62, 60, 56, 54, 52, 48, 46, 44, 40, 38, 36,
                                  32, 30, 28, 24, 22, 20, 16, 14, 12, 8,  6,  4,  0,  -2, -4};

Pixels onScreen(const Pixels& pixels) {
    Pixels visible;
    for (const auto& [column, row] : pixels)
        if (column >= 0 && column < 800 && row >= 0 && row < 600) visible.insert({column, row});
    return visible;
}

Pixels blackPixels(const SDL_Surface* screen) {
    Pixels found;
    for (int row = 0; row < 600; ++row)
        for (int column = 0; column < 800; ++column)
            if (pixel565(screen, column, row) == black) found.insert({column, row});
    return found;
}

TEST_F(CarTest, NeedlePointsLeftUpAndRightAndSkipsPixelsOffTheScreen) {
    Pixels atRest, atThirty, atSixty, atNinety;
    for (int k = 0; k < 30; ++k) {
        atRest.insert({needleAtRest[k], 595});
        atThirty.insert({72, 595 - k});
        atSixty.insert({144 - needleAtRest[k], 595});
        atNinety.insert({72, 595 + k});  // the tip falls below the screen
    }
    const std::pair<double, Pixels> cases[] = {
        {0, atRest}, {30, atThirty}, {60, atSixty}, {90, atNinety}};
    for (const auto& [speed, needle] : cases) {
        SCOPED_TRACE(testing::Message() << speed << " mph");
        SDL_FillRect(screen.get(), nullptr, background);
        // At rest, so that the needle is all that changes between the cases.
        car->setState(stateWith(speed, 0, 0));
        car->drawDashboard(screen.get());
        EXPECT_EQ(blackPixels(screen.get()), onScreen(needle));
    }
    // Pixels off the left edge must not wrap onto the end of the row above.
    car->setState(stateWith(0, 0, 0));
    SDL_FillRect(screen.get(), nullptr, background);
    car->drawDashboard(screen.get());
    EXPECT_EQ(pixel565(screen.get(), 798, 594), background);
    EXPECT_EQ(pixel565(screen.get(), 796, 594), background);
}

TEST_F(CarTest, NeedleNearZeroEitherWayNeverWrapsOntoTheFarEdge) {
    // Within about 5.63 mph of 0 the tip lies left of the screen; below 0 it also points down.
    const double speeds[] = {-5.6, -3, -0.01, 0.01, 3, 5.6};
    for (const double speed : speeds) {
        SDL_FillRect(screen.get(), nullptr, background);
        car->setState(stateWith(speed, 0, 0));
        car->drawDashboard(screen.get());
        const Pixels needle = blackPixels(screen.get());
        EXPECT_GE(needle.size(), 15u) << speed << " mph";
        for (const auto& [column, row] : needle) {
            EXPECT_LE(column, 72) << speed << " mph, row " << row;
            EXPECT_GE(row, 585) << speed << " mph, column " << column;
        }
    }
}

TEST_F(CarTest, DashboardDrawsWheelsLightsAndGaugeAtTheirPlaces) {
    car->drawDashboard(screen.get());
    // At rest: the first wheel frame and the second light bitmap.
    EXPECT_EQ(pixel565(screen.get(), 380, 540), tire1.colour());
    EXPECT_EQ(pixel565(screen.get(), 410, 540), tire1.colour());
    EXPECT_EQ(pixel565(screen.get(), 381, 589), tire1.colour());
    EXPECT_EQ(pixel565(screen.get(), 413, 589), tire1.colour());
    EXPECT_EQ(pixel565(screen.get(), 388, 560), light2.colour());
    EXPECT_EQ(pixel565(screen.get(), 405, 563), light2.colour());
    EXPECT_EQ(pixel565(screen.get(), 0, 560), gauge.colour());
    EXPECT_EQ(pixel565(screen.get(), 159, 599), gauge.colour());
    EXPECT_EQ(pixel565(screen.get(), 160, 599), background);

    // Moving, all four wheels show the current frame of the one wheel animation.
    struct Step {
        int32_t ms;
        Sprite wheel, light;
    };
    const Step steps[] = {{150, tire2, light2}, {400, tire3, light1}, {100, tire1, light1}};
    car->setState(stateWith(30, 0, 0));
    for (const Step& step : steps) {
        car->update(step.ms);
        SDL_FillRect(screen.get(), nullptr, background);
        car->drawDashboard(screen.get());
        SCOPED_TRACE(testing::Message() << "after " << step.ms << " more ms");
        EXPECT_EQ(pixel565(screen.get(), 381, 541), step.wheel.colour());
        EXPECT_EQ(pixel565(screen.get(), 411, 581), step.wheel.colour());
        EXPECT_EQ(pixel565(screen.get(), 389, 561), step.light.colour());
        EXPECT_EQ(pixel565(screen.get(), 403, 561), step.light.colour());
    }
}

TEST_F(CarTest, OnlyTheFrontWheelsTurnWithTheSteering) {
    car->setState(stateWith(0, 90, 0));
    car->drawDashboard(screen.get());
    // A 4 x 10 wheel turned a quarter lies 10 wide and 4 high.
    for (const int x : {380, 410}) {
        EXPECT_EQ(pixel565(screen.get(), x + 7, 541), tire1.colour()) << "front wheel at " << x;
        EXPECT_EQ(pixel565(screen.get(), x + 1, 548), background) << "front wheel at " << x;
        EXPECT_EQ(pixel565(screen.get(), x + 7, 581), background) << "rear wheel at " << x;
        EXPECT_EQ(pixel565(screen.get(), x + 1, 588), tire1.colour()) << "rear wheel at " << x;
    }
}

TEST_F(CarTest, SliderPointerStandsHigherForAHigherValue) {
    const SurfacePtr pointer = makeSurface24(pointerSprite.w, pointerSprite.h, pointerSprite.r,
                                             pointerSprite.g, pointerSprite.b);
    struct Case {
        double value;
        int row;
    };
    const Case cases[] = {{1, 247}, {0.5, 342}, {0, 437}, {0.75, 294}, {1e-12, 436}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        SDL_FillRect(screen.get(), nullptr, background);
        car->drawSlider(screen.get(), pointer.get(), c.value, 50, 150, 340);
        EXPECT_EQ(pixel565(screen.get(), 50, c.row), pointerSprite.colour());
        EXPECT_EQ(pixel565(screen.get(), 50, c.row - 1), background);
        EXPECT_EQ(pixel565(screen.get(), 49, c.row), background);
        EXPECT_EQ(countPixels(screen.get(), pointerSprite.colour()), 15);
    }
    SDL_FillRect(screen.get(), nullptr, background);
    car->drawSlider(screen.get(), nullptr, 0.5, 50, 150, 340);
    EXPECT_EQ(countPixels(screen.get(), background), 800 * 600);
}

TEST_F(CarTest, GainSlidersShowTheFiveTuningValuesLeftToRight) {
    const SurfacePtr pointer = makeSurface24(pointerSprite.w, pointerSprite.h, pointerSprite.r,
                                             pointerSprite.g, pointerSprite.b);
    struct Case {
        double heading, track, path, threshold, avoid;
        int rows[5];
    };
    const Case cases[] = {{0.5, 0.5, 0.5, 0.5, 0.5, {342, 342, 342, 342, 342}},
                          {1, 0.5, 0, 0.75, 0.25, {247, 342, 437, 294, 389}}};
    for (const Case& c : cases) {
        car->headingGain = c.heading;
        car->trackGain = c.track;
        car->pathWeight = c.path;
        car->obstacleThreshold = c.threshold;
        car->avoidGain = c.avoid;
        SDL_FillRect(screen.get(), nullptr, background);
        car->drawGainSliders(screen.get(), pointer.get());
        EXPECT_EQ(countPixels(screen.get(), pointerSprite.colour()), 5 * 15);
        for (int slider = 0; slider < 5; ++slider) {
            const int x = 50 + 100 * slider;
            EXPECT_EQ(pixel565(screen.get(), x, c.rows[slider]), pointerSprite.colour())
                << "slider " << slider + 1;
            EXPECT_EQ(pixel565(screen.get(), x, c.rows[slider] - 1), background)
                << "slider " << slider + 1;
        }
    }
}

TEST_F(CarTest, ControlsFromAnotherThreadLeaveEveryObservedStateWhole) {
    constexpr int rounds = 20000;
    std::atomic<bool> driving{true};
    std::thread events([&] {
        for (int i = 0; i < rounds; ++i) {
            car->setSpeed(30);
            car->accelerate();
            car->steerLeft();
            car->steerRight();
            car->setSteering(10);
            car->brake();
            car->obstacleThreshold = (i % 2) * 0.5;
            if (i % 50 == 0) car->reset();
        }
        driving = false;
    });
    int badRing = 0, badHeading = 0, badSpeed = 0, badSum = 0, badThreshold = 0, frames = 0;
    while (driving || frames < 100) {
        car->update(5);
        car->pushObstacleForce(1);
        const CarState state = car->getState();
        const int32_t ring = car->getRingIndex();
        const double sum = car->getObstacleSum();
        const double threshold = car->getObstacleThreshold();
        if (ring < 0 || ring > 19) ++badRing;
        if (!(state.heading >= 0 && state.heading <= 6.28318)) ++badHeading;
        if (!(state.speed >= 0 && state.speed <= 31)) ++badSpeed;
        // One sample of 1 per frame since the last reset, at most twenty of them.
        if (!(sum >= 0 && sum <= 20 && sum == std::floor(sum))) ++badSum;
        if (threshold != 0 && threshold != 0.5) ++badThreshold;
        if (frames % 500 == 0) car->drawDashboard(screen.get());
        ++frames;
    }
    events.join();
    EXPECT_EQ(badRing, 0);
    EXPECT_EQ(badHeading, 0);
    EXPECT_EQ(badSpeed, 0);
    EXPECT_EQ(badSum, 0);
    EXPECT_EQ(badThreshold, 0);
    // The memory still works: twenty pushes replace whatever it held.
    for (int i = 0; i < 20; ++i) car->pushObstacleForce(0.25);
    EXPECT_EQ(car->getObstacleSum(), 5);
}

TEST_F(CarTest, StateReadDuringSetStateIsNeverAMixOfTwo) {
    const CarState first{1, 1, 1, 1, 1, 1, true, 1};
    const CarState second{2, 2, 2, 2, 2, 2, false, 2};
    constexpr int rounds = 20000;
    std::atomic<bool> writing{true};
    std::thread writer([&] {
        for (int i = 0; i < rounds; ++i) car->setState(i % 2 ? second : first);
        writing = false;
    });
    int mixed = 0;
    while (writing) {
        const CarState s = car->getState();
        const bool isFirst = s.speed == 1 && s.steering == 1 && s.x == 1 && s.y == 1 &&
                             s.heading == 1 && s.bearing == 1 && s.firstStep &&
                             s.waypointIndex == 1;
        const bool isSecond = s.speed == 2 && s.steering == 2 && s.x == 2 && s.y == 2 &&
                              s.heading == 2 && s.bearing == 2 && !s.firstStep &&
                              s.waypointIndex == 2;
        const bool initial = s.speed == 0 && s.x == 0 && s.firstStep && s.waypointIndex == 0;
        if (!isFirst && !isSecond && !initial) ++mixed;
    }
    writer.join();
    EXPECT_EQ(mixed, 0);
}

}  // namespace
