// The program's mixed sound as SDL's disk audio driver writes it: 22050 Hz, signed 16-bit, stereo.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

inline constexpr size_t diskAudioBytesPerSecond = 22050 * 2 * 2;

// The loudest sample of each tenth of a second of the file, in order; empty without a file.
std::vector<int> peaksPerTenthSecond(const std::string& path);

// Index of the first window whose peak lies within [low, high].
std::optional<size_t> firstWindowWithin(const std::vector<int>& peaks, int low, int high);

// Size of the file so far, or nothing when it does not exist.
std::optional<size_t> fileSize(const std::string& path);
