// Running the drives of the leaderboard side by side, one process each (a drive silences the
// process's output streams and a controller that crashes takes only its own drive down),
// gathering their figures and writing the report.
#include "Board.h"

#include "Shell.h"
#include "Tuner.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <mutex>
#include <sstream>
#include <thread>

namespace fs = std::filesystem;
using Json = nlohmann::json;

namespace {

// Every tenth frame of the path: a fifth of a second of driving, fine enough for a map.
constexpr size_t pathStride = 10;
const char* const palette[] = {"#d62728", "#1f77b4", "#2ca02c", "#9467bd",
                               "#ff7f0e", "#8c564b", "#e377c2", "#17becf"};

std::string number(double value) {
    std::ostringstream out;
    out.precision(17);
    out << value;
    return out.str();
}

std::string fixed(double value, int digits) {
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

// The lab's exit statuses in the words of the results.
std::string failureOf(int status) {
    switch (status) {
        case 0:
            return "";
        case 3:
            return "strayed";
        case 4:
            return "controller cannot start";
        case 5:
            return "controller exited";
        case 6:
            return "bad reply";
        case 7:
            return "too slow";
        default:
            return "lab failed (status " + std::to_string(status) + ")";
    }
}

struct BoardDrive {
    size_t driver, course;
    unsigned seed;
    // Filled in by the drive.
    std::string failure, message;
    Json figures;
};

struct Row {
    int laps = 0;
    double meanLap = 0, worst = 0, rms = 0;
    int hits = 0;
    int64_t frames = 0;
};

// The figures of a drive's finished laps; RMS over all their frames.
Row summarise(const Json& laps) {
    Row row;
    double squares = 0;
    for (const Json& lap : laps) {
        ++row.laps;
        row.meanLap += lap["seconds"].get<double>();
        row.worst = std::max(row.worst, lap["worst_cross_track"].get<double>());
        row.hits += lap["hits"].get<int>();
        const double rms = lap["rms_cross_track"].get<double>();
        const int64_t frames = lap["frames"].get<int64_t>();
        squares += rms * rms * frames;
        row.frames += frames;
    }
    if (row.laps > 0) row.meanLap /= row.laps;
    if (row.frames > 0) row.rms = std::sqrt(squares / row.frames);
    return row;
}

struct Standing {
    size_t driver = 0;
    int finished = 0;
    Json laps = Json::array();  // of all its drives
    Row total;
    double score() const {
        if (total.laps == 0) return 1e9;
        return lapScore(total.meanLap, static_cast<double>(total.hits) / total.laps, total.rms);
    }
};

std::vector<fs::path> courseFiles(const std::vector<std::string>& named, std::string& error) {
    std::vector<fs::path> files;
    for (const std::string& name : named) {
        const fs::path path = fs::u8path(name);
        std::error_code code;
        if (fs::is_directory(path, code)) {
            std::vector<fs::path> inside;
            for (const auto& entry : fs::directory_iterator(path, code))
                if (entry.path().extension() == ".txt") inside.push_back(entry.path());
            std::sort(inside.begin(), inside.end());
            if (inside.empty()) error = "no course (*.txt) in " + name;
            files.insert(files.end(), inside.begin(), inside.end());
        } else if (fs::is_regular_file(path, code)) {
            files.push_back(path);
        } else {
            error = "cannot open " + name;
        }
        if (!error.empty()) return {};
    }
    return files;
}

// One drive as a run of this program: the same options, one course, one seed.
std::string driveCommand(const std::string& self, const LabOptions& options,
                         const BoardDriver& driver, const fs::path& course, unsigned seed,
                         const fs::path& out) {
    std::string command = shellQuoted(self) + " " + shellQuoted(course.u8string()) + " --seed " +
                          std::to_string(seed) + " --laps " + std::to_string(options.laps) +
                          " --step " + std::to_string(options.stepMs);
    for (const TuningSlider& slider : tuningSliders)
        command += std::string(" ") + slider.option + " " + number(options.tuning.*slider.value);
    if (!driver.command.empty())
        command += " --controller " + shellQuoted(driver.command) + " --controller-timeout " +
                   number(options.controllerTimeout);
    const std::string base = out.u8string();
    if (options.recordWidth > 0)
        command += " --record " + shellQuoted(base + ".rec") + " --record-size " +
                   std::to_string(options.recordWidth) + "x" + std::to_string(options.recordHeight);
    if (!options.imageFolder.empty()) command += " --images " + shellQuoted(options.imageFolder);
    return command + " --json " + shellQuoted(base + ".json") + " >" + shellQuoted(base + ".out") +
           " 2>" + shellQuoted(base + ".err");
}

std::string lastLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line, last;
    while (std::getline(in, line))
        if (!line.empty()) last = line;
    return last;
}

// Runs the drives on jobs workers; shows progress on a terminal.
void runDrives(std::vector<BoardDrive>& drives, const std::vector<std::string>& commands,
               const fs::path& work, int jobs) {
    std::atomic<size_t> next{0};
    std::mutex mutex;
    std::condition_variable changed;
    size_t done = 0;
    const auto worker = [&] {
        for (size_t i = next++; i < drives.size(); i = next++) {
            const int status = runInShell(commands[i]);
            BoardDrive& drive = drives[i];
            drive.failure = failureOf(status);
            const fs::path base = work / std::to_string(i);
            std::ifstream in(base.string() + ".json");
            drive.figures = Json::parse(in, nullptr, false);
            if (!drive.failure.empty()) drive.message = lastLine(base.string() + ".err");
            if (!drive.figures.is_object() && drive.failure.empty())
                drive.failure = "lab failed (no figures)";
            const std::lock_guard<std::mutex> lock(mutex);
            ++done;
            changed.notify_all();
        }
    };
    std::vector<std::thread> workers;
    for (int i = 0; i < jobs; ++i) workers.emplace_back(worker);
    if (errorsOnTerminal()) {
        const auto started = std::chrono::steady_clock::now();
        std::unique_lock<std::mutex> lock(mutex);
        while (done < drives.size()) {
            changed.wait_for(lock, std::chrono::milliseconds(500));
            const double elapsed =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
            const double left = done > 0 ? elapsed / done * (drives.size() - done) : 0;
            std::fprintf(stderr, "\rboard: %zu of %zu drives, %.0f s, about %.0f s left   ", done,
                         drives.size(), elapsed, left);
        }
        std::fprintf(stderr, "\n");
    }
    for (std::thread& thread : workers) thread.join();
}

// A map of one course: the road, the obstacles of the first seed, and each driver's path and hits
// on it, in the driver's colour.
std::string courseSvg(const std::vector<BoardDrive>& drives, size_t course) {
    const BoardDrive* first = nullptr;
    std::vector<const BoardDrive*> shown;
    for (const BoardDrive& drive : drives) {
        if (drive.course != course || !drive.figures.is_object()) continue;
        if (first == nullptr) first = &drive;
        if (drive.seed == first->seed) shown.push_back(&drive);
    }
    if (first == nullptr) return "<p>no drive of this course gave figures</p>";
    double minX = 0, maxX = 0, minY = 0, maxY = 0;
    const auto extend = [&](const Json& point) {
        minX = std::min(minX, point[0].get<double>());
        maxX = std::max(maxX, point[0].get<double>());
        minY = std::min(minY, point[1].get<double>());
        maxY = std::max(maxY, point[1].get<double>());
    };
    for (const Json& point : first->figures["waypoints"]) extend(point);
    for (const Json& point : first->figures["obstacles"]) extend(point);
    for (const BoardDrive* drive : shown)
        for (const Json& point : drive->figures["path"]) extend(point);
    constexpr double size = 360, margin = 12;
    const double scale = (size - 2 * margin) / std::max({maxX - minX, maxY - minY, 1.0});
    const auto x = [&](const Json& point) {
        return fixed(margin + (point[0].get<double>() - minX) * scale, 1);
    };
    const auto y = [&](const Json& point) {
        return fixed(size - margin - (point[1].get<double>() - minY) * scale, 1);
    };
    const auto points = [&](const Json& list) {
        std::string out;
        for (const Json& point : list) out += x(point) + "," + y(point) + " ";
        return out;
    };
    const auto circle = [&](const Json& point, const std::string& look) {
        return "<circle cx=\"" + x(point) + "\" cy=\"" + y(point) + "\" " + look + "/>";
    };
    std::string svg =
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"360\" height=\"360\">"
        "<rect width=\"360\" height=\"360\" fill=\"#eef3e2\"/>"
        "<polygon fill=\"none\" stroke=\"#9a9a8a\" stroke-width=\"5\" points=\"" +
        points(first->figures["waypoints"]) + "\"/>";
    for (const Json& obstacle : first->figures["obstacles"])
        svg += circle(obstacle, "r=\"1.5\" fill=\"#6b5a3a\"");
    for (const BoardDrive* drive : shown) {
        const std::string colour = palette[drive->driver % std::size(palette)];
        svg += "<polyline fill=\"none\" stroke-width=\"1.5\" stroke=\"" + colour + "\" points=\"" +
               points(drive->figures["path"]) + "\"/>";
        for (const Json& hit : drive->figures["hits"])
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

bool writeDriveJson(const std::string& fileName, const Course& course, const DriveResult& result) {
    static const std::map<DriveEnd, const char*> ends = {
        {DriveEnd::finished, "finished"},
        {DriveEnd::lapLimit, "strayed"},
        {DriveEnd::controllerFailed, "controller failed"},
        {DriveEnd::recordingFailed, "recording failed"},
        {DriveEnd::watcherClosed, "watcher closed"}};
    Json laps = Json::array();
    for (const LapFigures& lap : result.laps)
        laps.push_back({{"seconds", lap.seconds},
                        {"hits", lap.obstaclesHit},
                        {"collision_frames", lap.collisionFrames},
                        {"worst_cross_track", lap.worstCrossTrack},
                        {"rms_cross_track", lap.rmsCrossTrack},
                        {"mean_speed", lap.meanSpeed},
                        {"frames", lap.frames}});
    Json waypoints = Json::array(), obstacles = Json::array(), path = Json::array(),
         hits = Json::array();
    for (const CourseObject& waypoint : course.getWaypoints())
        waypoints.push_back({waypoint.x, waypoint.y, waypoint.value});
    for (const CourseObject& obstacle : course.getObstacles())
        obstacles.push_back({obstacle.x, obstacle.y, obstacle.value});
    bool colliding = false;
    for (size_t i = 0; i < result.trace.size(); ++i) {
        const TraceRow& row = result.trace[i];
        if (i % pathStride == 0) path.push_back({row.x, row.y});
        // Where each collision began.
        if (row.collision && !colliding) hits.push_back({row.x, row.y});
        colliding = row.collision;
    }
    std::ofstream out(fileName);
    out << Json{{"course", course.getName()},
                {"end", ends.at(result.end)},
                {"laps", std::move(laps)},
                {"waypoints", std::move(waypoints)},
                {"obstacles", std::move(obstacles)},
                {"path", std::move(path)},
                {"hits", std::move(hits)}}
               .dump(-1, ' ', false, Json::error_handler_t::replace)
        << '\n';
    return static_cast<bool>(out.flush());
}

int runBoard(const LabOptions& options, const std::string& self) {
    std::string error;
    const std::vector<fs::path> courses = courseFiles(options.boardCourses, error);
    if (!error.empty()) {
        std::cerr << "roadsim-lab: " << error << std::endl;
        return 1;
    }
    std::error_code code;
    if (!options.reportFolder.empty()) {
        const fs::path report = fs::u8path(options.reportFolder);
        if (fs::exists(report, code) && !fs::is_empty(report, code)) {
            std::cerr << "roadsim-lab: refusing to write the report into " << options.reportFolder
                      << ": it is not empty" << std::endl;
            return 1;
        }
        fs::create_directories(report, code);
        if (code) {
            std::cerr << "roadsim-lab: cannot make " << options.reportFolder << ": "
                      << code.message() << std::endl;
            return 1;
        }
    }
    std::vector<BoardDriver> drivers = {{"autopilot", ""}};
    drivers.insert(drivers.end(), options.drivers.begin(), options.drivers.end());

    const fs::path work =
        fs::temp_directory_path(code) / ("roadsim-board-" + std::to_string(processId()));
    fs::create_directories(work, code);
    if (code) {
        std::cerr << "roadsim-lab: cannot make " << work.string() << std::endl;
        return 1;
    }
    std::vector<BoardDrive> drives;
    std::vector<std::string> commands;
    for (size_t d = 0; d < drivers.size(); ++d)
        for (size_t c = 0; c < courses.size(); ++c)
            for (const unsigned seed : options.seeds) {
                commands.push_back(driveCommand(self, options, drivers[d], courses[c], seed,
                                                work / std::to_string(drives.size())));
                drives.push_back({d, c, seed, "", "", Json()});
            }
    const int jobs = options.jobs > 0
                         ? options.jobs
                         : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    const auto started = std::chrono::steady_clock::now();
    runDrives(drives, commands, work, std::min<int>(jobs, static_cast<int>(drives.size())));
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    fs::remove_all(work, code);

    // A course goes by the name in its file; a file that gave no figures, by its own name.
    std::vector<std::string> courseNames;
    for (size_t c = 0; c < courses.size(); ++c) {
        courseNames.push_back(courses[c].stem().string());
        for (const BoardDrive& drive : drives)
            if (drive.course == c && drive.figures.is_object()) {
                courseNames.back() = drive.figures.value("course", courseNames.back());
                break;
            }
    }

    // The rows, and each driver's standing over all of them.
    std::vector<Standing> standings(drivers.size());
    std::ostringstream csv;
    csv << "driver,course,seed,laps,mean_lap_s,worst_cross_track_ft,rms_cross_track_ft,hits,"
           "failure\n";
    Json rows = Json::array();
    std::vector<Row> summaries;
    for (const BoardDrive& drive : drives) {
        const Row row =
            drive.figures.is_object() ? summarise(drive.figures.value("laps", Json())) : Row();
        summaries.push_back(row);
        const std::string& course = courseNames[drive.course];
        csv << drivers[drive.driver].name << ',' << course << ',' << drive.seed << ',' << row.laps
            << ',' << (row.laps ? number(row.meanLap) : "") << ',' << number(row.worst) << ','
            << number(row.rms) << ',' << row.hits << ',' << drive.failure << '\n';
        rows.push_back({{"driver", drivers[drive.driver].name},
                        {"course", course},
                        {"seed", drive.seed},
                        {"laps", row.laps},
                        {"mean_lap_s", row.laps ? Json(row.meanLap) : Json()},
                        {"worst_cross_track_ft", row.worst},
                        {"rms_cross_track_ft", row.rms},
                        {"hits", row.hits},
                        {"failure", drive.failure},
                        {"message", drive.message}});
        Standing& standing = standings[drive.driver];
        standing.driver = drive.driver;
        if (drive.failure.empty()) ++standing.finished;
        if (drive.figures.is_object())
            for (const Json& lap : drive.figures["laps"]) standing.laps.push_back(lap);
    }
    for (Standing& standing : standings) standing.total = summarise(standing.laps);
    // More drives finished ranks first; among equals, the tuner's figure of merit per lap.
    std::stable_sort(standings.begin(), standings.end(), [](const Standing& a, const Standing& b) {
        return a.finished != b.finished ? a.finished > b.finished : a.score() < b.score();
    });

    const size_t perDriver = courses.size() * options.seeds.size();
    std::printf("%-4s %-20s %9s %6s %9s %10s %9s %6s\n", "rank", "driver", "finished", "laps",
                "mean lap", "worst xt", "rms xt", "hits");
    Json ranking = Json::array();
    std::string table =
        "<table><tr><th>#</th><th>Driver</th><th>Drives finished</th><th>Laps</th><th>Mean lap "
        "(s)</th><th>Worst cross-track (ft)</th><th>RMS cross-track (ft)</th><th>Obstacles "
        "hit</th></tr>";
    for (size_t rank = 0; rank < standings.size(); ++rank) {
        const Standing& s = standings[rank];
        const std::string& name = drivers[s.driver].name;
        const double meanLap = s.total.meanLap;
        std::printf("%-4zu %-20s %4d of %-3zu %6d %9.2f %10.2f %9.2f %6d\n", rank + 1, name.c_str(),
                    s.finished, perDriver, s.total.laps, meanLap, s.total.worst, s.total.rms,
                    s.total.hits);
        ranking.push_back({{"driver", name},
                           {"drives_finished", s.finished},
                           {"drives", perDriver},
                           {"laps", s.total.laps},
                           {"mean_lap_s", meanLap},
                           {"worst_cross_track_ft", s.total.worst},
                           {"rms_cross_track_ft", s.total.rms},
                           {"hits", s.total.hits}});
        table += "<tr><td>" + std::to_string(rank + 1) +
                 "</td><td><span class=\"swatch\" "
                 "style=\"background:" +
                 palette[s.driver % std::size(palette)] + "\"></span>" + escaped(name) +
                 "</td><td>" + std::to_string(s.finished) + " of " + std::to_string(perDriver) +
                 "</td><td>" + std::to_string(s.total.laps) + "</td><td>" + fixed(meanLap, 2) +
                 "</td><td>" + fixed(s.total.worst, 2) + "</td><td>" + fixed(s.total.rms, 2) +
                 "</td><td>" + std::to_string(s.total.hits) + "</td></tr>";
    }
    table += "</table>";
    std::printf("%zu drives in %.1f s of real time\n", drives.size(), seconds);
    std::fflush(stdout);
    if (options.reportFolder.empty()) return 0;

    std::string maps;
    for (size_t c = 0; c < courses.size(); ++c) {
        maps += "<figure><figcaption>" + escaped(courseNames[c]) + "</figcaption>" +
                courseSvg(drives, c) +
                "<table><tr><th>Driver</th><th>Seed</th><th>Laps</th><th>Mean lap (s)</th><th>RMS "
                "(ft)</th><th>Hits</th><th>Failure</th></tr>";
        for (size_t i = 0; i < drives.size(); ++i) {
            if (drives[i].course != c) continue;
            const Row& row = summaries[i];
            maps += "<tr><td>" + escaped(drivers[drives[i].driver].name) + "</td><td>" +
                    std::to_string(drives[i].seed) + "</td><td>" + std::to_string(row.laps) +
                    "</td><td>" + (row.laps ? fixed(row.meanLap, 2) : "") + "</td><td>" +
                    fixed(row.rms, 2) + "</td><td>" + std::to_string(row.hits) + "</td><td>" +
                    escaped(drives[i].failure) + "</td></tr>";
        }
        maps += "</table></figure>";
    }
    std::string seeds;
    for (const unsigned seed : options.seeds)
        seeds += (seeds.empty() ? "" : ", ") + std::to_string(seed);
    const std::string html =
        "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>roadsim leaderboard</title>"
        "<style>" +
        std::string(style) + "</style></head><body><h1>Leaderboard</h1><p>" +
        std::to_string(drivers.size()) + " drivers on " + std::to_string(courses.size()) +
        " courses, seeds " + seeds + ", " + std::to_string(options.laps) +
        " laps a drive; maps show the first seed's paths, circles where a collision began.</p>" +
        table + "<h2>Courses</h2><div class=\"courses\">" + maps + "</div></body></html>\n";
    const fs::path folder = fs::u8path(options.reportFolder);
    std::ofstream csvFile(folder / "results.csv"), jsonFile(folder / "results.json"),
        htmlFile(folder / "index.html");
    csvFile << csv.str();
    jsonFile << Json{{"laps", options.laps},
                     {"seeds", options.seeds},
                     {"seconds", seconds},
                     {"ranking", ranking},
                     {"results", rows}}
                    .dump(2, ' ', false, Json::error_handler_t::replace)
             << '\n';
    htmlFile << html;
    if (!csvFile.flush() || !jsonFile.flush() || !htmlFile.flush()) {
        std::cerr << "roadsim-lab: cannot write the report into " << options.reportFolder
                  << std::endl;
        return 1;
    }
    return 0;
}
