// The program-wide state: the display, the mode and sound switches, the stop flags that tell the
// workers to end, and the three objects that hold the whole simulation.
#pragma once

#include "Car.h"
#include "Course.h"
#include "Particle.h"

#include <SDL.h>

#include <atomic>

extern SDL_Surface* screen;
extern bool manualMode;
extern std::atomic<bool> stopDriving;
extern std::atomic<bool> stopMenu;

extern ParticleList particleList;
extern Course course;
extern Car car;
