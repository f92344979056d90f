// Reading the course file: waypoints, path markers, scattered obstacles, and files that go wrong.
#include "Course.h"
#include "CourseRandom.h"

#include "SimTestData.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

// The sequence of glibc's rand, which the course keeps on every system: the C library's own on
// Linux, where these tests hold the course's copy to it; on Windows, whose rand is another, that
// copy.
#ifdef _WIN32
CourseRandom glibcSequence;
void srandLikeGlibc(unsigned seed) {
    glibcSequence.seed(seed);
}
int randLikeGlibc() {
    return glibcSequence.next();
}
#else
void srandLikeGlibc(unsigned seed) {
    std::srand(seed);
}
int randLikeGlibc() {
    return std::rand();
}
#endif

// An obstacle as the test expects it, worked out from the generator in the documented order.
struct Placed {
    double x, y, value;
};

class CourseTest : public testing::Test {
  protected:
    void expectObstacles(const std::vector<Placed>& expected) {
        const std::vector<CourseObject>& obstacles = course.getObstacles();
        ASSERT_EQ(obstacles.size(), expected.size());
        for (size_t i = 0; i < expected.size(); ++i) {
            EXPECT_EQ(obstacles[i].x, expected[i].x) << "obstacle " << i;
            EXPECT_EQ(obstacles[i].y, expected[i].y) << "obstacle " << i;
            EXPECT_EQ(obstacles[i].value, expected[i].value) << "obstacle " << i;
            EXPECT_EQ(obstacles[i].image, &course.getObstacleImage()) << "obstacle " << i;
        }
    }

    ParticleList particles;
    Course course{particles};
};

TEST_F(CourseTest, ExampleFileGivesTwoWaypointsTenMarkersAndFiveScatteredObstacles) {
    constexpr unsigned seed = 4242;
    std::istringstream stream("1 loop 2 0 0 0 20 1 0 100 30 1 5 -1 -10 20 10 60");
    CaptureStderr();
    ASSERT_TRUE(course.readFile(stream, seed, "courses.txt"));
    EXPECT_EQ(GetCapturedStderr(), "");

    EXPECT_EQ(course.getName(), "loop");
    const std::vector<CourseObject>& waypoints = course.getWaypoints();
    ASSERT_EQ(waypoints.size(), 2u);
    EXPECT_EQ(waypoints[0].x, 0);
    EXPECT_EQ(waypoints[0].y, 0);
    EXPECT_EQ(waypoints[0].value, 20);
    EXPECT_EQ(waypoints[1].x, 0);
    EXPECT_EQ(waypoints[1].y, 100);
    EXPECT_EQ(waypoints[1].value, 30);
    for (const CourseObject& waypoint : waypoints)
        EXPECT_EQ(waypoint.image, &course.getWaypointImage());

    // Laid from next to the later waypoint back to the earlier one, each at the front.
    const std::vector<CourseObject>& markers = course.getMarkers();
    ASSERT_EQ(markers.size(), 10u);
    for (size_t i = 0; i < markers.size(); ++i) {
        EXPECT_NEAR(markers[i].x, 0, 1e-13) << "marker " << i;
        EXPECT_NEAR(markers[i].y, 10.0 * i, 1e-13) << "marker " << i;
        EXPECT_EQ(markers[i].value, 1.0) << "marker " << i;
        EXPECT_EQ(markers[i].image, &course.getMarkerImage()) << "marker " << i;
    }

    // x, y, then the strength for each obstacle, in rectangle [-10, 10) x [20, 60); newest first.
    srandLikeGlibc(seed);
    std::vector<Placed> expected(5);
    for (int k = 4; k >= 0; --k) {
        const double x = -10 + randLikeGlibc() % 20;
        const double y = 20 + randLikeGlibc() % 40;
        expected[k] = {x, y, (randLikeGlibc() % 1010) / 1000.0};
    }
    expectObstacles(expected);
    for (const CourseObject& obstacle : course.getObstacles()) {
        EXPECT_GE(obstacle.x, -10);
        EXPECT_LE(obstacle.x, 9);
        EXPECT_GE(obstacle.y, 20);
        EXPECT_LE(obstacle.y, 59);
        EXPECT_GE(obstacle.value, 0);
        EXPECT_LE(obstacle.value, 1.009);
    }
}

