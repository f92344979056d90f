// The lab's frame loop turned inside out: paused at every driver step until the caller steers.
#include "Drive.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

namespace {

// The lab draws nobody's screen: what its loaders would say goes nowhere.
ImageSource quietly(const std::string& folder) {
    return {folder, nullptr, nullptr};
}

const struct {
    DriveEnd end;
    const char* words;
} endTable[] = {{DriveEnd::running, "running"},
                {DriveEnd::finished, "finished"},
                {DriveEnd::lapLimit, "strayed"},
                {DriveEnd::controllerFailed, "controller failed"},
                {DriveEnd::recordingFailed, "recording failed"},
                {DriveEnd::watcherClosed, "watcher closed"},
                {DriveEnd::offTrack, "off the track"},
                {DriveEnd::noProgress, "no progress"},
                {DriveEnd::stepLimit, "step limit"}};

}  // namespace

const char* endWords(DriveEnd end) {
    for (const auto& row : endTable)
        if (row.end == end) return row.words;
    return endTable[0].words;
}

DriveEnd endNamed(const std::string& words) {
    for (const auto& row : endTable)
        if (words == row.words) return row.end;
    return DriveEnd::running;
}

LapFigures Drive::Lap::finish(int64_t nowMs) {
    figures.seconds = (nowMs - startMs) / 1000.0;
    figures.obstaclesHit = static_cast<int>(hit.size());
    figures.frames = frames;
    if (frames > 0) {
        figures.rmsCrossTrack = std::sqrt(crossTrackSquares / frames);
        figures.meanSpeed = speedSum / frames;
    }
    return figures;
}

Drive::Drive(std::string text, std::string sourceName, const std::string& imageFolder)
    : courseText(std::move(text)),
      source(std::move(sourceName)),
      problem(),
      particles(),
      course(particles),
      car(quietly(imageFolder), targetSpeed),
      backdrop(imageFolder.empty() ? nullptr : std::make_unique<Backdrop>(quietly(imageFolder))),
      screen(makeDisplaySurface()),
      background(),
      segmentStarts{0} {
    if (!imageFolder.empty()) course.loadImages(quietly(imageFolder));
    if (backdrop && backdrop->coversScreen()) {
        background = makeDisplaySurface();
        backdrop->draw(background.get());
    }
    std::ostringstream errors;
    if (!readCourse(1, errors)) {
        problem = errors.str();
        return;
    }
    const std::vector<CourseObject>& waypoints = course.getWaypoints();
    if (waypoints.size() < 2) {
        problem = source + ": a course needs at least two waypoints\n";
        return;
    }
    for (size_t i = 1; i < waypoints.size(); ++i)
        segmentStarts.push_back(
            segmentStarts.back() +
            std::hypot(waypoints[i].x - waypoints[i - 1].x, waypoints[i].y - waypoints[i - 1].y));
}

bool Drive::readCourse(unsigned seed, std::ostream& errors) {
    std::istringstream stream(courseText);
    return course.readFile(stream, seed, source, errors);
}

void Drive::start(const DriveSetup& setup, Pixels composed) {
    // The same text read before: it reads again without a word.
    std::ostringstream ignored;
    readCourse(setup.seed, ignored);
    car.reset();
    car.setTuning(setup.tuning);
    // Nothing of an earlier drive shows: the same seed gives the same frames.
    particles.clear();
    SDL_FillRect(screen.get(), nullptr, 0);
    limits = {setup.laps, static_cast<uint16_t>(setup.frameMs), setup.lapLimitMs};
    pixels = composed;
    clock = DriveClock(0);
    now = 0;
    elapsedMs = 0;
    state = StepState{};
    lap = Lap();
    laps.clear();
    ending = DriveEnd::running;
    runToStep();
}

void Drive::steer(const ControlCommand& command) {
    car.applyControl(command);
    finishFrame(pausedDt, pausedLapEnded);
    runToStep();
}

void Drive::steerByAutopilot() {
    car.autopilotControl(course);
    finishFrame(pausedDt, pausedLapEnded);
    runToStep();
}

