#include "frame/exchange.h"

#include "frame/value.h"

#include <cctype>

namespace excursa {

void FieldList::add(std::string name, std::string value) {
    fields_.emplace_back(std::move(name), std::move(value));
}

bool FieldList::has(std::string_view name) const {
    for (const auto& [key, value] : fields_) {
        if (SameTextNoCase(key, name)) return true;
    }
    return false;
}

std::string FieldList::get(std::string_view name) const {
    std::string joined;
    bool found = false;
    for (const auto& [key, value] : fields_) {
        if (!SameTextNoCase(key, name)) continue;
        if (found) joined += ", ";
        joined += value;
        found = true;
    }
    return joined;
}

bool FieldList::holdsNul() const {
    for (const auto& [key, value] : fields_) {
        if (key.find('\0') != std::string::npos || value.find('\0') != std::string::npos) return true;
    }
    return false;
}

namespace {

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool DecodeComponent(std::string_view text, std::string& out) {
    out.clear();
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '+') {
            out += ' ';
        } else if (c == '%') {
            if (i + 2 >= text.size()) return false;
            const int hi = HexDigit(text[i + 1]);
            const int lo = HexDigit(text[i + 2]);
            if (hi < 0 || lo < 0) return false;
            out += static_cast<char>(hi * 16 + lo);
            i += 2;
        } else {
            out += c;
        }
    }
    return true;
}

}  // namespace

bool ParseUrlEncoded(std::string_view text, FieldList& out) {
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('&', start);
        if (end == std::string_view::npos) end = text.size();
        const std::string_view pair = text.substr(start, end - start);
        if (!pair.empty()) {
            const std::size_t eq = pair.find('=');
            std::string name;
            std::string value;
            if (!DecodeComponent(pair.substr(0, eq), name)) return false;
            if (eq != std::string_view::npos && !DecodeComponent(pair.substr(eq + 1), value)) return false;
            out.add(std::move(name), std::move(value));
        }
        start = end + 1;
    }
    return true;
}

std::string PercentDecodeLenient(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const int hi = text[i] == '%' && i + 2 < text.size() ? HexDigit(text[i + 1]) : -1;
        const int lo = hi < 0 ? -1 : HexDigit(text[i + 2]);
        if (lo < 0) {
            out += text[i];
            continue;
        }
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
    }
    return out;
}

std::string UrlEncode(std::string_view text) {
    static const char* kHex = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (std::isalnum(c) || c == '-' || c == '_' || c == '.' || c == '~') {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

}  // namespace excursa
