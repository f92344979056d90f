// PNG output through libpng.
#include "Png.h"

#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

uint8_t channel(uint32_t pixel, uint32_t mask, uint8_t shift, uint8_t loss) {
    return static_cast<uint8_t>(((pixel & mask) >> shift) << loss);
}

// The surface's pixels as rows of 8-bit RGB.
std::vector<uint8_t> rgbRows(const SDL_Surface* surface) {
    const SDL_PixelFormat& f = *surface->format;
    std::vector<uint8_t> rgb(static_cast<size_t>(surface->w) * surface->h * 3);
    uint8_t* out = rgb.data();
    for (int row = 0; row < surface->h; ++row) {
        const uint8_t* in = static_cast<const uint8_t*>(surface->pixels) + row * surface->pitch;
        for (int column = 0; column < surface->w; ++column, in += f.BytesPerPixel) {
            uint32_t pixel = 0;
            if (f.BytesPerPixel == 2) {
                uint16_t value;
                std::memcpy(&value, in, 2);
                pixel = value;
            } else {
                std::memcpy(&pixel, in, 4);
            }
            *out++ = channel(pixel, f.Rmask, f.Rshift, f.Rloss);
            *out++ = channel(pixel, f.Gmask, f.Gshift, f.Gloss);
            *out++ = channel(pixel, f.Bmask, f.Bshift, f.Bloss);
        }
    }
    return rgb;
}

// Which input samples make up each output sample along one axis, and by what share of its area.
struct Tap {
    int source;
    float weight;
};
std::vector<std::vector<Tap>> areaTaps(int from, int to) {
    std::vector<std::vector<Tap>> taps(to);
    const double scale = static_cast<double>(from) / to;
    for (int i = 0; i < to; ++i) {
        const double begin = i * scale, end = (i + 1) * scale;
        for (int s = static_cast<int>(begin); s < from && s < end; ++s) {
            const double cover = std::min(end, s + 1.0) - std::max(begin, static_cast<double>(s));
            if (cover > 0) taps[i].push_back({s, static_cast<float>(cover / scale)});
        }
    }
    return taps;
}

// Every output pixel the mean of the input area it covers: no pixel is dropped, so thin path
// markers still show as a trace when a frame shrinks.
std::vector<uint8_t> scaleRows(const std::vector<uint8_t>& rgb, int w, int h, int width,
                               int height) {
    const auto across = areaTaps(w, width), down = areaTaps(h, height);
    std::vector<float> narrowed(static_cast<size_t>(width) * h * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < width; ++x)
            for (const Tap& tap : across[x])
                for (int c = 0; c < 3; ++c)
                    narrowed[(static_cast<size_t>(y) * width + x) * 3 + c] +=
                        tap.weight * rgb[(static_cast<size_t>(y) * w + tap.source) * 3 + c];
    std::vector<uint8_t> scaled(static_cast<size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c) {
                float sum = 0;
                for (const Tap& tap : down[y])
                    sum += tap.weight *
                           narrowed[(static_cast<size_t>(tap.source) * width + x) * 3 + c];
                scaled[(static_cast<size_t>(y) * width + x) * 3 + c] =
                    static_cast<uint8_t>(std::min(255.0f, sum + 0.5f));
            }
    return scaled;
}

// libpng reports errors by a long jump: nothing with a destructor may live in this frame.
bool encode(std::FILE* file, int width, int height, png_bytep* rows, bool scaled) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (info == nullptr || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    // The grass texture of the view defeats matching: Huffman coding alone compresses the
    // frames as well as the default and several times faster. Averaged down, the texture
    // smooths out and matching pays again.
    if (!scaled) {
        png_set_compression_level(png, 1);
        png_set_compression_strategy(png, Z_HUFFMAN_ONLY);
        png_set_filter(png, 0, PNG_FILTER_SUB);
    }
    png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_rows(png, info, rows);
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

bool writePng(const SDL_Surface* surface, const std::string& fileName, int width, int height) {
    const uint8_t bytes = surface->format->BytesPerPixel;
    if (bytes != 2 && bytes != 4) return false;
    std::vector<uint8_t> rgb = rgbRows(surface);
    if (width <= 0 || height <= 0 || (width >= surface->w && height >= surface->h)) {
        width = surface->w;
        height = surface->h;
    } else {
        rgb = scaleRows(rgb, surface->w, surface->h, width, height);
    }
    std::vector<png_bytep> rows(height);
    for (int row = 0; row < height; ++row) rows[row] = rgb.data() + row * width * 3;
    const std::unique_ptr<std::FILE, FileCloser> file(std::fopen(fileName.c_str(), "wb"));
    if (!file || !encode(file.get(), width, height, rows.data(),
                         width != surface->w || height != surface->h))
        return false;
    return std::fflush(file.get()) == 0 && !std::ferror(file.get());
}
