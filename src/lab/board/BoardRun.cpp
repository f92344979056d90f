// Running the drives of the leaderboard side by side, one process each (a drive silences the
// process's output streams and a controller that crashes takes only its own drive down), each held
// to a deadline, then ranking them and writing the report.
#include "Board.h"

#include "BoardReport.h"
#include "ControllerProcess.h"
#include "Standings.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

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

std::string lastLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line, last;
    while (std::getline(in, line))
        if (!line.empty()) last = line;
    return last;
}

// Runs this program for one drive and reads what it left; a drive that outlasts its deadline is
// ended, with everything it started.
void runDrive(BoardDrive& drive, const std::vector<std::string>& arguments, const fs::path& base,
              Clock::duration limit) {
    const Clock::time_point deadline = Clock::now() + limit;
    ControllerProcess process;
    std::string why;
    if (!process.start(arguments, base.u8string() + ".err", why)) {
        drive.failure = "lab failed (" + why + ")";
        return;
    }
    process.closeInput();
    // Its figures go to its report; what it prints is read only so that it never waits for room.
    std::string printed;
    while (process.read(printed, deadline) == ControllerProcess::Io::done) printed.clear();
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    const ControllerProcess::Exit exit =
        process.wait(static_cast<int>(std::max<int64_t>(left.count(), 0)));
    if (!exit.ended) {
        process.stop();
        drive.failure = "timed out";
        drive.message =
            "no end within " +
            std::to_string(std::chrono::duration_cast<std::chrono::seconds>(limit).count()) + " s";
        return;
    }
    drive.reported = readDriveReport(base.u8string() + ".json", drive.report);
    if (drive.reported) {
        drive.failure = failureOf(static_cast<int>(drive.report.status));
        drive.message = drive.report.message;
        return;
    }
    // No report: the lab itself failed, and said why on its standard error.
    drive.failure = exit.code == 0 ? "lab failed (no figures)"
                                   : failureOf(exit.code < 0 ? 128 : static_cast<int>(exit.code));
    drive.message = lastLine(base.u8string() + ".err");
}

// Runs the drives on jobs workers; shows progress on a terminal.
void runDrives(std::vector<BoardDrive>& drives,
               const std::vector<std::vector<std::string>>& arguments, const fs::path& work,
               int jobs, Clock::duration limit) {
    std::atomic<size_t> next{0};
    std::mutex mutex;
    std::condition_variable changed;
    size_t done = 0;
    const auto worker = [&] {
        for (size_t i = next++; i < drives.size(); i = next++) {
            runDrive(drives[i], arguments[i], work / std::to_string(i), limit);
            const std::lock_guard<std::mutex> lock(mutex);
            ++done;
            changed.notify_all();
        }
    };
    std::vector<std::thread> workers;
    for (int i = 0; i < jobs; ++i) workers.emplace_back(worker);
    if (errorsOnTerminal()) {
        const auto started = Clock::now();
        std::unique_lock<std::mutex> lock(mutex);
        while (done < drives.size()) {
            changed.wait_for(lock, std::chrono::milliseconds(500));
            const double elapsed = std::chrono::duration<double>(Clock::now() - started).count();
            const double left = done > 0 ? elapsed / done * (drives.size() - done) : 0;
            std::fprintf(stderr, "\rboard: %zu of %zu drives, %.0f s, about %.0f s left   ", done,
                         drives.size(), elapsed, left);
        }
        std::fprintf(stderr, "\n");
    }
    for (std::thread& thread : workers) thread.join();
}

LabOutcome writeReport(const std::string& folder, const BoardResult& result,
                       const std::vector<Standing>& standings) {
    const fs::path path = fs::u8path(folder);
    std::ofstream csvFile(path / "results.csv"), jsonFile(path / "results.json"),
        htmlFile(path / "index.html");
    csvFile << resultsCsv(result);
    jsonFile << resultsJson(result, standings);
    htmlFile << resultsPage(result, standings);
    if (!csvFile.flush() || !jsonFile.flush() || !htmlFile.flush())
        return {LabStatus::unusable, "cannot write the report into " + folder};
    return {};
}

