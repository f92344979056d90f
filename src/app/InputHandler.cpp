// Arrow keys and joystick drive in manual mode; letter keys tune and Enter drives in automatic
// mode.
#include "InputHandler.h"

#include "Globals.h"
#include "TuningStep.h"
#include "Workers.h"

InputHandler inputHandler;

namespace {

void stepUp(std::atomic<double>& value) {
    value = tuningStepUp(value);
}
void stepDown(std::atomic<double>& value) {
    value = tuningStepDown(value);
}

}  // namespace

void InputHandler::handleKey(int key) {
    if (manualMode) {
        switch (key) {
            case SDLK_UP:
                car.accelerate();
                break;
            case SDLK_DOWN:
                car.brake();
                break;
            case SDLK_LEFT:
                car.steerLeft();
                break;
            case SDLK_RIGHT:
                car.steerRight();
                break;
            default:
                break;
        }
        return;
    }
    // A drive is running: the control screen's keys wait for it to end.
    if (stopMenu) return;
    switch (key) {
        case SDLK_RETURN:
            stopMenu = true;
            stopDriving = false;
            startDriving();
            break;
        case SDLK_r:
            car.reset();
            break;
        default:
            for (const TuningSlider& slider : tuningSliders) {
                if (key == slider.raiseKey) stepUp(car.*slider.carValue);
                if (key == slider.lowerKey) stepDown(car.*slider.carValue);
            }
            break;
    }
}

void InputHandler::handleAxis(int axis, int16_t value) {
    if (!manualMode) return;
    if (axis == 0) {
        car.setSteering(static_cast<float>(value * 30.0 / 32768));
    } else if (value > 9) {
        // 9, not 0, as the mapping has always had it: values from 1 to 9 give a tiny negative
        // speed instead of 0, at which the car stands all the same.
        car.setSpeed(0);
    } else {
        car.setSpeed(static_cast<float>(-value * 20.0 / 32768));
    }
}
