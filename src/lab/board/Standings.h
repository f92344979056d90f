// The board's standings: each drive's and each driver's figures, and the drivers' ranking. Pure
// functions of the drives' reports.
#pragma once

#include "Board.h"

#include <cstdint>
#include <vector>

// Figures over finished laps: the mean lap, the worst and the RMS cross-track (over all their
// frames, so that a long lap weighs more than a short one) and the obstacles hit.
struct BoardFigures {
    int laps = 0;
    double meanLap = 0;
    double worst = 0;
    double rms = 0;
    int hits = 0;
    int64_t frames = 0;
};

BoardFigures summarise(const std::vector<LapFigures>& laps);
// A drive's figures: none when it left no report.
BoardFigures driveFigures(const BoardDrive& drive);

struct Standing {
    size_t driver = 0;
    int finished = 0;    // drives
    BoardFigures total;  // over the laps of all its drives
};

// The drivers ranked: more drives finished first; among equals, the lower figure of merit per lap
// (the tuner's); drivers alike in both keep the order they were given in.
std::vector<Standing> rankDrivers(size_t drivers, const std::vector<BoardDrive>& drives);
