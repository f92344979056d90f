// Faults the program survives: no audio device, missing bitmaps, hammered keys, thousands of keys.
#include "DiskAudio.h"
#include "E2eTest.h"

#include <algorithm>
#include <iostream>
#include <thread>

namespace {

class Faults : public E2eTest {};

bool hasLine(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// Classic SDL starts without the device and lets the mixer fail; the compatibility layer over SDL2
// fails SDL_Init itself when the driver cannot open. Either way the drive runs in silence.
TEST_F(Faults, AudioDeviceFailureIsReportedAndManualDriveRunsSilently) {
    ASSERT_TRUE(writeData(courses::aside));
    struct Case {
        const char* name;
        std::vector<std::string> arguments;
        std::string driver;
        std::string file;
        bool reported;
    };
    const std::vector<Case> cases{
        {"disk file in a missing directory", {"c"}, "disk", "/no-such-directory/audio.raw", true},
        {"device that does not exist", {"c"}, "dsp", "", true},
        {"no device, sound off", {"c", "s"}, "dsp", "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LaunchOptions options;
        options.arguments = c.arguments;
        options.audioDriver = c.driver;
        options.audioFile = c.file.empty() ? "" : workDir + c.file;
        Roadsim& run = launch(options);
        ASSERT_TRUE(waitFor(patience(10s), screens::drive)) << run.output();
        const auto reported = [&] { return hasLine(run.errorLines(), "Cannot open mixer audio "); };
        if (c.reported) {
            EXPECT_TRUE(waitUntil(patience(5s), reported)) << run.errors();
        }

        const int row = screens::waypointCore(shot).value_or(Rect{}).y;
        type(repeat("Up", 30));
        EXPECT_TRUE(waitFor(patience(10s),
                            [](const Screenshot& s) { return screens::needleShows(s, 30); }));
        EXPECT_TRUE(waitFor(patience(10s), [row](const Screenshot& s) {
            const auto core = screens::waypointCore(s);
            return core && core->y > row + 30;
        })) << "the course does not move";
        EXPECT_EQ(terminate(), 0);
        EXPECT_EQ(reported(), c.reported) << run.errors();
    }
}

TEST_F(Faults, SoundOptionOpensNoAudioDevice) {
    LaunchOptions options;
    options.arguments = {"s"};
    Roadsim& run = launch(options);
    ASSERT_TRUE(waitFor(patience(10s), screens::controlScreen));
    type({"Return"});
    ASSERT_TRUE(waitFor(patience(10s), [](const Screenshot& s) {
        const auto core = screens::waypointCore(s);
        return screens::drive(s) && core && core->y > 420;
    })) << "the drive does not run";
    EXPECT_EQ(terminate(), 0);
    EXPECT_FALSE(fileSize(run.audioFile())) << "the disk audio device was opened";
    // SDL's disk driver announces itself on opening; the mixer failure line must not show either.
    EXPECT_EQ(run.errors(), "");
}

TEST_F(Faults, HammeringEnterAndEscapeNeverRunsTwoWorkers) {
    LaunchOptions options;
    options.countFrames = true;
    Roadsim& run = launch(options);
    ASSERT_TRUE(waitFor(patience(10s), [](const Screenshot& s) {
        return screens::controlScreen(s) && screens::pointerRow(s, 50) == 342;
    }));

    std::vector<std::string> keys = join({repeat("Escape", 5), {"Return", "Return", "Escape"}});
    for (int i = 0; i < 150; ++i) keys.insert(keys.end(), {"Return", "Escape"});
    type(keys, 2);
    // Keys that found SDL's queue full are dropped, so Escape (into or on the control screen) and
    // a tuning step are sent until the step shows: then every earlier key has been handled.
    bool settled = false;
    for (int attempt = 0; attempt < 10 && !settled; ++attempt) {
        type({"Escape", "a"}, 20);
        settled = waitFor(patience(3s), [&](const Screenshot& s) {
            const auto row = screens::pointerRow(s, 50);
            return screens::controlScreen(s) && row && *row < 342;
        });
    }
    EXPECT_TRUE(settled) << "the control screen does not come back";
    // Then worker after worker, each key once the previous worker has shown its first frame, so
    // that every hand-over is one where the old worker was drawing.
    for (int i = 0; i < 10; ++i) {
        for (const char* key : {"Return", "Escape"}) {
            const long before = run.presentation().presenter;
            type({key});
            EXPECT_TRUE(
                waitUntil(patience(5s), [&] { return run.presentation().presenter != before; }))
                << "no new worker after " << key;
        }
    }
    type({"Return"});
    EXPECT_TRUE(waitFor(patience(10s), screens::drive)) << "no drive after the hammering";

    // Each worker presents its frames from a thread of its own: two workers at once would show
    // as frames of one thread between frames of another, or as presents that overlap.
    const Presentation seen = run.presentation();
    std::cout << seen.frames << " frames, " << seen.handovers << " handovers" << std::endl;
    EXPECT_EQ(seen.clashes, 0) << "a second worker ran";
    EXPECT_EQ(terminate(), 0);
}

TEST_F(Faults, ThousandsOfKeysDuringAFullDriveNeitherAbortNorHang) {
    ASSERT_TRUE(writeData(courses::aside));
    LaunchOptions options;
    options.arguments = {"c"};
    Roadsim& run = launch(options);
    ASSERT_TRUE(waitFor(patience(10s), screens::drive));
    type(repeat("Up", 20));
    ASSERT_TRUE(
        waitFor(patience(10s), [](const Screenshot& s) { return screens::needleShows(s, 20); }));

    // Steering only, so that the speed stays at 20 however many keys SDL drops.
    std::vector<std::string> keys;
    for (int i = 0; i < 1500; ++i) keys.insert(keys.end(), {"Left", "Right"});
    ChildProcess typing = startTyping(keys, 0);
    ASSERT_TRUE(typing.started());
    EXPECT_TRUE(waitUntil(patience(60s), [&] { return !typing.running() || !run.running(); }));
    EXPECT_TRUE(run.running()) << run.errors();

    // Still drawing and still listening: the speed rises. The tail of the flood may still fill
    // SDL's queue, so some of these keys may be dropped too.
    type(repeat("Up", 10));
    EXPECT_TRUE(waitFor(patience(10s), [](const Screenshot& s) {
        for (int speed = 21; speed <= 30; ++speed)
            if (screens::needleShows(s, speed)) return true;
        return false;
    }));
    EXPECT_EQ(terminate(), 0);
    EXPECT_EQ(run.errors().find("[xcb]"), std::string::npos) << run.errors();
    EXPECT_EQ(run.errors().find("Xlib:"), std::string::npos) << run.errors();
}

TEST_F(Faults, MissingBannerAndPointerAreReportedAndBothScreensAreDrawnWithoutThem) {
    ASSERT_TRUE(writeData(courses::straight, {"logo.bmp", "pointer.bmp"}));
    Roadsim& run = launch();
    ASSERT_TRUE(waitFor(patience(10s), [](const Screenshot& s) {
        return s.shows(5, 105, palette::control) && s.shows(790, 590, palette::control);
    })) << "no control panel";
    EXPECT_EQ(shot.count(palette::logo, Rect{0, 0, 800, 600}), 0);
    EXPECT_EQ(shot.count(palette::pointer, Rect{0, 0, 800, 600}), 0);

    type({"Return"});
    EXPECT_TRUE(waitFor(patience(10s), [](const Screenshot& s) {
        return s.shows(790, 105, palette::back) && s.shows(95, 565, palette::gauge) &&
               screens::waypointCore(s);
    })) << "the drive is not drawn";
    EXPECT_EQ(terminate(), 0);
    const std::vector<std::string> errors = run.errorLines();
    EXPECT_TRUE(hasLine(errors, "Cannot find logo.bmp")) << run.errors();
    EXPECT_TRUE(hasLine(errors, "Cannot find pointer.bmp")) << run.errors();
}

TEST_F(Faults, MissingPanelAndBackgroundAreReportedAndBothScreensAreDrawnWithoutThem) {
    ASSERT_TRUE(writeData(courses::straight, {"control.bmp", "back.bmp"}));
    Roadsim& run = launch();
    ASSERT_TRUE(waitFor(patience(10s), [](const Screenshot& s) {
        return s.shows(5, 5, palette::logo) &&
               screens::pointerRows(s) ==
                   std::array<std::optional<int>, 5>{342, 342, 342, 342, 342};
    })) << screens::describe(screens::pointerRows(shot));
    EXPECT_EQ(shot.count(palette::control, Rect{0, 0, 800, 600}), 0);

    type({"Return"});
    EXPECT_TRUE(waitFor(patience(10s), [](const Screenshot& s) {
        return s.shows(5, 5, palette::logo) && s.shows(95, 565, palette::gauge) &&
               screens::waypointCore(s);
    })) << "the drive is not drawn";
    EXPECT_EQ(shot.count(palette::back, Rect{0, 0, 800, 600}), 0);
    EXPECT_EQ(terminate(), 0);
    const std::vector<std::string> errors = run.errorLines();
    EXPECT_TRUE(hasLine(errors, "Cannot find control.bmp")) << run.errors();
    EXPECT_TRUE(hasLine(errors, "Cannot find back.bmp")) << run.errors();
}

}  // namespace
