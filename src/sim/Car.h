// The simulated car: kinematics, manual controls, obstacle memory, dashboard, tuning sliders and
// the autopilot that drives it along the course.
#pragma once

#include "Animation.h"
#include "Control.h"
#include "Sound.h"
#include "TuningStep.h"

#include <SDL.h>

#include <atomic>
#include <cstdint>
#include <mutex>

class Course;

// The target speed of the current waypoint; kept across resets and drives.
extern double targetSpeed;

// The part of the car's state that a drive carries and that a test or the lab may set.
struct CarState {
    double speed;
    double steering;
    double x;
    double y;
    double heading;
    double bearing;
    bool firstStep;
    int32_t waypointIndex;
};

// What a driver sees at its step, after the course progress of that step: the figures the autopilot
// steers by.
struct DriverView {
    CarState state;
    double targetSpeed;
    double crossTrack;
    double headingError;
    double obstacleSum;
};

// The autopilot's choice at a step: the speed and angle it would move to from what the driver sees,
// with those tuning values.
ControlCommand autopilotCommand(const DriverView& view, const Tuning& tuning);

// Shared by the event thread (controls, tuning, reset) and the drawing worker; every operation
// takes the car's lock, so each sees and leaves a whole state.
class Car {
  public:
    // The bitmaps come from images; the autopilot keeps its target speed in target, by default the
    // game's process-wide one.
    explicit Car(const ImageSource& images = {}, double& target = ::targetSpeed);
    ~Car();
    Car(const Car&) = delete;
    Car& operator=(const Car&) = delete;

    // Back to the origin at rest, course progress and obstacle memory cleared; tuning kept.
    void reset();
    // Loads the engine sound (with sound enabled), replacing the previous one.
    void loadSound();
    // Advances the kinematics by ms milliseconds; starts or halts the engine and the animations.
    void update(int32_t ms);
    void drawDashboard(SDL_Surface* screen);

    void accelerate();
    void brake();
    void steerLeft();
    void steerRight();
    void setSpeed(float value);
    void setSteering(float value);

    double getX() const;
    double getY() const;
    double getHeading() const;
    double getObstacleThreshold() const { return obstacleThreshold; }
    double getSpeed() const;
    double getSteering() const;
    double getObstacleSum() const;
    int32_t getRingIndex() const;
    bool isSoundPlaying() const;
    CarState getState() const;
    void setState(const CarState& state);

    // How many frames the obstacle memory spans.
    static constexpr int32_t obstacleRingSize = 20;

    // Adds this frame's obstacle force to the memory of the last obstacleRingSize frames.
    void pushObstacleForce(double force);

    // One 50 ms step of the autopilot along the course: the course progress, then its control.
    void autopilotStep(const Course& course);
    // The course progress of a step: the start, the reset after the last waypoint and the advance
    // to the next segment, whoever drives. True when the lap ended and the car went back to the
    // origin.
    bool followCourse(const Course& course);
    // The autopilot's speed and steering steps; answers the speed and angle it moved to.
    ControlCommand autopilotControl(const Course& course);
    // Another driver's step: speed and steering move towards the command within the bounds.
    void applyControl(const ControlCommand& command);
    DriverView driverView(const Course& course) const;
    double crossTrackDistance(const Course& course) const;
    double segmentBearing(const Course& course) const;
    double waypointTargetSpeed(const Course& course) const;

    void drawGainSliders(SDL_Surface* screen, SDL_Surface* pointer) const;
    void drawSlider(SDL_Surface* screen, SDL_Surface* pointer, double value, int x, int top,
                    int bottom) const;

    const Animation& getGauge() const { return gauge; }
    const Animation& getLights() const { return lights; }
    const RotoAnimation& getWheels() const { return wheels; }

    void setTuning(const Tuning& tuning);

    // Tuning values, 0 to 1: written by the event thread, read by the workers.
    std::atomic<double> obstacleThreshold;
    std::atomic<double> avoidGain;
    std::atomic<double> headingGain;
    std::atomic<double> trackGain;
    std::atomic<double> pathWeight;

  private:
    void resetUnlocked();
    CarState stateUnlocked() const;
    double crossTrackUnlocked(const Course& course) const;
    double bearingUnlocked(const Course& course) const;
    double headingErrorUnlocked() const;

    mutable std::mutex mutex;
    double& targetSpeed;
    double speed;
    double steering;
    double x;
    double y;
    double heading;
    double bearing;
    double obstacleSum;
    bool firstStep;
    double obstacleRing[obstacleRingSize];
    Animation gauge;
    Animation lights;
    RotoAnimation wheels;
    ChunkPtr engineSound;
    bool soundPlaying;
    int32_t waypointIndex;
    int32_t ringIndex;
    uint16_t needleColour;
};

// One slider of the control screen: its value in a tuning and in the car, and the keys that raise
// and lower it.
struct TuningSlider {
    double Tuning::*value;
    std::atomic<double> Car::*carValue;
    char raiseKey;
    char lowerKey;
};

// In the order of the control screen's sliders.
inline constexpr TuningSlider tuningSliders[] = {
    {&Tuning::headingGain, &Car::headingGain, 'a', 'z'},
    {&Tuning::trackGain, &Car::trackGain, 's', 'x'},
    {&Tuning::pathWeight, &Car::pathWeight, 'd', 'c'},
    {&Tuning::obstacleThreshold, &Car::obstacleThreshold, 'f', 'v'},
    {&Tuning::avoidGain, &Car::avoidGain, 'g', 'b'}};
