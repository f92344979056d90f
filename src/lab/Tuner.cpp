// Scoring tunings over several obstacle layouts and descending on the key grid.
#include "Tuner.h"

#include "TuningStep.h"

#include <cmath>
#include <cstdlib>
#include <iterator>
#include <sstream>

namespace {

constexpr int sliderCount = static_cast<int>(std::size(tuningSliders));
// Ten presses reach either bound from the default.
constexpr int maxSteps = 10;

}  // namespace

Tuning toTuning(const GridTuning& grid) {
    Tuning tuning;
    for (int slider = 0; slider < sliderCount; ++slider) {
        double& value = tuning.*tuningSliders[slider].value;
        for (int i = 0; i < grid.steps[slider]; ++i) value = tuningStepUp(value);
        for (int i = 0; i > grid.steps[slider]; --i) value = tuningStepDown(value);
    }
    return tuning;
}

GridTuning toGrid(const Tuning& tuning) {
    GridTuning grid;
    for (int slider = 0; slider < sliderCount; ++slider)
        grid.steps[slider] = static_cast<int>(std::lround(
            (tuning.*tuningSliders[slider].value - Tuning().*tuningSliders[slider].value) / 0.05));
    return grid;
}

std::string keyPresses(const GridTuning& grid) {
    std::ostringstream out;
    for (int slider = 0; slider < sliderCount; ++slider) {
        const int steps = grid.steps[slider];
        if (steps == 0) continue;
        if (out.tellp() > 0) out << ", ";
        out << (steps > 0 ? tuningSliders[slider].raiseKey : tuningSliders[slider].lowerKey) << " x"
            << std::abs(steps);
    }
    return out.tellp() > 0 ? out.str() : "none";
}

Score scoreTuning(LabDrive& lab, const Tuning& tuning, const std::vector<unsigned>& seeds,
                  int frameMs) {
    Score score;
    score.finished = true;
    for (const unsigned seed : seeds) {
        DriveSettings settings;
        settings.frameMs = frameMs;
        settings.seed = seed;
        settings.tuning = tuning;
        const DriveResult result = lab.drive(settings);
        if (!result.finished()) {
            score.finished = false;
            score.value += 1e6;
            continue;
        }
        const LapFigures& lap = result.laps.front();
        score.meanLapSeconds += lap.seconds / seeds.size();
        score.meanHits += static_cast<double>(lap.obstaclesHit) / seeds.size();
        score.meanRmsCrossTrack += lap.rmsCrossTrack / seeds.size();
        score.value += lapScore(lap.seconds, lap.obstaclesHit, lap.rmsCrossTrack) / seeds.size();
    }
    return score;
}

TuneResult tune(LabDrive& lab, const GridTuning& start, const std::vector<unsigned>& seeds,
                int frameMs, const std::function<void(const TuneResult&)>& progress) {
    TuneResult result;
    result.best = start;
    result.startScore = result.bestScore = scoreTuning(lab, toTuning(start), seeds, frameMs);
    result.evaluations = 1;
    progress(result);
    for (const int stride : {4, 2, 1}) {
        bool improved = true;
        while (improved) {
            improved = false;
            for (int slider = 0; slider < sliderCount; ++slider) {
                for (const int direction : {1, -1}) {
                    GridTuning candidate = result.best;
                    candidate.steps[slider] += direction * stride;
                    if (std::abs(candidate.steps[slider]) > maxSteps) continue;
                    const Score score = scoreTuning(lab, toTuning(candidate), seeds, frameMs);
                    ++result.evaluations;
                    if (score.value < result.bestScore.value) {
                        result.best = candidate;
                        result.bestScore = score;
                        improved = true;
                        progress(result);
                    }
                }
            }
        }
    }
    return result;
}
