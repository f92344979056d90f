// The drive stepped by hand: its checks before a step, its window, and several such drives stepped
// at once on threads kept with the module.
#include "PythonDrive.h"

#include <algorithm>
#include <cstring>
#include <thread>

PythonDrive::PythonDrive(const std::filesystem::path& course, const EpisodeSetup& setup)
    : episode([&] {
          CourseText text = readCourse(course);
          return Episode(std::move(text.text), text.source, setup);
      }()) {
    refuse(episode.error());
    frameBytes.resize(static_cast<size_t>(setup.frameWidth) * setup.frameHeight * 3);
}

void PythonDrive::reset(Seed seed) {
    const Claim claim(busy, "this drive");
    const py::gil_scoped_release released;
    episode.reset(seed.value);
    takeFrame();
}

void PythonDrive::checkSteppable() const {
    if (!episode.started()) throw std::runtime_error("reset() the drive before stepping it");
    if (episode.stepped().over())
        throw std::runtime_error(std::string("the drive is over (") +
                                 endWords(episode.stepped().end()) +
                                 "): reset() it to drive again");
}

void PythonDrive::step(const py::object& action) {
    const ControlCommand command = commands(action, 1).front();
    checkSteppable();
    const Claim claim(busy, "this drive");
    const py::gil_scoped_release released;
    advance(command);
}

void PythonDrive::advance(const ControlCommand& command) {
    episode.step(command);
    takeFrame();
}

void PythonDrive::takeFrame() {
    if (episode.hasFrame()) episode.writeFrame(frameBytes.data());
}

py::array_t<uint8_t> PythonDrive::screen() const {
    return screenArray(episode, episode.getSetup().drawScreen || watcher);
}

void PythonDrive::watch(double speedUp) {
    watcher = watchEpisode(episode, speedUp);
}

namespace {

// The drives of a sequence, each once: stepping one drive from two threads at once would race.
std::vector<PythonDrive*> driveList(const py::sequence& drives) {
    std::vector<PythonDrive*> list;
    for (const py::handle& drive : drives) {
        PythonDrive* const each = drive.cast<PythonDrive*>();
        const auto twice = std::find(list.begin(), list.end(), each);
        if (twice != list.end())
            throw py::value_error("drive " + std::to_string(list.size()) + " is drive " +
                                  std::to_string(twice - list.begin()) +
                                  " again: each drive may be given once");
        list.push_back(each);
    }
    return list;
}

void stepMany(StepPool& pool, const py::sequence& drives, const py::object& actions) {
    const std::vector<PythonDrive*> list = driveList(drives);
    const std::vector<ControlCommand> asked = commands(actions, list.size());
    for (const PythonDrive* drive : list) drive->checkSteppable();
    std::vector<std::unique_ptr<Claim>> claims;
    for (PythonDrive* drive : list)
        claims.push_back(std::make_unique<Claim>(drive->busyFlag(), "a drive"));
    const py::gil_scoped_release released;
    pool.run(list.size(), [&](size_t i) { list[i]->advance(asked[i]); });
}

// A row a drive of what WRITE gives, WIDTH values of type T each.
template <typename T, typename Write>
py::array_t<T> stacked(const py::sequence& drives, std::vector<py::ssize_t> row, Write write) {
    const std::vector<PythonDrive*> list = driveList(drives);
    row.insert(row.begin(), static_cast<py::ssize_t>(list.size()));
    py::array_t<T> out(row);
    const size_t width = list.empty() ? 0 : out.size() / list.size();
    for (size_t i = 0; i < list.size(); ++i) write(*list[i], out.mutable_data() + i * width);
    return out;
}

py::array_t<uint8_t> stackFrames(const py::sequence& drives) {
    if (py::len(drives) == 0) throw py::value_error("no drives to stack");
    const py::object size = frameSize(drives[0].cast<PythonDrive&>().stepped());
    for (const py::handle& drive : drives)
        if (!frameSize(drive.cast<PythonDrive&>().stepped()).equal(size) || size.is_none())
            throw py::value_error("stacked drives need frames of one size");
    const auto [width, height] = size.cast<std::pair<int, int>>();
    return stacked<uint8_t>(drives, {height, width, 3}, [](const PythonDrive& d, uint8_t* out) {
        std::memcpy(out, d.frameData().data(), d.frameData().size());
    });
}

}  // namespace

