#include "data/connections.h"
#include "config/diagnostic_log.h"
#include "config/site.h"
#include "frame/app_object.h"
#include "frame/worker_state.h"

#include "support/store_host.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <thread>

namespace excursa {
namespace {

namespace fs = std::filesystem;

using testing::StoreHost;

class ConnectionsTest : public ::testing::Test {
protected:
    void SetUp() override {
        Site::setRoot(root_);
        resetWorker();
        dataFolder_ = root_ + "/drives/c/VEL/Data/Lakemont/";
        fs::create_directories(dataFolder_);
        for (auto file : {kTripDbFile, kSecurityDbFile, kTripSchlDbFile}) createDatabase(std::string(file));
        strTripDataPath = "C:\\VEL\\Data\\Lakemont\\";
    }
    void TearDown() override { resetWorker(); }

    static void resetWorker() {
        cnTrip.reset();
        cnSecurity.reset();
        cnTripSchl.reset();
        cnTripCode.reset();
        strErrorText = kNoError;
        strAppPath.clear();
        strTripDataPath.clear();
    }

    void createDatabase(const std::string& file) {
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open((dataFolder_ + file).c_str(), &db), SQLITE_OK);
        sqlite3_exec(db, "CREATE TABLE Marker (x INTEGER)", nullptr, nullptr, nullptr);
        sqlite3_close(db);
    }

    static bool allOpen() {
        return cnTrip && cnTrip->isOpen() && cnSecurity && cnSecurity->isOpen() && cnTripSchl &&
               cnTripSchl->isOpen();
    }

