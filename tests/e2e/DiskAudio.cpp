// Reading the disk audio file into peak levels.
#include "DiskAudio.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>

std::vector<int> peaksPerTenthSecond(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<int> peaks;
    constexpr size_t window = diskAudioBytesPerSecond / 10;
    std::vector<char> bytes(window);
    while (in.read(bytes.data(), static_cast<std::streamsize>(window)) || in.gcount() > 0) {
        const size_t got = static_cast<size_t>(in.gcount());
        int peak = 0;
        for (size_t i = 0; i + 1 < got; i += 2) {
            const auto sample = static_cast<int16_t>(static_cast<uint8_t>(bytes[i]) |
                                                     static_cast<uint8_t>(bytes[i + 1]) << 8);
            peak = std::max(peak, std::abs(static_cast<int>(sample)));
        }
        peaks.push_back(peak);
        if (got < window) break;
    }
    return peaks;
}

std::optional<size_t> firstWindowWithin(const std::vector<int>& peaks, int low, int high) {
    for (size_t i = 0; i < peaks.size(); ++i)
        if (peaks[i] >= low && peaks[i] <= high) return i;
    return std::nullopt;
}

std::optional<size_t> fileSize(const std::string& path) {
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) return std::nullopt;
    return static_cast<size_t>(info.st_size);
}
