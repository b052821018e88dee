#include "config/ini_file.h"

#include <cstdint>
#include <fstream>
#include <iterator>

namespace excursa {

namespace {

constexpr std::string_view kWhitespace = " \t\r\n\f\v";

std::string_view TrimView(std::string_view s) {
    const auto first = s.find_first_not_of(kWhitespace);
    if (first == std::string_view::npos) return {};
    const auto last = s.find_last_not_of(kWhitespace);
    return s.substr(first, last - first + 1);
}

bool SameNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i];
        char y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
        if (x != y) return false;
    }
    return true;
}

void AppendUtf8(std::string& out, std::uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// The first `count` characters (not bytes) of UTF-8 text.
std::string_view FirstCharacters(std::string_view text, std::size_t count) {
    std::size_t seen = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool startsCharacter = (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80;
        if (!startsCharacter) continue;
        if (seen == count) return text.substr(0, i);
        ++seen;
    }
    return text;
}

std::string_view WithoutSurroundingQuotes(std::string_view value) {
    if (value.size() < 2) return value;
    const char first = value.front();
    if ((first == '"' || first == '\'') && value.back() == first) return value.substr(1, value.size() - 2);
    return value;
}

bool ReadWholeFile(const std::string& nativePath, std::string& bytes) {
    std::ifstream in(nativePath, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

// Searches decoded settings text; false when the section or the key is absent.
bool FindProfileValue(std::string_view text, std::string_view section, std::string_view key,
                      std::string_view& value) {
    bool inSection = false;
    bool sectionSeen = false;
    std::size_t pos = 0;
    while (pos <= text.size()) {
        const auto end = text.find('\n', pos);
        const std::string_view line =
            TrimView(text.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos));
        pos = end == std::string_view::npos ? text.size() + 1 : end + 1;
        if (line.empty() || line.front() == ';') continue;
        if (line.front() == '[') {
            // Only the first section of a name counts, as with the platform's reader.
            if (inSection) return false;
            const auto close = line.find(']');
            const auto nameLength = close == std::string_view::npos ? line.npos : close - 1;
            const std::string_view name = TrimView(line.substr(1, nameLength));
            inSection = !sectionSeen && SameNoCase(name, section);
            sectionSeen = sectionSeen || inSection;
            continue;
        }
        if (!inSection) continue;
        const auto equals = line.find('=');
        if (equals == std::string_view::npos) continue;
        if (!SameNoCase(TrimView(line.substr(0, equals)), key)) continue;
        value = WithoutSurroundingQuotes(TrimView(line.substr(equals + 1)));
        return true;
    }
    return false;
}

}  // namespace

std::string Utf16LeToUtf8(std::string_view bytes) {
    constexpr std::uint32_t kReplacement = 0xFFFD;
    std::string out;
    out.reserve(bytes.size() / 2);
    const std::size_t units = bytes.size() / 2;
    auto unitAt = [&](std::size_t i) {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[2 * i])) |
               static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[2 * i + 1])) << 8;
    };
    for (std::size_t i = 0; i < units; ++i) {
        const std::uint32_t unit = unitAt(i);
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units) {
            const std::uint32_t low = unitAt(i + 1);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                ++i;
                continue;
            }
        }
        const bool loneSurrogate = unit >= 0xD800 && unit <= 0xDFFF;
        AppendUtf8(out, loneSurrogate ? kReplacement : unit);
    }
    return out;
}

std::string DecodeSettingsText(std::string_view bytes) {
    if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
        static_cast<unsigned char>(bytes[1]) == 0xFE) {
        return Utf16LeToUtf8(bytes.substr(2));
    }
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") return std::string(bytes.substr(3));
    return std::string(bytes);
}

std::string ReadProfileString(std::string_view section, std::string_view key, std::string_view defaultValue,
                              const std::string& nativePath, std::size_t bufferSize) {
    if (bufferSize == 0) return {};
    const std::size_t room = bufferSize - 1;
    // The platform drops trailing blanks of the default.
    std::string_view result = defaultValue.substr(0, defaultValue.find_last_not_of(' ') + 1);

    std::string bytes;
    std::string text;
    if (ReadWholeFile(nativePath, bytes)) {
        text = DecodeSettingsText(bytes);
        std::string_view found;
        if (FindProfileValue(text, section, key, found)) result = found;
    }
    return std::string(FirstCharacters(result, room));
}

}  // namespace excursa
