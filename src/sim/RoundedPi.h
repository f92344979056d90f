// The rounded values of pi that the car model and the autopilot compute with. The rounding shows in
// their results (a diagonal segment's bearing is 44.99996, not 45), so it is kept.
#pragma once

constexpr double roundedPi = 3.14159;
constexpr double roundedHalfPi = 1.570795;
constexpr double roundedTwoPi = 6.28318;