TEST_F(CourseTest, MarkersHoldTheLastSegmentFirstEachRunningFromItsEarlierWaypoint) {
    ASSERT_TRUE(readCourse(course, courseText({{0, 0, 20}, {0, 100, 30}, {100, 100, 40}})));
    const std::vector<CourseObject>& markers = course.getMarkers();
    ASSERT_EQ(markers.size(), 20u);
    for (size_t i = 0; i < 10; ++i) {
        EXPECT_NEAR(markers[i].x, 10.0 * i, 1e-13) << "marker " << i;
        EXPECT_NEAR(markers[i].y, 100, 1e-13) << "marker " << i;
        EXPECT_NEAR(markers[10 + i].x, 0, 1e-13) << "marker " << 10 + i;
        EXPECT_NEAR(markers[10 + i].y, 10.0 * i, 1e-13) << "marker " << 10 + i;
    }
}

TEST_F(CourseTest, WaypointCountsDecideWaypointsAndMarkersAndTheGroupsAreStillRead) {
    struct Case {
        const char* text;
        size_t waypoints, markers;
    };
    const Case cases[] = {
        {"solo 1 7 5 6 25 1 2 0.5 3 4 3 4", 1, 0},
        {"none 0 1 2 0.5 3 4 3 4", 0, 0},
        {"negative -5 1 2 0.5 3 4 3 4", 0, 0},
        {"pair 2 0 0 0 20 1 0 50 20 1 2 0.5 3 4 3 4", 2, 10},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(readCourse(course, c.text)) << c.text;
        EXPECT_EQ(course.getWaypoints().size(), c.waypoints) << c.text;
        EXPECT_EQ(course.getMarkers().size(), c.markers) << c.text;
        expectObstacles({{3, 4, 0.5}, {3, 4, 0.5}});
    }
}

TEST_F(CourseTest, OnlyANegativeStrengthDrawsARandomNumberPerObstacle) {
    struct Case {
        double strength;
        bool random;
    };
    const Case cases[] = {{0, false}, {0.7, false}, {1.5, false}, {-1, true}, {-1e-9, true}};
    constexpr unsigned seed = 77;
    for (const Case& c : cases) {
        std::ostringstream text;
        text.precision(17);
        text << "strengths 0 1 3 " << c.strength << " 0 0 1000 1000";
        ASSERT_TRUE(readCourse(course, text.str(), seed)) << c.strength;
        srandLikeGlibc(seed);
        std::vector<Placed> expected(3);
        for (int k = 2; k >= 0; --k) {
            const double x = randLikeGlibc() % 1000;
            const double y = randLikeGlibc() % 1000;
            expected[k] = {x, y, c.random ? (randLikeGlibc() % 1010) / 1000.0 : c.strength};
        }
        SCOPED_TRACE(c.strength);
        expectObstacles(expected);
    }
}

TEST_F(CourseTest, GroupsWithoutObstaclesStillConsumeTheirSixFields) {
    ASSERT_TRUE(readCourse(course, "groups 0 3 0 0.9 1 1 5 5 -4 0.9 1 1 5 5 2 0.6 7 8 7 8"));
    expectObstacles({{7, 8, 0.6}, {7, 8, 0.6}});
}

