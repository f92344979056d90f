// Headless drives of a course by the autopilot, frame by frame as the game composes them, with the
// figures of every lap.
#pragma once

#include "Car.h"
#include "Course.h"
#include "ImageFrame.h"
#include "Particle.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// The five tuning values, in the order of the control screen's sliders.
struct Tuning {
    double heading = 0.5;
    double track = 0.5;
    double path = 0.5;
    double threshold = 0.5;
    double avoid = 0.5;
};

struct DriveSettings {
    int laps = 1;
    uint16_t stepMs = 20;
    unsigned seed = 1;
    // A lap that takes longer than this has failed: the car strays or circles.
    int64_t lapLimitMs = 600000;
    bool recordTrace = false;
};

struct LapFigures {
    double seconds = 0;
    int obstaclesHit = 0;
    int collisionFrames = 0;
    double worstCrossTrack = 0;
    double rmsCrossTrack = 0;
    double meanSpeed = 0;
};

struct TraceRow {
    double seconds, x, y, heading, speed, steering;
    int32_t waypointIndex;
    double obstacleSum, crossTrack;
    bool collision;
};

struct DriveResult {
    std::vector<LapFigures> laps;
    bool finished = false;  // every lap within the limit
    std::vector<TraceRow> trace;
};

// One car on one course, driven off-screen; each drive reads the course anew from its text with the
// drive's seed, so the same seed and tuning give the same figures bit for bit.
class LabDrive {
  public:
    // Fails (see valid()) when the course text cannot be read or has fewer than two waypoints.
    explicit LabDrive(std::string courseText, const std::string& source);
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
    SurfacePtr screen;
    bool isValid;
};
