// Pixel access and SDL_gfx drawing on 32-bit software surfaces.
#include "Canvas.h"

#include <SDL_gfxPrimitives.h>

#include <algorithm>
#include <cmath>

namespace {

std::uint8_t channel(double v) {
    return static_cast<std::uint8_t>(std::clamp(std::lround(v), 0L, 255L));
}

}  // namespace

Rgb rgb(double r, double g, double b) {
    return {channel(r), channel(g), channel(b)};
}

Rgb mix(Rgb a, Rgb b, double t) {
    return rgb(a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t);
}

Rgb shade(Rgb c, double factor) {
    return rgb(c.r * factor, c.g * factor, c.b * factor);
}

Canvas::Canvas(int width, int height, Rgb fill)
    : surface_(
          SDL_CreateRGBSurface(SDL_SWSURFACE, width, height, 32, 0xFF0000, 0x00FF00, 0x0000FF, 0)) {
    if (!surface_) return;
    width_ = width;
    height_ = height;
    box(0, 0, width - 1, height - 1, fill);
}

Uint32* Canvas::pixel(int x, int y) const {
    return reinterpret_cast<Uint32*>(static_cast<Uint8*>(surface_->pixels) + y * surface_->pitch) +
           x;
}

Rgb Canvas::get(int x, int y) const {
    if (!inside(x, y)) return {};
    const Uint32 p = *pixel(x, y);
    return {static_cast<std::uint8_t>(p >> 16), static_cast<std::uint8_t>(p >> 8),
            static_cast<std::uint8_t>(p)};
}

void Canvas::set(int x, int y, Rgb c) {
    if (inside(x, y)) *pixel(x, y) = (Uint32{c.r} << 16) | (Uint32{c.g} << 8) | c.b;
}

void Canvas::blend(int x, int y, Rgb c, double alpha) {
    if (alpha > 0) set(x, y, mix(get(x, y), c, std::min(alpha, 1.0)));
}

void Canvas::box(int x0, int y0, int x1, int y1, Rgb c) {
    if (valid()) boxRGBA(surface_.get(), x0, y0, x1, y1, c.r, c.g, c.b, 255);
}

void Canvas::line(int x0, int y0, int x1, int y1, Rgb c) {
    if (valid()) lineRGBA(surface_.get(), x0, y0, x1, y1, c.r, c.g, c.b, 255);
}

void Canvas::text(int x, int y, const std::string& s, Rgb c) {
    if (valid()) stringRGBA(surface_.get(), x, y, s.c_str(), c.r, c.g, c.b, 255);
}

void Canvas::shadowedText(int x, int y, const std::string& s, Rgb c, Rgb shadow) {
    text(x + 1, y + 1, s, shadow);
    text(x, y, s, c);
}

void Canvas::centredText(int centreX, int y, const std::string& s, Rgb c, Rgb shadow) {
    shadowedText(centreX - 4 * static_cast<int>(s.size()), y, s, c, shadow);
}

bool Canvas::save(const std::string& path) const {
    return valid() && SDL_SaveBMP(surface_.get(), path.c_str()) == 0;
}
