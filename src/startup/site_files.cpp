#include "startup/site_files.h"

#include "config/settings.h"
#include "config/site.h"
#include "startup/site_init.h"

#include <algorithm>
#include <filesystem>

namespace excursa {

namespace fs = std::filesystem;

namespace {

std::string InSite(const std::string& entry) {
    const std::string& root = Site::root();
    return root.empty() ? entry : (fs::path(root) / entry).string();
}

SiteFile FileInSite(const std::string& entry) { return {entry, InSite(entry)}; }

}  // namespace

SiteFile DatabaseSiteFile(DatabaseFile which) {
    return FileInSite(std::string(kSiteDataFolder) + "/" + std::string(DatabaseFileName(which)));
}

SiteFile RegistrySiteFile() { return {"registry.reg", Site::registryFile()}; }

std::string SiteDataFolder() { return InSite(kSiteDataFolder); }

std::string SiteLogFile() { return InSite(std::string(kSiteLogFolder) + "/log.txt"); }

Value ReadIniPath() {
    return ReadRegistryValue(Site::registryFile(), kHKeyLocalMachine, kTripRegistryKey, "INIPath");
}

std::string SettingsFilePath(const Value& iniPath) {
    return NativePath(TripIniPath(iniPath, Site::wwwFolder()));
}

std::optional<std::string> SiteEntry(const std::string& path) {
    const fs::path root = fs::weakly_canonical(fs::absolute(Site::root().empty() ? "." : Site::root()));
    const fs::path file = fs::weakly_canonical(fs::absolute(path));
    const auto [rootEnd, fileAt] = std::mismatch(root.begin(), root.end(), file.begin(), file.end());
    if (rootEnd != root.end() || fileAt == file.end()) return std::nullopt;
    return fs::relative(file, root).generic_string();
}

}  // namespace excursa
