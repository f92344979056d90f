// A drive as a learner's episode: what a step earns and when the episode ends, decided here once
// for every way the Python module steps drives.
#pragma once

#include "AveragedFrame.h"
#include "Drive.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

// The reward of a step: progress along the course, less each obstacle newly hit and the distance
// from the track (the README gives the reasons).
inline constexpr double progressReward = 0.1;      // per foot along the course
inline constexpr double hitPenalty = 1.0;          // per obstacle newly hit
inline constexpr double crossTrackPenalty = 0.01;  // per foot from the track, every step
// The course maker keeps a course only when the autopilot stays within this of the track on every
// lap: a car beyond it has lost the course.
inline constexpr double defaultMaxCrossTrackFt = 30;
// A drive that gets on less than this along the course in this long is going nowhere: parked, or
// circling. The autopilot's slowest start covers it in about 2 s.
inline constexpr double noProgressFt = 10;
inline constexpr int64_t noProgressMs = 30000;

struct EpisodeSetup : DriveSetup {
    EpisodeSetup() { laps = defaultEpisodeLaps; }
    double maxCrossTrackFt = defaultMaxCrossTrackFt;
    int64_t maxSteps = 0;     // steps after which the episode is truncated; 0: no limit
    bool drawScreen = false;  // the whole screen composed at every step, for someone to look at
};

// "" when SETUP can be driven, else what is wrong, naming the field as Python does.
std::string episodeProblem(const EpisodeSetup& setup);

// What one step of an episode gave.
struct StepOutcome {
    double reward = 0;
    bool terminated = false;  // every lap finished, or the car off the track
    bool truncated = false;   // a lap over the limit, no progress, the step limit, or the watch
                              // window closed
    DriveEnd end = DriveEnd::running;
};

class Episode {
  public:
    // The course's text and its name for messages; the setup's course path is not read here.
    Episode(std::string courseText, const std::string& source, const EpisodeSetup& setup);

    bool valid() const { return drive.valid(); }
    const std::string& error() const { return drive.error(); }

    void reset(unsigned seed);
    StepOutcome step(const ControlCommand& command);
    bool started() const { return isStarted; }
    bool ended() const { return hasEnded; }

    // The state as the module gives it, stateFieldCount floats in the protocol's order.
    void writeState(float* out) const;
    // The frame the driver sees, averaged down to the setup's frame size (height, width, RGB).
    void writeFrame(uint8_t* out) const;
    void writeExpert(float* out) const;
    bool hasFrame() const { return averager.has_value(); }
    const EpisodeSetup& getSetup() const { return setup; }
    const Drive& stepped() const { return drive; }
    int hitsSoFar() const { return hits - startHits; }
    double distanceSoFar() const { return distance - startDistance; }
    // The part of the episode's laps driven, 0 to 1.
    double progress() const;
    Drive& stepped() { return drive; }
    // Every later frame composed, for a window that shows them.
    void composeEveryFrame() { everyFrame = true; }

  private:
    Pixels pixels() const;
    // The state's cross-track distance as the state array holds it, which the reward and the end
    // are judged by.
    double observedCrossTrack() const;

    const EpisodeSetup setup;
    Drive drive;
    std::optional<FrameAverager> averager;
    bool everyFrame = false;
    bool isStarted = false;
    bool hasEnded = false;
    // Where the last step left the drive, where the episode started it, and the last point where
    // it got on along the course.
    double distance = 0, startDistance = 0, progressDistance = 0;
    int hits = 0, startHits = 0;
    int64_t steps = 0, progressMs = 0;

    DriveEnd endOf(double crossTrack);
};
