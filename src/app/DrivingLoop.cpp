// One drive: loading, then frames composed and presented until the drive is stopped.
#include "DrivingLoop.h"

#include "DriveFrame.h"
#include "Globals.h"

#include <fstream>

int drivingLoop(void*) {
    // Taken before loading, so that the first frame's time includes it.
    DriveFrames frames(car, course, particleList, static_cast<uint16_t>(SDL_GetTicks()));
    const Backdrop backdrop;
    car.loadSound();
    std::ifstream stream("courses.txt");
    course.loadImages();
    course.readFile(stream, SDL_GetTicks(), "courses.txt");

    while (!stopDriving) {
        frames.run(screen, static_cast<uint16_t>(SDL_GetTicks()),
                   manualMode ? nullptr : &autopilotDriver, &backdrop);
        // Both, as the program has always presented a frame: the flip shows a double-buffered
        // display; on a single-buffered one (as under X11) it is a second full update, a cost the
        // frame-rate benchmark's reference loop pays too.
        SDL_UpdateRect(screen, 0, 0, 0, 0);
        SDL_Flip(screen);
    }
    return 0;
}
