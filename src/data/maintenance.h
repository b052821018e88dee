// Upkeep of the database files while the service and the desktop programs may be
// using them: consistent copies, integrity checks, row counts, and a comparison
// with the tables and columns the service needs.
#pragma once

#include "data/schema.h"

#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace excursa {

enum class DatabaseFault {
    Unreadable,    // missing, no permission, or no room to read
    NotADatabase,  // some other kind of file
    Locked,        // another program holds a lock longer than we wait
    Damaged,       // the engine found the file malformed
    Other,
};

class DatabaseFileError : public std::runtime_error {
public:
    DatabaseFileError(DatabaseFault fault, const std::string& message)
        : std::runtime_error(message), fault_(fault) {}
    DatabaseFault fault() const { return fault_; }

private:
    DatabaseFault fault_;
};

struct TableRows {
    std::string table;
    std::int64_t rows = 0;
};

struct MissingColumn {
    std::string table;
    std::string column;
    std::string definition;  // as the schema declares it, e.g. "SCHEDULE TEXT COLLATE NOCASE"
};

struct SchemaGaps {
    std::vector<std::string> tables;
    std::vector<MissingColumn> columns;  // of tables that exist
    bool empty() const { return tables.empty() && columns.empty(); }
};

// Copies the database at sourcePath as it stands at one moment, in one step, while other
// programs may go on reading and writing it. targetPath must not exist yet.
void CopyDatabase(const std::string& sourcePath, const std::string& targetPath);

// Opens the file and reads its list of tables once, waiting at most lockWait for another
// program's lock: the cheap proof that the file is there and answers.
void ProbeDatabase(const std::string& path, std::chrono::milliseconds lockWait);

// The engine's own integrity report; empty when the file is sound.
std::vector<std::string> IntegrityProblems(const std::string& path);

// Every table of the file with its number of rows, ordered by name.
std::vector<TableRows> CountRows(const std::string& path);

// What the file lacks of the tables and columns that `which` must have.
SchemaGaps FindSchemaGaps(const std::string& path, DatabaseFile which);

// The functions above throw DatabaseFileError when the file cannot be read as a database.

}  // namespace excursa
