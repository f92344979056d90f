// The one owning handle for SDL surfaces, for the program, its tools and its tests.
#pragma once

#include <SDL.h>

#include <memory>

struct SurfaceDeleter {
    void operator()(SDL_Surface* surface) const { SDL_FreeSurface(surface); }
};
using SurfacePtr = std::unique_ptr<SDL_Surface, SurfaceDeleter>;
