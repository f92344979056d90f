// A frame as 8-bit RGB rows, averaged down by area: what the lab records and a learner sees.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <vector>

// Scales surfaces of one size down to another: every output pixel the mean of the input area it
// covers, so no pixel is dropped and thin path markers still show as a trace. Made once for many
// frames of the same size.
class FrameAverager {
  public:
    // A width or height of 0, or a size not below the surface's, keeps the surface's size.
    FrameAverager(int fromWidth, int fromHeight, int width, int height);

    int width() const { return across.outputs; }
    int height() const { return down.outputs; }
    // Writes width() x height() x 3 bytes; the surface has 2 or 4 bytes a pixel.
    void average(const SDL_Surface* surface, uint8_t* rgb) const;

  private:
    // The mean of every box in integers, for 5-6-5 surfaces shrunk by whole factors where it gives
    // the same bytes as the sums in single precision: several times faster.
    bool averageBoxes(const SDL_Surface* surface, uint8_t* rgb) const;

    // Which input samples make up each output sample along one axis, and by what share of its
    // area; every output has the same number of taps, those it does not need weigh 0.
    struct Taps {
        int outputs = 0;
        int perOutput = 0;
        std::vector<int> source;    // outputs x perOutput
        std::vector<float> weight;  // outputs x perOutput
    };
    static Taps taps(int from, int to);

    int fromWidth;
    int fromHeight;
    bool scaled;
    bool boxes;  // the factors allow averageBoxes
    Taps across;
    Taps down;
};

// The surface averaged down to width x height (see FrameAverager) as 8-bit RGB rows.
std::vector<uint8_t> averagedFrame(const SDL_Surface* surface, int width, int height);
