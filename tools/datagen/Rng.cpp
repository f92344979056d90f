// Lattice and fractal noise built on an integer hash.
#include "Rng.h"

#include <cmath>

double latticeValue(int x, int y, std::uint32_t seed) {
    std::uint32_t h = seed ^ (static_cast<std::uint32_t>(x) * 0x8DA6B343u) ^
                      (static_cast<std::uint32_t>(y) * 0xD8163841u);
    h ^= h >> 16;
    h *= 0x7FEB352Du;
    h ^= h >> 15;
    h *= 0x846CA68Bu;
    h ^= h >> 16;
    return h / 4294967296.0;
}

namespace {

double valueNoise(double x, double y, std::uint32_t seed) {
    const double fx = std::floor(x), fy = std::floor(y);
    const int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
    const double tx = x - fx, ty = y - fy;
    const double sx = tx * tx * (3 - 2 * tx), sy = ty * ty * (3 - 2 * ty);
    const double top = latticeValue(ix, iy, seed) +
                       sx * (latticeValue(ix + 1, iy, seed) - latticeValue(ix, iy, seed));
    const double bottom =
        latticeValue(ix, iy + 1, seed) +
        sx * (latticeValue(ix + 1, iy + 1, seed) - latticeValue(ix, iy + 1, seed));
    return top + sy * (bottom - top);
}

}  // namespace

double fractalNoise(double x, double y, int octaves, std::uint32_t seed) {
    double sum = 0, weight = 0, amplitude = 1;
    for (int i = 0; i < octaves; ++i) {
        sum += amplitude * valueNoise(x, y, seed + 977u * static_cast<std::uint32_t>(i));
        weight += amplitude;
        amplitude *= 0.5;
        x *= 2;
        y *= 2;
    }
    return sum / weight;
}
