// roadsim._roadsim: the drive library for Python. Errors become Python exceptions in this folder
// and nowhere else.
#include "PythonBatch.h"
#include "PythonDrive.h"

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
    module.def(
        "check_seed", [](Seed seed) { return seed.value; }, py::arg("seed"),
        "SEED as a whole number, refused where roadsim-lab --seed would.");
    bindDrive(module);
    bindBatch(module);
}
