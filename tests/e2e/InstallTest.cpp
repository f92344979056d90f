// The installed tree: the launcher runs the game on its installed data from any directory, and the
// lab, desktop entry and icons are where a desktop looks for them.
#include "E2eTest.h"
#include "TestFiles.h"

#include <cstdlib>

namespace {

class Installed : public E2eTest {
  protected:
    // Installs this build into a prefix inside the work directory.
    bool install() {
        prefix = workDir + "/prefix";
        const std::string command = std::string("\"") + CMAKE_PROGRAM + "\" --install \"" +
                                    ROADSIM_BUILD_DIR + "\" --prefix \"" + prefix + "\" >\"" +
                                    workDir + "/install.log\" 2>&1";
        return std::system(command.c_str()) == 0;
    }

    std::string prefix;
};

unsigned bigEndian32(const std::string& bytes, size_t at) {
    unsigned value = 0;
    for (size_t i = at; i < at + 4 && i < bytes.size(); ++i)
        value = value << 8 | static_cast<unsigned char>(bytes[i]);
    return value;
}

TEST_F(Installed, LauncherStartsTheGameOnItsInstalledDataFromAnotherDirectory) {
    ASSERT_TRUE(install()) << "see " << workDir << "/install.log";
    LaunchOptions options;
    options.program = prefix + "/bin/roadsim";
    // Started in the work directory, whose test data set the installed game must not read.
    launch(options);
    const std::string data = prefix + "/share/roadsim/";
    // The five slider pointers cover 2400 pixels of the panel.
    EXPECT_TRUE(waitFor(patience(10s),
                        [&](const Screenshot& s) {
                            return screens::pixelsNotShown(s, data + "logo.bmp", 0, 0) == 0 &&
                                   screens::pixelsNotShown(s, data + "control.bmp", 0, 100) <= 2400;
                        }))
        << "banner pixels not shown: " << screens::pixelsNotShown(shot, data + "logo.bmp", 0, 0)
        << ", panel pixels not shown: "
        << screens::pixelsNotShown(shot, data + "control.bmp", 0, 100);
    EXPECT_FALSE(screens::controlScreen(shot)) << "the test data set shows";
    // The launcher hands over its process, so the game itself gets the signal and quits cleanly.
    EXPECT_EQ(terminate(), 0);
    EXPECT_EQ(program().errors().find("Cannot find"), std::string::npos) << program().errors();
}

TEST_F(Installed, LabDesktopEntryAndIconsAreWhereTheDesktopLooks) {
    ASSERT_TRUE(install()) << "see " << workDir << "/install.log";
    const std::string lab = "cd \"" + workDir + "\" && \"" + prefix + "/bin/roadsim-lab\" \"" +
                            prefix + "/share/roadsim/courses.txt\" --laps 1 >lab.out 2>&1";
    EXPECT_EQ(std::system(lab.c_str()), 0) << readFile(workDir + "/lab.out");
    EXPECT_NE(readFile(workDir + "/lab.out").find("summary: 1 of 1 laps"), std::string::npos)
        << readFile(workDir + "/lab.out");

    const std::string entry = readFile(prefix + "/share/applications/roadsim.desktop");
    for (const char* line : {"[Desktop Entry]\n", "\nType=Application\n", "\nExec=roadsim\n",
                             "\nIcon=roadsim\n", "\nExec=roadsim c\n"})
        EXPECT_NE(entry.find(line), std::string::npos) << line << " missing from\n" << entry;

    for (const unsigned size : {48u, 128u}) {
        const std::string side = std::to_string(size);
        const std::string path =
            prefix + "/share/icons/hicolor/" + side + "x" + side + "/apps/roadsim.png";
        const std::string png = readFile(path);
        ASSERT_GT(png.size(), 24u) << path;
        EXPECT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1a\n") << path;
        EXPECT_EQ(png.substr(12, 4), "IHDR") << path;
        EXPECT_EQ(bigEndian32(png, 16), size) << path << " width";
        EXPECT_EQ(bigEndian32(png, 20), size) << path << " height";
    }
}

}  // namespace
