// The autopilot: the car's operations that follow the course segment by segment.
#include "Car.h"
#include "Course.h"
#include "RoundedPi.h"

#include <algorithm>
#include <cmath>

double targetSpeed = 0;

using Lock = std::lock_guard<std::mutex>;

double Car::waypointTargetSpeed(const Course& course) const {
    Lock lock(mutex);
    const std::vector<CourseObject>& waypoints = course.getWaypoints();
    return waypointIndex < static_cast<int32_t>(waypoints.size()) ? waypoints[waypointIndex].value
                                                                  : 0;
}

double Car::segmentBearing(const Course& course) const {
    Lock lock(mutex);
    return bearingUnlocked(course);
}

double Car::crossTrackDistance(const Course& course) const {
    Lock lock(mutex);
    return crossTrackUnlocked(course);
}

namespace {

// The next waypoint's segment begins once the car is this close, in feet summed over x and y.
constexpr double advanceDistance = 15;
// Scales the obstacle memory against the path terms of the steering demand.
constexpr double avoidScale = 500;

bool hasSegment(const Course& course, int32_t index) {
    return index + 1 < static_cast<int32_t>(course.getWaypoints().size());
}

}  // namespace

// Without a segment ahead (on the last waypoint) the bearing stays as it was.
double Car::bearingUnlocked(const Course& course) const {
    if (!hasSegment(course, waypointIndex)) return bearing;
    const CourseObject& p0 = course.getWaypoints()[waypointIndex];
    const CourseObject& p1 = course.getWaypoints()[waypointIndex + 1];
    const double dx = p1.x - p0.x;
    const double dy = p1.y - p0.y;
    if (dx > -0.1 && dx < 0.1) return dy > 0 ? 0 : 180;
    double g = roundedHalfPi - std::atan(dy / dx);
    if (dx < 0) g += roundedPi;
    return g * 180 / roundedPi;
}

// Without a segment ahead the car is taken to be on the track.
double Car::crossTrackUnlocked(const Course& course) const {
    if (!hasSegment(course, waypointIndex)) return 0;
    const CourseObject& p0 = course.getWaypoints()[waypointIndex];
    const CourseObject& p1 = course.getWaypoints()[waypointIndex + 1];
    const double x0 = p0.x, y0 = p0.y, x1 = p1.x, y1 = p1.y;
    // Twice the area of the triangle P0, P1, car: positive with the car right of P0 -> P1.
    const double area = (x1 - x0) * (y0 + y1) + (x - x1) * (y + y1) + (x0 - x) * (y0 + y);
    const double length = std::sqrt((x1 - x0) * (x1 - x0) + (y1 - y0) * (y1 - y0));
    if (length == 0) return 0;
    const double along = (x1 - x0) * (x - x0) + (y1 - y0) * (y - y0);
    return along > 0 ? -area / length : area / length;
}

void Car::autopilotStep(const Course& course) {
    followCourse(course);
    autopilotControl(course);
}

bool Car::followCourse(const Course& course) {
    Lock lock(mutex);
    const std::vector<CourseObject>& waypoints = course.getWaypoints();
    const int32_t count = static_cast<int32_t>(waypoints.size());
    // Without a segment there is nothing to follow.
    if (count < 2) return false;

    if (waypointIndex == 0 && firstStep) {
        targetSpeed = waypoints[0].value;
        bearing = bearingUnlocked(course);
        firstStep = false;
    }
    const bool lapEnded = waypointIndex + 1 >= count;
    if (lapEnded) resetUnlocked();

    const CourseObject& next = waypoints[waypointIndex + 1];
    if (std::fabs(next.x - x) + std::fabs(next.y - y) < advanceDistance) {
        ++waypointIndex;
        targetSpeed = waypoints[waypointIndex].value;
        bearing = bearingUnlocked(course);
    }
    return lapEnded;
}

double Car::headingErrorUnlocked() const {
    const double h = heading * 180 / roundedPi;
    if (bearing < 90 && h > 270) return bearing + 360 - h;
    if (bearing > 270 && h < 90) return bearing - (h + 360);
    return bearing - h;
}

ControlCommand autopilotCommand(const DriverView& view, const Tuning& tuning) {
    double speed = view.state.speed;
    double steering = view.state.steering;
    if (view.targetSpeed > speed) {
        speed += control::speedStep;
    } else {
        speed -= control::speedStep;
    }

    // Standing still, the obstacle term would divide by zero; with no motion there is nothing to
    // avoid.
    const double avoidance = speed == 0 ? 0
                                        : (1 - tuning.pathWeight) * view.obstacleSum * avoidScale *
                                              tuning.avoidGain / speed;
    double demand = tuning.pathWeight * (tuning.headingGain * view.headingError +
                                         tuning.trackGain * 10 * view.crossTrack) -
                    avoidance;
    // Terms too large to compute with (an obstacle sum near the largest double times a gain of 0,
    // waypoints at the ends of the double range) give NaN, which no clamp catches: steer straight.
    if (std::isnan(demand)) demand = 0;
    if (demand > control::maxSteering) {
        demand = control::maxSteering;
    } else if (demand < -control::maxSteering) {
        demand = -control::maxSteering;
    }
    if (steering > demand) {
        steering -= control::steeringStep;
    } else {
        steering += control::steeringStep;
    }
    return {steering, speed};
}

ControlCommand Car::autopilotControl(const Course& course) {
    Lock lock(mutex);
    if (course.getWaypoints().size() < 2) return {steering, speed};
    Tuning tuning;
    for (const TuningSlider& slider : tuningSliders) tuning.*slider.value = this->*slider.carValue;
    const ControlCommand command =
        autopilotCommand({stateUnlocked(), targetSpeed, crossTrackUnlocked(course),
                          headingErrorUnlocked(), obstacleSum},
                         tuning);
    steering = command.steering;
    speed = command.speed;
    return command;
}

void Car::applyControl(const ControlCommand& command) {
    Lock lock(mutex);
    steering = std::clamp(control::stepTowards(steering, command.steering, control::steeringStep),
                          -control::maxSteering, control::maxSteering);
    speed = std::clamp(control::stepTowards(speed, command.speed, control::speedStep), 0.0,
                       control::topSpeed);
}

DriverView Car::driverView(const Course& course) const {
    Lock lock(mutex);
    return {stateUnlocked(), targetSpeed, crossTrackUnlocked(course), headingErrorUnlocked(),
            obstacleSum};
}
