// roadsim._roadsim: the drive library for Python. Errors become Python exceptions in this folder
// and nowhere else.
#include "CourseMaker.h"
#include "PythonBatch.h"
#include "PythonDrive.h"
#include "Sight.h"

namespace {

// The points of a course message's list: waypoints with their speed, obstacles their strength.
std::vector<SightPoint> sightPoints(const py::dict& course, const char* list, const char* value) {
    std::vector<SightPoint> points;
    for (const py::handle point : course[list].cast<py::list>())
        points.push_back(
            {point["x"].cast<double>(), point["y"].cast<double>(), point[value].cast<double>()});
    return points;
}

// The sight from the protocol's course and state messages, as a drive of the module gives it.
py::array_t<float> sightOf(const py::dict& course, const py::dict& state) {
    DriverView view{};
    const auto number = [&](const char* name) { return state[name].cast<double>(); };
    view.state = {number("speed"),
                  number("steering"),
                  number("x"),
                  number("y"),
                  number("heading"),
                  0,
                  false,
                  state["waypoint"].cast<int32_t>()};
    view.targetSpeed = number("target_speed");
    view.crossTrack = number("cross_track");
    view.headingError = number("heading_error");
    view.obstacleSum = number("obstacle_sum");
    py::array_t<float> out(sightFieldCount);
    writeSight(sightPoints(course, "waypoints", "speed"),
               sightPoints(course, "obstacles", "strength"), view, out.mutable_data());
    return out;
}

// A course made from SEED with the knobs given, as roadsim-lab --make-course writes it.
std::string madeCourse(Seed seed, const std::string& name, const CourseKnobs& knobs) {
    refuse(knobsProblem(knobs));
    MadeCourse made;
    {
        const py::gil_scoped_release released;
        made = makeCourse(seed.value, name, knobs);
    }
    if (made.text.empty()) throw py::value_error(made.error);
    return made.text;
}

void bindCourseMaker(py::module_& module) {
    const CourseKnobs defaults;
    module.def(
        "make_course",
        [](Seed seed, const std::string& name, double length, double sharpness,
           std::pair<int, int> speeds, double obstacles, std::optional<double> strength,
           double wobble, int lobes) {
            CourseKnobs knobs;
            knobs.lengthFt = length;
            knobs.sharpnessDeg = sharpness;
            knobs.minSpeed = speeds.first;
            knobs.maxSpeed = speeds.second;
            knobs.groupsPer1000Ft = obstacles;
            knobs.strength = strength;
            knobs.wobble = wobble;
            knobs.lobes = lobes;
            return madeCourse(seed, name, knobs);
        },
        py::arg("seed"), py::arg("name"), py::kw_only(), py::arg("length") = defaults.lengthFt,
        py::arg("sharpness") = defaults.sharpnessDeg,
        py::arg("speeds") = std::make_pair(defaults.minSpeed, defaults.maxSpeed),
        py::arg("obstacles") = defaults.groupsPer1000Ft, py::arg("strength") = py::none(),
        py::arg("wobble") = defaults.wobble, py::arg("lobes") = defaults.lobes,
        "The text of the course made from SEED and named NAME, byte for byte what roadsim-lab "
        "--make-course SEED NAME.txt writes with the same knobs: LENGTH (ft), SHARPNESS (the "
        "sharpest turn, degrees), SPEEDS (min, max mph), OBSTACLES (groups per 1000 ft), "
        "STRENGTH (every obstacle's, -1 a random one each; None each group's own), WOBBLE (0 "
        "round to 1 irregular), LOBES (0 a mix of bulges, 2 to 8 a figure of so many). "
        "ValueError when a knob is out of range or no course is found.");
}

}  // namespace

PYBIND11_MODULE(_roadsim, module) {
    module.doc() = "roadsim's drives, stepped from Python.";
    module.attr("__version__") = ROADSIM_VERSION;
    py::list fields;
    visitStateFields(StepState{}, [&](const char* name, const auto&) { fields.append(name); });
    module.attr("STATE_FIELDS") = py::tuple(fields);
    py::list ends;
    for (int i = 0; i <= static_cast<int>(lastDriveEnd); ++i)
        ends.append(endWords(static_cast<DriveEnd>(i)));
    module.attr("END_WORDS") = py::tuple(ends);
    module.attr("MAX_STEERING") = control::maxSteering;
    module.attr("TOP_SPEED") = control::topSpeed;
    module.attr("STEERING_STEP") = control::steeringStep;
    module.attr("SPEED_STEP") = control::speedStep;
    module.attr("STEP_MS") = driverStepMs;
    module.attr("FRAME_MS") = defaultFrameMs;
    module.attr("SEEDS") = seedBound.high + 1;
    module.attr("DEFAULT_LAPS") = defaultEpisodeLaps;
    module.attr("DEFAULT_LAP_LIMIT") = defaultLapLimitMs / 1000.0;
    module.attr("DEFAULT_MAX_CROSS_TRACK") = defaultMaxCrossTrackFt;
    module.attr("DEFAULT_FRAME_SIZE") = py::make_tuple(defaultObservedWidth, defaultObservedHeight);
    py::list sightFields;
    for (const char* name : sightFieldNames()) sightFields.append(name);
    module.attr("SIGHT_FIELDS") = py::tuple(sightFields);
    module.def("sight", &sightOf, py::arg("course"), py::arg("state"),
               "The sight of the road ahead and the nearest obstacles in the car's frame, "
               "SIGHT_FIELDS in order, from a controller's course and state messages: the numbers "
               "an environment with obs=\"sight\" gives at the same step.");
    module.def(
        "check_seed", [](Seed seed) { return seed.value; }, py::arg("seed"),
        "SEED as a whole number, refused where roadsim-lab --seed would.");
    bindCourseMaker(module);
    bindDrive(module);
    bindBatch(module);
}
