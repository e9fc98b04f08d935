// A small fixed pool of threads that runs the work units of a phase (one per chunk or one
// per result row). Units are plain function pointers. A phase is posted as one batch whose
// units the threads claim by counting up, so a unit costs no lock and no allocation: a
// phase of a thousand tiny units would otherwise spend its time on the queue's lock.
#pragma once

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace tarsel {

class WorkerPool {
  public:
    using UnitFn = void (*)(void* context, int index);

    explicit WorkerPool(unsigned threads);
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    // Queues units fn(context, 0) .. fn(context, count - 1); they run in that order of start.
    void Post(UnitFn fn, void* context, int count);
    // Returns when no unit is queued or running.
    void WaitIdle();
    // Whether no unit is queued or running now.
    bool Idle();
    // Returns when no unit posted with context is queued or running: one search context waits
    // for its own units while others go on using the pool.
    void WaitFor(const void* context);
    // How many threads run units.
    int Threads() const { return static_cast<int>(threads_.size()); }

    // The pool the phases run on, sized to the machine (at least two threads).
    static WorkerPool& Shared();

  private:
    struct Batch {
        Batch(UnitFn f, void* c, int n) : fn(f), context(c), count(n) {}
        UnitFn fn;
        void* context;
        int count;
        std::atomic<int> next{0};  // the next unit to claim; count and beyond: all claimed
        int working = 0;           // threads claiming units of this batch (under the lock)
        bool Claimable() const { return next.load(std::memory_order_relaxed) < count; }
    };
    void Run();
    Batch* FirstClaimable();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::deque<Batch> queue_;  // batches stay in place until no thread works on them
    int busy_ = 0;             // threads claiming units; with queue_ empty: all done
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

}  // namespace tarsel
