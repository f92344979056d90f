// One run of the program under test: how it is started, what it writes, what /proc shows of it.
#pragma once

#include "ChildProcess.h"

#include <chrono>
#include <optional>
#include <string>
#include <vector>

struct LaunchOptions {
    std::string program;                  // empty: the program of this build
    std::vector<std::string> arguments;   // after the program name
    std::string programName = "roadsim";  // argv[0], which the option rule also reads
    std::string workingDirectory;         // empty: the test's work directory
    std::string display;                  // empty: the test's X server
    std::string audioDriver = "disk";     // SDL_AUDIODRIVER
    std::string audioFile;                // SDL_DISKAUDIOFILE; empty: one in the work directory
    bool countFrames = false;             // preload the probe that watches presented frames
    std::string joystickFile;             // non-empty: preload a joystick fed from this file
};

struct Presentation {
    long frames = 0;
    long presenter = 0;  // the thread that presented the last frame
    long handovers = 0;  // changes of the presenting thread
    long clashes = 0;    // frames presented while or after another worker presented its own
};

class Roadsim {
  public:
    // Starts the program; `run` names its files in the work directory.
    Roadsim(const std::string& workDirectory, const std::string& run, const std::string& display,
            const LaunchOptions& options);

    bool started() const { return child.started(); }
    bool running() { return child.running(); }
    pid_t pid() const { return child.id(); }
    const std::string& audioFile() const { return audioPath; }

    std::string output() const;
    std::string errors() const;
    std::vector<std::string> outputLines() const;
    std::vector<std::string> errorLines() const;

    // SIGTERM, which SDL turns into the quit event, then a bounded wait for the exit status.
    std::optional<int> terminate(std::chrono::milliseconds timeout);
    std::optional<int> waitForExit(std::chrono::milliseconds timeout) {
        return child.waitForExit(timeout);
    }

    // User plus system time so far of the process, or of one of its threads, in clock ticks.
    long cpuTicks(long thread = 0) const;
    // What the frame probe saw so far (only with countFrames).
    Presentation presentation() const;
    // Everything a sanitizer wrote about this run.
    std::string sanitizerReports() const;

  private:
    std::string directory;
    std::string runName;
    std::string outPath;
    std::string errPath;
    std::string audioPath;
    std::string framesPath;
    ChildProcess child;
};

// The program was built with this sanitizer.
bool builtWith(const std::string& sanitizer);
