#include "data/schema.h"

#include "data/database.h"

#include "support/raw_db.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace excursa {
namespace {

namespace fs = std::filesystem;

using testing::TempFolder;

std::string InFolder(const TempFolder& folder, std::string_view name) {
    return (folder.path() / name).string();
}

using Db = testing::RawDb;

class SchemaFiles : public ::testing::Test {
protected:
    void SetUp() override { CreateDatabaseFiles(folder.path().string()); }
    std::string path(DatabaseFile which) const { return InFolder(folder, DatabaseFileName(which)); }
    TempFolder folder;
};

TEST(DatabaseFileNames, AreTheThreeDataFiles) {
    EXPECT_EQ(DatabaseFileName(DatabaseFile::Trip), "trip.db");
    EXPECT_EQ(DatabaseFileName(DatabaseFile::Security), "twvlsc1.db");
    EXPECT_EQ(DatabaseFileName(DatabaseFile::TripSchl), "Tripschl.db");
}

TEST_F(SchemaFiles, EveryTableLiesInItsFile) {
    const std::set<std::string> trip = {"ARDETAIL",      "BILLRATE",      "Big_CalCalNotes",
                                        "CUSTOMER",      "CUSTOMER_FUND", "CUSTOMER_TRIPCAT",
                                        "DESTCAT",       "DESTINATION",   "DISTRICT",
                                        "DIVISION",      "EMAIL_OPTIONS", "FUND",
                                        "GRADE",         "SCHEDMAST",     "TRIPCAT",
                                        "TRIPEMPLOYEES", "TRIPREQSTATUS", "TRIPREQ_REQUIRED",
                                        "TRIPS",         "TRIPSPLIT",     "TRIPTICKET_TEMPLATE",
                                        "VEHTYPE"};
    EXPECT_EQ(Db(path(DatabaseFile::Trip)).tables(), trip);
    EXPECT_EQ(Db(path(DatabaseFile::Security)).tables(), (std::set<std::string>{"VLSCC", "VLSCU"}));
    EXPECT_EQ(Db(path(DatabaseFile::TripSchl)).tables(), (std::set<std::string>{"TRIPSREQ"}));
}

TEST_F(SchemaFiles, DeclaredTypesCarryTheDesktopMeaning) {
    Db requests(path(DatabaseFile::TripSchl));
    auto request = requests.declaredTypes("TRIPSREQ");
    for (const char* column : {"NUMSTUDENTS", "NUMADULTS", "NUMHAND", "BILLRATE", "NUMTYPE", "NUMADDL"})
        EXPECT_EQ(request[column], "SMALLINT") << column;
    for (const char* column : {"ESTTIME", "ESTMILE", "AMOUNT1", "AMOUNT5", "MILES"})
        EXPECT_EQ(request[column], "SINGLE") << column;
    for (const char* column : {"DEPDATE", "RETDATE", "DEPTIME", "RETTIME", "ARRIVETIME", "LEAVETIME",
                               "STATUS_DATE", "REQDATE", "ENTERDATE"})
        EXPECT_EQ(request[column], "DATETIME") << column;
    for (const char* column : {"CALCNUMDRIVERS", "AUTOASSIGN"})
        EXPECT_EQ(request[column], "BOOLEAN") << column;
    for (const char* column : {"SCHEDULE", "Schedule2", "Schedule5", "TYPE", "ADDLTYPE", "CAPACITY",
                               "TICKET_FORMAT", "CUSTOMER", "STATUS", "CHAINID", "AMOUNTTXT3"})
        EXPECT_EQ(request[column], "TEXT") << column;
    EXPECT_EQ(request["TRIPNUM"], "INTEGER");
    EXPECT_EQ(request["DESTINATION"], "INTEGER");
    EXPECT_EQ(request["FIELDTRIP_NUM"], "INTEGER");

    Db trip(path(DatabaseFile::Trip));
    EXPECT_EQ(trip.declaredTypes("ARDETAIL")["TRANAMT"], "CURRENCY");
    EXPECT_EQ(trip.declaredTypes("TRIPS")["CANCELED"], "BOOLEAN");
    EXPECT_EQ(trip.declaredTypes("Big_CalCalNotes")["NoteDate"], "DATETIME");
    EXPECT_EQ(trip.declaredTypes("Big_CalCalNotes")["NoteSeverity"], "SMALLINT");
    EXPECT_EQ(Db(path(DatabaseFile::Security)).declaredTypes("VLSCU")["SCEXFOVD"], "BOOLEAN");
}

TEST_F(SchemaFiles, StartUpTablesHoldEveryColumnTheStartEventReads) {
    Db trip(path(DatabaseFile::Trip));
    auto required = trip.declaredTypes("TRIPREQ_REQUIRED");
    EXPECT_EQ(required.size(), 25u);
    for (auto& [column, type] : required) EXPECT_EQ(type, "BOOLEAN") << column;
    for (const char* column : {"REQUEST_DATE_REQUIRED", "FUND_REQUIRED", "CUSTOMER_REQUIRED", "NUMWHEEL_REQ",
                               "INVOICE_COMMENT_REQ"})
        EXPECT_TRUE(required.count(column)) << column;

    auto district = trip.declaredTypes("DISTRICT");
    for (const char* column : {"DISTNAME",
                               "DISTADDR1",
                               "DISTCITY",
                               "DISTSTATE",
                               "DISTZIP",
                               "DISTPHONE",
                               "DEFAULT_CALCNUMDRIVER",
                               "DEFAULTVTYPE",
                               "TRANSTITLE",
                               "AUTOFILL_REQUESTS",
                               "AUTOFILL",
                               "VIEW_OTHER_SCHOOLS",
                               "FUND_DD",
                               "DEPDT_LEADTIME",
                               "DEPDT_LEADTIME_HARDWARN",
                               "USECUSTFUND",
                               "TOTAL_TRIPS_LIMIT",
                               "TOTAL_TRIPS_LIMIT_MESSAGE",
                               "TOTAL_TRIPS_HARDWARN",
                               "TRIPREQ_COMMENT"})
        EXPECT_TRUE(district.count(column)) << column;
    EXPECT_EQ(trip.declaredTypes("EMAIL_OPTIONS").size(), 3u);
}

TEST_F(SchemaFiles, TextKeysMatchWithoutRegardToCase) {
    Db trip(path(DatabaseFile::Trip));
    ASSERT_TRUE(trip.tryRun("INSERT INTO CUSTOMER (CUSTOMER, CUSTNAME) VALUES ('maple', 'Maple Grove')"));
    EXPECT_EQ(trip.text("SELECT CUSTNAME FROM CUSTOMER WHERE CUSTOMER = 'MAPLE'"), "Maple Grove");
    EXPECT_FALSE(trip.tryRun("INSERT INTO CUSTOMER (CUSTOMER) VALUES ('Maple')"))
        << "a second code differing in case";
    ASSERT_TRUE(trip.tryRun("INSERT INTO CUSTOMER_FUND (CUSTOMER, FUND) VALUES ('MAPLE', 'GEN')"));
    EXPECT_FALSE(trip.tryRun("INSERT INTO CUSTOMER_FUND (CUSTOMER, FUND) VALUES ('maple', 'gen')"));
}

TEST_F(SchemaFiles, RequestNumbersAreNeverReused) {
    Db requests(path(DatabaseFile::TripSchl));
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(requests.tryRun("INSERT INTO TRIPSREQ (CUSTOMER) VALUES ('MAPLE')"));
    ASSERT_TRUE(requests.tryRun("DELETE FROM TRIPSREQ WHERE TRIPNUM = 3"));
    ASSERT_TRUE(requests.tryRun("INSERT INTO TRIPSREQ (CUSTOMER) VALUES ('RIVER')"));
    EXPECT_EQ(requests.text("SELECT TRIPNUM FROM TRIPSREQ WHERE CUSTOMER = 'RIVER'"), "4");

    ASSERT_TRUE(requests.tryRun("DELETE FROM TRIPSREQ"));
    ASSERT_TRUE(requests.tryRun("INSERT INTO TRIPSREQ (CUSTOMER) VALUES ('CEDAR')"));
    EXPECT_EQ(requests.text("SELECT TRIPNUM FROM TRIPSREQ"), "5") << "emptying the table keeps the counter";
}

TEST_F(SchemaFiles, LookupsAndSearchesUseIndexes) {
    Db requests(path(DatabaseFile::TripSchl));
    for (const char* column : {"CUSTOMER", "DEPDATE", "STATUS", "CHAINID", "REQDATE"}) {
        std::string plan = requests.rows("EXPLAIN QUERY PLAN SELECT * FROM TRIPSREQ WHERE " +
                                         std::string(column) + " = 'x'")[0][3];
        EXPECT_NE(plan.find("INDEX"), std::string::npos) << column << ": " << plan;
    }
    Db trip(path(DatabaseFile::Trip));
    for (const char* query :
         {"SELECT * FROM TRIPS WHERE TRIPREQNUM = 1", "SELECT * FROM TRIPS WHERE CUSTOMER = 'x'",
          "SELECT * FROM TRIPS WHERE DEPDATE = 'x'", "SELECT * FROM TRIPS WHERE FUND = 'x'",
          "SELECT * FROM ARDETAIL WHERE TRIPNUM = 1", "SELECT * FROM TRIPSPLIT WHERE TRIPNUM = 1",
          "SELECT * FROM TRIPEMPLOYEES WHERE TRIPNUM = 1",
          "SELECT * FROM Big_CalCalNotes WHERE NoteDate = 'x'",
          "SELECT * FROM CUSTOMER_FUND WHERE CUSTOMER = 'x'",
          "SELECT * FROM CUSTOMER_TRIPCAT WHERE CUSTOMER = 'x'"}) {
        std::string plan = trip.rows(std::string("EXPLAIN QUERY PLAN ") + query)[0][3];
        EXPECT_TRUE(plan.find("INDEX") != std::string::npos || plan.find("PRIMARY KEY") != std::string::npos)
            << query << ": " << plan;
    }
    std::string plan = Db(path(DatabaseFile::Security))
                           .rows("EXPLAIN QUERY PLAN SELECT * FROM VLSCU WHERE VLSC1 = 'x'")[0][3];
    EXPECT_NE(plan.find("INDEX"), std::string::npos) << plan;
}

TEST_F(SchemaFiles, SignInAndTheOneCustomerListUseAnIndexAsTranslated) {
    // The queries as the pages send them, through the dialect translation.
    const std::vector<std::pair<DatabaseFile, std::string>> queries{
        {DatabaseFile::Security, "Select * from VLSCU where trim$(VLSCU.VLSC1) = ?"},
        {DatabaseFile::Trip,
         "SELECT CUSTOMER.CUSTOMER, CUSTOMER.CUSTNAME, CUSTOMER.CHAINID From CUSTOMER WHERE "
         "trim$(ucase$(CUSTOMER.CUSTOMER))=?;"},
        {DatabaseFile::Trip, "SELECT * FROM CUSTOMER WHERE CUSTOMER.CUSTOMER = ?"},
    };
    for (const auto& [which, jetSql] : queries) {
        const std::string plan = Db(path(which)).rows("EXPLAIN QUERY PLAN " + TranslateJetSql(jetSql))[0][3];
        EXPECT_EQ(plan.find("SCAN"), std::string::npos) << jetSql << ": " << plan;
    }
}

TEST_F(SchemaFiles, IndexesAFileLacksAreAddedOnce) {
    Db(path(DatabaseFile::Security)).run("DROP INDEX VLSCU_VLSC1_TRIMMED");
    Db(path(DatabaseFile::TripSchl)).run("DROP TABLE TRIPSREQ");  // a missing table is the check's to report
    EXPECT_EQ(AddMissingIndexes(folder.path().string()),
              std::vector<std::string>{"added the index VLSCU_VLSC1_TRIMMED to twvlsc1.db"});
    EXPECT_EQ(Db(path(DatabaseFile::Security))
                  .count("SELECT count(*) FROM sqlite_master WHERE name = 'VLSCU_VLSC1_TRIMMED'"),
              1);
    EXPECT_TRUE(AddMissingIndexes(folder.path().string()).empty());
}

TEST_F(SchemaFiles, NewFilesUseWriteAheadLogging) {
    for (DatabaseFile which : kDatabaseFiles)
        EXPECT_EQ(Db(path(which)).text("PRAGMA journal_mode"), "wal") << DatabaseFileName(which);
}

TEST(CreateDatabaseFile, RefusesAnExistingFileAndLeavesItAlone) {
    TempFolder folder;
    std::string existing = InFolder(folder, "trip.db");
    std::ofstream(existing) << "the district's data";
    EXPECT_THROW(CreateDatabaseFile(existing, DatabaseFile::Trip), std::runtime_error);
    std::ifstream in(existing);
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(content, "the district's data");

    try {
        CreateDatabaseFile(existing, DatabaseFile::Trip);
    } catch (const std::runtime_error& error) {
        EXPECT_NE(std::string(error.what()).find("already exists"), std::string::npos) << error.what();
    }
}

TEST(CreateDatabaseFile, ReportsAFolderThatCannotHoldIt) {
    TempFolder folder;
    EXPECT_THROW(CreateDatabaseFile(InFolder(folder, "missing/trip.db"), DatabaseFile::Trip),
                 std::runtime_error);
    EXPECT_THROW(CreateDatabaseFiles(InFolder(folder, "missing")), std::runtime_error);
}

TEST(CreateDatabaseFiles, MakesOnlyTheMissingFiles) {
    TempFolder folder;
    CreateDatabaseFile(InFolder(folder, "twvlsc1.db"), DatabaseFile::Security);
    {
        Db security(InFolder(folder, "twvlsc1.db"));
        ASSERT_TRUE(security.tryRun("INSERT INTO VLSCU (VLSC1, VLSC2) VALUES ('keeper', 'secret')"));
    }
    CreatedFiles files = CreateDatabaseFiles(folder.path().string());
    EXPECT_EQ(files.created,
              (std::vector<std::string>{InFolder(folder, "trip.db"), InFolder(folder, "Tripschl.db")}));
    EXPECT_EQ(files.kept, (std::vector<std::string>{InFolder(folder, "twvlsc1.db")}));
    EXPECT_EQ(Db(InFolder(folder, "twvlsc1.db")).text("SELECT VLSC2 FROM VLSCU WHERE VLSC1 = 'keeper'"),
              "secret");

    CreatedFiles again = CreateDatabaseFiles(folder.path().string());
    EXPECT_TRUE(again.created.empty());
    EXPECT_EQ(again.kept.size(), 3u);
}

}  // namespace
}  // namespace excursa
