// Start-up as a user sees it: the progress and failure lines, the option rule, the exit statuses.
#include "DiskAudio.h"
#include "E2eTest.h"

#include <algorithm>

namespace {

class StartUp : public E2eTest {};

const std::string getting = "getting: ";

// The file names of the "getting: " lines in the order in which they first appear.
std::vector<std::string> firstLoads(const std::vector<std::string>& lines) {
    std::vector<std::string> names;
    for (const std::string& line : lines) {
        if (line.rfind(getting, 0) != 0) continue;
        const std::string name = line.substr(getting.size());
        if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
    }
    return names;
}

TEST_F(StartUp, WithoutDisplayReportsInitialisationFailureOnStdoutAndExitsWithOne) {
    LaunchOptions options;
    options.display = unusedDisplay();
    ASSERT_FALSE(options.display.empty());
    Roadsim& run = launch(options);
    EXPECT_EQ(run.waitForExit(patience(10s)), std::optional<int>(1));

    const std::vector<std::string> lines = run.outputLines();
    ASSERT_FALSE(lines.empty());
    const std::string prefix = "Unable to initialize SDL";
    EXPECT_EQ(lines.back().rfind(prefix, 0), 0u) << lines.back();
    EXPECT_GT(lines.back().size(), prefix.size()) << "no error text follows";
    // The car is built before main runs: its sprites are loaded before SDL is started.
    const std::vector<std::string> dashboard{"tire1.bmp",  "tire2.bmp",  "tire3.bmp",
                                             "light2.bmp", "light1.bmp", "gauge.bmp"};
    EXPECT_EQ(firstLoads(lines), dashboard);
    EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                            [](const std::string& l) { return l.rfind(getting, 0) != 0; }),
              1)
        << run.output();
}

TEST_F(StartUp, PrintsGettingLineForEverySpriteItLoadsAndExitsWithZeroOnSigterm) {
    Roadsim& run = launch();
    ASSERT_TRUE(waitFor(patience(10s), screens::controlScreen));
    type({"Return"});
    ASSERT_TRUE(waitFor(patience(10s), screens::drive));
    EXPECT_EQ(terminate(), 0);

    const std::vector<std::string> lines = run.outputLines();
    const std::vector<std::string> sprites{"tire1.bmp",  "tire2.bmp",  "tire3.bmp",
                                           "light2.bmp", "light1.bmp", "gauge.bmp",
                                           "wp.bmp",     "iwp.bmp",    "obsticle.bmp"};
    EXPECT_EQ(firstLoads(lines), sprites);
    for (const std::string& line : lines) EXPECT_EQ(line.rfind(getting, 0), 0u) << line;
    EXPECT_EQ(run.errors().find("Cannot"), std::string::npos) << run.errors();
}

TEST_F(StartUp, OptionLettersCountOnlyAsWholeArgumentsInAnyCase) {
    struct Case {
        std::string programName;
        std::vector<std::string> arguments;
        bool manual;
        bool sound;
    };
    const std::vector<Case> cases{
        {"roadsim", {"C", "S"}, true, false},
        {"roadsim", {"-c", "cs", "sound"}, false, true},
        // The program name is read as an option only when an argument follows it.
        {"c", {}, false, true},
        {"c", {"x"}, true, true},
    };
    for (const Case& c : cases) {
        std::string line = c.programName;
        for (const std::string& argument : c.arguments) line += " " + argument;
        SCOPED_TRACE("started as: " + line);
        LaunchOptions options;
        options.programName = c.programName;
        options.arguments = c.arguments;
        Roadsim& run = launch(options);
        ASSERT_TRUE(waitFor(patience(10s), [](const Screenshot& s) {
            return screens::controlScreen(s) || screens::drive(s);
        }));
        EXPECT_EQ(screens::drive(shot), c.manual) << "manual mode shows the drive at once";
        EXPECT_EQ(terminate(), 0);
        EXPECT_EQ(fileSize(run.audioFile()).has_value(), c.sound) << "the audio device was opened";
    }
}

}  // namespace
