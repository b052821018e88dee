// The files of a site that hold its data and settings, named once for the backup,
// the restore and the check. Paths lie in the site that Site::setRoot named.
#pragma once

#include "data/schema.h"
#include "frame/value.h"

#include <optional>
#include <string>

namespace excursa {

struct SiteFile {
    std::string entry;  // relative to the site, "/" between folders: the name in a backup
    std::string path;   // where it lies
};

SiteFile DatabaseSiteFile(DatabaseFile which);
SiteFile RegistrySiteFile();
std::string SiteDataFolder();
std::string SiteLogFile();

// registry.reg's "INIPath", read without writing the diagnostic log. Throws VbError when
// registry.reg cannot be read or parsed; Empty when the file, key or value is missing.
Value ReadIniPath();
// Where trip.ini lies for an "INIPath" value, as the start event finds it.
std::string SettingsFilePath(const Value& iniPath);

// The entry of a path inside the site; nullopt for a path outside it.
std::optional<std::string> SiteEntry(const std::string& path);

}  // namespace excursa
