// Writing the test sprites, and building course texts for the simulation tests.
#include "SimTestData.h"

#include <SDL_mixer.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <sstream>

namespace {

constexpr Sprite allSprites[] = {tire1,          tire2,        tire3,          light1,
                                 light2,         gauge,        waypointSprite, markerSprite,
                                 obstacleSprite, pointerSprite};

}  // namespace

SpriteDirectory::SpriteDirectory() : scratch() {
    for (const Sprite& sprite : allSprites)
        writeBitmap(sprite.fileName, sprite.w, sprite.h, sprite.r, sprite.g, sprite.b);
}

namespace {

std::atomic<int> finished[2];

void countFinished(int channel) {
    if (channel >= 0 && channel < 2) ++finished[channel];
}

}  // namespace

DummyMixer::DummyMixer() : open(false) {
    for (const char* name : {"weepweep.wav", "crash.wav"})
        std::filesystem::copy_file(std::filesystem::path(ROADSIM_DATA_DIR) / name, name,
                                   std::filesystem::copy_options::overwrite_existing);
#ifdef _WIN32
    _putenv_s("SDL_AUDIODRIVER", "dummy");
#else
    setenv("SDL_AUDIODRIVER", "dummy", 1);
#endif
    open =
        SDL_InitSubSystem(SDL_INIT_AUDIO) == 0 && Mix_OpenAudio(22050, AUDIO_S16LSB, 2, 4096) == 0;
    for (std::atomic<int>& count : finished) count = 0;
    Mix_ChannelFinished(countFinished);
    soundEnabled = open;
}

DummyMixer::~DummyMixer() {
    soundEnabled = false;
    if (open) Mix_CloseAudio();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

int DummyMixer::finishedOn(int channel) {
    return finished[channel];
}

// Only the loads are captured: a failure reported while stdout is captured would be lost.
std::unique_ptr<Car> quietCar() {
    testing::internal::CaptureStdout();
    auto car = std::make_unique<Car>();
    testing::internal::GetCapturedStdout();
    return car;
}

void quietLoadImages(Course& course) {
    testing::internal::CaptureStdout();
    course.loadImages();
    testing::internal::GetCapturedStdout();
}

bool readCourse(Course& course, const std::string& text, unsigned seed) {
    std::istringstream stream(text);
    return course.read(stream, seed, "test course");
}

std::string courseText(std::initializer_list<WaypointAt> waypoints,
                       std::initializer_list<std::string> groups) {
    std::ostringstream text;
    text.precision(17);
    text << "test " << waypoints.size();
    int label = 0;
    for (const WaypointAt& waypoint : waypoints)
        text << ' ' << label++ << ' ' << waypoint.x << ' ' << waypoint.y << ' ' << waypoint.speed;
    text << ' ' << groups.size();
    for (const std::string& group : groups) text << ' ' << group;
    return text.str();
}

std::string obstacleAt(int x, int y, double strength, int count) {
    std::ostringstream text;
    text.precision(17);
    text << count << ' ' << strength << ' ' << x << ' ' << y << ' ' << x << ' ' << y;
    return text.str();
}

int countPixels(const SDL_Surface* surface, uint16_t colour, int x, int y, int w, int h) {
    int count = 0;
    for (int row = y; row < y + h; ++row)
        for (int column = x; column < x + w; ++column)
            if (pixel565(surface, column, row) == colour) ++count;
    return count;
}
