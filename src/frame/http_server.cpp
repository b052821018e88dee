#include "frame/http_server.h"

#include "frame/access_log.h"
#include "frame/event_loops.h"
#include "frame/http_connection.h"

#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/strand.hpp>

#include <chrono>
#include <stdexcept>
#include <string>

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

struct HttpServer::Impl {
    Impl(WebApplication& app, ServerOptions opts)
        : options(std::move(opts)),
          loops(options.ioThreads, options.threads),
          acceptor(net::make_strand(loops.first())),
          acceptPause(acceptor.get_executor()),
          accessLog(options.accessLog && options.accessLogTo
                        ? std::make_unique<AccessLog>(*options.accessLogTo)
                        : nullptr),
          context{app, options, accessLog.get()} {}

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
        // A strand for each connection: a standby thread lent to its loop must not run its
        // handlers beside the loop's own thread.
        acceptor.async_accept(net::make_strand(loops.next()), [this](boost::system::error_code ec, tcp::socket socket) {
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
        loops.start();
        started = true;
    }

    void stop() {
        if (!started) return;
        started = false;
        net::post(acceptor.get_executor(), [this] {
            boost::system::error_code ignored;
            acceptor.close(ignored);
            acceptPause.cancel();
        });
        loops.stop();
        accessLog.reset();
    }

    ServerOptions options;
    EventLoops loops;
    tcp::acceptor acceptor;
    net::steady_timer acceptPause;
    std::unique_ptr<AccessLog> accessLog;
    ServerContext context;
    bool started = false;
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
