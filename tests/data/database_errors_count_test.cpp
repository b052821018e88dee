// Statements the engine refuses are counted for /metrics.
#include "data/database.h"
#include "frame/metrics.h"

#include "support/prometheus.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace excursa {
namespace {

double DatabaseErrors() {
    return testing::ParsePrometheusText(ProcessMetrics().text({}))["excursa_database_errors_total{}"];
}

TEST(DatabaseErrorsCount, EveryStatementTheEngineRefuses) {
    testing::TempFolder folder;
    const std::string path = (folder.path() / "trip.db").string();
    {
        sqlite3* db = nullptr;
        sqlite3_open(path.c_str(), &db);
        sqlite3_exec(db, "CREATE TABLE T (ID INTEGER PRIMARY KEY)", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }
    Connection cn;
    cn.open(path, "trip.mdb");
    const double before = DatabaseErrors();

    cn.execute("INSERT INTO T (ID) VALUES (1)");
    EXPECT_THROW(cn.execute("SELECT * FROM NoSuchTable"), VbError);
    EXPECT_THROW(cn.execute("INSERT INTO T (ID) VALUES (1)"), VbError);  // the key is taken

    EXPECT_EQ(DatabaseErrors() - before, 2);
}

}  // namespace
}  // namespace excursa
