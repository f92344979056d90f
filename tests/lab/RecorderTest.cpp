// Recording: each step's frame as PNG and a log row equal to the trace, frames averaged in integers
// as the single-precision sums, and a full disk stopping the recording at that step.
#include "AveragedFrame.h"
#include "LabDrive.h"

#include "LabTestSupport.h"
#include "TestFiles.h"
#include "TestSurfaces.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;

TEST(Recording, EveryStepGivesTheGamesFrameAsPngAndALogRowEqualToTheTrace) {
    LabDrive lab(loopCourse, "loop", ROADSIM_DATA_DIR);
    DriveSettings settings;
    settings.recordTrace = true;
    settings.lapLimitMs = 3000;
    const DriveResult unrecorded = lab.drive(settings);
    // The whole frame, and one averaged down to the size a model learns from.
    for (const auto& [width, height] : {std::pair{800, 600}, std::pair{160, 120}}) {
        const ScratchDirectory scratch;
        Recorder recorder("rec", width, height);
        std::string error;
        ASSERT_TRUE(recorder.open(error)) << error;
        settings.recorder = &recorder;
        const DriveResult result = lab.drive(settings);
        ASSERT_TRUE(recorder.close());
        expectSameTrace(result, unrecorded);

        const std::vector<std::string> rows = splitLines(readFile("rec/driving_log.csv"));
        ASSERT_EQ(rows.front(),
                  "image,t,x,y,heading,speed,steering,waypoint,cross_track,heading_error,"
                  "obstacle_sum,steering_cmd,speed_cmd,expert_steering,expert_speed");
        // A step every 50 ms on average, the first after 60 ms.
        ASSERT_EQ(rows.size() - 1, 59u);
        size_t frame = 0;
        for (size_t i = 1; i < rows.size(); ++i) {
            std::istringstream row(rows[i]);
            std::string image;
            std::getline(row, image, ',');
            char comma;
            double t, x, y, heading, speed, steering, waypoint, crossTrack, error, sum, steeringCmd,
                speedCmd, expertSteering, expertSpeed;
            row >> t >> comma >> x >> comma >> y >> comma >> heading >> comma >> speed >> comma >>
                steering >> comma >> waypoint >> comma >> crossTrack >> comma >> error >> comma >>
                sum >> comma >> steeringCmd >> comma >> speedCmd >> comma >> expertSteering >>
                comma >> expertSpeed;
            ASSERT_TRUE(row) << rows[i];
            char expected[32];
            std::snprintf(expected, sizeof expected, "frames/%06zu.png", i);
            EXPECT_EQ(image, expected);
            while (result.trace[frame].seconds < t) ++frame;
            const TraceRow& traced = result.trace[frame];
            EXPECT_EQ(x, traced.x) << rows[i];
            EXPECT_EQ(heading, traced.heading) << rows[i];
            EXPECT_EQ(steeringCmd, traced.steering)
                << "the autopilot's choice is the frame's steering";
            EXPECT_EQ(speedCmd, traced.speed);
            EXPECT_EQ(expertSteering, steeringCmd) << "the autopilot drives: it is the expert";
            EXPECT_EQ(expertSpeed, speedCmd);
        }
        // The size, 8 bits per channel, RGB: the header of every frame.
        const unsigned char header[] = {0x89,
                                        'P',
                                        'N',
                                        'G',
                                        '\r',
                                        '\n',
                                        0x1a,
                                        '\n',
                                        0,
                                        0,
                                        0,
                                        13,
                                        'I',
                                        'H',
                                        'D',
                                        'R',
                                        0,
                                        0,
                                        static_cast<unsigned char>(width >> 8),
                                        static_cast<unsigned char>(width),
                                        0,
                                        0,
                                        static_cast<unsigned char>(height >> 8),
                                        static_cast<unsigned char>(height),
                                        8,
                                        2};
        std::vector<fs::path> frames;
        for (const auto& entry : fs::directory_iterator("rec/frames"))
            frames.push_back(entry.path());
        EXPECT_EQ(frames.size(), rows.size() - 1);
        for (const fs::path& path : frames) {
            const std::string bytes = readFile(path.string());
            ASSERT_GE(bytes.size(), sizeof header);
            EXPECT_EQ(std::memcmp(bytes.data(), header, sizeof header), 0) << path;
        }
    }
}

