// The leaderboard: drivers ranked over many courses and seeds, each drive a run of this program in
// a process of its own. Its parts: running the drives (BoardRun.cpp), the standings
// (Standings.h) and the report (BoardReport.h).
#pragma once

#include "DriveReport.h"
#include "LabOptions.h"
#include "LabStatus.h"

#include <string>
#include <vector>

// One drive of the board and what it left.
struct BoardDrive {
    size_t driver = 0;
    size_t course = 0;
    unsigned seed = 0;
    std::string failure;    // empty when it finished
    std::string message;    // what went wrong, in words
    bool reported = false;  // its report was read
    DriveReport report;
};

// Everything the board's report shows.
struct BoardResult {
    std::vector<std::string> drivers;  // their names, the autopilot first
    std::vector<std::string> courses;  // their names
    std::vector<unsigned> seeds;
    int laps = 0;
    std::vector<BoardDrive> drives;
    double seconds = 0;  // of real time
};

// Drives every driver (the built-in autopilot at the options' tuning first) on every course and
// seed, as many at a time as options.jobs, by running this program (self) once per drive; prints
// the ranking and writes the report folder when one is asked for.
LabOutcome runBoard(const LabOptions& options, const std::string& self);
