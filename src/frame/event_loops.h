// The threads that hold the connections and run the pages. Each event loop runs the pages of its
// own connections itself, so an answer goes out with no hand-over between threads. A page that
// takes long (a writer holding a lock, a slow mail server) would hold every other connection of
// its loop: a watchdog then lends the loop a standby thread, which runs it beside the busy one
// until one of the loop's threads is free again.
#pragma once

#include <boost/asio/io_context.hpp>

#include <memory>

namespace excursa {

struct EventLoop;

class EventLoops {
public:
    EventLoops(int loops, int standbyThreads);
    ~EventLoops();
    EventLoops(const EventLoops&) = delete;
    EventLoops& operator=(const EventLoops&) = delete;

    boost::asio::io_context& first();
    // The loop a new connection goes to: the loops take turns.
    boost::asio::io_context& next();

    void start();
    // Ends the threads; a page in progress finishes first.
    void stop();

    // Standby threads running a loop now.
    int lent() const;

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

// Marks the calling thread as inside a page for its lifetime, so that the watchdog can tell a
// loop whose threads are all held. Harmless on a thread that runs no loop.
class PageOnLoop {
public:
    PageOnLoop();
    ~PageOnLoop();
    PageOnLoop(const PageOnLoop&) = delete;
    PageOnLoop& operator=(const PageOnLoop&) = delete;

private:
    EventLoop* loop_;
};

}  // namespace excursa
