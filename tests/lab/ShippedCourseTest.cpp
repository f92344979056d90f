// The shipped course and the gallery: the autopilot drives every lap of each in order, and the
// course maker remakes the gallery byte for byte and refuses what it cannot make.
#include "LabDrive.h"

#include "LabTestSupport.h"
#include "TestFiles.h"
#include "TestSurfaces.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <tuple>
#include <vector>

namespace {

namespace fs = std::filesystem;
using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

// The shipped course and every course of the gallery.
std::vector<fs::path> shippedCourses() {
    std::vector<fs::path> courses;
    for (const auto& entry : fs::directory_iterator(ROADSIM_DATA_DIR "/gallery"))
        courses.push_back(entry.path());
    std::sort(courses.begin(), courses.end());
    courses.insert(courses.begin(), ROADSIM_DATA_DIR "/courses.txt");
    return courses;
}

bool segmentsCross(const CourseObject& a, const CourseObject& b, const CourseObject& c,
                   const CourseObject& d) {
    const auto side = [](const CourseObject& p, const CourseObject& q, const CourseObject& r) {
        return (q.x - p.x) * (r.y - p.y) - (q.y - p.y) * (r.x - p.x) > 0;
    };
    return side(a, b, c) != side(a, b, d) && side(c, d, a) != side(c, d, b);
}

TEST(ShippedCourse, AutopilotDrivesEveryLapInOrderAtTheDefaultTuning) {
    const std::vector<fs::path> courses = shippedCourses();
    EXPECT_GE(courses.size(), 13u) << "the shipped course and a gallery of twelve";
    for (const fs::path& path : courses) {
        SCOPED_TRACE(path.filename().string());
        CaptureStderr();
        LabDrive lab(readFile(path.string()), path.string());
        EXPECT_EQ(GetCapturedStderr(), "") << "the game's reader complains";
        ASSERT_TRUE(lab.valid());
        const std::vector<CourseObject>& w = lab.getCourse().getWaypoints();
        const int32_t waypointCount = static_cast<int32_t>(w.size());
        ASSERT_GE(waypointCount, 10);
        // North from the origin, clockwise, and home from the south.
        EXPECT_EQ(std::make_tuple(w[0].x, w[0].y, w[1].x), std::make_tuple(0.0, 0.0, 0.0));
        EXPECT_GT(
            std::find_if(w.begin(), w.end(), [](const CourseObject& p) { return p.x != 0; })->x, 0);
        EXPECT_LT(std::hypot(w.back().x, w.back().y), 50);
        EXPECT_GT(w.back().y - w[waypointCount - 2].y, 0);
        for (int32_t i = 0; i + 1 < waypointCount; ++i)
            for (int32_t j = i + 2; j + 1 < waypointCount; ++j)
                EXPECT_FALSE(segmentsCross(w[i], w[i + 1], w[j], w[j + 1])) << i << " and " << j;
        if (path.parent_path().filename() == "gallery") {
            EXPECT_EQ(lab.getCourse().getName(), path.stem().string());
        }

        DriveSettings settings;
        settings.laps = 3;
        settings.seed = 20261208;
        settings.recordTrace = true;
        const DriveResult result = lab.drive(settings);
        ASSERT_TRUE(result.finished());
        int32_t previous = 0;
        for (const TraceRow& row : result.trace) {
            // The course restarts at the origin only from the last waypoint.
            if (row.waypointIndex < previous) {
                EXPECT_EQ(previous, waypointCount - 1) << row.seconds;
            } else if (row.waypointIndex > previous) {
                EXPECT_EQ(row.waypointIndex, previous + 1) << row.seconds;
            }
            previous = row.waypointIndex;
        }
        for (const LapFigures& lap : result.laps) {
            std::printf("%s lap: %.2f s, worst cross-track %.2f ft, %d obstacles hit\n",
                        path.stem().string().c_str(), lap.seconds, lap.worstCrossTrack,
                        lap.obstaclesHit);
            EXPECT_LT(lap.worstCrossTrack, 40) << "strays from the segment";
        }
    }
}

TEST(ShippedCourse, GalleryIsRemadeByteForByteAndAnUnmadeCourseFails) {
    const ScratchDirectory scratch;
    // The gallery is made by a POSIX shell script; tests/windows/wine-test.sh compares a course
    // that the Windows build makes with Linux's.
#ifndef _WIN32
    ASSERT_EQ(std::system(ROADSIM_SOURCE_DIR "/tools/gallery/make-gallery.sh " ROADSIM_LAB
                                             " . >made.txt"),
              0);
    for (const fs::path& path : shippedCourses())
        if (path.parent_path().filename() == "gallery") {
            EXPECT_TRUE(readFile(path) == readFile("gallery" / path.filename())) << path;
        }
    EXPECT_EQ(splitLines(readFile("made.txt")).size(), shippedCourses().size() - 1);
#endif

    // The arguments, the status and what the lab says.
    const std::tuple<std::string, int, std::string> cases[] = {
        {"--make-course 3 no/such/folder/new.txt", 1, "cannot write no/such/folder/new.txt"},
        {"--make-course 3 new.txt --length 800 --sharpness 10", 1, "--sharpness 10.0"},
        {"--make-course 3 new.txt --speeds 40,20", 2, "--speeds"},
    };
    for (const auto& [arguments, status, said] : cases) {
        EXPECT_EQ(runLab(arguments + " 2>err.txt"), status) << arguments;
        EXPECT_NE(readFile("err.txt").find(said), std::string::npos) << readFile("err.txt");
        EXPECT_FALSE(fs::exists("new.txt"));
    }
}

}  // namespace
