// One drive as the lab is asked for it: the drive, who drives and how, and what it leaves behind.
// The board hands it to each of its drives as the lab's own arguments (see LabOptions.h).
#pragma once

#include "DriveSetup.h"

#include <string>
#include <vector>

inline constexpr double defaultControllerTimeoutSeconds = 1;
// The first reply may take this much longer: the controller starts up (an interpreter, a model).
inline constexpr int controllerStartUpMs = 10000;
// A board's drive that takes longer in real time than its laps may take in driving time has hung.
inline constexpr int64_t boardDriveLimitMsPerLap = defaultLapLimitMs;
inline const std::vector<unsigned> defaultBoardSeeds = {1, 2, 3};

// The setup's frame size is the recording's (0 x 0: the whole screen); its image folder, when
// empty, the course file's.
struct DriveRequest : DriveSetup {
    std::string controller;  // empty: the built-in autopilot
    double controllerTimeout = defaultControllerTimeoutSeconds;
    std::string recordFolder;
    std::string jsonPath;
};
