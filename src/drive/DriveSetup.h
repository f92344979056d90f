// What a drive is asked to be, with its defaults and the bounds of what may be asked: the lab's
// options, the board's requests and the Python module all take theirs from here.
#pragma once

#include "TuningStep.h"

#include <cstdint>
#include <string>

// The two durations of a drive: a frame of the game, by which its clock ticks, and the driver
// step (driverStepMs), at which a driver sees and chooses.
inline constexpr int defaultFrameMs = 20;  // the game's frame at fifty frames a second

// The lab drives one lap; a learner's episode three, enough to see a lap begun where the last one
// ended.
inline constexpr int defaultLaps = 1;
inline constexpr int defaultEpisodeLaps = 3;
// A lap that takes longer has failed: the car strays or circles.
inline constexpr int64_t defaultLapLimitMs = 600000;
// A learner sees the frame this small by default: a tenth of the screen each way, whole factors.
inline constexpr int defaultObservedWidth = 80;
inline constexpr int defaultObservedHeight = 60;

// A whole number's bounds and how a message names the number's unit.
struct WholeBound {
    long long low, high;
    const char* unit;  // "" or " of milliseconds", after "a whole number"
};

inline constexpr WholeBound seedBound{0, 4294967295LL, ""};
inline constexpr WholeBound lapsBound{1, 1000, ""};
inline constexpr WholeBound frameMsBound{1, 1000, " of milliseconds"};

struct DriveSetup {
    std::string coursePath = "courses.txt";
    std::string
        imageFolder;  // empty: no sprites in a library drive, the course's folder in the lab
    unsigned seed = 1;
    int laps = defaultLaps;
    int frameMs = defaultFrameMs;
    int64_t lapLimitMs = defaultLapLimitMs;
    // The size frames are averaged down to; 0 x 0: the whole screen (the lab) or none (a learner).
    int frameWidth = 0;
    int frameHeight = 0;
    Tuning tuning;
};

// "" when VALUE is within BOUND, else why not, naming the number as NAME (an option, a keyword).
std::string wholeProblem(const std::string& name, const WholeBound& bound, long long value);
std::string wholeProblem(const std::string& name, const WholeBound& bound,
                         const std::string& value);
// A frame size within the screen, WIDTHxHEIGHT as the message shows it.
bool frameSizeFits(int width, int height);
std::string frameSizeProblem(const std::string& name, const std::string& shown);
std::string lapLimitProblem(const std::string& name, double seconds);
// "" when SETUP can be driven as it stands, else what is wrong, naming the field as Python does.
std::string setupProblem(const DriveSetup& setup);
