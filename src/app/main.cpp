// Start-up, the event loop on the main thread, and shutdown.
#include "Display.h"
#include "Globals.h"
#include "InputHandler.h"
#include "Sound.h"
#include "Termination.h"
#include "Workers.h"

#include <SDL.h>
#include <SDL_mixer.h>
#ifdef ROADSIM_HAVE_X11
#include <X11/Xlib.h>
#endif

#include <strings.h>
#include <cstdlib>
#include <iostream>

namespace {

// Option letters are whole arguments in any case; the program name counts too, but only when at
// least one argument follows it.
void readOptions(int argc, char** argv) {
    if (argc < 2) return;
    for (int i = 0; i < argc; ++i) {
        if (strcasecmp(argv[i], "c") == 0) manualMode = true;
        if (strcasecmp(argv[i], "s") == 0) soundEnabled = false;
    }
}

// Ends the drive; in automatic mode the control screen comes back.
void escape() {
    stopDriving = true;
    if (manualMode) return;
    stopMenu = false;
    startControlScreen();
}

int eventLoop() {
    const bool joystick = SDL_NumJoysticks() >= 1;
    if (joystick) SDL_JoystickOpen(0);
    SDL_Event event;
    // Only events change the flags, so waiting for one costs nothing and misses nothing.
    while (!(stopDriving && stopMenu)) {
        if (SDL_WaitEvent(&event) == 0) {
            stopDriving = stopMenu = true;
            break;
        }
        switch (event.type) {
            case SDL_QUIT:
                stopDriving = stopMenu = true;
                break;
            case SDL_KEYDOWN:
                if (event.key.keysym.sym == SDLK_ESCAPE) {
                    escape();
                } else {
                    inputHandler.handleKey(event.key.keysym.sym);
                }
                break;
            case SDL_JOYAXISMOTION:
                if (joystick && event.jaxis.which == 0)
                    inputHandler.handleAxis(event.jaxis.axis, event.jaxis.value);
                break;
            case SDL_JOYBUTTONDOWN:
                if (joystick && event.jbutton.which == 0 && event.jbutton.button == 0) escape();
                break;
            default:
                break;
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    manualMode = false;
    soundEnabled = true;
    readOptions(argc, argv);

#ifdef ROADSIM_HAVE_X11
    // Workers draw and flip while this thread pumps events: Xlib must be told before first use.
    XInitThreads();
#endif
    // The compatibility layer over SDL2 fails the whole call when only the audio device cannot
    // open, where classic SDL starts and lets the mixer fail; sound is optional either way. After
    // a failed call the layer reports the next one as a success and brings the video up only
    // with the mode, so a mode that then fails is the initialisation failure it always was.
    const bool audioUp = SDL_Init(SDL_INIT_AUDIO | SDL_INIT_VIDEO | SDL_INIT_JOYSTICK) == 0;
    if (!audioUp && SDL_Init(SDL_INIT_VIDEO | SDL_INIT_JOYSTICK) < 0) {
        std::cout << "Unable to initialize SDL" << SDL_GetError() << std::endl;
        return 1;
    }
    std::atexit(SDL_Quit);
    releaseTermination();

    // Without SDL_ANYFORMAT a display of another depth gets an emulated 16-bit surface, which the
    // 16-bit pixel routines need.
    screen =
        SDL_SetVideoMode(displayWidth, displayHeight, displayDepth, SDL_HWSURFACE | SDL_DOUBLEBUF);
    if (screen == nullptr) {
        std::cout << (audioUp ? "Unable to set video mode " : "Unable to initialize SDL")
                  << SDL_GetError() << std::endl;
        return 1;
    }

    if (soundEnabled) {
        if (!audioUp || Mix_OpenAudio(22050, AUDIO_S16LSB, 2, 4096) < 0) {
            // Sound is optional: the program runs on in silence, and no mixer call follows.
            std::cerr << "Cannot open mixer audio " << std::endl;
            soundEnabled = false;
        } else {
            Mix_VolumeMusic(128);
        }
    }

    if (manualMode) {
        startDriving();
    } else {
        startControlScreen();
    }
    eventLoop();
    // The destructors and SDL_Quit must not run under a drawing worker.
    waitForWorker();
    return 0;
}
