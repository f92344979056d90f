// Manual drives (option c): the arrow keys, the needle, tyres and lights, sound, Escape, crashes.
#include "DiskAudio.h"
#include "E2eTest.h"

#include <algorithm>
#include <fstream>
#include <set>
#include <thread>

namespace {

class ManualDrive : public E2eTest {
  protected:
    explicit ManualDrive(int depth = 16) : E2eTest(depth) {}

    // Starts a manual drive on the course and waits for its first frame.
    void startDrive(const char* course, LaunchOptions options = {}) {
        ASSERT_TRUE(writeData(course));
        options.arguments = {"c"};
        launch(options);
        ASSERT_TRUE(waitFor(patience(10s), screens::drive));
    }

    // Waits until the disk audio file holds another `seconds` of sound.
    void letAudioRun(double seconds) {
        const size_t now = fileSize(program().audioFile()).value_or(0);
        const auto wanted = now + static_cast<size_t>(seconds * diskAudioBytesPerSecond);
        EXPECT_TRUE(waitUntil(patience(10s), [&] {
            return fileSize(program().audioFile()).value_or(0) >= wanted;
        })) << "the sound output stalls";
    }
};

std::function<bool(const Screenshot&)> needleAt(double speed) {
    return [speed](const Screenshot& s) { return screens::needleShows(s, speed); };
}

TEST_F(ManualDrive, UpPressesRaiseTheNeedleAndStartTheEngineSoundDownPressesStopBoth) {
    startDrive(courses::aside);
    ASSERT_TRUE(waitFor(patience(5s), needleAt(0)));
    // At rest the needle points left along row 595 from column 72.
    EXPECT_TRUE(shot.shows(72, 595, palette::black));
    EXPECT_TRUE(shot.shows(70, 595, palette::black));
    EXPECT_TRUE(shot.shows(64, 595, palette::black));

    type(repeat("Up", 30));
    ASSERT_TRUE(waitFor(patience(10s), needleAt(30)));
    // At 30 mph it points straight up: column 72, rows 566 to 595.
    for (int row = 566; row <= 595; ++row) EXPECT_TRUE(shot.shows(72, row, palette::black)) << row;
    EXPECT_FALSE(shot.shows(64, 595, palette::black));

    type(repeat("Down", 30));
    ASSERT_TRUE(waitFor(patience(10s), needleAt(0)));
    letAudioRun(0.6);
    EXPECT_EQ(terminate(), 0);

    const std::vector<int> peaks = peaksPerTenthSecond(program().audioFile());
    ASSERT_FALSE(peaks.empty());
    EXPECT_EQ(peaks.front(), 0) << "sound before the car moved";
    EXPECT_TRUE(firstWindowWithin(peaks, engineAmplitude * 8 / 10, engineAmplitude * 12 / 10))
        << "no engine sound while moving";
    EXPECT_LE(*std::max_element(peaks.begin(), peaks.end()), engineAmplitude * 12 / 10)
        << "something louder than the engine played without a collision";
    EXPECT_EQ(peaks.back(), 0) << "the engine sound goes on at rest";
}

TEST_F(ManualDrive, SteeringTurnsTheFrontTyresWhileTheRearTyresStayStraight) {
    startDrive(courses::aside);
    using Shapes = std::array<std::vector<bool>, 4>;
    const auto shapes = [](const Screenshot& s) {
        return Shapes{s.shape(palette::back, screens::frontLeftTyre),
                      s.shape(palette::back, screens::frontRightTyre),
                      s.shape(palette::back, screens::rearLeftTyre),
                      s.shape(palette::back, screens::rearRightTyre)};
    };
    const Shapes straight = shapes(shot);
    EXPECT_EQ(straight[0], straight[2]) << "straight front tyres look like the rear ones";
    EXPECT_EQ(straight[1], straight[3]);

    type(repeat("Left", 3));
    ASSERT_TRUE(waitFor(patience(10s), [&](const Screenshot& s) {
        return shapes(s)[0] != straight[0];
    })) << "the front left tyre does not turn";
    const Shapes left = shapes(shot);
    EXPECT_NE(left[1], straight[1]) << "the front right tyre does not turn";
    EXPECT_EQ(left[2], straight[2]);
    EXPECT_EQ(left[3], straight[3]);

    type(repeat("Right", 6));
    ASSERT_TRUE(waitFor(patience(10s), [&](const Screenshot& s) {
        const Shapes now = shapes(s);
        return now[0] != straight[0] && now[0] != left[0];
    })) << "the front tyres do not turn the other way";
    const Shapes right = shapes(shot);
    EXPECT_NE(right[1], left[1]);
    EXPECT_EQ(right[2], straight[2]);
    EXPECT_EQ(right[3], straight[3]);
    EXPECT_EQ(terminate(), 0);
}

TEST_F(ManualDrive, MovingCarCyclesItsWheelsAndBlinksItsLightsAndAtRestShowsTheFirstFrames) {
    startDrive(courses::aside);
    const auto [tyreX, tyreY] = screens::rearLeftTyreCore;
    const auto [lightX, lightY] = screens::leftLightCore;
    const auto firstFrames = [=](const Screenshot& s) {
        return s.shows(tyreX, tyreY, palette::tire1) && s.shows(lightX, lightY, palette::light2);
    };
    EXPECT_TRUE(firstFrames(shot));

    type(repeat("Up", 5));
    std::set<uint16_t> seen;
    const std::set<uint16_t> all{to565(palette::tire1), to565(palette::tire2),
                                 to565(palette::tire3), to565(palette::light1),
                                 to565(palette::light2)};
    EXPECT_TRUE(waitFor(patience(10s), [&](const Screenshot& s) {
        seen.insert(to565(s.at(tyreX, tyreY)));
        seen.insert(to565(s.at(lightX, lightY)));
        return std::includes(seen.begin(), seen.end(), all.begin(), all.end());
    })) << "not every wheel frame and light frame showed";

    type(repeat("Down", 5));
    EXPECT_TRUE(waitFor(patience(10s), [&](const Screenshot& s) {
        return screens::needleShows(s, 0) && firstFrames(s);
    }));
    EXPECT_EQ(terminate(), 0);
}

TEST_F(ManualDrive, EscapeFreezesTheLastFrameWhileTheProgramRunsOn) {
    startDrive(courses::aside);
    type(repeat("Up", 10));
    Screenshot previous;
    ASSERT_TRUE(waitFor(patience(10s), [&](const Screenshot& s) {
        const bool changed = !previous.empty() && s != previous;
        previous = s;
        return changed;
    })) << "the drive does not move";

    type({"Escape"});
    // The frame in progress may still be presented; after it the picture must stand still.
    Screenshot frozen;
    for (int attempt = 0; attempt < 3 && frozen.empty(); ++attempt) {
        const Screenshot before = capture();
        std::this_thread::sleep_for(1s);
        shot = capture();
        if (shot == before) frozen = shot;
    }
    ASSERT_FALSE(frozen.empty()) << "the screen still changes after Escape";
    EXPECT_TRUE(screens::drive(frozen));

    type({"Return", "Up", "r", "a"});
    std::this_thread::sleep_for(1s);
    shot = capture();
    EXPECT_EQ(shot, frozen) << "keys after Escape changed the screen";
    EXPECT_TRUE(program().running());
    EXPECT_EQ(terminate(), 0);
}

TEST_F(ManualDrive, JoystickZeroSetsTheSpeedByAnyOtherAxisAndItsButtonZeroEndsTheDrive) {
    LaunchOptions options;
    options.countFrames = true;
    options.joystickFile = workDir + "/joystick";
    std::ofstream joystick(options.joystickFile);
    startDrive(courses::aside, options);
    const auto send = [&](const std::string& events) { joystick << events << std::flush; };

    // Another joystick's button 0, another button, a release: none ends the drive, so the axis
    // event after them still moves the needle.
    send("down 1 0\ndown 0 1\nup 0 0\naxis 0 1 -16384\n");
    ASSERT_TRUE(waitFor(patience(10s), needleAt(10)));
    send("axis 1 1 -32768\n");
    std::this_thread::sleep_for(1s);
    EXPECT_TRUE(screens::needleShows(capture(), 10)) << "joystick 1 set the speed";
    send("axis 0 2 -8192\n");
    ASSERT_TRUE(waitFor(patience(10s), needleAt(5)));

    send("down 0 0\n");
    EXPECT_TRUE(waitUntil(patience(10s), [&] {
        const long before = program().presentation().frames;
        std::this_thread::sleep_for(300ms);
        return program().presentation().frames == before;
    })) << "button 0 did not end the drive";
    EXPECT_TRUE(program().running());
    EXPECT_EQ(terminate(), 0);
}

TEST_F(ManualDrive, DrivingIntoAnObstacleThrowsDirtAndPlaysTheCrashSound) {
    startDrive(courses::obstacleAhead);
    // At rest the obstacle 45 ft ahead is drawn at (400, 450).
    const auto obstacle = shot.bounds(palette::obstacle, Rect{0, 100, 800, 500});
    ASSERT_TRUE(obstacle);
    EXPECT_EQ(obstacle->x, 400 + sprite::obstacleBorder);
    EXPECT_EQ(obstacle->y, 450 + sprite::obstacleBorder);
    // Within 20 ft it is hit, at rows 533 to 599; the dirt flies at most 67 px a second.
    const Rect around{330, 440, 146, 160};
    EXPECT_EQ(screens::blackPixels(shot, around), 0);

    type(repeat("Up", 10));
    EXPECT_TRUE(waitFor(patience(10s), [&](const Screenshot& s) {
        return screens::blackPixels(s, around) > 0;
    })) << "no dirt";
    letAudioRun(1.0);
    EXPECT_EQ(terminate(), 0);

    const std::vector<int> peaks = peaksPerTenthSecond(program().audioFile());
    ASSERT_FALSE(peaks.empty());
    EXPECT_EQ(peaks.front(), 0);
    const auto engine =
        firstWindowWithin(peaks, engineAmplitude * 8 / 10, engineAmplitude * 12 / 10);
    // Full scale either way: the compatibility layer over SDL2 2.32 clips the mixed noise, and a
    // clipped negative sample peaks at 32768.
    const auto crash = firstWindowWithin(peaks, crashAmplitude * 8 / 10, 32768);
    ASSERT_TRUE(engine) << "no engine sound";
    ASSERT_TRUE(crash) << "no crash sound";
    EXPECT_LT(*engine, *crash) << "the crash is heard before the car moves";
}

class ManualDriveOn24BitDisplay : public ManualDrive {
  protected:
    ManualDriveOn24BitDisplay() : ManualDrive(24) {}
};

TEST_F(ManualDriveOn24BitDisplay, PictureIsDrawnThroughASixteenBitSurface) {
    startDrive(courses::aside);
    ASSERT_TRUE(waitFor(patience(5s), needleAt(0)));
    // A deeper surface would show these colours exactly; a 5-6-5 one drops their low bits.
    const std::vector<std::pair<Rgb, std::pair<int, int>>> probes{
        {palette::logo, {5, 5}}, {palette::back, {700, 300}}, {palette::gauge, {95, 565}}};
    for (const auto& [colour, at] : probes) {
        const Rgb seen = shot.at(at.first, at.second);
        EXPECT_EQ(to565(seen), to565(colour)) << describe(seen) << " for " << describe(colour);
        EXPECT_NE(seen, colour) << "shown at full depth: " << describe(colour);
    }
    // The 16-bit pixel routine puts the needle exactly on its pixels.
    type(repeat("Up", 30));
    EXPECT_TRUE(waitFor(patience(10s), needleAt(30)));
    EXPECT_EQ(terminate(), 0);
}

}  // namespace
