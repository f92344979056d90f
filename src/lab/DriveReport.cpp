// A drive's report as JSON, written by the drive and read back by the board.
#include "DriveReport.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <fstream>
#include <iterator>

using Json = nlohmann::json;

namespace {

// Every tenth frame of the path: a fifth of a second of driving, fine enough for a map.
constexpr size_t pathStride = 10;

std::vector<std::array<double, 3>> points(const std::vector<CourseObject>& objects) {
    std::vector<std::array<double, 3>> out;
    for (const CourseObject& object : objects) out.push_back({object.x, object.y, object.value});
    return out;
}

}  // namespace

DriveReport driveReport(const Course& course, DriveEnd end, const std::vector<LapFigures>& laps,
                        const std::vector<TraceRow>& trace) {
    DriveReport report;
    report.course = course.getName();
    report.end = end;
    report.laps = laps;
    report.waypoints = points(course.getWaypoints());
    report.obstacles = points(course.getObstacles());
    bool colliding = false;
    for (size_t i = 0; i < trace.size(); ++i) {
        const TraceRow& row = trace[i];
        if (i % pathStride == 0) report.path.push_back({row.x, row.y});
        if (row.collision && !colliding) report.hits.push_back({row.x, row.y});
        colliding = row.collision;
    }
    return report;
}

bool writeDriveReport(const std::string& fileName, const DriveReport& report) {
    Json laps = Json::array();
    for (const LapFigures& lap : report.laps) {
        Json figures = Json::object();
        visitLapFigures(lap, [&](const char* key, const auto& value) { figures[key] = value; });
        laps.push_back(std::move(figures));
    }
    std::ofstream out(fileName);
    // The course name is the file's own bytes; anything that is not UTF-8 is replaced.
    out << Json{{"course", report.course},
                {"end", endWords(report.end)},
                {"status", static_cast<int>(report.status)},
                {"message", report.message},
                {"laps", std::move(laps)},
                {"waypoints", report.waypoints},
                {"obstacles", report.obstacles},
                {"path", report.path},
                {"hits", report.hits}}
               .dump(-1, ' ', false, Json::error_handler_t::replace)
        << '\n';
    return static_cast<bool>(out.flush());
}

bool readDriveReport(const std::string& fileName, DriveReport& report) {
    std::ifstream in(fileName);
    const Json json = Json::parse(in, nullptr, false);
    if (!json.is_object()) return false;
    // Another process wrote it: a field of the wrong shape makes it no report, not a crash.
    try {
        report.course = json.at("course").get<std::string>();
        report.end = endNamed(json.at("end").get<std::string>());
        report.status = static_cast<LabStatus>(json.at("status").get<int>());
        report.message = json.at("message").get<std::string>();
        report.laps.clear();
        for (const Json& lap : json.at("laps"))
            visitLapFigures(report.laps.emplace_back(),
                            [&](const char* key, auto& value) { lap.at(key).get_to(value); });
        json.at("waypoints").get_to(report.waypoints);
        json.at("obstacles").get_to(report.obstacles);
        json.at("path").get_to(report.path);
        json.at("hits").get_to(report.hits);
    } catch (const Json::exception&) {
        return false;
    }
    return true;
}
