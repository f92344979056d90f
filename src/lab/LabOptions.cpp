// The lab's options: one table of their names, values, help and readers, from which the usage text
// is made with the defaults that the options themselves start from.
#include "LabOptions.h"

#include "Display.h"
#include "DriveFrame.h"
#include "LabStatus.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <sstream>

namespace {

constexpr size_t usageWidth = 92;
constexpr size_t helpColumn = 31;

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

// The autopilot's tuning values: their options, in the order of the control screen's sliders.
const struct {
    const char* name;
    const char* help;
    double Tuning::*value;
} tuningOptions[] = {
    {"--heading", "how hard the car turns to point along the segment", &Tuning::headingGain},
    {"--track", "how hard it pulls back onto the line of the segment", &Tuning::trackGain},
    {"--path", "the blend of the two: 1 follows the path only, 0 only avoids obstacles",
     &Tuning::pathWeight},
    {"--threshold", "the weakest obstacle the car sees", &Tuning::obstacleThreshold},
    {"--avoid", "the weight of the obstacle force", &Tuning::avoidGain}};

// As the usage shows a default: the shortest that reads back the same.
std::string shown(double value) {
    std::ostringstream out;
    out << value;
    return out.str();
}

// Reads the option's values (one, two for --make-course, none for a switch) into the options;
// false, with the error, when they are bad.
using Reader =
    std::function<bool(const std::vector<std::string>& values, LabOptions&, std::string& error)>;

struct LabOption {
    std::string name;
    std::string values;  // as the usage names them; empty for a switch
    std::string help;    // with its default, taken from a default LabOptions
    Reader read;
    size_t count() const {
        return values.empty()
                   ? 0
                   : static_cast<size_t>(std::count(values.begin(), values.end(), ' ')) + 1;
    }
};

Reader text(std::string LabOptions::*field) {
    return [field](const std::vector<std::string>& values, LabOptions& options, std::string&) {
        options.*field = values[0];
        return true;
    };
}

Reader flag(bool LabOptions::*field) {
    return [field](const std::vector<std::string>&, LabOptions& options, std::string&) {
        options.*field = true;
        return true;
    };
}

// A whole number within its bounds, into an int or unsigned field.
template <typename Whole, typename Owner>
Reader whole(const std::string& name, Whole Owner::*field, const WholeBound& bound) {
    return [=](const std::vector<std::string>& values, LabOptions& options, std::string& error) {
        long long number = 0;
        if (!parseInteger(values[0], bound.low, bound.high, number)) {
            error = wholeProblem(name, bound, values[0]);
            return false;
        }
        options.*field = static_cast<Whole>(number);
        return true;
    };
}

// A number within its range; the range as the message says it.
Reader real(const std::string& name, std::function<double&(LabOptions&)> field, double low,
            double high, const std::string& range) {
    return [=](const std::vector<std::string>& values, LabOptions& options, std::string& error) {
        double number = 0;
        if (!parseNumber(values[0], number) || number < low || number > high) {
            error = name + " must be a number from " + range + ", not " + values[0];
            return false;
        }
        field(options) = number;
        return true;
    };
}

const std::vector<LabOption>& labOptions() {
    static const std::vector<LabOption> table = [] {
        const LabOptions defaults;
        const Tuning& tuning = defaults.tuning;
        const CourseKnobs& knobs = defaults.knobs;
        const auto knob = [](const std::string& name, const std::string& value,
                             const std::string& help, double CourseKnobs::*field, double low,
                             double high) {
            return LabOption{
                name, value, help,
                real(
                    name, [field](LabOptions& o) -> double& { return o.knobs.*field; }, low, high,
                    std::to_string(std::lround(low)) + " to " + std::to_string(std::lround(high)))};
        };
        std::vector<LabOption> options;
        for (const auto& option : tuningOptions) {
            const auto value = option.value;
            options.push_back(
                {option.name, "G",
                 std::string(option.help) + ", 0 to 1 (default " + shown(tuning.*value) + ")",
                 real(
                     option.name, [value](LabOptions& o) -> double& { return o.tuning.*value; }, 0,
                     1, "0 to 1")});
        }
        const std::vector<LabOption> others = {
            {"--laps", "N", "laps a drive (default " + std::to_string(defaults.laps) + ")",
             whole("--laps", &LabOptions::laps, lapsBound)},
            {"--step", "MS",
             "milliseconds a frame of the drive (default " + std::to_string(defaults.frameMs) + ")",
             whole("--step", &LabOptions::frameMs, frameMsBound)},
            {"--seed", "S",
             "the seed of the obstacles' layout (default " + std::to_string(defaults.seed) + ")",
             whole("--seed", &LabOptions::seed, seedBound)},
            {"--csv", "FILE", "every step of the drive as CSV", text(&LabOptions::csvPath)},
            {"--map", "FILE", "a map of the drive: PNG when FILE ends in .png, else BMP",
             text(&LabOptions::mapPath)},
            {"--json", "FILE", "the laps, the end, the course and the path as JSON",
             text(&LabOptions::jsonPath)},
            {"--controller", "COMMAND",
             "let COMMAND (run by the shell) drive: JSON Lines on its standard input and output, "
             "a reply every " +
                 std::to_string(driverStepMs) + " ms step",
             text(&LabOptions::controller)},
            {"--controller-timeout", "SECONDS",
             "the longest wait for a reply (default " + shown(defaults.controllerTimeout) +
                 "; the first reply may take " + std::to_string(controllerStartUpMs / 1000) +
                 " s more, for the controller to start)",
             real(
                 "--controller-timeout",
                 [](LabOptions& o) -> double& { return o.controllerTimeout; }, 0.001, 1e6,
                 "0.001 to 1000000")},
            {"--record", "DIR",
             "the frame of every step as DIR/frames/NNNNNN.png and DIR/driving_log.csv; DIR "
             "must be new or empty",
             text(&LabOptions::recordFolder)},
            {"--images", "DIR",
             "the bitmaps of the recorded or watched frames (default: the course file's folder)",
             text(&LabOptions::imageFolder)},
            {"--record-size", "WxH",
             "save the frames scaled down to W x H by area averaging, such as 160x120 (default: "
             "the whole " +
                 std::to_string(displayWidth) + "x" + std::to_string(displayHeight) + " frame)",
             [](const std::vector<std::string>& values, LabOptions& options, std::string& error) {
                 const std::string& value = values[0];
                 const size_t by = value.find('x');
                 long long width = 0, height = 0;
                 if (by == std::string::npos ||
                     !parseInteger(value.substr(0, by), 1, displayWidth, width) ||
                     !parseInteger(value.substr(by + 1), 1, displayHeight, height)) {
                     error = frameSizeProblem("--record-size", value);
                     return false;
                 }
                 options.frameWidth = static_cast<int>(width);
                 options.frameHeight = static_cast<int>(height);
                 return true;
             }},
            {"--watch", "", "show the drive in a window; Escape ends it", flag(&LabOptions::watch)},
            {"--watch-speed", "K",
             "watch K times faster than real time (default " + shown(defaults.watchSpeed) + ")",
             real(
                 "--watch-speed", [](LabOptions& o) -> double& { return o.watchSpeed; }, 0.001, 1e6,
                 "0.001 to 1000000")},
            {"--tune", "", "search the tuning values on the tuning keys' grid",
             flag(&LabOptions::tune)},
            {"--board", "",
             "rank the autopilot (at the tuning values) and every --driver on every course (a "
             "folder: its *.txt) and seed",
             flag(&LabOptions::board)},
            {"--driver", "NAME=COMMAND", "a driver of the board, a controller",
             [](const std::vector<std::string>& values, LabOptions& options, std::string& error) {
                 const std::string& value = values[0];
                 const size_t equals = value.find('=');
                 const std::string name = value.substr(0, equals);
                 const bool taken =
                     name == "autopilot" ||
                     std::any_of(options.drivers.begin(), options.drivers.end(),
                                 [&](const BoardDriver& d) { return d.name == name; });
                 if (equals == std::string::npos || name.empty() || equals + 1 == value.size() ||
                     taken) {
                     error =
                         "--driver must be NAME=COMMAND with a new name other than autopilot, "
                         "not " +
                         value;
                     return false;
                 }
                 options.drivers.push_back({name, value.substr(equals + 1)});
                 return true;
             }},
            {"--seeds", "S,S,...",
             [&] {
                 std::string seeds;
                 for (const unsigned seed : defaults.seeds)
                     seeds += (seeds.empty() ? "" : ",") + std::to_string(seed);
                 return "the board's seeds (default " + seeds + ")";
             }(),
             [](const std::vector<std::string>& values, LabOptions& options, std::string& error) {
                 options.seeds.clear();
                 std::istringstream list(values[0]);
                 long long number = 0;
                 for (std::string seed; std::getline(list, seed, ',');) {
                     if (!parseInteger(seed, seedBound.low, seedBound.high, number)) {
                         error =
                             "--seeds must be whole numbers separated by commas, not " + values[0];
                         return false;
                     }
                     options.seeds.push_back(static_cast<unsigned>(number));
                 }
                 if (!options.seeds.empty()) return true;
                 error = "--seeds needs at least one seed";
                 return false;
             }},
            {"--jobs", "N", "the board's drives at a time (default: one per core)",
             whole("--jobs", &LabOptions::jobs, {1, 256, ""})},
            {"--report", "DIR",
             "the board's results.csv, results.json and index.html; with --record-size, every "
             "drive records its frames (in a folder that goes afterwards) for drivers that see "
             "them",
             text(&LabOptions::reportFolder)},
            {"--make-course", "SEED FILE", "write a new course, checked by driving it",
             [](const std::vector<std::string>& values, LabOptions& options, std::string& error) {
                 long long seed = 0;
                 if (!parseInteger(values[0], seedBound.low, seedBound.high, seed)) {
                     error = "--make-course needs a seed from " + std::to_string(seedBound.low) +
                             " to " + std::to_string(seedBound.high) + ", not " + values[0];
                     return false;
                 }
                 options.courseSeed = static_cast<unsigned>(seed);
                 options.madeCoursePath = values[1];
                 return true;
             }},
            knob("--length", "FT",
                 "about the loop's length in feet (default " + shown(knobs.lengthFt) + ")",
                 &CourseKnobs::lengthFt, 800, 50000),
            knob("--sharpness", "DEG",
                 "the sharpest turn in degrees (default " + shown(knobs.sharpnessDeg) + ")",
                 &CourseKnobs::sharpnessDeg, 10, 80),
            {"--speeds", "MIN,MAX",
             "target speeds in mph (default " + std::to_string(knobs.minSpeed) + "," +
                 std::to_string(knobs.maxSpeed) + ")",
             [](const std::vector<std::string>& values, LabOptions& options, std::string& error) {
                 const std::string& value = values[0];
                 const size_t comma = value.find(',');
                 long long low = 0, high = 0;
                 if (comma == std::string::npos ||
                     !parseInteger(value.substr(0, comma), slowestCourseSpeed, fastestCourseSpeed,
                                   low) ||
                     !parseInteger(value.substr(comma + 1), low, fastestCourseSpeed, high)) {
                     error = "--speeds must be MIN,MAX in whole mph, " +
                             std::to_string(slowestCourseSpeed) +
                             " <= MIN <= MAX <= " + std::to_string(fastestCourseSpeed) + ", not " +
                             value;
                     return false;
                 }
                 options.knobs.minSpeed = static_cast<int>(low);
                 options.knobs.maxSpeed = static_cast<int>(high);
                 return true;
             }},
            knob("--obstacles", "N",
                 "obstacle groups per 1000 ft (default " + shown(knobs.groupsPer1000Ft) + ")",
                 &CourseKnobs::groupsPer1000Ft, 0, 30),
            {"--strength", "S",
             "every obstacle's strength, 0 to 1, or -1 for a random one each (default: each "
             "group's own)",
             real(
                 "--strength",
                 [](LabOptions& o) -> double& {
                     o.knobs.strength.emplace();
                     return *o.knobs.strength;
                 },
                 -1, 1, "-1 (random) to 1")},
            knob("--wobble", "W",
                 "from 0 round to 1 irregular (default " + shown(knobs.wobble) + ")",
                 &CourseKnobs::wobble, 0, 1),
            {"--lobes", "K",
             "a figure of K lobes, 2 to 8, or 0 for a mix of bulges (default " +
                 std::to_string(knobs.lobes) + ")",
             [](const std::vector<std::string>& values, LabOptions& options, std::string& error) {
                 long long lobes = 0;
                 if (!parseInteger(values[0], 0, 8, lobes) || lobes == 1) {
                     error = "--lobes must be 0 (a mix) or a whole number from 2 to 8, not " +
                             values[0];
                     return false;
                 }
                 options.knobs.lobes = static_cast<int>(lobes);
                 return true;
             }},
            {"--help", "", "this text", flag(&LabOptions::help)}};
        options.insert(options.end(), others.begin(), others.end());
        return options;
    }();
    return table;
}

// The course maker's knobs, which go with --make-course alone.
bool isKnob(const std::string& name) {
    return name == "--length" || name == "--sharpness" || name == "--speeds" ||
           name == "--obstacles" || name == "--strength" || name == "--wobble" || name == "--lobes";
}

// TEXT after LEAD, broken at spaces into lines no wider than the usage, the later ones indented
// by INDENT spaces.
std::string wrapped(const std::string& text, const std::string& lead = "", size_t indent = 0) {
    std::string out, line = lead;
    bool started = false;
    std::istringstream words(text);
    for (std::string word; words >> word;) {
        if (started && line.size() + 1 + word.size() > usageWidth) {
            out += line + "\n";
            line.assign(indent, ' ');
            started = false;
        }
        line += (started ? " " : "") + word;
        started = true;
    }
    return out + line + "\n";
}

}  // namespace

