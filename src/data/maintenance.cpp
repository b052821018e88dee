#include "data/maintenance.h"

#include "data/database.h"
#include "frame/value.h"

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>

namespace excursa {

namespace {

constexpr int kBusyTimeoutMs = 5000;
// A checkpoint or a desktop program's long write can hold a lock past the busy timeout.
constexpr int kCopyAttempts = 6;
constexpr int kIntegrityMessages = 20;

DatabaseFault FaultOf(int code) {
    switch (code & 0xff) {
        case SQLITE_NOTADB:
            return DatabaseFault::NotADatabase;
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
            return DatabaseFault::Locked;
        case SQLITE_CORRUPT:
            return DatabaseFault::Damaged;
        case SQLITE_CANTOPEN:
        case SQLITE_PERM:
        case SQLITE_IOERR:
        case SQLITE_READONLY:
            return DatabaseFault::Unreadable;
        default:
            return DatabaseFault::Other;
    }
}

[[noreturn]] void Fail(sqlite3* db, int code, const std::string& path, std::string_view doing) {
    const std::string reason = db ? sqlite3_errmsg(db) : sqlite3_errstr(code);
    throw DatabaseFileError(FaultOf(code),
                            "Could not " + std::string(doing) + " '" + path + "': " + reason + ".");
}

// Side files made by the engine while someone other than the service (root, say) reads a
// file would lock the service out of it: they get the database file's owner.
void GiveSideFilesTheOwnerOf(const std::string& path) {
    if (::geteuid() != 0) return;
    struct stat database {};
    if (::stat(path.c_str(), &database) != 0) return;
    for (const char* suffix : {"-wal", "-shm"}) {
        const std::string side = path + suffix;
        struct stat file {};
        if (::lstat(side.c_str(), &file) != 0 || !S_ISREG(file.st_mode)) continue;
        if (file.st_uid == database.st_uid && file.st_gid == database.st_gid) continue;
        [[maybe_unused]] const int ignored = ::chown(side.c_str(), database.st_uid, database.st_gid);
    }
}

// One statement, finalized when it goes out of scope.
class Query {
public:
    Query(sqlite3* db, const std::string& sql, std::string path) : db_(db), path_(std::move(path)) {
        const int rc = sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt_, nullptr);
        if (rc != SQLITE_OK) Fail(db, rc, path_, "read");
    }
    ~Query() { sqlite3_finalize(stmt_); }
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;

    Query& bind(int index, const std::string& text) {
        sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
        return *this;
    }
    bool next() {
        const int rc = sqlite3_step(stmt_);
        if (rc == SQLITE_ROW) return true;
        if (rc == SQLITE_DONE) return false;
        Fail(db_, rc, path_, "read");
    }
    std::string text(int column) const {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
        return p ? std::string(p, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column)))
                 : std::string();
    }
    std::int64_t whole(int column) const { return sqlite3_column_int64(stmt_, column); }

private:
    sqlite3* db_;
    std::string path_;
    sqlite3_stmt* stmt_ = nullptr;
};

// An existing database file, opened for writing where the file allows it so that the
// engine removes the side files it makes when it closes; never created.
class OpenFile {
public:
    explicit OpenFile(std::string path, int busyTimeoutMs = kBusyTimeoutMs) : path_(std::move(path)) {
        ConfigureEngine();
        const int rc = sqlite3_open_v2(path_.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr);
        if (rc != SQLITE_OK) {
            const std::string reason = db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc);
            sqlite3_close(db_);
            throw DatabaseFileError(FaultOf(rc), "Could not open '" + path_ + "': " + reason + ".");
        }
        sqlite3_extended_result_codes(db_, 1);
        sqlite3_busy_timeout(db_, busyTimeoutMs);
        // Opening is lazy: the first read tells a database from some other file.
        try {
            Query(db_, "SELECT count(*) FROM sqlite_master", path_).next();
        } catch (...) {
            sqlite3_close(db_);
            GiveSideFilesTheOwnerOf(path_);
            throw;
        }
    }
    ~OpenFile() {
        sqlite3_close(db_);
        GiveSideFilesTheOwnerOf(path_);
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;

    sqlite3* get() const { return db_; }
    const std::string& path() const { return path_; }

private:
    std::string path_;
    sqlite3* db_ = nullptr;
};

std::vector<std::string> TableNames(const OpenFile& file) {
    Query tables(file.get(),
                 "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite\\_%' "
                 "ESCAPE '\\' ORDER BY name COLLATE NOCASE",
                 file.path());
    std::vector<std::string> names;
    while (tables.next()) names.push_back(tables.text(0));
    return names;
}

std::vector<std::string> ColumnNames(sqlite3* db, const std::string& table, const std::string& path) {
    Query columns(db, "SELECT name FROM pragma_table_info(?)", path);
    columns.bind(1, table);
    std::vector<std::string> names;
    while (columns.next()) names.push_back(columns.text(0));
    return names;
}

bool Contains(const std::vector<std::string>& names, std::string_view name) {
    return std::any_of(names.begin(), names.end(),
                       [&](const std::string& n) { return SameTextNoCase(n, name); });
}

