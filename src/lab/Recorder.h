// A recording of a drive: the frame on screen at every driver step as a PNG file, and a CSV log of
// what the car did and what the driver chose.
#pragma once

#include "Controller.h"

#include <SDL.h>

#include <fstream>
#include <string>

class Recorder {
  public:
    explicit Recorder(std::string folder);

    // Makes the folder and its frames/ folder; refuses a folder that holds anything already.
    bool open(std::string& error);
    // Writes the screen as the frame of this step; answers its path relative to the folder.
    bool saveFrame(const SDL_Surface* screen, int step, std::string& image);
    // Adds the step's row to the log.
    bool log(const StepState& state, const std::string& image, const ControlCommand& command);
    // Flushes the log; false when anything could not be written.
    bool close();

    const std::string& getFolder() const { return folder; }

  private:
    std::string folder;
    std::ofstream csv;
};
