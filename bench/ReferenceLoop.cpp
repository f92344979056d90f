// The least every frame must do: blit a banner and a background, update and flip; for comparing
// the program's frame rate with.
#include <SDL.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    const Uint32 seconds = argc > 1 ? static_cast<Uint32>(std::atoi(argv[1])) : 5;
    if (SDL_Init(SDL_INIT_VIDEO) < 0) {
        std::printf("Unable to initialize SDL%s\n", SDL_GetError());
        return 1;
    }
    std::atexit(SDL_Quit);
    SDL_Surface* screen = SDL_SetVideoMode(800, 600, 16, SDL_HWSURFACE | SDL_DOUBLEBUF);
    if (screen == nullptr) return 1;
    SDL_Surface* banner =
        SDL_CreateRGBSurface(SDL_SWSURFACE, 800, 100, 16, 0xF800, 0x07E0, 0x1F, 0);
    SDL_Surface* ground =
        SDL_CreateRGBSurface(SDL_SWSURFACE, 800, 500, 16, 0xF800, 0x07E0, 0x1F, 0);
    SDL_FillRect(banner, nullptr, 0xF800);
    SDL_FillRect(ground, nullptr, 0x07E0);
    const Uint32 start = SDL_GetTicks();
    long frames = 0;
    while (SDL_GetTicks() - start < seconds * 1000) {
        SDL_Rect bannerAt{0, 0, 0, 0};
        SDL_Rect groundAt{0, 100, 0, 0};
        SDL_BlitSurface(banner, nullptr, screen, &bannerAt);
        SDL_BlitSurface(ground, nullptr, screen, &groundAt);
        SDL_UpdateRect(screen, 0, 0, 0, 0);
        SDL_Flip(screen);
        ++frames;
        SDL_PumpEvents();
    }
    const double elapsed = (SDL_GetTicks() - start) / 1000.0;
    std::printf("reference loop: %ld frames in %.2f s, %.1f frames per second\n", frames, elapsed,
                frames / elapsed);
    SDL_FreeSurface(ground);
    SDL_FreeSurface(banner);
    return 0;
}
