// The episode's rules: a step's reward from the progress, the hits and the distance from the track
// after it, and its end from the drive's end and that distance.
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
    distance = startDistance = progressDistance = drive.distance();
    hits = startHits = drive.hits();
    steps = 0;
    progressMs = drive.simulatedMs();
}

double Episode::progress() const {
    const double whole = drive.courseLength() * setup.laps;
    return whole > 0 ? std::clamp(distanceSoFar() / whole, 0.0, 1.0) : 0.0;
}

DriveEnd Episode::endOf(double crossTrack) {
    const DriveEnd end = drive.end();
    if (end != DriveEnd::running) return end;
    if (std::fabs(crossTrack) > setup.maxCrossTrackFt) return DriveEnd::offTrack;
    if (distance >= progressDistance + noProgressFt) {
        progressDistance = distance;
        progressMs = drive.simulatedMs();
    }
    if (drive.simulatedMs() - progressMs >= noProgressMs) return DriveEnd::noProgress;
    if (setup.maxSteps > 0 && steps >= setup.maxSteps) return DriveEnd::stepLimit;
    return DriveEnd::running;
}

StepOutcome Episode::step(const ControlCommand& command) {
    drive.steer(command);
    const double nowDistance = drive.distance();
    const int nowHits = drive.hits();
    const double crossTrack = observedCrossTrack();
    StepOutcome outcome;
    outcome.reward = (nowDistance - distance) * progressReward - (nowHits - hits) * hitPenalty -
                     crossTrackPenalty * std::fabs(crossTrack);
    distance = nowDistance;
    hits = nowHits;
    ++steps;
    outcome.end = endOf(crossTrack);
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

void Episode::writeExpert(float* out) const {
    const ControlCommand command = drive.expert();
    out[0] = static_cast<float>(command.steering);
    out[1] = static_cast<float>(command.speed);
}
