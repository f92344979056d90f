// The course maker's knobs checked against their ranges, in Python's words.
#include "CourseMaker.h"

#include <sstream>

std::string knobsProblem(const CourseKnobs& knobs) {
    const struct {
        const char* name;
        double value;
        KnobBound bound;
    } ranged[] = {{"length", knobs.lengthFt, lengthBound},
                  {"sharpness", knobs.sharpnessDeg, sharpnessBound},
                  {"obstacles", knobs.groupsPer1000Ft, obstaclesBound},
                  {"strength", knobs.strength.value_or(0), strengthBound},
                  {"wobble", knobs.wobble, wobbleBound}};
    for (const auto& knob : ranged) {
        if (!(knob.value >= knob.bound.low && knob.value <= knob.bound.high)) {
            std::ostringstream message;
            message << knob.name << " must be from " << knob.bound.low << " to " << knob.bound.high
                    << ", not " << knob.value;
            return message.str();
        }
    }
    if (!(slowestCourseSpeed <= knobs.minSpeed && knobs.minSpeed <= knobs.maxSpeed &&
          knobs.maxSpeed <= fastestCourseSpeed))
        return "speeds must be (MIN, MAX) in whole mph, " + std::to_string(slowestCourseSpeed) +
               " <= MIN <= MAX <= " + std::to_string(fastestCourseSpeed) + ", not (" +
               std::to_string(knobs.minSpeed) + ", " + std::to_string(knobs.maxSpeed) + ")";
    if (knobs.lobes < 0 || knobs.lobes == 1 || knobs.lobes > mostLobes)
        return "lobes must be 0 or from 2 to " + std::to_string(mostLobes) + ", not " +
               std::to_string(knobs.lobes);
    return "";
}
