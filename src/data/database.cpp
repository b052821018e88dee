// Connections, commands and record sets over the embedded engine.
#include "data/database.h"

#include "frame/metrics.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <limits>
#include <mutex>
#include <unordered_map>
#include <utility>

namespace excursa {
namespace {

constexpr long kErrReadOnlySet = 3251;
constexpr long kErrObjectClosed = 3704;
constexpr long kErrObjectOpen = 3705;
constexpr long kErrRowChanged = -2147217864;
constexpr int kBusyTimeoutMs = 5000;

[[noreturn]] void NoCurrentRecord() {
    throw VbError(kErrNoCurrentRecord,
                  "Either BOF or EOF is True, or the current record has been deleted. "
                  "Requested operation requires a current record.");
}

[[noreturn]] void ObjectClosed() {
    throw VbError(kErrObjectClosed, "Operation is not allowed when the object is closed.");
}

[[noreturn]] void RowChanged() {
    throw VbError(
        kErrRowChanged,
        "Row cannot be located for updating. Some values may have been changed since it was last read.");
}

[[noreturn]] void ProviderError(sqlite3* db) {
    CountDatabaseError();
    throw VbError(kErrProvider, sqlite3_errmsg(db));
}

std::string QuotedName(std::string_view name) {
    std::string out = "\"";
    for (char c : name) {
        if (c == '"') out += '"';
        out += c;
    }
    return out + "\"";
}

std::atomic<long> gCompilations{0};

// Compiles one statement; a text holding a second statement is refused rather than run unseen.
sqlite3_stmt* Compile(sqlite3* db, std::string_view sql) {
    sqlite3_stmt* stmt = nullptr;
    const char* tail = nullptr;
    gCompilations.fetch_add(1, std::memory_order_relaxed);
    if (sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &stmt, &tail) != SQLITE_OK) {
        ProviderError(db);
    }
    if (!stmt) {
        throw VbError(
            kErrProvider,
            "Invalid SQL statement; expected 'DELETE', 'INSERT', 'PROCEDURE', 'SELECT', or 'UPDATE'.");
    }
    const std::string_view rest = sql.substr(static_cast<std::size_t>(tail - sql.data()));
    for (char c : rest) {
        if (!std::isspace(static_cast<unsigned char>(c)) && c != ';') {
            sqlite3_finalize(stmt);
            throw VbError(kErrProvider, "Characters found after end of SQL statement.");
        }
    }
    return stmt;
}

}  // namespace

struct ColumnSet;

// The engine's handle of one open file and the statements compiled on it, kept by SQL text so
// that a page asking for request 38 and one asking for 99,998 share one compiled statement.
struct Connection::Engine {
    explicit Engine(sqlite3* handle) : db(handle) {}
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;
    ~Engine() {
        for (auto& [sql, cached] : statements) sqlite3_finalize(cached.stmt);
        sqlite3_close_v2(db);
    }

    struct Cached {
        sqlite3_stmt* stmt = nullptr;
        bool busy = false;
        std::shared_ptr<const ColumnSet> columns;  // described at its first reading
    };
    // Texts that carry their values (the searches' stored queries) would grow the cache without
    // end; past this many it starts again.
    static constexpr std::size_t kMaxStatements = 256;

    sqlite3* db;
    std::unordered_map<std::string, Cached> statements;
};

