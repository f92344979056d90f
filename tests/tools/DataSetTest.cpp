// Regenerates the data set and checks it against the committed copy and what the program needs.
#include "Course.h"
#include "TestFiles.h"

#include <SDL.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr double kPi = 3.14159265358979323846;

const std::set<std::string> kFiles = {
    "logo.bmp",     "back.bmp",     "control.bmp", "pointer.bmp", "wp.bmp",     "iwp.bmp",
    "obsticle.bmp", "tire1.bmp",    "tire2.bmp",   "tire3.bmp",   "light1.bmp", "light2.bmp",
    "gauge.bmp",    "weepweep.wav", "crash.wav",   "courses.txt",
};

fs::path dataFile(const std::string& name) {
    return fs::path(DATA_DIR) / name;
}

SurfacePtr loadDataBitmap(const std::string& name) {
    return SurfacePtr(SDL_LoadBMP(dataFile(name).string().c_str()));
}

struct Rgb {
    int r, g, b;
};

Rgb pixelAt(const SDL_Surface* s, int x, int y) {
    const Uint8* p =
        static_cast<const Uint8*>(s->pixels) + y * s->pitch + x * s->format->BytesPerPixel;
    Uint32 value = 0;
    for (int i = 0; i < s->format->BytesPerPixel; ++i) value |= Uint32{p[i]} << (8 * i);
    Uint8 r, g, b;
    SDL_GetRGB(value, s->format, &r, &g, &b);
    return {r, g, b};
}

bool isKey(Rgb c) {
    return c.r == 0 && c.g == 0 && c.b == 255;
}
// On the 16-bit screen the key is matched after conversion, so near-blues vanish with it.
bool showsAsKey(Rgb c) {
    return c.r >> 3 == 0 && c.g >> 2 == 0 && c.b >> 3 == 31;
}
double luminance(Rgb c) {
    return 0.3 * c.r + 0.59 * c.g + 0.11 * c.b;
}

TEST(DataSetFiles, GeneratorReproducesTheCommittedFilesByteForByte) {
    const fs::path out =
        fs::temp_directory_path() / ("roadsim-datagen-" + std::to_string(getpid()));
    fs::remove_all(out);
    const std::string command = std::string("\"") + DATAGEN_PATH + "\" \"" + out.string() + "\"";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    std::set<std::string> written;
    for (const auto& entry : fs::directory_iterator(out))
        written.insert(entry.path().filename().string());
    EXPECT_EQ(written, kFiles);
    for (const std::string& name : kFiles) {
        const std::string fresh = readFile(out / name), committed = readFile(dataFile(name));
        EXPECT_FALSE(fresh.empty()) << name;
        EXPECT_TRUE(fresh == committed) << name << " differs from the committed copy";
    }
    fs::remove_all(out);
}

TEST(DataSetFiles, GeneratorRefusesAMissingArgument) {
    const std::string command = std::string("\"") + DATAGEN_PATH + "\" 2>/dev/null";
    EXPECT_NE(std::system(command.c_str()), 0);
}

struct BitmapSize {
    const char* name;
    int width, height;
};

TEST(Bitmaps, HaveTheSizesThePlacementOnScreenAssumes) {
    const BitmapSize sizes[] = {
        {"logo.bmp", 800, 100},   {"back.bmp", 800, 500}, {"control.bmp", 800, 500},
        {"pointer.bmp", 40, 12},  {"wp.bmp", 14, 14},     {"iwp.bmp", 6, 6},
        {"obsticle.bmp", 12, 12}, {"tire1.bmp", 10, 18},  {"tire2.bmp", 10, 18},
        {"tire3.bmp", 10, 18},    {"light1.bmp", 8, 8},   {"light2.bmp", 8, 8},
        {"gauge.bmp", 150, 40},
    };
    for (const BitmapSize& s : sizes) {
        const SurfacePtr bmp = loadDataBitmap(s.name);
        ASSERT_TRUE(bmp) << s.name << ": " << SDL_GetError();
        EXPECT_EQ(bmp->w, s.width) << s.name;
        EXPECT_EQ(bmp->h, s.height) << s.name;
    }
}