std::string labUsage() {
    std::string usage =
        "usage: roadsim-lab [courses.txt] [drive options]\n"
        "       roadsim-lab --tune [courses.txt] [tuning options]\n"
        "       roadsim-lab --board COURSE_OR_FOLDER... [--driver NAME=COMMAND]... [options]\n"
        "       roadsim-lab --make-course SEED FILE [course knobs]\n" +
        wrapped(
            "Drives the course headlessly with the autopilot or a controller and prints the "
            "figures of every lap.") +
        "Options:\n";
    for (const LabOption& option : labOptions()) {
        std::string head = "  " + option.name + (option.values.empty() ? "" : " " + option.values);
        head.resize(std::max(head.size() + 1, helpColumn), ' ');
        usage += wrapped(option.help, head, helpColumn);
    }
    return usage + wrapped(exitStatusUsage());
}

bool parseLabOptions(const std::vector<std::string>& args, LabOptions& options,
                     std::string& error) {
    std::vector<std::string> courses;
    bool knobGiven = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "-h") {
            options.help = true;
            continue;
        }
        if (arg.rfind("--", 0) != 0) {
            courses.push_back(arg);
            continue;
        }
        const std::vector<LabOption>& table = labOptions();
        const auto option = std::find_if(table.begin(), table.end(),
                                         [&](const LabOption& o) { return o.name == arg; });
        if (option == table.end()) {
            error = "unknown option " + arg;
            return false;
        }
        const size_t count = option->count();
        if (count > args.size() - 1 - i) {
            error = count == 1 ? arg + " needs a value"
                               : arg + " needs " + option->values + " after it";
            return false;
        }
        const std::vector<std::string> values(args.begin() + i + 1, args.begin() + i + 1 + count);
        i += count;
        if (!option->read(values, options, error)) return false;
        knobGiven = knobGiven || isKnob(arg);
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
        request.coursePath,           "--seed", std::to_string(request.seed),   "--laps",
        std::to_string(request.laps), "--step", std::to_string(request.frameMs)};
    for (const auto& option : tuningOptions)
        args.insert(args.end(), {option.name, exactly(request.tuning.*option.value)});
    if (!request.controller.empty())
        args.insert(args.end(), {"--controller", request.controller, "--controller-timeout",
                                 exactly(request.controllerTimeout)});
    if (!request.recordFolder.empty()) args.insert(args.end(), {"--record", request.recordFolder});
    if (request.frameWidth > 0)
        args.insert(args.end(), {"--record-size", std::to_string(request.frameWidth) + "x" +
                                                      std::to_string(request.frameHeight)});
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
