// The css, script, image and font files that the web folder may serve.
#pragma once

#include "frame/file_identity.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <shared_mutex>
#include <string>
#include <string_view>
#include <unordered_map>

namespace excursa {

// The content type of a static file kind that may be served, or "" when the
// kind is not served (templates, settings files, anything unlisted).
std::string StaticContentType(std::string_view path);
// The file that a URL path names under wwwFolder, after following links, or
// "" when it is refused: it leaves the folder, or the file reached is not of
// a served kind (whatever the requested name says), or it is trip.ini.
std::string ResolveStaticPath(const std::string& wwwFolder, std::string_view decodedPath);

struct StaticFile {
    std::string contentType;
    std::shared_ptr<const std::string> content;
};

// The file a URL path names, as ResolveStaticPath allows it, or nothing. Small files are kept in
// memory after their first reading and read again when the file reached changes (another file, a
// new size or time); the file is looked at again only once the recheck time has passed.
class StaticFileCache {
public:
    explicit StaticFileCache(std::size_t maxFileBytes = 256 * 1024, std::size_t maxTotalBytes = 32 << 20,
                             std::chrono::milliseconds recheckAfter = kFileRecheckAfter)
        : maxFileBytes_(maxFileBytes), maxTotalBytes_(maxTotalBytes), recheckAfter_(recheckAfter) {}
    std::optional<StaticFile> get(const std::string& wwwFolder, std::string_view decodedPath);

private:
    struct Entry {
        FileIdentity identity;  // of the file reached, as ResolveStaticPath answered
        StaticFile answer;
        FileCheck checked;
    };
    std::size_t maxFileBytes_;
    std::size_t maxTotalBytes_;
    std::chrono::milliseconds recheckAfter_;
    std::shared_mutex mutex_;
    std::unordered_map<std::string, Entry> entries_;  // by www folder and URL path
    std::size_t totalBytes_ = 0;
};

}  // namespace excursa
