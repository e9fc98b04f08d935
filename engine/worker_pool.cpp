// The fixed pool of worker threads.
#include "engine/worker_pool.h"

#include <algorithm>

namespace tarsel {

WorkerPool::WorkerPool(unsigned threads) {
    threads_.reserve(threads);
    for (unsigned i = 0; i < threads; ++i) {
        threads_.emplace_back([this] { Run(); });
    }
}

WorkerPool::~WorkerPool() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    for (auto& t : threads_) {
        t.join();
    }
}

void WorkerPool::Post(UnitFn fn, void* context, int count) {
    if (count <= 0) {
        return;
    }
    {
        std::lock_guard lock(mutex_);
        for (int i = 0; i < count; ++i) {
            queue_.push_back(Unit{fn, context, i});
        }
    }
    wake_.notify_all();
}

void WorkerPool::WaitIdle() {
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return queue_.empty() && busy_ == 0; });
}

void WorkerPool::Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        if (queue_.empty()) {
            return;  // stopping and nothing left
        }
        const Unit unit = queue_.front();
        queue_.pop_front();
        ++busy_;
        lock.unlock();
        unit.fn(unit.context, unit.index);
        lock.lock();
        --busy_;
        if (queue_.empty() && busy_ == 0) {
            idle_.notify_all();
        }
    }
}

WorkerPool& WorkerPool::Shared() {
    static WorkerPool pool(std::max(2u, std::thread::hardware_concurrency()));
    return pool;
}

}  // namespace tarsel