TEST_F(CourseTest, PositionsLieInTheRectangleWithoutItsFarEdges) {
    // A width of 0 takes no random number; reversed rectangles reach beyond xmin and ymin.
    struct Case {
        int32_t xmin, ymin, xmax, ymax;
        int64_t xWidth, yWidth;
    };
    const Case cases[] = {
        {0, 0, 3, 2, 3, 2},
        {-7, 20, -5, 25, 2, 5},
        {10, 10, 0, 5, 10, 5},
        {5, -3, 5, 7, 0, 10},
        {-3, 8, 4, 8, 7, 0},
        {-2000000000, -2000000000, 2000000000, 2000000000, 4000000000, 4000000000},
        {2000000000, 2000000000, -2000000000, -2000000000, 4000000000, 4000000000},
    };
    constexpr unsigned seed = 9;
    constexpr int count = 200;
    for (const Case& c : cases) {
        std::ostringstream text;
        text << "rectangle 0 1 " << count << " 0.5 " << c.xmin << ' ' << c.ymin << ' ' << c.xmax
             << ' ' << c.ymax;
        SCOPED_TRACE(text.str());
        ASSERT_TRUE(readCourse(course, text.str(), seed));
        srandLikeGlibc(seed);
        std::vector<Placed> expected(count);
        for (int k = count - 1; k >= 0; --k) {
            const int64_t x = c.xWidth == 0 ? c.xmin : c.xmin + randLikeGlibc() % c.xWidth;
            const int64_t y = c.yWidth == 0 ? c.ymin : c.ymin + randLikeGlibc() % c.yWidth;
            expected[k] = {static_cast<double>(x), static_cast<double>(y), 0.5};
        }
        expectObstacles(expected);
        const double xLast = c.xmin + static_cast<double>(std::max<int64_t>(c.xWidth, 1) - 1);
        const double yLast = c.ymin + static_cast<double>(std::max<int64_t>(c.yWidth, 1) - 1);
        // glibc's RAND_MAX, the sequence's largest number on every system.
        constexpr double largest = 2147483647;
        for (const CourseObject& obstacle : course.getObstacles()) {
            EXPECT_GE(obstacle.x, c.xmin);
            EXPECT_LE(obstacle.x, std::min(xLast, c.xmin + largest));
            EXPECT_GE(obstacle.y, c.ymin);
            EXPECT_LE(obstacle.y, std::min(yLast, c.ymin + largest));
        }
    }
}

TEST_F(CourseTest, AnEmptyRectangleTakesNoRandomNumberForItsPosition) {
    constexpr unsigned seed = 31;
    ASSERT_TRUE(readCourse(course, "point 0 1 4 -1 5 7 5 7", seed));
    srandLikeGlibc(seed);
    std::vector<Placed> expected(4);
    for (int k = 3; k >= 0; --k) expected[k] = {5, 7, (randLikeGlibc() % 1010) / 1000.0};
    expectObstacles(expected);
}

TEST_F(CourseTest, ReadingAgainReplacesTheWholeCourseWithANewLayout) {
    ASSERT_TRUE(readCourse(course,
                           "first 3 0 0 0 20 1 0 100 30 2 50 50 40 2 3 0.6 0 0 100 100 "
                           "2 -1 0 0 100 100",
                           1));
    ASSERT_TRUE(readCourse(course, "second 2 0 5 5 25 1 5 95 35 1 3 0.9 -50 -50 50 50", 2));
    EXPECT_EQ(course.getName(), "second");
    ASSERT_EQ(course.getWaypoints().size(), 2u);
    EXPECT_EQ(course.getWaypoints()[0].value, 25);
    EXPECT_EQ(course.getWaypoints()[1].y, 95);
    EXPECT_EQ(course.getMarkers().size(), 10u);
    srandLikeGlibc(2);
    std::vector<Placed> expected(3);
    for (int k = 2; k >= 0; --k) {
        const double x = -50 + randLikeGlibc() % 100;
        const double y = -50 + randLikeGlibc() % 100;
        expected[k] = {x, y, 0.9};
    }
    expectObstacles(expected);
}

TEST_F(CourseTest, LeadingNumberAndLabelsMayHoldAnyInt32) {
    std::istringstream stream("-2147483648 edge 2 2147483647 1.5 2.5 20 -2147483648 3.5 4.5 30 0");
    ASSERT_TRUE(course.readFile(stream, 1, "courses.txt"));
    ASSERT_EQ(course.getWaypoints().size(), 2u);
    EXPECT_EQ(course.getWaypoints()[0].x, 1.5);
    EXPECT_EQ(course.getWaypoints()[0].y, 2.5);
    EXPECT_EQ(course.getWaypoints()[1].x, 3.5);
    EXPECT_EQ(course.getWaypoints()[1].value, 30);
}

