#include "startup/site_backup.h"

#include "config/site.h"
#include "data/maintenance.h"
#include "startup/site_archive.h"
#include "startup/site_files.h"
#include "startup/site_lock.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <numeric>
#include <optional>
#include <stdexcept>

#include <sys/stat.h>
#include <unistd.h>

namespace excursa {

namespace fs = std::filesystem;

namespace {

// ---------------------------------------------------------------- shown lines

std::string Plural(std::int64_t count, const std::string& word) {
    return std::to_string(count) + " " + word + (count == 1 ? "" : "s");
}

std::int64_t TotalRows(const std::vector<TableRows>& tables) {
    return std::accumulate(tables.begin(), tables.end(), std::int64_t{0},
                           [](std::int64_t sum, const TableRows& t) { return sum + t.rows; });
}

// "<verb> <entry>: 22 tables, 310 rows, integrity ok", then one line per table.
void AddDatabaseLines(std::vector<std::string>& lines, const std::string& verb, const std::string& entry,
                      const std::vector<TableRows>& tables) {
    lines.push_back(verb + " " + entry + ": " + Plural(static_cast<std::int64_t>(tables.size()), "table") +
                    ", " + Plural(TotalRows(tables), "row") + ", integrity ok");
    std::size_t width = 0;
    for (const TableRows& t : tables) width = std::max(width, t.table.size());
    for (const TableRows& t : tables) {
        const std::string count = std::to_string(t.rows);
        const std::size_t gap = width - t.table.size() + 2 + (count.size() < 8 ? 8 - count.size() : 0);
        lines.push_back("    " + t.table + std::string(gap, ' ') + count);
    }
}

// ---------------------------------------------------------------- backup

// A private folder beside the archive for the copies, removed with the object.
class StagingFolder {
public:
    explicit StagingFolder(const fs::path& beside) {
        std::string pattern = (beside / ".excursa-backup-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) {
            throw std::runtime_error("Could not make a working folder in '" + beside.string() +
                                     "': " + std::strerror(errno) + ".");
        }
        path_ = pattern;
    }
    ~StagingFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    StagingFolder(const StagingFolder&) = delete;
    StagingFolder& operator=(const StagingFolder&) = delete;

