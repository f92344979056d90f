// The lab's command line.
#pragma once

#include "CourseMaker.h"
#include "LabDefaults.h"
#include "TuningStep.h"

#include <string>
#include <vector>

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
    bool watch = false;
    double watchSpeed = 1;
    bool tune = false;
    bool help = false;
    // --make-course SEED FILE and its knobs.
    std::string madeCoursePath;
    unsigned courseSeed = 0;
    CourseKnobs knobs;
};

extern const char* const labUsage;

// Parses the arguments after the program name; on a bad one, fills error and answers false.
bool parseLabOptions(const std::vector<std::string>& args, LabOptions& options, std::string& error);
