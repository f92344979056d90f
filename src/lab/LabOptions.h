// The lab's command line.
#pragma once

#include "CourseMaker.h"
#include "LabDefaults.h"
#include "TuningStep.h"

#include <string>
#include <vector>

// A driver of the leaderboard: a name and the controller command that drives.
struct BoardDriver {
    std::string name;
    std::string command;
};

struct LabOptions {
    std::string coursePath = "courses.txt";
    Tuning tuning;
    int laps = defaultLaps;
    int stepMs = defaultStepMs;
    unsigned seed = defaultSeed;
    std::string csvPath;
    std::string mapPath;
    std::string controller;
    double controllerTimeout = defaultControllerTimeoutSeconds;
    std::string recordFolder;
    std::string imageFolder;  // empty: the course file's folder
    int recordWidth = 0;      // 0: the screen's size
    int recordHeight = 0;
    bool watch = false;
    double watchSpeed = 1;
    bool tune = false;
    bool help = false;
    std::string jsonPath;
    // The leaderboard: its courses (files or folders), drivers besides the autopilot, seeds, how
    // many drives at a time (0: one per core) and where the report goes.
    bool board = false;
    std::vector<std::string> boardCourses;
    std::vector<BoardDriver> drivers;
    std::vector<unsigned> seeds = defaultBoardSeeds;
    int jobs = 0;
    std::string reportFolder;
    // --make-course SEED FILE and its knobs.
    std::string madeCoursePath;
    unsigned courseSeed = 0;
    CourseKnobs knobs;
};

extern const char* const labUsage;

// Parses the arguments after the program name; on a bad one, fills error and answers false.
bool parseLabOptions(const std::vector<std::string>& args, LabOptions& options, std::string& error);
