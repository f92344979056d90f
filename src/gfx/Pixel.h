// Pixel packing and plotting on 16-bit surfaces: the hot-path helpers for particles and the needle.
#pragma once

#include <SDL.h>

#include <cstdint>

// Packs an 8-bit-per-channel colour into the surface format's 16-bit pixel value.
inline uint16_t packPixel(const SDL_PixelFormat* format, uint8_t r, uint8_t g, uint8_t b,
                          uint8_t a) {
    uint32_t sum = (uint32_t{r} >> format->Rloss << format->Rshift) +
                   (uint32_t{g} >> format->Gloss << format->Gshift) +
                   (uint32_t{b} >> format->Bloss << format->Bshift);
    // Some 16-bit formats report an alpha loss of 0 without having an alpha channel; adding the
    // alpha term there would leak it into the colour bits.
    if (format->Amask != 0) sum += uint32_t{a} >> format->Aloss << format->Ashift;
    return static_cast<uint16_t>(sum);
}

// Stores one pixel; unchecked, so the caller holds the lock and keeps (x, y) inside the surface.
inline void putPixel(SDL_Surface* surface, int32_t x, int32_t y, uint16_t pixel) {
    static_cast<uint16_t*>(surface->pixels)[y * (surface->pitch / 2) + x] = pixel;
}
