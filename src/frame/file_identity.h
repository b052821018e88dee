// What tells a kept copy of a file (a parsed template, a static file) from the file as it is now.
#pragma once

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

}  // namespace excursa
