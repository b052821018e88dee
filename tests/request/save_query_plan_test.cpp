// Every statement that saving a new request runs (with every check switched on, and the saved request
// shown again) finds its rows through an index: none reads a whole table, so the save costs the
// same with a thousand stored requests as with a hundred thousand.
#include "request/save_fixture.h"

#include "data/database.h"

#include <sqlite3.h>

#include <gtest/gtest.h>

#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <utility>

namespace excursa {
namespace {

using testing::NewForm;
using testing::SaveFixture;

// The statements run on every connection opened while the recorder lives: file and SQL text.
class StatementRecorder {
public:
    StatementRecorder() {
        Instance() = this;
        sqlite3_auto_extension(reinterpret_cast<void (*)()>(&Attach));
    }
    ~StatementRecorder() {
        sqlite3_cancel_auto_extension(reinterpret_cast<void (*)()>(&Attach));
        Instance() = nullptr;
    }

    void clear() {
        const std::lock_guard<std::mutex> lock(mutex_);
        statements_.clear();
    }

    std::set<std::pair<std::string, std::string>> statements() {
        const std::lock_guard<std::mutex> lock(mutex_);
        return statements_;
    }

private:
    static StatementRecorder*& Instance() {
        static StatementRecorder* instance = nullptr;
        return instance;
    }
    static int Attach(sqlite3* db, char**, const void*) {
        sqlite3_trace_v2(db, SQLITE_TRACE_STMT, &Trace, nullptr);
        return SQLITE_OK;
    }
    static int Trace(unsigned, void*, void* statement, void*) {
        auto* st = static_cast<sqlite3_stmt*>(statement);
        StatementRecorder* recorder = Instance();
        if (recorder == nullptr) return 0;
        const std::lock_guard<std::mutex> lock(recorder->mutex_);
        recorder->statements_.emplace(sqlite3_db_filename(sqlite3_db_handle(st), "main"), sqlite3_sql(st));
        return 0;
    }

    std::mutex mutex_;
    std::set<std::pair<std::string, std::string>> statements_;
};

// The tables a statement reads whole, by the engine's own plan.
std::set<std::string> ScannedTables(const std::string& file, const std::string& sql) {
    sqlite3* db = nullptr;
    sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
    RegisterJetFunctions(db);
    sqlite3_stmt* plan = nullptr;
    std::set<std::string> scanned;
    if (sqlite3_prepare_v2(db, ("EXPLAIN QUERY PLAN " + sql).c_str(), -1, &plan, nullptr) == SQLITE_OK) {
        while (sqlite3_step(plan) == SQLITE_ROW) {
            const std::string detail = reinterpret_cast<const char*>(sqlite3_column_text(plan, 3));
            if (detail.rfind("SCAN ", 0) == 0) scanned.insert(detail);
        }
    } else {
        scanned.insert("cannot explain: " + std::string(sqlite3_errmsg(db)));
    }
    sqlite3_finalize(plan);
    sqlite3_close(db);
    return scanned;
}

class SaveQueryPlanTest : public SaveFixture {};

TEST_F(SaveQueryPlanTest, EveryStatementOfTheSaveUsesAnIndex) {
    for (const char* flag : {"DESTINATION_REQ", "CONTACT_REQ", "CUSTOMER_REQ", "FUND_REQ", "PURPOSE_REQ",
                             "TRIPCAT_REQ", "GRADE_REQ", "DEPTIME_REQ", "NUMSTUDENTS_REQ"}) {
        require(flag);
    }
    setting("DISTRICT.USECUSTFUND", "True");
    setting("DISTRICT.DEPDT_LEADTIME", Value::Long(14));
    setting("DISTRICT.TOTAL_TRIPS_LIMIT", Value::Long(6));
    site_.sql("trip.db",
              "INSERT INTO Big_CalCalNotes (NoteDate, NoteText, NoteSeverity) VALUES ('2031-01-01 00:00:00', "
              "'Note', 2);");
    const long count = requestCount();
    std::set<std::pair<std::string, std::string>> statements;
    {
        StatementRecorder recorder;
        // A worker of its own opens the files afresh, so that the recorder sees its connections.
        std::thread worker([&] {
            MemoryHost browser(*app_);
            newRequest(browser, "teacher");
            recorder.clear();
            post(browser, NewForm().set("fund", "PTA"));
        });
        worker.join();
        statements = recorder.statements();
    }
    ASSERT_EQ(requestCount(), count + 1);
    bool countedTheDay = false;
    for (const auto& [file, sql] : statements) {
        EXPECT_EQ(ScannedTables(file, sql), std::set<std::string>{}) << sql;
        countedTheDay = countedTheDay || sql.find("COUNT(*) AS Requests") != std::string::npos;
    }
    EXPECT_TRUE(countedTheDay) << "the trips-per-day check ran";
    EXPECT_GT(statements.size(), 10u);
}

}  // namespace
}  // namespace excursa
