// New courses from a seed: clockwise loops from the origin that the autopilot can drive, with
// obstacles along the way, checked by driving them before they are handed out.
#pragma once

#include "Control.h"

#include <optional>
#include <string>

// A made course's target speeds in mph: slow enough for its turns, within the car's top speed.
inline constexpr int slowestCourseSpeed = 5;
inline constexpr int fastestCourseSpeed = static_cast<int>(control::topSpeed);

struct CourseKnobs {
    double lengthFt = 3000;    // about the length of the loop
    double sharpnessDeg = 45;  // the largest turn at a waypoint
    int minSpeed = 15;         // mph, before the sharpest turns
    int maxSpeed = 40;         // mph, on the straights
    double groupsPer1000Ft = 3;
    // Every group's strength (negative: random per obstacle); without it, each group draws one.
    std::optional<double> strength;
    double wobble = 0.5;  // 0 a rounded loop with a start straight, 1 the most irregular
    int lobes = 0;        // 0 a mix of bulges; 2 to 8 a figure of that many lobes
};

// The knobs' ranges, for the lab's options and Python's keywords alike.
struct KnobBound {
    double low, high;
};
inline constexpr KnobBound lengthBound{800, 50000};
inline constexpr KnobBound sharpnessBound{10, 80};
inline constexpr KnobBound obstaclesBound{0, 30};
inline constexpr KnobBound strengthBound{-1, 1};  // -1: a random strength for each obstacle
inline constexpr KnobBound wobbleBound{0, 1};
inline constexpr int mostLobes = 8;

// "" when KNOBS are all within their ranges, else what is wrong, naming the knob as Python does.
std::string knobsProblem(const CourseKnobs& knobs);

// A course is handed out only when the autopilot at its defaults drives this many laps on each of
// the obstacle layouts of seeds 1 to courseCheckSeeds.
inline constexpr int courseCheckLaps = 3;
inline constexpr unsigned courseCheckSeeds = 5;

struct MadeCourse {
    std::string text;  // the course file; empty when no course was found
    std::string error;
    int waypoints = 0;
    int groups = 0;
    double lengthFt = 0;  // from the origin through every waypoint and back
    // Of the checking drives, all laps together.
    double meanLapSeconds = 0;
    double worstCrossTrackFt = 0;
    int obstaclesHit = 0;
};

// The same seed and knobs give the same text on every platform: the random numbers are the
// engine's raw output, mapped here, every number is rounded here, and the checking drives scatter
// their obstacles with the course's own random numbers (CourseRandom), as the game does.
MadeCourse makeCourse(unsigned seed, const std::string& name, const CourseKnobs& knobs);
