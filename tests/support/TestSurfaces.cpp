// Helpers for tests that draw on software surfaces and load bitmaps from files.
#include "TestSurfaces.h"

#include <filesystem>
#include <random>

SurfacePtr makeSurface565(int w, int h, uint16_t fill) {
    SurfacePtr surface(SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 16, 0xF800, 0x07E0, 0x001F, 0));
    SDL_FillRect(surface.get(), nullptr, fill);
    return surface;
}

SurfacePtr makeSurface24(int w, int h, uint8_t r, uint8_t g, uint8_t b) {
    SurfacePtr surface(
        SDL_CreateRGBSurface(SDL_SWSURFACE, w, h, 24, 0x0000FF, 0x00FF00, 0xFF0000, 0));
    SDL_FillRect(surface.get(), nullptr, SDL_MapRGB(surface->format, r, g, b));
    return surface;
}

uint16_t pixel565(const SDL_Surface* surface, int x, int y) {
    return static_cast<const uint16_t*>(surface->pixels)[y * (surface->pitch / 2) + x];
}

uint16_t rgb565(uint8_t r, uint8_t g, uint8_t b) {
    return static_cast<uint16_t>((r >> 3) << 11 | (g >> 2) << 5 | b >> 3);
}

void fillRect24(SDL_Surface* surface, int x, int y, int w, int h, uint8_t r, uint8_t g, uint8_t b) {
    SDL_Rect rect{static_cast<Sint16>(x), static_cast<Sint16>(y), static_cast<Uint16>(w),
                  static_cast<Uint16>(h)};
    SDL_FillRect(surface, &rect, SDL_MapRGB(surface->format, r, g, b));
}

void writeBitmap(const std::string& path, int w, int h, uint8_t r, uint8_t g, uint8_t b) {
    const SurfacePtr surface = makeSurface24(w, h, r, g, b);
    SDL_SaveBMP(surface.get(), path.c_str());
}

ScratchDirectory::ScratchDirectory() {
    // A folder of its own under a random name (Windows has no mkdtemp).
    std::random_device random;
    std::filesystem::path made;
    do {
        made =
            std::filesystem::temp_directory_path() / ("roadsim-test-" + std::to_string(random()));
    } while (!std::filesystem::create_directory(made));
    dir = made.string();
    previous = std::filesystem::current_path().string();
    std::filesystem::current_path(dir);
}

ScratchDirectory::~ScratchDirectory() {
    std::filesystem::current_path(previous);
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
}
