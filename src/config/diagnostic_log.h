// The diagnostic text log: one line per entry, appended to a fixed file.
#pragma once

#include <string_view>

namespace excursa {

inline constexpr std::string_view kLogFile = "c:\\VEL\\ExcursaLakemont\\log.txt";

// Appends one line (creating the file and its folder when missing); false on a failure,
// which goes to the operator-message facility and never to strErrorText.
bool AppendToTextFile(std::string_view filePath, std::string_view text);
void WriteLog(std::string_view text);  // one line to the diagnostic log

}  // namespace excursa
