// roadsim._roadsim: the lab's stepped drive for Python, with its frames as NumPy arrays and many
// drives stepped at once on all cores. Errors become Python exceptions here and nowhere else.
#include "AveragedFrame.h"
#include "Display.h"
#include "Drive.h"
#include "Watcher.h"

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <thread>
#include <vector>

namespace py = pybind11;

namespace {

// The numbers of the controller protocol's state message, in this order.
const std::vector<const char*> stateFields = {"t",           "x",
                                              "y",           "heading",
                                              "speed",       "steering",
                                              "waypoint",    "target_speed",
                                              "cross_track", "heading_error",
                                              "obstacle_sum"};

// How a drive ends, as Python names it; the index is the end's code in stack_progress.
const std::vector<const char*> endNames = {"running", "finished", "lap_limit", "closed"};

size_t endCode(DriveEnd end) {
    switch (end) {
        case DriveEnd::running:
            return 0;
        case DriveEnd::finished:
            return 1;
        case DriveEnd::lapLimit:
            return 2;
        case DriveEnd::watcherClosed:
        case DriveEnd::controllerFailed:
        case DriveEnd::recordingFailed:
            break;
    }
    // A drive of the module has neither a controller nor a recorder: only its window ends it.
    return 3;
}

const char* endName(DriveEnd end) {
    return endNames[endCode(end)];
}

std::string readCourseFile(const std::string& path) {
    std::ifstream file(std::filesystem::u8path(path), std::ios::binary);
    std::ostringstream text;
    if (!file || !(text << file.rdbuf())) {
        PyErr_SetString(PyExc_FileNotFoundError, ("cannot read the course file " + path).c_str());
        throw py::error_already_set();
    }
    return text.str();
}

std::string pathText(const py::object& path) {
    return py::str(py::module_::import("os").attr("fspath")(path));
}

// One drive as Python sees it: started by reset, stepped by step, with its frame averaged at every
// step when a frame size was asked for.
class PythonDrive {
  public:
    PythonDrive(const py::object& course, const py::object& images, const py::object& frameSize,
                bool draw, int laps, double lapLimit, int frameMs)
        : drive(readCourseFile(pathText(course)), pathText(course),
                images.is_none() ? "" : pathText(images)) {
        if (!drive.valid()) throw py::value_error(trimmed(drive.error()));
        if (laps < 1) throw py::value_error("laps must be 1 or more, not " + std::to_string(laps));
        if (!(lapLimit > 0) || !std::isfinite(lapLimit))
            throw py::value_error("lap_limit must be a positive number of seconds");
        if (frameMs < 1 || frameMs > 1000)
            throw py::value_error("frame_ms must be from 1 to 1000, not " +
                                  std::to_string(frameMs));
        spec.laps = laps;
        spec.frameMs = frameMs;
        spec.lapLimitMs = std::llround(lapLimit * 1000);
        if (!frameSize.is_none()) {
            const auto [width, height] = frameSize.cast<std::pair<int, int>>();
            if (width < 1 || width > displayWidth || height < 1 || height > displayHeight)
                throw py::value_error("frame_size must be (width, height) within (1, 1) and (" +
                                      std::to_string(displayWidth) + ", " +
                                      std::to_string(displayHeight) + "), not (" +
                                      std::to_string(width) + ", " + std::to_string(height) + ")");
            averager.emplace(displayWidth, displayHeight, width, height);
            frame.resize(static_cast<size_t>(width) * height * 3);
        }
        pixels = averager || draw ? Pixels::atSteps : Pixels::none;
    }

    void reset(unsigned seed) {
        {
            const py::gil_scoped_release released;
            spec.seed = seed;
            drive.start(spec, watcher ? Pixels::everyFrame : pixels);
            takeFrame();
        }
        started = true;
    }

