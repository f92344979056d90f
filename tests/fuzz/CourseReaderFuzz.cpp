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
    int leadingNumber = 0;
    stream >> leadingNumber;
    fixture.course.read(stream, 1, "fuzz");
    fixture.car.reset();
    DriveClock clock(0);
    uint16_t tick = 0;
    for (int frame = 0; frame < 8; ++frame) {
        tick = static_cast<uint16_t>(tick + 30);
        const uint16_t dt = clock.tick(tick);
        advanceFrame(fixture.car, fixture.course, clock, dt, true);
        composeFrame(fixture.screen.get(), fixture.car, fixture.course, fixture.particles, dt);
    }
    return 0;
}
