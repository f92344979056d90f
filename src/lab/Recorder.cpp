// Folder checks, frame names, the log's columns, and the workers that encode the frames.
#include "Recorder.h"

#include "Drive.h"
#include "Png.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <sstream>
#include <system_error>
#include <utility>

namespace fs = std::filesystem;

namespace {

// Frames waiting for a worker: enough to ride out a slow write, little memory.
constexpr size_t maxQueued = 8;

// The log has had every field of the state but the target speed from its first version.
bool isTargetSpeed(const char* field) {
    return std::strcmp(field, "target_speed") == 0;
}

}  // namespace

Recorder::Recorder(std::string folderName, int frameWidth, int frameHeight)
    : folder(std::move(folderName)),
      width(frameWidth),
      height(frameHeight),
      csvPath((fs::u8path(folder) / "driving_log.csv").u8string()),
      csv(),
      csvBytes(0),
      mutex(),
      changed(),
      jobs(),
      rows(),
      firstRow(0),
      nextFrame(0),
      failedAt(std::numeric_limits<int64_t>::max()),
      busy(0),
      failure(),
      closing(false),
      workers() {}

Recorder::~Recorder() {
    close();
}

std::string Recorder::absoluteFolder() const {
    std::error_code ignored;
    return fs::absolute(fs::u8path(folder), ignored).u8string();
}

bool Recorder::open(std::string& error) {
    std::error_code code;
    if (fs::exists(fs::u8path(folder), code) && !fs::is_empty(fs::u8path(folder), code)) {
        error = "refusing to record into " + folder + ": it is not empty";
        return false;
    }
    fs::create_directories(fs::u8path(folder) / "frames", code);
    if (code) {
        error = "cannot make " + folder + "/frames: " + code.message();
        return false;
    }
    std::string header = "image";
    visitStateFields(StepState{}, [&](const char* name, const auto&) {
        if (!isTargetSpeed(name)) header = header + "," + name;
    });
    header += ",steering_cmd,speed_cmd,expert_steering,expert_speed\n";
    csv.open(csvPath, std::ios::binary);
    csv << header << std::flush;
    if (!csv) {
        error = "cannot write " + csvPath;
        return false;
    }
    csvBytes = header.size();
    const unsigned count = std::max(1u, std::thread::hardware_concurrency());
    for (unsigned i = 0; i < count; ++i) workers.emplace_back(&Recorder::work, this);
    return true;
}

std::string Recorder::saveFrame(const SDL_Surface* screen, int step) {
    char name[32];
    std::snprintf(name, sizeof name, "frames/%06d.png", step);
    const std::string path = (fs::u8path(folder) / name).u8string();
    SurfacePtr copy(
        SDL_ConvertSurface(const_cast<SDL_Surface*>(screen), screen->format, SDL_SWSURFACE));
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [&] { return jobs.size() < maxQueued; });
    const int64_t sequence = nextFrame++;
    rows.push_back({path, "", false});
    if (!copy) {
        setFailure(path, "out of memory", sequence);
    } else {
        jobs.push_back({std::move(copy), path, sequence});
        changed.notify_all();
    }
    return name;
}

bool Recorder::flushFrames() {
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [&] { return jobs.empty() && busy == 0; });
    return failure.empty();
}

void Recorder::work() {
    std::unique_lock<std::mutex> lock(mutex);
    while (true) {
        changed.wait(lock, [&] { return closing || !jobs.empty(); });
        if (jobs.empty()) return;
        const Job job = std::move(jobs.front());
        jobs.pop_front();
        changed.notify_all();
        // Past a failure the log ends anyway: no frame after it would be listed.
        if (job.sequence > failedAt) continue;
        ++busy;
        lock.unlock();
        const bool written = writePng(job.frame.get(), job.path, width, height);
        const std::string reason = written ? "" : std::strerror(errno);
        lock.lock();
        --busy;
        if (written) {
            rows[job.sequence - firstRow].frameWritten = true;
            writeReadyRows();
        } else {
            setFailure(job.path, reason, job.sequence);
        }
        changed.notify_all();
    }
}

bool Recorder::log(const StepState& state, const std::string& image, const ControlCommand& command,
                   const ControlCommand& expert) {
    std::ostringstream row;
    row.precision(17);
    row << image;
    visitStateFields(state, [&](const char* name, const auto& value) {
        if (!isTargetSpeed(name)) row << ',' << value;
    });
    row << ',' << command.steering << ',' << command.speed << ',' << expert.steering << ','
        << expert.speed << '\n';
    const std::lock_guard<std::mutex> lock(mutex);
    rows.back().text = row.str();
    writeReadyRows();
    return failure.empty();
}

void Recorder::writeReadyRows() {
    while (!rows.empty() && firstRow < failedAt && rows.front().frameWritten &&
           !rows.front().text.empty()) {
        const std::string& text = rows.front().text;
        if (!(csv << text << std::flush)) {
            // A row cut short by a full disk comes off again, so the log ends with a whole row.
            std::error_code ignored;
            fs::resize_file(fs::u8path(csvPath), csvBytes, ignored);
            setFailure(csvPath, std::strerror(errno), firstRow);
            return;
        }
        csvBytes += text.size();
        rows.pop_front();
        ++firstRow;
    }
}

void Recorder::setFailure(const std::string& file, const std::string& reason, int64_t sequence) {
    if (sequence < failedAt) {
        failedAt = sequence;
        failure = "cannot write " + file + ": " + reason;
    }
    // A frame cut short must not pass for a whole one.
    if (file != csvPath) {
        std::error_code ignored;
        fs::remove(fs::u8path(file), ignored);
    }
}

bool Recorder::close() {
    {
        const std::lock_guard<std::mutex> lock(mutex);
        closing = true;
    }
    changed.notify_all();
    for (std::thread& worker : workers) worker.join();
    workers.clear();
    const std::lock_guard<std::mutex> lock(mutex);
    writeReadyRows();
    // Frames that the log does not list (after a failure) go: the folder holds what it lists.
    std::error_code ignored;
    for (const Row& row : rows) fs::remove(fs::u8path(row.path), ignored);
    rows.clear();
    return failure.empty();
}