void bindDrive(py::module_& module) {
    py::class_<PythonDrive> drive(module, "Drive",
                                  "One drive of a course, stepped every 50 ms of simulated time.");
    drive
        .def(py::init([](const std::filesystem::path& course, const Folder& images,
                         const FrameSize& size, bool draw, int laps, double lapLimit, int frameMs) {
                 return std::make_unique<PythonDrive>(
                     course, episodeSetup(images, size, draw, laps, lapLimit,
                                          defaultMaxCrossTrackFt, frameMs));
             }),
             py::arg("course"), py::kw_only(), py::arg("images") = py::none(),
             py::arg("frame_size") = py::none(), py::arg("draw") = false,
             py::arg("laps") = defaultLaps, py::arg("lap_limit") = defaultLapLimitMs / 1000.0,
             py::arg("frame_ms") = defaultFrameMs,
             "A drive of the course file COURSE for LAPS laps, each within LAP_LIMIT seconds, "
             "FRAME_MS of simulated time a frame; reset() starts it. IMAGES: the bitmaps' folder "
             "(None: no sprites); FRAME_SIZE: (width, height) of the frame the driver sees (None: "
             "no frame); DRAW: the whole screen too, for screen().")
        .def("reset", &PythonDrive::reset, py::arg("seed") = 1,
             "Reads the course again with the seed's obstacles and runs to the first step.")
        .def("step", &PythonDrive::step, py::arg("action"),
             "Asks for [steering degrees, speed mph] and runs to the next step.")
        .def("frame", &PythonDrive::frame, "The frame the driver sees, (H, W, 3) uint8.")
        .def("screen", &PythonDrive::screen, "The whole 800 x 600 frame, (600, 800, 3) uint8.")
        .def("watch", &PythonDrive::watch, py::arg("speed_up") = 1.0,
             "Shows every later frame in a window, SPEED_UP times real time.");
    addReadouts(drive, [](const PythonDrive& d) -> const Episode& { return d.stepped(); });

    // step_many's threads, one a core, kept as long as the module so that a call starts none (a
    // start took as long as a step); a round wakes only as many as it has drives for.
    auto* const pool = new StepPool(std::max(1u, std::thread::hardware_concurrency()));
    module.attr("_step_pool") =
        py::capsule(pool, [](void* kept) { delete static_cast<StepPool*>(kept); });
    module.def(
        "step_many",
        [pool](const py::sequence& drives, const py::object& actions) {
            stepMany(*pool, drives, actions);
        },
        py::arg("drives"), py::arg("actions"),
        "Steps drive i with actions[i] for every i, on all cores; each drive once.");
    module.def(
        "stack_states",
        [](const py::sequence& drives) {
            return stacked<float>(drives, {stateFieldCount}, [](const PythonDrive& d, float* out) {
                d.stepped().writeState(out);
            });
        },
        py::arg("drives"), "The state of every drive, a row each in STATE_FIELDS order.");
    module.def("stack_frames", &stackFrames, py::arg("drives"),
               "The frame of every drive, (N, H, W, 3) uint8: the drives' frames of one size.");
    module.def(
        "stack_experts",
        [](const py::sequence& drives) {
            return stacked<float>(drives, {2}, [](const PythonDrive& d, float* out) {
                d.stepped().writeExpert(out);
            });
        },
        py::arg("drives"), "What the built-in autopilot would ask of every drive, (N, 2).");
}