TEST(Bitmaps, OpaqueOnesNeverUseTheTransparentKey) {
    for (const char* name : {"logo.bmp", "back.bmp", "control.bmp", "pointer.bmp"}) {
        const SurfacePtr bmp = loadDataBitmap(name);
        ASSERT_TRUE(bmp) << name;
        int keyed = 0;
        for (int y = 0; y < bmp->h; ++y)
            for (int x = 0; x < bmp->w; ++x) keyed += showsAsKey(pixelAt(bmp.get(), x, y));
        EXPECT_EQ(keyed, 0) << name;
    }
}

TEST(Bitmaps, SpritesAreKeyedAtTheCornersAndMostlyDrawnInside) {
    for (const char* name : {"wp.bmp", "iwp.bmp", "obsticle.bmp", "tire1.bmp", "tire2.bmp",
                             "tire3.bmp", "light1.bmp", "light2.bmp", "gauge.bmp"}) {
        const SurfacePtr bmp = loadDataBitmap(name);
        ASSERT_TRUE(bmp) << name;
        const int right = bmp->w - 1, bottom = bmp->h - 1;
        for (const auto& [x, y] : {std::pair{0, 0}, {right, 0}, {0, bottom}, {right, bottom}})
            EXPECT_TRUE(isKey(pixelAt(bmp.get(), x, y))) << name << " corner " << x << "," << y;
        int keyed = 0, lookalikes = 0;
        for (int y = 0; y < bmp->h; ++y)
            for (int x = 0; x < bmp->w; ++x) {
                const Rgb p = pixelAt(bmp.get(), x, y);
                keyed += isKey(p);
                lookalikes += showsAsKey(p) && !isKey(p);
            }
        EXPECT_LT(keyed, bmp->w * bmp->h / 2) << name;
        EXPECT_EQ(lookalikes, 0) << name;
    }
}

std::vector<Rgb> pixels(const SDL_Surface* s) {
    std::vector<Rgb> all;
    for (int y = 0; y < s->h; ++y)
        for (int x = 0; x < s->w; ++x) all.push_back(pixelAt(s, x, y));
    return all;
}

bool samePixels(const std::vector<Rgb>& a, const std::vector<Rgb>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](Rgb p, Rgb q) { return p.r == q.r && p.g == q.g && p.b == q.b; });
}

TEST(Bitmaps, TyreFramesAllDifferSoTheTreadVisiblyTurns) {
    const SurfacePtr frames[] = {loadDataBitmap("tire1.bmp"), loadDataBitmap("tire2.bmp"),
                                 loadDataBitmap("tire3.bmp")};
    for (const SurfacePtr& f : frames) ASSERT_TRUE(f);
    for (int i = 0; i < 3; ++i)
        EXPECT_FALSE(samePixels(pixels(frames[i].get()), pixels(frames[(i + 1) % 3].get())))
            << "tire" << i + 1 << " and tire" << (i + 1) % 3 + 1;
}

double meanOpaqueLuminance(const SDL_Surface* s) {
    double sum = 0;
    int count = 0;
    for (const Rgb p : pixels(s))
        if (!isKey(p)) {
            sum += luminance(p);
            ++count;
        }
    return count > 0 ? sum / count : 0;
}

TEST(Bitmaps, LitLightIsClearlyBrighterThanTheRestingOne) {
    const SurfacePtr lit = loadDataBitmap("light1.bmp"), dim = loadDataBitmap("light2.bmp");
    ASSERT_TRUE(lit && dim);
    EXPECT_GT(meanOpaqueLuminance(lit.get()), meanOpaqueLuminance(dim.get()) + 50);
}

// The needle pixel the program draws for speed mph at length k, in gauge bitmap coordinates.
std::pair<int, int> needlePixel(double mph, int k) {
    const double t = mph * kPi / 60;
    return {72 + 2 * static_cast<int>(k * -std::cos(t) * 4 / 3),
            35 + static_cast<int>(k * -std::sin(t))};
}

