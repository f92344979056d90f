// The lab's drive loop: frames of a fixed step through the game's own frame code, and lap figures.
#include "LabDrive.h"

#include "DriveFrame.h"

#include <algorithm>
#include <cmath>
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
        if (frames > 0) {
            figures.rmsCrossTrack = std::sqrt(crossTrackSquares / frames);
            figures.meanSpeed = speedSum / frames;
        }
        return figures;
    }
};

}  // namespace

LabDrive::LabDrive(std::string text, const std::string& sourceName)
    : courseText(std::move(text)),
      source(sourceName),
      particles(),
      course(particles),
      car(),
      screen(makeDisplaySurface()),
      isValid(false) {
    {
        const SilencedOutput quiet;
        car = std::make_unique<Car>();
    }
    isValid = readCourse(1);
    if (isValid && course.getWaypoints().size() < 2) {
        std::cerr << source << ": a course needs at least two waypoints" << std::endl;
        isValid = false;
    }
}

bool LabDrive::readCourse(unsigned seed) {
    std::istringstream stream(courseText);
    int leadingNumber = 0;
    stream >> leadingNumber;
    return course.read(stream, seed, source);
}

DriveResult LabDrive::drive(const Tuning& tuning, const DriveSettings& settings) {
    DriveResult result;
    readCourse(settings.seed);
    car->reset();
    car->headingGain = tuning.heading;
    car->trackGain = tuning.track;
    car->pathWeight = tuning.path;
    car->obstacleThreshold = tuning.threshold;
    car->avoidGain = tuning.avoid;

    DriveClock clock(0);
    uint16_t now = 0;
    int64_t elapsedMs = 0;
    int32_t previousIndex = 0;
    LapAccumulator lap;
    while (static_cast<int>(result.laps.size()) < settings.laps) {
        if (elapsedMs - lap.startMs >= settings.lapLimitMs) return result;
        now = static_cast<uint16_t>(now + settings.stepMs);
        elapsedMs += settings.stepMs;
        const uint16_t dt = clock.tick(now);
        advanceFrame(*car, course, clock, dt, true);
        composeFrame(screen.get(), *car, course, particles, dt);

        bool collision = false;
        for (const CourseObject& obstacle : course.getObstacles()) {
            if (obstacle.value >= 0.5 && obstacle.value >= tuning.threshold && obstacle.isHit()) {
                collision = true;
                lap.hit.insert(&obstacle);
            }
        }
        const CarState state = car->getState();
        if (state.waypointIndex < previousIndex) {
            // The frame whose autopilot step put the car back at the start opens the next lap.
            const int64_t lapEnd = elapsedMs - settings.stepMs;
            result.laps.push_back(lap.finish(lapEnd));
            if (static_cast<int>(result.laps.size()) == settings.laps) break;
            lap = LapAccumulator();
            lap.startMs = lapEnd;
        }
        previousIndex = state.waypointIndex;

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
    }
    result.finished = true;
    return result;
}
