#include "frame/sessions.h"

#include <sys/random.h>

#include <array>
#include <cctype>
#include <cstdio>
#include <stdexcept>

namespace excursa {

namespace {

constexpr std::int64_t kSweepIntervalMs = 60 * 1000;

std::int64_t SteadyNowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

bool LooksLikeSessionId(const std::string& id) {
    if (id.size() != 32) return false;
    for (char c : id) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    }
    return true;
}

}  // namespace

std::string NewSessionId() {
    std::array<unsigned char, 16> bytes{};
    std::size_t filled = 0;
    while (filled < bytes.size()) {
        const ssize_t n = getrandom(bytes.data() + filled, bytes.size() - filled, 0);
        if (n < 0) throw std::runtime_error("The system's random generator is not available.");
        filled += static_cast<std::size_t>(n);
    }
    std::string id;
    id.reserve(32);
    char hex[3];
    for (unsigned char b : bytes) {
        std::snprintf(hex, sizeof hex, "%02x", b);
        id += hex;
    }
    return id;
}

SessionStore::SessionStore() : SessionStore(SteadyNowMs) {}

SessionStore::SessionStore(Clock clock) : clock_(std::move(clock)) {}

bool SessionStore::expired(const Session& s, std::int64_t now) const {
    const std::int64_t timeoutMs = static_cast<std::int64_t>(s.timeoutMinutes.load()) * 60 * 1000;
    return s.abandoned.load() || now - s.lastUsedMs.load() > timeoutMs;
}

// Expired sessions of browsers that never return are dropped in one pass a
// minute, so a request costs a lookup and nothing more.
void SessionStore::sweepIfDue(std::int64_t now) {
    if (now < nextSweepMs_) return;
    nextSweepMs_ = now + kSweepIntervalMs;
    std::erase_if(sessions_, [&](const auto& entry) { return expired(*entry.second, now); });
}

SessionStore::Lease SessionStore::acquire(const std::string& id) {
    const std::int64_t now = clock_();
    std::lock_guard lock(mutex_);
    sweepIfDue(now);
    if (LooksLikeSessionId(id)) {
        auto it = sessions_.find(id);
        if (it != sessions_.end()) {
            if (!expired(*it->second, now)) {
                it->second->lastUsedMs = now;
                return Lease{id, it->second, false};
            }
            sessions_.erase(it);
        }
    }
    Lease lease{NewSessionId(), std::make_shared<Session>(), true};
    lease.session->lastUsedMs = now;
    sessions_.emplace(lease.id, lease.session);
    return lease;
}

std::string SessionStore::renew(const std::string& id) {
    std::lock_guard lock(mutex_);
    auto it = sessions_.find(id);
    if (it == sessions_.end()) return {};
    std::shared_ptr<Session> session = std::move(it->second);
    sessions_.erase(it);
    std::string newId = NewSessionId();
    sessions_.emplace(newId, std::move(session));
    return newId;
}

void SessionStore::discard(const std::string& id) {
    std::lock_guard lock(mutex_);
    sessions_.erase(id);
}

std::size_t SessionStore::size() const {
    std::lock_guard lock(mutex_);
    return sessions_.size();
}

}  // namespace excursa
