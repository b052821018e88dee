#include "frame/static_files.h"

#include "frame/file_identity.h"
#include "frame/value.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <utility>

namespace excursa {

namespace fs = std::filesystem;

std::string StaticContentType(std::string_view path) {
    static const std::pair<std::string_view, std::string_view> kTypes[] = {
        {".css", "text/css; charset=utf-8"},
        {".js", "text/javascript; charset=utf-8"},
        {".gif", "image/gif"},
        {".png", "image/png"},
        {".jpg", "image/jpeg"},
        {".jpeg", "image/jpeg"},
        {".svg", "image/svg+xml"},
        {".ico", "image/x-icon"},
        {".webp", "image/webp"},
        {".bmp", "image/bmp"},
        {".woff", "font/woff"},
        {".woff2", "font/woff2"},
        {".ttf", "font/ttf"},
        {".otf", "font/otf"},
    };
    const std::size_t dot = path.rfind('.');
    if (dot == std::string_view::npos) return "";
    const std::string_view extension = path.substr(dot);
    for (const auto& [ext, type] : kTypes) {
        if (SameTextNoCase(ext, extension)) return std::string(type);
    }
    return "";
}

namespace {

bool Inside(const fs::path& root, const fs::path& file) {
    const auto [rootEnd, ignored] = std::mismatch(root.begin(), root.end(), file.begin(), file.end());
    return rootEnd == root.end();
}

// The settings file holds the mail password; it must never be served, even
// should its kind ever be listed.
bool IsSettingsFile(const fs::path& file) { return SameTextNoCase(file.filename().string(), "trip.ini"); }

}  // namespace

std::string ResolveStaticPath(const std::string& wwwFolder, std::string_view decodedPath) {
    if (decodedPath.find('\0') != std::string_view::npos ||
        decodedPath.find('\\') != std::string_view::npos) {
        return "";
    }
    const fs::path relative = fs::path(std::string(decodedPath)).relative_path();
    for (const fs::path& part : relative) {
        if (part == ".." || part == ".") return "";
    }
    if (StaticContentType(decodedPath).empty()) return "";
    std::error_code ec;
    const fs::path root = fs::canonical(wwwFolder, ec);
    if (ec) return "";
    // The checks hold for the file that will be sent, not for the name asked:
    // a link named like a picture may lead anywhere.
    const fs::path file = fs::canonical(root / relative, ec);
    if (ec || !Inside(root, file)) return "";
    if (StaticContentType(file.string()).empty() || IsSettingsFile(file)) return "";
    if (!fs::is_regular_file(file, ec)) return "";
    return file.string();
}

namespace {

std::optional<std::string> ReadWhole(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream content;
    content << in.rdbuf();
    return std::move(content).str();
}

}  // namespace

std::optional<StaticFile> StaticFileCache::get(const std::string& wwwFolder, std::string_view decodedPath) {
    const std::string key = wwwFolder + '\0' + std::string(decodedPath);
    const std::string requested = wwwFolder + "/" + std::string(decodedPath);
    const auto now = FileCheck::Clock::now();
    {
        std::shared_lock lock(mutex_);
        const auto it = entries_.find(key);
        if (it != entries_.end()) {
            Entry& e = it->second;
            if (e.checked.fresh(now, recheckAfter_)) return e.answer;
            const std::optional<FileIdentity> identity = IdentityOf(requested);
            if (identity && *identity == e.identity) {
                e.checked.renew(now);
                return e.answer;
            }
        }
    }
    // First asked, or changed: the checks run again on the file that will be sent.
    const std::string file = ResolveStaticPath(wwwFolder, decodedPath);
    if (file.empty()) return std::nullopt;
    const std::optional<FileIdentity> identity = IdentityOf(file);
    std::optional<std::string> content = ReadWhole(file);
    if (!identity || !content) return std::nullopt;
    StaticFile answer{StaticContentType(file), std::make_shared<const std::string>(std::move(*content))};
    if (answer.content->size() > maxFileBytes_ || answer.content->size() != identity->size) return answer;
    std::unique_lock lock(mutex_);
    if (const auto old = entries_.find(key); old != entries_.end()) {
        totalBytes_ -= old->second.answer.content->size();
        entries_.erase(old);
    }
    if (totalBytes_ + answer.content->size() > maxTotalBytes_) return answer;
    totalBytes_ += answer.content->size();
    entries_.insert_or_assign(key, Entry{*identity, answer, FileCheck(now)});
    return answer;
}

}  // namespace excursa
