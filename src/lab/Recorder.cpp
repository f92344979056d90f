// Folder checks, frame names, the log's columns, and the workers that encode the frames.
#include "Recorder.h"

#include "Png.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <utility>

namespace fs = std::filesystem;

namespace {

// Frames waiting for a worker: enough to ride out a slow write, little memory.
constexpr size_t maxQueued = 8;

}  // namespace

Recorder::Recorder(std::string folderName)
    : folder(std::move(folderName)),
      csv(),
      mutex(),
      changed(),
      jobs(),
      busy(0),
      failed(false),
      closing(false),
      workers() {}

Recorder::~Recorder() {
    close();
}

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
    if (!csv) {
        error = "cannot write " + folder + "/driving_log.csv";
        return false;
    }
    const unsigned count = std::max(1u, std::thread::hardware_concurrency());
    for (unsigned i = 0; i < count; ++i) workers.emplace_back(&Recorder::work, this);
    return true;
}

std::string Recorder::saveFrame(const SDL_Surface* screen, int step) {
    char name[32];
    std::snprintf(name, sizeof name, "frames/%06d.png", step);
    SurfacePtr copy(
        SDL_ConvertSurface(const_cast<SDL_Surface*>(screen), screen->format, SDL_SWSURFACE));
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [&] { return jobs.size() < maxQueued; });
    if (!copy) {
        failed = true;
    } else {
        jobs.push_back({std::move(copy), (fs::path(folder) / name).string()});
        changed.notify_all();
    }
    return name;
}

bool Recorder::flushFrames() {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [&] { return jobs.empty() && busy == 0; });
    return !failed;
}

void Recorder::work() {
    std::unique_lock<std::mutex> lock(mutex);
    while (true) {
        changed.wait(lock, [&] { return closing || !jobs.empty(); });
        if (jobs.empty()) return;
        const Job job = std::move(jobs.front());
        jobs.pop_front();
        ++busy;
        changed.notify_all();
        lock.unlock();
        const bool written = writePng(job.frame.get(), job.path);
        lock.lock();
        --busy;
        if (!written) failed = true;
        changed.notify_all();
    }
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
    {
        const std::lock_guard<std::mutex> lock(mutex);
        closing = true;
    }
    changed.notify_all();
    for (std::thread& worker : workers) worker.join();
    workers.clear();
    csv.flush();
    return !failed && static_cast<bool>(csv);
}
