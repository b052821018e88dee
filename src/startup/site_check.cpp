#include "startup/site_check.h"

#include "config/ini_file.h"
#include "config/settings.h"
#include "config/site.h"
#include "data/maintenance.h"
#include "startup/site_files.h"
#include "startup/site_lock.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <optional>
#include <stdexcept>

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace excursa {

namespace fs = std::filesystem;

namespace {

// The start event reads at most this many characters of a value.
constexpr std::size_t kLongestSetting = 255;
constexpr std::string_view kNotInFile = "\x01(not in the file)\x01";
constexpr std::size_t kIntegrityLinesShown = 3;

std::string Quoted(std::string_view text) { return std::string("\"").append(text).append("\""); }

std::string SiteShown() { return Site::root().empty() ? std::string(".") : Site::root(); }

std::string InitAdvice() {
    return "excursa init --site " + SiteShown() + " makes what is missing and keeps every file that exists";
}

class Findings {
public:
    explicit Findings(std::string user) : user_(std::move(user)) {}
    const std::string& user() const { return user_; }
    void add(std::string problem, std::string mend) {
        list_.push_back({std::move(problem), std::move(mend)});
    }
    std::vector<Finding> take() { return std::move(list_); }

private:
    std::string user_;
    std::vector<Finding> list_;
};

// ---------------------------------------------------------------- registry.reg

std::optional<std::string> CheckRegistry(Findings& findings) {
    const std::string registry = RegistrySiteFile().path;
    const std::string key = "[" + std::string(kHKeyLocalMachine) + "\\" + std::string(kTripRegistryKey) + "]";
    if (!fs::exists(registry)) {
        findings.add("There is no registry.reg in the site (" + registry + "), so trip.ini cannot be found.",
                     "Restore it from a backup, or make it: " + InitAdvice() + ".");
        return std::nullopt;
    }
    Value iniPath;
    try {
        iniPath = ReadIniPath();
    } catch (const VbError& e) {
        findings.add(
            "registry.reg cannot be read: " + e.description(),
            "Correct it. It begins with the line \"Windows Registry Editor Version 5.00\", then the key " +
                key + " and the line \"INIPath\"=\"MULTIPLE\"; the service user must be able to read it.");
        return std::nullopt;
    }
    if (iniPath.isEmpty()) {
        findings.add(
            "registry.reg has no \"INIPath\" value under the key " + key + ", so trip.ini cannot be found.",
            "Add the line \"INIPath\"=\"MULTIPLE\" under that key (MULTIPLE: trip.ini lies in www/ of the "
            "site), or name the folder that holds trip.ini.");
        return std::nullopt;
    }
    if (!iniPath.isString()) {
        findings.add("\"INIPath\" in registry.reg is not a text value.",
                     "Write it as a text in quotes, for example \"INIPath\"=\"MULTIPLE\".");
        return std::nullopt;
    }
    const std::string settingsFile = SettingsFilePath(iniPath);
    const fs::path folder = fs::path(settingsFile).parent_path();
    if (!fs::is_directory(folder.empty() ? fs::path(".") : folder)) {
        findings.add(
            "The folder that \"INIPath\" names, " + Quoted(iniPath.text()) + ", does not exist (" +
                folder.string() + ").",
            "Set \"INIPath\" in registry.reg to the folder that holds trip.ini, or to \"MULTIPLE\" for www/ "
            "of the site.");
        return std::nullopt;
    }
    return settingsFile;
}

// ---------------------------------------------------------------- trip.ini

enum class SettingKind { Text, Minutes, Port, TrueFalse };

struct SettingRule {
    std::string_view key;
    SettingKind kind;
    std::string_view example;
    bool onlyWithAuthentication = false;
};

constexpr SettingRule kSettingRules[] = {
    {"SessionTimeOut", SettingKind::Minutes, "20"},
    {"DOTNETInstalled", SettingKind::TrueFalse, "False"},
    {"CalendarUrl", SettingKind::Text, "https://www.lakemont.example.org/calendar"},
    {"InquiryUrl", SettingKind::Text, "https://www.lakemont.example.org/trips"},
    {"SmtpServer", SettingKind::Text, "mail.lakemont.example.org"},
    {"SmtpPort", SettingKind::Port, "25"},
    {"SmtpAuthentication", SettingKind::TrueFalse, "False"},
    {"SmtpUsername", SettingKind::Text, "fieldtrips", true},
    {"SmtpPassword", SettingKind::Text, "(the mail account's password)", true},
    {"EmailFromAddress", SettingKind::Text, "fieldtrips@lakemont.example.org"},
    {"EmailFromName", SettingKind::Text, "Lakemont Transportation"},
};

class SettingsCheck {
public:
    SettingsCheck(std::string path, Findings& findings) : path_(std::move(path)), findings_(findings) {}

    void run() {
        if (!fs::exists(path_)) {
            findings_.add(
                "The settings file " + path_ + " does not exist.",
                "Put trip.ini there, or point \"INIPath\" in registry.reg at the folder that holds it; " +
                    InitAdvice() + " (with every setting) when \"INIPath\" is \"MULTIPLE\".");
            return;
        }
        if (!std::ifstream(path_)) {
            findings_.add(
                "The settings file " + path_ + " cannot be read.",
                "Let the service user read it, for example: chown " + findings_.user() + " " + path_ + ".");
            return;
        }
        if (std::none_of(std::begin(kSettingRules), std::end(kSettingRules),
                         [&](const SettingRule& rule) { return read(rule.key) != kNotInFile; })) {
            findings_.add(path_ + " has no settings in a section [" + std::string(kTripIniSection) + "].",
                          "Put the line [" + std::string(kTripIniSection) +
                              "] above the settings; excursa init writes a complete trip.ini to copy from.");
            return;
        }
        const bool authentication = read("SmtpAuthentication") == "True";
        for (const SettingRule& rule : kSettingRules) {
            if (!rule.onlyWithAuthentication || authentication) checkSetting(rule);
        }
    }

private:
    std::string read(std::string_view key) const {
        constexpr std::size_t kWholeValue = 1 << 16;
        return ReadProfileString(kTripIniSection, key, kNotInFile, path_, kWholeValue);
    }

    std::string line(const SettingRule& rule) const {
        return std::string(rule.key) + "=" + std::string(rule.example);
    }

    void checkSetting(const SettingRule& rule) {
        const std::string value = read(rule.key);
        const std::string name = Quoted(rule.key) + " in trip.ini";
        if (value == kNotInFile || value.empty()) {
            findings_.add(name + (value.empty() ? " is empty" : " is missing") +
                              "; the sign-in page shows an error until it has a value.",
                          "Write " + line(rule) + " (with your own value) in the section [" +
                              std::string(kTripIniSection) + "] of " + path_ + ".");
            return;
        }
        if (value.size() > kLongestSetting) {
            findings_.add(name + " is longer than 255 characters; only the first 255 are read.",
                          "Shorten it.");
        }
        switch (rule.kind) {
            case SettingKind::Minutes:
                return checkMinutes(rule, name, value);
            case SettingKind::Port:
                return checkPort(rule, name, value);
            case SettingKind::TrueFalse:
                return checkTrueFalse(rule, name, value);
            case SettingKind::Text:
                return;
        }
    }

    void checkMinutes(const SettingRule& rule, const std::string& name, const std::string& value) {
        const std::string mend =
            "Set it to the minutes a session may stay idle, for example " + line(rule) + ".";
        try {
            if (CInt(Value(value)) < 1)
                findings_.add(name + " is " + Quoted(value) + "; it must be 1 or more.", mend);
        } catch (const VbError& e) {
            const bool tooLarge = e.number() == kErrOverflow;
            findings_.add(
                name + " is " + Quoted(value) +
                    (tooLarge ? ", which is too large (at most 32767)" : ", which is not a number") +
                    "; nobody can sign in until it is mended.",
                mend);
        }
    }

    void checkPort(const SettingRule& rule, const std::string& name, const std::string& value) {
        constexpr std::int32_t kHighestPort = 65535;
        bool valid = false;
        try {
            const std::int32_t port = CLng(Value(value));
            valid = port >= 1 && port <= kHighestPort;
        } catch (const VbError&) {
        }
        if (valid) return;
        findings_.add(
            name + " is " + Quoted(value) + ", which is not a port number (1 to 65535); no mail can be sent.",
            "Set it to the mail server's port, for example " + line(rule) + ".");
    }

    // DOTNETInstalled is on for "true" in any letter case, SmtpAuthentication only for "True".
    void checkTrueFalse(const SettingRule& rule, const std::string& name, const std::string& value) {
        const bool exactOnly = rule.key == "SmtpAuthentication";
        if (value == "True" || SameTextNoCase(value, "false") ||
            (!exactOnly && SameTextNoCase(value, "true")))
            return;
        findings_.add(name + " is " + Quoted(value) + ", which counts as False" +
                          (exactOnly ? ": only \"True\", written just so, turns it on." : "."),
                      "Write " + std::string(rule.key) + "=True or " + std::string(rule.key) + "=False.");
    }

    std::string path_;
    Findings& findings_;
};

// ---------------------------------------------------------------- database files

std::string RestoreAdvice() {
    return "Stop the service and restore the latest good backup with excursa restore --site " + SiteShown() +
           " --from FILE --force; the file it replaces is kept beside it";
}

void ReportUnreadable(const SiteFile& file, const DatabaseFileError& e, Findings& findings) {
    switch (e.fault()) {
        case DatabaseFault::NotADatabase:
            return findings.add(file.entry + " is not a database file (" + file.path + ").",
                                RestoreAdvice() + ".");
        case DatabaseFault::Damaged:
            return findings.add(file.entry + " is damaged: " + e.what(), RestoreAdvice() + ".");
        case DatabaseFault::Locked:
            return findings.add(
                file.entry + " is locked by another program: " + e.what(),
                "Check again when that program (an import, a copy, a desktop program) has finished; "
                "if it stays locked, stop the programs that use the file.");
        case DatabaseFault::Unreadable:
        case DatabaseFault::Other:
            return findings.add(file.entry + " cannot be read: " + e.what(),
                                "Let the service user read and write it, for example: chown " +
                                    findings.user() + " " + file.path + ".");
    }
}

void ReportGaps(const SiteFile& file, const SchemaGaps& gaps, Findings& findings) {
    for (const std::string& table : gaps.tables) {
        findings.add(
            file.entry + " has no table " + table + ", which the service reads.",
            "This is not the file the service expects, or an old one: restore the right file, or add the "
            "table with its CREATE statement (docs/storage.md tells where they are).");
    }
    for (std::size_t i = 0; i < gaps.columns.size();) {
        const std::string& table = gaps.columns[i].table;
        std::string names;
        std::string statements;
        for (; i < gaps.columns.size() && gaps.columns[i].table == table; ++i) {
            names += (names.empty() ? "" : ", ") + gaps.columns[i].column;
            statements += "ALTER TABLE " + table + " ADD COLUMN " + gaps.columns[i].definition + "; ";
        }
        findings.add(
            file.entry + ": the table " + table + " has no column " + names + ", which the service reads.",
            "Stop the service, back up, then add it: sqlite3 " + file.path + " \"" +
                statements.substr(0, statements.size() - 1) + "\"");
    }
}

void ReportIntegrity(const SiteFile& file, const std::vector<std::string>& problems, Findings& findings) {
    if (problems.empty()) return;
    std::string shown;
    for (std::size_t i = 0; i < problems.size() && i < kIntegrityLinesShown; ++i) {
        shown += (i ? "; " : "") + problems[i];
    }
    if (problems.size() > kIntegrityLinesShown) shown += "; ...";
    findings.add(file.entry + " fails its integrity check: " + shown,
                 RestoreAdvice() +
                     ". Rows saved since that backup can often be read from the damaged file with "
                     "sqlite3's .recover.");
}

void CheckDatabases(Findings& findings) {
    const std::string folder = SiteDataFolder();
    if (!fs::is_directory(folder)) {
        findings.add("The data folder " + folder + " does not exist, so nobody can sign in.",
                     "Restore a backup with excursa restore, or make the folder with empty database files: " +
                         InitAdvice() + ".");
        return;
    }
    for (DatabaseFile which : kDatabaseFiles) {
        const SiteFile file = DatabaseSiteFile(which);
        if (!fs::exists(file.path)) {
            findings.add(
                "The database file " + file.entry + " is missing.",
                "Restore it from a backup with excursa restore, or make an empty one: " + InitAdvice() + ".");
            continue;
        }
        try {
            ReportIntegrity(file, IntegrityProblems(file.path), findings);
            ReportGaps(file, FindSchemaGaps(file.path, which), findings);
        } catch (const DatabaseFileError& e) {
            ReportUnreadable(file, e, findings);
        }
    }
}

// ---------------------------------------------------------------- what the service writes

bool InGroups(const ServiceUser& user, gid_t group) {
    return std::find(user.groups.begin(), user.groups.end(), group) != user.groups.end();
}

// The class of permission bits (owner, group, others) that applies to the user.
bool ModeAllows(const struct stat& info, const ServiceUser& user, mode_t ownerBits) {
    if (info.st_uid == user.uid) return (info.st_mode & ownerBits) == ownerBits;
    if (InGroups(user, info.st_gid)) return (info.st_mode & (ownerBits >> 3)) == (ownerBits >> 3);
    return (info.st_mode & (ownerBits >> 6)) == (ownerBits >> 6);
}

// Folders above the path must let the user pass as well.
bool CanWrite(const fs::path& path, const ServiceUser& user) {
    const bool folder = fs::is_directory(path);
    if (user.isThisProcess) {
        return ::faccessat(AT_FDCWD, path.c_str(), W_OK | (folder ? X_OK : 0), AT_EACCESS) == 0;
    }
    if (user.uid == 0) return true;
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return false;
    if (!ModeAllows(info, user, folder ? S_IWUSR | S_IXUSR : S_IWUSR)) return false;
    for (fs::path above = fs::absolute(path).parent_path(); above != above.parent_path();
         above = above.parent_path()) {
        if (::stat(above.c_str(), &info) != 0 || !ModeAllows(info, user, S_IXUSR)) return false;
    }
    return true;
}

fs::path NearestExisting(fs::path path) {
    while (!path.empty() && !fs::exists(path) && path != path.parent_path()) path = path.parent_path();
    return path.empty() ? fs::path(".") : path;
}

struct WrittenPath {
    fs::path path;
    std::string why;
};

std::vector<WrittenPath> PathsTheServiceWrites() {
    std::vector<WrittenPath> paths;
    const std::string data = SiteDataFolder();
    if (fs::is_directory(data)) {
        paths.push_back(
            {data, "the database files cannot be written (their -wal and -shm files are made there)"});
    }
    for (DatabaseFile which : kDatabaseFiles) {
        const std::string database = DatabaseSiteFile(which).path;
        for (const char* suffix : {"", "-wal", "-shm"}) {
            if (fs::exists(database + suffix))
                paths.push_back({database + suffix, "nothing can be saved in it"});
        }
    }
    const fs::path log = SiteLogFile();
    paths.push_back(fs::exists(log) ? WrittenPath{log, "the diagnostic log stays unwritten"}
                                    : WrittenPath{NearestExisting(log.parent_path()),
                                                  "the diagnostic log " + log.string() + " cannot be made"});
    const fs::path lock = SiteLockFile();
    if (!fs::exists(lock)) {
        paths.push_back(
            {NearestExisting(lock.parent_path()), "the server cannot make its lock file and will not start"});
    }
    return paths;
}

void CheckWritable(const ServiceUser& user, Findings& findings) {
    for (const WrittenPath& written : PathsTheServiceWrites()) {
        if (CanWrite(written.path, user)) continue;
        const bool folder = fs::is_directory(written.path);
        const std::string shown = written.path.string();
        findings.add("The service user " + user.name + " cannot write " + (folder ? "in the folder " : "") +
                         shown + ", so " + written.why + ".",
                     "Give it to that user: chown " + user.name + " " + shown + " && chmod u+w" +
                         (folder ? "x " : " ") + shown +
                         " (and let the user pass through the folders above it).");
    }
}

std::string UserName(uid_t uid) {
    const passwd* entry = ::getpwuid(uid);
    return entry ? entry->pw_name : "uid " + std::to_string(uid);
}

}  // namespace

ServiceUser ServiceUser::ThisProcess() {
    ServiceUser user;
    user.uid = ::geteuid();
    user.name = UserName(user.uid);
    user.isThisProcess = true;
    return user;
}

ServiceUser ServiceUser::Named(const std::string& name) {
    const passwd* entry = ::getpwnam(name.c_str());
    if (!entry) throw std::runtime_error("There is no user " + Quoted(name) + " on this machine.");
    ServiceUser user;
    user.name = name;
    user.uid = entry->pw_uid;
    int count = 64;
    user.groups.resize(static_cast<std::size_t>(count));
    while (::getgrouplist(name.c_str(), entry->pw_gid, user.groups.data(), &count) < 0) {
        user.groups.resize(static_cast<std::size_t>(count));
    }
    user.groups.resize(static_cast<std::size_t>(count));
    user.isThisProcess = user.uid == ::geteuid() && user.uid == ::getuid();
    return user;
}

std::vector<Finding> CheckSite(const ServiceUser& user) {
    Findings findings(user.name);
    if (const std::optional<std::string> settingsFile = CheckRegistry(findings)) {
        SettingsCheck(*settingsFile, findings).run();
    }
    CheckDatabases(findings);
    CheckWritable(user, findings);
    return findings.take();
}

std::vector<std::string> FindingLines(const std::vector<Finding>& findings) {
    if (findings.empty()) {
        return {
            "All is well: registry.reg, trip.ini and the three database files were read, and the service "
            "user can write what the service writes."};
    }
    std::vector<std::string> lines;
    for (const Finding& finding : findings) {
        lines.push_back("problem: " + finding.problem);
        lines.push_back("    mend: " + finding.mend);
    }
    return lines;
}

}  // namespace excursa
