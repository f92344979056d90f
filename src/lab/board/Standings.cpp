// Summing the board's laps and ranking its drivers.
#include "Standings.h"

#include "Tuner.h"

#include <algorithm>
#include <cmath>

BoardFigures summarise(const std::vector<LapFigures>& laps) {
    BoardFigures figures;
    double squares = 0;
    for (const LapFigures& lap : laps) {
        ++figures.laps;
        figures.meanLap += lap.seconds;
        figures.worst = std::max(figures.worst, lap.worstCrossTrack);
        figures.hits += lap.obstaclesHit;
        squares += lap.rmsCrossTrack * lap.rmsCrossTrack * lap.frames;
        figures.frames += lap.frames;
    }
    if (figures.laps > 0) figures.meanLap /= figures.laps;
    if (figures.frames > 0) figures.rms = std::sqrt(squares / figures.frames);
    return figures;
}

BoardFigures driveFigures(const BoardDrive& drive) {
    return drive.reported ? summarise(drive.report.laps) : BoardFigures();
}

std::vector<Standing> rankDrivers(size_t drivers, const std::vector<BoardDrive>& drives) {
    std::vector<Standing> standings(drivers);
    std::vector<std::vector<LapFigures>> laps(drivers);
    for (size_t d = 0; d < drivers; ++d) standings[d].driver = d;
    for (const BoardDrive& drive : drives) {
        if (drive.failure.empty()) ++standings[drive.driver].finished;
        if (drive.reported)
            laps[drive.driver].insert(laps[drive.driver].end(), drive.report.laps.begin(),
                                      drive.report.laps.end());
    }
    for (size_t d = 0; d < drivers; ++d) standings[d].total = summarise(laps[d]);
    const auto score = [](const Standing& s) {
        const BoardFigures& t = s.total;
        return t.laps == 0 ? 1e9 : lapScore(t.meanLap, static_cast<double>(t.hits) / t.laps, t.rms);
    };
    std::stable_sort(standings.begin(), standings.end(), [&](const Standing& a, const Standing& b) {
        return a.finished != b.finished ? a.finished > b.finished : score(a) < score(b);
    });
    return standings;
}
