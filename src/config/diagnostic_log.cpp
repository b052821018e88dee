#include "config/diagnostic_log.h"

#include "config/site.h"
#include "frame/value.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include <fcntl.h>
#include <unistd.h>

namespace excursa {

namespace {

// The language's own numbers and texts for file failures.
VbError FileError(int error, const std::string& path) {
    long number = 75;
    std::string description = "Path/File access error";
    switch (error) {
        case EACCES:
        case EPERM:
        case EROFS:
            number = 70;
            description = "Permission denied";
            break;
        case ENOENT:
        case ENOTDIR:
            number = 76;
            description = "Path not found";
            break;
        case ENOSPC:
        case EDQUOT:
            number = 61;
            description = "Disk full";
            break;
        case EIO:
            number = 57;
            description = "Device I/O error";
            break;
        default:
            break;
    }
    return VbError(number, description + " (" + path + ": " + std::strerror(error) + ")");
}

void CreateFolderOf(const std::string& filePath) {
    const std::filesystem::path folder = std::filesystem::path(filePath).parent_path();
    if (folder.empty()) return;
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) throw FileError(ec.value(), folder.string());
}

// One write call per line: with O_APPEND the kernel places it whole at the end,
// so lines of concurrent writers (threads or processes) never interleave.
void AppendLine(const std::string& filePath, std::string_view text) {
    const int fd = ::open(filePath.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0640);
    if (fd < 0) throw FileError(errno, filePath);
    std::string line(text);
    line += '\n';
    std::string_view rest = line;
    while (!rest.empty()) {
        const ssize_t written = ::write(fd, rest.data(), rest.size());
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            const int error = written < 0 ? errno : EIO;
            ::close(fd);
            throw FileError(error, filePath);
        }
        rest.remove_prefix(static_cast<std::size_t>(written));
    }
    if (::close(fd) != 0 && errno != EINTR) throw FileError(errno, filePath);
}

}  // namespace

bool AppendToTextFile(std::string_view filePath, std::string_view text) {
    const std::string path(filePath);
    try {
        CreateFolderOf(path);
        AppendLine(path, text);
        return true;
    } catch (const VbError& e) {
        OperatorMessage("AppendToTextFile", "Error: " + std::to_string(e.number()) + ". " + e.description());
        return false;
    }
}

void WriteLog(std::string_view text) { AppendToTextFile(NativePath(kLogFile), text); }

}  // namespace excursa
