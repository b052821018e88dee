#include "frame/event_loops.h"

#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/post.hpp>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <iostream>
#include <mutex>
#include <thread>
#include <vector>

namespace excursa {

namespace net = boost::asio;

namespace {

// How often the watchdog looks. A loop whose threads were all inside pages at two looks in a row,
// with no page finished between them, is lent a standby thread: a page is helped after 5 to 10 ms.
constexpr std::chrono::milliseconds kLookEvery{5};

// A failure escaping one connection's handler must not end the loop that holds all the others.
template <typename Run>
bool RanWithoutFailure(Run run) {
    try {
        run();
        return true;
    } catch (const std::exception& e) {
        std::cerr << "excursa: failure on the event loop: " << e.what() << std::endl;
        return false;
    }
}

}  // namespace

struct EventLoop {
    // The default concurrency hint: a standby thread may run the loop beside its own thread.
    net::io_context context;
    net::executor_work_guard<net::io_context::executor_type> keepRunning = net::make_work_guard(context);
    std::atomic<int> runners{0};
    std::atomic<int> inPages{0};
    std::atomic<std::uint64_t> pagesDone{0};
    // The watchdog's own, under the standby mutex.
    std::uint64_t doneAtLastLook = 0;
    bool heldAtLastLook = false;
    bool helpPending = false;
};

namespace {

thread_local EventLoop* tRunningLoop = nullptr;

// Counts the calling thread among the loop's runners for its lifetime.
class RunningLoop {
public:
    explicit RunningLoop(EventLoop& loop) : loop_(loop) {
        tRunningLoop = &loop;
        loop.runners.fetch_add(1);
    }
    ~RunningLoop() {
        loop_.runners.fetch_sub(1);
        tRunningLoop = nullptr;
    }
    RunningLoop(const RunningLoop&) = delete;
    RunningLoop& operator=(const RunningLoop&) = delete;

private:
    EventLoop& loop_;
};

}  // namespace

PageOnLoop::PageOnLoop() : loop_(tRunningLoop) {
    if (loop_ != nullptr) loop_->inPages.fetch_add(1);
}

PageOnLoop::~PageOnLoop() {
    if (loop_ == nullptr) return;
    loop_->pagesDone.fetch_add(1);
    loop_->inPages.fetch_sub(1);
}

struct EventLoops::Impl {
    Impl(int loopCount, int standbyCount) : standbyCount(standbyCount < 1 ? 1 : standbyCount) {
        for (int i = 0; i < (loopCount < 1 ? 1 : loopCount); ++i)
            loops.push_back(std::make_unique<EventLoop>());
    }

    void start() {
        for (auto& loop : loops) threads.emplace_back([&loop = *loop] { runOwn(loop); });
        for (int i = 0; i < standbyCount; ++i) threads.emplace_back([this] { standBy(); });
        threads.emplace_back([this] { watch(); });
    }

    void stop() {
        {
            std::lock_guard lock(mutex);
            stopping = true;
        }
        changed.notify_all();
        for (auto& loop : loops) loop->context.stop();
        for (std::thread& thread : threads) thread.join();
        threads.clear();
    }

    static void runOwn(EventLoop& loop) {
        RunningLoop running(loop);
        while (!RanWithoutFailure([&] { loop.context.run(); })) {
        }
    }

    void standBy() {
        for (;;) {
            EventLoop* loop = nullptr;
            {
                std::unique_lock lock(mutex);
                ++idleStandbys;
                changed.wait(lock, [&] { return stopping || !waitingForHelp.empty(); });
                --idleStandbys;
                if (stopping) return;
                loop = waitingForHelp.front();
                waitingForHelp.pop_front();
                loop->helpPending = false;
                ++lentCount;
            }
            help(*loop);
            std::lock_guard lock(mutex);
            --lentCount;
        }
    }

    // Runs the loop until another of its threads is free to run it.
    static void help(EventLoop& loop) {
        {
            RunningLoop running(loop);
            while (!loop.context.stopped()) {
                RanWithoutFailure([&] { loop.context.run_one_for(kLookEvery); });
                if (loop.runners.load() - loop.inPages.load() > 1) break;
            }
        }
        // The loop's own thread may be waiting for work while this one held the polling.
        net::post(loop.context, [] {});
    }

    void watch() {
        std::unique_lock lock(mutex);
        while (!changed.wait_for(lock, kLookEvery, [&] { return stopping; })) {
            for (auto& loop : loops) lookAt(*loop);
        }
    }

    void lookAt(EventLoop& loop) {
        const std::uint64_t done = loop.pagesDone.load();
        const int inPages = loop.inPages.load();
        const bool held = inPages > 0 && inPages >= loop.runners.load();
        const bool stalled = held && loop.heldAtLastLook && done == loop.doneAtLastLook;
        loop.heldAtLastLook = held;
        loop.doneAtLastLook = done;
        if (!stalled || loop.helpPending || idleStandbys <= static_cast<int>(waitingForHelp.size())) return;
        loop.helpPending = true;
        waitingForHelp.push_back(&loop);
        changed.notify_all();
    }

    const int standbyCount;
    std::vector<std::unique_ptr<EventLoop>> loops;
    std::atomic<std::size_t> nextLoop{0};
    std::vector<std::thread> threads;
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<EventLoop*> waitingForHelp;
    int idleStandbys = 0;
    int lentCount = 0;
    bool stopping = false;
};

EventLoops::EventLoops(int loops, int standbyThreads)
    : impl_(std::make_unique<Impl>(loops, standbyThreads)) {}

EventLoops::~EventLoops() { stop(); }

net::io_context& EventLoops::first() { return impl_->loops.front()->context; }

net::io_context& EventLoops::next() {
    return impl_->loops[impl_->nextLoop.fetch_add(1) % impl_->loops.size()]->context;
}

void EventLoops::start() { impl_->start(); }

void EventLoops::stop() { impl_->stop(); }

int EventLoops::lent() const {
    std::lock_guard lock(impl_->mutex);
    return impl_->lentCount;
}

}  // namespace excursa
