// Screen contents read back from the X server, and the pixel queries that the tests make on them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct Rgb {
    uint8_t r = 0;
    uint8_t g = 0;
    uint8_t b = 0;
    bool operator==(const Rgb& other) const { return r == other.r && g == other.g && b == other.b; }
    bool operator!=(const Rgb& other) const { return !(*this == other); }
};

// What a 5-6-5 display keeps of a colour; colours are compared at this precision because the
// program draws on a 16-bit surface.
uint16_t to565(Rgb colour);
std::string describe(Rgb colour);

// Columns x .. x + w - 1 and rows y .. y + h - 1.
struct Rect {
    int x = 0;
    int y = 0;
    int w = 0;
    int h = 0;
    bool operator==(const Rect& other) const {
        return x == other.x && y == other.y && w == other.w && h == other.h;
    }
};

class Screenshot {
  public:
    Screenshot() = default;
    Screenshot(int width, int height, std::vector<Rgb> pixels);

    bool empty() const { return pixels.empty(); }
    int width() const { return w; }
    int height() const { return h; }
    // Black outside the picture, so that probes near an edge need no care.
    Rgb at(int x, int y) const;
    // The pixel shows the colour, compared after reduction to 5-6-5.
    bool shows(int x, int y, Rgb colour) const;
    int count(Rgb colour, Rect area) const;
    // The bounding box of the pixels in the area that show the colour.
    std::optional<Rect> bounds(Rgb colour, Rect area) const;
    // Which pixels of the area differ from the background colour, row by row: the shape of what
    // is drawn over it.
    std::vector<bool> shape(Rgb background, Rect area) const;
    bool operator==(const Screenshot& other) const;
    bool operator!=(const Screenshot& other) const { return !(*this == other); }

    // Writes the picture as PNG through ImageMagick; false when that fails.
    bool savePng(const std::string& path) const;

  private:
    int w = 0;
    int h = 0;
    std::vector<Rgb> pixels;
};
