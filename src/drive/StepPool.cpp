// Waking a sleeping thread takes about as long as a drive's step, so each side spins a short while
// before it sleeps: a learner that steps back to back finds its threads awake, and a pool left
// idle sleeps within a fraction of a millisecond. A round ends only when every worker woken for it
// is done, so no worker ever holds a job whose round is over.
#include "StepPool.h"

#include <chrono>

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto spinTime = std::chrono::microseconds(200);

void relax() {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#else
    std::this_thread::yield();
#endif
}

// True once done() holds within the spin; false when the caller should sleep on it.
template <typename Condition>
bool spinUntil(const Condition& done) {
    const Clock::time_point until = Clock::now() + spinTime;
    while (!done()) {
        if (Clock::now() >= until) return false;
        relax();
    }
    return true;
}

}  // namespace

StepPool::StepPool(unsigned threads) {
    for (unsigned i = 1; i < threads; ++i) {
        workers.push_back(std::make_unique<Worker>());
        Worker& worker = *workers.back();
        worker.first = i;
        worker.thread = std::thread([this, &worker] { serve(worker); });
    }
}

StepPool::~StepPool() {
    {
        const std::lock_guard<std::mutex> lock(mutex);
        closing = true;
    }
    for (const std::unique_ptr<Worker>& worker : workers) {
        worker->wake.notify_one();
        worker->thread.join();
    }
}

template <typename Condition>
void StepPool::sleepUntil(std::condition_variable& woken, std::atomic<bool>& asleep,
                          const Condition& done) {
    std::unique_lock<std::mutex> lock(mutex);
    asleep = true;
    woken.wait(lock, done);
    asleep = false;
}

void StepPool::run(size_t count, const std::function<void(size_t)>& job) {
    if (count < 2 || workers.empty()) {
        for (size_t i = 0; i < count; ++i) job(i);
        return;
    }
    const std::lock_guard<std::mutex> one(rounds);
    const size_t helpers = std::min(workers.size(), count - 1);
    work = &job;
    total = count;
    sharing = helpers + 1;
    helping = helpers;
    ++round;
    for (size_t i = 0; i < helpers; ++i) {
        Worker& worker = *workers[i];
        worker.wanted = round;
        // A worker that said it sleeps is woken under the mutex, which it holds from saying so
        // until it waits; one that did not say so yet sees the round before it sleeps.
        if (worker.asleep) {
            const std::lock_guard<std::mutex> lock(mutex);
            worker.wake.notify_one();
        }
    }
    take(0);
    const auto done = [this] { return helping == 0; };
    if (!spinUntil(done)) sleepUntil(finished, callerAsleep, done);
}

void StepPool::serve(Worker& self) {
    uint32_t seen = 0;
    while (true) {
        const auto called = [&] { return closing || self.wanted != seen; };
        if (!spinUntil(called)) sleepUntil(self.wake, self.asleep, called);
        if (closing) return;
        seen = self.wanted;
        take(self.first);
        if (--helping == 0 && callerAsleep) {
            const std::lock_guard<std::mutex> lock(mutex);
            finished.notify_one();
        }
    }
}

void StepPool::take(size_t first) {
    for (size_t i = first; i < total; i += sharing) (*work)(i);
}
