// An owned software surface with the colour and drawing helpers the art is painted with.
#pragma once

#include "SurfacePtr.h"

#include <SDL.h>

#include <cstdint>
#include <string>

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
};

// Rounds and clamps, so channel arithmetic may overshoot freely.
Rgb rgb(double r, double g, double b);
Rgb mix(Rgb a, Rgb b, double t);
Rgb shade(Rgb c, double factor);

// Sprites leave this colour transparent, so nothing may be drawn in it.
constexpr Rgb kKey{0, 0, 255};

// Every call is clipped and does nothing on a canvas whose surface could not be made.
class Canvas {
  public:
    Canvas(int width, int height, Rgb fill);

    bool valid() const { return surface_ != nullptr; }
    int width() const { return width_; }
    int height() const { return height_; }

    Rgb get(int x, int y) const;
    void set(int x, int y, Rgb c);
    void blend(int x, int y, Rgb c, double alpha);
    void box(int x0, int y0, int x1, int y1, Rgb c);
    void line(int x0, int y0, int x1, int y1, Rgb c);
    // Text in the 8x8 built-in font, 8 pixels per character.
    void text(int x, int y, const std::string& s, Rgb c);
    void shadowedText(int x, int y, const std::string& s, Rgb c, Rgb shadow);
    void centredText(int centreX, int y, const std::string& s, Rgb c, Rgb shadow);

    bool save(const std::string& path) const;
    // PNG with the key colour as full transparency, for the desktop's icon.
    bool savePng(const std::string& path) const;

  private:
    bool inside(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }
    Uint32* pixel(int x, int y) const;

    SurfacePtr surface_;
    int width_ = 0, height_ = 0;
};
