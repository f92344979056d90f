// The option values' readers, with the words of their messages.
#include "OptionReaders.h"

#include "Display.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <sstream>

namespace {

bool parseNumber(const std::string& text, double& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtod(text.c_str(), &end);
    return errno == 0 && *end == '\0' && std::isfinite(value);
}

// Two whole numbers split at SEPARATOR, the first within [low1, high1], the second within
// [first or low2, high2] as ORDERED says; false when the text is not so.
bool parsePair(const std::string& value, char separator, long long low1, long long high1,
               long long low2, long long high2, bool ordered, long long& first, long long& second) {
    const size_t at = value.find(separator);
    return at != std::string::npos && parseInteger(value.substr(0, at), low1, high1, first) &&
           parseInteger(value.substr(at + 1), ordered ? first : low2, high2, second);
}

}  // namespace

bool parseInteger(const std::string& text, long long low, long long high, long long& value) {
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    value = std::strtoll(text.c_str(), &end, 10);
    return errno == 0 && *end == '\0' && value >= low && value <= high;
}

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

bool readRecordSize(const std::vector<std::string>& values, LabOptions& options,
                    std::string& error) {
    long long width = 0, height = 0;
    if (!parsePair(values[0], 'x', 1, displayWidth, 1, displayHeight, false, width, height)) {
        error = frameSizeProblem("--record-size", values[0]);
        return false;
    }
    options.frameWidth = static_cast<int>(width);
    options.frameHeight = static_cast<int>(height);
    return true;
}

bool readDriver(const std::vector<std::string>& values, LabOptions& options, std::string& error) {
    const std::string& value = values[0];
    const size_t equals = value.find('=');
    const std::string name = value.substr(0, equals);
    const bool taken =
        name == "autopilot" || std::any_of(options.drivers.begin(), options.drivers.end(),
                                           [&](const BoardDriver& d) { return d.name == name; });
    if (equals == std::string::npos || name.empty() || equals + 1 == value.size() || taken) {
        error = "--driver must be NAME=COMMAND with a new name other than autopilot, not " + value;
        return false;
    }
    options.drivers.push_back({name, value.substr(equals + 1)});
    return true;
}

bool readSeeds(const std::vector<std::string>& values, LabOptions& options, std::string& error) {
    options.seeds.clear();
    std::istringstream list(values[0]);
    long long number = 0;
    for (std::string seed; std::getline(list, seed, ',');) {
        if (!parseInteger(seed, seedBound.low, seedBound.high, number)) {
            error = "--seeds must be whole numbers separated by commas, not " + values[0];
            return false;
        }
        options.seeds.push_back(static_cast<unsigned>(number));
    }
    if (!options.seeds.empty()) return true;
    error = "--seeds needs at least one seed";
    return false;
}

bool readMadeCourse(const std::vector<std::string>& values, LabOptions& options,
                    std::string& error) {
    long long seed = 0;
    if (!parseInteger(values[0], seedBound.low, seedBound.high, seed)) {
        error = "--make-course needs a seed from " + std::to_string(seedBound.low) + " to " +
                std::to_string(seedBound.high) + ", not " + values[0];
        return false;
    }
    options.courseSeed = static_cast<unsigned>(seed);
    options.madeCoursePath = values[1];
    return true;
}

bool readSpeeds(const std::vector<std::string>& values, LabOptions& options, std::string& error) {
    long long low = 0, high = 0;
    if (!parsePair(values[0], ',', slowestCourseSpeed, fastestCourseSpeed, 0, fastestCourseSpeed,
                   true, low, high)) {
        error = "--speeds must be MIN,MAX in whole mph, " + std::to_string(slowestCourseSpeed) +
                " <= MIN <= MAX <= " + std::to_string(fastestCourseSpeed) + ", not " + values[0];
        return false;
    }
    options.knobs.minSpeed = static_cast<int>(low);
    options.knobs.maxSpeed = static_cast<int>(high);
    return true;
}

bool readLobes(const std::vector<std::string>& values, LabOptions& options, std::string& error) {
    long long lobes = 0;
    if (!parseInteger(values[0], 0, mostLobes, lobes) || lobes == 1) {
        error = "--lobes must be 0 (a mix) or a whole number from 2 to 8, not " + values[0];
        return false;
    }
    options.knobs.lobes = static_cast<int>(lobes);
    return true;
}
