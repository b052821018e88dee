#include "frame/http_server.h"

#include "frame/access_log.h"
#include "frame/http_connection.h"
#include "frame/worker_pool.h"

#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>

#include <iostream>
#include <stdexcept>
#include <thread>
#include <vector>

namespace excursa {

namespace net = boost::asio;
using tcp = net::ip::tcp;

namespace {

// Sockets run out (too many open files) under a flood; accepting again at
// once would spin, so the listener pauses this long.
constexpr std::chrono::milliseconds kAcceptPause{50};

std::string Where(const ServerOptions& options) {
    return options.address + ":" + std::to_string(options.port);
}

}  // namespace

// Each I/O thread runs a loop of its own and keeps the connections it was given: a
// connection's handlers then never meet on another thread, so they need no strand, and
// the threads never wake each other to hand work over.
struct EventLoop {
    net::io_context context{1};
    net::executor_work_guard<net::io_context::executor_type> keepRunning = net::make_work_guard(context);
};

std::vector<std::unique_ptr<EventLoop>> MakeLoops(int count) {
    std::vector<std::unique_ptr<EventLoop>> loops;
    for (int i = 0; i < (count < 1 ? 1 : count); ++i) loops.push_back(std::make_unique<EventLoop>());
    return loops;
}

struct HttpServer::Impl {
    Impl(WebApplication& app, ServerOptions opts)
        : options(std::move(opts)),
          loops(MakeLoops(options.ioThreads)),
          acceptor(loops.front()->context),
          acceptPause(acceptor.get_executor()),
          workers(std::make_unique<WorkerPool>(options.threads)),
          accessLog(options.accessLog && options.accessLogTo
                        ? std::make_unique<AccessLog>(*options.accessLogTo)
                        : nullptr),
          context{app, options, *workers, accessLog.get()} {}

    void listen() {
        if (acceptor.is_open()) return;
        boost::system::error_code ec;
        const net::ip::address address = net::ip::make_address(options.address, ec);
        if (ec)
            throw std::runtime_error("cannot listen on " + Where(options) + ": that is not an IP address");
        const tcp::endpoint endpoint(address, static_cast<unsigned short>(options.port));
        acceptor.open(endpoint.protocol(), ec);
        // Lets a restarted server take its port while old connections linger
        // in TIME_WAIT; on Linux it never lets two servers listen on one port.
        if (!ec) acceptor.set_option(net::socket_base::reuse_address(true), ec);
        if (!ec) acceptor.bind(endpoint, ec);
        if (!ec) acceptor.listen(net::socket_base::max_listen_connections, ec);
        if (!ec) return;
        acceptor.close();
        if (ec == net::error::address_in_use) {
            throw std::runtime_error("cannot listen on " + Where(options) +
                                     ": the address is already in use (is another server running on it?)");
        }
        throw std::runtime_error("cannot listen on " + Where(options) + ": " + ec.message());
    }

    void accept() {
        net::io_context& next = loops[nextLoop++ % loops.size()]->context;
        acceptor.async_accept(next, [this](boost::system::error_code ec, tcp::socket socket) {
            if (!acceptor.is_open() || ec == net::error::operation_aborted) return;
            if (ec) return pauseAccepting();
            socket.set_option(tcp::no_delay(true), ec);
            ServeConnection(context, std::move(socket));
            accept();
        });
    }

    void pauseAccepting() {
        acceptPause.expires_after(kAcceptPause);
        acceptPause.async_wait([this](boost::system::error_code ec) {
            if (!ec) accept();
        });
    }

    void start() {
        listen();
        accept();
        for (auto& loop : loops) ioThreads.emplace_back([this, &loop] { runLoop(loop->context); });
    }

    // A failure escaping one connection's handler must not end the loop that
    // holds all the others.
    static void runLoop(net::io_context& context) {
        for (;;) {
            try {
                context.run();
                return;
            } catch (const std::exception& e) {
                std::cerr << "excursa: failure on the event loop: " << e.what() << std::endl;
            }
        }
    }

    void stop() {
        if (ioThreads.empty()) return;
        net::post(acceptor.get_executor(), [this] {
            boost::system::error_code ignored;
            acceptor.close(ignored);
            acceptPause.cancel();
        });
        workers->stop();
        for (auto& loop : loops) loop->context.stop();
        for (std::thread& thread : ioThreads) thread.join();
        ioThreads.clear();
        // Requests that arrived meanwhile hold connections of this loop.
        workers.reset();
        accessLog.reset();
    }

    ServerOptions options;
    std::vector<std::unique_ptr<EventLoop>> loops;
    std::size_t nextLoop = 0;
    tcp::acceptor acceptor;
    net::steady_timer acceptPause;
    std::unique_ptr<WorkerPool> workers;
    std::unique_ptr<AccessLog> accessLog;
    ServerContext context;
    std::vector<std::thread> ioThreads;
};

HttpServer::HttpServer(WebApplication& app, ServerOptions options)
    : impl_(std::make_unique<Impl>(app, std::move(options))) {}

HttpServer::~HttpServer() { stop(); }

void HttpServer::listen() { impl_->listen(); }

void HttpServer::start() { impl_->start(); }

void HttpServer::stop() { impl_->stop(); }

int HttpServer::port() const {
    boost::system::error_code ec;
    const tcp::endpoint endpoint = impl_->acceptor.local_endpoint(ec);
    return ec ? 0 : endpoint.port();
}

}  // namespace excursa
