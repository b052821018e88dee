// An in-memory browser for the request cycle: tests drive pages through it
// without sockets. It keeps the session cookie as a browser would.
#pragma once

#include "frame/web_application.h"

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace excursa {

class MemoryHost {
public:
    explicit MemoryHost(WebApplication& app) : app_(app) {}

    // url: "ExcursaLakemont.asp?WCI=Login&WCE&WCU" (a leading "/" is allowed).
    ResponseData get(std::string_view url);
    ResponseData post(std::string_view url, const std::vector<std::pair<std::string, std::string>>& form);

    const std::string& sessionId() const { return sessionId_; }
    void forgetSession() { sessionId_.clear(); }

private:
    ResponseData send(RequestData request, std::string_view url);
    WebApplication& app_;
    std::string sessionId_;
};

}  // namespace excursa
