// What the server answers to one complete HTTP request, apart from how the
// bytes travel: the entry page runs the request cycle, other paths are
// static files.
#pragma once

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
    std::vector<std::string> cookieHeaders;
    std::string body;
};

struct Answer {
    int status = 200;
    std::string contentType = "text/html; charset=utf-8";
    std::string body;
    std::string location;
    std::string sessionCookie;
    std::string allow;  // for 405
    std::string user;   // for the access log
    bool cacheable = false;
};

// True when the request runs a page (and so belongs on a worker).
bool RunsAPage(std::string_view target);
Answer AnswerRequest(WebApplication& app, const IncomingRequest& request);
Answer PlainError(int status, std::string_view title, std::string_view message);
// The answer to a request whose bytes could not be parsed.
Answer UnreadableRequest();

}  // namespace excursa
