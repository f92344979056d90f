// The bounds within which anyone drives the car: the manual controls, the autopilot and external
// drivers alike.
#pragma once

namespace control {

constexpr double maxSteering = 45;    // degrees either way
constexpr double steeringStep = 7.5;  // degrees per driver step
constexpr double topSpeed = 60;       // miles per hour
constexpr double speedStep = 1;       // miles per hour per driver step

// Moves from towards to by at most step, and lands on to exactly when it is within reach.
inline double stepTowards(double from, double to, double step) {
    if (to > from + step) return from + step;
    if (to < from - step) return from - step;
    return to;
}

}  // namespace control

// What a driver asks for at a step: an angle in degrees (positive to the right) and a speed in
// miles per hour.
struct ControlCommand {
    double steering;
    double speed;
};
