// One drive: loading, then frames composed and presented until the drive is stopped.
#include "DrivingLoop.h"

#include "Display.h"
#include "DriveFrame.h"
#include "Globals.h"
#include "ImageFrame.h"

#include <fstream>

int drivingLoop(void*) {
    // Taken before loading, so that the first frame's time includes it.
    DriveClock clock(static_cast<uint16_t>(SDL_GetTicks()));
    const SurfacePtr logo = loadBitmap("logo.bmp");
    const SurfacePtr back = loadBitmap("back.bmp");
    car.loadSound();
    std::ifstream stream("courses.txt");
    int leadingNumber = 0;
    stream >> leadingNumber;
    course.loadImages();
    course.read(stream);

    while (!stopDriving) {
        const uint16_t dt = clock.tick(static_cast<uint16_t>(SDL_GetTicks()));
        advanceFrame(car, course, clock, dt, !manualMode);
        SDL_Rect logoAt{0, 0, 0, 0};
        SDL_Rect backAt{0, bannerHeight, 0, 0};
        if (logo) SDL_BlitSurface(logo.get(), nullptr, screen, &logoAt);
        if (back) SDL_BlitSurface(back.get(), nullptr, screen, &backAt);
        composeFrame(screen, car, course, particleList, dt);
        // Both, as the program has always presented a frame: the flip shows a double-buffered
        // display; on a single-buffered one (as under X11) it is a second full update, a cost the
        // frame-rate benchmark's reference loop pays too.
        SDL_UpdateRect(screen, 0, 0, 0, 0);
        SDL_Flip(screen);
    }
    return 0;
}