void Drive::runToStep() {
    while (!over()) {
        if (elapsedMs - lap.startMs >= limits.lapLimitMs) {
            ending = DriveEnd::lapLimit;
            return;
        }
        now = static_cast<uint16_t>(now + limits.frameMs);
        elapsedMs += limits.frameMs;
        const FrameOutcome outcome = beginFrame(car, course, clock, clock.tick(now), true);
        if (outcome.stepped) {
            pausedDt = outcome.dt;
            pausedLapEnded = outcome.lapEnded;
            state = {state.step + 1, elapsedMs / 1000.0, car.driverView(course)};
            return;
        }
        finishFrame(outcome.dt, false);
    }
}

void Drive::finishFrame(uint16_t dt, bool lapEnded) {
    if (drawsThisFrame()) {
        if (background) {
            std::memcpy(screen->pixels, background->pixels,
                        static_cast<size_t>(screen->pitch) * screen->h);
        } else if (backdrop) {
            backdrop->draw(screen.get());
        }
        composeFrame(screen.get(), car, course, particles, dt);
    } else {
        composeFrame(nullptr, car, course, particles, dt);
    }

    const double threshold = car.getObstacleThreshold();
    bool collision = false;
    for (const CourseObject& obstacle : course.getObstacles()) {
        if (Course::collides(obstacle, threshold)) {
            collision = true;
            lap.hit.insert(&obstacle);
        }
    }
    if (lapEnded) {
        // The frame whose step put the car back at the start opens the next lap.
        const int64_t lapEnd = elapsedMs - limits.frameMs;
        laps.push_back(lap.finish(lapEnd));
        lap = Lap();
        lap.startMs = lapEnd;
        if (static_cast<int>(laps.size()) == limits.laps) {
            ending = DriveEnd::finished;
            return;
        }
    }

    const CarState carState = car.getState();
    const double crossTrack = car.crossTrackDistance(course);
    ++lap.frames;
    lap.crossTrackSquares += crossTrack * crossTrack;
    lap.speedSum += carState.speed;
    lap.figures.worstCrossTrack = std::max(lap.figures.worstCrossTrack, std::fabs(crossTrack));
    if (collision) ++lap.figures.collisionFrames;
    if (onFrame && !onFrame({elapsedMs / 1000.0, carState.x, carState.y, carState.heading,
                             carState.speed, carState.steering, carState.waypointIndex,
                             car.getObstacleSum(), crossTrack, collision}))
        ending = DriveEnd::watcherClosed;
}

// A frame that the backdrop covers whole leaves nothing on the screen for the next: only the frame
// before a step needs its pixels. Without a backdrop, every frame leaves its traces.
bool Drive::drawsThisFrame() const {
    switch (pixels) {
        case Pixels::none:
            return false;
        case Pixels::atSteps:
            return !background || clock.stepDueAt(static_cast<uint16_t>(now + limits.frameMs));
        case Pixels::everyFrame:
            break;
    }
    return true;
}

int Drive::hits() const {
    int sum = static_cast<int>(lap.hit.size());
    for (const LapFigures& finished : laps) sum += finished.obstaclesHit;
    return sum;
}

Drive::Totals Drive::totals() const {
    Totals sum;
    for (const LapFigures& finished : laps) {
        sum.seconds += finished.seconds;
        sum.frames += finished.frames;
        sum.crossTrackSquares += finished.rmsCrossTrack * finished.rmsCrossTrack * finished.frames;
    }
    // A finished drive's next lap has only begun.
    if (ending != DriveEnd::finished) {
        sum.seconds += (elapsedMs - lap.startMs) / 1000.0;
        sum.frames += lap.frames;
        sum.crossTrackSquares += lap.crossTrackSquares;
    }
    return sum;
}

double Drive::distance() const {
    const std::vector<CourseObject>& waypoints = course.getWaypoints();
    const CarState carState = car.getState();
    const size_t index =
        std::min(static_cast<size_t>(std::max(carState.waypointIndex, 0)), waypoints.size() - 1);
    double along = segmentStarts[index];
    if (index + 1 < waypoints.size()) {
        const CourseObject& p0 = waypoints[index];
        const CourseObject& p1 = waypoints[index + 1];
        const double length = segmentStarts[index + 1] - along;
        if (length > 0)
            along += std::clamp(
                ((p1.x - p0.x) * (carState.x - p0.x) + (p1.y - p0.y) * (carState.y - p0.y)) /
                    length,
                0.0, length);
    }
    return laps.size() * courseLength() + (ending == DriveEnd::finished ? 0 : along);
}
