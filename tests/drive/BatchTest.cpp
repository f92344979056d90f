// The batch: its drives step as each would alone, whatever its threads, and start again where
// their episodes end; its pool runs every item of a round once.
#include "Batch.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

const std::vector<CourseText> courses = {
    {readFile(ROADSIM_DATA_DIR "/courses.txt"), "courses.txt", ""},
    {readFile(ROADSIM_DATA_DIR "/gallery/trefoil.txt"), "trefoil", ""},
    {readFile(ROADSIM_DATA_DIR "/gallery/hairpin_hollow.txt"), "hairpin_hollow", ""}};

// Drive i follows the expert, or, every third drive, turns hard right until it loses the course.
ControlCommand choice(size_t i, const float* expert) {
    if (i % 3 == 2) return {45, 20};
    return {expert[0], expert[1]};
}

TEST(Batch, DrivesStepAsEachAloneAndStartAgainWhereTheirEpisodesEnd) {
    EpisodeSetup setup;
    setup.laps = 1;
    setup.lapLimitMs = 15000;  // the followers' episodes are cut short, the strays end sooner
    setup.maxCrossTrackFt = 12;
    const struct {
        size_t drives;
        unsigned threads;
    } cases[] = {{1, 1}, {1, 3}, {5, 2}, {6, 0}};
    for (const auto& c : cases) {
        std::vector<CourseText> chosen;
        std::vector<std::unique_ptr<Episode>> alone;
        std::vector<unsigned> seeds;
        for (size_t i = 0; i < c.drives; ++i) {
            chosen.push_back(courses[i % courses.size()]);
            alone.push_back(std::make_unique<Episode>(chosen[i].text, chosen[i].source, setup));
            seeds.push_back(static_cast<unsigned>(10 + i));
            alone[i]->reset(seeds[i]);
        }
        Batch batch(chosen, setup, c.threads, true);
        ASSERT_EQ(batch.problem(), "");
        batch.reset(seeds);
        int terminated = 0, truncated = 0;
        for (int round = 0; round < 400; ++round) {
            std::vector<ControlCommand> commands;
            for (size_t i = 0; i < c.drives; ++i)
                commands.push_back(choice(i, &batch.experts()[i * 2]));
            for (unsigned& seed : seeds) seed += 100;
            batch.step(commands, seeds);
            for (size_t i = 0; i < c.drives; ++i) {
                StepOutcome outcome;
                if (alone[i]->ended()) {
                    alone[i]->reset(seeds[i]);
                } else {
                    outcome = alone[i]->step(commands[i]);
                }
                float state[stateFieldCount];
                alone[i]->writeState(state);
                const float* row = &batch.states()[i * stateFieldCount];
                ASSERT_TRUE(std::equal(state, state + stateFieldCount, row)) << i << " " << round;
                ASSERT_EQ(batch.rewards()[i], outcome.reward) << i << " " << round;
                ASSERT_EQ(batch.terminated()[i], outcome.terminated) << i << " " << round;
                ASSERT_EQ(batch.truncated()[i], outcome.truncated) << i << " " << round;
                ASSERT_EQ(batch.ends()[i], static_cast<uint8_t>(outcome.end)) << i << " " << round;
                ASSERT_EQ(batch.hits()[i], alone[i]->stepped().hits()) << i << " " << round;
                ASSERT_EQ(batch.progress()[i], alone[i]->progress()) << i << " " << round;
                terminated += outcome.terminated;
                truncated += outcome.truncated;
            }
        }
        if (c.drives > 2) {
            EXPECT_GT(terminated, 0) << c.drives;
            EXPECT_GT(truncated, 0) << c.drives;
        }
        // Destroyed idle, its threads asleep.
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

TEST(Episode, EndsWithoutProgressAndAtTheStepLimit) {
    const struct {
        int64_t maxSteps;
        ControlCommand command;
        DriveEnd end;
        int steps;                                        // 0: any
    } cases[] = {{0, {0, 0}, DriveEnd::noProgress, 600},  // parked: 30 s of 50 ms steps
                 {0, {45, 20}, DriveEnd::noProgress, 0},  // circling
                 {40, {0, 20}, DriveEnd::stepLimit, 40}};
    for (const auto& c : cases) {
        EpisodeSetup setup;
        setup.maxSteps = c.maxSteps;
        setup.maxCrossTrackFt = 1000;  // so that circling goes on
        Episode episode(courses[0].text, courses[0].source, setup);
        episode.reset(1);
        int steps = 0;
        StepOutcome outcome;
        for (; !episode.ended(); ++steps) outcome = episode.step(c.command);
        EXPECT_EQ(endWords(outcome.end), std::string(endWords(c.end))) << steps;
        EXPECT_TRUE(outcome.truncated && !outcome.terminated);
        if (c.steps > 0) {
            EXPECT_EQ(steps, c.steps);
        }
    }
}

TEST(StepPool, RunsEveryItemOfEveryRoundOnceWhateverTheThreads) {
    for (const unsigned threads : {1u, 2u, 8u}) {
        StepPool pool(threads);
        EXPECT_EQ(pool.threads(), threads);
        // 70,000 items take more than one round's shares can number.
        for (const size_t count : {0, 1, 3, 100, 70000}) {
            const int rounds = count > 100 ? 2 : 50;
            std::vector<std::atomic<int>> calls(count);
            for (int round = 0; round < rounds; ++round)
                pool.run(count, [&](size_t i) { ++calls[i]; });
            for (size_t i = 0; i < count; ++i)
                ASSERT_EQ(calls[i], rounds) << threads << " " << count << " " << i;
        }
    }
}

}  // namespace
