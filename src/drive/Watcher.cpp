// The watching window: pacing by SDL's tick and the viewer's keys.
#include "Watcher.h"

#include "Display.h"

Watcher::Watcher(double speed) : speedUp(speed), window(nullptr), started(false), startTicks(0) {}

Watcher::~Watcher() {
    if (window != nullptr) SDL_Quit();
}

bool Watcher::open(std::string& error) {
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        error = std::string("cannot open a window: ") + SDL_GetError();
        return false;
    }
    window = SDL_SetVideoMode(displayWidth, displayHeight, displayDepth, SDL_SWSURFACE);
    if (window == nullptr) {
        error = std::string("cannot open a window: ") + SDL_GetError();
        SDL_Quit();
        return false;
    }
    SDL_WM_SetCaption("roadsim-lab", "roadsim-lab");
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
    SDL_BlitSurface(frame, nullptr, window, nullptr);
    SDL_Flip(window);
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        if (event.type == SDL_QUIT) return false;
        if (event.type == SDL_KEYDOWN && event.key.keysym.sym == SDLK_ESCAPE) return false;
    }
    return true;
}
