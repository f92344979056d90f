// The control screen: banner, panel and the five slider pointers, moved by the tuning keys.
#include "E2eTest.h"

#include <time.h>
#include <unistd.h>

#include <array>
#include <iostream>
#include <map>
#include <thread>

namespace {

class ControlScreen : public E2eTest {};

using Rows = std::array<std::optional<int>, 5>;
const Rows middle{342, 342, 342, 342, 342};

// The five gains as the tuning keys change them: 0.05 a press, clamped to 0 .. 1.
class Gains {
  public:
    void press(const std::string& key) {
        // Slider and direction of each key; Shift does not change the key.
        static const std::map<std::string, std::pair<size_t, int>> keys{
            {"a", {0, +1}}, {"z", {0, -1}}, {"s", {1, +1}},      {"x", {1, -1}},
            {"d", {2, +1}}, {"c", {2, -1}}, {"f", {3, +1}},      {"v", {3, -1}},
            {"g", {4, +1}}, {"b", {4, -1}}, {"shift+a", {0, +1}}};
        const auto [slider, direction] = keys.at(key);
        double& value = values[slider];
        if (direction > 0) {
            value += 0.05;
            if (value > 1) value = 1.0;
        } else {
            value -= 0.05;
            if (value < 0) value = 0.0;
        }
    }
    void press(const std::vector<std::string>& keys) {
        for (const std::string& key : keys) press(key);
    }
    Rows rows() const {
        Rows rows;
        for (size_t i = 0; i < rows.size(); ++i) rows[i] = screens::sliderRow(values[i]);
        return rows;
    }

  private:
    std::array<double, 5> values{0.5, 0.5, 0.5, 0.5, 0.5};
};

bool showsRows(const Screenshot& shot, const Rows& rows) {
    return screens::controlScreen(shot) && screens::pointerRows(shot) == rows;
}

TEST_F(ControlScreen, ShowsBannerPanelAndFivePointersOnTheMiddleRow) {
    launch();
    ASSERT_TRUE(waitFor(patience(10s), [](const Screenshot& s) { return showsRows(s, middle); }))
        << screens::describe(screens::pointerRows(shot));

    EXPECT_EQ(shot.count(palette::logo, Rect{0, 0, 800, 100}), 800 * 100);
    // Five whole pointers and nothing else of their colour; no drive behind them.
    EXPECT_EQ(shot.count(palette::pointer, Rect{0, 0, 800, 600}),
              5 * sprite::pointerWidth * sprite::pointerHeight);
    for (const int x : screens::sliderColumns)
        EXPECT_EQ(shot.bounds(palette::pointer, Rect{x - 30, 100, 80, 500}),
                  (Rect{x, 342, sprite::pointerWidth, sprite::pointerHeight}))
            << "slider at x " << x;
    EXPECT_EQ(shot.count(palette::back, Rect{0, 0, 800, 600}), 0);
    EXPECT_EQ(terminate(), 0);
}

TEST_F(ControlScreen, EachTuningKeyMovesItsOwnSliderOneStepAndStopsAtTheEnds) {
    launch();
    ASSERT_TRUE(waitFor(patience(10s), [](const Screenshot& s) { return showsRows(s, middle); }));

    Gains gains;
    const std::vector<std::string> first = join({repeat("a", 2), repeat("x", 10), repeat("g", 10)});
    gains.press(first);
    // 0.6 draws on row 323; ten steps down leave a remainder of about 7e-17, drawn on the bottom
    // row 437 like 0; ten steps up reach exactly 1, the top row 247.
    ASSERT_EQ(gains.rows(), (Rows{323, 437, 342, 342, 247}));
    type(first);
    EXPECT_TRUE(waitFor(patience(10s), [&](const Screenshot& s) {
        return showsRows(s, gains.rows());
    })) << screens::describe(screens::pointerRows(shot));

    const std::vector<std::string> second = join({repeat("s", 3),
                                                  {"d"},
                                                  repeat("c", 3),
                                                  repeat("f", 2),
                                                  repeat("v", 5),
                                                  repeat("b", 4),
                                                  repeat("z", 12),
                                                  {"shift+a"}});
    gains.press(second);
    type(second);
    EXPECT_TRUE(
        waitFor(patience(10s), [&](const Screenshot& s) { return showsRows(s, gains.rows()); }))
        << screens::describe(screens::pointerRows(shot)) << ", expected "
        << screens::describe(gains.rows());
    EXPECT_EQ(terminate(), 0);
}

TEST_F(ControlScreen, KeypadEnterAndArrowKeysChangeNothing) {
    launch();
    ASSERT_TRUE(waitFor(patience(10s), [](const Screenshot& s) { return showsRows(s, middle); }));
    // Keys are handled in order: once the step of `a` shows, the keys before it were handled.
    type({"KP_Enter", "Up", "Down", "Left", "Right", "a"});
    Gains gains;
    gains.press("a");
    EXPECT_TRUE(waitFor(patience(10s), [&](const Screenshot& s) {
        return showsRows(s, gains.rows());
    })) << screens::describe(screens::pointerRows(shot));
    EXPECT_EQ(shot.count(palette::back, Rect{0, 0, 800, 600}), 0) << "a drive started";
    EXPECT_EQ(terminate(), 0);
}

TEST_F(ControlScreen, EventLoopWaitsAndRedrawsAreCheapAndTenASecond) {
    LaunchOptions options;
    options.countFrames = true;
    Roadsim& run = launch(options);
    ASSERT_TRUE(waitFor(patience(10s), [](const Screenshot& s) { return showsRows(s, middle); }));
    std::this_thread::sleep_for(500ms);

    // The event loop runs on the main thread, whose id is the process id; the control screen is
    // the thread that presents. Threads of the libraries (an audio mixer, a GL rasteriser under
    // the compatibility layer) are nobody's business here.
    const long worker = run.presentation().presenter;
    ASSERT_NE(worker, 0);
    const auto measure = [&] {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        return std::array<double, 4>{now.tv_sec + now.tv_nsec / 1e9,
                                     static_cast<double>(run.cpuTicks(run.pid())),
                                     static_cast<double>(run.cpuTicks(worker)),
                                     static_cast<double>(run.presentation().frames)};
    };
    const auto before = measure();
    std::this_thread::sleep_for(3s);
    const auto after = measure();
    const double seconds = after[0] - before[0];
    const double tickMs = 1000.0 / sysconf(_SC_CLK_TCK);
    const double eventLoopPercent = (after[1] - before[1]) * tickMs / 10 / seconds;
    const double redraws = after[3] - before[3];
    const double msPerRedraw = (after[2] - before[2]) * tickMs / std::max(redraws, 1.0);
    std::cout << "control screen: event loop " << eventLoopPercent << " % of a core, "
              << redraws / seconds << " redraws per second, " << msPerRedraw
              << " ms of CPU per redraw" << std::endl;
    RecordProperty("event_loop_cpu_percent", std::to_string(eventLoopPercent));
    RecordProperty("redraw_cpu_ms", std::to_string(msPerRedraw));

    EXPECT_LT(eventLoopPercent, 5.0 * slowdown()) << "the event loop polls";
    EXPECT_LT(msPerRedraw, 10.0 * slowdown());
    // A pass ends with a 100 ms delay: never more than ten a second.
    EXPECT_LE(redraws / seconds, 10.5);
    EXPECT_GE(redraws / seconds, 4.0);
    EXPECT_EQ(terminate(), 0);
}

}  // namespace
