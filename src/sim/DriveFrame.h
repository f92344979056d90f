// One frame of a drive, shared by the game's driving loop, the headless lab, the benchmarks and the
// tests: the 16-bit tick bookkeeping, the 50 ms driver cadence and the order in which a frame is
// simulated and drawn.
#pragma once

#include "Car.h"
#include "Course.h"
#include "ImageFrame.h"
#include "Particle.h"

#include <SDL.h>

#include <cstdint>
#include <functional>

// How often the driver (the autopilot, a hand, an external controller) steps.
inline constexpr uint16_t driverStepMs = 50;

class DriveClock {
  public:
    explicit DriveClock(uint16_t startTick) : last(startTick), pending(0) {}

    // Milliseconds since the previous frame; when the 16-bit tick wrapped, only those since the
    // wrap.
    uint16_t tick(uint16_t now) {
        const uint16_t dt = elapsedTo(now);
        last = now;
        return dt;
    }

    // Gathers dt and answers whether a driver step is due: more than a driver step gathered, and
    // someone driving. At most one step per frame; the rest carries over.
    bool autopilotDue(uint16_t dt, bool autopilot) {
        pending = static_cast<uint16_t>(pending + dt);
        if (isDue(pending) && autopilot) {
            pending -= driverStepMs;
            return true;
        }
        return false;
    }

    // Whether a frame ending at tick now would give the driver a step.
    bool stepDueAt(uint16_t now) const {
        return isDue(static_cast<uint16_t>(pending + elapsedTo(now)));
    }

    uint16_t getPending() const { return pending; }

  private:
    uint16_t elapsedTo(uint16_t now) const { return last > now ? now : now - last; }
    // More than a driver step gathered: 51 ms or more, not 50.
    static bool isDue(uint16_t gathered) { return gathered > driverStepMs; }

    uint16_t last;
    uint16_t pending;
};

// Chooses speed and steering at a driver step, after the course progress of that step.
using DriverStep = std::function<void(Car&, const Course&)>;
// The built-in autopilot as a driver.
extern const DriverStep autopilotDriver;

// What a driver sees at one step, and when.
struct StepState {
    int step;  // counted from 1
    double seconds;
    DriverView view;
};

struct FrameOutcome {
    uint16_t dt;
    bool stepped;   // a driver step ran
    bool lapEnded;  // that step put the car back at the start of the course
};

// The first half of a frame: moves the car by dt and, when a step is due and someone drives, runs
// the course progress of that step; the driver's step comes next.
FrameOutcome beginFrame(Car& car, const Course& course, DriveClock& clock, uint16_t dt,
                        bool driven);
// Moves the car by dt and, when a step is due and a driver is given, runs the course progress and
// the driver's step.
FrameOutcome advanceFrame(Car& car, const Course& course, DriveClock& clock, uint16_t dt,
                          const DriverStep* driver);

// Draws the course from the car's pose and senses its obstacles into the car, then draws the
// dashboard and runs the particle pass; the banner and background are drawn before this. Without a
// screen it senses and moves the particles only: the same drive, with no pixels.
void composeFrame(SDL_Surface* screen, Car& car, Course& course, ParticleList& particles,
                  uint16_t dt);

// The banner and the background of the driver's view, loaded from the working directory.
class Backdrop {
  public:
    explicit Backdrop(const ImageSource& images = {});
    // A missing bitmap is left out.
    void draw(SDL_Surface* screen) const;
    // Whether drawing it leaves nothing of the frame before.
    bool coversScreen() const;

  private:
    SurfacePtr logo;
    SurfacePtr back;
};

// The frames of one drive.
class DriveFrames {
  public:
    DriveFrames(Car& car, Course& course, ParticleList& particles, uint16_t startTick)
        : car(car), course(course), particles(particles), clock(startTick) {}

    // One frame ending at tick now: moves the car, gives the driver (none: nobody steps) its step
    // when one is due, then composes the frame on screen over the backdrop (none: left as it is).
    FrameOutcome run(SDL_Surface* screen, uint16_t now, const DriverStep* driver,
                     const Backdrop* backdrop);

  private:
    Car& car;
    Course& course;
    ParticleList& particles;
    DriveClock clock;
};
