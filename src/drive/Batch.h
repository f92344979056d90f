// Many episodes stepped together on threads of their own: the drives are addressed by index, and a
// round's states, frames, experts, rewards and ends go into arrays the batch keeps, a row a drive.
#pragma once

#include "Episode.h"
#include "StepPool.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct CourseText {
    std::string text;
    std::string source;       // the course's name in messages
    std::string imageFolder;  // where its drive's bitmaps are; empty: none
};

class Batch {
  public:
    // One episode of SETUP for each course, with the course's images. THREADS counts the caller; 0:
    // one a core, at most one a drive. With AUTORESET, a drive whose episode ended is reset at its
    // next step instead of being stepped (the step's action ignored, its reward 0).
    Batch(const std::vector<CourseText>& courses, const EpisodeSetup& setup, unsigned threads,
          bool autoreset);
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;

    // What keeps a course from being driven, in the reader's words; "" when all can be.
    std::string problem() const;
    size_t size() const { return episodes.size(); }
    unsigned threads() const { return pool.threads(); }
    bool autoresets() const { return autoreset; }

    // Drive i takes COURSE from its next start; "" when it can be driven, else what is wrong, and
    // the drive keeps its course. Between rounds only.
    std::string setCourse(size_t i, const CourseText& course);
    // Starts every drive again, drive i from seeds[i].
    void reset(const std::vector<unsigned>& seeds);
    // Steps drive i with commands[i] for every i; a drive due to be reset starts again from
    // resetSeeds[i] instead.
    void step(const std::vector<ControlCommand>& commands, const std::vector<unsigned>& resetSeeds);

    bool started() const { return isStarted; }
    // The episode of drive i ended at its last step; with autoreset it starts again at the next.
    bool ended(size_t i) const { return episodes[i]->ended(); }
    // Drive i starts again at the next step: its episode ended, or it has a new course.
    bool restarts(size_t i) const {
        return autoreset && (episodes[i]->ended() || !episodes[i]->started());
    }
    bool anyEnded() const;
    const Episode& episode(size_t i) const { return *episodes[i]; }
    Episode& episode(size_t i) { return *episodes[i]; }

    // The arrays of the last round, a row a drive.
    const std::vector<float>& states() const { return stateRows; }    // stateFieldCount a row
    const std::vector<uint8_t>& frames() const { return frameRows; }  // height x width x 3 a row
    const std::vector<float>& sights() const { return sightRows; }    // with the setup's sight
    const std::vector<float>& experts() const { return expertRows; }  // steering, speed
    const std::vector<double>& rewards() const { return rewardRow; }
    const std::vector<uint8_t>& terminated() const { return terminatedRow; }
    const std::vector<uint8_t>& truncated() const { return truncatedRow; }
    const std::vector<int64_t>& lapCounts() const { return lapCountRow; }  // laps finished
    // The episode's hits, feet along the course and part of its laps driven so far, and how it
    // ended at the round (running while it goes on).
    const std::vector<int64_t>& hits() const { return hitRow; }
    const std::vector<double>& distances() const { return distanceRow; }
    const std::vector<double>& progress() const { return progressRow; }
    const std::vector<uint8_t>& ends() const { return endRow; }
    int frameWidth() const { return setup.frameWidth; }
    int frameHeight() const { return setup.frameHeight; }

  private:
    // What a drive's step gave, on cache lines of its own: the drives' threads write theirs
    // without taking lines from each other, and the caller gathers them into the arrays.
    struct alignas(64) Row {
        float state[stateFieldCount];
        float expert[2];
        float sight[sightFieldCount];
        StepOutcome outcome;
        int64_t laps = 0, hits = 0;
        double distance = 0, progress = 0;
    };

    void observe(size_t i);
    void restart(size_t i, unsigned seed);
    void gather();

    const EpisodeSetup setup;
    const bool autoreset;
    std::vector<std::unique_ptr<Episode>> episodes;
    std::vector<Row> rows;
    size_t frameBytes = 0;
    std::vector<float> stateRows, expertRows, sightRows;
    std::vector<uint8_t> frameRows;
    std::vector<double> rewardRow;
    std::vector<uint8_t> terminatedRow, truncatedRow;
    std::vector<int64_t> lapCountRow, hitRow;
    std::vector<double> distanceRow, progressRow;
    std::vector<uint8_t> endRow;
    bool isStarted = false;
    StepPool pool;
};
