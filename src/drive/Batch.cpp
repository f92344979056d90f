// Each drive's step, reset and outputs run on the pool's threads, and touch only the drive's own
// rows of the arrays.
#include "Batch.h"

#include <algorithm>
#include <thread>

namespace {

unsigned threadsFor(unsigned asked, size_t drives) {
    if (asked > 0) return asked;
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    return static_cast<unsigned>(std::min<size_t>(cores, std::max<size_t>(drives, 1)));
}

}  // namespace

namespace {

std::unique_ptr<Episode> episodeOf(const CourseText& course, EpisodeSetup setup) {
    setup.imageFolder = course.imageFolder;
    return std::make_unique<Episode>(course.text, course.source, setup);
}

}  // namespace

Batch::Batch(const std::vector<CourseText>& courses, const EpisodeSetup& episodeSetup,
             unsigned threads, bool autoresetting)
    : setup(episodeSetup),
      autoreset(autoresetting),
      rows(courses.size()),
      frameBytes(static_cast<size_t>(setup.frameWidth) * setup.frameHeight * 3),
      stateRows(courses.size() * stateFieldCount),
      expertRows(courses.size() * 2),
      sightRows(setup.sight ? courses.size() * sightFieldCount : 0),
      frameRows(courses.size() * frameBytes),
      rewardRow(courses.size()),
      terminatedRow(courses.size()),
      truncatedRow(courses.size()),
      lapCountRow(courses.size()),
      hitRow(courses.size()),
      distanceRow(courses.size()),
      progressRow(courses.size()),
      endRow(courses.size()),
      pool(threadsFor(threads, courses.size())) {
    for (const CourseText& course : courses) episodes.push_back(episodeOf(course, setup));
}

std::string Batch::setCourse(size_t i, const CourseText& course) {
    std::unique_ptr<Episode> replacement = episodeOf(course, setup);
    if (!replacement->valid()) return replacement->error();
    episodes[i] = std::move(replacement);
    return "";
}

std::string Batch::problem() const {
    for (const std::unique_ptr<Episode>& episode : episodes)
        if (!episode->valid()) return episode->error();
    return "";
}

bool Batch::anyEnded() const {
    return std::any_of(episodes.begin(), episodes.end(),
                       [](const std::unique_ptr<Episode>& e) { return e->ended(); });
}

void Batch::restart(size_t i, unsigned seed) {
    episodes[i]->reset(seed);
    rows[i].outcome = {};
    observe(i);
}

void Batch::observe(size_t i) {
    const Episode& episode = *episodes[i];
    Row& row = rows[i];
    episode.writeState(row.state);
    episode.writeExpert(row.expert);
    if (setup.sight) episode.writeSight(row.sight);
    // A frame fills lines of its own.
    if (frameBytes > 0) episode.writeFrame(&frameRows[i * frameBytes]);
    row.laps = static_cast<int64_t>(episode.stepped().getLaps().size());
    row.hits = episode.stepped().hits();
    row.distance = episode.distance();
    row.progress = episode.progress();
}

void Batch::gather() {
    for (size_t i = 0; i < rows.size(); ++i) {
        const Row& row = rows[i];
        std::copy(row.state, row.state + stateFieldCount, &stateRows[i * stateFieldCount]);
        std::copy(row.expert, row.expert + 2, &expertRows[i * 2]);
        if (setup.sight)
            std::copy(row.sight, row.sight + sightFieldCount, &sightRows[i * sightFieldCount]);
        rewardRow[i] = row.outcome.reward;
        terminatedRow[i] = row.outcome.terminated;
        truncatedRow[i] = row.outcome.truncated;
        lapCountRow[i] = row.laps;
        hitRow[i] = row.hits;
        distanceRow[i] = row.distance;
        progressRow[i] = row.progress;
        endRow[i] = static_cast<uint8_t>(row.outcome.end);
    }
}

void Batch::reset(const std::vector<unsigned>& seeds) {
    pool.run(episodes.size(), [&](size_t i) { restart(i, seeds[i]); });
    gather();
    isStarted = true;
}

void Batch::step(const std::vector<ControlCommand>& commands,
                 const std::vector<unsigned>& resetSeeds) {
    pool.run(episodes.size(), [&](size_t i) {
        Episode& episode = *episodes[i];
        if (restarts(i)) {
            restart(i, resetSeeds[i]);
            return;
        }
        rows[i].outcome = episode.step(commands[i]);
        observe(i);
    });
    gather();
}
