// The registry of this deployment: the site's registry.reg, in the text format the
// Windows registry editor exports and imports.
#include "config/ini_file.h"
#include "config/settings.h"
#include "config/site.h"

#include <cerrno>
#include <cstring>
#include <optional>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace excursa {

namespace {

// The Windows error for a registry that cannot be parsed, and a file that cannot be read.
constexpr long kErrRegistryCorrupt = 1009;
constexpr long kErrFileAccess = 75;

constexpr std::string_view kBlanks = " \t\r\n";

std::string_view TrimView(std::string_view s) {
    const auto first = s.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) return {};
    return s.substr(first, s.find_last_not_of(kBlanks) - first + 1);
}

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool SameNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Upper(a[i]) != Upper(b[i])) return false;
    }
    return true;
}

bool StartsNoCase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && SameNoCase(s.substr(0, prefix.size()), prefix);
}

std::string NormalKey(std::string_view key) {
    key = TrimView(key);
    while (!key.empty() && key.back() == '\\') key.remove_suffix(1);
    return std::string(key);
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = Upper(c);
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

enum class ReadOutcome { Read, Missing, Failed };

ReadOutcome ReadFileBytes(const std::string& path, std::string& bytes, int& error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = errno;
        return error == ENOENT || error == ENOTDIR ? ReadOutcome::Missing : ReadOutcome::Failed;
    }
    char buffer[8192];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got == 0) break;
        if (got < 0) {
            if (errno == EINTR) continue;
            error = errno;
            ::close(fd);
            return ReadOutcome::Failed;
        }
        bytes.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(fd);
    return ReadOutcome::Read;
}

// One pass over the whole file, so that a damaged file is reported even when the
// value asked for lies before the damage.
class RegFileReader {
public:
    RegFileReader(std::string_view text, std::string fileName) : fileName_(std::move(fileName)) {
        std::size_t pos = 0;
        while (pos <= text.size()) {
            const auto end = text.find('\n', pos);
            lines_.push_back(
                text.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos));
            pos = end == std::string_view::npos ? text.size() + 1 : end + 1;
        }
    }

    // The last definition of the value in the key; nullopt when the key or value is absent.
    std::optional<Value> find(std::string_view fullKey, std::string_view valueName) {
        wantedKey_ = NormalKey(fullKey);
        wantedValue_ = valueName;
        found_.reset();
        index_ = 0;
        readHeader();
        for (; index_ < lines_.size(); ++index_) readLine(TrimView(lines_[index_]));
        return found_;
    }

