// What Python may read of a drive, the same for a drive stepped by hand and for a drive of a
// batch: each bound class names how it reaches its episode.
#pragma once

#include "Convert.h"
#include "Display.h"
#include "Watcher.h"

#include <pybind11/stl.h>

#include <memory>

py::array_t<float> stateArray(const Episode& episode);
py::array_t<float> expertArray(const Episode& episode);
// A copy of the frame the episode took at its step, which BYTES hold.
py::array_t<uint8_t> frameArray(const Episode& episode, const uint8_t* bytes);
// The whole screen as RGB; a drive that draws none says how to make one that does.
py::array_t<uint8_t> screenArray(const Episode& episode, bool drawn);
// A window that shows every later frame of EPISODE, SPEED_UP times real time, for as long as the
// caller keeps it; raised where none can open.
std::unique_ptr<Watcher> watchEpisode(Episode& episode, double speedUp);
py::list lapList(const Drive& drive);
py::array_t<double> objectArray(const std::vector<CourseObject>& objects);
py::object frameSize(const Episode& episode);

// READ(self) gives the const Episode& of a bound object; each class adds its frame.
template <typename Bound, typename Read>
void addReadouts(py::class_<Bound>& bound, Read read) {
    const auto drive = [read](const Bound& self) -> const Drive& { return read(self).stepped(); };
    bound
        .def(
            "state", [read](const Bound& s) { return stateArray(read(s)); },
            "The state at this step, in STATE_FIELDS order.")
        .def(
            "expert", [read](const Bound& s) { return expertArray(read(s)); },
            "What the built-in autopilot at the lab's defaults would ask now.")
        .def(
            "laps", [drive](const Bound& s) { return lapList(drive(s)); },
            "The figures of every finished lap.")
        .def_property_readonly(
            "over", [drive](const Bound& s) { return drive(s).over(); }, "Whether the drive ended.")
        .def_property_readonly(
            "end", [drive](const Bound& s) { return endWords(drive(s).end()); },
            "How the drive stands, in the lab's words: running, finished, strayed, ...")
        .def_property_readonly(
            "steps", [drive](const Bound& s) { return drive(s).current().step; },
            "The driver steps so far.")
        .def_property_readonly(
            "distance", [drive](const Bound& s) { return drive(s).distance(); },
            "Feet along the course so far: every finished lap whole, and the current one's.")
        .def_property_readonly(
            "hits", [drive](const Bound& s) { return drive(s).hits(); },
            "Obstacles hit so far, each once a lap.")
        .def_property_readonly(
            "lap_count", [drive](const Bound& s) { return drive(s).getLaps().size(); },
            "Laps finished.")
        .def_property_readonly(
            "course_length", [drive](const Bound& s) { return drive(s).courseLength(); },
            "Feet from the first waypoint to the last.")
        .def_property_readonly(
            "course_name", [drive](const Bound& s) { return drive(s).getCourse().getName(); },
            "The course's name, as its file gives it.")
        .def_property_readonly(
            "waypoints",
            [drive](const Bound& s) { return objectArray(drive(s).getCourse().getWaypoints()); },
            "Rows of x and y (feet) and target speed (mph).")
        .def_property_readonly(
            "obstacles",
            [drive](const Bound& s) { return objectArray(drive(s).getCourse().getObstacles()); },
            "Rows of x and y (feet) and strength, as the seed placed them.")
        .def_property_readonly(
            "frame_size", [read](const Bound& s) { return frameSize(read(s)); },
            "(width, height) of the frame the driver sees; None without one.");
}
