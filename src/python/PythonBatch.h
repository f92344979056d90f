// roadsim._roadsim.Batch: the batch of episodes for the Python environments, its arrays as NumPy
// views of the batch's own memory.
#pragma once

#include "Readouts.h"
#include "Watcher.h"

#include <memory>

class PythonBatch {
  public:
    PythonBatch(std::vector<CourseText> courses, const EpisodeSetup& setup, unsigned threads,
                bool autoreset);

    void reset(const std::vector<Seed>& seeds);
    // SEED_FOR(i) gives the seed of drive i when its episode ended and it starts again.
    // Answers copies of the round's states, rewards, terminated, truncated and experts, and the
    // drives whose count of finished laps changed.
    py::tuple step(const py::object& actions, const py::object& seedFor);
    void setCourse(size_t i, const std::string& text, const std::string& source,
                   const Folder& images);
    void watch(double speedUp);

    const Batch& batch() const { return drives; }
    bool watched() const { return watcher != nullptr; }

  private:
    Batch drives;
    std::unique_ptr<Watcher> watcher;
    std::atomic<bool> busy{false};
};

// One drive of a batch, for reading: it lives as long as its batch.
struct BatchDrive {
    py::object owner;
    const PythonBatch* batch;
    size_t index;
    const Episode& episode() const { return batch->batch().episode(index); }
};

void bindBatch(py::module_& module);
