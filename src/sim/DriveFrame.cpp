// The simulation and drawing steps of one frame, in the order every drive composes them.
#include "DriveFrame.h"

void advanceFrame(Car& car, const Course& course, DriveClock& clock, uint16_t dt, bool autopilot) {
    car.update(dt);
    if (clock.autopilotDue(dt, autopilot)) car.autopilotStep(course);
}

void composeFrame(SDL_Surface* screen, Car& car, Course& course, ParticleList& particles,
                  uint16_t dt) {
    const double force = course.drawAndSense(screen, car.getX(), car.getY(), car.getHeading(),
                                             car.getObstacleThreshold());
    car.pushObstacleForce(force);
    car.drawDashboard(screen);
    SDL_LockSurface(screen);
    particles.updateParticles(screen, dt);
    SDL_UnlockSurface(screen);
}
