// Timed, looping frame sequences drawn at a screen position, and the kind that draws turned.
#pragma once

#include "ImageFrame.h"

#include <SDL.h>

#include <cstdint>
#include <string>
#include <vector>

class Animation {
  public:
    Animation();
    Animation(Animation&&) noexcept = default;
    Animation& operator=(Animation&&) noexcept = default;
    virtual ~Animation();

    virtual void addFrame(const ImageFrame& frame);
    virtual void addFrame(const std::string& fileName, int32_t duration);
    virtual void update(int32_t ms);
    virtual void draw(SDL_Surface* screen, int32_t x, int32_t y);

    // Resumes from where the animation was; does not rewind.
    void play() { stopped = false; }
    // Rewinds to the first frame and holds it there.
    void stop();

    size_t frameCount() const { return frames.size(); }
    uint32_t getCurrent() const { return current; }
    int32_t getElapsed() const { return elapsed; }
    int32_t getTotalDuration() const { return totalDuration; }
    bool isStopped() const { return stopped; }

  protected:
    std::vector<ImageFrame> frames;
    int32_t totalDuration;
    int32_t elapsed;
    uint32_t current;
    bool stopped;
};

class RotoAnimation : public Animation {
  public:
    RotoAnimation() = default;
    ~RotoAnimation() override;

    // Draws the current frame turned by angle degrees, the turned image's top-left at (x, y).
    void drawRotated(SDL_Surface* screen, int32_t x, int32_t y, double angle);

  private:
    // The steering takes few distinct values, so turned frames are kept: a frame drawn again at
    // an angle it was drawn at before turns and allocates nothing. At most turnedCapacity are
    // kept; beyond that the oldest makes room.
    struct Turned {
        uint32_t frame;
        double angle;
        SurfacePtr surface;
    };
    static constexpr size_t turnedCapacity = 32;
    SDL_Surface* turnedFrame(double angle);

    std::vector<Turned> turned;
    size_t oldestTurned = 0;
};
