// Preloaded into the program by the joystick tests: reports one joystick and delivers the events
// that the test appends to $ROADSIM_JOYSTICK_FILE, one a line: "axis WHICH AXIS VALUE",
// "down WHICH BUTTON" or "up WHICH BUTTON".
#include <SDL.h>
#include <dlfcn.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

namespace {

void deliver(const std::string& line) {
    std::istringstream in(line);
    std::string kind;
    int which = 0, number = 0, value = 0;
    in >> kind >> which >> number >> value;
    SDL_Event event{};
    if (kind == "axis") {
        event.type = SDL_JOYAXISMOTION;
        event.jaxis = {SDL_JOYAXISMOTION, static_cast<Uint8>(which), static_cast<Uint8>(number),
                       static_cast<Sint16>(value)};
    } else if (kind == "down" || kind == "up") {
        const Uint8 type = kind == "down" ? SDL_JOYBUTTONDOWN : SDL_JOYBUTTONUP;
        event.jbutton = {type, static_cast<Uint8>(which), static_cast<Uint8>(number),
                         static_cast<Uint8>(kind == "down" ? SDL_PRESSED : SDL_RELEASED)};
    } else {
        return;
    }
    SDL_PushEvent(&event);
}

std::atomic<bool> quitting{false};
std::thread feeder;

// Reads the lines added since the last look, once SDL's event queue is up, until SDL shuts down.
void feed(std::string path) {
    std::streamoff done = 0;
    while (!quitting) {
        usleep(10000);
        if (SDL_WasInit(SDL_INIT_VIDEO) == 0) continue;
        std::ifstream in(path);
        in.seekg(done);
        std::string line;
        while (!quitting && std::getline(in, line) && !in.eof()) {
            deliver(line);
            done = in.tellg();
        }
    }
}

const bool started = [] {
    if (const char* path = std::getenv("ROADSIM_JOYSTICK_FILE"))
        feeder = std::thread(feed, std::string(path));
    return true;
}();

}  // namespace

extern "C" int SDL_NumJoysticks(void) {
    return 1;
}

extern "C" SDL_Joystick* SDL_JoystickOpen(int) {
    return nullptr;
}

// The feeder calls into SDL, so it ends before SDL does: a library torn down under it crashes.
extern "C" void SDL_Quit(void) {
    quitting = true;
    if (feeder.joinable()) feeder.join();
    using Quit = void (*)(void);
    static const auto real = reinterpret_cast<Quit>(dlsym(RTLD_NEXT, "SDL_Quit"));
    real();
}
