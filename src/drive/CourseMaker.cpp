// Making a course: a star-shaped loop around a centre east of the origin, cut straight on its west
// side for the start, waypoints where it bends, speeds by the turns ahead, obstacle groups along
// the way; then the autopilot drives it, and a gentler, slower course is tried when it fails.
#include "CourseMaker.h"

#include "Drive.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

namespace {

constexpr double pi = 3.14159265358979323846;
constexpr double degrees = pi / 180;
// Samples of the outline: about a foot apart on a course of 3000 ft.
constexpr int outlineSamples = 2880;
// The car is put back at the origin heading north once it reaches the last waypoint, so that one
// lies this far south of it, approached northwards.
constexpr double homeGapFt = 35;
constexpr double longestSegmentFt = 300;
constexpr double shortestSegmentFt = 50;
// Parts of the loop farther apart along the road than three times this never come closer.
constexpr double clearanceFt = 70;
// The bends at the ends of the start straight fall between two samples of the outline; they count
// as corners, not as curvature that needs waypoints.
constexpr double cornerTurn = 3 * degrees;
constexpr int attempts = 8;
constexpr int shapeReductions = 12;
constexpr double worstCrossTrackFt = 30;
// Obstacle groups lie from this far along the road after the start...
constexpr double startClearFt = 150;
// ...to this far before its end, and no nearer the origin as the crow flies.
constexpr double homeClearFt = 100;
// Obstacles on the line keep this far from both ends of their segment.
constexpr double lineClearFt = 70;

struct Point {
    double x, y;
};

Point operator-(Point a, Point b) {
    return {a.x - b.x, a.y - b.y};
}
double dot(Point a, Point b) {
    return a.x * b.x + a.y * b.y;
}
double cross(Point a, Point b) {
    return a.x * b.y - a.y * b.x;
}
double length(Point a) {
    return std::sqrt(dot(a, a));
}

// Clockwise (to the right) positive, in radians.
double turnAt(Point before, Point at, Point after) {
    const Point in = at - before, out = after - at;
    return std::atan2(-cross(in, out), dot(in, out));
}

double pointToSegment(Point p, Point a, Point b) {
    const Point ab = b - a;
    const double along = dot(ab, ab) > 0 ? std::clamp(dot(p - a, ab) / dot(ab, ab), 0.0, 1.0) : 0;
    return length(p - Point{a.x + along * ab.x, a.y + along * ab.y});
}

double segmentToSegment(Point a, Point b, Point c, Point d) {
    const double abc = cross(b - a, c - a), abd = cross(b - a, d - a);
    const double cda = cross(d - c, a - c), cdb = cross(d - c, b - c);
    if (((abc > 0) != (abd > 0)) && ((cda > 0) != (cdb > 0))) return 0;
    return std::min({pointToSegment(a, c, d), pointToSegment(b, c, d), pointToSegment(c, a, b),
                     pointToSegment(d, a, b)});
}

// The standard distributions differ between standard libraries; the engine's raw output does not.
class Random {
  public:
    explicit Random(uint32_t seed) : engine(seed) {}
    double uniform() { return static_cast<double>(engine()) / 4294967296.0; }
    double between(double low, double high) { return low + (high - low) * uniform(); }
    int whole(int low, int high) {
        return std::min(high, low + static_cast<int>(uniform() * (high - low + 1)));
    }

