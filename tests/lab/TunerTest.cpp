// The tuner: the tunings that the keys' grid reaches, and a search never worse than its start.
#include "LabDrive.h"
#include "Tuner.h"

#include "LabTestSupport.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(Tuner, GridTuningIsWhatTheKeysReach) {
    GridTuning grid;
    grid.steps[0] = 10;
    grid.steps[1] = -11;
    grid.steps[3] = 2;
    const Tuning tuning = toTuning(grid);
    EXPECT_EQ(tuning.headingGain, 1.0);
    EXPECT_EQ(tuning.trackGain, 0.0);
    EXPECT_EQ(tuning.pathWeight, 0.5);
    EXPECT_DOUBLE_EQ(tuning.obstacleThreshold, 0.6);
    EXPECT_EQ(keyPresses(grid), "a x10, x x11, f x2");
    EXPECT_EQ(keyPresses(GridTuning()), "none");
    const GridTuning back = toGrid(toTuning(grid));
    EXPECT_EQ(back.steps[0], 10);
    EXPECT_EQ(back.steps[1], -10);
    EXPECT_EQ(back.steps[3], 2);
}

TEST(Tuner, NeverReturnsATuningWorseThanItsStart) {
    LabDrive lab(loopCourse, "loop");
    const std::vector<unsigned> seeds = {1, 2};
    GridTuning start;
    start.steps[2] = -6;  // path 0.2: a poor start, so the search has room to work
    int reports = 0;
    const TuneResult result = tune(lab, start, seeds, 20, [&](const TuneResult&) { ++reports; });
    EXPECT_LE(result.bestScore.value, result.startScore.value);
    const Score again = scoreTuning(lab, toTuning(result.best), seeds, 20);
    EXPECT_EQ(again.value, result.bestScore.value) << "the reported score is reproducible";
    EXPECT_GE(reports, 1);
    EXPECT_GT(result.evaluations, 10);
}

}  // namespace
