// One sprite bitmap with pure blue transparent, its file name and how long an animation shows it.
#pragma once

#include "SurfacePtr.h"

#include <SDL.h>

#include <cstdint>
#include <iostream>
#include <string>

// Where bitmaps come from and where their loading is reported: by default the game's working
// directory and standard streams; a lab drive passes a folder and streams of its own, so that
// drives on several threads share nothing.
struct ImageSource {
    std::string folder;                   // empty: the working directory
    std::ostream* progress = &std::cout;  // the "getting: " lines; null: none
    std::ostream* failures = &std::cerr;  // the "Cannot find " lines; null: none

    // The path of a file of the source, in UTF-8.
    std::string path(const std::string& fileName) const;
};

// An off-screen surface of the display's size and 16-bit 5-6-5 format, for drawing without a
// window.
SurfacePtr makeDisplaySurface();

// Loads a BMP as it is; null (and a "Cannot find " line) on failure.
SurfacePtr loadBitmap(const std::string& fileName, const ImageSource& source = {});

// Loads a BMP with pure blue as its colour key; null (and a "Cannot find " line) on failure.
SDL_Surface* loadImage(const std::string& fileName, const ImageSource& source = {});

class ImageFrame {
  public:
    ImageFrame(std::string fileName, int32_t duration, const ImageSource& source = {});
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
    ImageSource source;
    SurfacePtr rotatable;
};