namespace {

// A compiled statement for the time of one use: from its engine's cache, or made for this use
// alone when the cached one is still in use further up the stack. Reset and unbound when it goes.
class Statement {
public:
    Statement(Connection::Engine& engine, std::string_view sql) : db_(engine.db) {
        auto it = engine.statements.find(std::string(sql));
        if (it == engine.statements.end()) {
            if (engine.statements.size() >= Connection::Engine::kMaxStatements) forgetIdle(engine);
            sqlite3_stmt* stmt = Compile(db_, sql);
            it = engine.statements
                     .emplace(std::string(sql),
                              Connection::Engine::Cached{.stmt = stmt, .busy = false, .columns = nullptr})
                     .first;
        }
        if (it->second.busy) {
            stmt_ = Compile(db_, sql);
            return;
        }
        cached_ = &it->second;
        cached_->busy = true;
        stmt_ = cached_->stmt;
    }
    ~Statement() {
        if (!cached_) {
            sqlite3_finalize(stmt_);
            return;
        }
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
        cached_->busy = false;
    }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    sqlite3_stmt* get() const { return stmt_; }
    // Where the description of the statement's columns is kept, or nothing for a statement of one use.
    std::shared_ptr<const ColumnSet>* columnsKept() const { return cached_ ? &cached_->columns : nullptr; }
    // True while there is a row.
    bool step() {
        const int rc = sqlite3_step(stmt_);
        if (rc == SQLITE_ROW) return true;
        if (rc == SQLITE_DONE) return false;
        ProviderError(db_);
    }

private:
    static void forgetIdle(Connection::Engine& engine) {
        for (auto it = engine.statements.begin(); it != engine.statements.end();) {
            if (it->second.busy) {
                ++it;
                continue;
            }
            sqlite3_finalize(it->second.stmt);
            it = engine.statements.erase(it);
        }
    }

    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
    Connection::Engine::Cached* cached_ = nullptr;
};

// --------------------------------------------------------- column types ----

enum class ColumnKind { ByStorage, Boolean, Date, Integer, Long, Single, Double, Currency, Text };

ColumnKind KindOfDeclaredType(const char* declared) {
    if (!declared) return ColumnKind::ByStorage;
    std::string word;
    for (const char* p = declared; *p && std::isalnum(static_cast<unsigned char>(*p)); ++p) {
        word += static_cast<char>(std::toupper(static_cast<unsigned char>(*p)));
    }
    struct Mapping {
        std::string_view word;
        ColumnKind kind;
    };
    static constexpr Mapping kMappings[] = {
        {"BOOLEAN", ColumnKind::Boolean},    {"YESNO", ColumnKind::Boolean},
        {"BIT", ColumnKind::Boolean},        {"LOGICAL", ColumnKind::Boolean},
        {"DATETIME", ColumnKind::Date},      {"DATE", ColumnKind::Date},
        {"TIME", ColumnKind::Date},          {"TIMESTAMP", ColumnKind::Date},
        {"SMALLINT", ColumnKind::Integer},   {"SHORT", ColumnKind::Integer},
        {"BYTE", ColumnKind::Integer},       {"TINYINT", ColumnKind::Integer},
        {"INTEGER", ColumnKind::Long},       {"INT", ColumnKind::Long},
        {"LONG", ColumnKind::Long},          {"COUNTER", ColumnKind::Long},
        {"AUTOINCREMENT", ColumnKind::Long}, {"SINGLE", ColumnKind::Single},
        {"DOUBLE", ColumnKind::Double},      {"REAL", ColumnKind::Double},
        {"FLOAT", ColumnKind::Double},       {"NUMERIC", ColumnKind::Double},
        {"DECIMAL", ColumnKind::Double},     {"CURRENCY", ColumnKind::Currency},
        {"MONEY", ColumnKind::Currency},     {"TEXT", ColumnKind::Text},
        {"VARCHAR", ColumnKind::Text},       {"CHAR", ColumnKind::Text},
        {"MEMO", ColumnKind::Text},          {"NVARCHAR", ColumnKind::Text},
        {"NCHAR", ColumnKind::Text},         {"CHARACTER", ColumnKind::Text},
        {"LONGTEXT", ColumnKind::Text},      {"STRING", ColumnKind::Text},
        {"CLOB", ColumnKind::Text},
    };
    for (const Mapping& m : kMappings) {
        if (word == m.word) return m.kind;
    }
    return ColumnKind::ByStorage;
}

std::string ColumnText(sqlite3_stmt* st, int col) {
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(st, col));
    return p ? std::string(p, static_cast<std::size_t>(sqlite3_column_bytes(st, col))) : std::string();
}

Value WholeNumber(sqlite3_int64 n) {
    if (n >= std::numeric_limits<std::int32_t>::min() && n <= std::numeric_limits<std::int32_t>::max()) {
        return Value::Long(static_cast<std::int32_t>(n));
    }
    return Value::Double(static_cast<double>(n));
}

Value NumberByStorage(sqlite3_stmt* st, int col) {
    if (sqlite3_column_type(st, col) == SQLITE_INTEGER) return WholeNumber(sqlite3_column_int64(st, col));
    return Value::Double(sqlite3_column_double(st, col));
}

Value ByStorage(sqlite3_stmt* st, int col) {
    switch (sqlite3_column_type(st, col)) {
        case SQLITE_INTEGER:
        case SQLITE_FLOAT:
            return NumberByStorage(st, col);
        case SQLITE_TEXT: {
            std::string text = ColumnText(st, col);
            constexpr std::size_t kStoredDateLength = 19;  // YYYY-MM-DD HH:MM:SS
            if (text.size() == kStoredDateLength) {
                if (auto day = ParseStoredDate(text)) return Value::Date(*day);
            }
            return Value(std::move(text));
        }
        default: {
            const auto* p = static_cast<const std::uint8_t*>(sqlite3_column_blob(st, col));
            return Value::Bytes(std::vector<std::uint8_t>(p, p + sqlite3_column_bytes(st, col)));
        }
    }
}

Value BooleanOf(sqlite3_stmt* st, int col, bool numeric) {
    if (numeric) return Value::Boolean(sqlite3_column_double(st, col) != 0);
    std::string text = ColumnText(st, col);
    if (SameTextNoCase(text, "true") || SameTextNoCase(text, "yes")) return Value::Boolean(true);
    if (SameTextNoCase(text, "false") || SameTextNoCase(text, "no")) return Value::Boolean(false);
    return Value(std::move(text));
}

Value CurrencyOf(sqlite3_stmt* st, int col) {
    try {
        return Value::Cur(Currency::fromDouble(sqlite3_column_double(st, col)));
    } catch (const VbError&) {
        return NumberByStorage(st, col);  // beyond the currency range: keep the number
    }
}

Value SingleOf(sqlite3_stmt* st, int col) {
    const double d = sqlite3_column_double(st, col);
    if (std::fabs(d) > std::numeric_limits<float>::max()) return Value::Double(d);
    return Value::Single(static_cast<float>(d));
}

