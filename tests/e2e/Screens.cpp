// Recognising the test data set on a screenshot.
#include "Screens.h"

#include "SurfacePtr.h"
#include "TestDataSet.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>

namespace screens {

namespace {

bool banner(const Screenshot& shot) {
    return shot.shows(5, 5, palette::logo) && shot.shows(790, 95, palette::logo);
}

}  // namespace

bool controlScreen(const Screenshot& shot) {
    return banner(shot) && shot.shows(5, 105, palette::control) &&
           shot.shows(790, 590, palette::control);
}

bool drive(const Screenshot& shot) {
    return banner(shot) && shot.shows(790, 105, palette::back) &&
           shot.shows(95, 565, palette::gauge);
}

bool blank(const Screenshot& shot) {
    return !shot.empty() && shot.shows(5, 5, palette::black) &&
           shot.shows(400, 300, palette::black) && shot.shows(795, 595, palette::black);
}

int pixelsNotShown(const Screenshot& shot, const std::string& bitmapPath, int left, int top) {
    const SurfacePtr bitmap(SDL_LoadBMP(bitmapPath.c_str()));
    if (!bitmap) return -1;
    const SDL_PixelFormat* format = bitmap->format;
    int missing = 0;
    for (int y = 0; y < bitmap->h; ++y)
        for (int x = 0; x < bitmap->w; ++x) {
            const Uint8* p = static_cast<const Uint8*>(bitmap->pixels) + y * bitmap->pitch +
                             x * format->BytesPerPixel;
            Uint32 value = 0;
            for (int i = 0; i < format->BytesPerPixel; ++i) value |= Uint32{p[i]} << (8 * i);
            Rgb colour;
            SDL_GetRGB(value, bitmap->format, &colour.r, &colour.g, &colour.b);
            missing += shot.shows(left + x, top + y, colour) ? 0 : 1;
        }
    return missing;
}

std::optional<int> pointerRow(const Screenshot& shot, int sliderColumn) {
    const int column = sliderColumn + sprite::pointerWidth / 2;
    for (int y = 100; y < shot.height(); ++y)
        if (shot.shows(column, y, palette::pointer)) return y;
    return std::nullopt;
}

std::array<std::optional<int>, 5> pointerRows(const Screenshot& shot) {
    std::array<std::optional<int>, 5> rows;
    for (size_t i = 0; i < rows.size(); ++i) rows[i] = pointerRow(shot, sliderColumns[i]);
    return rows;
}

int sliderRow(double value) {
    return static_cast<int>((1 - value) * (340 - 150) + 97 + 150);
}

std::string describe(const std::array<std::optional<int>, 5>& rows) {
    std::string text = "pointer rows:";
    for (const auto& row : rows) text += row ? " " + std::to_string(*row) : " none";
    return text;
}

std::vector<std::pair<int, int>> needlePixels(double speed) {
    const double t = speed * 3.14159 / 60;
    const float a = static_cast<float>(-std::cos(t));
    const float b = static_cast<float>(-std::sin(t));
    std::vector<std::pair<int, int>> pixels;
    for (int k = 0; k < 30; ++k) {
        const int column = 72 + 2 * static_cast<int>(k * double{a} * 800 / 600);
        const int row = 595 + static_cast<int>(k * double{b});
        if (column >= 0 && column < 800 && row >= 0 && row < 600) pixels.emplace_back(column, row);
    }
    return pixels;
}

bool needleShows(const Screenshot& shot, double speed) {
    const std::vector<std::pair<int, int>> needle = needlePixels(speed);
    for (int y = 560; y < 560 + sprite::gaugeHeight; ++y) {
        for (int x = 0; x < sprite::gaugeWidth; ++x) {
            const bool onNeedle =
                std::find(needle.begin(), needle.end(), std::make_pair(x, y)) != needle.end();
            if (!shot.shows(x, y, onNeedle ? palette::black : palette::gauge)) return false;
        }
    }
    return true;
}

std::optional<Rect> waypointCore(const Screenshot& shot) {
    return shot.bounds(palette::waypoint, Rect{0, 100, 800, 500});
}

int blackPixels(const Screenshot& shot, Rect area) {
    return shot.count(palette::black, area);
}

}  // namespace screens
