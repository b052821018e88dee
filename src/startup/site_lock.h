// Tells whether a server serves a site. Every server holds a shared lock on the site's
// lock file for its whole life, and so does a backup; a restore takes it alone.
#pragma once

#include <optional>
#include <string>

namespace excursa {

class SiteLock {
public:
    enum class Mode { Shared, Alone };

    // nullopt while another holder keeps the lock in a way that excludes this mode.
    // A lock file that is missing and cannot be made gives an empty lock: nobody can
    // hold that one either. Throws std::runtime_error when the file cannot be opened.
    static std::optional<SiteLock> TryTake(Mode mode);
    // Waits for the lock.
    static SiteLock Take(Mode mode);

    SiteLock(SiteLock&& other) noexcept;
    SiteLock& operator=(SiteLock&& other) noexcept;
    SiteLock(const SiteLock&) = delete;
    SiteLock& operator=(const SiteLock&) = delete;
    ~SiteLock();

    bool held() const { return fd_ >= 0; }

private:
    explicit SiteLock(int fd) : fd_(fd) {}
    int fd_ = -1;
};

// <site>/excursa.lock
std::string SiteLockFile();

}  // namespace excursa
