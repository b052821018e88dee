// Counts failed attempts per key (a user id) and refuses the key for a while
// once too many failed close together. It only answers; nothing waits.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

namespace excursa {

class AttemptLimiter {
public:
    using Clock = std::function<std::int64_t()>;  // milliseconds
    struct Rules {
        int maxFailures = 10;
        std::int64_t windowMs = 15 * 60 * 1000;
        std::int64_t lockMs = 15 * 60 * 1000;
    };

    AttemptLimiter();
    AttemptLimiter(Rules rules, Clock clock);

    // Keys are compared trimmed and without regard to letter case.
    bool refused(std::string_view key);
    void failed(std::string_view key);
    void succeeded(std::string_view key);

    // Tests only: a clock they drive (empty: the steady clock again), and no history.
    void setClock(Clock clock);
    void clear();

private:
    struct Record {
        std::deque<std::int64_t> failures;  // within the window, oldest first
        std::int64_t lockedUntil = 0;
    };
    void forgetStale(std::int64_t now);

    Rules rules_;
    Clock clock_;
    std::mutex mutex_;
    std::unordered_map<std::string, Record> records_;
    std::int64_t nextCleanMs_ = 0;
};

// The limiter of sign-in attempts, one for the process.
AttemptLimiter& SignInLimiter();
inline constexpr std::string_view kTooManySignIns =
    "Sorry, too many failed sign-ins.  Please wait 15 minutes and try again.";

}  // namespace excursa
