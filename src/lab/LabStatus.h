// The lab's exit statuses, each with its words for the usage text and for the board's results: the
// one table that the lab, its controller, the board and the help all read.
#pragma once

#include <string>

enum class LabStatus {
    done = 0,
    unusable = 1,  // a course or output file unusable, or no course made
    badOption = 2,
    strayed = 3,      // a lap did not finish within the time limit
    cannotStart = 4,  // the controller could not be run
    exited = 5,       // the controller closed its output or ended before the drive did
    badReply = 6,     // a reply that is not a JSON object with numeric steering and speed
    tooSlow = 7,      // no reply from the controller within the timeout
};

struct LabStatusWords {
    LabStatus status;
    const char* meaning;  // in the usage text
    const char* failure;  // in the board's results; null where the lab itself failed
};

inline constexpr LabStatusWords labStatuses[] = {
    {LabStatus::done, "done", ""},
    {LabStatus::unusable, "course or output file unusable or no course made", nullptr},
    {LabStatus::badOption, "bad option", nullptr},
    {LabStatus::strayed, "a lap did not finish in time", "strayed"},
    {LabStatus::cannotStart, "the controller cannot start", "controller cannot start"},
    {LabStatus::exited, "the controller exited early", "controller exited"},
    {LabStatus::badReply, "the controller sent a bad reply", "bad reply"},
    {LabStatus::tooSlow, "the controller was too slow", "too slow"}};

// How a job of the lab ended: its status and, unless done, what went wrong, which main alone
// prints.
struct LabOutcome {
    LabStatus status = LabStatus::done;
    std::string message;
};

// An exit status in the words of the board's results: none for success.
std::string failureOf(int status);
// "Exit status: 0 done, 1 ...", for the usage text.
std::string exitStatusUsage();
