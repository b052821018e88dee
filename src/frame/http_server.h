// The HTTP host: event loops hold the connections, read whole requests and
// run the pages; standby threads take over a loop held by a slow page.
#pragma once

#include "frame/http_answer.h"
#include "frame/static_files.h"
#include "frame/web_application.h"

#include <chrono>
#include <cstddef>
#include <iostream>
#include <memory>
#include <string>

namespace excursa {

struct ServerOptions {
    std::string address = "0.0.0.0";
    int port = 8080;    // 0: any free port
    int threads = 8;    // standby threads, lent to a loop held by slow pages
    int ioThreads = 2;  // event loops, a thread each
    bool accessLog = true;
    std::ostream* accessLogTo = &std::cout;
    // The whole request head must arrive within this time of its first byte.
    std::chrono::milliseconds headerTimeout{10'000};
    // A body may take headerTimeout plus its size at this rate.
    std::size_t bodyMinBytesPerSecond = 1024;
    // A kept-alive connection without a request is closed after this.
    std::chrono::milliseconds idleTimeout{60'000};
    // The browsers reach the service by https (through a proxy): the session
    // cookie is then sent back only over https.
    bool secureCookie = false;
    MonitorOptions monitor;
};

class HttpServer {
public:
    HttpServer(WebApplication& app, ServerOptions options);
    ~HttpServer();
    // Binds the address; throws std::runtime_error with a message for the
    // administrator when it is in use or not available.
    void listen();
    // Listens when not yet listening, then accepts connections.
    void start();
    void stop();  // lets the requests in progress finish
    int port() const;

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace excursa
