// Definitions of the program-wide state; the simulation objects in the order they must be built.
#include "Globals.h"

#include "Termination.h"

namespace {

// Built first: a termination request that arrives while the simulation objects load, before SDL
// can turn it into the quit event, waits for releaseTermination instead of killing the process.
struct HeldTermination {
    HeldTermination() { holdTermination(); }
} const heldTermination;

}  // namespace

SDL_Surface* screen = nullptr;
bool manualMode = false;
std::atomic<bool> stopDriving{false};
std::atomic<bool> stopMenu{false};

// One translation unit fixes the order: the list outlives the course that fills it, and the car's
// construction loads the dashboard bitmaps before main runs.
ParticleList particleList;
Course course(particleList);
Car car;
