// Car kinematics, manual controls, obstacle memory, dashboard and tuning sliders.
#include "Car.h"

#include "Pixel.h"

#include <cmath>

using Lock = std::lock_guard<std::mutex>;

Car::Car()
    : obstacleThreshold(0.5),
      avoidGain(0.5),
      headingGain(0.5),
      trackGain(0.5),
      pathWeight(0.5),
      mutex(),
      speed(0),
      steering(0),
      x(0),
      y(0),
      heading(0),
      bearing(0),
      obstacleSum(0),
      firstStep(true),
      obstacleRing(),
      gauge(),
      lights(),
      wheels(),
      engineSound(),
      soundPlaying(false),
      waypointIndex(0),
      ringIndex(0),
      needleColour(0) {
    wheels.addFrame(ImageFrame("tire1.bmp", 100));
    wheels.addFrame(ImageFrame("tire2.bmp", 100));
    wheels.addFrame(ImageFrame("tire3.bmp", 100));
    lights.addFrame(ImageFrame("light2.bmp", 500));
    lights.addFrame(ImageFrame("light1.bmp", 500));
    gauge.addFrame(ImageFrame("gauge.bmp", 10000));
    resetUnlocked();
}

// Freeing the chunk halts any channel that still plays it.
Car::~Car() = default;

void Car::reset() {
    Lock lock(mutex);
    resetUnlocked();
}

void Car::resetUnlocked() {
    waypointIndex = 0;
    speed = steering = heading = x = y = 0;
    wheels.stop();
    lights.stop();
    soundPlaying = false;
    firstStep = true;
    ringIndex = 0;
    for (double& sample : obstacleRing) sample = 0;
    obstacleSum = 0;
}

void Car::loadSound() {
    if (!soundEnabled) return;
    Lock lock(mutex);
    replaceChunk(engineSound, 0, "weepweep.wav");
    // The old chunk's channel was halted, so the next move starts the new one.
    soundPlaying = false;
}

void Car::update(int32_t ms) {
    Lock lock(mutex);
    if (speed > 0.999) {
        if (soundEnabled) {
            if (!soundPlaying) Mix_PlayChannelTimed(0, engineSound.get(), -1, -1);
            soundPlaying = true;
        }
        lights.play();
        wheels.play();
        const double f = speed * 0.00146667;  // feet per millisecond per mile per hour
        const double d = ms * f;
        x += d * std::sin(heading);
        y += d * std::cos(heading);
        heading += d * (std::tan(steering * 3.14159 / 180) / 12);  // 12 ft wheelbase
        if (heading < 0) heading += 6.28318;
        if (heading > 6.28318) heading -= 6.28318;
    } else {
        if (soundEnabled) {
            Mix_HaltChannel(0);
            soundPlaying = false;
        }
        lights.stop();
        wheels.stop();
    }
    wheels.update(ms);
    lights.update(ms);
}

void Car::drawDashboard(SDL_Surface* screen) {
    Lock lock(mutex);
    needleColour = packPixel(screen->format, 0, 0, 0, 128);
    wheels.drawRotated(screen, 380, 540, -steering);
    wheels.drawRotated(screen, 410, 540, -steering);
    wheels.drawRotated(screen, 380, 580, 0);
    wheels.drawRotated(screen, 410, 580, 0);
    lights.draw(screen, 388, 560);
    lights.draw(screen, 402, 560);
    gauge.draw(screen, 0, 560);

    const double t = speed * 3.14159 / 60;
    const float a = static_cast<float>(-std::cos(t));
    const float b = static_cast<float>(-std::sin(t));
    SDL_LockSurface(screen);
    for (int k = 0; k < 30; ++k) {
        // Stretched horizontally by the display's aspect, with columns stepping by two.
        const int column = 72 + 2 * static_cast<int>(k * double{a} * 800 / 600);
        const int row = 595 + static_cast<int>(k * double{b});
        if (column >= 0 && column < screen->w && row >= 0 && row < screen->h)
            putPixel(screen, column, row, needleColour);
    }
    SDL_UnlockSurface(screen);
}

void Car::accelerate() {
    Lock lock(mutex);
    if (speed < 60) speed += 1;
}

void Car::brake() {
    Lock lock(mutex);
    if (speed > 0) speed -= 1;
}

void Car::steerLeft() {
    Lock lock(mutex);
    if (steering > -45) steering -= 5;
}

void Car::steerRight() {
    Lock lock(mutex);
    if (steering < 45) steering += 5;
}

void Car::setSpeed(float value) {
    Lock lock(mutex);
    speed = value;
}

void Car::setSteering(float value) {
    Lock lock(mutex);
    steering = value;
}

double Car::getX() const {
    Lock lock(mutex);
    return x;
}

double Car::getY() const {
    Lock lock(mutex);
    return y;
}

double Car::getHeading() const {
    Lock lock(mutex);
    return heading;
}

double Car::getSpeed() const {
    Lock lock(mutex);
    return speed;
}

double Car::getSteering() const {
    Lock lock(mutex);
    return steering;
}

double Car::getObstacleSum() const {
    Lock lock(mutex);
    return obstacleSum;
}

int32_t Car::getRingIndex() const {
    Lock lock(mutex);
    return ringIndex;
}

bool Car::isSoundPlaying() const {
    Lock lock(mutex);
    return soundPlaying;
}

CarState Car::getState() const {
    Lock lock(mutex);
    return {speed, steering, x, y, heading, bearing, firstStep, waypointIndex};
}

void Car::setState(const CarState& state) {
    Lock lock(mutex);
    speed = state.speed;
    steering = state.steering;
    x = state.x;
    y = state.y;
    heading = state.heading;
    bearing = state.bearing;
    firstStep = state.firstStep;
    waypointIndex = state.waypointIndex;
}

void Car::pushObstacleForce(double force) {
    Lock lock(mutex);
    obstacleSum = obstacleSum + force - obstacleRing[ringIndex];
    obstacleRing[ringIndex] = force;
    ringIndex = (ringIndex + 1) % 20;
}

void Car::drawGainSliders(SDL_Surface* screen, SDL_Surface* pointer) const {
    drawSlider(screen, pointer, headingGain, 50, 150, 340);
    drawSlider(screen, pointer, trackGain, 150, 150, 340);
    drawSlider(screen, pointer, pathWeight, 250, 150, 340);
    drawSlider(screen, pointer, obstacleThreshold, 350, 150, 340);
    drawSlider(screen, pointer, avoidGain, 450, 150, 340);
}

void Car::drawSlider(SDL_Surface* screen, SDL_Surface* pointer, double value, int x, int top,
                     int bottom) const {
    if (pointer == nullptr) return;
    // The offset of 97 rather than 100 lines the pointer up with the panel's tracks.
    const int y = static_cast<int>((1 - value) * (bottom - top) + 97 + top);
    SDL_Rect source{0, 0, static_cast<Uint16>(pointer->w), static_cast<Uint16>(pointer->h)};
    SDL_Rect target{static_cast<Sint16>(x), static_cast<Sint16>(y), 0, 0};
    SDL_BlitSurface(pointer, &source, screen, &target);
}