TEST(Bitmaps, GaugeFaceLiesUnderTheNeedleAndIsLightEnoughForABlackNeedle) {
    const SurfacePtr gauge = loadDataBitmap("gauge.bmp");
    ASSERT_TRUE(gauge);
    for (int mph = 5; mph <= 55; mph += 5) {
        int light = 0, sampled = 0;
        for (int k = 0; k <= 24; ++k) {
            const auto [x, y] = needlePixel(mph, k);
            ASSERT_TRUE(x >= 0 && x < gauge->w && y >= 0 && y < gauge->h) << mph << " mph k " << k;
            const Rgb p = pixelAt(gauge.get(), x, y);
            EXPECT_FALSE(isKey(p)) << mph << " mph k " << k;
            // Between the hub and the ring of ticks, away from labelled speeds, lies bare face.
            if (mph % 10 == 0 || k < 6 || k > 18) continue;
            ++sampled;
            light += luminance(p) > 150;
        }
        EXPECT_GE(light * 10, sampled * 8) << mph << " mph";
    }
}

struct Wav {
    SDL_AudioSpec format{};
    Uint8* buffer = nullptr;
    Uint32 length = 0;

    explicit Wav(const std::string& name) {
        if (!SDL_LoadWAV(dataFile(name).string().c_str(), &format, &buffer, &length))
            buffer = nullptr;
    }
    ~Wav() {
        if (buffer) SDL_FreeWAV(buffer);
    }
    Wav(const Wav&) = delete;
    Wav& operator=(const Wav&) = delete;

    std::vector<int> samples() const {
        std::vector<int> out;
        for (Uint32 i = 0; i + 1 < length; i += 2)
            out.push_back(static_cast<Sint16>(buffer[i] | (buffer[i + 1] << 8)));
        return out;
    }
};

int peak(const std::vector<int>& s) {
    int p = 0;
    for (const int v : s) p = std::max(p, std::abs(v));
    return p;
}

double rms(const std::vector<int>& s, size_t from, size_t to) {
    double sum = 0;
    for (size_t i = from; i < to; ++i) sum += static_cast<double>(s[i]) * s[i];
    return std::sqrt(sum / static_cast<double>(to - from));
}

struct SoundShape {
    const char* name;
    double minSeconds, maxSeconds, minPeak, maxPeak;  // peak as a fraction of full scale
};

TEST(Sounds, AreMono16BitAt22050HzWithTheirLengthAndLoudness) {
    const SoundShape shapes[] = {{"weepweep.wav", 0.5, 1.0, 0.4, 0.6},
                                 {"crash.wav", 0.6, 1.0, 0.85, 1.0}};
    for (const SoundShape& s : shapes) {
        const Wav wav(s.name);
        ASSERT_NE(wav.buffer, nullptr) << s.name << ": " << SDL_GetError();
        EXPECT_EQ(wav.format.freq, 22050) << s.name;
        EXPECT_EQ(wav.format.format, AUDIO_S16LSB) << s.name;
        EXPECT_EQ(wav.format.channels, 1) << s.name;
        const std::vector<int> samples = wav.samples();
        const double seconds = samples.size() / 22050.0;
        EXPECT_GE(seconds, s.minSeconds) << s.name;
        EXPECT_LE(seconds, s.maxSeconds) << s.name;
        EXPECT_GE(peak(samples), s.minPeak * 32767) << s.name;
        EXPECT_LE(peak(samples), s.maxPeak * 32767) << s.name;
    }
}

TEST(Sounds, EngineLoopJoinsAsSmoothlyAsAnyOtherStep) {
    const Wav wav("weepweep.wav");
    ASSERT_NE(wav.buffer, nullptr);
    const std::vector<int> s = wav.samples();
    ASSERT_GT(s.size(), 3u);
    int largestStep = 0, largestBend = 0;
    for (size_t i = 1; i < s.size(); ++i)
        largestStep = std::max(largestStep, std::abs(s[i] - s[i - 1]));
    for (size_t i = 2; i < s.size(); ++i)
        largestBend = std::max(largestBend, std::abs(s[i] - 2 * s[i - 1] + s[i - 2]));
    const size_t n = s.size();
    EXPECT_LE(std::abs(s[0] - s[n - 1]), largestStep);
    EXPECT_LE(std::abs(s[0] - 2 * s[n - 1] + s[n - 2]), largestBend);
    EXPECT_LE(std::abs(s[1] - 2 * s[0] + s[n - 1]), largestBend);
}

