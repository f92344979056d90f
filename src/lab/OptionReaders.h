// Readers of the lab's option values: each checks its value and sets its field of the options,
// or says what is wrong with the value in words that name the option.
#pragma once

#include "LabOptions.h"

#include <functional>
#include <string>
#include <vector>

// Reads the option's values (one, two for --make-course, none for a switch) into the options;
// false, with the error, when they are bad.
using Reader =
    std::function<bool(const std::vector<std::string>& values, LabOptions&, std::string& error)>;

// 64 bits wide everywhere: a seed's range does not fit Windows' long.
bool parseInteger(const std::string& text, long long low, long long high, long long& value);

Reader text(std::string LabOptions::*field);
Reader flag(bool LabOptions::*field);
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
            double high, const std::string& range);

// The values that take more than a range: WxH, NAME=COMMAND, S,S,..., SEED FILE, MIN,MAX and a
// figure's lobes.
bool readRecordSize(const std::vector<std::string>& values, LabOptions& options,
                    std::string& error);
bool readDriver(const std::vector<std::string>& values, LabOptions& options, std::string& error);
bool readSeeds(const std::vector<std::string>& values, LabOptions& options, std::string& error);
bool readMadeCourse(const std::vector<std::string>& values, LabOptions& options,
                    std::string& error);
bool readSpeeds(const std::vector<std::string>& values, LabOptions& options, std::string& error);
bool readLobes(const std::vector<std::string>& values, LabOptions& options, std::string& error);
