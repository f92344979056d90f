// Parsing and checking the lab's options.
#include "LabOptions.h"

#include "Display.h"
#include "LabStatus.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <sstream>

namespace {

const char* const usageText =
    "usage: roadsim-lab [courses.txt] [--heading G] [--track G] [--path G] [--threshold G]\n"
    "                   [--avoid G] [--laps N] [--step MS] [--seed S] [--csv FILE] [--map FILE]\n"
    "                   [--controller COMMAND] [--controller-timeout SECONDS] [--record DIR]\n"
    "                   [--record-size WxH] [--watch] [--watch-speed K] [--tune] [--json FILE]\n"
    "       roadsim-lab --board COURSE_OR_FOLDER... [--driver NAME=COMMAND]... [--seeds 1,2,3]\n"
    "                   [--laps N] [--jobs N] [--report DIR] [--record-size WxH] [--images DIR]\n"
    "                   [tuning and controller options]\n"
    "       roadsim-lab --make-course SEED FILE [--length FT] [--sharpness DEG]\n"
    "                   [--speeds MIN,MAX] [--obstacles N] [--strength S] [--wobble W]\n"
    "                   [--lobes K]\n"
    "Drives the course headlessly with the autopilot and prints the figures of every lap;\n"
    "--tune searches the tuning values on the tuning keys' 0.05 grid.\n"
    "Tuning values G are within 0 to 1 (default 0.5).\n"
    "  --controller COMMAND         let COMMAND (run by the shell) drive: JSON Lines on its\n"
    "                               standard input and output, a reply every 50 ms step\n"
    "  --controller-timeout SECONDS the longest wait for a reply (default 1; the first reply\n"
    "                               may take 10 s more, for the controller to start)\n"
    "  --record DIR                 the frame of every step as DIR/frames/NNNNNN.png and\n"
    "                               DIR/driving_log.csv; DIR must be new or empty\n"
    "  --images DIR                 the bitmaps of the recorded or watched frames (default:\n"
    "                               the course file's folder)\n"
    "  --record-size WxH            save the frames scaled down to W x H by area averaging,\n"
    "                               such as 160x120 (default: the whole 800x600 frame)\n"
    "  --watch                      show the drive in a window; Escape ends it\n"
    "  --watch-speed K              watch K times faster than real time (default 1)\n"
    "  --map FILE                   a map of the drive: PNG when FILE ends in .png, else BMP\n"
    "  --json FILE                  the laps, the end, the course and the path as JSON\n"
    "  --board                      rank the autopilot (at the tuning values) and every\n"
    "                               --driver on every course (a folder: its *.txt) and seed,\n"
    "                               one drive per core at a time\n"
    "  --report DIR                 the board's results.csv, results.json and index.html;\n"
    "                               with --record-size, every drive records its frames (in\n"
    "                               a folder that goes afterwards) for drivers that see them\n"
    "  --make-course SEED FILE      write a new course, checked by driving it: a loop of\n"
    "                               about --length feet (default 3000), turns up to\n"
    "                               --sharpness degrees (45), target speeds MIN to MAX mph\n"
    "                               (15,40), N obstacle groups per 1000 ft (3) of strength S\n"
    "                               (-1 for random, 0 to 1; default a mix), W from 0 round\n"
    "                               to 1 irregular (0.5), K lobes (2 to 8; 0, the default,\n"
    "                               a mix of bulges)\n";

// TEXT broken into lines at spaces, none longer than the usage's width.
std::string wrapped(const std::string& text) {
    constexpr size_t width = 92;
    std::string out, line;
    std::istringstream words(text);
    for (std::string word; words >> word;) {
        if (!line.empty() && line.size() + 1 + word.size() > width) {
            out += line + "\n";
            line.clear();
        }
        line += (line.empty() ? "" : " ") + word;
    }
    return out + line + "\n";
}

// The tuning values' options, in the order of the control screen's sliders.
const struct {
    const char* name;
    double Tuning::*value;
} tuningOptions[] = {{"--heading", &Tuning::headingGain},
                     {"--track", &Tuning::trackGain},
                     {"--path", &Tuning::pathWeight},
                     {"--threshold", &Tuning::obstacleThreshold},
                     {"--avoid", &Tuning::avoidGain}};

bool parseNumber(const std::string& text, double& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text.c_str(), &end);
    return errno == 0 && *end == '\0' && std::isfinite(value);
}

// 64 bits wide everywhere: a seed's range does not fit Windows' long.
bool parseInteger(const std::string& text, long long low, long long high, long long& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtoll(text.c_str(), &end, 10);
    return errno == 0 && *end == '\0' && value >= low && value <= high;
}

