// The car's frame is the driver's view's: feet to the right and ahead, turned by the heading as the
// course projects its objects.
#include "Sight.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>

namespace {

struct Seen {
    double right, ahead;
};

Seen inCarFrame(const CarState& car, double x, double y) {
    const double dx = x - car.x, dy = y - car.y;
    return {dx * std::cos(car.heading) - dy * std::sin(car.heading),
            dx * std::sin(car.heading) + dy * std::cos(car.heading)};
}

// The waypoint that starts the car's current segment.
size_t segmentStart(const std::vector<SightPoint>& waypoints, const CarState& car) {
    return std::min<size_t>(static_cast<size_t>(std::max(car.waypointIndex, 0)),
                            waypoints.size() - 1);
}

// The points of the course sightRoadFt ahead of the car's place on its segment from waypoint
// INDEX, the course taken again from its start past its end, as the car drives it lap after lap.
std::array<Seen, sightRoadPoints> roadAhead(const std::vector<SightPoint>& waypoints,
                                            const CarState& car, size_t index) {
    const size_t count = waypoints.size();
    size_t next = (index + 1) % count;
    // Where the car is along its segment.
    double px = waypoints[index].x, py = waypoints[index].y;
    const double sx = waypoints[next].x - px, sy = waypoints[next].y - py;
    const double length = std::hypot(sx, sy);
    double along = 0;
    if (length > 0)
        along = std::clamp(((car.x - px) * sx + (car.y - py) * sy) / length, 0.0, length);
    std::array<Seen, sightRoadPoints> seen{};
    double walked = -along;  // feet from the car's place to the start of the segment
    for (int k = 0; k < sightRoadPoints; ++k) {
        // At most one lap's segments per point: a course of one place stays there.
        for (size_t hops = 0; hops < count; ++hops) {
            const double segment = std::hypot(waypoints[next].x - waypoints[index].x,
                                              waypoints[next].y - waypoints[index].y);
            if (walked + segment >= sightRoadFt[k]) break;
            walked += segment;
            index = next;
            next = (next + 1) % count;
        }
        const SightPoint& a = waypoints[index];
        const SightPoint& b = waypoints[next];
        const double segment = std::hypot(b.x - a.x, b.y - a.y);
        const double part =
            segment > 0 ? std::clamp((sightRoadFt[k] - walked) / segment, 0.0, 1.0) : 0.0;
        seen[k] = inCarFrame(car, a.x + part * (b.x - a.x), a.y + part * (b.y - a.y));
    }
    return seen;
}

}  // namespace

std::vector<const char*> sightFieldNames() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> all = {"speed",         "steering",      "target_speed",
                                        "cross_track",   "heading_error", "waypoint_right",
                                        "waypoint_ahead"};
        for (int k = 0; k < sightRoadPoints; ++k) {
            const std::string at = "road_" + std::to_string(static_cast<int>(sightRoadFt[k]));
            all.push_back(at + "_right");
            all.push_back(at + "_ahead");
        }
        for (int k = 1; k <= sightObstacles; ++k) {
            const std::string nth = "obstacle_" + std::to_string(k);
            for (const char* part : {"_right", "_ahead", "_strength"}) all.push_back(nth + part);
        }
        return all;
    }();
    std::vector<const char*> out;
    for (const std::string& name : names) out.push_back(name.c_str());
    return out;
}

void writeSight(const std::vector<SightPoint>& waypoints, const std::vector<SightPoint>& obstacles,
                const DriverView& view, float* out) {
    const CarState& car = view.state;
    for (const double own :
         {car.speed, car.steering, view.targetSpeed, view.crossTrack, view.headingError})
        *out++ = static_cast<float>(own);
    if (waypoints.empty()) {
        const int placeFields = 2 + 2 * sightRoadPoints;  // the waypoint's and the road's
        std::fill(out, out + placeFields, 0.0f);
        out += placeFields;
    } else {
        const size_t start = segmentStart(waypoints, car);
        const SightPoint& next = waypoints[(start + 1) % waypoints.size()];
        const Seen waypoint = inCarFrame(car, next.x, next.y);
        *out++ = static_cast<float>(waypoint.right);
        *out++ = static_cast<float>(waypoint.ahead);
        for (const Seen& point : roadAhead(waypoints, car, start)) {
            *out++ = static_cast<float>(point.right);
            *out++ = static_cast<float>(point.ahead);
        }
    }
    struct Near {
        double distance;
        Seen at;
        double strength;
    };
    std::vector<Near> near;
    for (const SightPoint& obstacle : obstacles) {
        const Seen at = inCarFrame(car, obstacle.x, obstacle.y);
        const double distance = std::hypot(at.right, at.ahead);
        if (at.ahead > 0 && distance <= sightRangeFt)
            near.push_back({distance, at, obstacle.value});
    }
    const size_t shown = std::min<size_t>(near.size(), sightObstacles);
    std::partial_sort(near.begin(), near.begin() + static_cast<std::ptrdiff_t>(shown), near.end(),
                      [](const Near& a, const Near& b) { return a.distance < b.distance; });
    for (int k = 0; k < sightObstacles; ++k) {
        const Near seen = static_cast<size_t>(k) < shown ? near[k] : Near{0, {0, sightRangeFt}, 0};
        *out++ = static_cast<float>(seen.at.right);
        *out++ = static_cast<float>(seen.at.ahead);
        *out++ = static_cast<float>(seen.strength);
    }
}
