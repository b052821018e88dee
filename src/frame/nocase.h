// Text compared without regard to letter case (ASCII letters only, as the
// stores, SQL names and tag names need): the one comparison, ordering and hash
// of the whole program.
#pragma once

#include <cstddef>
#include <string_view>

namespace excursa {

constexpr char UpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
constexpr char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

constexpr bool SameTextNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (UpperAscii(a[i]) != UpperAscii(b[i])) return false;
    }
    return true;
}

// True when text, from position `at`, begins with prefix.
constexpr bool StartsWithNoCase(std::string_view text, std::string_view prefix, std::size_t at = 0) {
    return at <= text.size() && text.size() - at >= prefix.size() &&
           SameTextNoCase(text.substr(at, prefix.size()), prefix);
}

// Position of `what` in text from `from` on, or npos.
constexpr std::size_t FindNoCase(std::string_view text, std::string_view what, std::size_t from = 0) {
    if (what.empty() || text.size() < what.size()) return std::string_view::npos;
    for (std::size_t i = from; i + what.size() <= text.size(); ++i) {
        if (StartsWithNoCase(text, what, i)) return i;
    }
    return std::string_view::npos;
}

struct NoCaseLess {
    using is_transparent = void;
    constexpr bool operator()(std::string_view a, std::string_view b) const {
        const std::size_t n = a.size() < b.size() ? a.size() : b.size();
        for (std::size_t i = 0; i < n; ++i) {
            const char x = UpperAscii(a[i]);
            const char y = UpperAscii(b[i]);
            if (x != y) return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
        }
        return a.size() < b.size();
    }
};

struct NoCaseEqual {
    using is_transparent = void;
    constexpr bool operator()(std::string_view a, std::string_view b) const { return SameTextNoCase(a, b); }
};

// FNV-1a over the upper-cased letters.
struct NoCaseHash {
    using is_transparent = void;
    constexpr std::size_t operator()(std::string_view s) const {
        std::size_t h = 14695981039346656037ULL;
        for (char c : s) {
            h ^= static_cast<unsigned char>(UpperAscii(c));
            h *= 1099511628211ULL;
        }
        return h;
    }
};

}  // namespace excursa