    // The command of an action, once the drive may go on; raises what is wrong.
    ControlCommand checked(double steering, double speed) const {
        if (!started) throw std::runtime_error("reset() the drive before stepping it");
        if (drive.over())
            throw std::runtime_error(std::string("the drive is over (") + endName(drive.end()) +
                                     "): reset() it to drive again");
        if (!std::isfinite(steering) || !std::isfinite(speed))
            throw py::value_error("an action must be finite numbers, not [" +
                                  std::to_string(steering) + ", " + std::to_string(speed) + "]");
        return {steering, speed};
    }

    // Runs without the GIL: nothing Python is touched.
    void advance(const ControlCommand& command) {
        drive.steer(command);
        takeFrame();
    }

    void step(const py::handle& action) {
        const auto values =
            py::array_t<double, py::array::c_style | py::array::forcecast>::ensure(action);
        if (!values || values.size() != 2)
            throw py::value_error("an action is two numbers, [steering degrees, speed mph], not " +
                                  std::string(py::repr(action)));
        const ControlCommand command = checked(values.data()[0], values.data()[1]);
        const py::gil_scoped_release released;
        advance(command);
    }

    py::array_t<float> state() const {
        py::array_t<float> out(static_cast<py::ssize_t>(stateFields.size()));
        writeState(out.mutable_data());
        return out;
    }

    void writeState(float* out) const {
        const StepState& now = drive.current();
        const DriverView& view = now.view;
        const double values[] = {now.seconds,
                                 view.state.x,
                                 view.state.y,
                                 view.state.heading,
                                 view.state.speed,
                                 view.state.steering,
                                 static_cast<double>(view.state.waypointIndex),
                                 view.targetSpeed,
                                 view.crossTrack,
                                 view.headingError,
                                 view.obstacleSum};
        std::transform(std::begin(values), std::end(values), out,
                       [](double value) { return static_cast<float>(value); });
    }

    py::array_t<uint8_t> frameArray() const {
        if (!averager) throw py::value_error("this drive was made without a frame_size");
        py::array_t<uint8_t> out({averager->height(), averager->width(), 3});
        writeFrame(out.mutable_data());
        return out;
    }

    void writeFrame(uint8_t* out) const { std::memcpy(out, frame.data(), frame.size()); }

    py::array_t<uint8_t> screen() const {
        if (pixels == Pixels::none && !watcher)
            throw py::value_error("this drive draws no screen: make it with draw=True");
        py::array_t<uint8_t> out({displayHeight, displayWidth, 3});
        const std::vector<uint8_t> rgb = averagedFrame(drive.getScreen(), 0, 0);
        std::memcpy(out.mutable_data(), rgb.data(), rgb.size());
        return out;
    }

    py::array_t<float> expert() const {
        const ControlCommand command = drive.expert();
        py::array_t<float> out(2);
        out.mutable_data()[0] = static_cast<float>(command.steering);
        out.mutable_data()[1] = static_cast<float>(command.speed);
        return out;
    }

    py::list laps() const {
        py::list out;
        for (const LapFigures& lap : drive.getLaps()) {
            py::dict figures;
            figures["seconds"] = lap.seconds;
            figures["hits"] = lap.obstaclesHit;
            figures["worst_cross_track"] = lap.worstCrossTrack;
            figures["rms_cross_track"] = lap.rmsCrossTrack;
            figures["mean_speed"] = lap.meanSpeed;
            figures["collision_frames"] = lap.collisionFrames;
            figures["frames"] = lap.frames;
            out.append(figures);
        }
        return out;
    }

    py::array_t<double> objects(const std::vector<CourseObject>& list) const {
        py::array_t<double> out({static_cast<py::ssize_t>(list.size()), py::ssize_t{3}});
        double* data = out.mutable_data();
        for (const CourseObject& object : list) {
            *data++ = object.x;
            *data++ = object.y;
            *data++ = object.value;
        }
        return out;
    }

    // Every later frame in a window, at real-time pace or speedUp times faster.
    void watch(double speedUp) {
        if (!(speedUp > 0)) throw py::value_error("speed_up must be above 0");
        auto window = std::make_unique<Watcher>(speedUp);
        std::string error;
        if (!window->open(error)) throw std::runtime_error(error);
        watcher = std::move(window);
        drive.onFrame = [this](const TraceRow&) {
            return watcher->show(const_cast<SDL_Surface*>(drive.getScreen()), drive.simulatedMs());
        };
    }

