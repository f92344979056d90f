// Car kinematics, manual controls, obstacle memory, dashboard and tuning sliders.
#include "Car.h"

#include "Display.h"
#include "Pixel.h"
#include "RoundedPi.h"

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>
#include <numeric>

using Lock = std::lock_guard<std::mutex>;

namespace {

// The dashboard along the bottom of the screen: four wheels about the car's centre line with the
// two lights between them, and the gauge at the left with the needle turning about its hub.
constexpr int leftWheelColumn = 380;
constexpr int rightWheelColumn = 410;
constexpr int frontWheelRow = 540;
constexpr int rearWheelRow = 580;
constexpr int leftLightColumn = 388;
constexpr int rightLightColumn = 402;
constexpr int lightRow = 560;
constexpr int gaugeColumn = 0;
constexpr int gaugeRow = 560;
constexpr int needleHubColumn = 72;
constexpr int needleHubRow = 595;
constexpr int needleLength = 30;
// The needle sweeps half a turn from 0 (pointing left) to this speed (pointing right).
constexpr double needleFullScale = 60;

// The control screen's sliders, one column per tuning value, each with its track from top to
// bottom.
constexpr int firstSliderColumn = 50;
constexpr int sliderSpacing = 100;
constexpr int sliderTop = 150;
constexpr int sliderBottom = 340;
// 97 rather than the banner's 100 lines the pointer up with the panel's tracks.
constexpr int sliderRowOffset = bannerHeight - 3;

}  // namespace

Car::Car(const ImageSource& images, double& target)
    : obstacleThreshold(Tuning().obstacleThreshold),
      avoidGain(Tuning().avoidGain),
      headingGain(Tuning().headingGain),
      trackGain(Tuning().trackGain),
      pathWeight(Tuning().pathWeight),
      mutex(),
      targetSpeed(target),
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
    wheels.addFrame(ImageFrame("tire1.bmp", 100, images));
    wheels.addFrame(ImageFrame("tire2.bmp", 100, images));
    wheels.addFrame(ImageFrame("tire3.bmp", 100, images));
    lights.addFrame(ImageFrame("light2.bmp", 500, images));
    lights.addFrame(ImageFrame("light1.bmp", 500, images));
    gauge.addFrame(ImageFrame("gauge.bmp", 10000, images));
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
        heading += d * (std::tan(steering * roundedPi / 180) / 12);  // 12 ft wheelbase
        if (heading < 0) heading += roundedTwoPi;
        if (heading > roundedTwoPi) heading -= roundedTwoPi;
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
    wheels.drawRotated(screen, leftWheelColumn, frontWheelRow, -steering);
    wheels.drawRotated(screen, rightWheelColumn, frontWheelRow, -steering);
    wheels.drawRotated(screen, leftWheelColumn, rearWheelRow, 0);
    wheels.drawRotated(screen, rightWheelColumn, rearWheelRow, 0);
    lights.draw(screen, leftLightColumn, lightRow);
    lights.draw(screen, rightLightColumn, lightRow);
    gauge.draw(screen, gaugeColumn, gaugeRow);

    const double t = speed * roundedPi / needleFullScale;
    const float a = static_cast<float>(-std::cos(t));
    const float b = static_cast<float>(-std::sin(t));
    SDL_LockSurface(screen);
    for (int k = 0; k < needleLength; ++k) {
        // Stretched horizontally by the display's aspect, with columns stepping by two.
        const int column =
            needleHubColumn + 2 * static_cast<int>(k * double{a} * displayWidth / displayHeight);
        const int row = needleHubRow + static_cast<int>(k * double{b});
        if (column >= 0 && column < screen->w && row >= 0 && row < screen->h)
            putPixel(screen, column, row, needleColour);
    }
    SDL_UnlockSurface(screen);
}

void Car::accelerate() {
    Lock lock(mutex);
    if (speed < control::topSpeed) speed += 1;
}

void Car::brake() {
    Lock lock(mutex);
    if (speed > 0) speed -= 1;
}

void Car::steerLeft() {
    Lock lock(mutex);
    if (steering > -control::maxSteering) steering -= 5;
}

void Car::steerRight() {
    Lock lock(mutex);
    if (steering < control::maxSteering) steering += 5;
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
    return stateUnlocked();
}

CarState Car::stateUnlocked() const {
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
    // Strengths up to the largest double are legal in a course, and their forces overflow a frame's
    // sum or cancel to NaN. Held within a bound that the whole ring cannot overflow, every sample
    // keeps the sum finite.
    constexpr double maxSample = std::numeric_limits<double>::max() / (2 * obstacleRingSize);
    const double sample = std::isnan(force) ? 0 : std::clamp(force, -maxSample, maxSample);
    const double leaving = obstacleRing[ringIndex];
    obstacleRing[ringIndex] = sample;
    // A sample far beyond any real course's forces leaves rounding of its own size in the running
    // sum; once it has gone the sum is taken afresh, so that the error goes with it.
    constexpr double largeSample = 1e6;
    if (std::fabs(leaving) > largeSample) {
        obstacleSum = std::accumulate(std::begin(obstacleRing), std::end(obstacleRing), 0.0);
    } else {
        obstacleSum = obstacleSum + sample - leaving;
    }
    ringIndex = (ringIndex + 1) % obstacleRingSize;
}

void Car::setTuning(const Tuning& tuning) {
    for (const TuningSlider& slider : tuningSliders) this->*slider.carValue = tuning.*slider.value;
}

void Car::drawGainSliders(SDL_Surface* screen, SDL_Surface* pointer) const {
    int column = firstSliderColumn;
    for (const TuningSlider& slider : tuningSliders) {
        drawSlider(screen, pointer, this->*slider.carValue, column, sliderTop, sliderBottom);
        column += sliderSpacing;
    }
}

void Car::drawSlider(SDL_Surface* screen, SDL_Surface* pointer, double value, int x, int top,
                     int bottom) const {
    if (pointer == nullptr) return;
    const int y = static_cast<int>((1 - value) * (bottom - top) + sliderRowOffset + top);
    SDL_Rect source{0, 0, static_cast<Uint16>(pointer->w), static_cast<Uint16>(pointer->h)};
    SDL_Rect target{static_cast<Sint16>(x), static_cast<Sint16>(y), 0, 0};
    SDL_BlitSurface(pointer, &source, screen, &target);
}
