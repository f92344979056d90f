// Frame selection by elapsed time, playing and stopping, and plain and turned drawing.
#include "Animation.h"

#include "TestSurfaces.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using testing::internal::CaptureStderr;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStderr;
using testing::internal::GetCapturedStdout;

class AnimationTest : public testing::Test {
  protected:
    void SetUp() override {
        writeBitmap("red.bmp", 10, 20, 255, 0, 0);
        writeBitmap("green.bmp", 10, 20, 0, 255, 0);
        writeBitmap("white.bmp", 10, 20, 255, 255, 255);
        CaptureStdout();
    }
    void TearDown() override { GetCapturedStdout(); }

    // Frames of 100, 200 and 300 ms: 600 in all.
    void addThreeFrames(Animation& animation) {
        animation.addFrame("red.bmp", 100);
        animation.addFrame("green.bmp", 200);
        animation.addFrame("white.bmp", 300);
    }

    ScratchDirectory scratch;
};

TEST_F(AnimationTest, ElapsedTimePicksTheFrame) {
    struct Step {
        int32_t ms;
        int32_t elapsed;
        uint32_t frame;
    };
    // From 599 an update to exactly 600 keeps the frame; one more millisecond wraps to 1.
    const Step steps[] = {{0, 0, 0},   {99, 99, 0},   {1, 100, 1}, {199, 299, 1},
                          {1, 300, 2}, {299, 599, 2}, {1, 600, 2}, {1, 1, 0}};
    Animation animation;
    addThreeFrames(animation);
    EXPECT_EQ(animation.getTotalDuration(), 600);
    for (const Step& step : steps) {
        animation.update(step.ms);
        EXPECT_EQ(animation.getElapsed(), step.elapsed) << "after +" << step.ms;
        EXPECT_EQ(animation.getCurrent(), step.frame) << "at " << step.elapsed;
    }
}

TEST_F(AnimationTest, LongUpdateWrapsSeveralTimes) {
    Animation animation;
    addThreeFrames(animation);
    animation.update(1300);
    EXPECT_EQ(animation.getElapsed(), 100);
    EXPECT_EQ(animation.getCurrent(), 1u);
}

TEST_F(AnimationTest, StopRewindsAndHoldsPlayResumes) {
    Animation animation;
    addThreeFrames(animation);
    animation.update(350);
    animation.stop();
    EXPECT_EQ(animation.getCurrent(), 0u);
    EXPECT_EQ(animation.getElapsed(), 0);
    animation.update(400);
    EXPECT_EQ(animation.getElapsed(), 0);
    EXPECT_EQ(animation.getCurrent(), 0u);
    animation.play();
    animation.update(250);
    EXPECT_EQ(animation.getCurrent(), 1u);
}

TEST_F(AnimationTest, PlayWhilePlayingDoesNotRewind) {
    Animation animation;
    addThreeFrames(animation);
    animation.play();
    animation.update(150);
    animation.play();
    animation.update(200);
    EXPECT_EQ(animation.getElapsed(), 350);
    EXPECT_EQ(animation.getCurrent(), 2u);
}

TEST_F(AnimationTest, FrameOfZeroDurationIsSkippedOnceUpdated) {
    Animation animation;
    animation.addFrame("red.bmp", 0);
    animation.addFrame("green.bmp", 100);
    animation.update(0);
    EXPECT_EQ(animation.getCurrent(), 1u);
}

TEST_F(AnimationTest, UpdateWithoutAPositiveCycleReturns) {
    Animation empty;
    empty.update(100);
    EXPECT_EQ(empty.getCurrent(), 0u);
    Animation zero;
    zero.addFrame("red.bmp", 0);
    zero.update(100);
    EXPECT_EQ(zero.getCurrent(), 0u);
}

