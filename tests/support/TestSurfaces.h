// Software surfaces of known formats, bitmap files written for a test, and a scratch directory.
#pragma once

#include "ImageFrame.h"

#include <SDL.h>

#include <cstdint>
#include <string>
#include <vector>

// An 800 x 600 (or w x h) 5-6-5 surface filled with one colour.
SurfacePtr makeSurface565(int w = 800, int h = 600, uint16_t fill = 0);
// A 24-bit surface filled with one colour.
SurfacePtr makeSurface24(int w, int h, uint8_t r, uint8_t g, uint8_t b);
uint16_t pixel565(const SDL_Surface* surface, int x, int y);
uint16_t rgb565(uint8_t r, uint8_t g, uint8_t b);
void fillRect24(SDL_Surface* surface, int x, int y, int w, int h, uint8_t r, uint8_t g, uint8_t b);
// Saves a 24-bit bitmap of one colour, optionally with a rectangle of a second colour.
void writeBitmap(const std::string& path, int w, int h, uint8_t r, uint8_t g, uint8_t b);

// A fresh temporary directory, made the working directory for the life of the object.
class ScratchDirectory {
  public:
    ScratchDirectory();
    ~ScratchDirectory();
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;
    const std::string& path() const { return dir; }

  private:
    std::string dir;
    std::string previous;
};
