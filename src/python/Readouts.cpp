// A drive's readings as fresh NumPy arrays and Python lists, which stay as they are when it steps.
#include "Readouts.h"

#include <cstring>

py::array_t<float> stateArray(const Episode& episode) {
    py::array_t<float> out(stateFieldCount);
    episode.writeState(out.mutable_data());
    return out;
}

py::array_t<float> expertArray(const Episode& episode) {
    py::array_t<float> out(2);
    episode.writeExpert(out.mutable_data());
    return out;
}

py::array_t<uint8_t> frameArray(const Episode& episode, const uint8_t* bytes) {
    if (!episode.hasFrame()) throw py::value_error("this drive was made without a frame_size");
    const EpisodeSetup& setup = episode.getSetup();
    py::array_t<uint8_t> out({setup.frameHeight, setup.frameWidth, 3});
    std::memcpy(out.mutable_data(), bytes, out.size());
    return out;
}

py::array_t<uint8_t> screenArray(const Episode& episode, bool drawn) {
    if (!drawn) throw py::value_error("this drive draws no screen: make it with draw=True");
    py::array_t<uint8_t> out({displayHeight, displayWidth, 3});
    const std::vector<uint8_t> rgb = averagedFrame(episode.stepped().getScreen(), 0, 0);
    std::memcpy(out.mutable_data(), rgb.data(), rgb.size());
    return out;
}

std::unique_ptr<Watcher> watchEpisode(Episode& episode, double speedUp) {
    if (!(speedUp > 0)) throw py::value_error("speed_up must be above 0");
    auto window = std::make_unique<Watcher>(speedUp);
    std::string error;
    if (!window->open(error)) throw std::runtime_error(error);
    episode.composeEveryFrame();
    Drive& drive = episode.stepped();
    drive.onFrame = [shown = window.get(), &drive](const TraceRow&) {
        return shown->show(const_cast<SDL_Surface*>(drive.getScreen()), drive.simulatedMs());
    };
    return window;
}

py::list lapList(const Drive& drive) {
    py::list out;
    for (const LapFigures& lap : drive.getLaps()) {
        py::dict figures;
        visitLapFigures(lap, [&](const char* key, const auto& value) { figures[key] = value; });
        out.append(figures);
    }
    return out;
}

py::array_t<double> objectArray(const std::vector<CourseObject>& objects) {
    py::array_t<double> out({static_cast<py::ssize_t>(objects.size()), py::ssize_t{3}});
    double* data = out.mutable_data();
    for (const CourseObject& object : objects) {
        *data++ = object.x;
        *data++ = object.y;
        *data++ = object.value;
    }
    return out;
}

py::object frameSize(const Episode& episode) {
    if (!episode.hasFrame()) return py::none();
    return py::make_tuple(episode.getSetup().frameWidth, episode.getSetup().frameHeight);
}