// Refuses a report folder that is not empty, and makes it; nothing to do when none is asked for.
LabOutcome makeReportFolder(const std::string& folder) {
    if (folder.empty()) return {};
    std::error_code code;
    const fs::path report = fs::u8path(folder);
    if (fs::exists(report, code) && !fs::is_empty(report, code))
        return {LabStatus::unusable,
                "refusing to write the report into " + folder + ": it is not empty"};
    fs::create_directories(report, code);
    if (code) return {LabStatus::unusable, "cannot make " + folder + ": " + code.message()};
    return {};
}

// Every driver on every course and seed: the drives and their drivers' names go into the result,
// and each drive's run of this program (self), its files in work, is returned in the same order.
std::vector<std::vector<std::string>> planDrives(const LabOptions& options, const std::string& self,
                                                 const std::vector<BoardDriver>& drivers,
                                                 const std::vector<fs::path>& courses,
                                                 const fs::path& work, BoardResult& result) {
    std::vector<std::vector<std::string>> arguments;
    for (size_t d = 0; d < drivers.size(); ++d) {
        result.drivers.push_back(drivers[d].name);
        for (size_t c = 0; c < courses.size(); ++c)
            for (const unsigned seed : options.seeds) {
                // The same drive as asked of the board, on one course with one seed.
                DriveRequest request = options;
                request.coursePath = courses[c].u8string();
                request.seed = seed;
                request.controller = drivers[d].command;
                const std::string base = (work / std::to_string(result.drives.size())).u8string();
                request.recordFolder = options.frameWidth > 0 ? base + ".rec" : "";
                request.jsonPath = base + ".json";
                arguments.push_back({self});
                const std::vector<std::string> drive = driveArguments(request);
                arguments.back().insert(arguments.back().end(), drive.begin(), drive.end());
                BoardDrive entry;
                entry.driver = d;
                entry.course = c;
                entry.seed = seed;
                result.drives.push_back(entry);
            }
    }
    return arguments;
}

// A course goes by the name in its file; a file that gave no figures, by its own name.
std::vector<std::string> courseNames(const std::vector<fs::path>& courses,
                                     const std::vector<BoardDrive>& drives) {
    std::vector<std::string> names;
    for (size_t c = 0; c < courses.size(); ++c) {
        names.push_back(courses[c].stem().string());
        for (const BoardDrive& drive : drives)
            if (drive.course == c && drive.reported) {
                names.back() = drive.report.course;
                break;
            }
    }
    return names;
}

}  // namespace

LabOutcome runBoard(const LabOptions& options, const std::string& self) {
    std::string error;
    const std::vector<fs::path> courses = courseFiles(options.boardCourses, error);
    if (!error.empty()) return {LabStatus::unusable, error};
    const LabOutcome folder = makeReportFolder(options.reportFolder);
    if (folder.status != LabStatus::done) return folder;
    std::vector<BoardDriver> drivers = {{"autopilot", ""}};
    drivers.insert(drivers.end(), options.drivers.begin(), options.drivers.end());

    std::error_code code;
    const fs::path work =
        fs::temp_directory_path(code) / ("roadsim-board-" + std::to_string(processId()));
    fs::create_directories(work, code);
    if (code) return {LabStatus::unusable, "cannot make " + work.string()};
    BoardResult result;
    result.seeds = options.seeds;
    result.laps = options.laps;
    const std::vector<std::vector<std::string>> arguments =
        planDrives(options, self, drivers, courses, work, result);
    const int jobs = options.jobs > 0
                         ? options.jobs
                         : static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
    const auto started = Clock::now();
    runDrives(result.drives, arguments, work,
              std::min<int>(jobs, static_cast<int>(result.drives.size())),
              std::chrono::milliseconds(boardDriveLimitMsPerLap * options.laps));
    result.seconds = std::chrono::duration<double>(Clock::now() - started).count();
    fs::remove_all(work, code);

    result.courses = courseNames(courses, result.drives);
    const std::vector<Standing> standings = rankDrivers(drivers.size(), result.drives);
    printStandings(result, standings);
    return options.reportFolder.empty() ? LabOutcome()
                                        : writeReport(options.reportFolder, result, standings);
}
