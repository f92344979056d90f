// What every part of the binding converts: paths, courses, commands and arrays that view memory
// the C++ side keeps.
#pragma once

#include "Batch.h"

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>
#include <pybind11/stl/filesystem.h>

#include <atomic>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace py = pybind11;

// A folder of bitmaps, or None for a drive without sprites.
using Folder = std::optional<std::filesystem::path>;
using FrameSize = std::optional<std::pair<int, int>>;

// The folder's name for the drive library: empty for None.
std::string folderName(const Folder& folder);
// The course file's text, named by its path; FileNotFoundError when it cannot be read.
CourseText readCourse(const std::filesystem::path& path);
// ValueError with the problem, when there is one.
void refuse(std::string problem);
// The setup of the keywords that every drive takes, checked.
EpisodeSetup episodeSetup(const Folder& images, const FrameSize& frameSize, bool draw, int laps,
                          double lapLimit, double maxCrossTrack, int frameMs);
// COUNT commands from an array of COUNT rows of [steering, speed] (or one row, for one drive).
std::vector<ControlCommand> commands(const py::handle& actions, size_t count);
unsigned checkedSeed(const py::handle& seed);

// A seed argument, checked as checkedSeed does while the arguments are read, so that signatures
// name it an int and a bad one is refused in the lab's words rather than as a mismatched call.
struct Seed {
    unsigned value = 0;
};

namespace pybind11::detail {
template <>
struct type_caster<Seed> {
    PYBIND11_TYPE_CASTER(Seed, const_name("int"));
    bool load(handle seed, bool) {
        value.value = checkedSeed(seed);
        return true;
    }
};
}  // namespace pybind11::detail

// A read-only NumPy view of DATA, kept alive by OWNER.
template <typename T>
py::array view(const T* data, std::vector<py::ssize_t> shape, const py::handle& owner) {
    py::array out(py::dtype::of<T>(), std::move(shape), data, owner);
    py::detail::array_proxy(out.ptr())->flags &= ~py::detail::npy_api::NPY_ARRAY_WRITEABLE_;
    return out;
}

// A copy of DATA that is Python's own.
template <typename T>
py::array_t<T> fresh(const T* data, const std::vector<py::ssize_t>& shape) {
    py::array_t<T> out(shape);
    std::copy(data, data + out.size(), out.mutable_data());
    return out;
}

// One caller at a time for a drive or a batch: another Python thread stepping the same one while
// the GIL is released gets an error, not a race.
class Claim {
  public:
    Claim(std::atomic<bool>& busy, const char* what);
    ~Claim() { busy.store(false); }
    Claim(const Claim&) = delete;
    Claim& operator=(const Claim&) = delete;

  private:
    std::atomic<bool>& busy;
};
