// The leaderboard: drivers ranked with the figures of single drives whatever the workers, its page,
// the standings' weighing and ranking, and its CSV fields.
#include "BoardReport.h"
#include "LabDrive.h"

#include "LabTestSupport.h"
#include "TestFiles.h"
#include "TestSurfaces.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <tuple>
#include <vector>

namespace {

namespace fs = std::filesystem;

// An element of a page, with all the text inside it and its child elements.
struct Element {
    std::string tag, text;
    std::vector<Element> children;
    std::vector<const Element*> all(const std::string& tag) const {
        std::vector<const Element*> found;
        for (const Element& child : children) {
            if (child.tag == tag) found.push_back(&child);
            const std::vector<const Element*> inside = child.all(tag);
            found.insert(found.end(), inside.begin(), inside.end());
        }
        return found;
    }
};

// Reads a page's elements; false when one is closed out of order or left open.
bool parseHtml(const std::string& html, Element& root) {
    std::vector<Element*> open = {&root};
    for (size_t i = 0; i < html.size();) {
        const size_t start = html.find('<', i);
        for (Element* element : open) element->text += html.substr(i, start - i);
        if (start == std::string::npos) break;
        const size_t end = html.find('>', start);
        if (end == std::string::npos) return false;
        const std::string tag = html.substr(start + 1, end - start - 1);
        i = end + 1;
        if (tag[0] == '/' && (open.size() < 2 || open.back()->tag != tag.substr(1))) return false;
        if (tag[0] == '/') open.pop_back();
        if (tag[0] == '/' || tag[0] == '!') continue;
        open.back()->children.push_back({tag.substr(0, tag.find_first_of(" /")), "", {}});
        if (open.back()->children.back().tag != "meta" && tag.back() != '/')
            open.push_back(&open.back()->children.back());
    }
    return open.size() == 1;
}

TEST(Board, RanksDriversWithTheFiguresOfSingleDrivesWhateverTheWorkersAndRendersItsPage) {
#ifdef _WIN32
    GTEST_SKIP() << "its driver is a shell script; tests/windows/wine-test.sh compares the Windows "
                    "board's results with Linux's";
#endif
    const ScratchDirectory scratch;
    fs::create_directory("courses");
    std::ofstream("courses/loop.txt") << loopCourse;
    std::ofstream("courses/meadow.txt") << shippedCourse;
    std::ofstream("exits.sh")
        << "read course\nread state\necho '{\"steering\": 0, \"speed\": 5}'\n";
    // A name that a CSV reader takes apart unless it is quoted.
    const std::string board = "--board courses --driver 'quit, \"now\"=sh exits.sh' --seeds 1,2 ";
    ASSERT_EQ(runLab(board + "--jobs 2 --report rep >out.txt"), 0) << readFile("out.txt");
    ASSERT_EQ(runLab(board + "--jobs 1 --report one >/dev/null"), 0);
    const std::string results = readFile("rep/results.csv");
    EXPECT_EQ(results, readFile("one/results.csv")) << "the figures depend on the workers";

    // A driver that fails everywhere ranks last and the rest drives on.
    const std::vector<std::string> rows = splitLines(results);
    ASSERT_EQ(rows.size(), 9u) << results;
    EXPECT_EQ(rows[0],
              "driver,course,seed,laps,mean_lap_s,worst_cross_track_ft,rms_cross_track_ft,hits,"
              "failure");
    EXPECT_EQ(rows[6], "\"quit, \"\"now\"\"\",octagon,2,0,,0,0,0,controller exited");
    EXPECT_NE(readFile("out.txt").find("2    quit, \"now\""), std::string::npos)
        << readFile("out.txt");
    EXPECT_NE(readFile("rep/results.json").find("at step 2: it exited with status 0"),
              std::string::npos)
        << "the controller's fault in the drive's own words";
    LabDrive lab(loopCourse, "loop");
    DriveSettings settings;
    settings.seed = 2;
    const LapFigures lap = lab.drive(settings).laps.at(0);
    std::ostringstream single;
    single.precision(17);
    single << "autopilot,octagon,2,1," << lap.seconds << ',' << lap.worstCrossTrack << ','
           << lap.rmsCrossTrack << ',' << lap.obstaclesHit << ',';
    EXPECT_EQ(rows[2], single.str());
    // A drive's JSON holds each waypoint with its target speed: a teacher works from it.
    ASSERT_EQ(runLab("courses/loop.txt --laps 1 --json drive.json >/dev/null"), 0);
    EXPECT_NE(readFile("drive.json").find(R"("waypoints":[[0.0,0.0,20.0],[0.0,200.0,30.0],)"),
              std::string::npos)
        << readFile("drive.json").substr(0, 300);

    // The page: the ranking in order, then for each course its name, a map with the road, the
    // autopilot's path and a table of its drives.
    Element page;
    ASSERT_TRUE(parseHtml(readFile("rep/index.html"), page)) << "a tag closed out of order";
    const Element* body = page.all("body").at(0);
    const std::vector<const Element*> ranking = body->children.at(2).all("tr");
    ASSERT_EQ(ranking.size(), 3u);
    EXPECT_EQ(ranking[1]->text.substr(0, 10), "1autopilot");
    EXPECT_EQ(ranking[2]->text.substr(0, 23), "2quit, &quot;now&quot;0");
    const std::vector<const Element*> figures = body->all("figure");
    ASSERT_EQ(figures.size(), 2u);
    for (const Element* figure : figures) {
        EXPECT_NE(figure->children.at(0).text, "");
        const Element& map = figure->children.at(1);
        EXPECT_EQ(map.tag, "svg");
        EXPECT_EQ(map.all("polygon").size(), 1u) << "the road";
        EXPECT_EQ(map.all("polyline").size(), 2u) << "both drivers' paths";
        EXPECT_EQ(figure->all("tr").size(), 5u) << "two drivers on two seeds";
    }
    EXPECT_EQ(figures[0]->children[0].text, "octagon");
}

// A drive of the board with laps of these seconds, RMS cross-track and frames.
BoardDrive boardDrive(size_t driver, const std::vector<std::array<double, 3>>& laps,
                      const std::string& failure = "") {
    BoardDrive drive;
    drive.driver = driver;
    drive.failure = failure;
    drive.reported = true;
    for (const auto& [seconds, rms, frames] : laps)
        drive.report.laps.push_back({seconds, 1, 0, rms, rms, 0, static_cast<int64_t>(frames)});
    return drive;
}

TEST(Board, StandingsWeighTheRmsByFramesAndRankFinishedDrivesFirstWithTiesInOrder) {
    // 1 ft over 300 frames and 3 ft over 100: sqrt((300 + 900) / 400), not the mean of 2 ft.
    const BoardFigures weighted =
        summarise(boardDrive(0, {{10, 1, 300}, {20, 3, 100}}).report.laps);
    EXPECT_DOUBLE_EQ(weighted.rms, std::sqrt(3.0));
    EXPECT_EQ(std::make_tuple(weighted.laps, weighted.meanLap, weighted.worst, weighted.hits),
              std::make_tuple(2, 15.0, 3.0, 2));
    const std::vector<BoardDrive> drives = {
        boardDrive(0, {}, "controller exited"), boardDrive(0, {}, "bad reply"),
        boardDrive(1, {{60, 2, 3000}}), boardDrive(1, {{60, 2, 3000}}),
        boardDrive(2, {{50, 2, 2500}}), boardDrive(2, {{50, 2, 2500}}),
        boardDrive(3, {{60, 2, 3000}}), boardDrive(3, {{60, 2, 3000}}),
        // Faster, but one drive strayed after a lap.
        boardDrive(4, {{30, 1, 1500}}), boardDrive(4, {{30, 1, 1500}}, "strayed")};
    const std::vector<Standing> standings = rankDrivers(5, drives);
    std::vector<std::tuple<size_t, int, int>> ranked;  // driver, drives finished, laps
    for (const Standing& s : standings) ranked.emplace_back(s.driver, s.finished, s.total.laps);
    EXPECT_EQ(ranked, (std::vector<std::tuple<size_t, int, int>>{
                          {2, 2, 2}, {1, 2, 2}, {3, 2, 2}, {4, 1, 2}, {0, 0, 0}}));
}

TEST(Board, CsvFieldsAreQuotedOnlyWhereAReaderWouldSplitThem) {
    const std::pair<std::string, std::string> fields[] = {
        {"autopilot", "autopilot"},
        {"", ""},
        {"fast, \"safe\"", "\"fast, \"\"safe\"\"\""},
        {"two\nlines", "\"two\nlines\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"a;b c", "a;b c"}};
    for (const auto& [text, field] : fields) EXPECT_EQ(csvField(text), field) << text;
}

}  // namespace
