// Headless drives of a course from start to end by the autopilot or an external controller, frame
// by frame as the game composes them, with the figures of every lap.
#pragma once

#include "Controller.h"
#include "Drive.h"
#include "Recorder.h"
#include "Watcher.h"

#include <cstdint>
#include <string>
#include <vector>

// The drive as its setup says (its course, images and frame size are the lab drive's own), and its
// company.
struct DriveSettings : DriveSetup {
    bool recordTrace = false;
    // Company of the drive, each optional: who drives instead of the autopilot (started already),
    // where the steps are recorded (opened already), and who watches.
    Controller* controller = nullptr;
    Recorder* recorder = nullptr;
    Watcher* watcher = nullptr;
};

struct DriveResult {
    std::vector<LapFigures> laps;
    DriveEnd end = DriveEnd::finished;
    int64_t simulatedMs = 0;  // the whole drive, up to its end
    std::vector<TraceRow> trace;
    bool finished() const { return end == DriveEnd::finished; }
};

// One car on one course; each drive reads the course anew from its text with the drive's seed, so
// the same seed and tuning give the same figures bit for bit.
class LabDrive {
  public:
    // Fails (see valid(); the reason goes to the standard error stream) when the course text
    // cannot be read or has fewer than two waypoints. With an image folder, frames show the
    // sprites from there; without one, none.
    LabDrive(std::string courseText, const std::string& source,
             const std::string& imageFolder = "");

    bool valid() const { return stepped.valid(); }
    const Course& getCourse() const { return stepped.getCourse(); }
    const Car& getCar() const { return stepped.getCar(); }

    DriveResult drive(const DriveSettings& settings);

  private:
    // One driver step with the drive's recorder or controller: the frame saved, the driver asked,
    // the step logged; false, the drive stopped, when one of them failed.
    bool steerWithCompany(const DriveSettings& settings);

    Drive stepped;
};
