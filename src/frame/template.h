// HTML templates with WC@ tags: parsed once, reparsed when the file changes (seen within the
// recheck time).
#pragma once

#include "frame/file_identity.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace excursa {

// A template is literal text and tags, in order. A tag is <WC@NAME>contents</WC@NAME>
// with the name compared without regard to letter case.
struct TemplatePiece {
    bool isTag = false;
    std::string text;     // literal text, or the tag's contents
    std::string tagName;  // as written, e.g. "WC@ADDR1"
};

struct ParsedTemplate {
    std::vector<TemplatePiece> pieces;
};

ParsedTemplate ParseTemplate(std::string_view html);

class TemplateCache {
public:
    explicit TemplateCache(std::chrono::milliseconds recheckAfter = kFileRecheckAfter)
        : recheckAfter_(recheckAfter) {}
    // Error (std::runtime_error naming the file) when the file is missing or unreadable.
    std::shared_ptr<const ParsedTemplate> get(const std::filesystem::path& file);

private:
    struct Entry {
        FileIdentity identity;
        std::shared_ptr<const ParsedTemplate> parsed;
        FileCheck checked;
    };
    const std::chrono::milliseconds recheckAfter_;
    std::mutex mutex_;
    std::unordered_map<std::string, Entry> entries_;
};

}  // namespace excursa
