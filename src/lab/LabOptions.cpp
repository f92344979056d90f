// Parsing and checking the lab's options.
#include "LabOptions.h"

#include "Car.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

const char* const labUsage =
    "usage: roadsim-lab [courses.txt] [--heading G] [--track G] [--path G] [--threshold G]\n"
    "                   [--avoid G] [--laps N] [--step MS] [--seed S] [--csv FILE] [--map FILE]\n"
    "                   [--controller COMMAND] [--controller-timeout SECONDS] [--record DIR]\n"
    "                   [--watch] [--watch-speed K] [--tune]\n"
    "       roadsim-lab --make-course SEED FILE [--length FT] [--sharpness DEG]\n"
    "                   [--speeds MIN,MAX] [--obstacles N] [--strength S] [--wobble W]\n"
    "                   [--lobes K]\n"
    "Drives the course headlessly with the autopilot and prints the figures of every lap;\n"
    "--tune searches the tuning values on the tuning keys' 0.05 grid.\n"
    "Tuning values G are within 0 to 1 (default 0.5).\n"
    "  --controller COMMAND         let COMMAND (run by /bin/sh) drive: JSON Lines on its\n"
    "                               standard input and output, a reply every 50 ms step\n"
    "  --controller-timeout SECONDS the longest wait for a reply (default 1; the first reply\n"
    "                               may take 10 s more, for the controller to start)\n"
    "  --record DIR                 the frame of every step as DIR/frames/NNNNNN.png and\n"
    "                               DIR/driving_log.csv; DIR must be new or empty\n"
    "  --watch                      show the drive in a window; Escape ends it\n"
    "  --watch-speed K              watch K times faster than real time (default 1)\n"
    "  --map FILE                   a map of the drive: PNG when FILE ends in .png, else BMP\n"
    "  --make-course SEED FILE      write a new course, checked by driving it: a loop of\n"
    "                               about --length feet (default 3000), turns up to\n"
    "                               --sharpness degrees (45), target speeds MIN to MAX mph\n"
    "                               (15,40), N obstacle groups per 1000 ft (3) of strength S\n"
    "                               (-1 for random, 0 to 1; default a mix), W from 0 round\n"
    "                               to 1 irregular (0.5), K lobes (2 to 8; 0, the default,\n"
    "                               a mix of bulges)\n"
    "Exit status: 0 done, 1 course or output file unusable or no course made, 2 bad option,\n"
    "3 a lap did not finish in time; the controller: 4 cannot start, 5 exited early, 6 sent\n"
    "a bad reply, 7 too slow.\n";

namespace {

bool parseNumber(const std::string& text, double& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text.c_str(), &end);
    return errno == 0 && *end == '\0' && std::isfinite(value);
}

bool parseInteger(const std::string& text, long low, long high, long& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtol(text.c_str(), &end, 10);
    return errno == 0 && *end == '\0' && value >= low && value <= high;
}

// --make-course and its knobs, or an unknown option.
bool parseCourseOption(const std::string& arg, const std::string& value,
                       const std::vector<std::string>& args, size_t& i, LabOptions& options,
                       std::string& error) {
    CourseKnobs& knobs = options.knobs;
    double number = 0;
    long whole = 0;
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
    long low = 0, high = 0;
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

}  // namespace

bool parseLabOptions(const std::vector<std::string>& args, LabOptions& options,
                     std::string& error) {
    bool courseGiven = false, knobGiven = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--tune") {
            options.tune = true;
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
            if (courseGiven) {
                error = "more than one course file: " + arg;
                return false;
            }
            options.coursePath = arg;
            courseGiven = true;
            continue;
        }
        if (i + 1 >= args.size()) {
            error = arg + " needs a value";
            return false;
        }
        const std::string& value = args[++i];
        bool known = false;
        for (const TuningSlider& slider : tuningSliders) {
            if (arg != slider.option) continue;
            known = true;
            double number = 0;
            if (!parseNumber(value, number) || number < 0 || number > 1) {
                error = arg + " must be a number from 0 to 1, not " + value;
                return false;
            }
            options.tuning.*slider.value = number;
        }
        if (known) continue;
        long number = 0;
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
            if (!parseInteger(value, 0, 4294967295L, number)) {
                error = "--seed must be a whole number from 0 to 4294967295, not " + value;
                return false;
            }
            options.seed = static_cast<unsigned>(number);
        } else if (arg == "--csv") {
            options.csvPath = value;
        } else if (arg == "--map") {
            options.mapPath = value;
        } else if (arg == "--controller") {
            options.controller = value;
        } else if (arg == "--record") {
            options.recordFolder = value;
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
        (courseGiven || options.tune || !options.controller.empty() || options.watch ||
         !options.recordFolder.empty() || !options.csvPath.empty() || !options.mapPath.empty())) {
        error =
            "--make-course makes a course and drives nothing: no course file, --tune, "
            "--controller, --record, --watch, --csv or --map with it";
        return false;
    }
    if (options.tune &&
        (!options.controller.empty() || !options.recordFolder.empty() || options.watch)) {
        error = "--tune drives the autopilot only: no --controller, --record or --watch with it";
        return false;
    }
    return true;
}
