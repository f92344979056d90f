// Waking a sleeping thread takes about as long as a drive's step, so each side spins a short while
// before it sleeps: a learner that steps back to back finds its threads awake, and a batch left
// idle sleeps within a fraction of a millisecond.
#include "StepPool.h"

#include <chrono>

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto spinTime = std::chrono::microseconds(200);

// True once done() holds within the spin; false when the caller should sleep on it.
template <typename Condition>
bool spinUntil(const Condition& done) {
    const Clock::time_point until = Clock::now() + spinTime;
    while (!done()) {
        if (Clock::now() >= until) return false;
        std::this_thread::yield();
    }
    return true;
}

}  // namespace

StepPool::StepPool(unsigned threads) {
    for (unsigned i = 1; i < threads; ++i) {
        workers.push_back(std::make_unique<Worker>());
        Worker& worker = *workers.back();
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

void StepPool::run(size_t count, const std::function<void(size_t)>& job) {
    if (count < 2 || workers.empty()) {
        for (size_t i = 0; i < count; ++i) job(i);
        return;
    }
    const std::lock_guard<std::mutex> one(rounds);
    const uint32_t now = ++round;
    const size_t helpers = std::min(workers.size(), count - 1);
    {
        const std::lock_guard<std::mutex> lock(mutex);
        work = &job;
        total = count;
        left = count;
        ticket = uint64_t{now} << 32;
        for (size_t i = 0; i < helpers; ++i) workers[i]->wanted = now;
    }
    for (size_t i = 0; i < helpers; ++i) workers[i]->wake.notify_one();
    take(now, job, count);
    if (!spinUntil([this] { return left == 0; })) {
        std::unique_lock<std::mutex> lock(mutex);
        finished.wait(lock, [this] { return left == 0; });
    }
    const std::lock_guard<std::mutex> lock(mutex);
    work = nullptr;
}

void StepPool::serve(Worker& self) {
    uint32_t seen = 0;
    while (true) {
        spinUntil([&] { return self.wanted != seen; });
        std::unique_lock<std::mutex> lock(mutex);
        self.wake.wait(lock, [&] { return closing || self.wanted != seen; });
        if (closing) return;
        seen = self.wanted;
        if (work == nullptr) continue;
        const std::function<void(size_t)>& job = *work;
        const size_t count = total;
        lock.unlock();
        take(seen, job, count);
    }
}

void StepPool::take(uint32_t of, const std::function<void(size_t)>& job, size_t count) {
    size_t done = 0;
    uint64_t claimed = ticket;
    while (claimed >> 32 == of && (claimed & 0xFFFFFFFF) < count) {
        if (!ticket.compare_exchange_weak(claimed, claimed + 1)) continue;
        job(claimed & 0xFFFFFFFF);
        ++done;
        claimed = ticket;
    }
    if (done > 0 && left.fetch_sub(done) == done) {
        const std::lock_guard<std::mutex> lock(mutex);
        finished.notify_one();
    }
}
