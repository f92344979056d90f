// What several of the lab's suites share: the shipped course and a short loop, the lab program run
// by the shell, and two drives compared frame by frame.
#pragma once

#include "LabDrive.h"

#include <string>

// The shipped course's text.
extern const std::string shippedCourse;

// A short loop of gentle corners with obstacles on the road, so that layouts and tunings make a
// difference.
extern const char* const loopCourse;

// The lab program run by the shell in the working directory; its exit status.
int runLab(const std::string& arguments);

// The same frames, bit for bit.
void expectSameTrace(const DriveResult& a, const DriveResult& b);
