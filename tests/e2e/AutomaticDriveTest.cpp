// Automatic drives: Enter starts one, Escape returns to the control screen, `r` resets the car.
#include "E2eTest.h"

#include <time.h>

#include <iostream>
#include <thread>

namespace {

class AutomaticDrive : public E2eTest {};

// The waypoint 60 ft ahead of the origin is drawn at column 400, row 600 - 60 / 0.3 = 400; its
// solid core starts inside the transparent border.
constexpr int waypointCoreColumn = 400 + sprite::waypointBorder;
constexpr int waypointCoreRowAtOrigin = 400 + sprite::waypointBorder;
// Rows the car may move on before a screenshot catches its first frames (18 ft, more than a second
// of driving at the course's 15 mph, for slow sanitizer builds on a loaded machine).
constexpr int startSlack = 60;
// Rows the first drive must have moved the course before Escape: well past the start slack.
constexpr int escapeDistance = 90;

std::function<bool(const Screenshot&)> waypointAtLeast(int row) {
    return [row](const Screenshot& s) {
        const auto core = screens::waypointCore(s);
        return screens::drive(s) && core && core->y >= row;
    };
}

TEST_F(AutomaticDrive, EnterShowsBannerCourseAndDashboardAndTheCarDrivesOff) {
    launch();
    ASSERT_TRUE(waitFor(patience(10s), screens::controlScreen));
    type({"Return"});
    ASSERT_TRUE(waitFor(patience(10s), waypointAtLeast(0)));
    const Screenshot first = shot;

    EXPECT_EQ(first.count(palette::logo, Rect{0, 0, 800, 100}), 800 * 100);
    const auto waypoint = screens::waypointCore(first);
    ASSERT_TRUE(waypoint);
    EXPECT_NEAR(waypoint->x, waypointCoreColumn, 3);
    EXPECT_GE(waypoint->y, waypointCoreRowAtOrigin - 1);
    EXPECT_LE(waypoint->y, waypointCoreRowAtOrigin + startSlack);
    EXPECT_GT(first.count(palette::marker, Rect{390, 100, 20, 300}), 0) << "path markers";
    // The obstacle lies 60 ft to the right of the waypoint and 40 ft beyond it: 200 columns to
    // the right and 133 rows up, wherever the car is on its straight start.
    const auto obstacle = first.bounds(palette::obstacle, Rect{0, 100, 800, 500});
    ASSERT_TRUE(obstacle);
    EXPECT_NEAR(obstacle->x - waypoint->x, 200, 4);
    EXPECT_NEAR(obstacle->y - waypoint->y, -133, 4);

    const auto [tyreX, tyreY] = screens::rearLeftTyreCore;
    EXPECT_TRUE(first.shows(tyreX, tyreY, palette::tire1) ||
                first.shows(tyreX, tyreY, palette::tire2) ||
                first.shows(tyreX, tyreY, palette::tire3));
    const auto [lightX, lightY] = screens::leftLightCore;
    EXPECT_TRUE(first.shows(lightX, lightY, palette::light1) ||
                first.shows(lightX, lightY, palette::light2));
    EXPECT_GT(first.count(palette::black, Rect{0, 560, 100, 40}), 10) << "no needle";
    EXPECT_EQ(first.count(palette::transparent, Rect{0, 0, 800, 600}), 0)
        << "the sprites' transparent colour shows";

    EXPECT_TRUE(waitFor(patience(10s), waypointAtLeast(waypoint->y + 15)))
        << "the course does not move towards the car";
    EXPECT_EQ(terminate(), 0);
}

TEST_F(AutomaticDrive, EscapeReturnsToControlScreenAndTheCarKeepsItsPlaceUntilReset) {
    const auto backOnControlScreen = [](const Screenshot& s) {
        return screens::controlScreen(s) && screens::pointerRow(s, 50) == 342;
    };
    launch();
    ASSERT_TRUE(waitFor(patience(10s), backOnControlScreen));

    type({"Return"});
    ASSERT_TRUE(waitFor(patience(10s), waypointAtLeast(0)));
    EXPECT_LE(screens::waypointCore(shot)->y, waypointCoreRowAtOrigin + startSlack);
    ASSERT_TRUE(waitFor(patience(20s), waypointAtLeast(waypointCoreRowAtOrigin + escapeDistance)));
    const int rowAtEscape = screens::waypointCore(shot)->y;

    type({"Escape"});
    ASSERT_TRUE(waitFor(patience(10s), backOnControlScreen));
    type({"Return"});
    ASSERT_TRUE(waitFor(patience(10s), waypointAtLeast(0)));
    EXPECT_GE(screens::waypointCore(shot)->y, rowAtEscape) << "the second drive starts over";

    type({"Escape"});
    ASSERT_TRUE(waitFor(patience(10s), backOnControlScreen));
    type({"r", "Return"});
    ASSERT_TRUE(waitFor(patience(10s), waypointAtLeast(0)));
    EXPECT_LE(screens::waypointCore(shot)->y, waypointCoreRowAtOrigin + startSlack)
        << "after r the drive does not start at the origin";
    EXPECT_EQ(terminate(), 0);
}

TEST_F(AutomaticDrive, PresentsFramesWithoutPausingBetweenThem) {
    LaunchOptions options;
    options.countFrames = true;
    Roadsim& run = launch(options);
    ASSERT_TRUE(waitFor(patience(10s), screens::controlScreen));
    type({"Return"});
    ASSERT_TRUE(waitFor(patience(10s), screens::drive));

    const auto now = [] {
        timespec t{};
        clock_gettime(CLOCK_MONOTONIC, &t);
        return t.tv_sec + t.tv_nsec / 1e9;
    };
    const double start = now();
    const long framesBefore = run.presentation().frames;
    std::this_thread::sleep_for(2s);
    const double framesPerSecond = (run.presentation().frames - framesBefore) / (now() - start);
    std::cout << "drive: " << framesPerSecond << " frames per second" << std::endl;
    RecordProperty("frames_per_second", std::to_string(framesPerSecond));
    // Paced like the control screen, a drive would show ten frames a second.
    EXPECT_GT(framesPerSecond, 30.0 / slowdown());
    EXPECT_EQ(terminate(), 0);
}

}  // namespace
