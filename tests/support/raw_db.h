// Direct access to a database file for tests: set up rows and look at what
// the code under test stored, bypassing the code under test.
#pragma once

#include <sqlite3.h>

#include <filesystem>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace excursa::testing {

class RawDb {
public:
    explicit RawDb(const std::filesystem::path& path) {
        if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
            sqlite3_close(db_);
            throw std::runtime_error("cannot open " + path.string());
        }
    }
    ~RawDb() { sqlite3_close(db_); }
    RawDb(const RawDb&) = delete;
    RawDb& operator=(const RawDb&) = delete;

    // Rows as texts; a NULL reads as "<null>".
    std::vector<std::vector<std::string>> rows(const std::string& sql) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &statement, nullptr) != SQLITE_OK) {
            throw std::runtime_error(sqlite3_errmsg(db_) + std::string(" in ") + sql);
        }
        std::vector<std::vector<std::string>> result;
        while (sqlite3_step(statement) == SQLITE_ROW) {
            std::vector<std::string> row;
            for (int i = 0; i < sqlite3_column_count(statement); ++i) {
                const unsigned char* text = sqlite3_column_text(statement, i);
                row.emplace_back(text ? reinterpret_cast<const char*>(text) : "<null>");
            }
            result.push_back(std::move(row));
        }
        sqlite3_finalize(statement);
        return result;
    }
    std::string text(const std::string& sql) {
        auto result = rows(sql);
        return result.empty() ? "<none>" : result[0][0];
    }
    long count(const std::string& sql) { return std::stol(text(sql)); }
    // Runs statements; false when the engine refused them.
    bool tryRun(const std::string& sql) {
        return sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
    }
    void run(const std::string& sql) {
        if (!tryRun(sql)) throw std::runtime_error(sqlite3_errmsg(db_) + std::string(" in ") + sql);
    }

    std::set<std::string> tables() {
        std::set<std::string> names;
        for (auto& row :
             rows("SELECT name FROM sqlite_master WHERE type='table' AND name NOT LIKE 'sqlite_%'")) {
            names.insert(row[0]);
        }
        return names;
    }
    std::map<std::string, std::string> declaredTypes(const std::string& table) {
        std::map<std::string, std::string> types;
        for (auto& row : rows("PRAGMA table_info(" + table + ")")) types[row[1]] = row[2];
        return types;
    }

private:
    sqlite3* db_ = nullptr;
};

}  // namespace excursa::testing
