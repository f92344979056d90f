// One headless drive of a course that its caller steps: the frames run until the driver must
// choose, the caller's command (or the built-in autopilot's) is applied, and the frames run on to
// the next step, with the figures of every lap. A drive shares nothing with the process or with
// other drives, so several may run at once on several threads.
#pragma once

#include "Car.h"
#include "Course.h"
#include "DriveFrame.h"
#include "ImageFrame.h"
#include "LabDefaults.h"
#include "Particle.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

struct DriveLimits {
    int laps = defaultLaps;
    uint16_t frameMs = defaultStepMs;
    int64_t lapLimitMs = defaultLapLimitMs;
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

// One frame of a drive, after it was composed.
struct TraceRow {
    double seconds, x, y, heading, speed, steering;
    int32_t waypointIndex;
    double obstacleSum, crossTrack;
    bool collision;
};

enum class DriveEnd {
    running,           // not over yet
    finished,          // every lap within the limit
    lapLimit,          // a lap took too long
    controllerFailed,  // see the controller's fault
    recordingFailed,   // a frame could not be written
    watcherClosed,     // the viewer ended it
};

// Which frames a drive composes on its screen; the others it only senses, which gives the same
// drive with no pixels.
enum class Pixels {
    none,
    atSteps,     // those that a driver sees at its steps
    everyFrame,  // all, for someone who watches
};

class Drive {
  public:
    // Fails (see valid() and error()) when the course text cannot be read or has fewer than two
    // waypoints. With an image folder, the car, the course and the backdrop load their bitmaps
    // from there, as the game does from its working directory; without one, frames show no
    // sprites.
    Drive(std::string courseText, std::string source, const std::string& imageFolder = "");
    Drive(const Drive&) = delete;
    Drive& operator=(const Drive&) = delete;

    bool valid() const { return problem.empty(); }
    // Why the course cannot be driven, in the course reader's words, a line each.
    const std::string& error() const { return problem; }

    // Reads the course anew with the seed's obstacles, puts the car at the start with the tuning,
    // and runs the frames up to the first driver step.
    void start(const Tuning& tuning, unsigned seed, const DriveLimits& limits, Pixels pixels);
    // Moves speed and steering towards a driver's command within the bounds, then runs the frames
    // up to the next step or the end.
    void steer(const ControlCommand& command);
    // The same with the built-in autopilot of the start's tuning deciding.
    void steerByAutopilot();
    // Ends the drive at the current step for a reason of the caller's.
    void stop(DriveEnd why) { ending = why; }

    bool over() const { return ending != DriveEnd::running; }
    DriveEnd end() const { return ending; }
    // What the driver sees at the current step; the screen still shows the frame composed last.
    const StepState& current() const { return state; }
    // What the built-in autopilot at the lab's defaults would ask from the current step.
    ControlCommand expert() const { return autopilotCommand(state.view, Tuning()); }
    const SDL_Surface* getScreen() const { return screen.get(); }
    const std::vector<LapFigures>& getLaps() const { return laps; }
    int64_t simulatedMs() const { return elapsedMs; }
    // Obstacles hit so far, each once a lap.
    int hits() const;
    // Feet along the course so far: every finished lap whole, and how far along the current one
    // the car has come.
    double distance() const;
    // Feet from the first waypoint to the last.
    double courseLength() const { return segmentStarts.back(); }
    const Course& getCourse() const { return course; }
    const Car& getCar() const { return car; }

    // Called after every frame; false ends the drive (the viewer closed it).
    std::function<bool(const TraceRow&)> onFrame;

  private:
    struct Lap {
        int64_t frames = 0;
        int64_t startMs = 0;
        double crossTrackSquares = 0;
        double speedSum = 0;
        LapFigures figures;
        std::set<const CourseObject*> hit;

        LapFigures finish(int64_t nowMs);
    };

    bool readCourse(unsigned seed, std::ostream& errors);
    // Runs frames until a driver step is due (the frame paused after its course progress) or the
    // drive is over.
    void runToStep();
    // The rest of a frame: composing it and taking its figures.
    void finishFrame(uint16_t dt, bool lapEnded);
    bool drawsThisFrame() const;

    const std::string courseText;
    const std::string source;
    std::string problem;
    double targetSpeed = 0;
    ParticleList particles;
    Course course;
    Car car;
    const std::unique_ptr<Backdrop> backdrop;
    SurfacePtr screen;
    // The backdrop drawn once, when it covers the whole screen: each frame starts as a copy.
    SurfacePtr background;
    std::vector<double> segmentStarts;  // feet along the course at each waypoint

    DriveLimits limits;
    Pixels pixels = Pixels::none;
    DriveClock clock{0};
    uint16_t now = 0;
    uint16_t pausedDt = 0;
    bool pausedLapEnded = false;
    int64_t elapsedMs = 0;
    StepState state{};
    Lap lap;
    std::vector<LapFigures> laps;
    DriveEnd ending = DriveEnd::running;
};
