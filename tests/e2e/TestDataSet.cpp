// Making the test data set: bitmaps with SDL_SaveBMP, WAV files by hand, the course text.
#include "TestDataSet.h"

#include "SurfacePtr.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <functional>

namespace courses {

const char* const straight =
    "7 straight\n"
    "4\n"
    "0 0 0 15\n"
    "1 0 60 15\n"
    "2 0 400 15\n"
    "3 0 800 15\n"
    "1\n"
    "1 0.8 60 100 61 101\n";

const char* const aside =
    "3 aside\n"
    "3\n"
    "0 -60 0 20\n"
    "1 -60 100 20\n"
    "2 -60 900 20\n"
    "0\n";

// A rectangle one foot wide and deep leaves rand() no choice: the obstacle is at (0, 45).
const char* const obstacleAhead =
    "1 crash\n"
    "2\n"
    "0 0 0 10\n"
    "1 0 500 10\n"
    "1\n"
    "1 0.8 0 45 1 46\n";

}  // namespace courses

namespace {

void fill(SDL_Surface* surface, int x, int y, int w, int h, Rgb colour) {
    SDL_Rect rect{static_cast<Sint16>(x), static_cast<Sint16>(y), static_cast<Uint16>(w),
                  static_cast<Uint16>(h)};
    SDL_FillRect(surface, &rect, SDL_MapRGB(surface->format, colour.r, colour.g, colour.b));
}

// A solid core of `colour` inside a transparent (pure blue) frame `border` pixels wide.
bool writeBitmap(const std::string& path, int w, int h, Rgb colour, int border = 0) {
    const SurfacePtr surface(
        SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 24, 0xFF0000, 0x00FF00, 0x0000FF, 0));
    if (!surface) return false;
    fill(surface.get(), 0, 0, w, h, palette::transparent);
    fill(surface.get(), border, border, w - 2 * border, h - 2 * border, colour);
    return SDL_SaveBMP(surface.get(), path.c_str()) == 0;
}

void put16(std::ofstream& out, uint16_t value) {
    const char bytes[2] = {static_cast<char>(value & 0xFF), static_cast<char>(value >> 8)};
    out.write(bytes, 2);
}

void put32(std::ofstream& out, uint32_t value) {
    put16(out, static_cast<uint16_t>(value & 0xFFFF));
    put16(out, static_cast<uint16_t>(value >> 16));
}

// A mono 16-bit WAV at 22050 Hz, the rate of the program's mixer.
bool writeWav(const std::string& path, const std::vector<int16_t>& samples) {
    constexpr uint32_t rate = 22050;
    const uint32_t bytes = static_cast<uint32_t>(samples.size() * 2);
    std::ofstream out(path, std::ios::binary);
    out.write("RIFF", 4);
    put32(out, 36 + bytes);
    out.write("WAVEfmt ", 8);
    put32(out, 16);
    put16(out, 1);  // PCM
    put16(out, 1);  // mono
    put32(out, rate);
    put32(out, rate * 2);
    put16(out, 2);
    put16(out, 16);
    out.write("data", 4);
    put32(out, bytes);
    for (const int16_t sample : samples) put16(out, static_cast<uint16_t>(sample));
    return static_cast<bool>(out);
}

std::vector<int16_t> engineTone() {
    // Half a second of 220 Hz: a whole number of periods, so the loop has no click.
    std::vector<int16_t> samples(11025);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<int16_t>(
            std::lround(engineAmplitude * std::sin(2 * M_PI * 220 * i / 22050.0)));
    return samples;
}

std::vector<int16_t> crashNoise() {
    // Loud from its first sample: every frame of a collision starts it again.
    std::vector<int16_t> samples(8820);
    uint32_t state = 12345;
    for (int16_t& sample : samples) {
        state = state * 1664525u + 1013904223u;
        sample = static_cast<int16_t>((state >> 31) != 0 ? crashAmplitude : -crashAmplitude);
    }
    return samples;
}

}  // namespace

bool writeDataSet(const std::string& directory, const std::string& course,
                  const std::vector<std::string>& omitted) {
    const auto wanted = [&](const std::string& name) {
        return std::find(omitted.begin(), omitted.end(), name) == omitted.end();
    };
    using namespace sprite;
    const std::vector<std::pair<std::string, std::function<bool(const std::string&)>>> files = {
        {"logo.bmp", [](auto& p) { return writeBitmap(p, 800, 100, palette::logo); }},
        {"back.bmp", [](auto& p) { return writeBitmap(p, 800, 500, palette::back); }},
        {"control.bmp", [](auto& p) { return writeBitmap(p, 800, 500, palette::control); }},
        {"pointer.bmp",
         [](auto& p) { return writeBitmap(p, pointerWidth, pointerHeight, palette::pointer); }},
        {"wp.bmp",
         [](auto& p) {
             return writeBitmap(p, waypointSize, waypointSize, palette::waypoint, waypointBorder);
         }},
        {"iwp.bmp",
         [](auto& p) {
             return writeBitmap(p, markerSize, markerSize, palette::marker, markerBorder);
         }},
        {"obsticle.bmp",
         [](auto& p) {
             return writeBitmap(p, obstacleSize, obstacleSize, palette::obstacle, obstacleBorder);
         }},
        {"tire1.bmp",
         [](auto& p) { return writeBitmap(p, tireWidth, tireHeight, palette::tire1, tireBorder); }},
        {"tire2.bmp",
         [](auto& p) { return writeBitmap(p, tireWidth, tireHeight, palette::tire2, tireBorder); }},
        {"tire3.bmp",
         [](auto& p) { return writeBitmap(p, tireWidth, tireHeight, palette::tire3, tireBorder); }},
        {"light1.bmp",
         [](auto& p) {
             return writeBitmap(p, lightSize, lightSize, palette::light1, lightBorder);
         }},
        {"light2.bmp",
         [](auto& p) {
             return writeBitmap(p, lightSize, lightSize, palette::light2, lightBorder);
         }},
        {"gauge.bmp",
         [](auto& p) { return writeBitmap(p, gaugeWidth, gaugeHeight, palette::gauge); }},
        {"weepweep.wav", [](auto& p) { return writeWav(p, engineTone()); }},
        {"crash.wav", [](auto& p) { return writeWav(p, crashNoise()); }},
        {"courses.txt",
         [&course](auto& p) {
             std::ofstream out(p);
             out << course;
             return static_cast<bool>(out);
         }},
    };
    bool ok = true;
    for (const auto& [name, write] : files) {
        const std::string path = directory + "/" + name;
        if (wanted(name)) {
            ok = write(path) && ok;
        } else {
            std::remove(path.c_str());
        }
    }
    return ok;
}
