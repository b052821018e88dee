// Browser sessions: an id in a cookie, a store of values, a sliding time-out.
#pragma once

#include "frame/stores.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

namespace excursa {

inline constexpr int kDefaultSessionTimeoutMinutes = 20;
inline constexpr std::size_t kDefaultMaxSessions = 100'000;

struct Session {
    KeyedStore values;
    std::atomic<int> timeoutMinutes{kDefaultSessionTimeoutMinutes};
    std::atomic<std::int64_t> lastUsedMs{0};
    std::atomic<bool> abandoned{false};
};

// The sessions held at one moment, expired ones left out.
struct SessionCounts {
    std::size_t live = 0;
    std::size_t signedIn = 0;
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
    // The live session of `id`, marked used now (sliding expiry); null when
    // the id is unknown or has expired.
    std::shared_ptr<Session> find(const std::string& id);
    // A new session; past the limit the least recently used one goes, one
    // without a signed-in user first.
    Lease create();
    // find, or create when there is nothing to find.
    Lease acquire(const std::string& id);
    // Files the session among the signed-in or the anonymous ones, which
    // decides the order in which the limit evicts.
    void setSignedIn(const std::string& id, bool signedIn);
    // Moves a live session to a new id and returns it; the old id finds nothing.
    std::string renew(const std::string& id);
    // Discards a session's values (abandon, after its response is complete).
    void discard(const std::string& id);
    std::size_t size() const;
    SessionCounts counts() const;
    void setLimit(std::size_t maxSessions);

private:
    // Most recently used first; the limit evicts from the back.
    using UseOrder = std::list<std::string>;
    struct Entry {
        std::shared_ptr<Session> session;
        bool signedIn = false;
        UseOrder::iterator place;
    };

    bool expired(const Session& s, std::int64_t now) const;
    void sweepIfDue(std::int64_t now);
    void erase(std::unordered_map<std::string, Entry>::iterator it);
    void evictOne();
    void markUsed(Entry& entry);

    Clock clock_;
    mutable std::mutex mutex_;
    std::unordered_map<std::string, Entry> sessions_;
    UseOrder anonymous_;
    UseOrder signedIn_;
    std::size_t limit_ = kDefaultMaxSessions;
    std::int64_t nextSweepMs_ = 0;
};

}  // namespace excursa
