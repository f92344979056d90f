// The checks of a drive's setup, in the words every caller reports.
#include "DriveSetup.h"

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

std::string setupProblem(const DriveSetup& setup) {
    for (const std::string& problem :
         {wholeProblem("seed", seedBound, setup.seed), wholeProblem("laps", lapsBound, setup.laps),
          wholeProblem("frame_ms", frameMsBound, setup.frameMs),
          lapLimitProblem("lap_limit", setup.lapLimitMs / 1000.0)})
        if (!problem.empty()) return problem;
    const bool noFrame = setup.frameWidth == 0 && setup.frameHeight == 0;
    if (!noFrame && !frameSizeFits(setup.frameWidth, setup.frameHeight))
        return frameSizeProblem("frame_size", std::to_string(setup.frameWidth) + "x" +
                                                  std::to_string(setup.frameHeight));
    return "";
}
