// The backup archive: one zip file whose entries are named by their place in the site,
// so that an administrator can also look into it with any zip tool.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace excursa {

struct ArchiveMember {
    std::string entry;  // "drives/c/VEL/Data/Lakemont/trip.db"
    std::string path;   // the file to put in
};

// Writes the archive readable by its owner alone (it holds passwords): first beside the
// target, then renamed over it, so that a failure never leaves half an archive behind.
// Answers the archive's size in bytes. Throws std::runtime_error.
std::uintmax_t WriteArchive(const std::string& archivePath, const std::vector<ArchiveMember>& members);

class ArchiveReader {
public:
    // Throws std::runtime_error when the file is missing or not a zip archive.
    explicit ArchiveReader(const std::string& archivePath);
    ~ArchiveReader();
    ArchiveReader(const ArchiveReader&) = delete;
    ArchiveReader& operator=(const ArchiveReader&) = delete;

    const std::vector<std::string>& entries() const { return entries_; }
    // Writes the entry's content to target, checking its checksum. Throws std::runtime_error.
    void extract(const std::string& entry, const std::string& target);

private:
    struct Impl;
    std::string archivePath_;
    std::vector<std::string> entries_;
    std::unique_ptr<Impl> impl_;
};

// Writes all buffered data of the file to the disk before it is renamed into place.
void FlushToDisk(const std::string& path);

}  // namespace excursa
