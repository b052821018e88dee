// What the server answers to one complete HTTP request, apart from how the
// bytes travel: the entry page runs the request cycle, /healthz and /metrics
// answer the monitoring, other paths are static files.
#pragma once

#include "frame/metrics.h"
#include "frame/monitoring.h"
#include "frame/web_application.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace excursa {

inline constexpr std::size_t kMaxBodyBytes = 1024 * 1024;

struct IncomingRequest {
    std::string method;
    std::string target;  // as sent: path and query
    std::string contentType;
    std::string accept;  // the Accept header
    std::vector<std::string> cookieHeaders;
    std::string body;
    std::string peer;  // the client's IP address
};

struct Answer {
    int status = 200;
    std::string contentType = "text/html; charset=utf-8";
    std::string body;
    std::string location;
    std::string sessionCookie;
    std::string allow;                                   // for 405
    std::string user;                                    // for the access log
    std::string item = std::string(metric_item::Other);  // what the request asked for, for the metrics
    bool cacheable = false;
    bool noStore = true;  // pages that Back may show again clear it
};

// The Cache-Control header: files for a while; pages kept for Back but asked for again on every
// visit; signed-out pages and errors never kept.
std::string_view CacheControl(const Answer& answer);

Answer AnswerRequest(WebApplication& app, const IncomingRequest& request, const MonitorOptions& monitor);
Answer PlainError(int status, std::string_view title, std::string_view message);
// The answer to a request whose bytes could not be parsed.
Answer UnreadableRequest();

}  // namespace excursa
