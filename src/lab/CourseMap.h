// A top-down map of a course with the path a drive took, written as a PNG or BMP file.
#pragma once

#include "Course.h"
#include "LabDrive.h"

#include <string>

// World feet to the pixels of a square map, for the PNG map and the board's SVG maps alike: all
// that is included, and the origin, scaled to fit within the margin, +y pointing up the map as
// north on a chart.
class MapFrame {
  public:
    MapFrame(double size, double margin) : size(size), margin(margin) {}
    void include(double x, double y);
    double column(double x) const { return margin + (x - minX) * scale(); }
    double row(double y) const { return margin + (maxY - y) * scale(); }

  private:
    double scale() const;
    double size, margin;
    double minX = 0, minY = 0, maxX = 0, maxY = 0;
};

// Waypoints, path markers and obstacles (sized by strength), the car's path coloured by speed from
// blue (slow) to red (fast), and the collisions marked; PNG when the name ends in ".png", else BMP.
// False when the file cannot be written.
bool writeCourseMap(const std::string& fileName, const Course& course,
                    const std::vector<TraceRow>& trace);
