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

void SessionStore::erase(std::unordered_map<std::string, Entry>::iterator it) {
    (it->second.signedIn ? signedIn_ : anonymous_).erase(it->second.place);
    sessions_.erase(it);
}

void SessionStore::markUsed(Entry& entry) {
    UseOrder& order = entry.signedIn ? signedIn_ : anonymous_;
    order.splice(order.begin(), order, entry.place);
}

// Expired sessions of browsers that never return are dropped in one pass a
// minute, so a request costs a lookup and nothing more.
void SessionStore::sweepIfDue(std::int64_t now) {
    if (now < nextSweepMs_) return;
    nextSweepMs_ = now + kSweepIntervalMs;
    for (auto it = sessions_.begin(); it != sessions_.end();) {
        auto next = std::next(it);
        if (expired(*it->second.session, now)) erase(it);
        it = next;
    }
}

void SessionStore::evictOne() {
    UseOrder& order = anonymous_.empty() ? signedIn_ : anonymous_;
    if (order.empty()) return;
    erase(sessions_.find(order.back()));
}

std::shared_ptr<Session> SessionStore::find(const std::string& id) {
    if (!LooksLikeSessionId(id)) return nullptr;
    const std::int64_t now = clock_();
    std::lock_guard lock(mutex_);
    sweepIfDue(now);
    auto it = sessions_.find(id);
    if (it == sessions_.end()) return nullptr;
    if (expired(*it->second.session, now)) {
        erase(it);
        return nullptr;
    }
    it->second.session->lastUsedMs = now;
    markUsed(it->second);
    return it->second.session;
}

SessionStore::Lease SessionStore::create() {
    const std::int64_t now = clock_();
    Lease lease{NewSessionId(), std::make_shared<Session>(), true};
    lease.session->lastUsedMs = now;
    std::lock_guard lock(mutex_);
    sweepIfDue(now);
    while (!sessions_.empty() && sessions_.size() >= limit_) evictOne();
    anonymous_.push_front(lease.id);
    sessions_.emplace(lease.id, Entry{lease.session, false, anonymous_.begin()});
    return lease;
}

SessionStore::Lease SessionStore::acquire(const std::string& id) {
    if (std::shared_ptr<Session> live = find(id)) return Lease{id, std::move(live), false};
    return create();
}

void SessionStore::setSignedIn(const std::string& id, bool signedIn) {
    std::lock_guard lock(mutex_);
    auto it = sessions_.find(id);
    if (it == sessions_.end() || it->second.signedIn == signedIn) return;
    Entry& entry = it->second;
    UseOrder& from = entry.signedIn ? signedIn_ : anonymous_;
    UseOrder& to = signedIn ? signedIn_ : anonymous_;
    to.splice(to.begin(), from, entry.place);
    entry.signedIn = signedIn;
}

std::string SessionStore::renew(const std::string& id) {
    std::lock_guard lock(mutex_);
    auto it = sessions_.find(id);
    if (it == sessions_.end()) return {};
    std::string newId = NewSessionId();
    Entry entry = std::move(it->second);
    sessions_.erase(it);
    *entry.place = newId;
    sessions_.emplace(newId, std::move(entry));
    return newId;
}

void SessionStore::discard(const std::string& id) {
    std::lock_guard lock(mutex_);
    auto it = sessions_.find(id);
    if (it != sessions_.end()) erase(it);
}

std::size_t SessionStore::size() const {
    std::lock_guard lock(mutex_);
    return sessions_.size();
}

SessionCounts SessionStore::counts() const {
    const std::int64_t now = clock_();
    SessionCounts counts;
    std::lock_guard lock(mutex_);
    for (const auto& [id, entry] : sessions_) {
        if (expired(*entry.session, now)) continue;
        ++counts.live;
        if (entry.signedIn) ++counts.signedIn;
    }
    return counts;
}

void SessionStore::setLimit(std::size_t maxSessions) {
    std::lock_guard lock(mutex_);
    limit_ = maxSessions < 1 ? 1 : maxSessions;
}

}  // namespace excursa