    fs::path operator/(std::string_view name) const { return path_ / name; }

private:
    fs::path path_;
};

ArchiveMember CopyCheckedDatabase(DatabaseFile which, const StagingFolder& staging,
                                  std::vector<std::string>& lines) {
    const SiteFile database = DatabaseSiteFile(which);
    if (!fs::exists(database.path)) {
        throw std::runtime_error("The database file '" + database.path +
                                 "' does not exist; no archive was written. Run excursa check for advice.");
    }
    const std::string copy = (staging / DatabaseFileName(which)).string();
    CopyDatabase(database.path, copy);
    const std::vector<std::string> problems = IntegrityProblems(copy);
    if (!problems.empty()) {
        throw std::runtime_error(
            "The copy of " + database.entry + " fails its integrity check (" + problems.front() +
            "), so the file in the site is damaged; no archive was written. Run excursa check "
            "for advice.");
    }
    AddDatabaseLines(lines, "copied", database.entry, CountRows(copy));
    return {database.entry, copy};
}

// A settings file goes in as it is; one that is missing is told, not fatal: the data matters most.
void AddSettingsFile(std::vector<ArchiveMember>& members, std::vector<std::string>& lines,
                     const std::string& path, const std::string& what) {
    if (!fs::is_regular_file(path)) {
        lines.push_back("not copied " + what + ": there is no file '" + path + "'");
        return;
    }
    const std::optional<std::string> entry = SiteEntry(path);
    if (!entry) {
        lines.push_back("not copied " + what + ": '" + path +
                        "' lies outside the site; keep a copy of it yourself");
        return;
    }
    members.push_back({*entry, path});
    lines.push_back("copied " + *entry);
}

void AddSettingsFiles(std::vector<ArchiveMember>& members, std::vector<std::string>& lines) {
    AddSettingsFile(members, lines, RegistrySiteFile().path, "registry.reg");
    try {
        AddSettingsFile(members, lines, SettingsFilePath(ReadIniPath()), "trip.ini");
    } catch (const VbError& e) {
        lines.push_back("not copied trip.ini: registry.reg, which locates it, cannot be read: " +
                        e.description());
    }
}

// ---------------------------------------------------------------- restore

std::string TimeStamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
    return text;
}

bool IsDatabaseEntry(const std::string& entry) {
    return std::any_of(kDatabaseFiles.begin(), kDatabaseFiles.end(),
                       [&](DatabaseFile which) { return DatabaseSiteFile(which).entry == entry; });
}

// registry.reg and any trip.ini below the site; nothing that could leave the site.
bool IsSettingsEntry(const std::string& entry) {
    const fs::path path(entry);
    if (entry.empty() || path.is_absolute() || entry.find('\\') != std::string::npos) return false;
    for (const fs::path& part : path) {
        if (part == ".." || part == "." || part.empty()) return false;
    }
    return entry == RegistrySiteFile().entry || path.filename() == "trip.ini";
}

std::string InSite(const std::string& entry) {
    return Site::root().empty() ? entry : (fs::path(Site::root()) / entry).string();
}

std::string ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct Placement {
    std::string entry;
    std::string target;
    std::string staged;
    bool database = false;
    std::vector<TableRows> tables;
};

// Why a database file that is there may not be replaced without --force; nullopt when it holds nothing.
std::optional<std::string> HoldsData(const std::string& path) {
    if (!fs::exists(path)) return std::nullopt;
    try {
        const std::int64_t rows = TotalRows(CountRows(path));
        if (rows == 0) return std::nullopt;
        return Plural(rows, "row");
    } catch (const DatabaseFileError& e) {
        return std::string("cannot tell what it holds: ") + e.what();
    }
}

constexpr mode_t kNewFileMode = 0640;

std::optional<struct stat> StatOf(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return std::nullopt;
    return info;
}

// A restore run by root must not leave files or folders that the service cannot write.
void TakeOwnerAndMode(const std::string& path, const struct stat& from, mode_t mode) {
    ::chmod(path.c_str(), mode);
    if (::geteuid() != 0) return;
    [[maybe_unused]] const int ignored = ::chown(path.c_str(), from.st_uid, from.st_gid);
}

void TakeOwnerAndMode(const std::string& path, const struct stat& from) {
    TakeOwnerAndMode(path, from, from.st_mode & 07777);
}

// Makes the missing folders of path, owned like the nearest folder that exists.
void MakeFolders(const fs::path& folder) {
    if (folder.empty() || fs::exists(folder)) return;
    MakeFolders(folder.parent_path());
    fs::create_directory(folder);
    if (const auto parent = StatOf(folder.parent_path().string())) TakeOwnerAndMode(folder.string(), *parent);
}

class Restore {
public:
    explicit Restore(const RestoreOptions& options) : options_(options), archive_(options.archivePath) {}
    ~Restore() {
        std::error_code ignored;
        for (const Placement& p : placements_) {
            if (!p.staged.empty()) fs::remove(p.staged, ignored);
        }
    }

    std::vector<std::string> run() {
        plan();
        const auto lock = SiteLock::TryTake(SiteLock::Mode::Alone);
        if (!lock) {
            throw std::runtime_error(
                "A server is serving " + SiteName() + " (it holds " + SiteLockFile() +
                "). Stop it first, for example with systemctl stop excursa, then restore.");
        }
        if (!lock->held()) {
            throw std::runtime_error("Could not make the lock file " + SiteLockFile() +
                                     ": restore needs to write into the site folder.");
        }
        stage();
        refuseToOverwriteData();
        for (Placement& p : placements_) place(p);
        return lines_;
    }

private:
    static std::string SiteName() { return Site::root().empty() ? std::string("this site") : Site::root(); }

    void plan() {
        for (DatabaseFile which : kDatabaseFiles) {
            const SiteFile file = DatabaseSiteFile(which);
            if (std::find(archive_.entries().begin(), archive_.entries().end(), file.entry) ==
                archive_.entries().end()) {
                throw std::runtime_error("'" + options_.archivePath +
                                         "' is not a backup of a site: it holds no " + file.entry + ".");
            }
            placements_.push_back({file.entry, file.path, "", true, {}});
        }
        for (const std::string& entry : archive_.entries()) {
            if (IsDatabaseEntry(entry)) continue;
            if (IsSettingsEntry(entry)) {
                placements_.push_back({entry, InSite(entry), "", false, {}});
            } else {
                lines_.push_back("skipped " + entry + ": not a file of a site");
            }
        }
    }

