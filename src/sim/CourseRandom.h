// The course's random numbers: the sequence of the GNU C library's rand(), kept by the course
// itself, so that a seed scatters the same obstacles on every system (Windows' rand() draws
// another sequence, of 15 bits).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

class CourseRandom {
  public:
    explicit CourseRandom(unsigned seed = 1);
    // Starts the sequence again, as srand(seed) does.
    void seed(unsigned seed);
    // The next number from 0 to 2147483647, as rand() gives it.
    int32_t next();

  private:
    // The additive feedback generator x[i] = x[i - 3] + x[i - 31] over the last 31 words.
    std::array<uint32_t, 31> state;
    size_t front;
    size_t rear;
};
