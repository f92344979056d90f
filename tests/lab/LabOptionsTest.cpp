// The lab's options: every option read, the game's defaults, bad values refused with a message
// naming them, and a drive's request turned into arguments and read back the same.
#include "LabOptions.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace {

TEST(LabOptions, ReadsEveryOption) {
    LabOptions options;
    std::string error;
    ASSERT_TRUE(parseLabOptions(
        {"my.txt",      "--heading", "0.7",     "--track", "0",      "--path", "1",
         "--threshold", "0.25",      "--avoid", "0.05",    "--laps", "3",      "--step",
         "10",          "--seed",    "42",      "--csv",   "t.csv",  "--map",  "m.bmp"},
        options, error))
        << error;
    EXPECT_EQ(options.coursePath, "my.txt");
    EXPECT_DOUBLE_EQ(options.tuning.headingGain, 0.7);
    EXPECT_DOUBLE_EQ(options.tuning.trackGain, 0);
    EXPECT_DOUBLE_EQ(options.tuning.pathWeight, 1);
    EXPECT_DOUBLE_EQ(options.tuning.obstacleThreshold, 0.25);
    EXPECT_DOUBLE_EQ(options.tuning.avoidGain, 0.05);
    EXPECT_EQ(options.laps, 3);
    EXPECT_EQ(options.frameMs, 10);
    EXPECT_EQ(options.seed, 42u);
    EXPECT_EQ(options.csvPath, "t.csv");
    EXPECT_EQ(options.mapPath, "m.bmp");
    LabOptions tuned;
    ASSERT_TRUE(parseLabOptions({"--tune", "--seed", "3", "--step", "10"}, tuned, error)) << error;
    EXPECT_TRUE(tuned.tune);

    LabOptions driven;
    ASSERT_TRUE(parseLabOptions({"--controller", "./drive --fast", "--controller-timeout", "0.25",
                                 "--record", "out", "--watch", "--watch-speed", "4"},
                                driven, error))
        << error;
    EXPECT_EQ(driven.controller, "./drive --fast");
    EXPECT_EQ(driven.controllerTimeout, 0.25);
    EXPECT_EQ(driven.recordFolder, "out");
    EXPECT_TRUE(driven.watch);
    EXPECT_EQ(driven.watchSpeed, 4);

    LabOptions made;
    ASSERT_TRUE(parseLabOptions(
        {"--make-course", "7", "new.txt", "--length", "2000", "--sharpness", "30", "--speeds",
         "10,35", "--obstacles", "4.5", "--strength", "-1", "--wobble", "0.8", "--lobes", "3"},
        made, error))
        << error;
    EXPECT_EQ(made.courseSeed, 7u);
    EXPECT_EQ(made.madeCoursePath, "new.txt");
    const CourseKnobs& knobs = made.knobs;
    EXPECT_EQ(std::make_tuple(knobs.lengthFt, knobs.sharpnessDeg, knobs.minSpeed, knobs.maxSpeed),
              std::make_tuple(2000.0, 30.0, 10, 35));
    EXPECT_EQ(std::make_tuple(knobs.groupsPer1000Ft, *knobs.strength, knobs.wobble, knobs.lobes),
              std::make_tuple(4.5, -1.0, 0.8, 3));
}

TEST(LabOptions, DefaultsAreTheGameDefaults) {
    LabOptions options;
    std::string error;
    ASSERT_TRUE(parseLabOptions({}, options, error));
    EXPECT_EQ(options.coursePath, "courses.txt");
    EXPECT_DOUBLE_EQ(options.tuning.headingGain, 0.5);
    EXPECT_DOUBLE_EQ(options.tuning.avoidGain, 0.5);
    EXPECT_EQ(options.laps, 1);
    EXPECT_EQ(options.frameMs, 20);
    EXPECT_FALSE(options.tune);
    EXPECT_EQ(options.controllerTimeout, 1);
    EXPECT_FALSE(options.watch);
    EXPECT_EQ(options.watchSpeed, 1);
}