TEST(Sounds, CrashHitsAtOnceAndDiesAway) {
    const Wav wav("crash.wav");
    ASSERT_NE(wav.buffer, nullptr);
    const std::vector<int> s = wav.samples();
    const size_t tenth = 2205;
    ASSERT_GT(s.size(), 3 * tenth);
    const std::vector<int> opening(s.begin(), s.begin() + 1102);
    EXPECT_GE(peak(opening), peak(s) * 9 / 10);
    EXPECT_LT(rms(s, s.size() - tenth, s.size()), 0.1 * rms(s, 0, tenth));
    EXPECT_LT(std::abs(s.back()), 200);
}

// The course file as the program reads it: the leading number, then the course itself.
struct ReadCourse {
    ParticleList particles;
    Course course{particles};
    bool complete = false;
};

void readCourse(const std::string& text, ReadCourse& read) {
    std::istringstream in(text);
    std::string rest;
    read.complete = read.course.readFile(in, 1, "courses.txt") && !(in >> rest);
}

TEST(CourseFile, ParsesCompletely) {
    const std::pair<std::string, bool> cases[] = {
        {readFile(dataFile("courses.txt")), true},
        {"1 x 2 0 0 0 20 1 300 0", false},
        {"1 x 1 0 0 0 20 0 junk", false},
    };
    for (const auto& [text, complete] : cases) {
        ReadCourse read;
        readCourse(text, read);
        EXPECT_EQ(read.complete, complete) << text.substr(0, 40);
    }
}

TEST(CourseFile, IsADrivableCircuitFromTheOrigin) {
    ReadCourse read;
    readCourse(readFile(dataFile("courses.txt")), read);
    ASSERT_TRUE(read.complete);
    const std::vector<CourseObject>& w = read.course.getWaypoints();
    ASSERT_GE(w.size(), 10u);
    EXPECT_EQ(w[0].x, 0);
    EXPECT_EQ(w[0].y, 0);
    EXPECT_EQ(w[1].x, 0);
    EXPECT_GT(w[1].y, 0);
    for (size_t i = 0; i < w.size(); ++i) {
        EXPECT_GE(w[i].value, 10) << "waypoint " << i;
        EXPECT_LE(w[i].value, 45) << "waypoint " << i;
    }
    for (size_t i = 1; i + 1 < w.size(); ++i) {
        const double inX = w[i].x - w[i - 1].x, inY = w[i].y - w[i - 1].y;
        const double outX = w[i + 1].x - w[i].x, outY = w[i + 1].y - w[i].y;
        EXPECT_GT(inX * outX + inY * outY, 0) << "hairpin of 90 degrees or more at waypoint " << i;
    }
    const CourseObject& last = w.back();
    EXPECT_LT(std::hypot(last.x, last.y), 100) << "the circuit must close near the start";
    EXPECT_GT(last.y - w[w.size() - 2].y, 0) << "the last leg must come back heading +y";
}

TEST(CourseFile, ObstaclesAreScatteredOverAreasWithSomeRandomStrengths) {
    ReadCourse read;
    readCourse(readFile(dataFile("courses.txt")), read);
    ASSERT_TRUE(read.complete);
    const std::vector<CourseObject>& obstacles = read.course.getObstacles();
    ASSERT_FALSE(obstacles.empty());
    std::set<std::pair<double, double>> places;
    std::set<double> strengths;
    for (const CourseObject& o : obstacles) {
        places.insert({o.x, o.y});
        strengths.insert(o.value);
    }
    // Rectangles that are lines or points would stack their obstacles on few places.
    EXPECT_GT(places.size(), obstacles.size() * 9 / 10);
    // A group of fixed strength gives one value; random strengths give many.
    EXPECT_GT(strengths.size(), 10u);
}

}  // namespace
