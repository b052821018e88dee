#include "startup/site_backup.h"

#include "data/maintenance.h"
#include "startup/site_archive.h"
#include "startup/site_files.h"
#include "startup/site_lock.h"

#include "support/raw_db.h"
#include "support/request_writer.h"
#include "support/test_site.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <stdexcept>
#include <string>
#include <vector>

#include <sys/stat.h>

namespace excursa {
namespace {

namespace fs = std::filesystem;

using testing::RawDb;

const std::string kRequests = "drives/c/VEL/Data/Lakemont/Tripschl.db";
const std::string kTrip = "drives/c/VEL/Data/Lakemont/trip.db";
const std::string kSecurity = "drives/c/VEL/Data/Lakemont/twvlsc1.db";

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

std::string ErrorOf(const std::function<void()>& body) {
    try {
        body();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "(no error)";
}

// Every file in the folder and below it, relative, sorted.
std::vector<std::string> FilesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (entry.is_regular_file()) names.push_back(fs::relative(entry.path(), folder).generic_string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

class SiteBackupTest : public ::testing::Test {
protected:
    fs::path siteFile(const std::string& entry) const { return site_.root().path() / entry; }
    RawDb db(const std::string& entry) const { return RawDb(siteFile(entry)); }
    std::string archive(const std::string& name = "backup.zip") const {
        return (backups_.path() / name).string();
    }

    // The rows of a table as one text, to compare a file before and after.
    std::string dump(const fs::path& file, const std::string& table) const {
        std::string text;
        for (const auto& row : RawDb(file).rows("SELECT * FROM " + table + " ORDER BY rowid")) {
            for (const std::string& cell : row) text += cell + "|";
            text += "\n";
        }
        return text;
    }

    void fillSomeData() const {
        site_.sql(
            "trip.db",
            "INSERT INTO FUND (FUND, FUNDDESC, ACTIVE) VALUES ('GEN', 'General', 1), ('ATH', 'Sports', 1)");
        site_.sql("twvlsc1.db", "INSERT INTO VLSCU (VLSC1, VLSC2, ROLE) VALUES ('ann', 'pw', 'TEACHER')");
        site_.sql("Tripschl.db",
                  "INSERT INTO TRIPSREQ (CUSTOMER, PURPOSE, DEPDATE) VALUES ('MAPLE', 'Zoo', '2030-05-02 "
                  "00:00:00'),"
                  "('RIVER', 'Museum', '2030-06-11 00:00:00')");
    }

    // The archive's copy of an entry, unpacked.
    fs::path unpacked(const std::string& archivePath, const std::string& entry) const {
        const fs::path target = backups_.path() / ("unpacked-" + std::to_string(unpackCount_++));
        ArchiveReader(archivePath).extract(entry, target.string());
        return target;
    }

    testing::TestSite site_;
    testing::TempFolder backups_;
    mutable int unpackCount_ = 0;
};

// ---------------------------------------------------------------- backup

TEST_F(SiteBackupTest, EveryCopyTakenWhileRequestsAreSavedIsSoundAndComplete) {
    site_.sql("Tripschl.db",
              "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 2000) "
              "INSERT INTO TRIPSREQ (CUSTOMER, TRIPCOM) SELECT 'RIVER', printf('%.500c', 'x') FROM n");
    testing::RequestWriter writer(siteFile(kRequests));
    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(writer.waitForMore(3)) << writer.failure();
        const std::int32_t savedBefore = writer.lastSaved();
        const std::string file = archive("round" + std::to_string(round) + ".zip");
        const std::vector<std::string> lines = BackupSite(file);

        const fs::path copy = unpacked(file, kRequests);
        EXPECT_TRUE(IntegrityProblems(copy.string()).empty()) << "round " << round;
        EXPECT_EQ(RawDb(copy).count("SELECT COUNT(*) FROM TRIPSREQ WHERE TRIPNUM <= " +
                                    std::to_string(savedBefore)),
                  savedBefore)
            << "round " << round;
        const auto copied = std::find_if(lines.begin(), lines.end(), [](const std::string& line) {
            return line.rfind("copied " + kRequests + ": 1 table, ", 0) == 0;
        });
        EXPECT_NE(copied, lines.end()) << Joined(lines);
    }
    writer.stop();
    EXPECT_EQ(writer.failure(), "");
}

TEST_F(SiteBackupTest, ArchiveHoldsTheDataAndSettingsAndOnlyItsOwnerReadsIt) {
    fillSomeData();
    const std::vector<std::string> lines = BackupSite(archive());

    std::vector<std::string> entries = ArchiveReader(archive()).entries();
    std::sort(entries.begin(), entries.end());
    EXPECT_EQ(entries,
              (std::vector<std::string>{kRequests, kTrip, kSecurity, "registry.reg", "www/trip.ini"}));
    EXPECT_EQ(ReadFile(unpacked(archive(), "www/trip.ini")), ReadFile(siteFile("www/trip.ini")));
    EXPECT_EQ(dump(unpacked(archive(), kTrip), "FUND"), dump(siteFile(kTrip), "FUND"));

    struct stat info {};
    ASSERT_EQ(::stat(archive().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u) << "it holds passwords";
    EXPECT_EQ(FilesIn(backups_.path()), (std::vector<std::string>{"backup.zip", "unpacked-0", "unpacked-1"}))
        << "no working files left";

    const std::string shown = Joined(lines);
    EXPECT_NE(shown.find("copied " + kSecurity + ": 2 tables, 1 row, integrity ok\n"), std::string::npos)
        << shown;
    EXPECT_TRUE(std::regex_search(shown, std::regex("\n    VLSCU +1\n"))) << shown;
    EXPECT_NE(shown.find("copied registry.reg\ncopied www/trip.ini\nwrote " + archive()), std::string::npos)
        << shown;
}

TEST_F(SiteBackupTest, ADamagedDatabaseGivesNoArchive) {
    site_.sql("Tripschl.db",
              "INSERT INTO TRIPSREQ (CUSTOMER, STATUS) VALUES ('MAPLE', 'Pending');"
              "PRAGMA writable_schema = ON;"
              "UPDATE sqlite_master SET sql = 'CREATE INDEX TRIPSREQ_STATUS ON TRIPSREQ (CUSTOMER)' "
              "WHERE name = 'TRIPSREQ_STATUS'");
    const std::string error = ErrorOf([&] { BackupSite(archive()); });
    EXPECT_NE(error.find(kRequests + " fails its integrity check"), std::string::npos) << error;
    EXPECT_TRUE(FilesIn(backups_.path()).empty());
}

TEST_F(SiteBackupTest, SettingsOutsideTheSiteAreNamedButNotArchived) {
    testing::TempFolder elsewhere;
    elsewhere.write("trip.ini", "[V.E.L. Options]\nSessionTimeOut=20\n");
    site_.root().write(
        "registry.reg",
        "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\\Tarnwick Systems, Inc.\\Velway Transport Suite "
        "(V.E.L.) - Field Trip]\n\"INIPath\"=\"" +
            elsewhere.str() + "\"\n");
    const std::string shown = Joined(BackupSite(archive()));
    EXPECT_NE(shown.find("not copied trip.ini: '" + elsewhere.str() + "/trip.ini' lies outside the site"),
              std::string::npos)
        << shown;
    EXPECT_EQ(ArchiveReader(archive()).entries().size(), 4u);
}

TEST_F(SiteBackupTest, BackupIsRefusedWhileARestoreRuns) {
    const auto restoring = SiteLock::TryTake(SiteLock::Mode::Alone);
    ASSERT_TRUE(restoring && restoring->held());
    EXPECT_NE(ErrorOf([&] { BackupSite(archive()); }).find("A restore of this site is running"),
              std::string::npos);
    EXPECT_TRUE(FilesIn(backups_.path()).empty());
}

// ---------------------------------------------------------------- restore

TEST_F(SiteBackupTest, RestorePutsBackTheDataAndSettingsAndKeepsWhatItReplaced) {
    fillSomeData();
    const std::string requestsBefore = dump(siteFile(kRequests), "TRIPSREQ");
    const std::string iniBefore = ReadFile(siteFile("www/trip.ini"));
    BackupSite(archive());

    site_.sql(
        "Tripschl.db",
        "DELETE FROM TRIPSREQ WHERE CUSTOMER = 'MAPLE'; INSERT INTO TRIPSREQ (CUSTOMER) VALUES ('LATE')");
    site_.sql("trip.db", "DELETE FROM FUND");
    site_.writeTripIni({{"SessionTimeOut", "45"}});
    const std::string requestsAfter = dump(siteFile(kRequests), "TRIPSREQ");

    const std::vector<std::string> lines = RestoreSite({.archivePath = archive(), .force = true});

    EXPECT_EQ(dump(siteFile(kRequests), "TRIPSREQ"), requestsBefore);
    EXPECT_EQ(db(kTrip).count("SELECT COUNT(*) FROM FUND"), 2);
    EXPECT_EQ(ReadFile(siteFile("www/trip.ini")), iniBefore);
    EXPECT_TRUE(IntegrityProblems(siteFile(kTrip).string()).empty());

    std::vector<std::string> kept;
    for (const std::string& file : FilesIn(site_.root().path())) {
        EXPECT_EQ(file.find(".restoring-"), std::string::npos) << file;
        if (file.find(".before-restore-") != std::string::npos) kept.push_back(file);
    }
    ASSERT_EQ(kept.size(), 4u) << "three database files and trip.ini; registry.reg was the same";
    const auto keptRequests = std::find_if(kept.begin(), kept.end(), [](const std::string& file) {
        return file.rfind(kRequests + ".before-restore-", 0) == 0;
    });
    ASSERT_NE(keptRequests, kept.end());
    EXPECT_EQ(dump(siteFile(*keptRequests), "TRIPSREQ"), requestsAfter);

    const std::string shown = Joined(lines);
    EXPECT_NE(shown.find("restored " + kRequests + ": 1 table, 2 rows, integrity ok\n"), std::string::npos)
        << shown;
    EXPECT_NE(shown.find("    the former file is kept as Tripschl.db.before-restore-"), std::string::npos)
        << shown;
    EXPECT_NE(shown.find("unchanged registry.reg"), std::string::npos) << shown;
}

TEST_F(SiteBackupTest, RestoreReplacesFilesThatHoldDataOnlyWhenForced) {
    BackupSite(archive());
    fillSomeData();
    const std::string requests = dump(siteFile(kRequests), "TRIPSREQ");
    const std::vector<std::string> filesBefore = FilesIn(site_.root().path());

    const std::string error = ErrorOf([&] { RestoreSite({.archivePath = archive()}); });

    EXPECT_NE(error.find("replaces them only when --force is given"), std::string::npos) << error;
    for (const std::string& entry : {kTrip, kSecurity, kRequests}) {
        EXPECT_NE(error.find(entry + " ("), std::string::npos) << entry << "\n" << error;
    }
    EXPECT_NE(error.find(kRequests + " (2 rows)"), std::string::npos) << error;
    EXPECT_EQ(dump(siteFile(kRequests), "TRIPSREQ"), requests);
    EXPECT_EQ(FilesIn(site_.root().path()), filesBefore) << "nothing replaced, nothing left behind";
}

TEST_F(SiteBackupTest, RestoreIntoANewSiteNeedsNoForce) {
    fillSomeData();
    BackupSite(archive());
    testing::TestSite fresh;  // a new machine: init made the files, without rows
    const std::vector<std::string> lines = RestoreSite({.archivePath = archive()});
    EXPECT_EQ(RawDb(fresh.dataFolder() / "Tripschl.db").count("SELECT COUNT(*) FROM TRIPSREQ"), 2)
        << Joined(lines);
    EXPECT_EQ(RawDb(fresh.dataFolder() / "twvlsc1.db").text("SELECT VLSC1 FROM VLSCU"), "ann");
}

TEST_F(SiteBackupTest, RestoreRefusesWhileTheSiteIsServed) {
    fillSomeData();
    BackupSite(archive());
    site_.sql("Tripschl.db", "DELETE FROM TRIPSREQ");
    {
        const auto serving = SiteLock::TryTake(SiteLock::Mode::Shared);
        ASSERT_TRUE(serving && serving->held());
        const std::string error = ErrorOf([&] { RestoreSite({.archivePath = archive(), .force = true}); });
        EXPECT_NE(error.find("A server is serving " + site_.root().str()), std::string::npos) << error;
        EXPECT_EQ(db(kRequests).count("SELECT COUNT(*) FROM TRIPSREQ"), 0);
        for (const std::string& file : FilesIn(site_.root().path())) {
            EXPECT_EQ(file.find("restor"), std::string::npos) << file;
        }
    }
    RestoreSite({.archivePath = archive(), .force = true});
    EXPECT_EQ(db(kRequests).count("SELECT COUNT(*) FROM TRIPSREQ"), 2) << "once the server has stopped";
}

// A write-ahead log left by a crash belongs to the old file; beside the new one it would be read into it.
TEST_F(SiteBackupTest, AWriteAheadLogLeftBesideAFileGoesWithIt) {
    fillSomeData();
    BackupSite(archive());
    const fs::path requests = siteFile(kRequests);
    const fs::path leftLog = backups_.path() / "left-wal";
    {
        RawDb crashed(requests);
        crashed.run(
            "PRAGMA wal_autocheckpoint = 0; DELETE FROM TRIPSREQ; INSERT INTO TRIPSREQ (CUSTOMER) VALUES "
            "('CRASH')");
        fs::copy_file(requests.string() + "-wal", leftLog);
    }
    fs::copy_file(leftLog, requests.string() + "-wal");

    RestoreSite({.archivePath = archive(), .force = true});

    EXPECT_EQ(db(kRequests).text(
                  "SELECT GROUP_CONCAT(CUSTOMER) FROM (SELECT CUSTOMER FROM TRIPSREQ ORDER BY TRIPNUM)"),
              "MAPLE,RIVER");
    EXPECT_TRUE(IntegrityProblems(requests.string()).empty());
    const std::vector<std::string> files = FilesIn(requests.parent_path());
    EXPECT_TRUE(std::any_of(files.begin(), files.end(), [](const std::string& file) {
        return file.rfind("Tripschl.db.before-restore-", 0) == 0 && file.size() > 4 &&
               file.substr(file.size() - 4) == "-wal";
    })) << Joined(files);
}

struct BadArchiveCase {
    const char* name;
    std::function<void(const std::string& good, const std::string& bad)> make;
    const char* error;
};

class BadArchiveTest : public SiteBackupTest, public ::testing::WithParamInterface<BadArchiveCase> {};

TEST_P(BadArchiveTest, IsRefusedBeforeAnythingIsReplaced) {
    fillSomeData();
    BackupSite(archive());
    site_.sql("Tripschl.db", "DELETE FROM TRIPSREQ");
    const std::vector<std::string> filesBefore = FilesIn(site_.root().path());
    const std::string bad = archive("bad.zip");
    GetParam().make(archive(), bad);

    const std::string error = ErrorOf([&] { RestoreSite({.archivePath = bad, .force = true}); });

    EXPECT_NE(error.find(GetParam().error), std::string::npos) << error;
    EXPECT_EQ(db(kRequests).count("SELECT COUNT(*) FROM TRIPSREQ"), 0);
    EXPECT_EQ(FilesIn(site_.root().path()), filesBefore);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, BadArchiveTest,
    ::testing::Values(BadArchiveCase{"Missing", [](const std::string&, const std::string&) {},
                                     "Could not read the archive"},
                      BadArchiveCase{"NotAZipFile",
                                     [](const std::string&, const std::string& bad) {
                                         std::ofstream(bad) << "just text\n";
                                     },
                                     "is not a backup of a site"},
                      BadArchiveCase{
                          "WithoutTheDatabases",
                          [](const std::string&, const std::string& bad) {
                              testing::TempFolder other;
                              const fs::path ini = other.write("trip.ini", "[V.E.L. Options]\n");
                              WriteArchive(bad, {{"www/trip.ini", ini.string()}});
                          },
                          "is not a backup of a site: it holds no drives/c/VEL/Data/Lakemont/trip.db"},
                      BadArchiveCase{"DamagedEntry",
                                     [](const std::string& good, const std::string& bad) {
                                         std::string bytes = ReadFile(good);
                                         // Well inside the data of the first database file.
                                         const std::size_t at = bytes.find("Tripschl.db") + 400;
                                         for (std::size_t i = at; i < at + 32 && i < bytes.size(); ++i)
                                             bytes[i] = ~bytes[i];
                                         std::ofstream(bad, std::ios::binary) << bytes;
                                     },
                                     "is damaged"}),
    [](const ::testing::TestParamInfo<BadArchiveCase>& info) { return std::string(info.param.name); });

class ForeignEntryTest : public SiteBackupTest {
protected:
    // A backup of this site with one more entry, named `entry`, holding a settings text.
    void writeArchiveWith(const std::string& entry) {
        const fs::path ini = other_.write("trip.ini", "[V.E.L. Options]\nSessionTimeOut=5\n");
        std::vector<ArchiveMember> members;
        for (const std::string& e : {kTrip, kSecurity, kRequests})
            members.push_back({e, siteFile(e).string()});
        members.push_back({entry, ini.string()});
        WriteArchive(archive(), members);
    }
    testing::TempFolder other_;
};

TEST_F(ForeignEntryTest, FilesThatNoSiteHasAreSkipped) {
    writeArchiveWith("www/notes.txt");
    const std::string shown = Joined(RestoreSite({.archivePath = archive(), .force = true}));
    EXPECT_FALSE(fs::exists(siteFile("www/notes.txt")));
    EXPECT_NE(shown.find("skipped www/notes.txt: not a file of a site"), std::string::npos) << shown;
}

TEST_F(ForeignEntryTest, AnEntryNamedOutsideTheSiteNeverLeavesIt) {
    writeArchiveWith("aa/bb/trip.ini");
    // Zip tools refuse to write such a name, so it is put in afterwards, in place.
    std::string bytes = ReadFile(archive());
    for (std::size_t at = bytes.find("aa/bb/"); at != std::string::npos; at = bytes.find("aa/bb/", at)) {
        bytes.replace(at, 6, "../../");
    }
    std::ofstream(archive(), std::ios::binary | std::ios::trunc) << bytes;

    const std::string shown = Joined(RestoreSite({.archivePath = archive(), .force = true}));

    EXPECT_NE(shown.find("skipped ../../trip.ini: not a file of a site"), std::string::npos) << shown;
    EXPECT_FALSE(fs::exists(site_.root().path().parent_path().parent_path() / "trip.ini"));
}

}  // namespace
}  // namespace excursa
