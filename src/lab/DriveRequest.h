// One drive as the lab is asked for it: the course, who drives and how, and what it leaves behind.
// The board hands it to each of its drives as the lab's own arguments (see LabOptions.h).
#pragma once

#include "LabDefaults.h"
#include "TuningStep.h"

#include <string>

struct DriveRequest {
    std::string coursePath = "courses.txt";
    Tuning tuning;
    int laps = defaultLaps;
    int stepMs = defaultStepMs;
    unsigned seed = defaultSeed;
    std::string controller;  // empty: the built-in autopilot
    double controllerTimeout = defaultControllerTimeoutSeconds;
    std::string recordFolder;
    int recordWidth = 0;  // 0: the screen's size
    int recordHeight = 0;
    std::string imageFolder;  // empty: the course file's folder
    std::string jsonPath;
};
