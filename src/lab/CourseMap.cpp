// Drawing the course map with SDL_gfx on a software surface, saved as PNG or BMP.
#include "CourseMap.h"

#include "ImageFrame.h"
#include "Png.h"

#include <SDL_gfxPrimitives.h>

#include <algorithm>
#include <cmath>

namespace {

constexpr int mapSize = 800;
constexpr int margin = 30;

Sint16 toPixel(double value) {
    return static_cast<Sint16>(std::clamp(value, -30000.0, 30000.0));
}

MapFrame frameFor(const Course& course, const std::vector<TraceRow>& trace) {
    MapFrame frame(mapSize, margin);
    for (const CourseObject& waypoint : course.getWaypoints())
        frame.include(waypoint.x, waypoint.y);
    for (const CourseObject& obstacle : course.getObstacles())
        frame.include(obstacle.x, obstacle.y);
    for (const TraceRow& row : trace) frame.include(row.x, row.y);
    return frame;
}

}  // namespace

void MapFrame::include(double x, double y) {
    minX = std::min(minX, x);
    maxX = std::max(maxX, x);
    minY = std::min(minY, y);
    maxY = std::max(maxY, y);
}

double MapFrame::scale() const {
    return (size - 2 * margin) / std::max({maxX - minX, maxY - minY, 1.0});
}

bool writeCourseMap(const std::string& fileName, const Course& course,
                    const std::vector<TraceRow>& trace) {
    const SurfacePtr map(SDL_CreateRGBSurface(SDL_SWSURFACE, mapSize, mapSize, 32, 0x00FF0000,
                                              0x0000FF00, 0x000000FF, 0));
    if (!map) return false;
    SDL_Surface* const surface = map.get();
    SDL_FillRect(surface, nullptr, SDL_MapRGB(surface->format, 46, 92, 46));
    const MapFrame frame = frameFor(course, trace);
    const auto across = [&](double x) { return toPixel(frame.column(x)); };
    const auto down = [&](double y) { return toPixel(frame.row(y)); };

    for (const CourseObject& marker : course.getMarkers())
        filledCircleRGBA(surface, across(marker.x), down(marker.y), 2, 240, 220, 80, 255);
    for (const CourseObject& obstacle : course.getObstacles()) {
        const Sint16 radius = static_cast<Sint16>(2 + 4 * std::min(obstacle.value, 1.0));
        filledCircleRGBA(surface, across(obstacle.x), down(obstacle.y), radius, 120, 90, 60, 255);
        circleRGBA(surface, across(obstacle.x), down(obstacle.y), radius, 30, 20, 10, 255);
    }

    double topSpeed = 1;
    for (const TraceRow& row : trace) topSpeed = std::max(topSpeed, row.speed);
    for (size_t i = 1; i < trace.size(); ++i) {
        const TraceRow& a = trace[i - 1];
        const TraceRow& b = trace[i];
        // A lap's end puts the car back at the origin: no line across the map for it.
        if (std::hypot(b.x - a.x, b.y - a.y) > 50) continue;
        const double share = std::clamp(b.speed / topSpeed, 0.0, 1.0);
        thickLineRGBA(surface, across(a.x), down(a.y), across(b.x), down(b.y), 3,
                      static_cast<Uint8>(255 * share), 40, static_cast<Uint8>(255 * (1 - share)),
                      255);
    }
    for (const TraceRow& row : trace) {
        if (!row.collision) continue;
        const Sint16 cx = across(row.x), cy = down(row.y);
        lineRGBA(surface, cx - 5, cy - 5, cx + 5, cy + 5, 255, 255, 255, 255);
        lineRGBA(surface, cx - 5, cy + 5, cx + 5, cy - 5, 255, 255, 255, 255);
    }

    const std::vector<CourseObject>& waypoints = course.getWaypoints();
    for (size_t i = 0; i < waypoints.size(); ++i) {
        const Sint16 cx = across(waypoints[i].x), cy = down(waypoints[i].y);
        filledCircleRGBA(surface, cx, cy, 6, 250, 250, 250, 255);
        circleRGBA(surface, cx, cy, 6, 0, 0, 0, 255);
        stringRGBA(surface, cx + 9, cy - 4, std::to_string(i).c_str(), 255, 255, 255, 255);
    }
    stringRGBA(surface, 10, 10, course.getName().c_str(), 255, 255, 255, 255);
    stringRGBA(surface, 10, mapSize - 18, "path: blue slow .. red fast   x: collision", 255, 255,
               255, 255);
    const bool png = fileName.size() >= 4 && fileName.compare(fileName.size() - 4, 4, ".png") == 0;
    return png ? writePng(surface, fileName) : SDL_SaveBMP(surface, fileName.c_str()) == 0;
}
