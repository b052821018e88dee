#include "startup/site_lock.h"

#include "config/site.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace excursa {

namespace {

constexpr mode_t kLockFileMode = 0644;  // anyone who may back up the site may also read it

// -1 when the file is missing and cannot be made here.
int OpenLockFile() {
    const std::string path = SiteLockFile();
    int fd = ::open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, kLockFileMode);
    if (fd >= 0) {
        struct stat file {};
        if (::fstat(fd, &file) == 0 && file.st_uid == ::geteuid()) ::fchmod(fd, kLockFileMode);
        return fd;
    }
    const int error = errno;
    if ((error == EACCES || error == EROFS) && !std::filesystem::exists(path)) return -1;
    throw std::runtime_error("Could not open the lock file '" + path + "': " + std::strerror(error) + ".");
}

bool Lock(int fd, SiteLock::Mode mode, bool wait) {
    const int operation = (mode == SiteLock::Mode::Shared ? LOCK_SH : LOCK_EX) | (wait ? 0 : LOCK_NB);
    for (;;) {
        if (::flock(fd, operation) == 0) return true;
        if (errno == EINTR) continue;
        if (errno == EWOULDBLOCK) return false;
        throw std::runtime_error("Could not lock '" + SiteLockFile() + "': " + std::strerror(errno) + ".");
    }
}

}  // namespace

std::string SiteLockFile() {
    const std::string& root = Site::root();
    return root.empty() ? "excursa.lock" : (std::filesystem::path(root) / "excursa.lock").string();
}

std::optional<SiteLock> SiteLock::TryTake(Mode mode) {
    SiteLock lock(OpenLockFile());
    if (!lock.held()) return lock;
    if (!Lock(lock.fd_, mode, false)) return std::nullopt;
    return lock;
}

SiteLock SiteLock::Take(Mode mode) {
    SiteLock lock(OpenLockFile());
    if (lock.held()) Lock(lock.fd_, mode, true);
    return lock;
}

SiteLock::SiteLock(SiteLock&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

SiteLock& SiteLock::operator=(SiteLock&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
}

SiteLock::~SiteLock() {
    if (fd_ >= 0) ::close(fd_);
}

}  // namespace excursa
