// The batch's checks before a round, in Python's words, and its arrays as views that step with it.
#include "PythonBatch.h"

#include <variant>

namespace {

// One folder (or None) for all the courses, or one for each.
using Folders = std::variant<Folder, std::vector<Folder>>;

std::vector<CourseText> courseTexts(const std::vector<std::filesystem::path>& courses,
                                    const Folders& images) {
    const auto* const each = std::get_if<std::vector<Folder>>(&images);
    if (each && each->size() != courses.size())
        throw py::value_error("images must be one folder, or one for each course");
    std::vector<CourseText> texts;
    for (size_t i = 0; i < courses.size(); ++i) {
        texts.push_back(readCourse(courses[i]));
        texts.back().imageFolder = folderName(each ? (*each)[i] : std::get<Folder>(images));
    }
    if (texts.empty()) throw py::value_error("a batch needs at least one course");
    return texts;
}

// The batch's arrays as views that keep it alive, for its Python object.
py::dict views(const PythonBatch& batch) {
    const py::object self = py::cast(&batch, py::return_value_policy::reference);
    const Batch& b = batch.batch();
    const auto n = static_cast<py::ssize_t>(b.size());
    py::dict out;
    out["states"] = view(b.states().data(), {n, stateFieldCount}, self);
    out["experts"] = view(b.experts().data(), {n, 2}, self);
    out["rewards"] = view(b.rewards().data(), {n}, self);
    out["terminated"] = view(reinterpret_cast<const bool*>(b.terminated().data()), {n}, self);
    out["truncated"] = view(reinterpret_cast<const bool*>(b.truncated().data()), {n}, self);
    if (b.frameWidth() > 0)
        out["frames"] = view(b.frames().data(), {n, b.frameHeight(), b.frameWidth(), 3}, self);
    if (!b.sights().empty()) out["sights"] = view(b.sights().data(), {n, sightFieldCount}, self);
    return out;
}

std::unique_ptr<PythonBatch> newBatch(const std::vector<std::filesystem::path>& courses,
                                      const Folders& images, const FrameSize& size, bool draw,
                                      int laps, double lapLimit, double maxCrossTrack,
                                      std::optional<int64_t> maxSteps, bool normalizedActions,
                                      bool sight, int frameMs, unsigned threads, bool autoreset) {
    EpisodeSetup setup =
        episodeSetup(std::nullopt, size, draw, laps, lapLimit, maxCrossTrack, frameMs);
    if (maxSteps && *maxSteps < 1)
        throw py::value_error(
            "max_episode_steps must be a whole number of steps from 1, or None, not " +
            std::to_string(*maxSteps));
    setup.maxSteps = maxSteps.value_or(0);
    setup.normalizedActions = normalizedActions;
    setup.sight = sight;
    return std::make_unique<PythonBatch>(courseTexts(courses, images), setup, threads, autoreset);
}

void bindBatchDrive(py::module_& module) {
    py::class_<BatchDrive> drive(module, "BatchDrive", "One drive of a Batch, for reading.");
    drive.def(
        "screen",
        [](const BatchDrive& d) {
            return screenArray(d.episode(),
                               d.episode().getSetup().drawScreen || d.batch->watched());
        },
        "The whole 800 x 600 frame, (600, 800, 3) uint8.");
    addReadouts(drive, [](const BatchDrive& d) -> const Episode& { return d.episode(); });
}

}  // namespace

PythonBatch::PythonBatch(std::vector<CourseText> courses, const EpisodeSetup& setup,
                         unsigned threads, bool autoreset)
    : drives(courses, setup, threads, autoreset) {
    refuse(drives.problem());
}

void PythonBatch::reset(const std::vector<Seed>& seeds) {
    if (seeds.size() != drives.size())
        throw py::value_error("one seed for each of the " + std::to_string(drives.size()) +
                              " drives, not " + std::to_string(seeds.size()));
    std::vector<unsigned> checked;
    for (const Seed seed : seeds) checked.push_back(seed.value);
    const Claim claim(busy, "this batch");
    const py::gil_scoped_release released;
    drives.reset(checked);
}

