// Headless drives of a course by the autopilot or an external controller, frame by frame as the
// game composes them, with the figures of every lap.
#pragma once

#include "Car.h"
#include "Controller.h"
#include "Course.h"
#include "DriveFrame.h"
#include "ImageFrame.h"
#include "LabDefaults.h"
#include "Particle.h"
#include "Recorder.h"
#include "Watcher.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct DriveSettings {
    int laps = defaultLaps;
    uint16_t stepMs = defaultStepMs;
    unsigned seed = defaultSeed;
    int64_t lapLimitMs = defaultLapLimitMs;
    bool recordTrace = false;
    // Company of the drive, each optional: who drives instead of the autopilot (started already),
    // where the steps are recorded (opened already), and who watches.
    Controller* controller = nullptr;
    Recorder* recorder = nullptr;
    Watcher* watcher = nullptr;
};

struct LapFigures {
    double seconds = 0;
    int obstaclesHit = 0;
    int collisionFrames = 0;
    double worstCrossTrack = 0;
    double rmsCrossTrack = 0;
    double meanSpeed = 0;
    int64_t frames = 0;
};

struct TraceRow {
    double seconds, x, y, heading, speed, steering;
    int32_t waypointIndex;
    double obstacleSum, crossTrack;
    bool collision;
};

enum class DriveEnd {
    finished,          // every lap within the limit
    lapLimit,          // a lap took too long
    controllerFailed,  // see the controller's fault
    recordingFailed,   // a frame could not be written
    watcherClosed,     // the viewer ended it
};

struct DriveResult {
    std::vector<LapFigures> laps;
    DriveEnd end = DriveEnd::finished;
    int64_t simulatedMs = 0;  // the whole drive, up to its end
    std::vector<TraceRow> trace;
    bool finished() const { return end == DriveEnd::finished; }
};

// One car on one course, driven off-screen; each drive reads the course anew from its text with the
// drive's seed, so the same seed and tuning give the same figures bit for bit.
class LabDrive {
  public:
    // Fails (see valid()) when the course text cannot be read or has fewer than two waypoints.
    // With an image folder, the car, the course and the backdrop load their bitmaps from there, as
    // the game does from its working directory; without one, frames show no sprites.
    LabDrive(std::string courseText, const std::string& source,
             const std::string& imageFolder = "");
    LabDrive(const LabDrive&) = delete;
    LabDrive& operator=(const LabDrive&) = delete;

    bool valid() const { return isValid; }
    const Course& getCourse() const { return course; }
    const Car& getCar() const { return *car; }

    DriveResult drive(const Tuning& tuning, const DriveSettings& settings);

  private:
    bool readCourse(unsigned seed);

    std::string courseText;
    std::string source;
    ParticleList particles;
    Course course;
    std::unique_ptr<Car> car;
    std::unique_ptr<Backdrop> backdrop;
    SurfacePtr screen;
    bool isValid;
};
