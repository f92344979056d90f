// The lab's command line.
#pragma once

#include "CourseMaker.h"
#include "DriveRequest.h"

#include <string>
#include <vector>

// A driver of the leaderboard: a name and the controller command that drives.
struct BoardDriver {
    std::string name;
    std::string command;
};

// The drive's own options, and those of the lab's other jobs.
struct LabOptions : DriveRequest {
    std::string csvPath;
    std::string mapPath;
    bool watch = false;
    double watchSpeed = 1;
    bool tune = false;
    bool help = false;
    bool version = false;
    // The leaderboard: its courses (files or folders), drivers besides the autopilot, seeds, how
    // many drives at a time (0: one per core) and where the report goes.
    bool board = false;
    std::vector<std::string> boardCourses;
    std::vector<BoardDriver> drivers;
    std::vector<unsigned> seeds = defaultBoardSeeds;
    int jobs = 0;
    std::string reportFolder;
    // --make-course SEED FILE and its knobs.
    std::string madeCoursePath;
    unsigned courseSeed = 0;
    CourseKnobs knobs;
};

std::string labUsage();

// Parses the arguments after the program name; on a bad one, fills error and answers false.
bool parseLabOptions(const std::vector<std::string>& args, LabOptions& options, std::string& error);

// VALUE in seventeen digits, which read back as the same double.
std::string exactly(double value);

// The arguments (after the program name) that ask the lab for this drive, and the drive they ask
// for: parseDriveRequest(driveArguments(request)) gives the request back.
std::vector<std::string> driveArguments(const DriveRequest& request);
bool parseDriveRequest(const std::vector<std::string>& args, DriveRequest& request,
                       std::string& error);
