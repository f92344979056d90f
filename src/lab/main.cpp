// roadsim-lab: evaluates and tunes the autopilot or an external controller on a course, headlessly
// and faster than real time, records what the driver sees and shows it in a window.
#include "Board.h"
#include "ControllerProcess.h"
#include "CourseMaker.h"
#include "CourseMap.h"
#include "DriveReport.h"
#include "LabDrive.h"
#include "LabOptions.h"
#include "Tuner.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>

namespace {

void printLap(int number, const LapFigures& lap) {
    std::printf(
        "lap %d: %.2f s, %d obstacles hit, %d frames in collision, cross-track worst %.2f ft rms "
        "%.2f ft, mean speed %.2f mph\n",
        number, lap.seconds, lap.obstaclesHit, lap.collisionFrames, lap.worstCrossTrack,
        lap.rmsCrossTrack, lap.meanSpeed);
}

bool writeTrace(const std::string& fileName, const std::vector<TraceRow>& trace) {
    std::ofstream out(fileName);
    const char* separator = "";
    visitTraceColumns(TraceRow{}, [&](const char* name, const auto&) {
        out << separator << name;
        separator = ",";
    });
    out << '\n';
    out.precision(17);
    for (const TraceRow& row : trace) {
        separator = "";
        visitTraceColumns(row, [&](const char*, const auto& value) {
            out << separator << value;
            separator = ",";
        });
        out << '\n';
    }
    return static_cast<bool>(out.flush());
}

// Makes the recorder or the watcher an option asked for; empty when it opened, else why not.
template <typename Output, typename... Arguments>
std::string openOutput(std::optional<Output>& output, const Arguments&... arguments) {
    output.emplace(arguments...);
    std::string error;
    output->open(error);
    return error;
}

// Every lap's figures, their summary and the drive's pace.
void printFigures(const DriveResult& result, int laps, double realSeconds) {
    double simulated = 0, worst = 0, speed = 0;
    int hits = 0, collisionFrames = 0;
    for (size_t i = 0; i < result.laps.size(); ++i) {
        const LapFigures& lap = result.laps[i];
        printLap(static_cast<int>(i + 1), lap);
        simulated += lap.seconds;
        hits += lap.obstaclesHit;
        collisionFrames += lap.collisionFrames;
        worst = std::max(worst, lap.worstCrossTrack);
        speed += lap.meanSpeed;
    }
    const size_t done = result.laps.size();
    std::printf(
        "summary: %zu of %d laps, mean lap %.2f s, %d obstacles hit, %d frames in "
        "collision, worst cross-track %.2f ft, mean speed %.2f mph\n",
        done, laps, done ? simulated / done : 0.0, hits, collisionFrames, worst,
        done ? speed / done : 0.0);
    const double drivenSeconds = result.simulatedMs / 1000.0;
    std::printf("simulated %.1f s in %.3f s of real time (%.0f times real time)\n", drivenSeconds,
                realSeconds, realSeconds > 0 ? drivenSeconds / realSeconds : 0.0);
    std::fflush(stdout);
}

// How the drive ended, which its report says too.
LabOutcome driveOutcome(const DriveResult& result, std::optional<Recorder>& recorder,
                        const std::optional<Controller>& controller) {
    if (recorder && !recorder->close())
        return {LabStatus::unusable, "recording stopped at step " +
                                         std::to_string(recorder->loggedSteps() + 1) + ": " +
                                         recorder->error()};
    if (result.end == DriveEnd::controllerFailed)
        return {controller->fault(), controller->faultMessage()};
    if (result.end == DriveEnd::lapLimit)
        return {LabStatus::strayed, "lap " + std::to_string(result.laps.size() + 1) +
                                        " did not finish within the time limit: the car "
                                        "strays or circles"};
    return {};
}

// The drive's files asked for; an unwritten one is the outcome.
LabOutcome writeFiles(const LabDrive& lab, const LabOptions& options, const DriveResult& result,
                      const LabOutcome& outcome) {
    if (!options.csvPath.empty() && !writeTrace(options.csvPath, result.trace))
        return {LabStatus::unusable, "cannot write " + options.csvPath};
    if (!options.mapPath.empty() && !writeCourseMap(options.mapPath, lab.getCourse(), result.trace))
        return {LabStatus::unusable, "cannot write " + options.mapPath};
    if (!options.jsonPath.empty()) {
        DriveReport report = driveReport(lab.getCourse(), result.end, result.laps, result.trace);
        report.status = outcome.status;
        report.message = outcome.message;
        if (!writeDriveReport(options.jsonPath, report))
            return {LabStatus::unusable, "cannot write " + options.jsonPath};
    }
    return outcome;
}

LabOutcome evaluate(LabDrive& lab, const LabOptions& options) {
    DriveSettings settings;
    static_cast<DriveSetup&>(settings) = options;
    settings.recordTrace =
        !options.csvPath.empty() || !options.mapPath.empty() || !options.jsonPath.empty();
    std::optional<Recorder> recorder;
    if (!options.recordFolder.empty()) {
        const std::string error =
            openOutput(recorder, options.recordFolder, options.frameWidth, options.frameHeight);
        if (!error.empty()) return {LabStatus::unusable, error};
        settings.recorder = &*recorder;
    }
    std::optional<Watcher> watcher;
    if (options.watch) {
        const std::string error = openOutput(watcher, options.watchSpeed);
        if (!error.empty()) return {LabStatus::unusable, error};
        settings.watcher = &*watcher;
    }
    std::optional<Controller> controller;
    if (!options.controller.empty()) {
        controller.emplace(options.controller, options.controllerTimeout);
        settings.controller = &*controller;
    }
    const auto started = std::chrono::steady_clock::now();
    const DriveResult result = lab.drive(settings);
    printFigures(result, options.laps,
                 std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
    return writeFiles(lab, options, result, driveOutcome(result, recorder, controller));
}

void printScore(const char* label, const Tuning& tuning, const Score& score) {
    std::printf(
        "%-8s heading %.2f track %.2f path %.2f threshold %.2f avoid %.2f: score %.2f, "
        "mean lap %.2f s, %.2f hits, rms cross-track %.2f ft%s\n",
        label, tuning.headingGain, tuning.trackGain, tuning.pathWeight, tuning.obstacleThreshold,
        tuning.avoidGain, score.value, score.meanLapSeconds, score.meanHits,
        score.meanRmsCrossTrack, score.finished ? "" : " (a lap did not finish)");
}

LabOutcome runTuner(LabDrive& lab, const LabOptions& options) {
    std::vector<unsigned> seeds;
    for (unsigned i = 0; i < 4; ++i) seeds.push_back(options.seed + i);
    const auto started = std::chrono::steady_clock::now();
    const TuneResult result =
        tune(lab, toGrid(options.tuning), seeds, options.frameMs, [&](const TuneResult& progress) {
            std::fprintf(stderr, "tuning: %d drives of %zu seeds, best score %.2f (%s)\n",
                         progress.evaluations, seeds.size(), progress.bestScore.value,
                         keyPresses(progress.best).c_str());
        });
    const double realSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const Score defaults = scoreTuning(lab, Tuning(), seeds, options.frameMs);
    printScore("defaults", Tuning(), defaults);
    printScore("best", toTuning(result.best), result.bestScore);
    std::printf("keys on the control screen from the defaults: %s\n",
                keyPresses(result.best).c_str());
    std::printf("tuned in %.1f s of real time, %d evaluations of %zu laps\n", realSeconds,
                result.evaluations, seeds.size());
    if (!result.bestScore.finished) return {LabStatus::strayed, ""};
    return {};
}

// Names the course after its file, as one word.
LabOutcome makeCourseFile(unsigned seed, const std::string& fileName, const CourseKnobs& knobs) {
    std::string name = std::filesystem::u8path(fileName).stem().u8string();
    std::replace_if(
        name.begin(), name.end(), [](unsigned char c) { return std::isspace(c); }, '_');
    const MadeCourse made = makeCourse(seed, name.empty() ? "course" : name, knobs);
    if (made.text.empty()) return {LabStatus::unusable, made.error};
    std::ofstream out(fileName, std::ios::binary);
    if (!(out << made.text) || !out.flush())
        return {LabStatus::unusable, "cannot write " + fileName};
    std::printf(
        "%s: %d waypoints, %.0f ft, %d obstacle groups; the autopilot drove %u x %d laps, mean "
        "lap %.2f s, worst cross-track %.2f ft, %d obstacles hit\n",
        fileName.c_str(), made.waypoints, made.lengthFt, made.groups, courseCheckSeeds,
        courseCheckLaps, made.meanLapSeconds, made.worstCrossTrackFt, made.obstaclesHit);
    return {};
}

// The job the options ask for.
LabOutcome run(const LabOptions& options, const char* argv0) {
    // Each drive of the board runs this very program.
    if (options.board) return runBoard(options, thisProgram(argv0));
    if (!options.madeCoursePath.empty())
        return makeCourseFile(options.courseSeed, options.madeCoursePath, options.knobs);
    std::ostringstream text;
    {
        const std::ifstream file(options.coursePath);
        if (!file) return {LabStatus::unusable, "cannot open " + options.coursePath};
        text << file.rdbuf();
    }
    // Frames that someone sees show the sprites of the course's folder, or of --images.
    const bool seen = options.watch || !options.recordFolder.empty();
    const std::string images =
        !options.imageFolder.empty()
            ? options.imageFolder
            : std::filesystem::absolute(std::filesystem::u8path(options.coursePath))
                  .parent_path()
                  .u8string();
    LabDrive lab(text.str(), options.coursePath, seen ? images : "");
    // The course's reader has said why already.
    if (!lab.valid()) return {LabStatus::unusable, ""};
    return options.tune ? runTuner(lab, options) : evaluate(lab, options);
}

}  // namespace

// Every error of the lab comes up to here, to be said in one voice.
int main(int argc, char** argv) {
    LabOptions options;
    std::string error;
    LabOutcome outcome;
    if (!parseLabOptions(std::vector<std::string>(argv + 1, argv + argc), options, error))
        outcome = {LabStatus::badOption, error};
    else if (options.help)
        std::cout << labUsage();
    else if (options.version)
        std::cout << "roadsim-lab " ROADSIM_VERSION "\n";
    else
        outcome = run(options, argv[0]);
    if (!outcome.message.empty()) std::cerr << "roadsim-lab: " << outcome.message << std::endl;
    if (outcome.status == LabStatus::badOption) std::cerr << labUsage();
    return static_cast<int>(outcome.status);
}
