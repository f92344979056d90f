// The lab's drive loop: frames of a fixed step through the game's own frame code, and lap figures.
#include "LabDrive.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <iostream>
#include <set>
#include <sstream>
#include <utility>

namespace {

// The car's constructor reports its bitmap loads; the lab draws nobody's screen, so it keeps quiet.
class SilencedOutput {
  public:
    SilencedOutput() : out(std::cout.rdbuf(nullptr)), err(std::cerr.rdbuf(nullptr)) {}
    ~SilencedOutput() {
        std::cout.rdbuf(out);
        std::cerr.rdbuf(err);
    }

  private:
    std::streambuf* out;
    std::streambuf* err;
};

// Works in another folder for as long as it lives; an empty name stays where it is.
class InFolder {
  public:
    explicit InFolder(const std::string& folder) {
        if (folder.empty()) return;
        std::error_code error;
        home = std::filesystem::current_path(error);
        if (!error) std::filesystem::current_path(std::filesystem::u8path(folder), error);
        if (error) std::cerr << "roadsim-lab: cannot enter " << folder << std::endl;
    }
    ~InFolder() {
        if (home.empty()) return;
        std::error_code error;
        std::filesystem::current_path(home, error);
        if (error) std::cerr << "roadsim-lab: cannot return to the working folder\n";
    }
    InFolder(const InFolder&) = delete;
    InFolder& operator=(const InFolder&) = delete;

  private:
    std::filesystem::path home;
};

struct LapAccumulator {
    int64_t frames = 0;
    int64_t startMs = 0;
    double crossTrackSquares = 0;
    double speedSum = 0;
    LapFigures figures;
    std::set<const CourseObject*> hit;

    LapFigures finish(int64_t nowMs) {
        figures.seconds = (nowMs - startMs) / 1000.0;
        figures.obstaclesHit = static_cast<int>(hit.size());
        figures.frames = frames;
        if (frames > 0) {
            figures.rmsCrossTrack = std::sqrt(crossTrackSquares / frames);
            figures.meanSpeed = speedSum / frames;
        }
        return figures;
    }
};

}  // namespace

LabDrive::LabDrive(std::string text, const std::string& sourceName, const std::string& imageFolder)
    : courseText(std::move(text)),
      source(sourceName),
      particles(),
      course(particles),
      car(),
      backdrop(),
      screen(makeDisplaySurface()),
      isValid(false) {
    {
        const InFolder images(imageFolder);
        const SilencedOutput quiet;
        car = std::make_unique<Car>();
        if (!imageFolder.empty()) {
            course.loadImages();
            backdrop = std::make_unique<Backdrop>();
        }
    }
    isValid = readCourse(1);
    if (isValid && course.getWaypoints().size() < 2) {
        std::cerr << source << ": a course needs at least two waypoints" << std::endl;
        isValid = false;
    }
}

bool LabDrive::readCourse(unsigned seed) {
    std::istringstream stream(courseText);
    return course.readFile(stream, seed, source);
}

DriveResult LabDrive::drive(const Tuning& tuning, const DriveSettings& settings) {
    DriveResult result;
    readCourse(settings.seed);
    car->reset();
    car->setTuning(tuning);
    if (settings.controller != nullptr &&
        !settings.controller->start(
            course, settings.recorder != nullptr ? settings.recorder->absoluteFolder() : "")) {
        result.end = DriveEnd::controllerFailed;
        return result;
    }

    int64_t elapsedMs = 0;
    int step = 0;
    // At a step the screen still shows the frame composed last: what the driver sees as it
    // decides.
    const DriverStep driver = [&](Car& driven, const Course& followed) {
        ++step;
        if (settings.controller == nullptr && settings.recorder == nullptr) {
            driven.autopilotControl(followed);
            return;
        }
        const StepState state{step, elapsedMs / 1000.0, driven.driverView(followed)};
        std::string image;
        if (settings.recorder != nullptr) {
            image = settings.recorder->saveFrame(screen.get(), state.step);
            // A controller may look at the frame, so it must be on disk first.
            if (settings.controller != nullptr && !settings.recorder->flushFrames()) {
                result.end = DriveEnd::recordingFailed;
                return;
            }
        }
        ControlCommand command{};
        if (settings.controller == nullptr) {
            command = driven.autopilotControl(followed);
        } else if (settings.controller->decide(state, image, command)) {
            driven.applyControl(command);
        } else {
            result.end = DriveEnd::controllerFailed;
            return;
        }
        if (settings.recorder != nullptr &&
            !settings.recorder->log(state, image, command, autopilotCommand(state.view, tuning)))
            result.end = DriveEnd::recordingFailed;
    };

    DriveFrames frames(*car, course, particles, 0);
    uint16_t now = 0;
    LapAccumulator lap;
    while (static_cast<int>(result.laps.size()) < settings.laps) {
        if (elapsedMs - lap.startMs >= settings.lapLimitMs) {
            result.end = DriveEnd::lapLimit;
            break;
        }
        now = static_cast<uint16_t>(now + settings.stepMs);
        elapsedMs += settings.stepMs;
        const FrameOutcome outcome = frames.run(screen.get(), now, &driver, backdrop.get());
        if (result.end != DriveEnd::finished) break;

        bool collision = false;
        for (const CourseObject& obstacle : course.getObstacles()) {
            if (Course::collides(obstacle, tuning.obstacleThreshold)) {
                collision = true;
                lap.hit.insert(&obstacle);
            }
        }
        if (outcome.lapEnded) {
            // The frame whose step put the car back at the start opens the next lap.
            const int64_t lapEnd = elapsedMs - settings.stepMs;
            result.laps.push_back(lap.finish(lapEnd));
            if (static_cast<int>(result.laps.size()) == settings.laps) break;
            lap = LapAccumulator();
            lap.startMs = lapEnd;
        }

        const CarState state = car->getState();
        const double crossTrack = car->crossTrackDistance(course);
        ++lap.frames;
        lap.crossTrackSquares += crossTrack * crossTrack;
        lap.speedSum += state.speed;
        lap.figures.worstCrossTrack = std::max(lap.figures.worstCrossTrack, std::fabs(crossTrack));
        if (collision) ++lap.figures.collisionFrames;
        if (settings.recordTrace)
            result.trace.push_back({elapsedMs / 1000.0, state.x, state.y, state.heading,
                                    state.speed, state.steering, state.waypointIndex,
                                    car->getObstacleSum(), crossTrack, collision});
        if (settings.watcher != nullptr && !settings.watcher->show(screen.get(), elapsedMs)) {
            result.end = DriveEnd::watcherClosed;
            break;
        }
    }
    if (settings.controller != nullptr && result.end != DriveEnd::controllerFailed)
        settings.controller->finish();
    result.simulatedMs = elapsedMs;
    return result;
}
