// Writing the board's results for a terminal, for other programs (CSV, JSON) and for a browser.
#include "BoardReport.h"

#include "CourseMap.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <iterator>

using Json = nlohmann::json;

namespace {

const char* const palette[] = {"#d62728", "#1f77b4", "#2ca02c", "#9467bd",
                               "#ff7f0e", "#8c564b", "#e377c2", "#17becf"};

// As printf rounds, for the page.
std::string printed(double value, int digits) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", digits, value);
    return text;
}

std::string escaped(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == '&')
            out += "&amp;";
        else if (c == '<')
            out += "&lt;";
        else if (c == '>')
            out += "&gt;";
        else if (c == '"')
            out += "&quot;";
        else
            out += c;
    }
    return out;
}

size_t drivesPerDriver(const BoardResult& result) {
    return result.courses.size() * result.seeds.size();
}

// A map of one course: the road, the obstacles of the first seed, and each driver's path and hits
// on it, in the driver's colour.
std::string courseSvg(const std::vector<BoardDrive>& drives, size_t course) {
    const DriveReport* first = nullptr;
    unsigned firstSeed = 0;
    std::vector<const BoardDrive*> shown;
    for (const BoardDrive& drive : drives) {
        if (drive.course != course || !drive.reported) continue;
        if (first == nullptr) {
            first = &drive.report;
            firstSeed = drive.seed;
        }
        if (drive.seed == firstSeed) shown.push_back(&drive);
    }
    if (first == nullptr) return "<p>no drive of this course gave figures</p>";
    constexpr double size = 360, margin = 12;
    MapFrame frame(size, margin);
    for (const auto& point : first->waypoints) frame.include(point[0], point[1]);
    for (const auto& point : first->obstacles) frame.include(point[0], point[1]);
    for (const BoardDrive* drive : shown)
        for (const auto& point : drive->report.path) frame.include(point[0], point[1]);
    const auto x = [&](const auto& point) { return printed(frame.column(point[0]), 1); };
    const auto y = [&](const auto& point) { return printed(frame.row(point[1]), 1); };
    const auto points = [&](const auto& list) {
        std::string out;
        for (const auto& point : list) out += x(point) + "," + y(point) + " ";
        return out;
    };
    const auto circle = [&](const auto& point, const std::string& look) {
        return "<circle cx=\"" + x(point) + "\" cy=\"" + y(point) + "\" " + look + "/>";
    };
    std::string svg =
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"360\" height=\"360\">"
        "<rect width=\"360\" height=\"360\" fill=\"#eef3e2\"/>"
        "<polygon fill=\"none\" stroke=\"#9a9a8a\" stroke-width=\"5\" points=\"" +
        points(first->waypoints) + "\"/>";
    for (const auto& obstacle : first->obstacles)
        svg += circle(obstacle, "r=\"1.5\" fill=\"#6b5a3a\"");
    for (const BoardDrive* drive : shown) {
        const std::string colour = palette[drive->driver % std::size(palette)];
        svg += "<polyline fill=\"none\" stroke-width=\"1.5\" stroke=\"" + colour + "\" points=\"" +
               points(drive->report.path) + "\"/>";
        for (const auto& hit : drive->report.hits)
            svg +=
                circle(hit, "r=\"4\" fill=\"none\" stroke-width=\"1.5\" stroke=\"" + colour + "\"");
    }
    return svg + "</svg>";
}

const char* const style =
    "body{font-family:sans-serif;margin:24px;color:#222}"
    "table{border-collapse:collapse;margin:8px 0 20px}"
    "th{background:#2a4d69;color:#fff;padding:4px 10px}"
    "td{padding:3px 10px;border-bottom:1px solid #ccc;text-align:right}"
    "td:first-child,td:nth-child(2){text-align:left}"
    ".courses{display:flex;flex-wrap:wrap;gap:18px}"
    "figure{margin:0}figcaption{font-weight:bold;margin:4px 0}"
    ".swatch{display:inline-block;width:14px;height:14px;margin-right:6px;vertical-align:middle}";

}  // namespace

