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
    struct alignas(64) Worker {
        std::thread thread;
        std::condition_variable wake;
        std::atomic<uint32_t> wanted{0};  // the last round it was woken for
        std::atomic<bool> asleep{false};  // set with the mutex held
        size_t first = 0;                 // the share it takes first
    };
    // One thread's share of a round's items, claimed one by one: the round's number, the share's
    // end and its next item, 32, 16 and 16 bits, so that a thread woken late claims nothing of a
    // later round.
    struct alignas(64) Share {
        std::atomic<uint64_t> claim{0};
    };

    void runRound(size_t count, const std::function<void(size_t)>& job);
    void serve(Worker& self);
    // Sleeps on WOKEN until done(), saying so in ASLEEP for whoever wakes it.
    template <typename Condition>
    void sleepUntil(std::condition_variable& woken, std::atomic<bool>& asleep,
                    const Condition& done);
    // Does the items of round OF that it can claim, its own share FIRST first: each drive keeps to
    // one thread while all are running, and a thread that is not running holds up no one.
    void take(uint32_t of, size_t first);

    std::mutex rounds;  // one round at a time, whoever calls
    // For sleeping and waking only: a thread that spins is called without it.
    std::mutex mutex;
    std::condition_variable finished;
    std::vector<std::unique_ptr<Worker>> workers;
    std::vector<Share> shares;  // one a thread
    // The round's job, read only by a thread that claimed one of its items.
    const std::function<void(size_t)>* work = nullptr;
    std::atomic<size_t> left{0};            // items of the round not yet done
    uint32_t round = 0;                     // with the rounds mutex held
    std::atomic<bool> callerAsleep{false};  // set with the mutex held
    alignas(64) std::atomic<bool> closing{false};
};
