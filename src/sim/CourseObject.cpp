// The turn into the car's frame, the projection onto the screen and the obstacle force.
#include "CourseObject.h"

#include "Display.h"

#include <cmath>

const double viewScale = 0.3;

namespace {

// The car's reference point: the middle of the bottom edge, looking up the screen.
constexpr int carColumn = displayWidth / 2;
constexpr int carRow = displayHeight;

// Objects far outside the view would overflow the conversion to int; any clamped value stays off
// the screen, and NaN counts as off the screen too.
int32_t toScreen(double coordinate) {
    constexpr double limit = 1e9;
    if (!(coordinate > -limit)) return static_cast<int32_t>(-limit);
    if (coordinate > limit) return static_cast<int32_t>(limit);
    return static_cast<int32_t>(coordinate);
}

}  // namespace

double CourseObject::project(SDL_Surface* surface, double carX, double carY, double heading) {
    return project(surface, carX, carY, std::sin(heading), std::cos(heading));
}

double CourseObject::project(SDL_Surface* surface, double carX, double carY, double sinHeading,
                             double cosHeading) {
    const double dx = x - carX;
    const double dy = y - carY;
    const double r = dx * cosHeading - dy * sinHeading;
    const double t = dx * sinHeading + dy * cosHeading;
    hit = std::fabs(r) < 5 && t < 20 && t > 0;
    screenX = toScreen(r / viewScale + carColumn);
    screenY = toScreen(carRow - t / viewScale);
    if (!(screenX > 0 && screenX < displayWidth && screenY > bannerHeight &&
          screenY < displayHeight))
        return 0;
    double force = 0;
    if (t > 10) {
        const double q = (r * r + t * t) / 100;
        force = r > 0 ? value / (q * q) : -value / (q * q);
    }
    if (image != nullptr && surface != nullptr) image->draw(surface, screenX, screenY);
    return force;
}
