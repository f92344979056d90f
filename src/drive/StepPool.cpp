// Waking a sleeping thread takes about as long as a drive's step, so each side spins a short while
// before it sleeps: a learner that steps back to back finds its threads awake, and a pool left
// idle sleeps within a fraction of a millisecond. A thread that is not running, on a machine busy
// with other work, holds up no round: the others claim its share.
#include "StepPool.h"

#include <algorithm>
#include <chrono>

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto spinTime = std::chrono::microseconds(200);
constexpr size_t mostItems = 0xFFFF;  // in a share's 16 bits

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

uint64_t share(uint32_t round, size_t next, size_t end) {
    return uint64_t{round} << 32 | uint64_t{end} << 16 | next;
}

}  // namespace

StepPool::StepPool(unsigned threads) : shares(std::max(threads, 1u)) {
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
    for (size_t base = 0; base < count; base += mostItems) {
        const size_t part = std::min(mostItems, count - base);
        if (base == 0 && part == count)
            runRound(count, job);
        else
            runRound(part, [&](size_t i) { job(base + i); });
    }
}

void StepPool::runRound(size_t count, const std::function<void(size_t)>& job) {
    const size_t sharing = std::min(workers.size() + 1, count);
    const uint32_t now = ++round;
    work = &job;
    left = count;
    for (size_t s = 0; s < sharing; ++s)
        shares[s].claim = share(now, s * count / sharing, (s + 1) * count / sharing);
    for (size_t i = 0; i + 1 < sharing; ++i) {
        Worker& worker = *workers[i];
        worker.wanted = now;
        // A worker that said it sleeps is woken under the mutex, which it holds from saying so
        // until it waits; one that did not say so yet sees the round before it sleeps.
        if (worker.asleep) {
            const std::lock_guard<std::mutex> lock(mutex);
            worker.wake.notify_one();
        }
    }
    take(now, 0);
    const auto done = [this] { return left == 0; };
    if (!spinUntil(done)) sleepUntil(finished, callerAsleep, done);
}

void StepPool::serve(Worker& self) {
    uint32_t seen = 0;
    while (true) {
        const auto called = [&] { return closing || self.wanted != seen; };
        if (!spinUntil(called)) sleepUntil(self.wake, self.asleep, called);
        if (closing) return;
        seen = self.wanted;
        take(seen, self.first);
    }
}

void StepPool::take(uint32_t of, size_t first) {
    size_t done = 0;
    for (size_t s = 0; s < shares.size(); ++s) {
        std::atomic<uint64_t>& claim = shares[(first + s) % shares.size()].claim;
        uint64_t seen = claim;
        while (seen >> 32 == of && (seen & 0xFFFF) < (seen >> 16 & 0xFFFF)) {
            if (!claim.compare_exchange_weak(seen, seen + 1)) continue;
            (*work)(seen & 0xFFFF);
            ++done;
            seen = claim;
        }
    }
    if (done > 0 && left.fetch_sub(done) == done && callerAsleep) {
        const std::lock_guard<std::mutex> lock(mutex);
        finished.notify_one();
    }
}
