#include "frame/template.h"

#include "frame/file_identity.h"
#include "frame/nocase.h"

#include <cctype>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace excursa {

namespace {

bool IsTagNameChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '@' || c == '_' || c == '.' || c == '-';
}

// At `open` stands "<WC@". Fills the tag and returns the position after its
// closing marker, or npos when this is not a complete tag.
std::size_t ReadTag(std::string_view html, std::size_t open, TemplatePiece& tag) {
    std::size_t nameEnd = open + 1;
    while (nameEnd < html.size() && IsTagNameChar(html[nameEnd])) ++nameEnd;
    if (nameEnd >= html.size() || html[nameEnd] != '>') return std::string_view::npos;
    const std::string_view name = html.substr(open + 1, nameEnd - open - 1);
    const std::string closing = "</" + std::string(name) + ">";
    const std::size_t close = FindNoCase(html, closing, nameEnd + 1);
    if (close == std::string_view::npos) return std::string_view::npos;
    tag.isTag = true;
    tag.tagName = std::string(name);
    tag.text = std::string(html.substr(nameEnd + 1, close - nameEnd - 1));
    return close + closing.size();
}

void AppendLiteral(ParsedTemplate& parsed, std::string_view text) {
    if (text.empty()) return;
    if (!parsed.pieces.empty() && !parsed.pieces.back().isTag) {
        parsed.pieces.back().text.append(text);
        return;
    }
    parsed.pieces.push_back(TemplatePiece{false, std::string(text), {}});
}

}  // namespace

ParsedTemplate ParseTemplate(std::string_view html) {
    ParsedTemplate parsed;
    std::size_t literalStart = 0;
    std::size_t search = 0;
    while (true) {
        const std::size_t open = FindNoCase(html, "<WC@", search);
        if (open == std::string_view::npos) break;
        TemplatePiece tag;
        const std::size_t after = ReadTag(html, open, tag);
        if (after == std::string_view::npos) {
            search = open + 1;
            continue;
        }
        AppendLiteral(parsed, html.substr(literalStart, open - literalStart));
        parsed.pieces.push_back(std::move(tag));
        literalStart = search = after;
    }
    AppendLiteral(parsed, html.substr(literalStart));
    return parsed;
}

std::shared_ptr<const ParsedTemplate> TemplateCache::get(const std::filesystem::path& file) {
    // A look at the file at most once a recheck time: another file, or a change of its time or
    // size, parses it again.
    const std::string key = file.string();
    const auto now = FileCheck::Clock::now();
    {
        std::lock_guard lock(mutex_);
        auto it = entries_.find(key);
        if (it != entries_.end() && it->second.checked.fresh(now, recheckAfter_)) return it->second.parsed;
    }
    const std::optional<FileIdentity> identity = IdentityOf(key);
    if (!identity) throw std::runtime_error("The page template " + file.string() + " could not be found.");
    {
        std::lock_guard lock(mutex_);
        auto it = entries_.find(key);
        if (it != entries_.end() && it->second.identity == *identity) {
            it->second.checked.renew(now);
            return it->second.parsed;
        }
    }
    std::ifstream in(file, std::ios::binary);
    if (!in) throw std::runtime_error("The page template " + file.string() + " could not be read.");
    std::ostringstream content;
    content << in.rdbuf();
    auto parsed = std::make_shared<const ParsedTemplate>(ParseTemplate(content.str()));
    std::lock_guard lock(mutex_);
    entries_.insert_or_assign(key, Entry{*identity, parsed, FileCheck(now)});
    return parsed;
}

}  // namespace excursa
