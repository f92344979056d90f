// Preloaded into the program by the tests that measure its pace: counts the frames it presents.
#include <SDL.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace {

std::atomic<long> frames{0};

// Opened on the first frame; the count is rewritten in place, fixed width, after every frame so
// that the test can read it while the program runs.
int countFile() {
    static const int fd = [] {
        const char* path = std::getenv("ROADSIM_FRAME_COUNT_FILE");
        return path != nullptr ? open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644) : -1;
    }();
    return fd;
}

}  // namespace

extern "C" int SDL_Flip(SDL_Surface* screen) {
    using Flip = int (*)(SDL_Surface*);
    static const auto real = reinterpret_cast<Flip>(dlsym(RTLD_NEXT, "SDL_Flip"));
    const int result = real(screen);
    const long count = ++frames;
    char text[24];
    const int length = std::snprintf(text, sizeof text, "%20ld\n", count);
    if (countFile() >= 0 && length > 0) {
        const ssize_t written = pwrite(countFile(), text, static_cast<size_t>(length), 0);
        static_cast<void>(written);
    }
    return result;
}