py::tuple PythonBatch::step(const py::object& actions, const py::object& seedFor) {
    const std::vector<ControlCommand> asked = commands(actions, drives.size());
    if (!drives.started())
        throw std::runtime_error(std::string("step() before reset(): reset() starts the drive") +
                                 (drives.size() > 1 ? "s" : ""));
    std::vector<unsigned> seeds(drives.size());
    for (size_t i = 0; i < drives.size(); ++i) {
        if (drives.restarts(i))
            seeds[i] = checkedSeed(seedFor(i));
        else if (drives.ended(i))
            throw std::runtime_error("step() after the episode ended: reset() starts a new one");
        else if (!drives.episode(i).started())
            throw std::runtime_error("step() after a new course: reset() starts it");
    }
    const std::vector<int64_t> lapsBefore = drives.lapCounts();
    {
        const Claim claim(busy, "this batch");
        const py::gil_scoped_release released;
        drives.step(asked, seeds);
    }
    py::list changed;
    py::dict ended;
    for (size_t i = 0; i < drives.size(); ++i) {
        if (drives.lapCounts()[i] != lapsBefore[i]) changed.append(i);
        if (drives.ends()[i])
            ended[py::int_(i)] = endWords(static_cast<DriveEnd>(drives.ends()[i]));
    }
    const auto n = static_cast<py::ssize_t>(drives.size());
    // Distance and progress in one array: a learner's step pays for every array it is handed.
    py::array_t<double> figures({n, py::ssize_t{2}});
    auto rows = figures.mutable_unchecked<2>();
    for (py::ssize_t i = 0; i < n; ++i) {
        rows(i, 0) = drives.distances()[i];
        rows(i, 1) = drives.progress()[i];
    }
    return py::make_tuple(fresh(drives.states().data(), {n, stateFieldCount}),
                          fresh(drives.rewards().data(), {n}),
                          fresh(reinterpret_cast<const bool*>(drives.terminated().data()), {n}),
                          fresh(reinterpret_cast<const bool*>(drives.truncated().data()), {n}),
                          fresh(drives.experts().data(), {n, 2}), fresh(drives.hits().data(), {n}),
                          figures, changed, ended);
}

void PythonBatch::setCourse(size_t i, const std::string& text, const std::string& source,
                            const Folder& images) {
    if (i >= drives.size()) throw py::index_error("no drive " + std::to_string(i));
    const Claim claim(busy, "this batch");
    refuse(drives.setCourse(i, {text, source, folderName(images)}));
}

void PythonBatch::watch(double speedUp) {
    if (drives.size() != 1) throw py::value_error("a window shows a batch of one drive");
    watcher = watchEpisode(drives.episode(0), speedUp);
}

void bindBatch(py::module_& module) {
    py::class_<PythonBatch>(module, "Batch",
                            "Episodes of drives stepped together on threads of their own.")
        .def(py::init(&newBatch), py::arg("courses"), py::kw_only(), py::arg("images") = py::none(),
             py::arg("frame_size") = py::none(), py::arg("draw") = false,
             py::arg("laps") = defaultEpisodeLaps,
             py::arg("lap_limit") = defaultLapLimitMs / 1000.0,
             py::arg("max_cross_track") = defaultMaxCrossTrackFt,
             py::arg("max_episode_steps") = py::none(), py::arg("normalized_actions") = false,
             py::arg("sight") = false, py::arg("frame_ms") = defaultFrameMs, py::arg("threads") = 0,
             py::arg("autoreset") = false,
             "A drive of each course file of COURSES, all with the keywords of Drive; an episode "
             "also ends with the car more than MAX_CROSS_TRACK feet from the track, after "
             "MAX_EPISODE_STEPS steps (None: no limit), or when the car gets on less than 10 ft "
             "along the course in 30 s. With NORMALIZED_ACTIONS, actions and experts run from -1 "
             "to 1 over the car's steering and speed; with SIGHT, each step's sight (see sight()) "
             "is in views()[\"sights\"]. IMAGES: one "
             "folder for all, or one (or None) for each course. THREADS step the drives (0: one a "
             "core, at most one a drive); with AUTORESET an ended episode starts again at the "
             "next step.")
        .def("reset", &PythonBatch::reset, py::arg("seeds"),
             "Starts drive i again from seeds[i], for every i.")
        .def("step", &PythonBatch::step, py::arg("actions"), py::arg("seed_for") = py::none(),
             "Steps drive i with actions[i]; with autoreset, a drive whose episode ended starts "
             "again instead, from the seed seed_for(i) gives. Returns copies of the round's "
             "states, rewards, terminated, truncated, experts and hits, the figures (a row a "
             "drive: distance, progress), the drives whose count of finished laps changed, and "
             "the words of each drive whose episode ended, by its index.")
        .def("set_course", &PythonBatch::setCourse, py::arg("index"), py::arg("text"),
             py::arg("source"), py::arg("images") = py::none(),
             "Drive INDEX takes the course of TEXT (named SOURCE in messages, its bitmaps from "
             "IMAGES) from its next start: reset(), or with autoreset its next step.")
        .def("watch", &PythonBatch::watch, py::arg("speed_up") = 1.0,
             "Shows every later frame of a batch of one in a window, SPEED_UP times real time.")
        .def(
            "drive",
            [](const PythonBatch& batch, size_t i) {
                if (i >= batch.batch().size())
                    throw py::index_error("no drive " + std::to_string(i));
                return BatchDrive{py::cast(&batch, py::return_value_policy::reference), &batch, i};
            },
            py::arg("index"), "Drive INDEX, for reading its course and figures.")
        .def_property_readonly(
            "size", [](const PythonBatch& b) { return b.batch().size(); }, "How many drives.")
        .def_property_readonly(
            "threads", [](const PythonBatch& b) { return b.batch().threads(); },
            "How many threads step the drives, the caller's among them.")
        .def("views", &views,
             "Read-only arrays of the last round, a row a drive, which change as the batch "
             "steps: states, experts, rewards, terminated, truncated and, with a frame_size, "
             "frames, with sight, sights.");
    bindBatchDrive(module);
}
