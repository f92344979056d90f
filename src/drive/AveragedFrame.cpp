// Area averaging in single precision, in the same order of operations for every caller, so that a
// recorded PNG and a frame handed to a learner hold the same bytes.
#include "AveragedFrame.h"

#include <algorithm>
#include <cstring>

namespace {

uint8_t channel(uint32_t pixel, uint32_t mask, uint8_t shift, uint8_t loss) {
    return static_cast<uint8_t>(((pixel & mask) >> shift) << loss);
}

uint32_t pixelAt(const uint8_t* in, uint8_t bytes) {
    if (bytes == 2) {
        uint16_t value;
        std::memcpy(&value, in, 2);
        return value;
    }
    uint32_t value;
    std::memcpy(&value, in, 4);
    return value;
}

// One row of the surface as three planes of channel values.
void decodeRow(const SDL_Surface* surface, int row, float* red, float* green, float* blue) {
    const SDL_PixelFormat& f = *surface->format;
    const uint8_t* in = static_cast<const uint8_t*>(surface->pixels) + row * surface->pitch;
    for (int column = 0; column < surface->w; ++column, in += f.BytesPerPixel) {
        const uint32_t pixel = pixelAt(in, f.BytesPerPixel);
        red[column] = channel(pixel, f.Rmask, f.Rshift, f.Rloss);
        green[column] = channel(pixel, f.Gmask, f.Gshift, f.Gloss);
        blue[column] = channel(pixel, f.Bmask, f.Bshift, f.Bloss);
    }
}

}  // namespace

FrameAverager::Taps FrameAverager::taps(int from, int to) {
    std::vector<std::vector<std::pair<int, float>>> each(to);
    const double scale = static_cast<double>(from) / to;
    size_t most = 1;
    for (int i = 0; i < to; ++i) {
        const double begin = i * scale, end = (i + 1) * scale;
        for (int s = static_cast<int>(begin); s < from && s < end; ++s) {
            const double cover = std::min(end, s + 1.0) - std::max(begin, static_cast<double>(s));
            if (cover > 0) each[i].push_back({s, static_cast<float>(cover / scale)});
        }
        most = std::max(most, each[i].size());
    }
    Taps result;
    result.outputs = to;
    result.perOutput = static_cast<int>(most);
    // A tap of weight 0 adds exactly nothing to a sum of non-negative terms.
    for (const auto& output : each)
        for (size_t t = 0; t < most; ++t) {
            result.source.push_back(t < output.size() ? output[t].first : 0);
            result.weight.push_back(t < output.size() ? output[t].second : 0.0f);
        }
    return result;
}

FrameAverager::FrameAverager(int fromW, int fromH, int width, int height)
    : fromWidth(fromW),
      fromHeight(fromH),
      scaled(width > 0 && height > 0 && (width < fromW || height < fromH)),
      boxes(false),
      across(),
      down() {
    across.outputs = fromWidth;
    down.outputs = fromHeight;
    if (!scaled) return;
    across = taps(fromWidth, width);
    down = taps(fromHeight, height);
    if (fromWidth % width != 0 || fromHeight % height != 0) return;
    // A channel's sum over a box of n pixels is a multiple of 4; its mean lies exactly halfway
    // between two levels only where 8 divides n. Elsewhere the mean is at least 1 / (2n) from
    // halfway, and the single-precision sums, whose error stays below (kx + ky + 4) units of the
    // last place of 256, round it the same way.
    const int kx = fromWidth / width, ky = fromHeight / height, n = kx * ky;
    boxes = n % 8 != 0 && (kx + ky + 4) * 256.0 / (1 << 24) < 1.0 / (4.0 * n);
}

