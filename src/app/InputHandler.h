// The mapping of keys and joystick axes to the car's controls, its tuning and the start of a drive.
#pragma once

#include <SDL.h>

#include <atomic>
#include <cstdint>

class InputHandler {
  public:
    // Every key press except Escape.
    void handleKey(int key);
    // Motion of joystick 0: axis 0 steers, every other axis sets the speed.
    void handleAxis(int axis, int16_t value);
};

extern InputHandler inputHandler;

// A tuning value moved by one 0.05 step, clamped to 0..1 only once it passes a bound.
void stepUp(std::atomic<double>& value);
void stepDown(std::atomic<double>& value);
