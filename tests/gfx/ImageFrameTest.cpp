// Bitmap loading with pure blue transparent, the progress and failure lines, and frame ownership.
#include "ImageFrame.h"

#include "TestSurfaces.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <utility>

namespace {

using testing::internal::CaptureStderr;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStderr;
using testing::internal::GetCapturedStdout;

// A row of width pixels repeating pure blue, almost blue, blue with a touch of red.
void writeKeyProbe24(const std::string& path, int width) {
    const SurfacePtr surface = makeSurface24(width, 1, 0, 0, 0);
    for (int x = 0; x < width; ++x)
        fillRect24(surface.get(), x, 0, 1, 1, x % 3 == 2 ? 1 : 0, 0, x % 3 == 1 ? 254 : 255);
    SDL_SaveBMP(surface.get(), path.c_str());
}

void writeKeyProbe8(const std::string& path, int width) {
    SurfacePtr surface(SDL_CreateRGBSurface(SDL_SWSURFACE, width, 1, 8, 0, 0, 0, 0));
    SDL_Color palette[3] = {{0, 0, 255, 0}, {0, 0, 254, 0}, {1, 0, 255, 0}};
    SDL_SetColors(surface.get(), palette, 0, 3);
    auto* pixels = static_cast<Uint8*>(surface->pixels);
    for (int x = 0; x < width; ++x) pixels[x] = static_cast<Uint8>(x % 3);
    SDL_SaveBMP(surface.get(), path.c_str());
}

void expectOnlyPureBlueTransparent(SDL_Surface* image) {
    const uint16_t background = rgb565(255, 255, 255);
    const uint16_t expected[3] = {background, rgb565(0, 0, 254), rgb565(1, 0, 255)};
    const SurfacePtr target = makeSurface565(image->w, 1, background);
    SDL_BlitSurface(image, nullptr, target.get(), nullptr);
    for (int x = 0; x < image->w; ++x)
        EXPECT_EQ(pixel565(target.get(), x, 0), expected[x % 3]) << x;
}

// Keyed, never run-length encoded: after a blit the surface keeps its flags and its pixels.
TEST(LoadImage, PureBlueIsTransparentIn24BitAnd8BitBitmapsNarrowOrWide) {
    const struct {
        void (*write)(const std::string&, int);
        int bitsPerPixel, width;
    } cases[] = {{writeKeyProbe24, 24, 3},
                 {writeKeyProbe8, 8, 3},
                 {writeKeyProbe24, 24, 150},
                 {writeKeyProbe8, 8, 150}};
    for (const auto& c : cases) {
        ScratchDirectory scratch;
        c.write("probe.bmp", c.width);
        const SurfacePtr image(loadImage("probe.bmp"));
        ASSERT_TRUE(image) << c.bitsPerPixel;
        EXPECT_EQ(image->format->BitsPerPixel, c.bitsPerPixel);
        expectOnlyPureBlueTransparent(image.get());
        EXPECT_EQ(image->flags & (SDL_SRCCOLORKEY | SDL_RLEACCEL), Uint32{SDL_SRCCOLORKEY});
        EXPECT_NE(image->pixels, nullptr);
    }
}

TEST(LoadImage, MissingFileSaysCannotFindOnStandardError) {
    ScratchDirectory scratch;
    CaptureStdout();
    CaptureStderr();
    const SurfacePtr image(loadImage("absent.bmp"));
    EXPECT_EQ(GetCapturedStderr(), "Cannot find absent.bmp\n");
    EXPECT_EQ(GetCapturedStdout(), "");
    EXPECT_FALSE(image);
}

TEST(LoadImage, FileThatIsNotABitmapFailsLikeAMissingOne) {
    ScratchDirectory scratch;
    std::FILE* file = std::fopen("text.bmp", "w");
    std::fputs("not a bitmap", file);
    std::fclose(file);
    CaptureStderr();
    const SurfacePtr image(loadImage("text.bmp"));
    EXPECT_EQ(GetCapturedStderr(), "Cannot find text.bmp\n");
    EXPECT_FALSE(image);
}

TEST(ImageFrame, MissingFileGivesOneLineOnEachStreamAndNoSurface) {
    ScratchDirectory scratch;
    CaptureStdout();
    CaptureStderr();
    {
        const ImageFrame frame("absent.bmp", 250);
        EXPECT_EQ(frame.getSurface(), nullptr);
        EXPECT_EQ(frame.getRotatable(), nullptr);
        EXPECT_EQ(frame.getDuration(), 250);
    }
    EXPECT_EQ(GetCapturedStdout(), "getting: absent.bmp\n");
    EXPECT_EQ(GetCapturedStderr(), "Cannot find absent.bmp\n");
}

TEST(ImageFrame, CopyLoadsTheFileAgainIntoASurfaceOfItsOwn) {
    ScratchDirectory scratch;
    writeBitmap("red.bmp", 4, 4, 255, 0, 0);
    CaptureStdout();
    const ImageFrame original("red.bmp", 100);
    const ImageFrame copy(original);
    EXPECT_EQ(GetCapturedStdout(), "getting: red.bmp\ngetting: red.bmp\n");
    ASSERT_NE(copy.getSurface(), nullptr);
    EXPECT_NE(copy.getSurface(), original.getSurface());
    EXPECT_EQ(copy.getFileName(), "red.bmp");
    EXPECT_EQ(copy.getDuration(), 100);
}

TEST(ImageFrame, CopyOfAFrameWhoseFileWasRemovedHasNoSurfaceWhileTheSourceKeepsItsOwn) {
    ScratchDirectory scratch;
    writeBitmap("red.bmp", 4, 4, 255, 0, 0);
    CaptureStdout();
    const ImageFrame original("red.bmp", 100);
    std::remove("red.bmp");
    CaptureStderr();
    {
        const ImageFrame copy(original);
        EXPECT_EQ(copy.getSurface(), nullptr);
    }
    EXPECT_EQ(GetCapturedStderr(), "Cannot find red.bmp\n");
    GetCapturedStdout();
    ASSERT_NE(original.getSurface(), nullptr);
    EXPECT_EQ(original.getSurface()->w, 4);
}

TEST(ImageFrame, MoveHandsTheSurfaceOverWithoutLoading) {
    ScratchDirectory scratch;
    writeBitmap("red.bmp", 4, 4, 255, 0, 0);
    CaptureStdout();
    ImageFrame original("red.bmp", 100);
    SDL_Surface* const surface = original.getSurface();
    const ImageFrame moved(std::move(original));
    EXPECT_EQ(GetCapturedStdout(), "getting: red.bmp\n");
    EXPECT_EQ(moved.getSurface(), surface);
}

TEST(ImageFrame, RotatableVersionIsOpaqueExceptWherePureBlueWas) {
    ScratchDirectory scratch;
    writeKeyProbe24("probe.bmp", 3);
    CaptureStdout();
    const ImageFrame frame("probe.bmp", 100);
    GetCapturedStdout();
    SDL_Surface* rgba = frame.getRotatable();
    ASSERT_NE(rgba, nullptr);
    ASSERT_EQ(rgba->format->BitsPerPixel, 32);
    const auto* pixels = static_cast<const Uint32*>(rgba->pixels);
    Uint8 r, g, b, a;
    SDL_GetRGBA(pixels[0], rgba->format, &r, &g, &b, &a);
    EXPECT_EQ(a, 0);
    EXPECT_EQ(b, 0) << "a transparent pixel keeps no blue to smear into the edges";
    SDL_GetRGBA(pixels[1], rgba->format, &r, &g, &b, &a);
    EXPECT_EQ(a, 255);
    EXPECT_EQ(b, 254);
    SDL_GetRGBA(pixels[2], rgba->format, &r, &g, &b, &a);
    EXPECT_EQ(a, 255);
    EXPECT_EQ(r, 1);
}

}  // namespace
