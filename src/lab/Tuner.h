// The search for the tuning that drives a course best, on the tuning keys' 0.05 grid.
#pragma once

#include "LabDrive.h"

#include <functional>
#include <iterator>
#include <string>
#include <vector>

// A tuning as key presses from the defaults: steps[i] presses of slider i's upper key (negative:
// of its lower key).
struct GridTuning {
    int steps[std::size(tuningSliders)] = {};
};

// The exact values that the control screen reaches by those key presses.
Tuning toTuning(const GridTuning& grid);
// The nearest grid point to a tuning.
GridTuning toGrid(const Tuning& tuning);
// The key presses that take the defaults to the grid point, such as "a x4, x x2".
std::string keyPresses(const GridTuning& grid);

// The figure of merit of a lap, lower is better: its time, with a hit costing as much as ten
// seconds and a foot of RMS distance from the track one second.
inline double lapScore(double seconds, double hits, double rmsCrossTrack) {
    return seconds + 10.0 * hits + rmsCrossTrack;
}

struct Score {
    double value = 0;  // lower is better
    double meanLapSeconds = 0;
    double meanHits = 0;
    double meanRmsCrossTrack = 0;
    bool finished = false;
};

// One lap on each seed: lap time plus penalties for obstacles hit and distance from the track;
// a seed whose lap does not finish makes the score worse than any finished one.
Score scoreTuning(LabDrive& lab, const Tuning& tuning, const std::vector<unsigned>& seeds,
                  int frameMs);

struct TuneResult {
    GridTuning best;
    Score bestScore;
    Score startScore;
    int evaluations = 0;
};

// Coordinate descent from start: strides of 4, 2 and 1 key presses up and down each slider, keeping
// a move only when it scores strictly better, so the result is never worse than the start.
TuneResult tune(LabDrive& lab, const GridTuning& start, const std::vector<unsigned>& seeds,
                int frameMs, const std::function<void(const TuneResult&)>& progress);
