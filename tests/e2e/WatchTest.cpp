// Watching a lab drive: the game's frames in a window at the asked pace, and a clean end.
#include "E2eTest.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

class Watch : public E2eTest {};

const std::string traceHeader =
    "time_s,x_ft,y_ft,heading_rad,speed_mph,steering_deg,waypoint,obstacle_sum,cross_track_ft";

// The simulated time of the trace's last row, or nothing unless every row is whole: nine numbers.
std::optional<double> lastTraceTime(const std::string& path, std::string& fault) {
    std::ifstream in(path);
    std::string line;
    if (!std::getline(in, line) || line != traceHeader) {
        fault = "header: " + line;
        return std::nullopt;
    }
    std::optional<double> last;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        int numbers = 0;
        double first = 0;
        for (std::string field; std::getline(fields, field, ',');) {
            char* end = nullptr;
            const double value = std::strtod(field.c_str(), &end);
            if (field.empty() || *end != '\0') break;
            if (numbers++ == 0) first = value;
        }
        if (numbers != 9) {
            fault = "row: " + line;
            return std::nullopt;
        }
        last = first;
    }
    if (!last) fault = "no rows";
    return last;
}

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

TEST_F(Watch, ShowsTheDriveAtItsPaceAndEndsCleanlyOnEscapeOrClose) {
    enum class Ending { escape, close };
    // A slow pace puts the first frame's moment before the window's start: it must show at once.
    const struct {
        double speedUp;
        Ending ending;
    } cases[] = {{1, Ending::escape}, {4, Ending::close}, {0.05, Ending::escape}};
    // Long enough that pace shows through start-up and polling; short of the course's first lap.
    constexpr auto watched = 2s;
    for (const auto& c : cases) {
        SCOPED_TRACE("--watch-speed " + std::to_string(c.speedUp) +
                     (c.ending == Ending::escape ? ", Escape" : ", window closed"));
        const std::string trace = workDir + "/trace" + std::to_string(runs.size() + 1) + ".csv";
        LaunchOptions options;
        options.program = ROADSIM_LAB_PROGRAM;
        options.programName = "roadsim-lab";
        options.arguments = {"courses.txt", "--watch", "--watch-speed", std::to_string(c.speedUp),
                             "--laps",      "5",       "--csv",         trace};
        const auto launched = std::chrono::steady_clock::now();
        Roadsim& run = launch(options);
        ASSERT_TRUE(waitFor(patience(10s),
                            [](const Screenshot& s) {
                                return screens::drive(s) && screens::waypointCore(s).has_value();
                            }))
            << "no drive with its course on the screen\n"
            << run.errors();
        const auto shown = std::chrono::steady_clock::now();
        std::this_thread::sleep_for(watched);
        const double watchedSeconds = secondsSince(shown);
        ASSERT_TRUE(run.running()) << "the drive ended by itself\n" << run.output();
        if (c.ending == Ending::escape) {
            type({"Escape"});
        } else {
            // A close button's request, not SIGTERM (which SDL turns into the same quit event)
            // and not xdotool's windowclose, which destroys the window under the program.
            ASSERT_TRUE(server->closeWindows()) << "no window accepts WM_DELETE_WINDOW";
        }
        EXPECT_EQ(run.waitForExit(patience(10s)), std::optional<int>(0)) << run.errors();
        const double aliveSeconds = secondsSince(launched);

        std::string fault;
        const std::optional<double> simulated = lastTraceTime(trace, fault);
        ASSERT_TRUE(simulated) << fault;
        // The window never runs ahead of its pace; a loaded machine may let it fall behind, so the
        // lower bound is loose, yet at four times it still beats the wall clock.
        const std::string figures = "simulated " + std::to_string(*simulated) + " s, watched " +
                                    std::to_string(watchedSeconds) + " s, alive " +
                                    std::to_string(aliveSeconds) + " s";
        EXPECT_LE(*simulated, c.speedUp * aliveSeconds + 0.1) << figures;
        EXPECT_GE(*simulated, c.speedUp * watchedSeconds / (2 * slowdown())) << figures;
        if (c.speedUp > 1 && slowdown() == 1) {
            EXPECT_GT(*simulated, aliveSeconds) << figures;
        }
        EXPECT_NE(run.output().find("summary: "), std::string::npos) << "no figures\n"
                                                                     << run.output();
        EXPECT_FALSE(std::filesystem::exists(run.audioFile())) << "the watching lab made sound";
    }
}

}  // namespace
