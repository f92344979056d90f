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
    };

    void serve(Worker& self);
    void take(uint32_t round, const std::function<void(size_t)>& job, size_t count);

    std::mutex rounds;  // one round at a time, whoever calls
    std::mutex mutex;
    std::condition_variable finished;
    std::vector<std::unique_ptr<Worker>> workers;
    const std::function<void(size_t)>* work = nullptr;  // with the mutex held
    size_t total = 0;                                   // with the mutex held
    // The round's number and its next item, 32 bits each: an item is claimed with its round's
    // number, so a thread that comes late claims nothing and never calls a job whose round is over.
    std::atomic<uint64_t> ticket{0};
    std::atomic<size_t> left{0};  // items of the round not yet done
    uint32_t round = 0;           // with the rounds mutex held
    bool closing = false;         // with the mutex held
};
