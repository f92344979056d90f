// One headless drive of a course that its caller steps: the frames run until the driver must
// choose, the caller's command (or the built-in autopilot's) is applied, and the frames run on to
// the next step, with the figures of every lap. A drive shares nothing with the process or with
// other drives, so several may run at once on several threads.
#pragma once

#include "Car.h"
#include "Course.h"
#include "DriveFrame.h"
#include "DriveSetup.h"
#include "ImageFrame.h"
#include "Particle.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

struct LapFigures {
    double seconds = 0;
    int obstaclesHit = 0;
    int collisionFrames = 0;
    double worstCrossTrack = 0;
    double rmsCrossTrack = 0;
    double meanSpeed = 0;
    int64_t frames = 0;
};

// The lap figures' keys in the lab's JSON and Python, each with its field: VISIT(key, field) for
// every figure, so that a writer and a reader see the same table.
template <typename Figures, typename Visit>
void visitLapFigures(Figures& lap, Visit&& visit) {
    visit("seconds", lap.seconds);
    visit("hits", lap.obstaclesHit);
    visit("collision_frames", lap.collisionFrames);
    visit("worst_cross_track", lap.worstCrossTrack);
    visit("rms_cross_track", lap.rmsCrossTrack);
    visit("mean_speed", lap.meanSpeed);
    visit("frames", lap.frames);
}

// One frame of a drive, after it was composed.
struct TraceRow {
    double seconds, x, y, heading, speed, steering;
    int32_t waypointIndex;
    double obstacleSum, crossTrack;
    bool collision;
};

// The columns of the lab's --csv trace, with units in their names, in the file's order.
template <typename Visit>
void visitTraceColumns(const TraceRow& row, Visit&& visit) {
    visit("time_s", row.seconds);
    visit("x_ft", row.x);
    visit("y_ft", row.y);
    visit("heading_rad", row.heading);
    visit("speed_mph", row.speed);
    visit("steering_deg", row.steering);
    visit("waypoint", row.waypointIndex);
    visit("obstacle_sum", row.obstacleSum);
    visit("cross_track_ft", row.crossTrack);
}

enum class DriveEnd {
    running,           // not over yet
    finished,          // every lap within the limit
    lapLimit,          // a lap took too long
    controllerFailed,  // see the controller's fault
    recordingFailed,   // a frame could not be written
    watcherClosed,     // the viewer ended it
    // Where a learner's episode ends a drive that the lab would let go on (Episode):
    offTrack,    // the car too far from the track
    noProgress,  // too long without getting on along the course
    stepLimit,   // the episode's steps all taken
};
inline constexpr DriveEnd lastDriveEnd = DriveEnd::stepLimit;

// How a drive ended in the words of the lab's report, the board and Python: "running",
// "finished", "strayed", "controller failed", "recording failed", "watcher closed", and an
// episode's "off the track", "no progress", "step limit".
const char* endWords(DriveEnd end);
// The end those words name; running for words that name none.
DriveEnd endNamed(const std::string& words);

// What a driver sees at a step, field by field: VISIT(name, value) in the controller protocol's
// order and names, which the module's state array and the recording's log follow too (the log
// without the target speed, which it has never had).
template <typename Visit>
void visitStateFields(const StepState& now, Visit&& visit) {
    const DriverView& view = now.view;
    visit("t", now.seconds);
    visit("x", view.state.x);
    visit("y", view.state.y);
    visit("heading", view.state.heading);
    visit("speed", view.state.speed);
    visit("steering", view.state.steering);
    visit("waypoint", view.state.waypointIndex);
    visit("target_speed", view.targetSpeed);
    visit("cross_track", view.crossTrack);
    visit("heading_error", view.headingError);
    visit("obstacle_sum", view.obstacleSum);
}
inline constexpr int stateFieldCount = 11;

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

    // Reads the course anew with the setup's seed, puts the car at the start with its tuning, and
    // runs the frames up to the first driver step; its laps, frame and lap limit hold until the
    // next start. The setup's course, images and frame size are the caller's.
    void start(const DriveSetup& setup, Pixels pixels);
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
    // Every lap so far, the current one as far as it has come, summed as the board sums a drive.
    struct Totals {
        double seconds = 0;
        int64_t frames = 0;
        double crossTrackSquares = 0;
    };
    Totals totals() const;
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

    struct Limits {
        int laps = defaultLaps;
        uint16_t frameMs = defaultFrameMs;
        int64_t lapLimitMs = defaultLapLimitMs;
    } limits;
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