// --make-course and its knobs, or an unknown option.
bool parseCourseOption(const std::string& arg, const std::string& value,
                       const std::vector<std::string>& args, size_t& i, LabOptions& options,
                       std::string& error) {
    CourseKnobs& knobs = options.knobs;
    double number = 0;
    long long whole = 0;
    const auto within = [&](double low, double high) {
        return parseNumber(value, number) && number >= low && number <= high;
    };
    if (arg == "--make-course") {
        if (!parseInteger(value, 0, 4294967295L, whole)) {
            error = "--make-course needs a seed from 0 to 4294967295, not " + value;
            return false;
        }
        if (i + 1 >= args.size()) {
            error = "--make-course needs a file after its seed";
            return false;
        }
        options.courseSeed = static_cast<unsigned>(whole);
        options.madeCoursePath = args[++i];
        return true;
    }
    const struct {
        const char* option;
        double low, high;
        double* knob;
    } ranges[] = {{"--length", 800, 50000, &knobs.lengthFt},
                  {"--sharpness", 10, 80, &knobs.sharpnessDeg},
                  {"--obstacles", 0, 30, &knobs.groupsPer1000Ft},
                  {"--wobble", 0, 1, &knobs.wobble}};
    for (const auto& range : ranges) {
        if (arg != range.option) continue;
        if (!within(range.low, range.high)) {
            error = arg + " must be a number from " + std::to_string(std::lround(range.low)) +
                    " to " + std::to_string(std::lround(range.high)) + ", not " + value;
            return false;
        }
        *range.knob = number;
        return true;
    }
    const size_t comma = value.find(',');
    long long low = 0, high = 0;
    if (arg == "--speeds") {
        if (comma == std::string::npos || !parseInteger(value.substr(0, comma), 5, 60, low) ||
            !parseInteger(value.substr(comma + 1), low, 60, high)) {
            error = "--speeds must be MIN,MAX in whole mph, 5 <= MIN <= MAX <= 60, not " + value;
            return false;
        }
        knobs.minSpeed = static_cast<int>(low);
        knobs.maxSpeed = static_cast<int>(high);
    } else if (arg == "--strength") {
        if (!within(-1, 1)) {
            error = "--strength must be a number from -1 (random) to 1, not " + value;
            return false;
        }
        knobs.strength = number;
    } else if (arg == "--lobes") {
        if (!parseInteger(value, 0, 8, whole) || whole == 1) {
            error = "--lobes must be 0 (a mix) or a whole number from 2 to 8, not " + value;
            return false;
        }
        knobs.lobes = static_cast<int>(whole);
    } else {
        error = "unknown option " + arg;
        return false;
    }
    return true;
}

// The options whose value is taken as it is: files, folders and commands.
struct TextOption {
    const char* name;
    std::string LabOptions::*field;
};
const TextOption textOptions[] = {
    {"--csv", &LabOptions::csvPath},           {"--map", &LabOptions::mapPath},
    {"--controller", &LabOptions::controller}, {"--record", &LabOptions::recordFolder},
    {"--images", &LabOptions::imageFolder},    {"--json", &LabOptions::jsonPath},
    {"--report", &LabOptions::reportFolder}};

}  // namespace

std::string labUsage() {
    return usageText + wrapped(exitStatusUsage());
}

