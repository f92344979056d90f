// Nothing to hold on Windows: a windowed program has no console to receive Ctrl+C, and a request
// to close it arrives as a window message, which SDL turns into the quit event.
#include "Termination.h"

void holdTermination() {}

void releaseTermination() {}
