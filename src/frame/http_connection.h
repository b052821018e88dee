// One client connection on the event loop: reads whole requests under
// deadlines, hands pages to the workers and writes the answers back.
#pragma once

#include "frame/access_log.h"
#include "frame/http_server.h"
#include "frame/worker_pool.h"

#include <boost/asio/ip/tcp.hpp>

namespace excursa {

struct ServerContext {
    WebApplication& app;
    const ServerOptions& options;
    WorkerPool& workers;
    AccessLog* accessLog;  // null when not logging
};

// The connection keeps itself alive through its pending operations.
void ServeConnection(ServerContext& context, boost::asio::ip::tcp::socket socket);

}  // namespace excursa
