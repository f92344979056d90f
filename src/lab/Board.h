// The leaderboard: drivers ranked over many courses and seeds, each drive in a process of its own,
// and the report folder with the figures as CSV and JSON and a page of maps.
#pragma once

#include "Course.h"
#include "LabDrive.h"
#include "LabOptions.h"

#include <string>

// Drives every driver (the built-in autopilot at the options' tuning first) on every course and
// seed, as many at a time as options.jobs, by running this program (self) once per drive; prints
// the ranking and writes the report folder when one is asked for. Answers the exit status.
int runBoard(const LabOptions& options, const std::string& self);

// What one drive leaves for the board: its laps, how it ended, the course as its seed placed it
// and the path it took. False when the file cannot be written.
bool writeDriveJson(const std::string& fileName, const Course& course, const DriveResult& result);
