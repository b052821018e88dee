// Browser sessions: an id in a cookie, a store of values, a sliding time-out.
#pragma once

#include "frame/stores.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

namespace excursa {

inline constexpr int kDefaultSessionTimeoutMinutes = 20;

struct Session {
    KeyedStore values;
    std::atomic<int> timeoutMinutes{kDefaultSessionTimeoutMinutes};
    std::atomic<std::int64_t> lastUsedMs{0};
    std::atomic<bool> abandoned{false};
};

// 128 random bits from the operating system, as 32 hex digits.
std::string NewSessionId();

class SessionStore {
public:
    using Clock = std::function<std::int64_t()>;  // milliseconds
    SessionStore();
    explicit SessionStore(Clock clock);

    struct Lease {
        std::string id;
        std::shared_ptr<Session> session;
        bool created = false;
    };
    // The live session of `id`, or a new one when it is unknown or has expired.
    // Marks it used now (sliding expiry).
    Lease acquire(const std::string& id);
    // Moves a live session to a new id and returns it; the old id finds nothing.
    std::string renew(const std::string& id);
    // Discards a session's values (abandon, after its response is complete).
    void discard(const std::string& id);
    std::size_t size() const;

private:
    bool expired(const Session& s, std::int64_t now) const;
    void sweepIfDue(std::int64_t now);

    Clock clock_;
    mutable std::mutex mutex_;
    std::unordered_map<std::string, std::shared_ptr<Session>> sessions_;
    std::int64_t nextSweepMs_ = 0;
};

}  // namespace excursa
