// How the test data set shows on the screen: the two screens, slider pointers, needle, sprites.
#pragma once

#include "Screenshot.h"

#include <array>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace screens {

inline constexpr std::array<int, 5> sliderColumns{50, 150, 250, 350, 450};

// Banner over the control panel.
bool controlScreen(const Screenshot& shot);
// Banner over the driver's view, with the gauge of the dashboard.
bool drive(const Screenshot& shot);
// Nothing but the black root window: no program window is open.
bool blank(const Screenshot& shot);
// How many pixels of the bitmap file, placed with its top-left corner at (left, top), the screen
// does not show; -1 when the file cannot be read.
int pixelsNotShown(const Screenshot& shot, const std::string& bitmapPath, int left, int top);

// The top row of the pointer of the slider at that column, if one is drawn there.
std::optional<int> pointerRow(const Screenshot& shot, int sliderColumn);
std::array<std::optional<int>, 5> pointerRows(const Screenshot& shot);
// The row at which a gain is drawn: (1 - value) * (340 - 150) + 97 + 150, truncated.
int sliderRow(double value);
std::string describe(const std::array<std::optional<int>, 5>& rows);

// The pixels of the speed needle at that speed, as the dashboard plots them (only those on the
// screen): turned about (72, 595), 30 pixels long, stretched by 800/600 across in steps of two.
std::vector<std::pair<int, int>> needlePixels(double speed);
// The gauge shows exactly the needle of that speed: those pixels black, the rest of the gauge
// in its own colour.
bool needleShows(const Screenshot& shot, double speed);

// Where the solid core of the waypoint sprite is seen in the driver's view.
std::optional<Rect> waypointCore(const Screenshot& shot);
// Black pixels (dirt) within the area.
int blackPixels(const Screenshot& shot, Rect area);

// The dashboard's fixed places: the four tyres (front left, front right, rear left, rear right)
// with room for a tyre turned by up to 45 degrees, and the two lights.
inline constexpr Rect frontLeftTyre{376, 536, 24, 24};
inline constexpr Rect frontRightTyre{406, 536, 24, 24};
inline constexpr Rect rearLeftTyre{376, 576, 24, 24};
inline constexpr Rect rearRightTyre{406, 576, 24, 24};
// A pixel inside the untouched core of the rear left tyre and of the left light.
inline constexpr std::pair<int, int> rearLeftTyreCore{384, 588};
inline constexpr std::pair<int, int> leftLightCore{392, 564};

}  // namespace screens
