// A preload shim for benchmarks: counts SDL_Flip calls and notes when the first one came, without
// changing what the program does. Writes "frames <n> first_ms <t>" to $ROADSIM_FLIP_LOG at exit.
#include <SDL.h>
#include <dlfcn.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>

namespace {

using Clock = std::chrono::steady_clock;
const Clock::time_point loaded = Clock::now();
std::atomic<long> frames{0};
std::atomic<long> firstMs{-1};

struct Report {
    ~Report() {
        const char* path = std::getenv("ROADSIM_FLIP_LOG");
        if (path == nullptr) return;
        if (std::FILE* file = std::fopen(path, "w")) {
            std::fprintf(file, "frames %ld first_ms %ld\n", frames.load(), firstMs.load());
            std::fclose(file);
        }
    }
} report;

}  // namespace

extern "C" int SDL_Flip(SDL_Surface* screen) {
    using Flip = int (*)(SDL_Surface*);
    static const Flip real = reinterpret_cast<Flip>(dlsym(RTLD_NEXT, "SDL_Flip"));
    if (frames.fetch_add(1) == 0)
        firstMs =
            std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - loaded).count();
    return real(screen);
}
