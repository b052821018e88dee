#include "frame/attempt_limiter.h"

#include "frame/stores.h"
#include "frame/value.h"

#include <chrono>

namespace excursa {

namespace {

std::int64_t SteadyNowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

std::string KeyOf(std::string_view key) { return UCase(Trim(key)); }

}  // namespace

AttemptLimiter::AttemptLimiter() : AttemptLimiter(Rules{}, SteadyNowMs) {}

AttemptLimiter::AttemptLimiter(Rules rules, Clock clock) : rules_(rules), clock_(std::move(clock)) {}

// Records of keys that neither failed nor were refused lately are dropped in
// one pass a window, so the map holds only users being tried now.
void AttemptLimiter::forgetStale(std::int64_t now) {
    if (now < nextCleanMs_) return;
    nextCleanMs_ = now + rules_.windowMs;
    std::erase_if(records_, [&](const auto& entry) {
        const Record& r = entry.second;
        return r.lockedUntil <= now && (r.failures.empty() || r.failures.back() <= now - rules_.windowMs);
    });
}

bool AttemptLimiter::refused(std::string_view key) {
    const std::int64_t now = clock_();
    std::lock_guard lock(mutex_);
    forgetStale(now);
    auto it = records_.find(KeyOf(key));
    if (it == records_.end()) return false;
    Record& record = it->second;
    if (record.lockedUntil == 0) return false;
    if (now < record.lockedUntil) return true;
    // The lock has run out: the user starts again with a clean count.
    records_.erase(it);
    return false;
}

void AttemptLimiter::failed(std::string_view key) {
    const std::int64_t now = clock_();
    std::lock_guard lock(mutex_);
    Record& record = records_[KeyOf(key)];
    record.failures.push_back(now);
    while (!record.failures.empty() && record.failures.front() <= now - rules_.windowMs) {
        record.failures.pop_front();
    }
    if (static_cast<int>(record.failures.size()) < rules_.maxFailures) return;
    record.lockedUntil = now + rules_.lockMs;
    record.failures.clear();
}

void AttemptLimiter::succeeded(std::string_view key) {
    std::lock_guard lock(mutex_);
    records_.erase(KeyOf(key));
}

void AttemptLimiter::setClock(Clock clock) {
    std::lock_guard lock(mutex_);
    clock_ = clock ? std::move(clock) : Clock(SteadyNowMs);
    nextCleanMs_ = 0;
}

void AttemptLimiter::clear() {
    std::lock_guard lock(mutex_);
    records_.clear();
}

AttemptLimiter& SignInLimiter() {
    static AttemptLimiter limiter;
    return limiter;
}

}  // namespace excursa
