// What one drive reports: how it ended (with the lab's exit status and what went wrong), the
// figures of its laps, the course as its seed placed it and the path it took. One JSON schema for
// --json and for the board, which reads each of its drives' reports.
#pragma once

#include "Course.h"
#include "Drive.h"
#include "LabStatus.h"

#include <array>
#include <string>
#include <vector>

struct DriveReport {
    std::string course;
    DriveEnd end = DriveEnd::finished;
    LabStatus status = LabStatus::done;
    std::string message;  // empty when done
    std::vector<LapFigures> laps;
    // x, y and the waypoint's target speed or the obstacle's strength.
    std::vector<std::array<double, 3>> waypoints, obstacles;
    // Every tenth frame's position, and where each collision began.
    std::vector<std::array<double, 2>> path, hits;
};

DriveReport driveReport(const Course& course, DriveEnd end, const std::vector<LapFigures>& laps,
                        const std::vector<TraceRow>& trace);
// False when the file cannot be written, or read as a report.
bool writeDriveReport(const std::string& fileName, const DriveReport& report);
bool readDriveReport(const std::string& fileName, DriveReport& report);
