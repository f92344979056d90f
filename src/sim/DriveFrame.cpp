// The simulation and drawing steps of one frame, in the order every drive composes them.
#include "DriveFrame.h"

#include "Display.h"

const DriverStep autopilotDriver = [](Car& car, const Course& course) {
    car.autopilotControl(course);
};

FrameOutcome beginFrame(Car& car, const Course& course, DriveClock& clock, uint16_t dt,
                        bool driven) {
    car.update(dt);
    FrameOutcome outcome{dt, false, false};
    if (clock.autopilotDue(dt, driven)) {
        outcome.stepped = true;
        outcome.lapEnded = car.followCourse(course);
    }
    return outcome;
}

FrameOutcome advanceFrame(Car& car, const Course& course, DriveClock& clock, uint16_t dt,
                          const DriverStep* driver) {
    const FrameOutcome outcome = beginFrame(car, course, clock, dt, driver != nullptr);
    if (outcome.stepped) (*driver)(car, course);
    return outcome;
}

void composeFrame(SDL_Surface* screen, Car& car, Course& course, ParticleList& particles,
                  uint16_t dt) {
    const double force = course.drawAndSense(screen, car.getX(), car.getY(), car.getHeading(),
                                             car.getObstacleThreshold());
    car.pushObstacleForce(force);
    if (screen == nullptr) {
        particles.updateParticles(nullptr, dt);
        return;
    }
    car.drawDashboard(screen);
    SDL_LockSurface(screen);
    particles.updateParticles(screen, dt);
    SDL_UnlockSurface(screen);
}

Backdrop::Backdrop(const ImageSource& images)
    : logo(loadBitmap("logo.bmp", images)), back(loadBitmap("back.bmp", images)) {}

bool Backdrop::coversScreen() const {
    return logo && back && logo->w >= displayWidth && logo->h >= bannerHeight &&
           back->w >= displayWidth && back->h >= displayHeight - bannerHeight;
}

void Backdrop::draw(SDL_Surface* screen) const {
    SDL_Rect logoAt{0, 0, 0, 0};
    SDL_Rect backAt{0, bannerHeight, 0, 0};
    if (logo) SDL_BlitSurface(logo.get(), nullptr, screen, &logoAt);
    if (back) SDL_BlitSurface(back.get(), nullptr, screen, &backAt);
}

FrameOutcome DriveFrames::run(SDL_Surface* screen, uint16_t now, const DriverStep* driver,
                              const Backdrop* backdrop) {
    const FrameOutcome outcome = advanceFrame(car, course, clock, clock.tick(now), driver);
    if (backdrop != nullptr) backdrop->draw(screen);
    composeFrame(screen, car, course, particles, outcome.dt);
    return outcome;
}