  private:
    std::mt19937 engine;
};

struct Harmonic {
    int order;
    double amplitude, phase;
};

struct Shape {
    std::vector<Harmonic> harmonics;
    double straightHalfAngle;  // seen from the centre, radians
};

Shape drawShape(Random& random, const CourseKnobs& knobs) {
    Shape shape{{}, std::min(random.between(20, 35), knobs.sharpnessDeg / 2) * degrees};
    if (knobs.lobes == 0) {
        for (int order = 2; order <= 4; ++order)
            shape.harmonics.push_back({order, knobs.wobble * random.between(0.1, 0.7) / order,
                                       random.between(0, 2 * pi)});
    } else {
        shape.harmonics.push_back(
            {knobs.lobes, knobs.wobble * random.between(0.25, 0.4), random.between(0, 2 * pi)});
        shape.harmonics.push_back(
            {2, knobs.wobble * random.between(0, 0.1), random.between(0, 2 * pi)});
    }
    return shape;
}

// The outline at unit size, clockwise from the origin and back to it. The bulges fade towards the
// west, and the west side is cut along x = 0, so the loop starts and ends on a straight northwards.
std::vector<Point> outline(const Shape& shape, double scale) {
    const double cut = std::cos(shape.straightHalfAngle);
    std::vector<Point> points;
    for (int i = 0; i <= outlineSamples; ++i) {
        const double angle = pi - 2 * pi * i / outlineSamples;
        double bulge = 0;
        for (const Harmonic& h : shape.harmonics)
            bulge += h.amplitude * std::cos(h.order * (angle - pi) + h.phase);
        const double radius = 1 + scale * bulge * (1 + std::cos(angle)) / 2;
        const double toCut = std::cos(angle) < 0 ? cut / -std::cos(angle) : HUGE_VAL;
        points.push_back(radius < toCut
                             ? Point{cut + radius * std::cos(angle), radius * std::sin(angle)}
                             : Point{0, toCut * std::sin(angle)});
    }
    points.front() = points.back() = {0, 0};
    return points;
}

// Indices into the outline (of its given length in feet): at both ends of every straight on the
// cut, at the home gap, and in between as often as the bends need to keep each turn within the
// budget.
std::vector<size_t> placeWaypoints(const std::vector<Point>& points, double turnBudget) {
    const size_t last = points.size() - 1;
    std::vector<double> along(points.size(), 0), need(points.size(), 0);
    std::vector<size_t> breaks = {0};
    for (size_t i = 1; i <= last; ++i) along[i] = along[i - 1] + length(points[i] - points[i - 1]);
    for (size_t i = 1; i <= last; ++i) {
        const double turn =
            i < last ? std::fabs(turnAt(points[i - 1], points[i], points[i + 1])) : 0;
        need[i] = need[i - 1] + std::max(turn > cornerTurn ? 0 : turn / turnBudget,
                                         (along[i] - along[i - 1]) / longestSegmentFt);
        const bool straightEnds =
            i < last && points[i].x == 0 && (points[i - 1].x != 0 || points[i + 1].x != 0);
        if (straightEnds && along[i] - along[breaks.back()] >= shortestSegmentFt &&
            along[last] - along[i] > homeGapFt + shortestSegmentFt)
            breaks.push_back(i);
    }
    size_t home = last;
    while (along[last] - along[home] < homeGapFt) --home;
    breaks.push_back(home);

    std::vector<size_t> placed = {0};
    for (size_t b = 1; b < breaks.size(); ++b) {
        const size_t from = breaks[b - 1], to = breaks[b];
        const double span = along[to] - along[from];
        const int pieces =
            std::max(1, std::min(static_cast<int>(std::ceil(need[to] - need[from] - 1e-9)),
                                 static_cast<int>(span / shortestSegmentFt)));
        size_t i = from;
        for (int p = 1; p < pieces; ++p) {
            const double mark = need[from] + (need[to] - need[from]) * p / pieces;
            while (need[i] < mark) ++i;
            placed.push_back(i);
        }
        placed.push_back(to);
    }
    return placed;
}

// The value with that many decimals, rounded here: the C libraries round halves differently.
std::string fixed(double value, int digits) {
    long long unit = 1;
    for (int i = 0; i < digits; ++i) unit *= 10;
    const long long units = std::llround(value * unit);
    const long long magnitude = units < 0 ? -units : units;
    std::string fraction = std::to_string(magnitude % unit);
    fraction.insert(0, digits - fraction.size(), '0');
    return (units < 0 ? "-" : "") + std::to_string(magnitude / unit) + "." + fraction;
}

struct Layout {
    std::vector<Point> waypoints;
    std::vector<double> turns;  // at each waypoint, 0 at both ends
};

// The waypoints of a shape at its largest bulge that keeps every turn within the sharpness and the
// loop clear of itself; empty when even the plainest loop does not.
Layout layOut(const Shape& shape, double startScale, const CourseKnobs& knobs) {
    for (int reduction = 0; reduction <= shapeReductions; ++reduction) {
        const double scale =
            reduction == shapeReductions ? 0 : startScale * std::pow(0.8, reduction);
        std::vector<Point> points = outline(shape, scale);
        double unitLength = 0;
        for (size_t i = 1; i < points.size(); ++i) unitLength += length(points[i] - points[i - 1]);
        for (Point& p : points)
            p = {p.x * knobs.lengthFt / unitLength, p.y * knobs.lengthFt / unitLength};

        Layout layout;
        for (size_t i : placeWaypoints(points, 0.6 * knobs.sharpnessDeg * degrees))
            layout.waypoints.push_back(
                {std::round(points[i].x * 10) / 10, std::round(points[i].y * 10) / 10});
        const std::vector<Point>& w = layout.waypoints;
        layout.turns.assign(w.size(), 0);
        bool fits = true;
        for (size_t i = 1; i + 1 < w.size(); ++i) {
            layout.turns[i] = turnAt(w[i - 1], w[i], w[i + 1]);
            fits = fits && std::fabs(layout.turns[i]) <= knobs.sharpnessDeg * degrees;
        }
        // Segment k runs from waypoint k to the next; the last one is the way home to the origin.
        const size_t segments = w.size();
        const auto end = [&](size_t k) { return w[(k + 1) % segments]; };
        std::vector<double> along = {0};
        for (size_t k = 0; k < segments; ++k) along.push_back(along.back() + length(end(k) - w[k]));
        for (size_t i = 0; fits && i < segments; ++i)
            for (size_t j = i + 1; fits && j < segments; ++j) {
                const double apart =
                    std::min(along[j] - along[i + 1], along[i] + along[segments] - along[j + 1]);
                if (apart >= 3 * clearanceFt)
                    fits = segmentToSegment(w[i], end(i), w[j], end(j)) >= clearanceFt;
            }
        if (fits) return layout;
    }
    return {};
}

// The target speed of each waypoint: that of its segment, slower before a sharper turn at its end
// and not much faster than the turn at its start allows.
std::vector<int> speedsFor(const Layout& layout, int minSpeed, int maxSpeed) {
    const auto cornering = [&](double turn) {
        const double ease = std::max(0.0, 1 - std::fabs(turn) / (70 * degrees));
        return minSpeed + (maxSpeed - minSpeed) * ease;
    };
    const size_t count = layout.waypoints.size();
    std::vector<int> speeds(count, minSpeed);
    for (size_t i = 0; i + 1 < count; ++i)
        speeds[i] = static_cast<int>(
            std::lround(std::min(cornering(layout.turns[i + 1]), cornering(layout.turns[i]) + 10)));
    return speeds;
}

struct Group {
    int count;
    double strength;
    long xmin, ymin, xmax, ymax;
};

std::vector<Group> placeObstacles(Random& random, const std::vector<Point>& w,
                                  const CourseKnobs& knobs) {
    double road = 0;
    for (size_t i = 1; i < w.size(); ++i) road += length(w[i] - w[i - 1]);
    const int wanted = static_cast<int>(std::lround(knobs.groupsPer1000Ft * road / 1000));
    std::vector<Group> groups;
    for (int g = 0; g < wanted; ++g) {
        const bool wantsTheLine = random.uniform() < 0.4;
        double at = random.between(startClearFt, road - homeClearFt);
        size_t s = 0;
        for (; at > length(w[s + 1] - w[s]); ++s) at -= length(w[s + 1] - w[s]);
        const Point a = w[s], d = w[s + 1] - w[s];
        const double segment = length(d);
        // On the line only in the middle of a long segment: the car swerves round the obstacles
        // and must be back on its line in time to pass the next waypoint within reach.
        const bool onTheLine = wantsTheLine && segment >= 2 * lineClearFt + 30;
        const double t =
            (onTheLine ? std::clamp(at, lineClearFt, segment - lineClearFt) : at) / segment;
        const double side = random.uniform() < 0.5 ? -1 : 1;
        const double offset = random.between(25, 60);
        const double halfWidth = onTheLine ? random.between(6, 14) : random.between(10, 30);
        const double halfHeight = onTheLine ? halfWidth : random.between(10, 30);
        const int count = onTheLine ? random.whole(2, 5) : random.whole(4, 14);
        const double strength = knobs.strength ? *knobs.strength
                                : onTheLine
                                    ? (random.uniform() < 0.5 ? 0.8 : -1)
                                    : std::array<double, 4>{-1, -1, 0.3, 0.8}[random.whole(0, 3)];
        const Point normal = {d.y / segment, -d.x / segment};  // to the right of the road
        const double shift = onTheLine ? 0 : side * (offset + std::max(halfWidth, halfHeight));
        const Point centre = {a.x + t * d.x + shift * normal.x, a.y + t * d.y + shift * normal.y};
        const Group group{count,
                          strength,
                          std::lround(std::floor(centre.x - halfWidth)),
                          std::lround(std::floor(centre.y - halfHeight)),
                          std::lround(std::ceil(centre.x + halfWidth)),
                          std::lround(std::ceil(centre.y + halfHeight))};
        // The corners and the middle of the rectangle keep clear of the start and, beside the
        // road, of every part of it.
        const double left = group.xmin, bottom = group.ymin, right = group.xmax, top = group.ymax;
        const Point probes[] = {{left, bottom}, {right, bottom}, {left, top}, {right, top}, centre};
        bool clear = true;
        for (const Point& p : probes) {
            clear = clear && length(p) >= homeClearFt;
            for (size_t i = 0; !onTheLine && i + 1 < w.size(); ++i)
                clear = clear && pointToSegment(p, w[i], w[i + 1]) >= 12;
        }
        if (clear) groups.push_back(group);
    }
    return groups;
}

std::string courseText(const std::string& name, const std::vector<Point>& w,
                       const std::vector<int>& speeds, const std::vector<Group>& groups) {
    std::string text = "1 " + name + " " + std::to_string(w.size()) + "\n";
    for (size_t i = 0; i < w.size(); ++i)
        text += std::to_string(i) + " " + fixed(w[i].x, 1) + " " + fixed(w[i].y, 1) + " " +
                std::to_string(speeds[i]) + "\n";
    text += std::to_string(groups.size()) + "\n";
    for (const Group& g : groups)
        text += std::to_string(g.count) + " " + fixed(g.strength, 2) + " " +
                std::to_string(g.xmin) + " " + std::to_string(g.ymin) + " " +
                std::to_string(g.xmax) + " " + std::to_string(g.ymax) + "\n";
    return text;
}

// Drives the course as the lab does; false when a lap does not finish or strays too far.
bool checkByDriving(MadeCourse& made, double expectedLapSeconds) {
    Drive drive(made.text, "made course");
    if (!drive.valid()) return false;
    made.meanLapSeconds = made.worstCrossTrackFt = 0;
    made.obstaclesHit = 0;
    for (unsigned seed = 1; seed <= courseCheckSeeds; ++seed) {
        DriveSetup setup;
        setup.laps = courseCheckLaps;
        setup.seed = seed;
        setup.lapLimitMs = static_cast<int64_t>(1000 * (3 * expectedLapSeconds + 30));
        drive.start(setup, Pixels::none);
        while (!drive.over()) drive.steerByAutopilot();
        if (drive.end() != DriveEnd::finished) return false;
        for (const LapFigures& lap : drive.getLaps()) {
            made.meanLapSeconds += lap.seconds / (courseCheckSeeds * courseCheckLaps);
            made.worstCrossTrackFt = std::max(made.worstCrossTrackFt, lap.worstCrossTrack);
            made.obstaclesHit += lap.obstaclesHit;
        }
    }
    return made.worstCrossTrackFt <= worstCrossTrackFt;
}

}  // namespace

