// Frame selection by elapsed time, and plain and rotated drawing of the current frame.
#include "Animation.h"

#include <SDL_rotozoom.h>

#include <cassert>
#include <iostream>
#include <utility>

Animation::Animation() : frames(), totalDuration(0), elapsed(0), current(0), stopped(false) {}

Animation::~Animation() = default;

void Animation::addFrame(const ImageFrame& frame) {
    frames.push_back(frame);
    totalDuration += frame.getDuration();
}

void Animation::addFrame(const std::string& fileName, int32_t duration) {
    addFrame(ImageFrame(fileName, duration));
}

void Animation::update(int32_t ms) {
    if (stopped) return;
    // Without a positive cycle there is nothing to wrap by, and no frame could be chosen.
    if (totalDuration <= 0) return;
    elapsed += ms;
    if (elapsed > totalDuration) elapsed = (elapsed - 1) % totalDuration + 1;
    int32_t sum = 0;
    for (uint32_t i = 0; i < frames.size(); ++i) {
        sum += frames[i].getDuration();
        if (sum > elapsed) {
            current = i;
            return;
        }
    }
}

void Animation::draw(SDL_Surface* screen, int32_t x, int32_t y) {
    assert(screen != NULL);
    if (current >= frames.size()) return;
    SDL_Surface* surface = frames[current].getSurface();
    if (surface == nullptr) return;
    SDL_Rect source{0, 0, static_cast<Uint16>(surface->w), static_cast<Uint16>(surface->h)};
    SDL_Rect target{static_cast<Sint16>(x), static_cast<Sint16>(y), source.w, source.h};
    SDL_UpperBlit(surface, &source, screen, &target);
}

void Animation::stop() {
    stopped = true;
    elapsed = 0;
    current = 0;
}

RotoAnimation::~RotoAnimation() = default;

void RotoAnimation::drawRotated(SDL_Surface* screen, int32_t x, int32_t y, double angle) {
    if (screen == nullptr) {
        std::cerr << "Screen!=NULL Roadsim:108 " << std::endl;
        return;
    }
    SDL_Surface* image = turnedFrame(angle);
    if (image == nullptr) return;
    SDL_Rect source{0, 0, static_cast<Uint16>(image->w), static_cast<Uint16>(image->h)};
    SDL_Rect target{static_cast<Sint16>(x), static_cast<Sint16>(y), source.w, source.h};
    SDL_UpperBlit(image, &source, screen, &target);
}

SDL_Surface* RotoAnimation::turnedFrame(double angle) {
    if (current >= frames.size()) return nullptr;
    for (const Turned& kept : turned)
        if (kept.frame == current && kept.angle == angle) return kept.surface.get();
    SDL_Surface* frame = frames[current].getRotatable();
    if (frame == nullptr) return nullptr;
    SurfacePtr made(rotozoomSurface(frame, angle, 1.0, 1));
    if (!made) return nullptr;
    // Run-length encoded, the turned frame blends only its visible pixels.
    SDL_SetAlpha(made.get(), SDL_SRCALPHA | SDL_RLEACCEL, SDL_ALPHA_OPAQUE);
    SDL_Surface* const result = made.get();
    if (turned.size() < turnedCapacity) {
        turned.push_back({current, angle, std::move(made)});
    } else {
        turned[oldestTurned] = {current, angle, std::move(made)};
        oldestTurned = (oldestTurned + 1) % turnedCapacity;
    }
    return result;
}
