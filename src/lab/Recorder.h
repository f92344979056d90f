// A recording of a drive: the frame on screen at every driver step as a PNG file, and a CSV log of
// what the car did and what the driver chose.
#pragma once

#include "Controller.h"
#include "ImageFrame.h"

#include <SDL.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class Recorder {
  public:
    // Frames are saved at width x height, scaled down from the screen (0: the screen's size).
    explicit Recorder(std::string folder, int width = 0, int height = 0);
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
    // Adds the step's row to the log: what the driver saw and chose, and what the built-in
    // autopilot would have chosen.
    bool log(const StepState& state, const std::string& image, const ControlCommand& command,
             const ControlCommand& expert);
    // Writes the remaining frames and flushes the log; false when anything could not be written.
    // After a failure the log lists exactly the frames before it, each complete on disk.
    bool close();
    // The file that could not be written, and why.
    const std::string& error() const { return failure; }
    // The folder as an absolute path, in UTF-8.
    std::string absoluteFolder() const;
    // Rows in the log: the steps recorded completely.
    int64_t loggedSteps() const { return firstRow; }

  private:
    struct Job {
        SurfacePtr frame;
        std::string path;
        int64_t sequence;
    };
    // A step's log row waits until its frame is on disk, so that the log never lists a frame that
    // is missing or cut short.
    struct Row {
        std::string path;
        std::string text;
        bool frameWritten;
    };
    void work();
    // Appends the rows whose frames are written, in order; called with the mutex held.
    void writeReadyRows();
    // Keeps the earliest failure; a frame file that failed goes.
    void setFailure(const std::string& file, const std::string& reason, int64_t sequence);

    std::string folder;
    int width;
    int height;
    std::string csvPath;
    std::ofstream csv;
    uintmax_t csvBytes;  // what the log holds of whole rows
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Job> jobs;
    std::deque<Row> rows;
    int64_t firstRow;  // the sequence number of rows.front()
    int64_t nextFrame;
    int64_t failedAt;  // the first step whose row cannot be logged
    int busy;
    std::string failure;
    bool closing;
    std::vector<std::thread> workers;
};
