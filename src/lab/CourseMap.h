// A top-down map of a course with the path a drive took, written as a PNG or BMP file.
#pragma once

#include "Course.h"
#include "LabDrive.h"

#include <string>

// Waypoints, path markers and obstacles (sized by strength), the car's path coloured by speed from
// blue (slow) to red (fast), and the collisions marked; PNG when the name ends in ".png", else BMP.
// False when the file cannot be written.
bool writeCourseMap(const std::string& fileName, const Course& course,
                    const std::vector<TraceRow>& trace);