std::string csvField(const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
    std::string out = "\"";
    for (const char c : text) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

void printStandings(const BoardResult& result, const std::vector<Standing>& standings) {
    std::printf("%-4s %-20s %9s %6s %9s %10s %9s %6s\n", "rank", "driver", "finished", "laps",
                "mean lap", "worst xt", "rms xt", "hits");
    for (size_t rank = 0; rank < standings.size(); ++rank) {
        const Standing& s = standings[rank];
        std::printf("%-4zu %-20s %4d of %-3zu %6d %9.2f %10.2f %9.2f %6d\n", rank + 1,
                    result.drivers[s.driver].c_str(), s.finished, drivesPerDriver(result),
                    s.total.laps, s.total.meanLap, s.total.worst, s.total.rms, s.total.hits);
    }
    std::printf("%zu drives in %.1f s of real time\n", result.drives.size(), result.seconds);
    std::fflush(stdout);
}

std::string resultsCsv(const BoardResult& result) {
    std::string csv =
        "driver,course,seed,laps,mean_lap_s,worst_cross_track_ft,rms_cross_track_ft,hits,"
        "failure\n";
    for (const BoardDrive& drive : result.drives) {
        const BoardFigures row = driveFigures(drive);
        csv += csvField(result.drivers[drive.driver]) + ',' +
               csvField(result.courses[drive.course]) + ',' + std::to_string(drive.seed) + ',' +
               std::to_string(row.laps) + ',' + (row.laps ? exactly(row.meanLap) : "") + ',' +
               exactly(row.worst) + ',' + exactly(row.rms) + ',' + std::to_string(row.hits) + ',' +
               csvField(drive.failure) + '\n';
    }
    return csv;
}

std::string resultsJson(const BoardResult& result, const std::vector<Standing>& standings) {
    Json ranking = Json::array(), rows = Json::array();
    for (const Standing& s : standings)
        ranking.push_back({{"driver", result.drivers[s.driver]},
                           {"drives_finished", s.finished},
                           {"drives", drivesPerDriver(result)},
                           {"laps", s.total.laps},
                           {"mean_lap_s", s.total.meanLap},
                           {"worst_cross_track_ft", s.total.worst},
                           {"rms_cross_track_ft", s.total.rms},
                           {"hits", s.total.hits}});
    for (const BoardDrive& drive : result.drives) {
        const BoardFigures row = driveFigures(drive);
        rows.push_back({{"driver", result.drivers[drive.driver]},
                        {"course", result.courses[drive.course]},
                        {"seed", drive.seed},
                        {"laps", row.laps},
                        {"mean_lap_s", row.laps ? Json(row.meanLap) : Json()},
                        {"worst_cross_track_ft", row.worst},
                        {"rms_cross_track_ft", row.rms},
                        {"hits", row.hits},
                        {"failure", drive.failure},
                        {"message", drive.message}});
    }
    return Json{{"laps", result.laps},
                {"seeds", result.seeds},
                {"seconds", result.seconds},
                {"ranking", ranking},
                {"results", rows}}
               .dump(2, ' ', false, Json::error_handler_t::replace) +
           '\n';
}

std::string resultsPage(const BoardResult& result, const std::vector<Standing>& standings) {
    std::string table =
        "<table><tr><th>#</th><th>Driver</th><th>Drives finished</th><th>Laps</th><th>Mean lap "
        "(s)</th><th>Worst cross-track (ft)</th><th>RMS cross-track (ft)</th><th>Obstacles "
        "hit</th></tr>";
    for (size_t rank = 0; rank < standings.size(); ++rank) {
        const Standing& s = standings[rank];
        table += "<tr><td>" + std::to_string(rank + 1) +
                 "</td><td><span class=\"swatch\" "
                 "style=\"background:" +
                 palette[s.driver % std::size(palette)] + "\"></span>" +
                 escaped(result.drivers[s.driver]) + "</td><td>" + std::to_string(s.finished) +
                 " of " + std::to_string(drivesPerDriver(result)) + "</td><td>" +
                 std::to_string(s.total.laps) + "</td><td>" + printed(s.total.meanLap, 2) +
                 "</td><td>" + printed(s.total.worst, 2) + "</td><td>" + printed(s.total.rms, 2) +
                 "</td><td>" + std::to_string(s.total.hits) + "</td></tr>";
    }
    table += "</table>";
    std::string maps;
    for (size_t c = 0; c < result.courses.size(); ++c) {
        maps += "<figure><figcaption>" + escaped(result.courses[c]) + "</figcaption>" +
                courseSvg(result.drives, c) +
                "<table><tr><th>Driver</th><th>Seed</th><th>Laps</th><th>Mean lap (s)</th><th>RMS "
                "(ft)</th><th>Hits</th><th>Failure</th></tr>";
        for (const BoardDrive& drive : result.drives) {
            if (drive.course != c) continue;
            const BoardFigures row = driveFigures(drive);
            maps += "<tr><td>" + escaped(result.drivers[drive.driver]) + "</td><td>" +
                    std::to_string(drive.seed) + "</td><td>" + std::to_string(row.laps) +
                    "</td><td>" + (row.laps ? printed(row.meanLap, 2) : "") + "</td><td>" +
                    printed(row.rms, 2) + "</td><td>" + std::to_string(row.hits) + "</td><td>" +
                    escaped(drive.failure) + "</td></tr>";
        }
        maps += "</table></figure>";
    }
    std::string seeds;
    for (const unsigned seed : result.seeds)
        seeds += (seeds.empty() ? "" : ", ") + std::to_string(seed);
    return "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>roadsim leaderboard</title>"
           "<style>" +
           std::string(style) + "</style></head><body><h1>Leaderboard</h1><p>" +
           std::to_string(result.drivers.size()) + " drivers on " +
           std::to_string(result.courses.size()) + " courses, seeds " + seeds + ", " +
           std::to_string(result.laps) +
           " laps a drive; maps show the first seed's paths, circles where a collision began.</p>" +
           table + "<h2>Courses</h2><div class=\"courses\">" + maps + "</div></body></html>\n";
}
