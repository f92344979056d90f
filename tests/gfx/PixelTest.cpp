// Packing colours into 16-bit pixels and plotting them by row and pitch.
#include "Pixel.h"

#include "TestSurfaces.h"

#include <gtest/gtest.h>

namespace {

SDL_PixelFormat format565(Uint8 aloss, Uint32 amask) {
    SDL_PixelFormat format{};
    format.BitsPerPixel = 16;
    format.BytesPerPixel = 2;
    format.Rloss = 3;
    format.Gloss = 2;
    format.Bloss = 3;
    format.Aloss = aloss;
    format.Rshift = 11;
    format.Gshift = 5;
    format.Bshift = 0;
    format.Ashift = 0;
    format.Rmask = 0xF800;
    format.Gmask = 0x07E0;
    format.Bmask = 0x001F;
    format.Amask = amask;
    return format;
}

TEST(PackPixel, PacksFiveSixFiveComponents) {
    const SDL_PixelFormat format = format565(8, 0);
    struct Case {
        Uint8 r, g, b, a;
        uint16_t expected;
    };
    const Case cases[] = {{255, 255, 255, 0, 0xFFFF},
                          {255, 255, 255, 128, 0xFFFF},
                          {255, 255, 255, 255, 0xFFFF},
                          {255, 0, 0, 0, 0xF800},
                          {0, 0, 0, 128, 0},
                          {8, 4, 8, 255, 0x0821}};
    for (const Case& c : cases)
        EXPECT_EQ(packPixel(&format, c.r, c.g, c.b, c.a), c.expected)
            << int{c.r} << "," << int{c.g} << "," << int{c.b} << "," << int{c.a};
}

TEST(PackPixel, FormatWithoutAlphaMaskIgnoresAlphaEvenWithZeroLoss) {
    const SDL_PixelFormat format = format565(0, 0);
    EXPECT_EQ(packPixel(&format, 0, 0, 0, 128), 0);
    EXPECT_EQ(packPixel(&format, 255, 0, 0, 255), 0xF800);
}

TEST(PackPixel, FormatWithAlphaChannelPacksAlpha) {
    SDL_PixelFormat format{};
    format.Rloss = format.Gloss = format.Bloss = format.Aloss = 4;
    format.Rshift = 8;
    format.Gshift = 4;
    format.Bshift = 0;
    format.Ashift = 12;
    format.Amask = 0xF000;
    EXPECT_EQ(packPixel(&format, 0x10, 0x20, 0x30, 0x80), 0x8123);
}

TEST(PutPixel, AddressesRowsByPitch) {
    const SurfacePtr surface = makeSurface565(800, 600);
    ASSERT_EQ(surface->pitch, 1600);
    putPixel(surface.get(), 0, 0, 0x1111);
    putPixel(surface.get(), 799, 599, 0x2222);
    const auto* pixels = static_cast<const uint16_t*>(surface->pixels);
    EXPECT_EQ(pixels[0], 0x1111);
    EXPECT_EQ(pixels[479999], 0x2222);
}

TEST(PutPixel, PaddedPitchSkipsThePadding) {
    std::vector<uint16_t> memory(802 * 4, 0);
    SurfacePtr surface(
        SDL_CreateRGBSurfaceFrom(memory.data(), 800, 4, 16, 1604, 0xF800, 0x07E0, 0x001F, 0));
    putPixel(surface.get(), 0, 1, 0x3333);
    EXPECT_EQ(memory[802], 0x3333);
}

TEST(PutPixel, ColumnMinusOneIsTheLastPixelOfTheRowAbove) {
    const SurfacePtr surface = makeSurface565(800, 20);
    putPixel(surface.get(), -1, 10, 0x4444);
    EXPECT_EQ(pixel565(surface.get(), 799, 9), 0x4444);
}

}  // namespace
