// One client connection on an event loop: reads whole requests under
// deadlines, runs the page and writes the answer back.
#pragma once

#include "frame/access_log.h"
#include "frame/http_server.h"

#include <boost/asio/ip/tcp.hpp>

namespace excursa {

struct ServerContext {
    WebApplication& app;
    const ServerOptions& options;
    AccessLog* accessLog;  // null when not logging
};

// The connection keeps itself alive through its pending operations.
void ServeConnection(ServerContext& context, boost::asio::ip::tcp::socket socket);

}  // namespace excursa
