// A window that shows a drive's frames as they are composed, at real-time pace or K times faster.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <string>

class Watcher {
  public:
    explicit Watcher(double speedUp);
    ~Watcher();
    Watcher(const Watcher&) = delete;
    Watcher& operator=(const Watcher&) = delete;

    // Opens a window of the display's size, or takes the one open already: closing one watcher
    // leaves the window to the others. Refuses where there is no display to show it on.
    bool open(std::string& error);
    // Shows the frame once its moment of simulated time has come; false once the viewer pressed
    // Escape or closed the window.
    bool show(SDL_Surface* frame, int64_t simulatedMs);

  private:
    double speedUp;
    SDL_Surface* window;  // owned by SDL
    bool started;
    int64_t startTicks;
};