TEST_F(AnimationTest, AddingFramesLoadsEachTwiceAndGrowingReloadsNothing) {
    GetCapturedStdout();
    CaptureStdout();
    Animation animation;
    for (int i = 0; i < 20; ++i) animation.addFrame("red.bmp", 10);
    const std::string output = GetCapturedStdout();
    CaptureStdout();
    EXPECT_EQ(std::count(output.begin(), output.end(), '\n'), 40);
    EXPECT_EQ(animation.frameCount(), 20u);
}

TEST_F(AnimationTest, DrawShowsTheCurrentFrameAtItsTopLeftCorner) {
    Animation animation;
    addThreeFrames(animation);
    const SurfacePtr target = makeSurface565(100, 100);
    animation.draw(target.get(), 30, 40);
    EXPECT_EQ(pixel565(target.get(), 30, 40), rgb565(255, 0, 0));
    EXPECT_EQ(pixel565(target.get(), 39, 59), rgb565(255, 0, 0));
    EXPECT_EQ(pixel565(target.get(), 40, 40), 0);
    EXPECT_EQ(pixel565(target.get(), 29, 40), 0);
    animation.update(150);
    animation.draw(target.get(), 30, 40);
    EXPECT_EQ(pixel565(target.get(), 35, 50), rgb565(0, 255, 0));
}

TEST_F(AnimationTest, DrawClipsAtTheTargetEdges) {
    Animation animation;
    animation.addFrame("red.bmp", 100);
    const SurfacePtr target = makeSurface565(20, 20);
    animation.draw(target.get(), -5, 15);
    EXPECT_EQ(pixel565(target.get(), 0, 15), rgb565(255, 0, 0));
    EXPECT_EQ(pixel565(target.get(), 4, 19), rgb565(255, 0, 0));
    EXPECT_EQ(pixel565(target.get(), 5, 15), 0);
}

TEST_F(AnimationTest, FramesWithoutSurfaceAndEmptyAnimationsDrawNothing) {
    CaptureStderr();
    Animation missing;
    missing.addFrame("absent.bmp", 100);
    GetCapturedStderr();
    Animation empty;
    const SurfacePtr target = makeSurface565(50, 50, 0x1234);
    missing.draw(target.get(), 0, 0);
    empty.draw(target.get(), 0, 0);
    RotoAnimation missingRoto;
    CaptureStderr();
    missingRoto.addFrame("absent.bmp", 100);
    GetCapturedStderr();
    missingRoto.drawRotated(target.get(), 0, 0, 30);
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 50; ++x) ASSERT_EQ(pixel565(target.get(), x, y), 0x1234);
}

TEST_F(AnimationTest, DrawWithoutTargetIsAProgrammingError) {
#ifdef NDEBUG
    GTEST_SKIP() << "built without assertions, as the Windows zip's Release build is";
#endif
    Animation animation;
    animation.addFrame("red.bmp", 100);
    EXPECT_DEATH(animation.draw(nullptr, 0, 0), "screen != NULL");
}

TEST_F(AnimationTest, DrawRotatedWithoutTargetSaysSoAndDrawsNothing) {
    RotoAnimation animation;
    animation.addFrame("red.bmp", 100);
    CaptureStderr();
    animation.drawRotated(nullptr, 0, 0, 10);
    EXPECT_EQ(GetCapturedStderr(), "Screen!=NULL Roadsim:108 \n");
}

// The extent of the pixels that differ from the background.
struct Extent {
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
};

Extent drawnExtent(const SDL_Surface* target, uint16_t background) {
    Extent extent;
    for (int y = 0; y < target->h; ++y)
        for (int x = 0; x < target->w; ++x)
            if (pixel565(target, x, y) != background) {
                extent.left = std::min(extent.left, x);
                extent.top = std::min(extent.top, y);
                extent.right = std::max(extent.right, x);
                extent.bottom = std::max(extent.bottom, y);
            }
    return extent;
}

