// Writing a surface as a PNG file.
#pragma once

#include <SDL.h>

#include <string>

// An 8-bit RGB picture of a 16- or 32-bit surface, scaled down to width x height by area
// averaging when that is smaller (0 keeps the surface's size); fast compression, since a
// recording writes thousands. False when the file cannot be written.
bool writePng(const SDL_Surface* surface, const std::string& fileName, int width = 0,
              int height = 0);
