#include "data/maintenance.h"

#include "data/schema.h"

#include "support/raw_db.h"
#include "support/request_writer.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace excursa {
namespace {

namespace fs = std::filesystem;

using testing::RawDb;

class MaintenanceTest : public ::testing::Test {
protected:
    void SetUp() override { CreateDatabaseFiles(folder_.str()); }

    std::string path(std::string_view name) const { return (folder_.path() / name).string(); }
    std::string file(DatabaseFile which) const { return path(DatabaseFileName(which)); }

    testing::TempFolder folder_;
};

// ---------------------------------------------------------------- copies

TEST_F(MaintenanceTest, CopiesWhileAWriterSavesAndKeepsEveryRequestSavedBefore) {
    const std::string requests = file(DatabaseFile::TripSchl);
    // Enough rows that a copy takes a while, so that the writer saves during it.
    RawDb(requests).run(
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000) "
        "INSERT INTO TRIPSREQ (CUSTOMER, TRIPCOM) SELECT 'RIVER', printf('%.500c', 'x') FROM n");
    testing::RequestWriter writer(requests);
    ASSERT_TRUE(writer.waitForMore(5)) << writer.failure();
    const std::int32_t savedBeforeFirstCopy = writer.lastSaved();

    for (int round = 0; round < 5; ++round) {
        ASSERT_TRUE(writer.waitForMore(3)) << writer.failure();
        const std::int32_t savedBefore = writer.lastSaved();
        const std::string copy = path("copy" + std::to_string(round) + ".db");
        CopyDatabase(requests, copy);

        EXPECT_TRUE(IntegrityProblems(copy).empty()) << "round " << round;
        RawDb copied(copy);
        EXPECT_EQ(
            copied.count("SELECT COUNT(*) FROM TRIPSREQ WHERE TRIPNUM <= " + std::to_string(savedBefore)),
            savedBefore)
            << "round " << round;
    }
    writer.stop();
    EXPECT_EQ(writer.failure(), "");
    EXPECT_GT(writer.lastSaved(), savedBeforeFirstCopy + 15) << "the writer went on saving during the copies";
}

TEST_F(MaintenanceTest, CopyNeverOverwritesAFile) {
    const std::string target = path("there.db");
    std::ofstream(target) << "keep me";
    EXPECT_THROW(CopyDatabase(file(DatabaseFile::Trip), target), DatabaseFileError);
    std::ifstream in(target);
    std::string content;
    std::getline(in, content);
    EXPECT_EQ(content, "keep me");
}

// ---------------------------------------------------------------- counts and integrity

TEST_F(MaintenanceTest, CountsTheRowsOfEveryTableInNameOrder) {
    RawDb(file(DatabaseFile::Security))
        .run(
            "INSERT INTO VLSCU (VLSC1) VALUES ('a'), ('b'), ('c'); INSERT INTO VLSCC (CHAINID) VALUES "
            "('PRIN');"
            "CREATE TABLE \"odd \"\"name\" (x)");
    const std::vector<TableRows> counts = CountRows(file(DatabaseFile::Security));
    std::vector<std::string> shown;
    for (const TableRows& t : counts) shown.push_back(t.table + "=" + std::to_string(t.rows));
    EXPECT_EQ(shown, (std::vector<std::string>{"odd \"name=0", "VLSCC=1", "VLSCU=3"}));
}

TEST_F(MaintenanceTest, IntegrityCheckFindsAnIndexThatDisagreesWithItsTable) {
    const std::string requests = file(DatabaseFile::TripSchl);
    EXPECT_TRUE(IntegrityProblems(requests).empty());
    RawDb(requests).run(
        "INSERT INTO TRIPSREQ (CUSTOMER, STATUS) VALUES ('MAPLE', 'Pending'), ('RIVER', 'Denied');"
        "PRAGMA writable_schema = ON;"
        "UPDATE sqlite_master SET sql = 'CREATE INDEX TRIPSREQ_STATUS ON TRIPSREQ (CUSTOMER)' "
        "WHERE name = 'TRIPSREQ_STATUS'");
    const std::vector<std::string> problems = IntegrityProblems(requests);
    ASSERT_FALSE(problems.empty());
    EXPECT_NE(problems.front().find("TRIPSREQ_STATUS"), std::string::npos) << problems.front();
}

// ---------------------------------------------------------------- schema comparison

struct GapCase {
    const char* name;
    DatabaseFile file;
    const char* change;
    std::vector<std::string> tables;
    std::vector<std::string> columns;  // "TABLE.COLUMN: definition"
};

class SchemaGapTest : public MaintenanceTest, public ::testing::WithParamInterface<GapCase> {};