    // Each file is unpacked beside the one it replaces, so that putting it in place is a rename.
    void stage() {
        const std::string suffix = ".restoring-" + stamp_;
        for (Placement& p : placements_) {
            MakeFolders(fs::path(p.target).parent_path());
            p.staged = p.target + suffix;
            archive_.extract(p.entry, p.staged);
            FlushToDisk(p.staged);
            if (!p.database) continue;
            const std::vector<std::string> problems = IntegrityProblems(p.staged);
            if (!problems.empty()) {
                throw std::runtime_error("The archive's " + p.entry + " fails its integrity check (" +
                                         problems.front() + "); nothing was restored.");
            }
            p.tables = CountRows(p.staged);
        }
    }

    void refuseToOverwriteData() const {
        if (options_.force) return;
        std::string refused;
        for (const Placement& p : placements_) {
            if (!p.database) continue;
            if (const auto holds = HoldsData(p.target)) refused += "\n  " + p.entry + " (" + *holds + ")";
        }
        if (refused.empty()) return;
        throw std::runtime_error(
            "These database files hold data, and restore replaces them only when --force is "
            "given; the files replaced are then kept beside them:" +
            refused + "\nNothing was restored.");
    }

    std::string keptName(const std::string& target) const {
        std::string kept = target + ".before-restore-" + stamp_;
        for (int n = 2; fs::exists(fs::symlink_status(kept)); ++n) {
            kept = target + ".before-restore-" + stamp_ + "-" + std::to_string(n);
        }
        return kept;
    }

    void place(Placement& p) {
        const std::optional<struct stat> former = StatOf(p.target);
        if (!p.database && former && ReadWhole(p.target) == ReadWhole(p.staged)) {
            lines_.push_back("unchanged " + p.entry);
            return;
        }
        if (former) {
            TakeOwnerAndMode(p.staged, *former);
        } else if (const auto folder = StatOf(fs::path(p.target).parent_path().string())) {
            TakeOwnerAndMode(p.staged, *folder, kNewFileMode);
        }
        std::string kept;
        if (former) {
            kept = keptName(p.target);
            fs::rename(p.target, kept);
            // A stale log or index beside the new file would be read as part of it.
            for (const char* side : {"-wal", "-shm", "-journal"}) {
                if (fs::exists(fs::symlink_status(p.target + side))) fs::rename(p.target + side, kept + side);
            }
        }
        fs::rename(p.staged, p.target);
        p.staged.clear();
        if (p.database) {
            AddDatabaseLines(lines_, "restored", p.entry, p.tables);
        } else {
            lines_.push_back("restored " + p.entry);
        }
        if (former) lines_.push_back("    the former file is kept as " + fs::path(kept).filename().string());
    }

    const RestoreOptions& options_;
    ArchiveReader archive_;
    std::string stamp_ = TimeStamp();
    std::vector<Placement> placements_;
    std::vector<std::string> lines_;
};

}  // namespace

std::vector<std::string> BackupSite(const std::string& archivePath) {
    if (archivePath.empty()) throw std::runtime_error("No archive file was given.");
    const auto lock = SiteLock::TryTake(SiteLock::Mode::Shared);
    if (!lock)
        throw std::runtime_error("A restore of this site is running; take the backup when it has finished.");
    const fs::path archive = fs::absolute(archivePath);
    if (!fs::is_directory(archive.parent_path())) {
        throw std::runtime_error("The folder '" + archive.parent_path().string() +
                                 "' for the archive does not exist.");
    }
    const StagingFolder staging(archive.parent_path());
    std::vector<std::string> lines;
    std::vector<ArchiveMember> members;
    for (DatabaseFile which : kDatabaseFiles) members.push_back(CopyCheckedDatabase(which, staging, lines));
    AddSettingsFiles(members, lines);
    const std::uintmax_t size = WriteArchive(archive.string(), members);
    lines.push_back("wrote " + archive.string() + " (" + Plural(static_cast<std::int64_t>(size), "byte") +
                    ")");
    return lines;
}

std::vector<std::string> RestoreSite(const RestoreOptions& options) {
    if (options.archivePath.empty()) throw std::runtime_error("No archive file was given.");
    return Restore(options).run();
}

}  // namespace excursa
