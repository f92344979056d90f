// The README's two pictures, the control screen and a drive, taken with the shipped data set.
#include "E2eTest.h"

#include <filesystem>
#include <thread>

namespace {

class ReadmeScreenshots : public E2eTest {};

TEST_F(ReadmeScreenshots, ControlScreenAndDriveFromTheShippedData) {
    const std::string data = SHIPPED_DATA_DIR;
    if (!std::filesystem::exists(data + "/logo.bmp"))
        GTEST_SKIP() << "the shipped data set is not in " << data;
    LaunchOptions options;
    options.workingDirectory = data;
    launch(options);
    // The control screen redraws the same picture: two equal screenshots in a row show it.
    Screenshot previous;
    ASSERT_TRUE(waitFor(patience(10s), [&](const Screenshot& s) {
        const bool steady = !screens::blank(s) && s == previous;
        previous = s;
        return steady;
    }));
    const Screenshot control = shot;

    type({"Return"});
    ASSERT_TRUE(waitFor(patience(10s), [&](const Screenshot& s) { return s != control; }));
    // A couple of seconds in, the car is under way on the course.
    std::this_thread::sleep_for(2500ms);
    const Screenshot drive = capture();
    EXPECT_NE(drive, control);

    const std::string directory = SCREENSHOT_DIR;
    std::filesystem::create_directories(directory);
    EXPECT_TRUE(control.savePng(directory + "/control.png"));
    EXPECT_TRUE(drive.savePng(directory + "/drive.png"));
    EXPECT_EQ(terminate(), 0);
}

}  // namespace
