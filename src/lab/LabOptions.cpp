// Parsing and checking the lab's options.
#include "LabOptions.h"

#include "Car.h"
#include "Display.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

const char* const labUsage =
    "usage: roadsim-lab [courses.txt] [--heading G] [--track G] [--path G] [--threshold G]\n"
    "                   [--avoid G] [--laps N] [--step MS] [--seed S] [--csv FILE] [--map FILE]\n"
    "                   [--controller COMMAND] [--controller-timeout SECONDS] [--record DIR]\n"
    "                   [--record-size WxH] [--watch] [--watch-speed K] [--tune]\n"
    "Drives the course headlessly with the autopilot and prints the figures of every lap;\n"
    "--tune searches the tuning values on the tuning keys' 0.05 grid.\n"
    "Tuning values G are within 0 to 1 (default 0.5).\n"
    "  --controller COMMAND         let COMMAND (run by /bin/sh) drive: JSON Lines on its\n"
    "                               standard input and output, a reply every 50 ms step\n"
    "  --controller-timeout SECONDS the longest wait for a reply (default 1; the first reply\n"
    "                               may take 10 s more, for the controller to start)\n"
    "  --record DIR                 the frame of every step as DIR/frames/NNNNNN.png and\n"
    "                               DIR/driving_log.csv; DIR must be new or empty\n"
    "  --record-size WxH            save the frames scaled down to W x H by area averaging,\n"
    "                               such as 160x120 (default: the whole 800x600 frame)\n"
    "  --watch                      show the drive in a window; Escape ends it\n"
    "  --watch-speed K              watch K times faster than real time (default 1)\n"
    "  --map FILE                   a map of the drive: PNG when FILE ends in .png, else BMP\n"
    "Exit status: 0 done, 1 course or output file unusable, 2 bad option, 3 a lap did not\n"
    "finish in time; the controller: 4 cannot start, 5 exited early, 6 sent a bad reply,\n"
    "7 too slow.\n";

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

}  // namespace

bool parseLabOptions(const std::vector<std::string>& args, LabOptions& options,
                     std::string& error) {
    bool courseGiven = false;
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
        } else if (arg == "--record-size") {
            const size_t by = value.find('x');
            long width = 0, height = 0;
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
        } else {
            error = "unknown option " + arg;
            return false;
        }
    }
    if (options.tune &&
        (!options.controller.empty() || !options.recordFolder.empty() || options.watch)) {
        error = "--tune drives the autopilot only: no --controller, --record or --watch with it";
        return false;
    }
    return true;
}