// The value a column gives, typed by its declared type; stored values the type cannot hold are
// returned as they are rather than altered.
Value ReadColumn(sqlite3_stmt* st, int col, ColumnKind kind) {
    const int storage = sqlite3_column_type(st, col);
    if (storage == SQLITE_NULL) return Value::Null();
    const bool numeric = storage == SQLITE_INTEGER || storage == SQLITE_FLOAT;
    if (storage == SQLITE_BLOB || kind == ColumnKind::ByStorage) return ByStorage(st, col);
    switch (kind) {
        case ColumnKind::Boolean:
            return BooleanOf(st, col, numeric);
        case ColumnKind::Date:
            if (numeric) return Value::Date(sqlite3_column_double(st, col));
            if (auto day = ParseStoredDate(ColumnText(st, col))) return Value::Date(*day);
            return Value(ColumnText(st, col));
        case ColumnKind::Integer:
            if (storage == SQLITE_INTEGER) {
                const sqlite3_int64 n = sqlite3_column_int64(st, col);
                if (n >= std::numeric_limits<std::int16_t>::min() &&
                    n <= std::numeric_limits<std::int16_t>::max()) {
                    return Value::Integer(static_cast<std::int16_t>(n));
                }
            }
            return numeric ? NumberByStorage(st, col) : Value(ColumnText(st, col));
        case ColumnKind::Long:
        case ColumnKind::Double:
            if (kind == ColumnKind::Double && numeric) return Value::Double(sqlite3_column_double(st, col));
            return numeric ? NumberByStorage(st, col) : Value(ColumnText(st, col));
        case ColumnKind::Single:
            return numeric ? SingleOf(st, col) : Value(ColumnText(st, col));
        case ColumnKind::Currency:
            return numeric ? CurrencyOf(st, col) : Value(ColumnText(st, col));
        default:
            return Value(ColumnText(st, col));
    }
}

// A value converted to what its column holds, with the page language's conversion errors.
Value ConvertForColumn(const Value& v, ColumnKind kind) {
    if (v.isNull() || v.isEmpty()) return Value::Null();
    switch (kind) {
        case ColumnKind::Boolean:
            return Value::Boolean(CBool(v));
        case ColumnKind::Date: {
            const double day = CDate(v);
            StoredDateText(day);  // a date the store cannot hold fails here, before anything is written
            return Value::Date(day);
        }
        case ColumnKind::Integer:
            return Value::Integer(CInt(v));
        case ColumnKind::Long:
            return Value::Long(CLng(v));
        case ColumnKind::Single:
            return Value::Single(CSng(v));
        case ColumnKind::Double:
            return Value::Double(CDbl(v));
        case ColumnKind::Currency:
            return Value::Cur(CCur(v));
        case ColumnKind::Text:
            return Value(CStr(v));
        case ColumnKind::ByStorage:
            if (v.isArray()) throw VbError(kErrTypeMismatch, "Type mismatch");
            if (v.type() == VarType::Date) StoredDateText(v.real());
            return v;
    }
    return v;
}

