// One line per answered request, written by a thread of its own so that a
// slow terminal or pipe never holds the event loop.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <ostream>
#include <string>
#include <string_view>
#include <thread>

namespace excursa {

// Quotes, backslashes and every byte outside printable ASCII written as
// escapes, so that what a client sent cannot steer the terminal that shows
// the log.
std::string EscapeForLog(std::string_view text);

struct AccessRecord {
    std::string_view method;
    std::string_view target;
    int status = 0;
    std::size_t bytes = 0;  // of the response body
    long milliseconds = 0;
    std::string_view user;  // the signed-in user, "" when none
};

// GET "/ExcursaLakemont.asp?WCI=Login" 200 5120 3ms "maple.teacher"   ("-" for no user)
std::string AccessLogLine(const AccessRecord& record);

class AccessLog {
public:
    explicit AccessLog(std::ostream& out);
    ~AccessLog();  // writes what is pending
    AccessLog(const AccessLog&) = delete;
    AccessLog& operator=(const AccessLog&) = delete;

    void write(const AccessRecord& record);

private:
    void run();

    std::ostream& out_;
    std::mutex mutex_;
    std::condition_variable pending_;
    std::string lines_;
    std::size_t dropped_ = 0;
    bool stopping_ = false;
    std::thread writer_;
};

}  // namespace excursa
