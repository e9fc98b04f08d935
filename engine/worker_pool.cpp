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
        queue_.emplace_back(fn, context, count);
    }
    wake_.notify_all();
}

void WorkerPool::WaitIdle() {
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return queue_.empty() && busy_ == 0; });
}

bool WorkerPool::Idle() {
    std::lock_guard lock(mutex_);
    return queue_.empty() && busy_ == 0;
}

void WorkerPool::WaitFor(const void* context) {
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [&] {
        for (const Batch& batch : queue_) {
            if (batch.context == context && (batch.Claimable() || batch.working != 0)) {
                return false;
            }
        }
        return true;
    });
}

WorkerPool::Batch* WorkerPool::FirstClaimable() {
    for (Batch& batch : queue_) {
        if (batch.Claimable()) {
            return &batch;
        }
    }
    return nullptr;
}

void WorkerPool::Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        Batch* batch = nullptr;
        wake_.wait(lock, [&] { return stopping_ || (batch = FirstClaimable()) != nullptr; });
        if (batch == nullptr) {
            return;  // stopping and nothing left to claim
        }
        ++batch->working;
        ++busy_;
        lock.unlock();
        for (int i = batch->next.fetch_add(1); i < batch->count; i = batch->next.fetch_add(1)) {
            batch->fn(batch->context, i);
        }
        lock.lock();
        --batch->working;
        --busy_;
        const bool left = batch->working == 0;  // the batch may be gone below
        // Batches leave from the front once claimed out and left by every thread, so a batch
        // never moves or vanishes while a thread still reads it.
        while (!queue_.empty() && !queue_.front().Claimable() && queue_.front().working == 0) {
            queue_.pop_front();
        }
        // Whoever waits for this batch's context, or for the whole pool, looks again.
        if (left || (queue_.empty() && busy_ == 0)) {
            idle_.notify_all();
        }
    }
}

WorkerPool& WorkerPool::Shared() {
    static WorkerPool pool(std::max(2u, std::thread::hardware_concurrency()));
    return pool;
}

}  // namespace tarsel