TEST_F(CourseTest, BrokenFilesKeepWhatWasCompletelyReadAndSayWhatWasNot) {
    struct Case {
        const char* text;
        const char* what;
        size_t waypoints, markers, obstacles;
    };
    const Case cases[] = {
        {"", "the course name", 0, 0, 0},
        {"loop", "the waypoint count", 0, 0, 0},
        {"loop two 0 0 0 20", "the waypoint count", 0, 0, 0},
        {"loop 3000000000 0 0 0 20", "the waypoint count", 0, 0, 0},
        {"loop 2 0 zero 0 20 1 0 100 30 0", "waypoint 1", 0, 0, 0},
        {"loop 3 0 0 0 20 1 0 100 30 2 50", "waypoint 3", 2, 10, 0},
        {"loop 2 0 0 0 20 1 0 100 30", "the obstacle group count", 2, 10, 0},
        {"loop 1 0 0 0 20 2 3 0.8 0 0 10 10 4 0.9 0 0", "obstacle group 2", 1, 0, 3},
        {"loop 0 1 2 strong 0 0 5 5", "obstacle group 1", 0, 0, 0},
        {"loop 0 1 2 0.5 0 0 5.5 5", "obstacle group 1", 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        CaptureStderr();
        EXPECT_FALSE(readCourse(course, c.text));
        EXPECT_EQ(GetCapturedStderr(), std::string("test course: cannot read ") + c.what + "\n");
        EXPECT_EQ(course.getWaypoints().size(), c.waypoints);
        EXPECT_EQ(course.getMarkers().size(), c.markers);
        EXPECT_EQ(course.getObstacles().size(), c.obstacles);
    }
}

TEST_F(CourseTest, SpeedWithAFractionEndsTheReadAtTheFollowingLabel) {
    // The integer speed stops at the point; ".5" then cannot start the next label.
    CaptureStderr();
    EXPECT_FALSE(readCourse(course, "loop 2 0 0 0 30.5 1 0 100 30 0"));
    EXPECT_EQ(GetCapturedStderr(), "test course: cannot read waypoint 2\n");
    ASSERT_EQ(course.getWaypoints().size(), 1u);
    EXPECT_EQ(course.getWaypoints()[0].value, 30);
    EXPECT_TRUE(course.getMarkers().empty());
    EXPECT_TRUE(course.getObstacles().empty());
}

TEST_F(CourseTest, PartialReadKeepsMarkersAndObstaclesInTheUsualOrder) {
    // Random strengths tell the obstacles of a group apart; each group sits at its own point.
    const std::string twoGroups = "2 -1 1 1 1 1 2 -1 2 2 2 2";
    const std::string complete = "whole 2 0 0 0 20 1 0 100 30 2 " + twoGroups;
    const std::string cutInGroups = "part 2 0 0 0 20 1 0 100 30 3 " + twoGroups + " 4 -1 3";
    const std::string cutInWaypoints = "part 3 0 0 0 20 1 0 100 30 2 50";
    constexpr unsigned seed = 5;
    srandLikeGlibc(seed);
    std::vector<double> strengths(4);
    for (double& strength : strengths) strength = (randLikeGlibc() % 1010) / 1000.0;

    ASSERT_TRUE(readCourse(course, complete, seed));
    const std::vector<CourseObject> markers = course.getMarkers();
    expectObstacles(
        {{2, 2, strengths[3]}, {2, 2, strengths[2]}, {1, 1, strengths[1]}, {1, 1, strengths[0]}});

    CaptureStderr();
    EXPECT_FALSE(readCourse(course, cutInGroups, seed));
    GetCapturedStderr();
    expectObstacles(
        {{2, 2, strengths[3]}, {2, 2, strengths[2]}, {1, 1, strengths[1]}, {1, 1, strengths[0]}});

    CaptureStderr();
    EXPECT_FALSE(readCourse(course, cutInWaypoints, seed));
    GetCapturedStderr();
    ASSERT_EQ(course.getMarkers().size(), markers.size());
    for (size_t i = 0; i < markers.size(); ++i) {
        EXPECT_EQ(course.getMarkers()[i].x, markers[i].x) << "marker " << i;
        EXPECT_EQ(course.getMarkers()[i].y, markers[i].y) << "marker " << i;
    }
}

TEST_F(CourseTest, MissingFileEmptiesTheCourseWithOneLine) {
    ASSERT_TRUE(readCourse(course, "full 2 0 0 0 20 1 0 100 30 1 2 0.5 3 4 3 4"));
    std::ifstream stream("/nonexistent-directory/courses.txt");
    CaptureStderr();
    EXPECT_FALSE(course.readFile(stream, 1, "courses.txt"));
    const std::string message = GetCapturedStderr();
    EXPECT_EQ(message.rfind("courses.txt: cannot read ", 0), 0u) << message;
    EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << message;
    EXPECT_EQ(message.back(), '\n');
    EXPECT_TRUE(course.getWaypoints().empty());
    EXPECT_TRUE(course.getMarkers().empty());
    EXPECT_TRUE(course.getObstacles().empty());
}

TEST_F(CourseTest, HugeCountsInAShortFileReadOnlyWhatIsThere) {
    struct Case {
        const char* text;
        size_t waypoints, markers, obstacles;
    };
    const Case cases[] = {
        {"huge 2000000000 0 0 0 20 1 0 100 30", 2, 10, 0},
        {"huge 0 2000000000 1 0.5 3 4 3 4", 0, 0, 1},
        {"huge 2147483647", 0, 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const auto start = std::chrono::steady_clock::now();
        CaptureStderr();
        EXPECT_FALSE(readCourse(course, c.text));
        GetCapturedStderr();
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
        EXPECT_EQ(course.getWaypoints().size(), c.waypoints);
        EXPECT_EQ(course.getMarkers().size(), c.markers);
        EXPECT_EQ(course.getObstacles().size(), c.obstacles);
    }
}

TEST_F(CourseTest, ObstacleCountsBeyondTheCapPlaceOnlyTheCapAndSaySoOnceAsAPartialRead) {
    const std::string cap = std::to_string(Course::maxObstacles);
    struct Case {
        std::string text;
        std::string message;
        bool complete;
    };
    // Empty rectangles and a fixed strength keep the generator out of it, for speed.
    const Case cases[] = {
        {"many 0 2 2000000000 0.5 1 2 1 2 5 0.5 3 4 3 4",
         "test course: more than " + cap +
             " obstacles; obstacle group 1 and the groups after it are not placed in full\n",
         false},
        {"many 0 1 " + cap + " 0.5 1 2 1 2", "", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        const auto start = std::chrono::steady_clock::now();
        CaptureStderr();
        EXPECT_EQ(readCourse(course, c.text), c.complete);
        EXPECT_EQ(GetCapturedStderr(), c.message);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
        ASSERT_EQ(course.getObstacles().size(), Course::maxObstacles);
        EXPECT_EQ(course.getObstacles().front().x, 1);
        EXPECT_EQ(course.getObstacles().back().y, 2);
    }
}

TEST_F(CourseTest, BinaryGarbageIsRefusedWithOneLine) {
    // Every byte value except the digits and signs, so that no count can be read from it.
    std::string garbage;
    for (int round = 0; round < 3; ++round)
        for (int byte = 255; byte >= 0; --byte)
            if (!(byte >= '0' && byte <= '9') && byte != '+' && byte != '-')
                garbage.push_back(static_cast<char>(byte));
    ASSERT_TRUE(readCourse(course, "full 2 0 0 0 20 1 0 100 30 1 2 0.5 3 4 3 4"));
    CaptureStderr();
    EXPECT_FALSE(readCourse(course, garbage));
    const std::string message = GetCapturedStderr();
    EXPECT_EQ(message.rfind("test course: cannot read ", 0), 0u) << message;
    EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << message;
    EXPECT_TRUE(course.getWaypoints().empty());
    EXPECT_TRUE(course.getMarkers().empty());
    EXPECT_TRUE(course.getObstacles().empty());
}

TEST_F(CourseTest, LoadingImagesForEveryDriveKeepsOneFramePerImage) {
    const SpriteDirectory sprites;
    for (int drive = 0; drive < 4; ++drive) quietLoadImages(course);
    EXPECT_EQ(course.getWaypointImage().frameCount(), 1u);
    EXPECT_EQ(course.getMarkerImage().frameCount(), 1u);
    EXPECT_EQ(course.getObstacleImage().frameCount(), 1u);
    // Sound is off in the tests: nothing is loaded.
    EXPECT_EQ(course.getCrashSound(), nullptr);
}

}  // namespace
