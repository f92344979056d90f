// PNG output through libpng.
#include "Png.h"

#include <png.h>
#include <zlib.h>

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

// libpng reports errors by a long jump: nothing with a destructor may live in this frame.
bool encode(std::FILE* file, const SDL_Surface* surface, png_bytep* rows) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (info == nullptr || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    // The grass texture of the view defeats matching: Huffman coding alone compresses the
    // frames as well as the default and several times faster.
    png_set_compression_level(png, 1);
    png_set_compression_strategy(png, Z_HUFFMAN_ONLY);
    png_set_filter(png, 0, PNG_FILTER_SUB);
    png_set_IHDR(png, info, surface->w, surface->h, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_rows(png, info, rows);
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

bool writePng(const SDL_Surface* surface, const std::string& fileName) {
    const uint8_t bytes = surface->format->BytesPerPixel;
    if (bytes != 2 && bytes != 4) return false;
    std::vector<uint8_t> rgb = rgbRows(surface);
    std::vector<png_bytep> rows(surface->h);
    for (int row = 0; row < surface->h; ++row) rows[row] = rgb.data() + row * surface->w * 3;
    const std::unique_ptr<std::FILE, FileCloser> file(std::fopen(fileName.c_str(), "wb"));
    if (!file || !encode(file.get(), surface, rows.data())) return false;
    return std::fflush(file.get()) == 0 && !std::ferror(file.get());
}
