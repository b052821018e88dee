// `excursa backup` and `excursa restore`: the three database files, registry.reg and
// trip.ini of the site that Site::setRoot named, in one archive and back.
#pragma once

#include <string>
#include <vector>

namespace excursa {

// Copies each database in one step while the server may go on writing, checks each copy,
// and writes the archive. Answers the lines to show: what was copied, with the rows of
// each table. Throws std::runtime_error; no archive is written then.
std::vector<std::string> BackupSite(const std::string& archivePath);

struct RestoreOptions {
    std::string archivePath;
    bool force = false;  // also replace database files that hold rows
};

// Puts an archive's files back. Refuses while a server serves the site, and, without
// force, when a database file it would replace holds rows. Every file it replaces is
// kept beside it as "<name>.before-restore-<yyyymmdd-hhmmss>". Answers the lines to
// show. Throws std::runtime_error; nothing is replaced then.
std::vector<std::string> RestoreSite(const RestoreOptions& options);

}  // namespace excursa
