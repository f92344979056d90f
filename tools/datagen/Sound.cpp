// Additive and noise synthesis of the two sound effects.
#include "Sound.h"

#include "Rng.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <fstream>

namespace {

constexpr double kPi = 3.14159265358979323846;

std::vector<std::int16_t> toPcm(const std::vector<double>& signal, double peak) {
    double loudest = 0;
    for (const double v : signal) loudest = std::max(loudest, std::abs(v));
    const double gain = loudest > 0 ? peak * 32767 / loudest : 0;
    std::vector<std::int16_t> pcm;
    pcm.reserve(signal.size());
    for (const double v : signal)
        pcm.push_back(
            static_cast<std::int16_t>(std::clamp(std::lround(v * gain), -32767L, 32767L)));
    return pcm;
}

// Moving average that wraps around, so a periodic input stays exactly periodic.
std::vector<double> circularSmooth(const std::vector<double>& in, int width) {
    const int n = static_cast<int>(in.size());
    std::vector<double> out(in.size());
    for (int i = 0; i < n; ++i) {
        double sum = 0;
        for (int k = -width / 2; k <= width / 2; ++k) sum += in[((i + k) % n + n) % n];
        out[i] = sum / (2 * (width / 2) + 1);
    }
    return out;
}

}  // namespace

std::vector<std::int16_t> engineLoop() {
    constexpr int kLength = kSampleRate / 2;
    // Frequencies in cycles per loop: 30 is 60 Hz, the firing rate.
    constexpr int kFiring = 30, kLope = 15, kWobble = 2;
    constexpr double kWobbleDepth = 0.5;
    Rng rng(1001);
    std::array<double, 10> phase{};
    for (double& p : phase) p = rng.range(0, 2 * kPi);
    std::vector<double> hiss(kLength);
    for (double& h : hiss) h = rng.range(-1, 1);
    hiss = circularSmooth(circularSmooth(hiss, 5), 5);

    std::vector<double> signal(kLength);
    for (int i = 0; i < kLength; ++i) {
        const double loop = 2 * kPi * i / kLength;
        const double crank = kFiring * loop + kWobbleDepth * std::sin(kWobble * loop);
        double tone = 0.35 * std::sin(kLope * loop + 1.3);
        for (int n = 1; n <= static_cast<int>(phase.size()); ++n)
            tone += std::sin(n * crank + phase[n - 1]) / std::pow(n, 1.1) * (n == 2 ? 1.6 : 1);
        const double pulse = std::pow(0.5 + 0.5 * std::cos(crank), 6);
        const double weep = 1 + 0.18 * std::sin(kWobble * loop);
        signal[i] = weep * (tone + 2.2 * hiss[i] * (0.25 + pulse));
    }
    return toPcm(signal, 0.5);
}

std::vector<std::int16_t> crashSound() {
    constexpr int kLength = kSampleRate * 4 / 5;
    constexpr double kFadeOut = 0.06;
    constexpr std::array<double, 6> kRings = {431, 937, 1523, 2217, 3089, 4271};
    Rng rng(2002);
    std::array<double, kRings.size()> ringPhase{};
    for (double& p : ringPhase) p = rng.range(0, 2 * kPi);
    struct Debris {
        double at, loudness;
    };
    std::array<Debris, 6> debris{};
    for (Debris& d : debris) d = {rng.range(0.1, 0.55), rng.range(0.25, 0.6)};

    std::vector<double> signal(kLength);
    double low = 0, lower = 0, previous = 0;
    for (int i = 0; i < kLength; ++i) {
        const double t = static_cast<double>(i) / kSampleRate;
        const double white = rng.range(-1, 1);
        low += 0.06 * (white - low);
        lower += 0.06 * (low - lower);
        const double attack = std::min(1.0, t / 0.003);
        double v = attack * std::exp(-t / 0.09) * white;
        const double sweep = 2 * kPi * (40 * t + 30 * 0.15 * (1 - std::exp(-t / 0.15)));
        v += attack * std::exp(-t / 0.16) * (9 * lower + 0.8 * std::sin(sweep));
        for (size_t k = 0; k < kRings.size(); ++k)
            if (t > 0.004)
                v += 0.18 / (1 + 0.5 * k) * std::exp(-(t - 0.004) / (0.3 - 0.035 * k)) *
                     std::sin(2 * kPi * kRings[k] * t + ringPhase[k]);
        for (const Debris& d : debris)
            if (t >= d.at) v += d.loudness * std::exp(-(t - d.at) / 0.012) * (white - previous);
        previous = white;
        const double tail = static_cast<double>(kLength - 1 - i) / kSampleRate;
        signal[i] = v * std::min(1.0, tail / kFadeOut);
    }
    return toPcm(signal, 0.92);
}

bool writeWav(const std::string& path, const std::vector<std::int16_t>& samples) {
    std::vector<std::uint8_t> bytes;
    const auto put = [&bytes](std::uint32_t v, int size) {
        for (int i = 0; i < size; ++i) bytes.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    };
    const auto tag = [&bytes](const char* t) { bytes.insert(bytes.end(), t, t + 4); };
    const std::uint32_t dataSize = static_cast<std::uint32_t>(samples.size() * 2);
    tag("RIFF");
    put(36 + dataSize, 4);
    tag("WAVE");
    tag("fmt ");
    put(16, 4);
    put(1, 2);  // PCM
    put(1, 2);  // mono
    put(kSampleRate, 4);
    put(kSampleRate * 2, 4);
    put(2, 2);
    put(16, 2);
    tag("data");
    put(dataSize, 4);
    for (const std::int16_t s : samples) put(static_cast<std::uint16_t>(s), 2);
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}
