// The watching window: pacing by SDL's tick and the viewer's keys. SDL 1.2 has one window a
// process, so every watcher shows its frames in it, and the last one to close closes it.
#include "Watcher.h"

#include "Display.h"

#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {

std::mutex displayMutex;
int watchers = 0;               // with the mutex held
SDL_Surface* shared = nullptr;  // owned by SDL

bool set(const char* variable) {
    const char* value = std::getenv(variable);
    return value != nullptr && *value != '\0';
}

// Where there is no display, SDL would draw on the terminal as text art, or nowhere at all; a
// driver asked for by name is the asker's business.
bool noDisplay() {
#ifdef _WIN32
    return false;
#else
    return !set("SDL_VIDEODRIVER") && !set("DISPLAY") && !set("WAYLAND_DISPLAY");
#endif
}

// The same, known only once SDL has chosen a driver (a display named but not there).
bool showsNothingUseful() {
    if (set("SDL_VIDEODRIVER")) return false;
    char name[32] = "";
    SDL_VideoDriverName(name, sizeof name);
    for (const char* text : {"aalib", "caca", "dummy", "offscreen"})
        if (std::strcmp(name, text) == 0) return true;
    return false;
}

// Opens the one window; empty when it is open, else why not.
std::string openDisplay() {
    const std::string none =
        "cannot open a window: no display here (set DISPLAY, or SDL_VIDEODRIVER to choose SDL's "
        "driver)";
    if (noDisplay()) return none;
    if (SDL_Init(SDL_INIT_VIDEO) != 0)
        return std::string("cannot open a window: ") + SDL_GetError();
    if (showsNothingUseful()) {
        SDL_Quit();
        return none;
    }
    shared = SDL_SetVideoMode(displayWidth, displayHeight, displayDepth, SDL_SWSURFACE);
    if (shared == nullptr) {
        const std::string error = std::string("cannot open a window: ") + SDL_GetError();
        SDL_Quit();
        return error;
    }
    SDL_WM_SetCaption("roadsim-lab", "roadsim-lab");
    return "";
}

}  // namespace

Watcher::Watcher(double speed) : speedUp(speed), window(nullptr), started(false), startTicks(0) {}

Watcher::~Watcher() {
    const std::lock_guard<std::mutex> lock(displayMutex);
    if (window != nullptr && --watchers == 0) {
        shared = nullptr;
        SDL_Quit();
    }
}

bool Watcher::open(std::string& error) {
    const std::lock_guard<std::mutex> lock(displayMutex);
    if (watchers == 0) {
        error = openDisplay();
        if (!error.empty()) return false;
    }
    ++watchers;
    window = shared;
    return true;
}

bool Watcher::show(SDL_Surface* frame, int64_t simulatedMs) {
    if (!started) {
        started = true;
        // Signed and wide: a first frame late in the drive puts the start before tick 0.
        startTicks = int64_t{SDL_GetTicks()} - static_cast<int64_t>(simulatedMs / speedUp);
    }
    const int64_t due = startTicks + static_cast<int64_t>(simulatedMs / speedUp);
    const int64_t now = SDL_GetTicks();
    if (due > now) SDL_Delay(static_cast<uint32_t>(due - now));
    const std::lock_guard<std::mutex> lock(displayMutex);
    SDL_BlitSurface(frame, nullptr, window, nullptr);
    SDL_Flip(window);
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        if (event.type == SDL_QUIT) return false;
        if (event.type == SDL_KEYDOWN && event.key.keysym.sym == SDLK_ESCAPE) return false;
    }
    return true;
}
