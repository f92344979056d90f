// Seeded random numbers and lattice noise of the generator's own, so every run writes the same
// bytes.
#pragma once

#include <cstdint>

class Rng {
  public:
    explicit Rng(std::uint32_t seed) : state_(seed != 0 ? seed : 0x9E3779B9u) {}

    std::uint32_t next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return state_;
    }
    double uniform() { return next() / 4294967296.0; }
    double range(double lo, double hi) { return lo + (hi - lo) * uniform(); }
    int below(int n) { return static_cast<int>(uniform() * n); }

  private:
    std::uint32_t state_;
};

// A value in [0,1) fixed by the lattice point and seed alone.
double latticeValue(int x, int y, std::uint32_t seed);

// Octaves of smoothly interpolated lattice noise, each twice as fine and half as strong, normalised
// to [0,1).
double fractalNoise(double x, double y, int octaves, std::uint32_t seed);