private:
    [[noreturn]] void fail(std::string_view reason) const {
        throw VbError(kErrRegistryCorrupt, "The configuration registry database is corrupt: " + fileName_ +
                                               ", line " + std::to_string(index_ + 1) + ": " +
                                               std::string(reason));
    }

    void readHeader() {
        while (index_ < lines_.size() && TrimView(lines_[index_]).empty()) ++index_;
        const std::string_view header =
            index_ < lines_.size() ? TrimView(lines_[index_]) : std::string_view();
        if (header != "REGEDIT4" && header != "Windows Registry Editor Version 5.00") {
            fail("the first line must be \"REGEDIT4\" or \"Windows Registry Editor Version 5.00\"");
        }
        ++index_;
    }

    void readLine(std::string_view line) {
        if (line.empty() || line.front() == ';') return;
        if (line.front() == '[') return readKey(line);
        if (line.front() == '"' || line.front() == '@') return readValue(line);
        fail("neither a key, a value nor a comment");
    }

    void readKey(std::string_view line) {
        if (line.back() != ']') fail("a key line must end in \"]\"");
        std::string_view key = line.substr(1, line.size() - 2);
        const bool deletion = !key.empty() && key.front() == '-';
        if (deletion) key.remove_prefix(1);
        const std::string name = NormalKey(key);
        if (!StartsNoCase(name, "HKEY_")) fail("a key must begin with its hive (HKEY_...)");
        keySeen_ = true;
        inWantedKey_ = !deletion && SameNoCase(name, wantedKey_);
        const bool deletesWanted = SameNoCase(name, wantedKey_) || StartsNoCase(wantedKey_, name + "\\");
        if (deletion && deletesWanted) found_.reset();
    }

    void readValue(std::string_view line) {
        if (!keySeen_) fail("a value must follow a key");
        std::string name;
        std::size_t pos = 0;
        if (line.front() == '@') {
            pos = 1;
        } else {
            name = readQuoted(line, pos);
        }
        pos = skipBlanks(line, pos);
        if (pos >= line.size() || line[pos] != '=') fail("\"=\" expected after the value name");
        pos = skipBlanks(line, pos + 1);
        std::optional<Value> value = readData(line.substr(pos));
        if (inWantedKey_ && SameNoCase(name, wantedValue_)) found_ = std::move(value);
    }

    static std::size_t skipBlanks(std::string_view line, std::size_t pos) {
        while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
        return pos;
    }

    // A quoted text from line[pos] ('"'); pos ends after the closing quote. Only \\ and
    // \" are escapes; any other backslash is kept, as administrators write paths.
    std::string readQuoted(std::string_view line, std::size_t& pos) const {
        std::string text;
        for (std::size_t i = pos + 1; i < line.size(); ++i) {
            const char c = line[i];
            if (c == '"') {
                pos = i + 1;
                return text;
            }
            if (c == '\\' && i + 1 < line.size() && (line[i + 1] == '\\' || line[i + 1] == '"')) ++i;
            text += line[i];
        }
        fail("a quoted text is not closed");
    }

    std::optional<Value> readData(std::string_view data) {
        if (data == "-") return std::nullopt;  // the value is deleted
        if (!data.empty() && data.front() == '"') return readText(data);
        if (StartsNoCase(data, "dword:")) return readDword(TrimView(data.substr(6)));
        if (StartsNoCase(data, "hex")) return readHex(data);
        fail("unknown value type");
    }

    Value readText(std::string_view data) const {
        std::size_t pos = 0;
        std::string text = readQuoted(data, pos);
        if (!TrimView(data.substr(pos)).empty()) fail("text after the closing quote");
        // The platform cuts a text value before its first NUL.
        return Value(text.substr(0, text.find('\0')));
    }

    Value readDword(std::string_view digits) const {
        if (digits.empty() || digits.size() > 8) fail("a dword needs one to eight hexadecimal digits");
        std::uint32_t number = 0;
        for (char c : digits) {
            const int digit = HexDigit(c);
            if (digit < 0) fail("a dword needs one to eight hexadecimal digits");
            number = number << 4 | static_cast<std::uint32_t>(digit);
        }
        return Value::Long(static_cast<std::int32_t>(number));
    }

    // "hex:" and "hex(3):" are binary, "hex(1):" a text in UTF-16LE, "hex(4):" a double word of four
    // bytes, lowest first; "hex(n):" of any other type gives Empty.
    Value readHex(std::string_view data) {
        const auto colon = data.find(':');
        if (colon == std::string_view::npos) fail("\":\" expected after the value type");
        const std::string_view type = TrimView(data.substr(0, colon));
        const bool binary = SameNoCase(type, "hex") || SameNoCase(type, "hex(3)");
        if (!binary && !(type.size() > 5 && type.substr(3, 1) == "(" && type.back() == ')')) {
            fail("unknown value type");
        }
        const std::vector<std::uint8_t> bytes = readByteList(TrimView(data.substr(colon + 1)));
        if (binary) return Value::Bytes(bytes);
        if (SameNoCase(type, "hex(1)")) return TextOfUtf16Le(bytes);
        if (SameNoCase(type, "hex(4)")) return DoubleWordOf(bytes);
        return Value();
    }

    static Value TextOfUtf16Le(const std::vector<std::uint8_t>& bytes) {
        const std::string text =
            Utf16LeToUtf8(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
        return Value(text.substr(0, text.find('\0')));  // the platform cuts a text value before its first NUL
    }

    Value DoubleWordOf(const std::vector<std::uint8_t>& bytes) const {
        if (bytes.size() != 4) fail("a double word needs four bytes");
        const std::uint32_t number =
            bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
        return Value::Long(static_cast<std::int32_t>(number));
    }

    std::vector<std::uint8_t> readByteList(std::string_view first) {
        std::string list(first);
        while (!list.empty() && list.back() == '\\') {
            list.pop_back();
            if (++index_ >= lines_.size()) fail("the file ends inside a continued value");
            list += TrimView(lines_[index_]);
        }
        std::vector<std::uint8_t> bytes;
        if (TrimView(list).empty()) return bytes;
        std::size_t pos = 0;
        while (pos <= list.size()) {
            const auto comma = list.find(',', pos);
            const std::string_view item = TrimView(std::string_view(list).substr(
                pos, comma == std::string::npos ? std::string::npos : comma - pos));
            pos = comma == std::string::npos ? list.size() + 1 : comma + 1;
            if (item.empty() && pos > list.size()) break;  // a trailing comma
            const int high = item.size() == 2 ? HexDigit(item[0]) : 0;
            const int low = item.empty() ? -1 : HexDigit(item.back());
            if (item.size() > 2 || high < 0 || low < 0) {
                fail("bytes must be hexadecimal pairs separated by commas");
            }
            bytes.push_back(static_cast<std::uint8_t>(high * 16 + low));
        }
        return bytes;
    }

    std::string fileName_;
    std::vector<std::string_view> lines_;
    std::size_t index_ = 0;
    std::string wantedKey_;
    std::string wantedValue_;
    bool keySeen_ = false;
    bool inWantedKey_ = false;
    std::optional<Value> found_;
};

}  // namespace

Value ReadRegistryValue(const std::string& file, std::string_view hive, std::string_view keyPath,
                        std::string_view valueName) {
    std::string bytes;
    int error = 0;
    switch (ReadFileBytes(file, bytes, error)) {
        case ReadOutcome::Missing:
            return Value();  // no registry: no key to open
        case ReadOutcome::Failed:
            throw VbError(kErrFileAccess, "Path/File access error: " + file + ": " + std::strerror(error));
        case ReadOutcome::Read:
            break;
    }
    const std::string text = DecodeSettingsText(bytes);
    RegFileReader reader(text, file);
    const std::string fullKey = std::string(hive) + "\\" + std::string(keyPath);
    return reader.find(fullKey, valueName).value_or(Value());
}

Value RegistryGetKeyValue(std::string_view hive, std::string_view keyPath, std::string_view valueName) {
    try {
        return ReadRegistryValue(Site::registryFile(), hive, keyPath, valueName);
    } catch (const VbError& e) {
        OperatorMessage("RegistryGetKeyValue",
                        "Error: " + std::to_string(e.number()) + ". " + e.description());
        return Value();
    }
}

}  // namespace excursa
