// Reading the course file, laying path markers, scattering obstacles, and the per-frame drawing and
// sensing of the course with its collisions.
#include "Course.h"

#include "Display.h"

#include <SDL_mixer.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <memory>

Course::Course(ParticleList& particles)
    : waypointImage(),
      markerImage(),
      obstacleImage(),
      crashSound(),
      name(),
      markers(),
      obstacles(),
      waypoints(),
      particles(particles),
      random() {}

void Course::loadImages(const ImageSource& images) {
    if (soundEnabled) replaceChunk(crashSound, 1, "crash.wav");
    // Every drive loads afresh; replacing the animations keeps them at one frame each.
    const std::pair<const char*, Animation*> animations[] = {
        {"wp.bmp", &waypointImage}, {"iwp.bmp", &markerImage}, {"obsticle.bmp", &obstacleImage}};
    for (const auto& [fileName, animation] : animations) {
        *animation = Animation();
        animation->addFrame(ImageFrame(fileName, 10000, images));
    }
}

bool Course::read(std::istream& in) {
    return read(in, SDL_GetTicks(), "courses.txt");
}

namespace {

// A position drawn from [low, high), with 64-bit extents so that no rectangle overflows; an empty
// extent leaves no choice but low. A reversed rectangle reaches beyond low, as the remainder of a
// negative extent is still non-negative.
double scatter(CourseRandom& random, int32_t low, int32_t high) {
    const int64_t extent = int64_t{high} - low;
    if (extent == 0) return low;
    return static_cast<double>(low + random.next() % extent);
}

}  // namespace

bool Course::read(std::istream& in, unsigned seed, const std::string& source,
                  std::ostream& errors) {
    random.seed(seed);
    bool capped = false;
    std::string missing;
    // The caller has read the leading number; a stream failed already means no usable file.
    if (!in) {
        name.clear();
        waypoints.clear();
        markers.clear();
        obstacles.clear();
        missing = "it (missing, unreadable or without its leading number)";
    } else {
        missing = readObjects(in, source, errors, capped);
    }
    // Markers and obstacles are collected oldest first and turned round at the end: the same order
    // as inserting each at the front, without the quadratic cost.
    std::reverse(markers.begin(), markers.end());
    std::reverse(obstacles.begin(), obstacles.end());
    if (missing.empty()) return !capped;
    errors << source << ": cannot read " << missing << std::endl;
    return false;
}

std::string Course::readObjects(std::istream& in, const std::string& source, std::ostream& errors,
                                bool& capped) {
    std::string newName;
    int32_t count = 0;
    const bool named = static_cast<bool>(in >> newName);
    const bool counted = named && in >> count;
    if (named) name = newName;
    waypoints.clear();
    markers.clear();
    obstacles.clear();
    if (!named) return "the course name";
    if (!counted) return "the waypoint count";
    const std::string missing = readWaypoints(in, count);
    return missing.empty() ? scatterObstacles(in, source, errors, capped) : missing;
}

std::string Course::readWaypoints(std::istream& in, int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        int32_t label = 0, speed = 0;
        double x = 0, y = 0;
        if (!(in >> label >> x >> y >> speed)) return "waypoint " + std::to_string(i + 1);
        CourseObject waypoint;
        waypoint.set(x, y, &waypointImage, speed);
        waypoints.push_back(waypoint);
        if (i > 0) {
            const CourseObject& a = waypoints[waypoints.size() - 2];
            const CourseObject& b = waypoints.back();
            for (double t = 0.1; t < 1; t += 0.1) {
                CourseObject marker;
                marker.set(b.x + t * (a.x - b.x), b.y + t * (a.y - b.y), &markerImage, 1.0);
                markers.push_back(marker);
            }
        }
    }
    return "";
}

std::string Course::scatterObstacles(std::istream& in, const std::string& source,
                                     std::ostream& errors, bool& capped) {
    int32_t groups = 0;
    if (!(in >> groups)) return "the obstacle group count";
    for (int32_t g = 0; g < groups; ++g) {
        int32_t obstacleCount = 0, xmin = 0, ymin = 0, xmax = 0, ymax = 0;
        double strength = 0;
        if (!(in >> obstacleCount >> strength >> xmin >> ymin >> xmax >> ymax))
            return "obstacle group " + std::to_string(g + 1);
        for (int32_t k = 0; k < obstacleCount; ++k) {
            if (obstacles.size() == maxObstacles) {
                // A few bytes of file must not ask for gigabytes of obstacles.
                if (!capped)
                    errors << source << ": more than " << maxObstacles
                           << " obstacles; obstacle group " << g + 1
                           << " and the groups after it are not placed in full" << std::endl;
                capped = true;
                break;
            }
            const double x = scatter(random, xmin, xmax);
            const double y = scatter(random, ymin, ymax);
            const double value = strength >= 0 ? strength : (random.next() % 1010) / 1000.0;
            CourseObject obstacle;
            obstacle.set(x, y, &obstacleImage, value);
            obstacles.push_back(obstacle);
        }
    }
    return "";
}

bool Course::readFile(std::istream& in, unsigned seed, const std::string& source,
                      std::ostream& errors) {
    int32_t leadingNumber = 0;
    in >> leadingNumber;
    return read(in, seed, source, errors);
}

double Course::drawAndSense(SDL_Surface* surface, double carX, double carY, double heading,
                            double threshold) {
    const double sinHeading = std::sin(heading);
    const double cosHeading = std::cos(heading);
    // Waypoints and markers add no force: without a surface there is nothing to do for them.
    if (surface != nullptr) {
        for (CourseObject& waypoint : waypoints)
            waypoint.project(surface, carX, carY, sinHeading, cosHeading);
        for (CourseObject& marker : markers)
            marker.project(surface, carX, carY, sinHeading, cosHeading);
    }

    double sum = 0;
    bool crashed = false;
    for (CourseObject& obstacle : obstacles) {
        if (!(obstacle.value >= threshold)) continue;
        sum += obstacle.project(surface, carX, carY, sinHeading, cosHeading);
        if (collides(obstacle, threshold)) {
            crashed = true;
            const double vx = (random.next() % 2000 - 1000) / 15.0;
            const double vy = (random.next() % 2000 - 1000) / 15.0;
            const int32_t lifetime = random.next() % 1000;
            particles.add(std::make_unique<Dirt>(displayWidth, displayHeight, 0, 0, vx, vy,
                                                 obstacle.screenX, obstacle.screenY, lifetime));
        }
    }
    if (crashed && soundEnabled) Mix_PlayChannelTimed(1, crashSound.get(), 0, -1);
    return sum;
}
