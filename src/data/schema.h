// The tables of the three database files and the code that creates new files.
// docs/storage.md describes the storage conventions for programs that share the files.
#pragma once

#include <array>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace excursa {

enum class DatabaseFile { Trip, Security, TripSchl };

inline constexpr std::array<DatabaseFile, 3> kDatabaseFiles = {DatabaseFile::Trip, DatabaseFile::Security,
                                                               DatabaseFile::TripSchl};

// "trip.db", "twvlsc1.db", "Tripschl.db".
std::string_view DatabaseFileName(DatabaseFile which);

struct TableDefinition {
    DatabaseFile file;
    std::string_view name;
    std::string_view createSql;
};

struct IndexDefinition {
    DatabaseFile file;
    std::string_view createSql;
};

std::span<const TableDefinition> SchemaTables();
std::span<const IndexDefinition> SchemaIndexes();

// Creates the file with the whole schema of `which`, in WAL journal mode.
// Throws std::runtime_error when the file already exists (it is left untouched)
// or cannot be created (a partly made file is removed).
void CreateDatabaseFile(const std::string& nativePath, DatabaseFile which);

struct CreatedFiles {
    std::vector<std::string> created;  // native paths
    std::vector<std::string> kept;     // existed before, not touched
};

// Creates those of the three files that are missing in the folder (which must exist).
CreatedFiles CreateDatabaseFiles(const std::string& nativeFolder);

// Adds the schema's indexes that existing files lack (files made before an index was added, or by
// another program); a file or table that is missing is left to the site check. Answers one line for
// each index added or that could not be added.
std::vector<std::string> AddMissingIndexes(const std::string& nativeFolder);

}  // namespace excursa
