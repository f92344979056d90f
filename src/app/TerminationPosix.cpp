// Termination requests held back by blocking the signals in every thread that starts meanwhile.
#include "Termination.h"

#include <pthread.h>
#include <csignal>

namespace {

sigset_t terminationSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    return signals;
}

}  // namespace

void holdTermination() {
    const sigset_t signals = terminationSignals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
}

void releaseTermination() {
    const sigset_t signals = terminationSignals();
    pthread_sigmask(SIG_UNBLOCK, &signals, nullptr);
}
