// What tells a kept copy of a file (a parsed template, a static file) from the file as it is now.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace excursa {

struct FileIdentity {
    std::uint64_t device = 0, inode = 0, size = 0;
    std::int64_t modifiedNs = 0;
    bool operator==(const FileIdentity&) const = default;
};

// The regular file a path reaches now (links followed), or nothing.
std::optional<FileIdentity> IdentityOf(const std::string& path);

// How long a kept copy is trusted without looking at its file again: an edited template or css file
// is seen within this time, and a busy site does not look at the disk on every page.
inline constexpr std::chrono::milliseconds kFileRecheckAfter{1000};

// When a kept copy's file was last found unchanged; safe to read and renew from several threads.
class FileCheck {
public:
    using Clock = std::chrono::steady_clock;
    explicit FileCheck(Clock::time_point at = Clock::now()) : at_(at.time_since_epoch().count()) {}
    FileCheck(const FileCheck& other) : at_(other.at_.load(std::memory_order_relaxed)) {}
    FileCheck& operator=(const FileCheck& other) {
        at_.store(other.at_.load(std::memory_order_relaxed), std::memory_order_relaxed);
        return *this;
    }
    bool fresh(Clock::time_point now, std::chrono::milliseconds recheckAfter) const {
        return now - Clock::time_point(Clock::duration(at_.load(std::memory_order_relaxed))) < recheckAfter;
    }
    void renew(Clock::time_point now) {
        at_.store(now.time_since_epoch().count(), std::memory_order_relaxed);
    }

private:
    std::atomic<Clock::rep> at_;
};

}  // namespace excursa