TEST_F(AnimationTest, TurnedFrameGrowsItsBoxFromTheTopLeftCorner) {
    RotoAnimation animation;
    animation.addFrame("white.bmp", 100);
    const uint16_t background = rgb565(0, 128, 0);

    const SurfacePtr straight = makeSurface565(100, 100, background);
    animation.drawRotated(straight.get(), 20, 30, 0);
    const Extent flat = drawnExtent(straight.get(), background);
    EXPECT_EQ(flat.left, 20);
    EXPECT_EQ(flat.top, 30);
    EXPECT_NEAR(flat.right - flat.left + 1, 10, 1);
    EXPECT_NEAR(flat.bottom - flat.top + 1, 20, 1);

    // A 10 x 20 frame turned by 90 degrees lies 20 wide and 10 tall.
    const SurfacePtr quarter = makeSurface565(100, 100, background);
    animation.drawRotated(quarter.get(), 20, 30, 90);
    const Extent turned = drawnExtent(quarter.get(), background);
    EXPECT_NEAR(turned.right - turned.left + 1, 20, 2);
    EXPECT_NEAR(turned.bottom - turned.top + 1, 10, 2);
    EXPECT_GE(turned.left, 20);
    EXPECT_GE(turned.top, 30);
}

// Whatever was drawn before (other angles, other frames, more angles than are kept), a turned
// frame looks as a freshly loaded animation draws it.
TEST_F(AnimationTest, TurnedFramesDrawnAgainMatchAFreshTurn) {
    RotoAnimation animation;
    addThreeFrames(animation);
    const auto picture = [](RotoAnimation& roto, double angle) {
        const SurfacePtr target = makeSurface565(40, 40);
        roto.drawRotated(target.get(), 5, 5, angle);
        std::vector<uint16_t> pixels;
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 40; ++x) pixels.push_back(pixel565(target.get(), x, y));
        return pixels;
    };
    const auto fresh = [&](int32_t elapsed, double angle) {
        RotoAnimation other;
        addThreeFrames(other);
        other.update(elapsed);
        return picture(other, angle);
    };
    const struct {
        int32_t update;
        double angle;
        int32_t elapsed;
    } steps[] = {{0, 15, 0}, {0, -15, 0}, {0, 15, 0}, {150, 15, 150}, {0, 0, 150}, {300, 15, 450}};
    for (const auto& step : steps) {
        animation.update(step.update);
        EXPECT_EQ(picture(animation, step.angle), fresh(step.elapsed, step.angle))
            << "at " << step.elapsed << " ms, " << step.angle << " degrees";
    }
    for (int angle = 1; angle <= 40; ++angle) picture(animation, angle);
    EXPECT_EQ(picture(animation, 15), fresh(450, 15)) << "after more angles than are kept";
}

TEST_F(AnimationTest, TurnedTyreKeepsItsTransparency) {
    // A dark tyre on a pure-blue background, as the dashboard draws it.
    const SurfacePtr tyre = makeSurface24(10, 18, 0, 0, 255);
    fillRect24(tyre.get(), 2, 1, 6, 16, 40, 40, 40);
    SDL_SaveBMP(tyre.get(), "tyre.bmp");
    RotoAnimation animation;
    animation.addFrame("tyre.bmp", 100);
    const uint16_t background = rgb565(200, 200, 0);
    const uint16_t pureBlue = rgb565(0, 0, 255);
    for (const double angle : {0.0, -15.0, 15.0, 30.0}) {
        const SurfacePtr target = makeSurface565(60, 60, background);
        animation.drawRotated(target.get(), 20, 20, angle);
        int tyrePixels = 0;
        for (int y = 0; y < 60; ++y)
            for (int x = 0; x < 60; ++x) {
                const uint16_t p = pixel565(target.get(), x, y);
                EXPECT_NE(p, pureBlue) << "angle " << angle << " at " << x << "," << y;
                if (p == rgb565(40, 40, 40)) ++tyrePixels;
            }
        EXPECT_GT(tyrePixels, 40) << "angle " << angle;
        EXPECT_EQ(pixel565(target.get(), 20, 20), background) << "angle " << angle;
    }
}

}  // namespace
