// Python's values into the drive library's, with Python's errors in the library's words.
#include "Convert.h"

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>

std::string folderName(const Folder& folder) {
    return folder ? folder->u8string() : "";
}

CourseText readCourse(const std::filesystem::path& path) {
    const std::string name = path.u8string();
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    if (!file || !(text << file.rdbuf())) {
        PyErr_SetString(PyExc_FileNotFoundError, ("cannot read the course file " + name).c_str());
        throw py::error_already_set();
    }
    return {text.str(), name, ""};
}

void refuse(std::string problem) {
    while (!problem.empty() && problem.back() == '\n') problem.pop_back();
    if (!problem.empty()) throw py::value_error(problem);
}

EpisodeSetup episodeSetup(const Folder& images, const FrameSize& frameSize, bool draw, int laps,
                          double lapLimit, double maxCrossTrack, int frameMs) {
    EpisodeSetup setup;
    setup.imageFolder = folderName(images);
    if (frameSize) {
        const auto [width, height] = *frameSize;
        if (!frameSizeFits(width, height))
            refuse(frameSizeProblem("frame_size",
                                    std::to_string(width) + "x" + std::to_string(height)));
        setup.frameWidth = width;
        setup.frameHeight = height;
    }
    setup.drawScreen = draw;
    setup.laps = laps;
    refuse(lapLimitProblem("lap_limit", lapLimit));
    setup.lapLimitMs = std::llround(lapLimit * 1000);
    setup.maxCrossTrackFt = maxCrossTrack;
    setup.frameMs = frameMs;
    refuse(episodeProblem(setup));
    return setup;
}

namespace {

// The actions' numbers as a table of COUNT rows of two, in the actions' own type (no conversion for
// float32 or float64, which are what learners give); refused with the shape asked for.
template <typename Number>
std::vector<ControlCommand> commandsFrom(const py::handle& actions,
                                         const py::array_t<Number>& table, size_t count) {
    const bool oneRow = count == 1 && table && table.ndim() == 1 && table.size() == 2;
    if (!oneRow && (!table || table.ndim() != 2 || table.shape(0) != py::ssize_t(count) ||
                    table.shape(1) != 2)) {
        if (count == 1)
            throw py::value_error("an action is two numbers, [steering degrees, speed mph], not " +
                                  std::string(py::repr(actions)));
        throw py::value_error("actions must be " + std::to_string(count) +
                              " rows of steering and speed, shape (" + std::to_string(count) +
                              ", 2), not " + std::string(py::repr(actions)));
    }
    std::vector<ControlCommand> out(count);
    const Number* data = table.data();
    for (ControlCommand& command : out) {
        command = {data[0], data[1]};
        if (!std::isfinite(command.steering) || !std::isfinite(command.speed))
            throw py::value_error("an action must be finite numbers, not [" +
                                  std::to_string(command.steering) + ", " +
                                  std::to_string(command.speed) + "]");
        data += 2;
    }
    return out;
}

}  // namespace

std::vector<ControlCommand> commands(const py::handle& actions, size_t count) {
    using Singles = py::array_t<float, py::array::c_style>;
    if (Singles::check_(actions))
        return commandsFrom<float>(actions, py::reinterpret_borrow<Singles>(actions), count);
    return commandsFrom<double>(
        actions, py::array_t<double, py::array::c_style | py::array::forcecast>::ensure(actions),
        count);
}

unsigned checkedSeed(const py::handle& seed) {
    const bool whole = py::isinstance<py::int_>(seed) && !py::isinstance<py::bool_>(seed);
    const bool numpyWhole = py::hasattr(seed, "dtype") && py::hasattr(seed, "__index__") &&
                            !py::isinstance<py::bool_>(seed) &&
                            py::str(seed.attr("dtype").attr("kind")).cast<std::string>() != "b";
    if (whole || numpyWhole) {
        const py::int_ value(py::reinterpret_borrow<py::object>(seed));
        if (value >= py::int_(seedBound.low) && value <= py::int_(seedBound.high))
            return value.cast<unsigned>();
    }
    throw py::value_error(wholeProblem("the seed", seedBound, std::string(py::repr(seed))));
}

Claim::Claim(std::atomic<bool>& flag, const char* what) : busy(flag) {
    if (busy.exchange(true))
        throw std::runtime_error(std::string(what) + " is being stepped by another thread");
}
