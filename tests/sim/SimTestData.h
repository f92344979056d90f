// Sprites of distinctive colours for the car and the course, and helpers that build test courses.
#pragma once

#include "Car.h"
#include "Course.h"

#include "TestSurfaces.h"

#include <SDL.h>

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>

// One single-coloured bitmap that the car or the course loads from the working directory. The
// channels are exact in 5-6-5, so a blit onto the test screen gives exactly rgb565(r, g, b).
struct Sprite {
    const char* fileName;
    int w, h;
    uint8_t r, g, b;
    uint16_t colour() const { return rgb565(r, g, b); }
};

// Wider than tall would hide whether a wheel was turned by 90 degrees.
inline constexpr Sprite tire1{"tire1.bmp", 4, 10, 248, 0, 0};
inline constexpr Sprite tire2{"tire2.bmp", 4, 10, 0, 252, 0};
inline constexpr Sprite tire3{"tire3.bmp", 4, 10, 248, 252, 0};
inline constexpr Sprite light1{"light1.bmp", 4, 4, 128, 128, 128};
inline constexpr Sprite light2{"light2.bmp", 4, 4, 248, 252, 248};
// Large enough that the needle is drawn over it.
inline constexpr Sprite gauge{"gauge.bmp", 160, 40, 0, 128, 128};
// Three sizes, so that all three layers show where they are drawn at one point.
inline constexpr Sprite waypointSprite{"wp.bmp", 4, 4, 248, 0, 248};
inline constexpr Sprite markerSprite{"iwp.bmp", 3, 3, 0, 252, 248};
inline constexpr Sprite obstacleSprite{"obsticle.bmp", 2, 2, 248, 128, 0};
inline constexpr Sprite pointerSprite{"pointer.bmp", 5, 3, 200, 100, 48};

// The fill of test screens: none of the sprites, and not the black of needle and dirt.
inline const uint16_t background = rgb565(64, 64, 64);
inline constexpr uint16_t black = 0;

// A scratch working directory holding all the sprites, for as long as it lives.
class SpriteDirectory {
  public:
    SpriteDirectory();

  private:
    ScratchDirectory scratch;
};

// The mixer open on SDL's dummy audio driver with sound enabled, and the shipped engine and crash
// sounds copied into the working directory; for as long as it lives. Channels that finish, halted
// or replaced, are counted.
class DummyMixer {
  public:
    DummyMixer();
    ~DummyMixer();
    DummyMixer(const DummyMixer&) = delete;
    DummyMixer& operator=(const DummyMixer&) = delete;

    bool isOpen() const { return open; }
    // How many times a sound on the channel has finished since the mixer opened.
    static int finishedOn(int channel);

  private:
    bool open;
};

// A car built from the sprites of the working directory, without its "getting: " lines.
std::unique_ptr<Car> quietCar();
// Course::loadImages without its "getting: " lines.
void quietLoadImages(Course& course);

// Reads course text as it follows the leading number, with a fixed seed; the stream's message, if
// any, is left on the standard error stream.
bool readCourse(Course& course, const std::string& text, unsigned seed = 1);

struct WaypointAt {
    double x, y;
    int speed;
};

// The text of a course named "test" with these waypoints and obstacle groups.
std::string courseText(std::initializer_list<WaypointAt> waypoints,
                       std::initializer_list<std::string> groups = {});

// One obstacle group that places count obstacles exactly at (x, y): an empty rectangle draws no
// random position.
std::string obstacleAt(int x, int y, double strength, int count = 1);

// Pixels of one colour inside a rectangle of a 5-6-5 surface.
int countPixels(const SDL_Surface* surface, uint16_t colour, int x = 0, int y = 0, int w = 800,
                int h = 600);
