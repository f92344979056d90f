// The tuning panel: banner, panel and one slider pointer per tuning value, redrawn every 100 ms.
#include "ControlScreen.h"

#include "Display.h"
#include "Globals.h"
#include "ImageFrame.h"

int controlScreen(void*) {
    const SurfacePtr logo = loadBitmap("logo.bmp");
    const SurfacePtr control = loadBitmap("control.bmp");
    const SurfacePtr pointer = loadBitmap("pointer.bmp");
    while (!stopMenu) {
        SDL_Rect logoAt{0, 0, 0, 0};
        SDL_Rect controlAt{0, bannerHeight, 0, 0};
        if (logo) SDL_BlitSurface(logo.get(), nullptr, screen, &logoAt);
        if (control) SDL_BlitSurface(control.get(), nullptr, screen, &controlAt);
        car.drawGainSliders(screen, pointer.get());
        // Both, as every frame of a drive presents (see the driving loop).
        SDL_UpdateRect(screen, 0, 0, 0, 0);
        SDL_Flip(screen);
        SDL_Delay(100);
    }
    return 0;
}