    py::object frameSize() const {
        if (!averager) return py::none();
        return py::make_tuple(averager->width(), averager->height());
    }

    const Drive& stepped() const { return drive; }
    bool hasFrame() const { return averager.has_value(); }

  private:
    static std::string trimmed(std::string text) {
        while (!text.empty() && text.back() == '\n') text.pop_back();
        return text;
    }

    void takeFrame() {
        if (averager) averager->average(drive.getScreen(), frame.data());
    }

    Drive drive;
    DriveSpec spec;
    Pixels pixels = Pixels::none;
    std::optional<FrameAverager> averager;
    std::vector<uint8_t> frame;
    std::unique_ptr<Watcher> watcher;
    bool started = false;
};

// Threads kept for the life of the module, so that stepping many drives costs no thread start.
// Waking a sleeping thread takes as long as a drive's step here, so each side spins a short while
// before it sleeps: a learner that steps its drives back to back finds the threads awake.
class StepPool {
  public:
    StepPool() {
        const unsigned count = std::max(1u, std::thread::hardware_concurrency()) - 1;
        for (unsigned i = 0; i < count; ++i) threads.emplace_back([this] { serve(); });
    }
    ~StepPool() {
        {
            const std::lock_guard<std::mutex> lock(mutex);
            closing = true;
            ++round;
        }
        changed.notify_all();
        for (std::thread& thread : threads) thread.join();
    }

    // Runs job(i) for every i below count on the pool and the calling thread; returns when all
    // are done.
    void run(size_t count, const std::function<void(size_t)>& job) {
        if (count < 2 || threads.empty()) {
            for (size_t i = 0; i < count; ++i) job(i);
            return;
        }
        // Python threads may step drives at once; the pool serves one round at a time.
        const std::lock_guard<std::mutex> one(rounds);
        uint32_t now;
        {
            const std::lock_guard<std::mutex> lock(mutex);
            work = &job;
            total = count;
            left = count;
            now = ++round;
            ticket = uint64_t{now} << 32;
        }
        changed.notify_all();
        take(now, job, count);
        awaitQuiet([this] { return left == 0; });
        const std::lock_guard<std::mutex> lock(mutex);
        work = nullptr;
    }

  private:
    using Clock = std::chrono::steady_clock;

    // Waits until done() holds: spinning for a while, then asleep until a change is announced.
    template <typename Condition>
    void awaitQuiet(const Condition& done) {
        const Clock::time_point until = Clock::now() + std::chrono::microseconds(spinMicroseconds);
        while (!done() && Clock::now() < until) std::this_thread::yield();
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, done);
    }

    void serve() {
        uint32_t seen = 0;
        while (true) {
            awaitQuiet([&] { return round != seen; });
            std::unique_lock<std::mutex> lock(mutex);
            seen = round;
            if (closing) return;
            if (work == nullptr) continue;
            const std::function<void(size_t)>& job = *work;
            const size_t count = total;
            lock.unlock();
            take(seen, job, count);
        }
    }

    // Does items of the round while any are left. An item is claimed with the round's number, so
    // a thread that comes late claims nothing and never calls a job whose round is over: the
    // round cannot end while one of its items runs.
    void take(uint32_t of, const std::function<void(size_t)>& job, size_t count) {
        size_t finished = 0;
        uint64_t claimed = ticket;
        while (true) {
            if (claimed >> 32 != of || (claimed & 0xFFFFFFFF) >= count) break;
            if (!ticket.compare_exchange_weak(claimed, claimed + 1)) continue;
            job(claimed & 0xFFFFFFFF);
            ++finished;
            claimed = ticket;
        }
        if (finished == 0) return;
        {
            const std::lock_guard<std::mutex> lock(mutex);
            left -= finished;
        }
        changed.notify_all();
    }