// The column's line of the CREATE text (one column a line there), without its comma.
std::string ColumnDefinition(std::string_view createSql, std::string_view column) {
    std::size_t pos = 0;
    while (pos < createSql.size()) {
        const std::size_t end = std::min(createSql.find('\n', pos), createSql.size());
        std::string_view line = createSql.substr(pos, end - pos);
        pos = end + 1;
        line.remove_prefix(std::min(line.find_first_not_of(' '), line.size()));
        while (!line.empty() && (line.back() == ',' || line.back() == ' ')) line.remove_suffix(1);
        const std::string_view first = line.substr(0, line.find(' '));
        if (SameTextNoCase(first, column)) return std::string(line);
    }
    return std::string(column);
}

// The schema's tables of one file, made in memory so that the engine reads their columns.
class ExpectedSchema {
public:
    explicit ExpectedSchema(DatabaseFile which) {
        sqlite3_open(":memory:", &db_);
        for (const TableDefinition& table : SchemaTables()) {
            if (table.file != which) continue;
            const std::string sql(table.createSql);
            if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
                Fail(db_, sqlite3_errcode(db_), ":memory:", "define the tables of");
            }
            tables_.push_back(table);
        }
    }
    ~ExpectedSchema() { sqlite3_close(db_); }
    ExpectedSchema(const ExpectedSchema&) = delete;
    ExpectedSchema& operator=(const ExpectedSchema&) = delete;

    const std::vector<TableDefinition>& tables() const { return tables_; }
    std::vector<std::string> columns(const TableDefinition& table) const {
        return ColumnNames(db_, std::string(table.name), ":memory:");
    }

private:
    sqlite3* db_ = nullptr;
    std::vector<TableDefinition> tables_;
};

// True when the copy is finished; false when a lock kept it from starting.
bool CopyInOneStep(sqlite3* target, sqlite3* source, const std::string& sourcePath) {
    sqlite3_backup* backup = sqlite3_backup_init(target, "main", source, "main");
    if (!backup) Fail(target, sqlite3_errcode(target), sourcePath, "start the copy of");
    const int step = sqlite3_backup_step(backup, -1);
    const int finish = sqlite3_backup_finish(backup);
    if (step == SQLITE_DONE && finish == SQLITE_OK) return true;
    const int code = step == SQLITE_DONE ? finish : step;
    if (FaultOf(code) == DatabaseFault::Locked) return false;
    Fail(source, code, sourcePath, "copy");
}

}  // namespace

void CopyDatabase(const std::string& sourcePath, const std::string& targetPath) {
    OpenFile source(sourcePath);
    std::error_code ec;
    if (std::filesystem::exists(std::filesystem::symlink_status(targetPath, ec))) {
        throw DatabaseFileError(DatabaseFault::Other, "The copy '" + targetPath + "' exists already.");
    }
    sqlite3* target = nullptr;
    int rc =
        sqlite3_open_v2(targetPath.c_str(), &target, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    try {
        if (rc != SQLITE_OK) Fail(target, rc, targetPath, "make the copy");
        sqlite3_busy_timeout(target, kBusyTimeoutMs);
        for (int attempt = 1;; ++attempt) {
            if (CopyInOneStep(target, source.get(), sourcePath)) break;
            if (attempt == kCopyAttempts) {
                throw DatabaseFileError(
                    DatabaseFault::Locked,
                    "Could not copy '" + sourcePath + "': another program kept it locked; try again later.");
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(200 * attempt));
        }
    } catch (...) {
        sqlite3_close(target);
        for (const char* suffix : {"", "-wal", "-shm", "-journal"})
            std::filesystem::remove(targetPath + suffix, ec);
        throw;
    }
    rc = sqlite3_close(target);
    if (rc != SQLITE_OK) Fail(nullptr, rc, targetPath, "finish the copy");
}

void ProbeDatabase(const std::string& path, std::chrono::milliseconds lockWait) {
    const OpenFile file(path, static_cast<int>(lockWait.count()));
}

std::vector<std::string> IntegrityProblems(const std::string& path) {
    OpenFile file(path);
    Query check(file.get(), "PRAGMA integrity_check(" + std::to_string(kIntegrityMessages) + ")", path);
    std::vector<std::string> problems;
    while (check.next()) problems.push_back(check.text(0));
    if (problems.size() == 1 && problems.front() == "ok") problems.clear();
    return problems;
}

std::vector<TableRows> CountRows(const std::string& path) {
    OpenFile file(path);
    std::vector<TableRows> counts;
    for (const std::string& table : TableNames(file)) {
        Query count(file.get(), "SELECT count(*) FROM " + SqlName(table), path);
        count.next();
        counts.push_back({table, count.whole(0)});
    }
    return counts;
}

SchemaGaps FindSchemaGaps(const std::string& path, DatabaseFile which) {
    OpenFile file(path);
    const std::vector<std::string> present = TableNames(file);
    const ExpectedSchema expected(which);
    SchemaGaps gaps;
    for (const TableDefinition& table : expected.tables()) {
        if (!Contains(present, table.name)) {
            gaps.tables.emplace_back(table.name);
            continue;
        }
        const std::vector<std::string> columns = ColumnNames(file.get(), std::string(table.name), path);
        for (const std::string& column : expected.columns(table)) {
            if (Contains(columns, column)) continue;
            gaps.columns.push_back(
                {std::string(table.name), column, ColumnDefinition(table.createSql, column)});
        }
    }
    return gaps;
}

}  // namespace excursa
