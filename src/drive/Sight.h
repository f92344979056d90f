// What a driver may see of the road and the obstacles around it, in the car's own frame: numbers
// that mean the same on every course, for a learner that should drive courses it never saw. The
// drives of the Python module give them, and a controller of the lab's protocol gets the same from
// the course and state messages.
#pragma once

#include "Car.h"

#include <vector>

// A waypoint (x, y, target speed) or an obstacle (x, y, strength), as the protocol's course
// message gives them.
struct SightPoint {
    double x, y, value;
};

// The road's points are this far ahead along the course, in feet; the nearest obstacles ahead
// within the range are seen, nearest first.
inline constexpr double sightRoadFt[] = {10, 20, 35, 50, 75, 100, 150, 200};
inline constexpr int sightRoadPoints = sizeof(sightRoadFt) / sizeof(sightRoadFt[0]);
inline constexpr int sightObstacles = 6;
inline constexpr double sightRangeFt = 150;
// speed, steering, target speed, cross-track, heading error; (right, ahead) of the waypoint the car
// heads for, which counts as passed only within 15 ft; then (right, ahead) of each road point; then
// (right, ahead, strength) of each obstacle, a missing one straight ahead at the range with no
// strength.
inline constexpr int sightFieldCount = 7 + 2 * sightRoadPoints + 3 * sightObstacles;

// The field names in order, for the module's docs and checks.
std::vector<const char*> sightFieldNames();

// The sight of VIEW on the course of WAYPOINTS and OBSTACLES, sightFieldCount numbers into OUT.
void writeSight(const std::vector<SightPoint>& waypoints, const std::vector<SightPoint>& obstacles,
                const DriverView& view, float* out);
