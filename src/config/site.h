// Where a deployment keeps its files. One folder, the site, holds the registry
// values, the web application folder and the drives that Windows paths name.
#pragma once

#include <string>
#include <string_view>

namespace excursa {

class Site {
public:
    // Set once before serving (and by tests); read by every worker afterwards.
    static void setRoot(const std::string& root);
    static const std::string& root();   // "" until set: paths are then relative to the current folder
    static std::string registryFile();  // <root>/registry.reg
    static std::string wwwFolder();     // <root>/www/ (with the trailing slash)
};

// "C:\VEL\Data\" -> <root>/drives/c/VEL/Data/ ; any other path is native and kept.
// As on Windows, an existing folder or file whose name differs only in letter case is taken.
std::string NativePath(std::string_view path);

// The operator-message facility: the system log plus standard error.
void OperatorMessage(std::string_view caption, std::string_view text);

}  // namespace excursa
