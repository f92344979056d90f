// One sprite bitmap with pure blue transparent, its file name and how long an animation shows it.
#pragma once

#include "SurfacePtr.h"

#include <SDL.h>

#include <cstdint>
#include <string>

// An off-screen surface of the display's size and 16-bit 5-6-5 format, for drawing without a
// window.
SurfacePtr makeDisplaySurface();

// Loads a BMP as it is; null (and a "Cannot find " line) on failure.
SurfacePtr loadBitmap(const std::string& fileName);

// Loads a BMP with pure blue as its colour key; null (and a "Cannot find " line) on failure.
SDL_Surface* loadImage(const std::string& fileName);

class ImageFrame {
  public:
    ImageFrame(std::string fileName, int32_t duration);
    // A copy loads the file again: no two frames ever share a surface.
    ImageFrame(const ImageFrame& other);
    ImageFrame(ImageFrame&& other) noexcept = default;
    ImageFrame& operator=(const ImageFrame&) = delete;
    ImageFrame& operator=(ImageFrame&&) = delete;
    ~ImageFrame() = default;

    SDL_Surface* getSurface() const { return surface.get(); }
    // The frame as 32-bit RGBA with its keyed pixels fully transparent, for smooth rotation.
    SDL_Surface* getRotatable() const { return rotatable.get(); }
    const std::string& getFileName() const { return fileName; }
    int32_t getDuration() const { return duration; }

  private:
    void load();

    SurfacePtr surface;
    std::string fileName;
    int32_t duration;
    SurfacePtr rotatable;
};
