// Pixel access and SDL_gfx drawing on 32-bit software surfaces.
#include "Canvas.h"

#include <SDL_gfxPrimitives.h>
#include <png.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <vector>

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

namespace {

void put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

}  // namespace

// The display is 5-6-5, so the bitmaps are too: the program then blits them without converting
// every pixel of every frame, and what the file holds is exactly what the screen shows.
bool Canvas::save(const std::string& path) const {
    if (!valid()) return false;
    const std::uint32_t rowBytes = (2 * width_ + 3) & ~3u;
    const std::uint32_t dataOffset = 14 + 40 + 12;
    const std::uint32_t imageBytes = rowBytes * height_;
    std::vector<std::uint8_t> out;
    out.reserve(dataOffset + imageBytes);
    out.push_back('B');
    out.push_back('M');
    put32(out, dataOffset + imageBytes);
    put32(out, 0);
    put32(out, dataOffset);
    put32(out, 40);
    put32(out, width_);
    put32(out, height_);
    put16(out, 1);
    put16(out, 16);
    put32(out, 3);  // bit fields: the three masks follow the header
    put32(out, imageBytes);
    put32(out, 2835);  // 72 dots per inch
    put32(out, 2835);
    put32(out, 0);
    put32(out, 0);
    put32(out, 0xF800);
    put32(out, 0x07E0);
    put32(out, 0x001F);
    for (int y = height_ - 1; y >= 0; --y) {
        for (int x = 0; x < width_; ++x) {
            const Rgb c = get(x, y);
            put16(out, (c.r >> 3) << 11 | (c.g >> 2) << 5 | c.b >> 3);
        }
        for (std::uint32_t pad = 2 * width_; pad < rowBytes; ++pad) out.push_back(0);
    }
    std::ofstream file(path, std::ios::binary);
    file.write(reinterpret_cast<const char*>(out.data()), static_cast<std::streamsize>(out.size()));
    return static_cast<bool>(file);
}

bool Canvas::savePng(const std::string& path) const {
    if (!valid()) return false;
    std::vector<std::uint8_t> rgba;
    rgba.reserve(4 * width_ * height_);
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x) {
            const Rgb c = get(x, y);
            const bool key = c.r == kKey.r && c.g == kKey.g && c.b == kKey.b;
            rgba.insert(rgba.end(), {c.r, c.g, c.b, static_cast<std::uint8_t>(key ? 0 : 255)});
        }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = width_;
    image.height = height_;
    image.format = PNG_FORMAT_RGBA;
    const bool written = png_image_write_to_file(&image, path.c_str(), 0, rgba.data(), 0, nullptr);
    png_image_free(&image);
    return written;
}
