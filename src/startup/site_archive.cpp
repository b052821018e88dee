#include "startup/site_archive.h"

#include <Poco/DateTime.h>
#include <Poco/Exception.h>
#include <Poco/Path.h>
#include <Poco/Timestamp.h>
#include <Poco/Zip/Compress.h>
#include <Poco/Zip/ZipArchive.h>
#include <Poco/Zip/ZipStream.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>

#include <fcntl.h>
#include <unistd.h>

namespace excursa {

namespace fs = std::filesystem;

namespace {

// Made before the stream opens it, so the archive is never readable by others, not even briefly.
void CreatePrivateFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) throw std::runtime_error("Could not make '" + path + "': " + std::strerror(errno) + ".");
    ::close(fd);
}

void AddMember(Poco::Zip::Compress& zip, const ArchiveMember& member) {
    std::ifstream in(member.path, std::ios::binary);
    if (!in) throw std::runtime_error("Could not read '" + member.path + "'.");
    const Poco::DateTime modified(Poco::Timestamp::fromEpochTime(std::chrono::system_clock::to_time_t(
        std::chrono::file_clock::to_sys(fs::last_write_time(member.path)))));
    zip.addFile(in, modified, Poco::Path(member.entry, Poco::Path::PATH_UNIX),
                Poco::Zip::ZipCommon::CM_DEFLATE, Poco::Zip::ZipCommon::CL_NORMAL);
    if (in.bad()) throw std::runtime_error("Could not read '" + member.path + "'.");
}

}  // namespace

void FlushToDisk(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    const bool flushed = fd >= 0 && ::fsync(fd) == 0;
    const int error = errno;
    if (fd >= 0) ::close(fd);
    if (!flushed)
        throw std::runtime_error("Could not write '" + path + "' to the disk: " + std::strerror(error) + ".");
}

std::uintmax_t WriteArchive(const std::string& archivePath, const std::vector<ArchiveMember>& members) {
    const std::string partial = archivePath + ".partial";
    std::error_code ec;
    fs::remove(partial, ec);  // left by an earlier run that was stopped
    CreatePrivateFile(partial);
    try {
        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        Poco::Zip::Compress zip(out, true);
        for (const ArchiveMember& member : members) AddMember(zip, member);
        zip.close();
        out.close();
        if (!out)
            throw std::runtime_error("Could not write '" + partial + "': " + std::strerror(errno) + ".");
        FlushToDisk(partial);
        fs::rename(partial, archivePath);
    } catch (const Poco::Exception& e) {
        fs::remove(partial, ec);
        throw std::runtime_error("Could not write the archive '" + archivePath + "': " + e.displayText());
    } catch (...) {
        fs::remove(partial, ec);
        throw;
    }
    return fs::file_size(archivePath);
}

struct ArchiveReader::Impl {
    std::ifstream in;
    std::map<std::string, Poco::Zip::ZipLocalFileHeader> headers;
};

ArchiveReader::ArchiveReader(const std::string& archivePath)
    : archivePath_(archivePath), impl_(std::make_unique<Impl>()) {
    impl_->in.open(archivePath, std::ios::binary);
    if (!impl_->in) throw std::runtime_error("Could not read the archive '" + archivePath + "'.");
    try {
        const Poco::Zip::ZipArchive archive(impl_->in);
        for (auto it = archive.headerBegin(); it != archive.headerEnd(); ++it) {
            if (!it->second.isFile()) continue;
            entries_.push_back(it->first);
            impl_->headers.emplace(it->first, it->second);
        }
    } catch (const Poco::Exception& e) {
        throw std::runtime_error("'" + archivePath + "' is not a readable zip archive: " + e.displayText());
    }
}

ArchiveReader::~ArchiveReader() = default;

void ArchiveReader::extract(const std::string& entry, const std::string& target) {
    const auto header = impl_->headers.find(entry);
    if (header == impl_->headers.end()) {
        throw std::runtime_error("The archive '" + archivePath_ + "' holds no " + entry + ".");
    }
    const std::string damaged = "The entry " + entry + " of '" + archivePath_ + "' is damaged";
    try {
        impl_->in.clear();
        Poco::Zip::ZipInputStream zip(impl_->in, header->second, true);
        CreatePrivateFile(target);
        std::ofstream out(target, std::ios::binary | std::ios::trunc);
        char buffer[64 * 1024];
        while (out && zip.read(buffer, sizeof buffer).gcount() > 0) out.write(buffer, zip.gcount());
        out.close();
        if (!out) throw std::runtime_error("Could not write '" + target + "': " + std::strerror(errno) + ".");
        if (zip.bad() || !zip.crcValid() || fs::file_size(target) != header->second.getUncompressedSize()) {
            throw std::runtime_error(damaged + ".");
        }
    } catch (const Poco::Exception& e) {
        throw std::runtime_error(damaged + ": " + e.displayText());
    }
}

}  // namespace excursa
