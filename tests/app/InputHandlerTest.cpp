// The input mapping: joystick axes in manual mode and the tuning keys at the ends of their range.
#include "InputHandler.h"

#include "Globals.h"

#include <gtest/gtest.h>

#include <atomic>

namespace {

class InputHandlerTest : public testing::Test {
  protected:
    InputHandlerTest() {
        car.reset();
        stopMenu = false;
    }
    ~InputHandlerTest() override { manualMode = false; }

    void press(int key, int times) {
        for (int i = 0; i < times; ++i) inputHandler.handleKey(key);
    }
};

TEST_F(InputHandlerTest, AxisZeroSteersAndEveryOtherAxisSetsTheSpeedInManualModeOnly) {
    struct Case {
        int axis;
        int16_t value;
        double speed, steering;
    };
    // From speed 5 and steering 5, so that the field an axis leaves alone shows.
    const Case cases[] = {
        {0, -32768, 5, -30},
        {0, 32767, 5, 29.99908447265625},
        {0, 0, 5, 0},
        {1, -32768, 20, 5},
        {1, 10, 0, 5},
        {1, 9, -0.0054931640625, 5},
        {1, 1, -0.0006103515625, 5},
        {2, -32768, 20, 5},
        {255, 32767, 0, 5},
    };
    for (const bool manual : {true, false}) {
        manualMode = manual;
        for (const Case& c : cases) {
            car.setSpeed(5);
            car.setSteering(5);
            inputHandler.handleAxis(c.axis, c.value);
            const double speed = manual ? c.speed : 5;
            const double steering = manual ? c.steering : 5;
            EXPECT_EQ(car.getSpeed(), speed)
                << "axis " << c.axis << ", value " << c.value << (manual ? "" : ", automatic mode");
            EXPECT_EQ(car.getSteering(), steering)
                << "axis " << c.axis << ", value " << c.value << (manual ? "" : ", automatic mode");
        }
    }
}

// Ten steps from 0.5 pass 1 by the accumulated error and are clamped to exactly 1; ten steps down
// leave a tiny positive remainder of it, which only the eleventh clamps to exactly 0.
TEST_F(InputHandlerTest, TuningKeysReachTheEndsOfTheirRangeExactly) {
    struct Key {
        int up, down;
        std::atomic<double>& value;
    };
    const Key keys[] = {{SDLK_a, SDLK_z, car.headingGain},
                        {SDLK_s, SDLK_x, car.trackGain},
                        {SDLK_d, SDLK_c, car.pathWeight},
                        {SDLK_f, SDLK_v, car.obstacleThreshold},
                        {SDLK_g, SDLK_b, car.avoidGain}};
    for (const Key& key : keys) {
        SCOPED_TRACE(testing::Message() << "keys " << char(key.up) << " and " << char(key.down));
        key.value = 0.5;
        press(key.up, 10);
        EXPECT_EQ(key.value, 1.0);
        press(key.up, 1);
        EXPECT_EQ(key.value, 1.0);
        key.value = 0.5;
        press(key.down, 10);
        EXPECT_GT(key.value, 0.0);
        EXPECT_LT(key.value, 1e-15);
        press(key.down, 1);
        EXPECT_EQ(key.value, 0.0);
        press(key.down, 1);
        EXPECT_EQ(key.value, 0.0);
        key.value = 0.5;
    }
}

}  // namespace