bool parseLabOptions(const std::vector<std::string>& args, LabOptions& options,
                     std::string& error) {
    std::vector<std::string> courses;
    bool knobGiven = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--tune") {
            options.tune = true;
            continue;
        }
        if (arg == "--board") {
            options.board = true;
            continue;
        }
        if (arg == "--watch") {
            options.watch = true;
            continue;
        }
        if (arg == "--help" || arg == "-h") {
            options.help = true;
            continue;
        }
        if (arg.rfind("--", 0) != 0) {
            courses.push_back(arg);
            continue;
        }
        if (i + 1 >= args.size()) {
            error = arg + " needs a value";
            return false;
        }
        const std::string& value = args[++i];
        bool known = false;
        for (const auto& option : tuningOptions) {
            if (arg != option.name) continue;
            known = true;
            double number = 0;
            if (!parseNumber(value, number) || number < 0 || number > 1) {
                error = arg + " must be a number from 0 to 1, not " + value;
                return false;
            }
            options.tuning.*option.value = number;
        }
        if (known) continue;
        long long number = 0;
        if (arg == "--laps") {
            if (!parseInteger(value, 1, 1000, number)) {
                error = "--laps must be a whole number from 1 to 1000, not " + value;
                return false;
            }
            options.laps = static_cast<int>(number);
        } else if (arg == "--step") {
            if (!parseInteger(value, 1, 1000, number)) {
                error =
                    "--step must be a whole number of milliseconds from 1 to 1000, not " + value;
                return false;
            }
            options.stepMs = static_cast<int>(number);
        } else if (arg == "--seed") {
            if (!parseInteger(value, 0, 4294967295LL, number)) {
                error = "--seed must be a whole number from 0 to 4294967295, not " + value;
                return false;
            }
            options.seed = static_cast<unsigned>(number);
        } else if (const auto text =
                       std::find_if(std::begin(textOptions), std::end(textOptions),
                                    [&](const TextOption& option) { return arg == option.name; });
                   text != std::end(textOptions)) {
            options.*text->field = value;
        } else if (arg == "--jobs") {
            if (!parseInteger(value, 1, 256, number)) {
                error = "--jobs must be a whole number from 1 to 256, not " + value;
                return false;
            }
            options.jobs = static_cast<int>(number);
        } else if (arg == "--seeds") {
            options.seeds.clear();
            std::istringstream list(value);
            for (std::string seed; std::getline(list, seed, ',');) {
                if (!parseInteger(seed, 0, 4294967295LL, number)) {
                    error = "--seeds must be whole numbers separated by commas, not " + value;
                    return false;
                }
                options.seeds.push_back(static_cast<unsigned>(number));
            }
            if (options.seeds.empty()) {
                error = "--seeds needs at least one seed";
                return false;
            }
        } else if (arg == "--driver") {
            const size_t equals = value.find('=');
            const std::string name = value.substr(0, equals);
            const bool taken = name == "autopilot" ||
                               std::any_of(options.drivers.begin(), options.drivers.end(),
                                           [&](const BoardDriver& d) { return d.name == name; });
            if (equals == std::string::npos || name.empty() || equals + 1 == value.size() ||
                taken) {
                error = "--driver must be NAME=COMMAND with a new name other than autopilot, not " +
                        value;
                return false;
            }
            options.drivers.push_back({name, value.substr(equals + 1)});
        } else if (arg == "--record-size") {
            const size_t by = value.find('x');
            long long width = 0, height = 0;
            if (by == std::string::npos ||
                !parseInteger(value.substr(0, by), 1, displayWidth, width) ||
                !parseInteger(value.substr(by + 1), 1, displayHeight, height)) {
                error = "--record-size must be WIDTHxHEIGHT within 800x600, not " + value;
                return false;
            }
            options.recordWidth = static_cast<int>(width);
            options.recordHeight = static_cast<int>(height);
        } else if (arg == "--controller-timeout" || arg == "--watch-speed") {
            double number = 0;
            if (!parseNumber(value, number) || number < 0.001 || number > 1e6) {
                error = arg + " must be a number from 0.001 to 1000000, not " + value;
                return false;
            }
            (arg == "--watch-speed" ? options.watchSpeed : options.controllerTimeout) = number;
        } else if (parseCourseOption(arg, value, args, i, options, error)) {
            knobGiven = knobGiven || arg != "--make-course";
        } else {
            return false;
        }
    }
    if (knobGiven && options.madeCoursePath.empty()) {
        error = "the course knobs go with --make-course SEED FILE";
        return false;
    }
    if (!options.madeCoursePath.empty() &&
        (!courses.empty() || options.tune || options.board || !options.controller.empty() ||
         options.watch || !options.recordFolder.empty() || !options.csvPath.empty() ||
         !options.mapPath.empty() || !options.jsonPath.empty())) {
        error =
            "--make-course makes a course and drives nothing: no course file, --tune, --board, "
            "--controller, --record, --watch, --csv, --map or --json with it";
        return false;
    }
    if (options.tune &&
        (!options.controller.empty() || !options.recordFolder.empty() || options.watch)) {
        error = "--tune drives the autopilot only: no --controller, --record or --watch with it";
        return false;
    }
    if (options.board) {
        if (courses.empty()) {
            error = "--board needs at least one course file or folder";
            return false;
        }
        if (options.tune || options.watch || !options.controller.empty() ||
            !options.recordFolder.empty() || !options.csvPath.empty() || !options.mapPath.empty() ||
            !options.jsonPath.empty()) {
            error =
                "--board drives its own drivers: no --tune, --watch, --controller, --record, "
                "--csv, --map or --json with it";
            return false;
        }
        options.boardCourses = courses;
    } else if (!options.drivers.empty() || !options.reportFolder.empty()) {
        error = "--driver and --report belong to --board";
        return false;
    } else if (courses.size() > 1) {
        error = "more than one course file: " + courses[1];
        return false;
    } else if (courses.size() == 1) {
        options.coursePath = courses.front();
    }
    return true;
}

std::string exactly(double value) {
    std::ostringstream out;
    out.precision(17);
    out << value;
    return out.str();
}

std::vector<std::string> driveArguments(const DriveRequest& request) {
    std::vector<std::string> args = {
        request.coursePath,           "--seed", std::to_string(request.seed),  "--laps",
        std::to_string(request.laps), "--step", std::to_string(request.stepMs)};
    for (const auto& option : tuningOptions)
        args.insert(args.end(), {option.name, exactly(request.tuning.*option.value)});
    if (!request.controller.empty())
        args.insert(args.end(), {"--controller", request.controller, "--controller-timeout",
                                 exactly(request.controllerTimeout)});
    if (!request.recordFolder.empty()) args.insert(args.end(), {"--record", request.recordFolder});
    if (request.recordWidth > 0)
        args.insert(args.end(), {"--record-size", std::to_string(request.recordWidth) + "x" +
                                                      std::to_string(request.recordHeight)});
    if (!request.imageFolder.empty()) args.insert(args.end(), {"--images", request.imageFolder});
    if (!request.jsonPath.empty()) args.insert(args.end(), {"--json", request.jsonPath});
    return args;
}

bool parseDriveRequest(const std::vector<std::string>& args, DriveRequest& request,
                       std::string& error) {
    LabOptions options;
    if (!parseLabOptions(args, options, error)) return false;
    request = options;
    return true;
}
