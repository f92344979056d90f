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

// A 3 x 1 row: pure blue, almost blue, blue with a touch of red.
void writeKeyProbe24(const std::string& path) {
    const SurfacePtr surface = makeSurface24(3, 1, 0, 0, 0);
    fillRect24(surface.get(), 0, 0, 1, 1, 0, 0, 255);
    fillRect24(surface.get(), 1, 0, 1, 1, 0, 0, 254);
    fillRect24(surface.get(), 2, 0, 1, 1, 1, 0, 255);
    SDL_SaveBMP(surface.get(), path.c_str());
}

void writeKeyProbe8(const std::string& path) {
    SurfacePtr surface(SDL_CreateRGBSurface(SDL_SWSURFACE, 3, 1, 8, 0, 0, 0, 0));
    SDL_Color palette[3] = {{0, 0, 255, 0}, {0, 0, 254, 0}, {1, 0, 255, 0}};
    SDL_SetColors(surface.get(), palette, 0, 3);
    auto* pixels = static_cast<Uint8*>(surface->pixels);
    pixels[0] = 0;
    pixels[1] = 1;
    pixels[2] = 2;
    SDL_SaveBMP(surface.get(), path.c_str());
}

void expectOnlyPureBlueTransparent(SDL_Surface* image) {
    const uint16_t background = rgb565(255, 255, 255);
    const SurfacePtr target = makeSurface565(3, 1, background);
    SDL_BlitSurface(image, nullptr, target.get(), nullptr);
    EXPECT_EQ(pixel565(target.get(), 0, 0), background);
    EXPECT_EQ(pixel565(target.get(), 1, 0), rgb565(0, 0, 254));
    EXPECT_EQ(pixel565(target.get(), 2, 0), rgb565(1, 0, 255));
}

TEST(LoadImage, PureBlueIsTransparentIn24BitAnd8BitBitmaps) {
    const struct {
        void (*write)(const std::string&);
        int bitsPerPixel;
    } cases[] = {{writeKeyProbe24, 24}, {writeKeyProbe8, 8}};
    for (const auto& c : cases) {
        ScratchDirectory scratch;
        c.write("probe.bmp");
        const SurfacePtr image(loadImage("probe.bmp"));
        ASSERT_TRUE(image) << c.bitsPerPixel;
        EXPECT_EQ(image->format->BitsPerPixel, c.bitsPerPixel);
        expectOnlyPureBlueTransparent(image.get());
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
    writeKeyProbe24("probe.bmp");
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
