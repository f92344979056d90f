// Pixel queries on a captured screen, and saving it as PNG.
#include "Screenshot.h"

#include "ChildProcess.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <utility>

uint16_t to565(Rgb colour) {
    return static_cast<uint16_t>((colour.r >> 3) << 11 | (colour.g >> 2) << 5 | colour.b >> 3);
}

std::string describe(Rgb colour) {
    return "(" + std::to_string(colour.r) + ", " + std::to_string(colour.g) + ", " +
           std::to_string(colour.b) + ")";
}

Screenshot::Screenshot(int width, int height, std::vector<Rgb> pixels)
    : w(width), h(height), pixels(std::move(pixels)) {}

Rgb Screenshot::at(int x, int y) const {
    if (x < 0 || y < 0 || x >= w || y >= h) return Rgb{};
    return pixels[static_cast<size_t>(y) * w + x];
}

bool Screenshot::shows(int x, int y, Rgb colour) const {
    return to565(at(x, y)) == to565(colour);
}

int Screenshot::count(Rgb colour, Rect area) const {
    int n = 0;
    for (int y = area.y; y < area.y + area.h; ++y)
        for (int x = area.x; x < area.x + area.w; ++x) n += shows(x, y, colour) ? 1 : 0;
    return n;
}

std::optional<Rect> Screenshot::bounds(Rgb colour, Rect area) const {
    int left = area.x + area.w, top = area.y + area.h, right = -1, bottom = -1;
    for (int y = area.y; y < area.y + area.h; ++y) {
        for (int x = area.x; x < area.x + area.w; ++x) {
            if (!shows(x, y, colour)) continue;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    if (right < 0) return std::nullopt;
    return Rect{left, top, right - left + 1, bottom - top + 1};
}

std::vector<bool> Screenshot::shape(Rgb background, Rect area) const {
    std::vector<bool> mask;
    mask.reserve(static_cast<size_t>(area.w) * area.h);
    for (int y = area.y; y < area.y + area.h; ++y)
        for (int x = area.x; x < area.x + area.w; ++x) mask.push_back(!shows(x, y, background));
    return mask;
}

bool Screenshot::operator==(const Screenshot& other) const {
    return w == other.w && h == other.h && pixels == other.pixels;
}

bool Screenshot::savePng(const std::string& path) const {
    if (empty()) return false;
    const std::string raw = path + ".ppm";
    {
        std::ofstream out(raw, std::ios::binary);
        out << "P6\n" << w << " " << h << "\n255\n";
        for (const Rgb& p : pixels) {
            const char bytes[3] = {static_cast<char>(p.r), static_cast<char>(p.g),
                                   static_cast<char>(p.b)};
            out.write(bytes, 3);
        }
        if (!out) return false;
    }
    ProcessRequest convert;
    convert.program = "/usr/bin/convert";
    convert.arguments = {"convert", raw, "png:" + path};
    convert.environment = baseEnvironment();
    const std::optional<int> status = runToEnd(convert, std::chrono::seconds(30));
    std::remove(raw.c_str());
    return status == 0;
}
