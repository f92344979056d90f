// libFuzzer target: any bytes as a course file, read and then driven and drawn for a few frames.
#include "DriveFrame.h"
#include "ImageFrame.h"

#include <cstddef>
#include <cstdint>
#include <iostream>
#include <sstream>
#include <string>

namespace {

struct Fixture {
    Fixture() {
        // Every malformed input says so; the fuzzer needs none of it.
        std::cout.rdbuf(nullptr);
        std::cerr.rdbuf(nullptr);
    }
    ParticleList particles;
    Course course{particles};
    Car car;
    SurfacePtr screen = makeDisplaySurface();
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Fixture fixture;
    std::istringstream stream(std::string(reinterpret_cast<const char*>(data), size));
    fixture.course.readFile(stream, 1, "fuzz");
    fixture.car.reset();
    DriveFrames frames(fixture.car, fixture.course, fixture.particles, 0);
    for (uint16_t tick = 30; tick <= 8 * 30; tick += 30)
        frames.run(fixture.screen.get(), tick, &autopilotDriver, nullptr);
    return 0;
}