    testing::TempFolder folder_;
    std::string root_ = folder_.str();
    std::string dataFolder_;
};

const std::string kMissingTripDb =
    "Error in Procedure: SetTripDBConnections of Module: WebCommon.  Error: -2147467259 - "
    "Could not find file 'C:\\VEL\\Data\\Lakemont\\trip.db'.; strTripDataPath=C:\\VEL\\Data\\Lakemont\\.";

TEST_F(ConnectionsTest, SetOpensTheThreeFiles) {
    SetTripDBConnections();
    EXPECT_EQ(strErrorText, kNoError);
    EXPECT_TRUE(allOpen());
    EXPECT_STREQ(sqlite3_db_filename(Use(cnSecurity).handle(), "main"),
                 fs::canonical(dataFolder_ + "twvlsc1.db").c_str());
}

TEST_F(ConnectionsTest, SetTwiceLeavesThreeFreshConnections) {
    SetTripDBConnections();
    const Connection* first = cnTrip.get();
    ASSERT_EQ(sqlite3_exec(Use(cnTrip).handle(), "BEGIN; INSERT INTO Marker (x) VALUES (42);", nullptr,
                           nullptr, nullptr),
              SQLITE_OK);
    SetTripDBConnections();
    EXPECT_EQ(strErrorText, kNoError);
    EXPECT_TRUE(allOpen());
    EXPECT_NE(cnTrip.get(), first);
    // Work left unfinished on a released connection never reaches the next one.
    EXPECT_NE(sqlite3_get_autocommit(Use(cnTrip).handle()), 0);
    Recordset rs = Recordset::Open(Use(cnTrip), "SELECT * FROM Marker WHERE x = 42");
    EXPECT_TRUE(rs.eof());
}

TEST_F(ConnectionsTest, MissingFileNamesItAndTheDataFolder) {
    fs::remove(dataFolder_ + "trip.db");
    SetTripDBConnections();
    EXPECT_EQ(strErrorText, kMissingTripDb);
    EXPECT_FALSE(cnTrip->isOpen());

    resetWorker();
    strTripDataPath = "C:\\VEL\\Data\\Lakemont\\";
    createDatabase("trip.db");
    fs::remove(dataFolder_ + "Tripschl.db");
    SetTripDBConnections();
    EXPECT_NE(strErrorText.find("Could not find file 'C:\\VEL\\Data\\Lakemont\\Tripschl.db'."),
              std::string::npos);
    EXPECT_TRUE(cnTrip->isOpen());  // those opened before the failure stay open
    EXPECT_TRUE(cnSecurity->isOpen());
    CloseTripDBConnections();
    EXPECT_FALSE(cnTrip);
    EXPECT_FALSE(cnSecurity);
    ASSERT_TRUE(cnTripSchl);  // never opened: left alone
    EXPECT_FALSE(cnTripSchl->isOpen());
}

TEST_F(ConnectionsTest, ClosingIsHarmlessWhateverTheHandlesHold) {
    CloseTripDBConnections();
    CloseTripCode();
    EXPECT_EQ(strErrorText, kNoError);

    SetTripDBConnections();
    CloseTripDBConnections();
    EXPECT_FALSE(cnTrip || cnSecurity || cnTripSchl);
    CloseTripDBConnections();
    EXPECT_EQ(strErrorText, kNoError);

    // An empty first handle does not keep the others open.
    SetTripDBConnections();
    cnTrip.reset();
    CloseTripDBConnections();
    EXPECT_FALSE(cnSecurity || cnTripSchl);
    EXPECT_EQ(strErrorText, kNoError);
}

TEST_F(ConnectionsTest, UsingAnEmptyHandleIsError91) {
    try {
        Use(cnTripCode);
        FAIL() << "no error";
    } catch (const VbError& e) {
        EXPECT_EQ(e.number(), kErrObjectNotSet);
    }
}

TEST_F(ConnectionsTest, PrepareDatabaseFillsTheWorkerState) {
    StoreHost host;
    host.application.set("APP_PATH", "/srv/site/www/");
    AppObject app(host);
    strTripDataPath.clear();
    EXPECT_TRUE(PrepareDatabase(app.host));
    EXPECT_EQ(strAppPath, "/srv/site/www/");
    EXPECT_EQ(strTripDataPath, "C:\\VEL\\Data\\Lakemont\\");
    EXPECT_TRUE(allOpen());

    strAppPath = "/kept/";
    fs::remove(dataFolder_ + "trip.db");
    EXPECT_FALSE(PrepareDatabase(app.host));
    EXPECT_EQ(strAppPath, "/kept/");
    EXPECT_EQ(strErrorText, kMissingTripDb);
    EXPECT_EQ(host.written, "");  // the caller writes the text
}

TEST_F(ConnectionsTest, FolderRenamedInAnotherLetterCaseIsFoundAgain) {
    SetTripDBConnections();
    ASSERT_TRUE(allOpen());
    CloseTripDBConnections();
    fs::rename(root_ + "/drives/c/VEL/Data/Lakemont", root_ + "/drives/c/VEL/Data/LAKEMONT");
    SetTripDBConnections();
    EXPECT_TRUE(allOpen()) << strErrorText;
    EXPECT_EQ(strErrorText, kNoError);
    EXPECT_NE(std::string(sqlite3_db_filename(Use(cnTrip).handle(), "main")).find("/LAKEMONT/trip.db"),
              std::string::npos);
}

TEST_F(ConnectionsTest, PageResourcesCloseWhatTheyOpenedHoweverTheProcedureEnds) {
    StoreHost host;
    std::optional<Recordset> held;
    try {
        PageResources db(host);
        ASSERT_TRUE(db.open());
        Recordset& marker = db.query(Use(cnTrip), "SELECT * FROM Marker");
        held = Recordset::Open(Use(cnSecurity), "SELECT * FROM Marker");
        db.closeAtEnd(held);
        EXPECT_TRUE(marker.isOpen());
        throw VbError(5, "Invalid procedure call or argument");
    } catch (const VbError&) {
    }
    EXPECT_FALSE(allOpen());
    EXPECT_FALSE(cnTrip) << "the handles are let go as CloseTripDBConnections does";
    EXPECT_FALSE(held) << "the record set held elsewhere is let go too";

    // A routine called with the connections open uses them and leaves them open for its caller.
    SetTripDBConnections();
    {
        PageResources db(host);
        ASSERT_TRUE(db.openUnlessOpen());
        db.query(Use(cnTrip), "SELECT * FROM Marker");
    }
    EXPECT_TRUE(allOpen());

    // An opening that fails part way closes the connections it did open.
    CloseTripDBConnections();
    fs::remove(dataFolder_ + kTripSchlDbFile.data());
    {
        PageResources db(host);
        EXPECT_FALSE(db.open());
        EXPECT_TRUE(cnTrip && cnTrip->isOpen());
    }
    EXPECT_FALSE(cnTrip);
    EXPECT_NE(strErrorText, kNoError);
}

// Another program's statement on trip.db, as the web files are kept: write-ahead logged.
void OnTripDbOutside(const std::string& dataFolder, const char* sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((dataFolder + kTripDbFile.data()).c_str(), &db), SQLITE_OK);
    sqlite3_busy_timeout(db, 2000);
    EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
}

long Markers() { return CountRows(Use(cnTrip), "SELECT * FROM Marker"); }

