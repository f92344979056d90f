// The checks of a drive's spec, in the words every caller reports.
#include "DriveSpec.h"

#include "Display.h"

#include <cmath>

std::string wholeProblem(const std::string& name, const WholeBound& bound,
                         const std::string& value) {
    return name + " must be a whole number" + bound.unit + " from " + std::to_string(bound.low) +
           " to " + std::to_string(bound.high) + ", not " + value;
}

std::string wholeProblem(const std::string& name, const WholeBound& bound, long long value) {
    if (value >= bound.low && value <= bound.high) return "";
    return wholeProblem(name, bound, std::to_string(value));
}

bool frameSizeFits(int width, int height) {
    return width >= 1 && width <= displayWidth && height >= 1 && height <= displayHeight;
}

std::string frameSizeProblem(const std::string& name, const std::string& shown) {
    return name + " must be WIDTHxHEIGHT within " + std::to_string(displayWidth) + "x" +
           std::to_string(displayHeight) + ", not " + shown;
}

std::string lapLimitProblem(const std::string& name, double seconds) {
    if (seconds > 0 && std::isfinite(seconds) && seconds * 1000 < 9.2e18) return "";
    return name + " must be a positive number of seconds";
}

std::string specProblem(const DriveSpec& spec) {
    for (const std::string& problem :
         {wholeProblem("seed", seedBound, spec.seed), wholeProblem("laps", lapsBound, spec.laps),
          wholeProblem("frame_ms", frameMsBound, spec.frameMs),
          lapLimitProblem("lap_limit", spec.lapLimitMs / 1000.0)})
        if (!problem.empty()) return problem;
    const bool noFrame = spec.frameWidth == 0 && spec.frameHeight == 0;
    if (!noFrame && !frameSizeFits(spec.frameWidth, spec.frameHeight))
        return frameSizeProblem(
            "frame_size", std::to_string(spec.frameWidth) + "x" + std::to_string(spec.frameHeight));
    return "";
}