    static constexpr int spinMicroseconds = 500;
    std::mutex rounds;
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::thread> threads;
    const std::function<void(size_t)>* work = nullptr;  // with the mutex held
    size_t total = 0;                                   // with the mutex held
    std::atomic<uint64_t> ticket{0};  // the round's number, then the next item, in 32 bits each
    std::atomic<size_t> left{0};
    std::atomic<uint32_t> round{0};
    bool closing = false;  // with the mutex held
};

StepPool& pool() {
    // Never destroyed: its threads must not be joined while the interpreter shuts down.
    static StepPool* const shared = new StepPool();
    return *shared;
}

std::vector<PythonDrive*> driveList(const py::sequence& drives) {
    std::vector<PythonDrive*> list;
    for (const py::handle& drive : drives) list.push_back(drive.cast<PythonDrive*>());
    return list;
}

void stepMany(const py::sequence& drives, const py::object& actions) {
    const std::vector<PythonDrive*> list = driveList(drives);
    const auto table =
        py::array_t<double, py::array::c_style | py::array::forcecast>::ensure(actions);
    if (!table || table.ndim() != 2 || table.shape(0) != static_cast<py::ssize_t>(list.size()) ||
        table.shape(1) != 2)
        throw py::value_error("actions must be an array of shape (" + std::to_string(list.size()) +
                              ", 2)");
    std::vector<ControlCommand> commands;
    for (size_t i = 0; i < list.size(); ++i)
        commands.push_back(list[i]->checked(table.data()[2 * i], table.data()[2 * i + 1]));
    const py::gil_scoped_release released;
    pool().run(list.size(), [&](size_t i) { list[i]->advance(commands[i]); });
}

py::array_t<float> stackStates(const py::sequence& drives) {
    const std::vector<PythonDrive*> list = driveList(drives);
    py::array_t<float> out(
        {static_cast<py::ssize_t>(list.size()), static_cast<py::ssize_t>(stateFields.size())});
    for (size_t i = 0; i < list.size(); ++i)
        list[i]->writeState(out.mutable_data() + i * stateFields.size());
    return out;
}

py::array_t<float> stackExperts(const py::sequence& drives) {
    const std::vector<PythonDrive*> list = driveList(drives);
    py::array_t<float> out({static_cast<py::ssize_t>(list.size()), py::ssize_t{2}});
    float* data = out.mutable_data();
    for (const PythonDrive* drive : list) {
        const ControlCommand command = drive->stepped().expert();
        *data++ = static_cast<float>(command.steering);
        *data++ = static_cast<float>(command.speed);
    }
    return out;
}

// Each drive's distance along the course, obstacles hit, laps finished and end code, a row each.
py::array_t<double> stackProgress(const py::sequence& drives) {
    const std::vector<PythonDrive*> list = driveList(drives);
    py::array_t<double> out({static_cast<py::ssize_t>(list.size()), py::ssize_t{4}});
    double* data = out.mutable_data();
    for (const PythonDrive* drive : list) {
        *data++ = drive->stepped().distance();
        *data++ = drive->stepped().hits();
        *data++ = static_cast<double>(drive->stepped().getLaps().size());
        *data++ = static_cast<double>(endCode(drive->stepped().end()));
    }
    return out;
}

py::array_t<uint8_t> stackFrames(const py::sequence& drives) {
    const std::vector<PythonDrive*> list = driveList(drives);
    if (list.empty()) throw py::value_error("no drives to stack");
    const py::object size = list.front()->frameSize();
    for (const PythonDrive* drive : list)
        if (!drive->hasFrame() || !drive->frameSize().equal(size))
            throw py::value_error("stacked drives need frames of one size");
    const auto [width, height] = size.cast<std::pair<int, int>>();
    py::array_t<uint8_t> out({static_cast<py::ssize_t>(list.size()),
                              static_cast<py::ssize_t>(height), static_cast<py::ssize_t>(width),
                              py::ssize_t{3}});
    const size_t bytes = static_cast<size_t>(width) * height * 3;
    for (size_t i = 0; i < list.size(); ++i) list[i]->writeFrame(out.mutable_data() + i * bytes);
    return out;
}

}  // namespace