TEST_F(ConnectionsTest, APageThatOnlyReadsSeesTheFilesAsAtItsFirstQueryAndNoLonger) {
    OnTripDbOutside(dataFolder_, "PRAGMA journal_mode=WAL");
    StoreHost host;
    {
        PageResources db(host);
        ASSERT_TRUE(db.openToRead());
        EXPECT_EQ(Markers(), 0);
        OnTripDbOutside(dataFolder_, "INSERT INTO Marker VALUES (1)");
        EXPECT_EQ(Markers(), 0) << "one page, one state of the file";
    }
    EXPECT_FALSE(cnTrip);
    {
        PageResources db(host);
        ASSERT_TRUE(db.openToRead());
        EXPECT_EQ(Markers(), 1) << "the next page reads the file afresh";
        // A write meanwhile is kept, not rolled back with the reading.
        Use(cnTrip).execute("INSERT INTO Marker VALUES (2)");
    }
    {
        PageResources db(host);
        ASSERT_TRUE(db.open());
        EXPECT_EQ(Markers(), 2) << "the page's write reached the file";
    }
}

TEST_F(ConnectionsTest, APageThatOnlyReadsMayCloseAndReopenItsConnections) {
    StoreHost host;
    {
        PageResources db(host);
        ASSERT_TRUE(db.openToRead());
        EXPECT_EQ(Markers(), 0);
        CloseTripDBConnections();  // as the fund list does
        ASSERT_TRUE(PrepareDatabase(host));
        EXPECT_EQ(Markers(), 0);
    }
    EXPECT_FALSE(cnTrip);
    EXPECT_EQ(strErrorText, kNoError);
    OnTripDbOutside(dataFolder_, "INSERT INTO Marker VALUES (3)");  // nothing holds the file
}

TEST(NullHelpers, NullToSpaceAndNullToZero) {
    EXPECT_EQ(NullToSpace(Value::Null()), " ");
    EXPECT_EQ(NullToSpace(Value::Long(0)), "0");
    EXPECT_EQ(NullToSpace(Value("")), "");
    EXPECT_EQ(NullToSpace(Value()), "");
    EXPECT_EQ(NullToSpace(Value("Lakemont")), "Lakemont");

    EXPECT_EQ(NullToZero(Value::Null()), 0);
    EXPECT_EQ(NullToZero(Value("")), 0);
    EXPECT_EQ(NullToZero(Value()), 0);
    EXPECT_EQ(NullToZero(Value("12")), 12);
    EXPECT_EQ(NullToZero(Value::Long(-7)), -7);
    EXPECT_THROW(NullToZero(Value("twelve")), VbError);
}

class LogTest : public ConnectionsTest {
protected:
    std::vector<std::string> logLines() const {
        std::ifstream in(root_ + "/drives/c/VEL/ExcursaLakemont/log.txt");
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) lines.push_back(line);
        return lines;
    }
};

TEST_F(LogTest, WriteLogCreatesTheFolderAndAppends) {
    WriteLog("first");
    WriteLog("second");
    EXPECT_EQ(logLines(), (std::vector<std::string>{"first", "second"}));
}

TEST_F(LogTest, LinesFromManyThreadsNeverInterleave) {
    constexpr int kThreads = 8;
    constexpr int kLinesEach = 200;
    auto lineText = [](int thread, int n) {
        return "thread " + std::to_string(thread) + " line " + std::to_string(n) + " " +
               std::string(900, static_cast<char>('a' + thread));
    };
    std::vector<std::thread> writers;
    for (int t = 0; t < kThreads; ++t) {
        writers.emplace_back([t, &lineText] {
            for (int n = 0; n < kLinesEach; ++n) WriteLog(lineText(t, n));
        });
    }
    for (auto& writer : writers) writer.join();

    std::set<std::string> expected;
    for (int t = 0; t < kThreads; ++t) {
        for (int n = 0; n < kLinesEach; ++n) expected.insert(lineText(t, n));
    }
    const std::vector<std::string> lines = logLines();
    EXPECT_EQ(lines.size(), expected.size());
    EXPECT_EQ(std::set<std::string>(lines.begin(), lines.end()), expected);
}

TEST_F(LogTest, FailureIsReportedToTheOperatorOnly) {
    std::ofstream(root_ + "/plainfile") << "x";
    ::testing::internal::CaptureStderr();
    const bool written = AppendToTextFile(root_ + "/plainfile/sub/log.txt", "lost");
    const std::string report = ::testing::internal::GetCapturedStderr();
    EXPECT_FALSE(written);
    EXPECT_NE(report.find("AppendToTextFile: Error: "), std::string::npos) << report;
    EXPECT_EQ(strErrorText, kNoError);
}

}  // namespace
}  // namespace excursa