void BindText(sqlite3_stmt* st, int index, const std::string& text) {
    sqlite3_bind_text(st, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

void BindValue(sqlite3_stmt* st, int index, const Value& v) {
    switch (v.type()) {
        case VarType::Empty:
        case VarType::Null:
            sqlite3_bind_null(st, index);
            return;
        case VarType::Boolean:
            sqlite3_bind_int(st, index, v.boolean() ? 1 : 0);
            return;
        case VarType::Integer:
        case VarType::Long:
            sqlite3_bind_int64(st, index, v.whole());
            return;
        case VarType::Single:
        case VarType::Double:
            sqlite3_bind_double(st, index, v.real());
            return;
        case VarType::Currency:
            sqlite3_bind_double(st, index, v.currency().toDouble());
            return;
        case VarType::Date:
            BindText(st, index, StoredDateText(v.real()));
            return;
        case VarType::String:
            BindText(st, index, v.text());
            return;
        case VarType::Bytes: {
            const auto& bytes = v.bytes();
            sqlite3_bind_blob(st, index, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
            return;
        }
        case VarType::Array:
            throw VbError(kErrTypeMismatch, "Type mismatch");
    }
}

// A column's value exactly as stored, for the "unchanged since read" test of a save.
struct StoredValue {
    int storage = SQLITE_NULL;
    sqlite3_int64 whole = 0;
    double real = 0;
    std::string bytes;

    static StoredValue Read(sqlite3_stmt* st, int col) {
        StoredValue s;
        s.storage = sqlite3_column_type(st, col);
        if (s.storage == SQLITE_INTEGER) s.whole = sqlite3_column_int64(st, col);
        if (s.storage == SQLITE_FLOAT) s.real = sqlite3_column_double(st, col);
        if (s.storage == SQLITE_TEXT || s.storage == SQLITE_BLOB) {
            const void* p = s.storage == SQLITE_TEXT ? static_cast<const void*>(sqlite3_column_text(st, col))
                                                     : sqlite3_column_blob(st, col);
            const auto size = static_cast<std::size_t>(sqlite3_column_bytes(st, col));
            if (p) s.bytes.assign(static_cast<const char*>(p), size);
        }
        return s;
    }

    void bind(sqlite3_stmt* st, int index) const {
        const int size = static_cast<int>(bytes.size());
        switch (storage) {
            case SQLITE_INTEGER:
                sqlite3_bind_int64(st, index, whole);
                break;
            case SQLITE_FLOAT:
                sqlite3_bind_double(st, index, real);
                break;
            case SQLITE_TEXT:
                sqlite3_bind_text(st, index, bytes.data(), size, SQLITE_TRANSIENT);
                break;
            case SQLITE_BLOB:
                sqlite3_bind_blob(st, index, bytes.data(), size, SQLITE_TRANSIENT);
                break;
            default:
                sqlite3_bind_null(st, index);
        }
    }
};

}  // namespace

// The columns a statement answers, as record sets read them: described once per compiled statement.
struct ColumnSet {
    std::vector<FieldInfo> fields;
    std::vector<ColumnKind> kinds;
    std::vector<std::string> baseColumns;  // per field: its table column, "" for expressions
    std::unordered_map<std::string, std::size_t, NoCaseHash, NoCaseEqual> byName;  // the first of a name
    // The engine compiles a statement again after a change of the schema; a description made before
    // that may name columns that are no longer there.
    int compiledAgain = 0;

    static int TimesCompiledAgain(sqlite3_stmt* st) {
        return sqlite3_stmt_status(st, SQLITE_STMTSTATUS_REPREPARE, 0);
    }

    static std::shared_ptr<const ColumnSet> Describe(sqlite3_stmt* st, int first) {
        auto set = std::make_shared<ColumnSet>();
        set->compiledAgain = TimesCompiledAgain(st);
        for (int c = first; c < sqlite3_column_count(st); ++c) {
            const char* declared = sqlite3_column_decltype(st, c);
            const char* table = sqlite3_column_table_name(st, c);
            set->fields.push_back({sqlite3_column_name(st, c), declared ? declared : "", table ? table : ""});
            set->kinds.push_back(KindOfDeclaredType(declared));
            const char* origin = sqlite3_column_origin_name(st, c);
            set->baseColumns.push_back(origin && declared ? origin : "");
            set->byName.emplace(set->fields.back().name, set->fields.size() - 1);
        }
        return set;
    }
};

namespace {

struct Row {
    sqlite3_int64 rowid = 0;
    std::vector<Value> values;
    std::vector<StoredValue> stored;  // updatable sets only
};

enum class EditMode { None, Edit, Add };

// Text after the leading SELECT keyword, or nullopt when the text does not start with it.
std::optional<std::string_view> AfterSelect(std::string_view sql) {
    std::size_t i = 0;
    while (i < sql.size() && std::isspace(static_cast<unsigned char>(sql[i]))) ++i;
    constexpr std::string_view kSelect = "SELECT";
    if (sql.size() - i <= kSelect.size() || !SameTextNoCase(sql.substr(i, kSelect.size()), kSelect))
        return std::nullopt;
    const char next = sql[i + kSelect.size()];
    if (std::isalnum(static_cast<unsigned char>(next)) || next == '_') return std::nullopt;
    return sql.substr(i + kSelect.size());
}

bool StartsWithWordNoCase(std::string_view text, std::string_view word) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    if (text.size() - i < word.size() || !SameTextNoCase(text.substr(i, word.size()), word)) return false;
    return i + word.size() == text.size() || !std::isalnum(static_cast<unsigned char>(text[i + word.size()]));
}

[[noreturn]] void NotOneTable(std::string_view detail) {
    throw VbError(kErrProvider, "An updatable record set must select the rows of one table" +
                                    (detail.empty() ? std::string(".") : ": " + std::string(detail) + "."));
}

}  // namespace

std::string SqlName(std::string_view name) { return QuotedName(name); }

// ------------------------------------------------------------ Connection ----

namespace {

// Engines of closed connections, per worker: opening a file costs several system calls and a
// schema read, every operation opens three, and the engine keeps the statements compiled on it.
class EnginePool {
public:
    struct Entry {
        std::unique_ptr<Connection::Engine> engine;
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
    };
    ~EnginePool() { alive_ = false; }
    static bool alive() { return alive_; }

    std::unique_ptr<Connection::Engine> take(const std::string& path, std::uint64_t device,
                                             std::uint64_t inode) {
        auto it = entries_.find(path);
        if (it == entries_.end()) return nullptr;
        Entry entry = std::move(it->second);
        entries_.erase(it);
        if (entry.device == device && entry.inode == inode) return std::move(entry.engine);
        return nullptr;  // the file was replaced: its engine closes here
    }
    void give(const std::string& path, Entry entry) { entries_.insert_or_assign(path, std::move(entry)); }

private:
    static thread_local bool alive_;
    std::unordered_map<std::string, Entry> entries_;
};

thread_local bool EnginePool::alive_ = true;
thread_local EnginePool gEnginePool;

std::unique_ptr<Connection::Engine> OpenEngine(const std::string& nativePath, const std::string& shownPath) {
    ConfigureEngine();
    sqlite3* db = nullptr;
    const int rc =
        sqlite3_open_v2(nativePath.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr);
    auto engine = std::make_unique<Connection::Engine>(db);  // closes the handle on every failure below
    auto fail = [&](const std::string& text) { throw VbError(kErrProvider, text); };
    if (rc != SQLITE_OK) {
        fail("Cannot open the file '" + shownPath + "': " + (db ? sqlite3_errmsg(db) : "out of memory") +
             ".");
    }
    sqlite3_extended_result_codes(db, 1);
    // Writers on other workers wait for each other instead of failing at once.
    sqlite3_busy_timeout(db, kBusyTimeoutMs);
    const int check = sqlite3_exec(db, "SELECT count(*) FROM sqlite_master", nullptr, nullptr, nullptr);
    if ((check & 0xff) == SQLITE_NOTADB) fail("Unrecognized database format '" + shownPath + "'.");
    if (check != SQLITE_OK) fail("Cannot open the file '" + shownPath + "': " + sqlite3_errmsg(db) + ".");
    // Readers then never block the writer. A file that cannot change its journal (read-only
    // media) keeps its own and still works.
    sqlite3_exec(db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
    // Every worker holds its own connections, and the operating system already caches the
    // files: a small page cache each keeps the server's memory from growing with the workers.
    sqlite3_exec(db, "PRAGMA cache_size=-512", nullptr, nullptr, nullptr);
    if (sqlite3_exec(db, "PRAGMA foreign_keys=ON", nullptr, nullptr, nullptr) != SQLITE_OK) {
        fail("Cannot open the file '" + shownPath + "': " + sqlite3_errmsg(db) + ".");
    }
    try {
        RegisterJetFunctions(db);
    } catch (const VbError& e) {
        fail(e.description());
    }
    return engine;
}

// Translating a text costs more than running most of the queries; a worker keeps what it translated.
const std::string& Translated(std::string_view jetSql) {
    static constexpr std::size_t kMaxTexts = 512;
    thread_local std::unordered_map<std::string, std::string> translations;
    auto it = translations.find(std::string(jetSql));
    if (it != translations.end()) return it->second;
    std::string sql = TranslateJetSql(jetSql);
    if (translations.size() >= kMaxTexts) translations.clear();
    return translations.emplace(std::string(jetSql), std::move(sql)).first->second;
}

// The translation lets each `?` that is a whole side of a comparison compare as a text does, without
// regard to case. That is wanted only where the value bound is a text: on a number or a date the
// collation would keep the engine from an index of the column. The text for these params.
std::string ForParams(std::string_view sql, const SqlParams& params) {
    constexpr std::string_view kNoCase = " COLLATE NOCASE";
    std::string out;
    out.reserve(sql.size());
    std::size_t placeholder = 0;
    char quote = 0;
    for (std::size_t i = 0; i < sql.size(); ++i) {
        const char c = sql[i];
        out += c;
        if (quote) {
            if (c == quote) quote = 0;  // a doubled quote closes and opens again: the same text
            continue;
        }
        if (c == '\'' || c == '"') {
            quote = c;
            continue;
        }
        if (c != '?') continue;
        const bool text = placeholder < params.size() && params[placeholder].isString();
        ++placeholder;
        if (!text && sql.substr(i + 1, kNoCase.size()) == kNoCase) i += kNoCase.size();
    }
    return out;
}

// The translation of a text for the params it is run with.
std::string TranslatedFor(std::string_view jetSql, const SqlParams& params) {
    const std::string& sql = Translated(jetSql);
    return params.empty() ? sql : ForParams(sql, params);
}

void BindAll(sqlite3_stmt* st, const SqlParams& params) {
    const int wanted = sqlite3_bind_parameter_count(st);
    if (wanted != static_cast<int>(params.size())) {
        throw VbError(kErrProvider, "The query takes " + std::to_string(wanted) + " parameters, " +
                                        std::to_string(params.size()) + " were given.");
    }
    for (std::size_t i = 0; i < params.size(); ++i) BindValue(st, static_cast<int>(i) + 1, params[i]);
}

// Runs a statement to its end; the rows it changed.
long RunToEnd(Statement& st, sqlite3* db) {
    while (st.step()) {
    }
    return sqlite3_stmt_readonly(st.get()) ? 0 : static_cast<long>(sqlite3_changes(db));
}

}  // namespace

void ConfigureEngine() {
    // The allocation statistics take a process-wide lock on every allocation; nothing reads them.
    static std::once_flag configured;
    std::call_once(configured, [] { sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0); });
}

long StatementCompilations() { return gCompilations.load(std::memory_order_relaxed); }

Connection::Connection() = default;
Connection::~Connection() { close(); }

void Connection::open(const std::string& nativePath, const std::string& shownPath) {
    if (engine_) throw VbError(kErrObjectOpen, "Operation is not allowed when the object is open.");
    struct stat file {};
    if (::stat(nativePath.c_str(), &file) != 0 || !S_ISREG(file.st_mode)) {
        throw VbError(kErrProvider, "Could not find file '" + shownPath + "'.");
    }
    const auto device = static_cast<std::uint64_t>(file.st_dev);
    const auto inode = static_cast<std::uint64_t>(file.st_ino);
    engine_ = gEnginePool.take(nativePath, device, inode);
    if (!engine_) engine_ = OpenEngine(nativePath, shownPath);
    path_ = nativePath;
    device_ = device;
    inode_ = inode;
}

void Connection::close() {
    if (!engine_) return;
    std::unique_ptr<Engine> engine = std::move(engine_);
    // A transaction left open must not reach the next user of the engine.
    if (!sqlite3_get_autocommit(engine->db)) sqlite3_exec(engine->db, "ROLLBACK", nullptr, nullptr, nullptr);
    if (EnginePool::alive()) gEnginePool.give(path_, EnginePool::Entry{std::move(engine), device_, inode_});
}

void Connection::release() {
    if (!engine_) return;
    if (!sqlite3_get_autocommit(engine_->db))
        sqlite3_exec(engine_->db, "ROLLBACK", nullptr, nullptr, nullptr);
    engine_.reset();
}

Connection::Engine& Connection::engine() const {
    if (!engine_) ObjectClosed();
    return *engine_;
}

sqlite3* Connection::handle() const { return engine().db; }

void Connection::beginReading() {
    if (sqlite3_get_autocommit(handle())) executeNative("BEGIN");
}

void Connection::endReading() {
    if (engine_ && !sqlite3_get_autocommit(engine_->db)) executeNative("COMMIT");
}

long Connection::execute(std::string_view jetSql, const SqlParams& params) {
    return executeNative(TranslatedFor(jetSql, params), params);
}

long Connection::executeNative(std::string_view sql, const SqlParams& params) {
    Statement st(engine(), sql);
    BindAll(st.get(), params);
    return RunToEnd(st, handle());
}

Value Connection::scalarNative(std::string_view sql, const SqlParams& params) {
    Statement st(engine(), sql);
    BindAll(st.get(), params);
    if (!st.step()) return Value::Null();
    return ReadColumn(st.get(), 0, KindOfDeclaredType(sqlite3_column_decltype(st.get(), 0)));
}

std::int64_t Connection::lastInsertRowid() const { return sqlite3_last_insert_rowid(handle()); }

// ------------------------------------------------------------- Recordset ----

struct Recordset::Impl {
    bool open = true;
    std::shared_ptr<const ColumnSet> cols = std::make_shared<const ColumnSet>();
    std::vector<Row> rows;
    long position = 0;  // -1 before the first row, rows.size() after the last
    bool currentDeleted = false;

    // Updatable sets.
    bool updatable = false;
    Connection* connection = nullptr;
    std::string loadSql;  // the query with the rowid as its first column
    SqlParams params;     // its parameters
    std::string table;    // the one table the rows come from
    bool loaded = true;   // false: rows holds only the rows this set added
    EditMode mode = EditMode::None;
    std::vector<Value> buffer;
    std::vector<bool> changed;

    long count() const { return static_cast<long>(rows.size()); }
    bool hasCurrent() const { return !currentDeleted && position >= 0 && position < count(); }
    bool needsLoad() const { return !loaded && !hasCurrent(); }

    std::size_t indexOf(std::string_view name) const {
        const auto found = cols->byName.find(name);
        if (found != cols->byName.end()) return found->second;
        ItemNotFound();
    }

    // The current row's value of a column (the edit buffer's while editing).
    Value valueAt(std::size_t index) {
        if (mode != EditMode::None) return buffer[index];
        if (needsLoad()) load();
        if (!hasCurrent()) NoCurrentRecord();
        return rows[static_cast<std::size_t>(position)].values[index];
    }

    [[noreturn]] static void ItemNotFound() {
        throw VbError(
            kErrItemNotFound,
            "Item cannot be found in the collection corresponding to the requested name or ordinal.");
    }

    // The statement's columns, from its cache when described there since it was last compiled.
    void describeColumns(const Statement& st, int first) {
        std::shared_ptr<const ColumnSet>* kept = st.columnsKept();
        if (kept && *kept && (*kept)->compiledAgain == ColumnSet::TimesCompiledAgain(st.get())) {
            cols = *kept;
            return;
        }
        cols = ColumnSet::Describe(st.get(), first);
        if (kept) *kept = cols;
    }

    Row readRow(sqlite3_stmt* st, int first) const {
        Row row;
        row.values.reserve(cols->kinds.size());
        for (std::size_t c = 0; c < cols->kinds.size(); ++c) {
            const int col = first + static_cast<int>(c);
            row.values.push_back(ReadColumn(st, col, cols->kinds[c]));
            if (updatable) row.stored.push_back(StoredValue::Read(st, col));
        }
        if (updatable) row.rowid = sqlite3_column_int64(st, 0);
        return row;
    }

    // Reads the rows of an updatable set; rows it added that the query does not return stay at the end.
    void load() {
        Statement st(connection->engine(), loadSql);
        BindAll(st.get(), params);
        std::vector<Row> read;
        while (st.step()) read.push_back(readRow(st.get(), 1));
        const std::optional<sqlite3_int64> current =
            hasCurrent() ? std::optional(rows[static_cast<std::size_t>(position)].rowid) : std::nullopt;
        for (Row& added : rows) {
            auto same = [&](const Row& r) { return r.rowid == added.rowid; };
            if (std::none_of(read.begin(), read.end(), same)) read.push_back(std::move(added));
        }
        rows = std::move(read);
        loaded = true;
        currentDeleted = false;
        position = 0;
        for (std::size_t i = 0; current && i < rows.size(); ++i) {
            if (rows[i].rowid == *current) position = static_cast<long>(i);
        }
    }

    void ensureLoaded() {
        if (!loaded) load();
    }

    // The table's current values of a row, or nullopt when it is gone.
    std::optional<Row> reread(sqlite3_int64 rowid, const std::vector<Value>& fallback) {
        std::string sql = "SELECT rowid";
        for (const std::string& column : cols->baseColumns)
            sql += ", " + (column.empty() ? "NULL" : QuotedName(column));
        sql += " FROM " + QuotedName(table) + " WHERE rowid = ?";
        Statement st(connection->engine(), sql);
        sqlite3_bind_int64(st.get(), 1, rowid);
        if (!st.step()) return std::nullopt;
        Row row = readRow(st.get(), 1);
        for (std::size_t c = 0; c < cols->baseColumns.size(); ++c) {
            if (cols->baseColumns[c].empty())
                row.values[c] = fallback[c];  // expressions are not re-evaluated
        }
        return row;
    }

    // "… WHERE rowid = ? AND every read column IS its value as read": a row changed or deleted by
    // another save since then matches nothing.
    std::string unchangedCondition() const {
        std::string where = " WHERE rowid = ?";
        for (const std::string& column : cols->baseColumns) {
            if (!column.empty()) where += " AND " + QuotedName(column) + " IS ? COLLATE BINARY";
        }
        return where;
    }

    int bindUnchanged(sqlite3_stmt* st, int index, const Row& row) const {
        sqlite3_bind_int64(st, index++, row.rowid);
        for (std::size_t c = 0; c < cols->baseColumns.size(); ++c) {
            if (!cols->baseColumns[c].empty()) row.stored[c].bind(st, index++);
        }
        return index;
    }

    void insertRow() {
        std::string names, marks;
        for (std::size_t c = 0; c < buffer.size(); ++c) {
            if (!changed[c]) continue;
            names += (names.empty() ? "" : ", ") + QuotedName(cols->baseColumns[c]);
            marks += marks.empty() ? "?" : ", ?";
        }
        const std::string sql =
            "INSERT INTO " + QuotedName(table) +
            (names.empty() ? " DEFAULT VALUES" : " (" + names + ") VALUES (" + marks + ")");
        sqlite3* db = connection->handle();
        Statement st(connection->engine(), sql);
        int index = 1;
        for (std::size_t c = 0; c < buffer.size(); ++c) {
            if (changed[c]) BindValue(st.get(), index++, buffer[c]);
        }
        st.step();
        const sqlite3_int64 rowid = sqlite3_last_insert_rowid(db);
        std::optional<Row> row = reread(rowid, buffer);
        if (!row) row = Row{rowid, buffer, {}};
        rows.push_back(std::move(*row));
        position = count() - 1;
        currentDeleted = false;
    }

    void updateRow() {
        Row& current = rows[static_cast<std::size_t>(position)];
        std::string assignments;
        for (std::size_t c = 0; c < buffer.size(); ++c) {
            if (changed[c])
                assignments += (assignments.empty() ? "" : ", ") + QuotedName(cols->baseColumns[c]) + " = ?";
        }
        if (assignments.empty()) return;
        sqlite3* db = connection->handle();
        Statement st(connection->engine(),
                     "UPDATE " + QuotedName(table) + " SET " + assignments + unchangedCondition());
        int index = 1;
        for (std::size_t c = 0; c < buffer.size(); ++c) {
            if (changed[c]) BindValue(st.get(), index++, buffer[c]);
        }
        bindUnchanged(st.get(), index, current);
        st.step();
        if (sqlite3_changes(db) == 0) RowChanged();
        std::optional<Row> row = reread(current.rowid, buffer);
        if (row) current = std::move(*row);
    }

    void deleteRow() {
        const Row& current = rows[static_cast<std::size_t>(position)];
        sqlite3* db = connection->handle();
        Statement st(connection->engine(), "DELETE FROM " + QuotedName(table) + unchangedCondition());
        bindUnchanged(st.get(), 1, current);
        st.step();
        if (sqlite3_changes(db) == 0) RowChanged();
        rows.erase(rows.begin() + position);
        currentDeleted = true;  // the following row is now at position; moveNext goes to it
    }

    void save() {
        if (mode == EditMode::Add) insertRow();
        if (mode == EditMode::Edit) updateRow();
        mode = EditMode::None;
    }

    // A pending change is saved before the cursor moves away from it.
    void beforeMove() {
        if (mode != EditMode::None) save();
        ensureLoaded();
    }
};

Recordset::Recordset(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Recordset::Recordset(Recordset&&) noexcept = default;
Recordset& Recordset::operator=(Recordset&&) noexcept = default;
Recordset::~Recordset() = default;

std::unique_ptr<Recordset::Impl> Recordset::ReadAll(Connection& cn, std::string_view sql,
                                                    const SqlParams& params, long maxRecords) {
    Statement st(cn.engine(), sql);
    BindAll(st.get(), params);
    auto impl = std::make_unique<Impl>();
    // The first step brings a statement compiled before a change of the schema up to date.
    bool hasRow = st.step();
    impl->describeColumns(st, 0);
    while (hasRow) {
        impl->rows.push_back(impl->readRow(st.get(), 0));
        if (maxRecords > 0 && impl->count() >= maxRecords) break;
        hasRow = st.step();
    }
    return impl;
}

namespace {

// A translated query without the ";" or blanks at its end, so that it can be extended or wrapped.
std::string_view StatementBody(std::string_view sql) {
    std::size_t end = sql.size();
    while (end > 0 && (std::isspace(static_cast<unsigned char>(sql[end - 1])) || sql[end - 1] == ';')) --end;
    return sql.substr(0, end);
}

}  // namespace

Recordset Recordset::Open(Connection& cn, std::string_view jetSql, const SqlParams& params, long maxRecords) {
    return Recordset(ReadAll(cn, TranslatedFor(jetSql, params), params, maxRecords));
}

Recordset Recordset::OpenRange(Connection& cn, std::string_view jetSql, long offset, long count,
                               const SqlParams& params) {
    const std::string sql = std::string(StatementBody(TranslatedFor(jetSql, params))) + " LIMIT ? OFFSET ?";
    SqlParams all = params;
    all.push_back(Value::Long(static_cast<std::int32_t>(std::max(count, 0L))));
    all.push_back(Value::Long(static_cast<std::int32_t>(std::max(offset, 0L))));
    return Recordset(ReadAll(cn, sql, all));
}

long CountRows(Connection& cn, std::string_view jetSql, const SqlParams& params) {
    const RowsToCount rows = ForCounting(jetSql);
    std::string counted(StatementBody(TranslatedFor(rows.jetSql, params)));
    // The engine leaves out a join that adds no rows and no read column only in a query of its own,
    // and a query with a LIMIT stays one.
    if (rows.joinsTables) counted += " LIMIT -1";
    const std::string sql = "SELECT COUNT(*) FROM (" + counted + ")";
    Statement st(cn.engine(), sql);
    BindAll(st.get(), params);
    st.step();
    return static_cast<long>(sqlite3_column_int64(st.get(), 0));
}

Recordset Recordset::OpenForUpdate(Connection& cn, std::string_view jetSql, const SqlParams& params) {
    const std::string sql = TranslatedFor(jetSql, params);
    const std::optional<std::string_view> selectList = AfterSelect(sql);
    if (!selectList || StartsWithWordNoCase(*selectList, "DISTINCT")) NotOneTable("");
    auto impl = std::make_unique<Impl>();
    impl->updatable = true;
    impl->connection = &cn;
    impl->loaded = false;
    impl->params = params;
    // The rowid finds the row again for a save; it is ambiguous, and refused, when the query joins tables.
    impl->loadSql = "SELECT rowid," + std::string(*selectList);
    std::optional<Statement> st;
    try {
        st.emplace(cn.engine(), impl->loadSql);
    } catch (const VbError& e) {
        Statement plain(cn.engine(), sql);  // the query's own error, when it has one
        NotOneTable(e.description());
    }
    impl->describeColumns(*st, 1);
    for (const FieldInfo& f : impl->cols->fields) {
        if (f.table.empty()) continue;
        if (!impl->table.empty() && !SameTextNoCase(impl->table, f.table)) NotOneTable("");
        impl->table = f.table;
    }
    if (impl->table.empty()) NotOneTable("");
    return Recordset(std::move(impl));
}

bool Recordset::isOpen() const { return impl_ && impl_->open; }

long Recordset::recordCount() {
    if (!isOpen()) ObjectClosed();
    impl_->ensureLoaded();
    return impl_->count();
}

bool Recordset::eof() {
    if (!isOpen()) ObjectClosed();
    if (impl_->needsLoad()) impl_->load();
    return impl_->rows.empty() || impl_->position >= impl_->count();
}

bool Recordset::bof() {
    if (!isOpen()) ObjectClosed();
    if (impl_->needsLoad()) impl_->load();
    return impl_->rows.empty() || impl_->position < 0;
}

void Recordset::moveFirst() {
    if (!isOpen()) ObjectClosed();
    impl_->beforeMove();
    impl_->position = 0;
    impl_->currentDeleted = false;
}

void Recordset::moveNext() {
    if (!isOpen()) ObjectClosed();
    impl_->beforeMove();
    if (impl_->currentDeleted) {
        impl_->currentDeleted = false;
        return;
    }
    if (impl_->position >= impl_->count()) NoCurrentRecord();
    ++impl_->position;
}

void Recordset::move(long n) {
    if (!isOpen()) ObjectClosed();
    impl_->beforeMove();
    Impl& s = *impl_;
    if (n == 0) return;
    if ((n > 0 && s.position >= s.count()) || (n < 0 && s.position < 0)) NoCurrentRecord();
    // After a delete the position already holds the next row.
    const long from = s.currentDeleted && n > 0 ? s.position - 1 : s.position;
    s.currentDeleted = false;
    s.position = std::clamp(from + n, -1L, s.count());
}

void Recordset::close() {
    if (!impl_) return;
    impl_->open = false;
    impl_->rows.clear();
    impl_->buffer.clear();
    impl_->mode = EditMode::None;
}

Value Recordset::field(std::string_view name) {
    if (!isOpen()) ObjectClosed();
    return impl_->valueAt(impl_->indexOf(name));
}

Value Recordset::fieldAt(std::size_t index) {
    if (!isOpen()) ObjectClosed();
    if (index >= impl_->cols->fields.size()) Impl::ItemNotFound();
    return impl_->valueAt(index);
}

const std::vector<FieldInfo>& Recordset::fields() {
    if (!isOpen()) ObjectClosed();
    return impl_->cols->fields;
}

namespace {
[[noreturn]] void ReadOnlySet() {
    throw VbError(kErrReadOnlySet,
                  "Current Recordset does not support updating. This may be a limitation of the provider, "
                  "or of the selected locktype.");
}
}  // namespace

void Recordset::addNew() {
    if (!isOpen()) ObjectClosed();
    if (!impl_->updatable) ReadOnlySet();
    if (impl_->mode != EditMode::None) impl_->save();
    impl_->mode = EditMode::Add;
    impl_->buffer.assign(impl_->cols->fields.size(), Value::Null());
    impl_->changed.assign(impl_->cols->fields.size(), false);
}

void Recordset::setField(std::string_view name, const Value& value) {
    if (!isOpen()) ObjectClosed();
    if (!impl_->updatable) ReadOnlySet();
    Impl& s = *impl_;
    const std::size_t index = s.indexOf(name);
    if (s.cols->baseColumns[index].empty()) {
        throw VbError(kErrProvider, "Field '" + s.cols->fields[index].name + "' cannot be updated.");
    }
    Value converted = ConvertForColumn(value, s.cols->kinds[index]);
    if (s.mode == EditMode::None) {
        if (s.needsLoad()) s.load();
        if (!s.hasCurrent()) NoCurrentRecord();
        s.mode = EditMode::Edit;
        s.buffer = s.rows[static_cast<std::size_t>(s.position)].values;
        s.changed.assign(s.cols->fields.size(), false);
    }
    s.buffer[index] = std::move(converted);
    s.changed[index] = true;
}

void Recordset::update() {
    if (!isOpen()) ObjectClosed();
    if (!impl_->updatable) ReadOnlySet();
    impl_->save();
}

void Recordset::cancelUpdate() {
    if (!isOpen()) ObjectClosed();
    impl_->mode = EditMode::None;
}

void Recordset::deleteCurrent() {
    if (!isOpen()) ObjectClosed();
    if (!impl_->updatable) ReadOnlySet();
    Impl& s = *impl_;
    s.mode = EditMode::None;
    if (s.needsLoad()) s.load();
    if (!s.hasCurrent()) NoCurrentRecord();
    s.deleteRow();
}

}  // namespace excursa
