// Preloaded into a program by the tests and the benchmark that watch its frames: counts the
// frames it presents and notes which thread presents them, so that a test can tell whether two
// workers ever drew at once.
#include <SDL.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <set>

namespace {

std::atomic<int> flipping{0};
std::mutex lock;
long frames = 0;
long presenter = 0;
long handovers = 0;
long clashes = 0;
std::set<long> retired;

// Opened on the first frame; the record is rewritten in place, fixed width, after every frame so
// that the test can read it while the program runs.
int recordFile() {
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
    const bool overlapped = flipping.fetch_add(1) > 0;
    const int result = real(screen);
    flipping.fetch_sub(1);

    const long self = syscall(SYS_gettid);
    const std::lock_guard<std::mutex> guard(lock);
    ++frames;
    if (overlapped) ++clashes;
    if (self != presenter) {
        // A worker that presents again after another one took over was running beside it.
        if (retired.count(self) != 0) ++clashes;
        if (presenter != 0) {
            retired.insert(presenter);
            ++handovers;
        }
        presenter = self;
    }
    char text[80];
    const int length = std::snprintf(text, sizeof text, "%20ld %10ld %10ld %10ld\n", frames,
                                     presenter, handovers, clashes);
    if (recordFile() >= 0 && length > 0) {
        const ssize_t written = pwrite(recordFile(), text, static_cast<size_t>(length), 0);
        static_cast<void>(written);
    }
    return result;
}