MadeCourse makeCourse(unsigned seed, const std::string& name, const CourseKnobs& knobs) {
    Random random(seed);
    const Shape shape = drawShape(random, knobs);
    MadeCourse made;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        const Layout layout = layOut(shape, std::pow(0.85, attempt), knobs);
        if (layout.waypoints.empty()) {
            made.error = "no loop of about " + std::to_string(std::lround(knobs.lengthFt)) +
                         " ft keeps its turns within --sharpness " + fixed(knobs.sharpnessDeg, 1) +
                         " degrees and clear of itself";
            return made;
        }
        const int top = static_cast<int>(
            std::lround(knobs.maxSpeed - (knobs.maxSpeed - knobs.minSpeed) * 0.15 * attempt));
        const std::vector<int> speeds =
            speedsFor(layout, knobs.minSpeed, std::max(top, knobs.minSpeed));
        // The obstacles draw from a sequence of their own, the same for every try.
        Random obstacleRandom(seed ^ 0x9e3779b9u);
        const std::vector<Group> groups = placeObstacles(obstacleRandom, layout.waypoints, knobs);
        made.text = courseText(name, layout.waypoints, speeds, groups);
        made.waypoints = static_cast<int>(layout.waypoints.size());
        made.groups = static_cast<int>(groups.size());
        made.lengthFt = length(layout.waypoints.back());
        double seconds = 0;
        for (size_t i = 1; i < layout.waypoints.size(); ++i) {
            const double part = length(layout.waypoints[i] - layout.waypoints[i - 1]);
            made.lengthFt += part;
            seconds += part / (speeds[i - 1] * 5280.0 / 3600);
        }
        if (checkByDriving(made, seconds)) return made;
    }
    made.text.clear();
    made.error = "the autopilot did not drive any of " + std::to_string(attempts) +
                 " courses from seed " + std::to_string(seed) + " with these knobs";
    return made;
}
