// Starting workers one at a time; called only from the main thread.
#include "Workers.h"

#include "ControlScreen.h"
#include "DrivingLoop.h"

#include <SDL.h>
#include <SDL_thread.h>

#include <iostream>

namespace {

enum class Worker { none, driving, controlScreen };

SDL_Thread* running = nullptr;
Worker runningKind = Worker::none;

void start(Worker kind, int (*function)(void*), const char* name) {
    waitForWorker();
    running = SDL_CreateThread(function, nullptr);
    runningKind = running != nullptr ? kind : Worker::none;
    if (running == nullptr)
        std::cerr << "Cannot start " << name << " " << SDL_GetError() << std::endl;
}

}  // namespace

void startDriving() {
    start(Worker::driving, drivingLoop, "the driving loop");
}

void startControlScreen() {
    if (runningKind == Worker::controlScreen) return;
    start(Worker::controlScreen, controlScreen, "the control screen");
}

void waitForWorker() {
    if (running != nullptr) SDL_WaitThread(running, nullptr);
    running = nullptr;
    runningKind = Worker::none;
}
