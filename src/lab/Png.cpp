// PNG output through libpng.
#include "Png.h"

#include "AveragedFrame.h"

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
    const FrameAverager averager(surface->w, surface->h, width, height);
    width = averager.width();
    height = averager.height();
    std::vector<uint8_t> rgb(static_cast<size_t>(width) * height * 3);
    averager.average(surface, rgb.data());
    std::vector<png_bytep> rows(height);
    for (int row = 0; row < height; ++row) rows[row] = rgb.data() + row * width * 3;
    const std::unique_ptr<std::FILE, FileCloser> file(std::fopen(fileName.c_str(), "wb"));
    if (!file || !encode(file.get(), width, height, rows.data(),
                         width != surface->w || height != surface->h))
        return false;
    return std::fflush(file.get()) == 0 && !std::ferror(file.get());
}
