#include "frame/worker_pool.h"

#include <exception>
#include <iostream>

namespace excursa {

WorkerPool::WorkerPool(int threads) {
    const int count = threads < 1 ? 1 : threads;
    threads_.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) threads_.emplace_back([this] { run(); });
}

WorkerPool::~WorkerPool() { stop(); }

void WorkerPool::post(std::function<void()> job) {
    {
        std::lock_guard lock(mutex_);
        jobs_.push_back(std::move(job));
    }
    ready_.notify_one();
}

void WorkerPool::stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    ready_.notify_all();
    for (std::thread& thread : threads_) {
        if (thread.joinable()) thread.join();
    }
}

void WorkerPool::run() {
    for (;;) {
        std::function<void()> job;
        {
            std::unique_lock lock(mutex_);
            ready_.wait(lock, [this] { return stopping_ || !jobs_.empty(); });
            if (jobs_.empty()) return;
            job = std::move(jobs_.front());
            jobs_.pop_front();
        }
        // A job answers its own failures; one that escapes must not end the worker.
        try {
            job();
        } catch (const std::exception& e) {
            std::cerr << "excursa: failure in a worker: " << e.what() << std::endl;
        }
    }
}

}  // namespace excursa
