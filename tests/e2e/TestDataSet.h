// The end-to-end tests' own data set: bitmaps of distinctive colours, two sounds and the courses.
#pragma once

#include "Screenshot.h"

#include <string>
#include <vector>

// The bitmap colours have low bits that a 5-6-5 display drops, so that a picture shown through a
// 16-bit surface can be told from one shown at full depth. None is black, which the needle and the
// dirt use, or pure blue, the transparent colour of the sprites.
namespace palette {
inline constexpr Rgb logo{201, 77, 33};
inline constexpr Rgb back{45, 118, 66};
inline constexpr Rgb control{93, 38, 141};
inline constexpr Rgb pointer{250, 219, 13};
inline constexpr Rgb waypoint{237, 29, 145};
inline constexpr Rgb marker{29, 213, 229};
inline constexpr Rgb obstacle{255, 133, 5};
inline constexpr Rgb tire1{170, 90, 210};
inline constexpr Rgb tire2{110, 180, 30};
inline constexpr Rgb tire3{220, 150, 150};
inline constexpr Rgb light1{249, 70, 190};
inline constexpr Rgb light2{60, 20, 200};
inline constexpr Rgb gauge{190, 190, 60};
inline constexpr Rgb black{0, 0, 0};
inline constexpr Rgb transparent{0, 0, 255};
}  // namespace palette

// Sprite sizes and the transparent border around their solid cores.
namespace sprite {
inline constexpr int pointerWidth = 20;
inline constexpr int pointerHeight = 10;
inline constexpr int waypointSize = 16;
inline constexpr int waypointBorder = 2;
inline constexpr int markerSize = 6;
inline constexpr int markerBorder = 1;
inline constexpr int obstacleSize = 14;
inline constexpr int obstacleBorder = 2;
inline constexpr int tireWidth = 10;
inline constexpr int tireHeight = 18;
inline constexpr int tireBorder = 2;
inline constexpr int lightSize = 10;
inline constexpr int lightBorder = 1;
inline constexpr int gaugeWidth = 100;
inline constexpr int gaugeHeight = 40;
}  // namespace sprite

// Peak sample values of the two sounds: the engine is quiet, the crash loud.
inline constexpr int engineAmplitude = 3000;
inline constexpr int crashAmplitude = 24000;

namespace courses {
// Straight ahead along +y with a waypoint 60 ft in front of the origin; one obstacle far to the
// right (60 ft), which neither lies in the car's way nor pushes the autopilot noticeably.
extern const char* const straight;
// A straight course 60 ft to the left of the car and no obstacle: driving straight on from the
// origin meets nothing, and nothing is drawn near the dashboard.
extern const char* const aside;
// An obstacle of strength 0.8 on the car's path 45 ft ahead of the origin.
extern const char* const obstacleAhead;
}  // namespace courses

// Writes the bitmaps, sounds and the course into the directory; the named files are left out, and
// removed when an earlier call wrote them.
bool writeDataSet(const std::string& directory, const std::string& course,
                  const std::vector<std::string>& omitted = {});
