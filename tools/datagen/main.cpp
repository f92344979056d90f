// roadsim-datagen: writes the shipped bitmaps, sounds and course into the directory it is given,
// or the application icon at one size.
#include "Art.h"
#include "Sound.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <system_error>

namespace {

struct Waypoint {
    int label;
    double x, y;  // feet; +y is the start heading, +x the driver's right
    int speed;    // mph
};

struct ObstacleGroup {
    int count;
    double strength;  // negative: each obstacle gets a random strength
    int xmin, ymin, xmax, ymax;
};

// A clockwise meadow circuit with a chicane at the top. It leaves the origin along +y and ends
// just short of it, coming back up from below, so the car is put back on the start already
// heading the right way.
constexpr int kCourseId = 1;
constexpr const char* kCourseName = "meadow_loop";
constexpr Waypoint kWaypoints[] = {
    {0, 0, 0, 25},       {1, 0, 300, 40},     {2, 60, 560, 35},    {3, 220, 740, 30},
    {4, 440, 800, 20},   {5, 620, 700, 15},   {6, 780, 740, 15},   {7, 940, 620, 25},
    {8, 980, 360, 45},   {9, 940, 60, 40},    {10, 780, -160, 35}, {11, 560, -330, 30},
    {12, 320, -400, 20}, {13, 110, -330, 20}, {14, 10, -190, 25},  {15, 0, -40, 15},
};
constexpr ObstacleGroup kObstacles[] = {
    {10, -1, 25, 60, 75, 180},        // right of the start straight
    {8, 0.3, -70, 120, -25, 240},     // weak bushes left of it
    {3, 0.8, 20, 420, 45, 445},       // on the road before the first bend
    {14, -1, 300, 620, 360, 720},     // inside the top bend
    {12, 0.8, 1020, 380, 1060, 500},  // outside the back straight
    {4, -1, 945, 190, 970, 215},      // on the back straight
    {3, 0.8, 655, -260, 680, -235},   // on the road into the bottom bend
    {10, -1, 420, -460, 480, -400},   // outside the bottom bend
    {8, 0.3, 150, -300, 210, -200},   // weak bushes inside the last bend
    {6, -1, -60, -260, -20, -160},    // left of the way home
};

bool writeCourse(const std::string& path) {
    std::ofstream out(path);
    char line[128];
    std::snprintf(line, sizeof line, "%d %s %zu\n", kCourseId, kCourseName, std::size(kWaypoints));
    out << line;
    for (const Waypoint& w : kWaypoints) {
        std::snprintf(line, sizeof line, "%d %.1f %.1f %d\n", w.label, w.x, w.y, w.speed);
        out << line;
    }
    out << std::size(kObstacles) << '\n';
    for (const ObstacleGroup& g : kObstacles) {
        std::snprintf(line, sizeof line, "%d %.2f %d %d %d %d\n", g.count, g.strength, g.xmin,
                      g.ymin, g.xmax, g.ymax);
        out << line;
    }
    return static_cast<bool>(out);
}

struct Output {
    const char* file;
    std::function<bool(const std::string&)> write;
};

std::function<bool(const std::string&)> bitmap(std::function<Canvas()> paint) {
    return [paint](const std::string& path) { return paint().save(path); };
}

std::function<bool(const std::string&)> sound(std::function<std::vector<std::int16_t>()> synth) {
    return [synth](const std::string& path) { return writeWav(path, synth()); };
}

// Icon themes hold sizes from 16 to 512 pixels square.
int writeIcon(const char* sizeText, const char* path) {
    char* end = nullptr;
    const long size = std::strtol(sizeText, &end, 10);
    if (*end != '\0' || size < 16 || size > 512) {
        std::fprintf(stderr, "icon size must be 16 to 512: %s\n", sizeText);
        return 2;
    }
    if (!makeIcon(static_cast<int>(size)).savePng(path)) {
        std::fprintf(stderr, "cannot write %s\n", path);
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--icon") == 0) return writeIcon(argv[2], argv[3]);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIRECTORY | --icon SIZE FILE.png\n", argv[0]);
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    std::error_code error;
    std::filesystem::create_directories(dir, error);
    if (error) {
        std::fprintf(stderr, "cannot create %s: %s\n", argv[1], error.message().c_str());
        return 1;
    }
    const Output outputs[] = {
        {"logo.bmp", bitmap(makeLogo)},
        {"back.bmp", bitmap(makeGround)},
        {"control.bmp", bitmap(makeControlPanel)},
        {"pointer.bmp", bitmap(makePointer)},
        {"wp.bmp", bitmap(makeWaypoint)},
        {"iwp.bmp", bitmap(makePathMarker)},
        {"obsticle.bmp", bitmap(makeObstacle)},
        {"tire1.bmp", bitmap([] { return makeTyre(0); })},
        {"tire2.bmp", bitmap([] { return makeTyre(1); })},
        {"tire3.bmp", bitmap([] { return makeTyre(2); })},
        {"light1.bmp", bitmap([] { return makeLight(true); })},
        {"light2.bmp", bitmap([] { return makeLight(false); })},
        {"gauge.bmp", bitmap(makeGauge)},
        {"weepweep.wav", sound(engineLoop)},
        {"crash.wav", sound(crashSound)},
        {"courses.txt", writeCourse},
    };
    int failures = 0;
    for (const Output& o : outputs) {
        const std::string path = (dir / o.file).string();
        if (!o.write(path)) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}
