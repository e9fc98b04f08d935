// A small fixed pool of threads that runs the work units of a phase (one per chunk or one
// per result row). Units are plain function pointers: posting a phase allocates nothing per
// unit beyond the queue's own storage.
#pragma once

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

    // The pool the phases run on, sized to the machine (at least two threads).
    static WorkerPool& Shared();

  private:
    struct Unit {
        UnitFn fn;
        void* context;
        int index;
    };
    void Run();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::deque<Unit> queue_;
    int busy_ = 0;  // units taken from the queue and not yet returned
    bool stopping_ = false;
    std::vector<std::thread> threads_;
};

}  // namespace tarsel
