// Synthesised engine loop and crash, and a writer for 16-bit mono PCM WAV files.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

constexpr int kSampleRate = 22050;

// Every component runs a whole number of cycles, so the loop joins without a click.
std::vector<std::int16_t> engineLoop();
std::vector<std::int16_t> crashSound();

bool writeWav(const std::string& path, const std::vector<std::int16_t>& samples);
