// One frame of a drive, shared by the game's driving loop and the headless lab: the 16-bit tick
// bookkeeping, the 50 ms autopilot cadence and the order in which a frame is simulated and drawn.
#pragma once

#include "Car.h"
#include "Course.h"
#include "Particle.h"

#include <SDL.h>

#include <cstdint>

class DriveClock {
  public:
    explicit DriveClock(uint16_t startTick) : last(startTick), pending(0) {}

    // Milliseconds since the previous frame; when the 16-bit tick wrapped, only those since the
    // wrap.
    uint16_t tick(uint16_t now) {
        if (last > now) last = 0;
        const uint16_t dt = now - last;
        last = now;
        return dt;
    }

    // Gathers dt and answers whether an autopilot step is due: more than 50 ms gathered, and the
    // autopilot driving. At most one step per frame; the rest carries over.
    bool autopilotDue(uint16_t dt, bool autopilot) {
        pending = static_cast<uint16_t>(pending + dt);
        if (pending > 50 && autopilot) {
            pending -= 50;
            return true;
        }
        return false;
    }

    uint16_t getPending() const { return pending; }

  private:
    uint16_t last;
    uint16_t pending;
};

// Moves the car by dt and gives the autopilot its step when one is due.
void advanceFrame(Car& car, const Course& course, DriveClock& clock, uint16_t dt, bool autopilot);

// Draws the course from the car's pose and senses its obstacles into the car, then draws the
// dashboard and runs the particle pass; the banner and background are drawn before this.
void composeFrame(SDL_Surface* screen, Car& car, Course& course, ParticleList& particles,
                  uint16_t dt);