// The display's frames shrunk by whole factors are averaged in integers; the same pixels in 8-bit
// channels take the single-precision sums, and must give the same bytes.
TEST(Recording, FramesAveragedInIntegersEqualTheSingleFloatSums) {
    const SurfacePtr display = makeDisplaySurface();
    const SurfacePtr wide(
        SDL_CreateRGBSurface(SDL_SWSURFACE, 800, 600, 32, 0xFF0000, 0xFF00, 0xFF, 0));
    uint32_t state = 12345;
    for (int frame = 0; frame < 4; ++frame) {
        for (int y = 0; y < 600; ++y)
            for (int x = 0; x < 800; ++x) {
                state = state * 1664525u + 1013904223u;
                // Noise, then the extremes of every channel, which lie furthest from the middle.
                const uint16_t pixel =
                    frame < 2 ? state >> 16 : static_cast<uint16_t>(frame == 2 ? 0xFFFF : 0xF81F);
                static_cast<uint16_t*>(display->pixels)[y * display->pitch / 2 + x] = pixel;
                static_cast<uint32_t*>(wide->pixels)[y * wide->pitch / 4 + x] =
                    (pixel >> 11) << 19 | ((pixel >> 5) & 0x3F) << 10 | (pixel & 0x1F) << 3;
            }
        for (const auto& [width, height] :
             {std::pair{80, 60}, std::pair{160, 120}, std::pair{32, 24}, std::pair{400, 300}})
            EXPECT_EQ(averagedFrame(display.get(), width, height),
                      averagedFrame(wide.get(), width, height))
                << width << "x" << height << ", frame " << frame;
    }
}

TEST(Recording, DiskFullStopsAtThatStepWithTheLogListingOnlyWholeFrames) {
#ifdef _WIN32
    GTEST_SKIP() << "a small file system of its own is made here with Linux's mount namespaces";
#else
    const ScratchDirectory scratch;
    std::ofstream("loop.txt") << loopCourse;
    fs::create_directory("rec");
    // A file system of 3 MB of its own, in a mount namespace of the lab's own: some frames fit.
    // A root that is no mount point (a chroot) cannot make one private.
    const std::string namespaceFlags = geteuid() == 0 ? "-m" : "-rm";
    const int status = std::system(
        ("unshare " + namespaceFlags +
         " sh -c 'mount -t tmpfs -o size=3m tmpfs rec && touch mounted && " + ROADSIM_LAB +
         " loop.txt --record rec 2>err.txt; s=$?; cp -r rec kept; exit $s' 2>/dev/null")
            .c_str());
    if (!fs::exists("mounted")) GTEST_SKIP() << "no private mount namespace with a tmpfs here";
    EXPECT_EQ(WEXITSTATUS(status), 1);
    const std::vector<std::string> rows = splitLines(readFile("kept/driving_log.csv"));
    ASSERT_GT(rows.size(), 2u) << "a few frames fit";
    const std::string said = readFile("err.txt");
    EXPECT_NE(said.find("recording stopped at step " + std::to_string(rows.size()) +
                        ": cannot write rec/frames/"),
              std::string::npos)
        << said;
    EXPECT_NE(said.find("No space left on device"), std::string::npos) << said;
    size_t frames = 0;
    for (const auto& entry : fs::directory_iterator("kept/frames")) {
        ++frames;
        const std::string png = readFile(entry.path().string());
        EXPECT_EQ(png.substr(png.size() - 8, 4), "IEND") << entry.path() << " is cut short";
    }
    EXPECT_EQ(frames, rows.size() - 1) << "the log lists exactly the frames on disk";
#endif
}

}  // namespace