TEST_P(SchemaGapTest, FindsWhatTheServiceNeedsAndTheFileLacks) {
    const GapCase& c = GetParam();
    if (*c.change) RawDb(file(c.file)).run(c.change);
    const SchemaGaps gaps = FindSchemaGaps(file(c.file), c.file);
    std::vector<std::string> columns;
    for (const MissingColumn& m : gaps.columns)
        columns.push_back(m.table + "." + m.column + ": " + m.definition);
    EXPECT_EQ(gaps.tables, c.tables);
    EXPECT_EQ(columns, c.columns);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SchemaGapTest,
    ::testing::Values(
        GapCase{"Complete", DatabaseFile::Trip, "", {}, {}},
        GapCase{"MissingTable", DatabaseFile::Security, "DROP TABLE VLSCC", {"VLSCC"}, {}},
        GapCase{"MissingColumns",
                DatabaseFile::TripSchl,
                "DROP INDEX TRIPSREQ_STATUS; DROP INDEX TRIPSREQ_CUSTOMER_STATUS; DROP INDEX TRIPSREQ_CHAINID_STATUS;"
                "ALTER TABLE TRIPSREQ DROP COLUMN STATUS;"
                "ALTER TABLE TRIPSREQ DROP COLUMN NUMADDL",
                {},
                {"TRIPSREQ.STATUS: STATUS TEXT COLLATE NOCASE", "TRIPSREQ.NUMADDL: NUMADDL SMALLINT"}},
        GapCase{"NamesInAnyLetterCase",
                DatabaseFile::Trip,
                "DROP TABLE GRADE; CREATE TABLE grade (Grade TEXT, description TEXT, active BOOLEAN)",
                {},
                {}},
        GapCase{"MoreThanNeededIsFine",
                DatabaseFile::Trip,
                "CREATE TABLE DESKTOP_ONLY (x); ALTER TABLE FUND ADD COLUMN GLCODE TEXT",
                {},
                {}}),
    [](const ::testing::TestParamInfo<GapCase>& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- files that are no database

struct FaultCase {
    const char* name;
    const char* content;  // nullptr: no file at all
    DatabaseFault fault;
};

class UnreadableFileTest : public MaintenanceTest, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(UnreadableFileTest, EveryOperationTellsWhatIsWrong) {
    const FaultCase& c = GetParam();
    const std::string target = path("odd.db");
    if (c.content) std::ofstream(target) << c.content;
    const std::vector<std::function<void()>> operations = {
        [&] { IntegrityProblems(target); },
        [&] { CountRows(target); },
        [&] { FindSchemaGaps(target, DatabaseFile::Trip); },
        [&] { CopyDatabase(target, path("copy.db")); },
    };
    for (std::size_t i = 0; i < operations.size(); ++i) {
        try {
            operations[i]();
            ADD_FAILURE() << "operation " << i << " did not fail";
        } catch (const DatabaseFileError& e) {
            EXPECT_EQ(e.fault(), c.fault) << "operation " << i << ": " << e.what();
            EXPECT_NE(std::string(e.what()).find(target), std::string::npos) << e.what();
        }
    }
    EXPECT_FALSE(fs::exists(path("copy.db")));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UnreadableFileTest,
    ::testing::Values(FaultCase{"Missing", nullptr, DatabaseFault::Unreadable},
                      FaultCase{"Text",
                                "[V.E.L. Options]\nSessionTimeOut=20\nThis is a settings file, not a "
                                "database; it is long enough to be taken for a header.\n",
                                DatabaseFault::NotADatabase}),
    [](const ::testing::TestParamInfo<FaultCase>& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- ownership

// Root reading a file the service owns must not leave side files the service cannot write.
TEST_F(MaintenanceTest, SideFilesMadeByRootGoToTheOwnerOfTheDatabase) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root";
    constexpr uid_t kService = 54321;
    const std::string trip = file(DatabaseFile::Trip);
    ASSERT_EQ(::chown(trip.c_str(), kService, kService), 0);
    RawDb holder(trip);  // the running service: its -wal and -shm stay while it is open
    holder.run("INSERT INTO FUND (FUND) VALUES ('GEN')");
    ASSERT_TRUE(fs::exists(trip + "-wal"));
    CountRows(trip);
    for (const char* side : {"-wal", "-shm"}) {
        struct stat info {};
        ASSERT_EQ(::stat((trip + side).c_str(), &info), 0) << side;
        EXPECT_EQ(info.st_uid, kService) << side;
        EXPECT_EQ(info.st_gid, kService) << side;
    }
}

}  // namespace
}  // namespace excursa
