// Access to the three database files: connections, record sets and commands.
// SQL texts are written in the desktop engine's dialect and translated here,
// once, to the embedded engine's.
#pragma once

#include "frame/value.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace excursa {

// Error number of a provider failure (a missing file, a locked database).
inline constexpr long kErrProvider = -2147467259;

// Values bound to the `?` marks of a SQL text, in order.
using SqlParams = std::vector<Value>;

class Connection {
public:
    Connection();
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Opens an existing file; a missing file fails with kErrProvider and
    // "Could not find file '<shownPath>'.". shownPath is the name users see.
    // The engine's handle of a closed connection is kept on its worker and
    // taken again by the next open of the same file, as long as the file on
    // disk is still the same one.
    void open(const std::string& nativePath, const std::string& shownPath);
    void close();
    // Closes the file for good, as a one-off task (a new file's schema, the demo filler) wants:
    // its engine is not kept for the next open, so the engine's side files go with it.
    void release();
    bool isOpen() const { return engine_ != nullptr; }
    sqlite3* handle() const;  // error 3704-style VbError when closed

    // Runs a command (DELETE, UPDATE, ...) in the desktop dialect; returns rows affected.
    long execute(std::string_view jetSql, const SqlParams& params = {});
    // The same for SQL of the embedded engine's own dialect (schemas, new files), not translated.
    long executeNative(std::string_view sql, const SqlParams& params = {});
    // The first column of the first row of an engine-dialect query; Null when there is no row.
    Value scalarNative(std::string_view sql, const SqlParams& params = {});
    // The rowid the last insert on this connection gave.
    std::int64_t lastInsertRowid() const;

    // Until endReading (or close), the queries read the file as it was at the first of them: one
    // read of the file for all of them instead of one each.
    void beginReading();
    // Keeps anything that was written meanwhile.
    void endReading();

    struct Engine;           // the engine's handle and the statements compiled on it
    Engine& engine() const;  // error 3704-style VbError when closed

private:
    std::unique_ptr<Engine> engine_;
    std::string path_;
    std::uint64_t device_ = 0;
    std::uint64_t inode_ = 0;
};

// One column of a record set: its name and the value type its declared type gives.
struct FieldInfo {
    std::string name;
    std::string declaredType;
    std::string table;  // base table, "" for expressions
};

// A static record set: all rows read when opened, so the count is known before reading.
// Updatable sets (openForUpdate) also add, change and delete rows of one table; they keep
// using the connection, which must stay alive as long as they do.
class Recordset {
public:
    // Static, read-only. The values a user typed or the program computed reach the query as
    // params bound to its `?` marks, never as text written into it. maxRecords above 0 reads no
    // more rows than that (the provider's MaxRecords), so a set that is too big is told cheaply.
    static Recordset Open(Connection& cn, std::string_view jetSql, const SqlParams& params = {},
                          long maxRecords = 0);
    // Updatable: the query must select from one table; rows are read lazily on
    // first access so that adding a row does not read the table.
    static Recordset OpenForUpdate(Connection& cn, std::string_view jetSql, const SqlParams& params = {});
    // Static, read-only, holding at most `count` rows of the query from row `offset` (0 the first):
    // the rows before are not read, so a late page of a long report costs what an early one does.
    static Recordset OpenRange(Connection& cn, std::string_view jetSql, long offset, long count,
                               const SqlParams& params = {});

    Recordset(Recordset&&) noexcept;
    Recordset& operator=(Recordset&&) noexcept;
    ~Recordset();

    long recordCount();
    bool eof();
    bool bof();
    void moveFirst();
    void moveNext();
    void move(long n);
    void close();
    bool isOpen() const;

    // Field by name, letter case ignored; error 3021 with no current record;
    // error 3265 for an unknown name.
    Value field(std::string_view name);
    const std::vector<FieldInfo>& fields();
    // Field by its place in fields(), for a routine that goes through them all.
    Value fieldAt(std::size_t index);

    // Writing (updatable sets only). A change still pending when the cursor moves is saved
    // first; one pending at close is dropped.
    void addNew();
    void setField(std::string_view name, const Value& value);
    void update();  // fails with a clear error when another save changed the row since it was read
    void cancelUpdate();
    void deleteCurrent();

private:
    struct Impl;
    explicit Recordset(std::unique_ptr<Impl> impl);
    // Every row of an engine-dialect query.
    static std::unique_ptr<Impl> ReadAll(Connection& cn, std::string_view sql, const SqlParams& params,
                                         long maxRecords = 0);
    std::unique_ptr<Impl> impl_;
};

// The number of rows a query gives, counted by the engine without reading them.
long CountRows(Connection& cn, std::string_view jetSql, const SqlParams& params = {});

// SQL of the desktop dialect translated to the embedded engine's.
std::string TranslateJetSql(std::string_view jetSql);
// The query without its closing ORDER BY clause (one inside brackets stays).
std::string WithoutOrderBy(std::string_view jetSql);
// What counting a query's rows needs of it: no closing ORDER BY, and for a plain select (no
// grouping, DISTINCT, compound or aggregate) the column 1 in place of its columns.
struct RowsToCount {
    std::string jetSql;
    bool joinsTables = false;  // a plain select over joined tables
};
RowsToCount ForCounting(std::string_view jetSql);
// Registers the functions the translated SQL calls (jet_concat, jet_clng, ...); open() does it.
void RegisterJetFunctions(sqlite3* db);

// Settings of the engine that must come before its first use; every open calls it.
void ConfigureEngine();

// How many statements the data layer compiled in this process: after a page's first showing, showing
// it again compiles none.
long StatementCompilations();

// Quotes a text for a SQL literal: doubles single quotes. Every text value put into SQL goes through here.
std::string SqlQuote(std::string_view text);
// Quotes a table or column name for SQL: in double quotes, doubled inside.
std::string SqlName(std::string_view name);

}  // namespace excursa
