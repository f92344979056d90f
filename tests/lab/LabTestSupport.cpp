// The lab's shared test helpers: its two courses, running the lab program, comparing traces.
#include "LabTestSupport.h"

#include "TestFiles.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/wait.h>
#endif
#include <cstdlib>

const std::string shippedCourse = readFile(ROADSIM_DATA_DIR "/courses.txt");

const char* const loopCourse =
    "7 octagon 9\n"
    "0 0 0 20\n1 0 200 30\n2 100 300 25\n3 250 300 30\n4 350 200 25\n"
    "5 350 0 30\n6 250 -100 25\n7 100 -100 20\n8 10 -30 15\n"
    "3\n"
    "6 0.8 -4 60 4 140\n"
    "6 -1 340 40 360 160\n"
    "20 -1 -60 -120 400 320\n";

int runLab(const std::string& arguments) {
#ifdef _WIN32
    // cmd.exe takes the outer quotes off, and gives back the program's exit code as it is.
    return std::system(("\"\"" ROADSIM_LAB "\" " + arguments + "\"").c_str());
#else
    const int status = std::system((ROADSIM_LAB " " + arguments).c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
}

void expectSameTrace(const DriveResult& a, const DriveResult& b) {
    ASSERT_EQ(a.trace.size(), b.trace.size());
    for (size_t i = 0; i < a.trace.size(); ++i) {
        ASSERT_EQ(a.trace[i].x, b.trace[i].x) << "frame " << i;
        ASSERT_EQ(a.trace[i].y, b.trace[i].y) << "frame " << i;
        ASSERT_EQ(a.trace[i].steering, b.trace[i].steering) << "frame " << i;
        ASSERT_EQ(a.trace[i].speed, b.trace[i].speed) << "frame " << i;
    }
}
