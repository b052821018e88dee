// The profile-string read of the platform the settings files come from, and the
// text decoding those files need (the Windows editors write UTF-16 or UTF-8 with a mark).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace excursa {

// File bytes as UTF-8: a UTF-8 byte-order mark is dropped, UTF-16LE (with its mark)
// is converted. Other bytes are taken as they are.
std::string DecodeSettingsText(std::string_view bytes);

// UTF-16LE bytes as UTF-8; a lone surrogate becomes U+FFFD and an odd last byte is dropped.
std::string Utf16LeToUtf8(std::string_view bytes);

// The value of key in section of the file at nativePath, names compared without
// regard to case; the value trimmed and one pair of matching surrounding quotes
// removed. A missing file, section or key gives defaultValue. At most
// bufferSize - 1 characters are returned, as the platform's read into a buffer of
// bufferSize characters (terminator included) would copy.
std::string ReadProfileString(std::string_view section, std::string_view key, std::string_view defaultValue,
                              const std::string& nativePath, std::size_t bufferSize = 256);

}  // namespace excursa
