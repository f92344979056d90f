// Threads that do the items of a round together with the caller, kept for the life of their owner
// so that a round costs no thread start.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class StepPool {
  public:
    // THREADS counts the caller: a pool of one thread runs every item on the caller.
    explicit StepPool(unsigned threads);
    ~StepPool();
    StepPool(const StepPool&) = delete;
    StepPool& operator=(const StepPool&) = delete;

    unsigned threads() const { return static_cast<unsigned>(workers.size()) + 1; }
    // Runs job(i) for every i below count and returns when all are done. A round wakes no more
    // threads than it has items beyond the caller's first; one round runs at a time.
    void run(size_t count, const std::function<void(size_t)>& job);

  private:
    struct Worker {
        std::thread thread;
        std::condition_variable wake;
        std::atomic<uint32_t> wanted{0};  // the last round it was woken for
        std::atomic<bool> asleep{false};  // set with the mutex held
        size_t first = 0;                 // its first item, the worker's index from 1
    };

    void serve(Worker& self);
    // Sleeps on WOKEN until done(), saying so in ASLEEP for whoever wakes it.
    template <typename Condition>
    void sleepUntil(std::condition_variable& woken, std::atomic<bool>& asleep,
                    const Condition& done);
    // Does the round's items I, I + T, I + 2T..., T the threads of the round: each drive keeps to
    // one thread and its memory to one core's cache, which costs less than any balancing gains.
    void take(size_t first);

    std::mutex rounds;  // one round at a time, whoever calls
    // For sleeping and waking only: a thread that spins is called without it.
    std::mutex mutex;
    std::condition_variable finished;
    std::vector<std::unique_ptr<Worker>> workers;
    // The round's job and its size, set before its workers are woken and kept until every one
    // of them is done with it.
    const std::function<void(size_t)>* work = nullptr;
    size_t total = 0;
    size_t sharing = 0;                     // the threads of the round
    std::atomic<size_t> helping{0};         // the workers woken for the round and not yet done
    uint32_t round = 0;                     // with the rounds mutex held
    std::atomic<bool> callerAsleep{false};  // set with the mutex held
    std::atomic<bool> closing{false};
};