bool FrameAverager::averageBoxes(const SDL_Surface* surface, uint8_t* rgb) const {
    const SDL_PixelFormat& f = *surface->format;
    if (!boxes || f.BytesPerPixel != 2 || f.Rmask != 0xF800 || f.Gmask != 0x07E0 ||
        f.Bmask != 0x001F)
        return false;
    const int width = across.outputs, kx = fromWidth / width, ky = fromHeight / down.outputs;
    const uint32_t n = kx * ky;
    // Column sums of one band of ky rows, a plane a channel in the channels' own bits: a few
    // 16-bit operations a pixel, which the compiler vectorises.
    std::vector<uint16_t> sums(3 * static_cast<size_t>(fromWidth));
    uint16_t* const red = sums.data();
    uint16_t* const green = red + fromWidth;
    uint16_t* const blue = green + fromWidth;
    for (int y = 0; y < down.outputs; ++y) {
        for (int row = y * ky; row < (y + 1) * ky; ++row) {
            const uint16_t* in = reinterpret_cast<const uint16_t*>(
                static_cast<const uint8_t*>(surface->pixels) + row * surface->pitch);
            // The band's first row starts the sums afresh.
            if (row == y * ky) {
                for (int column = 0; column < fromWidth; ++column) {
                    red[column] = in[column] >> 11;
                    green[column] = (in[column] >> 5) & 0x3F;
                    blue[column] = in[column] & 0x1F;
                }
                continue;
            }
            for (int column = 0; column < fromWidth; ++column) {
                const uint16_t pixel = in[column];
                red[column] += pixel >> 11;
                green[column] += (pixel >> 5) & 0x3F;
                blue[column] += pixel & 0x1F;
            }
        }
        for (int x = 0; x < width; ++x) {
            uint32_t r = 0, g = 0, b = 0;
            for (int column = x * kx; column < (x + 1) * kx; ++column) {
                r += red[column];
                g += green[column];
                b += blue[column];
            }
            // Levels of 8, 4 and 8, rounded half up.
            *rgb++ = static_cast<uint8_t>((16 * r + n) / (2 * n));
            *rgb++ = static_cast<uint8_t>((8 * g + n) / (2 * n));
            *rgb++ = static_cast<uint8_t>((16 * b + n) / (2 * n));
        }
    }
    return true;
}

void FrameAverager::average(const SDL_Surface* surface, uint8_t* rgb) const {
    const int width = across.outputs;
    std::vector<float> red(fromWidth), green(fromWidth), blue(fromWidth);
    if (!scaled) {
        for (int row = 0; row < fromHeight; ++row) {
            decodeRow(surface, row, red.data(), green.data(), blue.data());
            for (int column = 0; column < fromWidth; ++column) {
                *rgb++ = static_cast<uint8_t>(red[column]);
                *rgb++ = static_cast<uint8_t>(green[column]);
                *rgb++ = static_cast<uint8_t>(blue[column]);
            }
        }
        return;
    }
    if (averageBoxes(surface, rgb)) return;
    // Across first, every row narrowed to the output's width, then down.
    std::vector<float> narrowed(static_cast<size_t>(width) * fromHeight * 3);
    const int perColumn = across.perOutput;
    for (int row = 0; row < fromHeight; ++row) {
        decodeRow(surface, row, red.data(), green.data(), blue.data());
        float* out = narrowed.data() + static_cast<size_t>(row) * width * 3;
        for (int x = 0; x < width; ++x) {
            const int* source = across.source.data() + x * perColumn;
            const float* weight = across.weight.data() + x * perColumn;
            float r = 0, g = 0, b = 0;
            for (int t = 0; t < perColumn; ++t) {
                r += weight[t] * red[source[t]];
                g += weight[t] * green[source[t]];
                b += weight[t] * blue[source[t]];
            }
            out[x * 3] = r;
            out[x * 3 + 1] = g;
            out[x * 3 + 2] = b;
        }
    }
    const size_t rowFloats = static_cast<size_t>(width) * 3;
    std::vector<float> sum(rowFloats);
    for (int y = 0; y < down.outputs; ++y) {
        std::fill(sum.begin(), sum.end(), 0.0f);
        for (int t = 0; t < down.perOutput; ++t) {
            const float weight = down.weight[y * down.perOutput + t];
            const float* in = narrowed.data() + down.source[y * down.perOutput + t] * rowFloats;
            for (size_t i = 0; i < rowFloats; ++i) sum[i] += weight * in[i];
        }
        for (size_t i = 0; i < rowFloats; ++i)
            *rgb++ = static_cast<uint8_t>(std::min(255.0f, sum[i] + 0.5f));
    }
}

std::vector<uint8_t> averagedFrame(const SDL_Surface* surface, int width, int height) {
    const FrameAverager averager(surface->w, surface->h, width, height);
    std::vector<uint8_t> rgb(static_cast<size_t>(averager.width()) * averager.height() * 3);
    averager.average(surface, rgb.data());
    return rgb;
}
