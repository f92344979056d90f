// Folder checks, frame names and the log's columns.
#include "Recorder.h"

#include "Png.h"

#include <cstdio>
#include <filesystem>
#include <system_error>
#include <utility>

namespace fs = std::filesystem;

Recorder::Recorder(std::string folderName) : folder(std::move(folderName)), csv() {}

bool Recorder::open(std::string& error) {
    std::error_code code;
    if (fs::exists(folder, code) && !fs::is_empty(folder, code)) {
        error = "refusing to record into " + folder + ": it is not empty";
        return false;
    }
    fs::create_directories(fs::path(folder) / "frames", code);
    if (code) {
        error = "cannot make " + folder + "/frames: " + code.message();
        return false;
    }
    csv.open(fs::path(folder) / "driving_log.csv");
    csv << "image,t,x,y,heading,speed,steering,waypoint,cross_track,heading_error,obstacle_sum,"
           "steering_cmd,speed_cmd\n";
    csv.precision(17);
    if (!csv) error = "cannot write " + folder + "/driving_log.csv";
    return static_cast<bool>(csv);
}

bool Recorder::saveFrame(const SDL_Surface* screen, int step, std::string& image) {
    char name[32];
    std::snprintf(name, sizeof name, "frames/%06d.png", step);
    image = name;
    return writePng(screen, (fs::path(folder) / image).string());
}

bool Recorder::log(const StepState& state, const std::string& image,
                   const ControlCommand& command) {
    const DriverView& view = state.view;
    csv << image << ',' << state.seconds << ',' << view.state.x << ',' << view.state.y << ','
        << view.state.heading << ',' << view.state.speed << ',' << view.state.steering << ','
        << view.state.waypointIndex << ',' << view.crossTrack << ',' << view.headingError << ','
        << view.obstacleSum << ',' << command.steering << ',' << command.speed << '\n';
    return static_cast<bool>(csv);
}

bool Recorder::close() {
    csv.flush();
    return static_cast<bool>(csv);
}
