// The mapping of keys and joystick axes to the car's controls, its tuning and the start of a drive.
#pragma once

#include <SDL.h>

#include <cstdint>

class InputHandler {
  public:
    // Every key press except Escape.
    void handleKey(int key);
    // Motion of joystick 0: axis 0 steers, every other axis sets the speed.
    void handleAxis(int axis, int16_t value);
};

extern InputHandler inputHandler;
