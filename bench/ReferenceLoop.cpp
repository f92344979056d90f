// The least every frame must do: blit a banner and a background, update and flip; for comparing
// the program's frame rate with. Runs until it is terminated.
#include "Display.h"

#include <SDL.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>

namespace {

// The program's drawing worker pumps no events, so neither does this loop: the end comes by signal.
volatile std::sig_atomic_t stop = 0;

void requestStop(int) {
    stop = 1;
}

}  // namespace

int main() {
    if (SDL_Init(SDL_INIT_VIDEO) < 0) {
        std::printf("Unable to initialize SDL%s\n", SDL_GetError());
        return 1;
    }
    std::atexit(SDL_Quit);
    SDL_Surface* screen =
        SDL_SetVideoMode(displayWidth, displayHeight, displayDepth, SDL_HWSURFACE | SDL_DOUBLEBUF);
    if (screen == nullptr) return 1;
    SDL_Surface* banner = SDL_CreateRGBSurface(SDL_SWSURFACE, displayWidth, bannerHeight,
                                               displayDepth, 0xF800, 0x07E0, 0x1F, 0);
    SDL_Surface* ground =
        SDL_CreateRGBSurface(SDL_SWSURFACE, displayWidth, displayHeight - bannerHeight,
                             displayDepth, 0xF800, 0x07E0, 0x1F, 0);
    SDL_FillRect(banner, nullptr, 0xF800);
    SDL_FillRect(ground, nullptr, 0x07E0);
    std::signal(SIGTERM, requestStop);
    while (stop == 0) {
        SDL_Rect bannerAt{0, 0, 0, 0};
        SDL_Rect groundAt{0, bannerHeight, 0, 0};
        SDL_BlitSurface(banner, nullptr, screen, &bannerAt);
        SDL_BlitSurface(ground, nullptr, screen, &groundAt);
        SDL_UpdateRect(screen, 0, 0, 0, 0);
        SDL_Flip(screen);
    }
    SDL_FreeSurface(ground);
    SDL_FreeSurface(banner);
    return 0;
}
