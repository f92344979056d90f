// A recording of a drive: the frame on screen at every driver step as a PNG file, and a CSV log of
// what the car did and what the driver chose.
#pragma once

#include "Controller.h"
#include "ImageFrame.h"

#include <SDL.h>

#include <condition_variable>
#include <deque>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class Recorder {
  public:
    explicit Recorder(std::string folder);
    // Finishes the frames still being written.
    ~Recorder();
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    // Makes the folder and its frames/ folder; refuses a folder that holds anything already.
    bool open(std::string& error);
    // Starts writing the screen as the frame of this step (on a worker, so that the drive goes on
    // meanwhile); answers the frame's path relative to the folder.
    std::string saveFrame(const SDL_Surface* screen, int step);
    // Waits until every frame started so far is on disk; false when one could not be written.
    bool flushFrames();
    // Adds the step's row to the log.
    bool log(const StepState& state, const std::string& image, const ControlCommand& command);
    // Writes the remaining frames and flushes the log; false when anything could not be written.
    bool close();

  private:
    struct Job {
        SurfacePtr frame;
        std::string path;
    };
    void work();

    std::string folder;
    std::ofstream csv;
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Job> jobs;
    int busy;
    bool failed;
    bool closing;
    std::vector<std::thread> workers;
};
