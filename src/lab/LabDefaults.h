// The lab's defaults, shared by its command line and by the drives it makes in code.
#pragma once

#include <cstdint>
#include <vector>

inline constexpr int defaultLaps = 1;
// The game's frame at fifty frames a second.
inline constexpr uint16_t defaultStepMs = 20;
inline constexpr unsigned defaultSeed = 1;
// A lap that takes longer has failed: the car strays or circles.
inline constexpr int64_t defaultLapLimitMs = 600000;
// A board's drive that takes longer in real time than its laps may take in driving time has hung.
inline constexpr int64_t boardDriveLimitMsPerLap = defaultLapLimitMs;
inline constexpr double defaultControllerTimeoutSeconds = 1;
// The first reply may take this much longer: the controller starts up (an interpreter, a model).
inline constexpr int controllerStartUpMs = 10000;
inline const std::vector<unsigned> defaultBoardSeeds = {1, 2, 3};