TEST(LabOptions, RejectsBadValuesWithAMessageNamingThem) {
    // The arguments, and the one the message must name.
    const std::vector<std::pair<std::vector<std::string>, std::string>> bad = {
        {{"--heading", "1.5"}, "--heading"},
        {{"--track", "-0.1"}, "--track"},
        {{"--avoid", "nan"}, "--avoid"},
        {{"--path", "half"}, "--path"},
        {{"--threshold"}, "--threshold"},
        {{"--laps", "0"}, "--laps"},
        {{"--step", "2.5"}, "--step"},
        {{"--seed", "-1"}, "--seed"},
        {{"--speed", "3"}, "--speed"},
        {{"a.txt", "b.txt"}, "b.txt"},
        {{"--heading", "0.5x"}, "0.5x"},
        {{"--laps", "99999999999999999999"}, "--laps"},
        {{"--controller-timeout", "0"}, "--controller-timeout"},
        {{"--watch-speed", "fast"}, "--watch-speed"},
        {{"--record-size", "800x601"}, "--record-size"},
        {{"--record-size", "160"}, "--record-size"},
        {{"--tune", "--controller", "x"}, "--tune"},
        {{"--make-course", "x", "new.txt"}, "--make-course"},
        {{"--make-course", "1"}, "--make-course"},
        {{"--make-course", "1", "new.txt", "--length", "100"}, "--length"},
        {{"--make-course", "1", "new.txt", "--sharpness", "90"}, "--sharpness"},
        {{"--make-course", "1", "new.txt", "--speeds", "40,20"}, "--speeds"},
        {{"--make-course", "1", "new.txt", "--speeds", "20"}, "--speeds"},
        {{"--make-course", "1", "new.txt", "--obstacles", "-1"}, "--obstacles"},
        {{"--make-course", "1", "new.txt", "--strength", "1.5"}, "--strength"},
        {{"--make-course", "1", "new.txt", "--wobble", "2"}, "--wobble"},
        {{"--make-course", "1", "new.txt", "--lobes", "1"}, "--lobes"},
        {{"--make-course", "1", "new.txt", "--map", "m.png"}, "--make-course"},
        {{"--lobes", "3"}, "--make-course"},
        // An option that serves none of the job's groups is named, with the job that refuses it.
        {{"--tune", "--csv", "t.csv"}, "--csv"},
        {{"--board", "c", "--tune"}, "--board"},
        {{"--board", "c", "--watch"}, "--watch"},
        {{"--make-course", "1", "new.txt", "--laps", "2"}, "--laps"},
        {{"--make-course", "1", "new.txt", "old.txt"}, "course file"},
        {{"--seeds", "1,2"}, "--board"},
        {{"--board"}, "--board"}};
    for (const auto& [args, named] : bad) {
        LabOptions options;
        std::string error;
        EXPECT_FALSE(parseLabOptions(args, options, error)) << named;
        EXPECT_NE(error.find(named), std::string::npos) << error;
    }
}

auto requestFields(const DriveRequest& r) {
    const Tuning& t = r.tuning;
    return std::make_tuple(r.coursePath, t.headingGain, t.trackGain, t.pathWeight,
                           t.obstacleThreshold, t.avoidGain, r.laps, r.frameMs, r.seed,
                           r.controller, r.controllerTimeout, r.recordFolder, r.frameWidth,
                           r.frameHeight, r.imageFolder, r.jsonPath);
}

TEST(LabOptions, DriveRequestGoesToArgumentsAndComesBackTheSame) {
    DriveRequest every;
    every.coursePath = "my courses/a, \"b\".txt";
    every.tuning = {0.1 + 0.2, 0, 1, 1.0 / 3, 0.05};
    every.laps = 7;
    every.frameMs = 13;
    every.seed = 4294967295u;
    every.controller = "python3 'drive it.py' --fast \"x\"";
    every.controllerTimeout = 0.001 * 7;
    every.recordFolder = "rec";
    every.frameWidth = 160;
    every.frameHeight = 120;
    every.imageFolder = "img";
    every.jsonPath = "--json.json";
    DriveRequest autopilot;
    autopilot.jsonPath = "drive.json";
    for (const DriveRequest& request : {DriveRequest(), autopilot, every}) {
        DriveRequest back;
        back.laps = 99;
        std::string error;
        ASSERT_TRUE(parseDriveRequest(driveArguments(request), back, error)) << error;
        EXPECT_EQ(requestFields(back), requestFields(request));
    }
}

}  // namespace