PYBIND11_MODULE(_roadsim, module) {
    module.doc() = "The roadsim lab's drive, stepped from Python.";
    module.attr("STATE_FIELDS") = py::tuple(py::cast(stateFields));
    module.attr("MAX_STEERING") = control::maxSteering;
    module.attr("TOP_SPEED") = control::topSpeed;
    module.attr("STEERING_STEP") = control::steeringStep;
    module.attr("SPEED_STEP") = control::speedStep;
    module.attr("STEP_MS") = driverStepMs;
    module.attr("END_NAMES") = py::tuple(py::cast(endNames));

    py::class_<PythonDrive>(module, "Drive",
                            "One drive of a course, stepped every 50 ms of simulated time.")
        .def(py::init<const py::object&, const py::object&, const py::object&, bool, int, double,
                      int>(),
             py::arg("course"), py::kw_only(), py::arg("images") = py::none(),
             py::arg("frame_size") = py::none(), py::arg("draw") = false, py::arg("laps") = 1,
             py::arg("lap_limit") = defaultLapLimitMs / 1000.0,
             py::arg("frame_ms") = defaultFrameMs)
        .def("reset", &PythonDrive::reset, py::arg("seed") = 1u,
             "Reads the course again with the seed's obstacles and runs to the first step.")
        .def("step", &PythonDrive::step, py::arg("action"),
             "Asks for [steering degrees, speed mph] and runs to the next step.")
        .def("state", &PythonDrive::state, "The state at this step, in STATE_FIELDS order.")
        .def("frame", &PythonDrive::frameArray, "The frame the driver sees, (H, W, 3) uint8.")
        .def("screen", &PythonDrive::screen, "The whole 800 x 600 frame, (600, 800, 3) uint8.")
        .def("expert", &PythonDrive::expert,
             "What the built-in autopilot at the lab's defaults would ask now.")
        .def("laps", &PythonDrive::laps, "The figures of every finished lap.")
        .def("watch", &PythonDrive::watch, py::arg("speed_up") = 1.0,
             "Shows every later frame in a window.")
        .def_property_readonly("over", [](const PythonDrive& d) { return d.stepped().over(); })
        .def_property_readonly("end",
                               [](const PythonDrive& d) { return endName(d.stepped().end()); })
        .def_property_readonly("steps",
                               [](const PythonDrive& d) { return d.stepped().current().step; })
        .def_property_readonly("distance",
                               [](const PythonDrive& d) { return d.stepped().distance(); })
        .def_property_readonly("hits", [](const PythonDrive& d) { return d.stepped().hits(); })
        .def_property_readonly("lap_count",
                               [](const PythonDrive& d) { return d.stepped().getLaps().size(); })
        .def_property_readonly("course_length",
                               [](const PythonDrive& d) { return d.stepped().courseLength(); })
        .def_property_readonly(
            "course_name", [](const PythonDrive& d) { return d.stepped().getCourse().getName(); })
        .def_property_readonly(
            "waypoints",
            [](const PythonDrive& d) { return d.objects(d.stepped().getCourse().getWaypoints()); })
        .def_property_readonly(
            "obstacles",
            [](const PythonDrive& d) { return d.objects(d.stepped().getCourse().getObstacles()); })
        .def_property_readonly("frame_size", &PythonDrive::frameSize);

    module.def("step_many", &stepMany, py::arg("drives"), py::arg("actions"),
               "Steps drive i with actions[i] for every i, on all cores.");
    module.def("stack_states", &stackStates, py::arg("drives"));
    module.def("stack_frames", &stackFrames, py::arg("drives"));
    module.def("stack_experts", &stackExperts, py::arg("drives"));
    module.def("stack_progress", &stackProgress, py::arg("drives"),
               "Each drive's distance, hits, finished laps and end (an index of END_NAMES), "
               "as rows of an (n, 4) array.");
}
