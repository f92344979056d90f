// A drive as a learner's episode: what a step earns and when the episode ends, decided here once
// for every way the Python module steps drives.
#pragma once

#include "AveragedFrame.h"
#include "Drive.h"
#include "Sight.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

// The reward is counted in seconds of the board's figure of merit, whose lap costs its seconds, 10
// s a hit and 1 s a foot of RMS distance from the track (the README gives the reasons). Progress
// along the course earns as much a lap as the lap limit's seconds, so that getting on always pays
// for the time it takes; an episode that ends early is charged the worst that finishing could
// cost, so that no way of ending early earns more than finishing.
inline constexpr double hitSeconds = 10;
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
    int64_t maxSteps = 0;  // steps after which the episode is truncated; 0: no limit
    // Commands (and the expert's) with steering and speed each from -1 to 1 over the car's range.
    bool normalizedActions = false;
    bool sight = false;       // the sight of the road and the obstacles written at every step
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
    // What the driver sees of the road and the obstacles, sightFieldCount numbers.
    void writeSight(float* out) const;
    bool hasFrame() const { return averager.has_value(); }
    const EpisodeSetup& getSetup() const { return setup; }
    const Drive& stepped() const { return drive; }
    // Feet along the course, and the part of the episode's laps driven, 0 to 1.
    double distance() const { return distanceNow; }
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
    // The return so far: every step's reward is the change in it.
    double earned() const;
    // What ending early costs: every lap taking the whole limit, hitting every obstacle, at the
    // greatest distance from the track.
    double earlyEndCost() const;
    DriveEnd endOf(double crossTrack);

    double lastEarned = 0;
    double distanceNow = 0;
    // The course as the sight reads it, taken at every start (the obstacles move with the seed).
    std::vector<SightPoint> sightWaypoints, sightObstacles;
    // Where the drive last got on along the course, and when.
    double progressDistance = 0;
    int64_t steps = 0, progressMs = 0;
};
