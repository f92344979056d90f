// Per-frame costs off-screen on a 16-bit surface: sensing the course, the particle pass, the
// dashboard and a whole frame of the shipped course.
#include "DriveFrame.h"
#include "ImageFrame.h"

#include <benchmark/benchmark.h>

#include <unistd.h>
#include <atomic>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>

// Counts the program's own heap allocations, so that a frame's steady state can be seen to make
// none beyond the particles it creates.
std::atomic<long> allocations{0};

void* operator new(std::size_t size) {
    ++allocations;
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    std::abort();
}

void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

// Counts every heap allocation, the libraries' (SDL's surfaces, SDL_gfx's rotations) with the
// program's, by standing in for the C allocator. The sanitizers bring allocators of their own.
std::atomic<long> heapAllocations{0};

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool countsHeap = false;
#else
constexpr bool countsHeap = true;
extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* p, std::size_t size);

void* malloc(std::size_t size) {
    ++heapAllocations;
    return __libc_malloc(size);
}
void* calloc(std::size_t count, std::size_t size) {
    ++heapAllocations;
    return __libc_calloc(count, size);
}
void* realloc(void* p, std::size_t size) {
    ++heapAllocations;
    return __libc_realloc(p, size);
}
}
#endif

namespace {

// The simulation objects with the shipped sprites, loaded once and quietly.
struct World {
    World() {
        if (chdir(ROADSIM_DATA_DIR) != 0) std::cerr << "cannot enter " << ROADSIM_DATA_DIR << "\n";
        std::streambuf* const out = std::cout.rdbuf(nullptr);
        car = std::make_unique<Car>();
        course.loadImages();
        std::cout.rdbuf(out);
    }
    ParticleList particles;
    Course course{particles};
    std::unique_ptr<Car> car;
    SurfacePtr screen = makeDisplaySurface();
};

World& world() {
    static World instance;
    return instance;
}

// A course of one straight segment and count obstacles of strength 0.6 in the given rectangle.
void readObstacles(Course& course, int64_t count, const char* rectangle) {
    std::istringstream text("bench 2 0 0 0 20 1 0 100 20 1 " + std::to_string(count) + " 0.6 " +
                            rectangle);
    course.read(text, 1, "bench");
}

void drawAndSense(benchmark::State& state, const char* rectangle) {
    World& w = world();
    readObstacles(w.course, state.range(0), rectangle);
    for (auto _ : state)
        benchmark::DoNotOptimize(w.course.drawAndSense(w.screen.get(), 0, 0, 0.3, 0.5));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// Far outside the view: each obstacle is only turned, projected and tested.
void DrawAndSenseOffScreen(benchmark::State& state) {
    drawAndSense(state, "10000 10000 20000 20000");
}
// Ahead of the car, beyond the collision box: almost every obstacle is drawn.
void DrawAndSenseVisible(benchmark::State& state) {
    drawAndSense(state, "-100 40 100 150");
}

void ParticlePass(benchmark::State& state) {
    World& w = world();
    for (auto _ : state) {
        state.PauseTiming();
        ParticleList particles;
        for (int64_t i = 0; i < state.range(0); ++i)
            particles.add(std::make_unique<Dirt>(800, 600, 0, 0, (i % 130) - 65.0, (i % 70) - 35.0,
                                                 100 + i % 600, 150 + i % 400, 100000));
        state.ResumeTiming();
        SDL_LockSurface(w.screen.get());
        particles.updateParticles(w.screen.get(), 16);
        SDL_UnlockSurface(w.screen.get());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void Dashboard(benchmark::State& state) {
    World& w = world();
    w.car->setSteering(15);
    w.car->setSpeed(30);
    const long before = heapAllocations;
    for (auto _ : state) w.car->drawDashboard(w.screen.get());
    if (countsHeap)
        state.counters["heap_allocations_per_frame"] =
            static_cast<double>(heapAllocations - before) / state.iterations();
}

void ShippedCourseFrame(benchmark::State& state) {
    World& w = world();
    std::ifstream stream("courses.txt");
    w.course.readFile(stream, 1, "courses.txt");
    const Backdrop backdrop;
    w.car->reset();
    DriveFrames frames(*w.car, w.course, w.particles, 0);
    uint16_t tick = 0;
    const long allocationsBefore = allocations;
    const long heapAllocationsBefore = heapAllocations;
    const size_t particlesBefore = w.particles.size();
    for (auto _ : state) {
        tick = static_cast<uint16_t>(tick + 20);
        frames.run(w.screen.get(), tick, &autopilotDriver, &backdrop);
    }
    state.counters["allocations_per_frame"] =
        static_cast<double>(allocations - allocationsBefore) / state.iterations();
    if (countsHeap)
        state.counters["heap_allocations_per_frame"] =
            static_cast<double>(heapAllocations - heapAllocationsBefore) / state.iterations();
    state.counters["particles_left"] = static_cast<double>(w.particles.size() - particlesBefore);
}

}  // namespace

BENCHMARK(DrawAndSenseOffScreen)->RangeMultiplier(10)->Range(100, 100000);
BENCHMARK(DrawAndSenseVisible)->RangeMultiplier(10)->Range(100, 100000);
BENCHMARK(ParticlePass)->RangeMultiplier(10)->Range(100, 100000);
BENCHMARK(Dashboard);
BENCHMARK(ShippedCourseFrame);
BENCHMARK_MAIN();
