#include "startup/health.h"

#include "data/maintenance.h"
#include "frame/keys.h"
#include "startup/site_files.h"

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>

namespace excursa {

namespace {

// Writers never block readers of these files; a lock that holds a reader this long is
// another program's exclusive hold, and the monitor should hear of it.
constexpr std::chrono::milliseconds kLockWait{250};

std::string_view StateOf(DatabaseFault fault) {
    switch (fault) {
        case DatabaseFault::Locked:
            return "locked";
        case DatabaseFault::NotADatabase:
        case DatabaseFault::Damaged:
            return "malformed";
        case DatabaseFault::Unreadable:
        case DatabaseFault::Other:
            break;
    }
    return "cannot be read";
}

// The file's name and its state, never its path: the answer is public.
std::optional<std::string> DatabaseProblem(DatabaseFile which) {
    const std::string path = DatabaseSiteFile(which).path;
    const std::string name = "database " + std::string(DatabaseFileName(which)) + ": ";
    std::error_code ec;
    if (!std::filesystem::exists(path, ec)) return name + "missing";
    try {
        ProbeDatabase(path, kLockWait);
    } catch (const DatabaseFileError& e) {
        return name + std::string(StateOf(e.fault()));
    }
    return std::nullopt;
}

}  // namespace

HealthAnswer CheckHealth(const KeyedStore& application) {
    HealthAnswer answer;
    if (!CBool(application.get(key::SettingsLoaded))) answer.problems.emplace_back("settings not loaded");
    for (DatabaseFile which : kDatabaseFiles) {
        if (std::optional<std::string> problem = DatabaseProblem(which)) answer.problems.push_back(*problem);
    }
    return answer;
}

}  // namespace excursa
