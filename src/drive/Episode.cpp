// The episode's rules: a step's reward from the progress, the time, the hits and the distance from
// the track, and its end from the drive's end, that distance and the progress.
#include "Episode.h"

#include "Display.h"

#include <algorithm>
#include <cmath>
#include <utility>

std::string episodeProblem(const EpisodeSetup& setup) {
    if (!(setup.maxCrossTrackFt > 0))
        return "max_cross_track must be a positive number of feet, not " +
               std::to_string(setup.maxCrossTrackFt);
    return setupProblem(setup);
}

Episode::Episode(std::string courseText, const std::string& source, const EpisodeSetup& episode)
    : setup(episode), drive(std::move(courseText), source, episode.imageFolder) {
    if (setup.frameWidth > 0)
        averager.emplace(displayWidth, displayHeight, setup.frameWidth, setup.frameHeight);
}

Pixels Episode::pixels() const {
    if (everyFrame) return Pixels::everyFrame;
    return averager || setup.drawScreen ? Pixels::atSteps : Pixels::none;
}

void Episode::reset(unsigned seed) {
    DriveSetup started = setup;
    started.seed = seed;
    drive.start(started, pixels());
    isStarted = true;
    hasEnded = false;
    sightWaypoints.clear();
    sightObstacles.clear();
    for (const CourseObject& waypoint : drive.getCourse().getWaypoints())
        sightWaypoints.push_back({waypoint.x, waypoint.y, waypoint.value});
    for (const CourseObject& obstacle : drive.getCourse().getObstacles())
        sightObstacles.push_back({obstacle.x, obstacle.y, obstacle.value});
    // Counted from the drive's start, so that a finished episode's return is the board's figure.
    lastEarned = 0;
    steps = 0;
    distanceNow = progressDistance = drive.distance();
    progressMs = drive.simulatedMs();
}

double Episode::progress() const {
    const double whole = drive.courseLength() * setup.laps;
    return whole > 0 ? std::clamp(distanceNow / whole, 0.0, 1.0) : 0.0;
}

double Episode::earned() const {
    const Drive::Totals totals = drive.totals();
    const double rms =
        totals.frames > 0 ? std::sqrt(totals.crossTrackSquares / totals.frames) : 0.0;
    const double lapSeconds = setup.lapLimitMs / 1000.0;
    return setup.laps * (lapSeconds * progress() - rms) - totals.seconds -
           hitSeconds * drive.hits();
}

double Episode::earlyEndCost() const {
    const double obstacles = static_cast<double>(drive.getCourse().getObstacles().size());
    return setup.laps *
           (setup.lapLimitMs / 1000.0 + hitSeconds * obstacles + setup.maxCrossTrackFt);
}

DriveEnd Episode::endOf(double crossTrack) {
    const DriveEnd end = drive.end();
    if (end != DriveEnd::running) return end;
    if (std::fabs(crossTrack) > setup.maxCrossTrackFt) return DriveEnd::offTrack;
    if (distanceNow >= progressDistance + noProgressFt) {
        progressDistance = distanceNow;
        progressMs = drive.simulatedMs();
    }
    if (drive.simulatedMs() - progressMs >= noProgressMs) return DriveEnd::noProgress;
    if (setup.maxSteps > 0 && steps >= setup.maxSteps) return DriveEnd::stepLimit;
    return DriveEnd::running;
}

StepOutcome Episode::step(const ControlCommand& command) {
    if (setup.normalizedActions)
        drive.steer(
            {command.steering * control::maxSteering, (command.speed + 1) / 2 * control::topSpeed});
    else
        drive.steer(command);
    ++steps;
    distanceNow = drive.distance();
    StepOutcome outcome;
    outcome.end = endOf(observedCrossTrack());
    const double now = earned();
    outcome.reward = now - lastEarned;
    lastEarned = now;
    // The driver's own ways of ending early; a step limit or a closed window is nobody's failure.
    if (outcome.end == DriveEnd::offTrack || outcome.end == DriveEnd::noProgress ||
        outcome.end == DriveEnd::lapLimit)
        outcome.reward -= earlyEndCost();
    outcome.terminated = outcome.end == DriveEnd::finished || outcome.end == DriveEnd::offTrack;
    hasEnded = outcome.end != DriveEnd::running;
    outcome.truncated = hasEnded && !outcome.terminated;
    return outcome;
}

double Episode::observedCrossTrack() const {
    return static_cast<float>(drive.current().view.crossTrack);
}

void Episode::writeState(float* out) const {
    visitStateFields(drive.current(),
                     [&](const char*, const auto& value) { *out++ = static_cast<float>(value); });
}

void Episode::writeFrame(uint8_t* out) const {
    averager->average(drive.getScreen(), out);
}

void Episode::writeSight(float* out) const {
    ::writeSight(sightWaypoints, sightObstacles, drive.current().view, out);
}

void Episode::writeExpert(float* out) const {
    ControlCommand command = drive.expert();
    if (setup.normalizedActions)
        command = {command.steering / control::maxSteering,
                   command.speed / control::topSpeed * 2 - 1};
    out[0] = static_cast<float>(command.steering);
    out[1] = static_cast<float>(command.speed);
}
