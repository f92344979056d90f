// The display's geometry: the window every worker draws on and the banner across its top.
#pragma once

constexpr int displayWidth = 800;
constexpr int displayHeight = 600;
constexpr int displayDepth = 16;
// Rows 0 to 99 show the banner; the driver's view and the panels start below it.
constexpr int bannerHeight = 100;
