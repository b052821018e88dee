#include "startup/site_check.h"

#include "support/raw_db.h"
#include "support/test_site.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include <sys/stat.h>

namespace excursa {
namespace {

namespace fs = std::filesystem;

using testing::TestSite;

const std::string kRegistryHeader =
    "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\Software\\Tarnwick Systems, Inc.\\Velway "
    "Transport Suite (V.E.L.) - Field Trip]\n";

std::string Joined(const std::vector<Finding>& findings) {
    std::string text;
    for (const std::string& line : FindingLines(findings)) text += line + "\n";
    return text;
}

// trip.ini with one setting changed ("" value: present but empty; nullopt: left out).
void WriteSettings(const TestSite& site, const std::string& key, std::optional<std::string> value) {
    std::map<std::string, std::string> settings = testing::DefaultTripIni();
    if (value) {
        settings[key] = *value;
    } else {
        settings.erase(key);
    }
    site.writeTripIni(settings);
}

struct BrokenSite {
    const char* name;
    std::function<void(const TestSite&)> breakIt;
    std::string problem;  // found in the one finding's problem
    std::string mend;     // found in its mend
};

// Test lists name the case, not its bytes.
void PrintTo(const BrokenSite& site, std::ostream* out) { *out << site.name; }

class SiteCheckTest : public ::testing::TestWithParam<BrokenSite> {
protected:
    TestSite site_;
};

TEST_F(SiteCheckTest, AFreshSiteIsWell) {
    const std::vector<Finding> findings = CheckSite(ServiceUser::ThisProcess());
    EXPECT_TRUE(findings.empty()) << Joined(findings);
    ASSERT_EQ(FindingLines(findings).size(), 1u);
    EXPECT_EQ(FindingLines(findings).front().rfind("All is well", 0), 0u);
}

TEST_P(SiteCheckTest, SaysWhatIsWrongAndHowToMendIt) {
    GetParam().breakIt(site_);
    const std::vector<Finding> findings = CheckSite(ServiceUser::ThisProcess());
    ASSERT_EQ(findings.size(), 1u) << Joined(findings);
    EXPECT_NE(findings[0].problem.find(GetParam().problem), std::string::npos) << Joined(findings);
    EXPECT_NE(findings[0].mend.find(GetParam().mend), std::string::npos) << Joined(findings);
}

const std::string kData = "drives/c/VEL/Data/Lakemont/";

INSTANTIATE_TEST_SUITE_P(
    Registry, SiteCheckTest,
    ::testing::Values(
        BrokenSite{"NoRegistryFile", [](const TestSite& s) { fs::remove(s.root().path() / "registry.reg"); },
                   "There is no registry.reg", "excursa init --site"},
        BrokenSite{"RegistryInAnotherFormat",
                   [](const TestSite& s) { s.root().write("registry.reg", "INIPath=MULTIPLE\n"); },
                   "registry.reg cannot be read: The configuration registry database is corrupt",
                   "Windows Registry Editor Version 5.00"},
        BrokenSite{
            "NoIniPath",
            [](const TestSite& s) { s.root().write("registry.reg", kRegistryHeader + "\"Other\"=\"x\"\n"); },
            "registry.reg has no \"INIPath\" value", "\"INIPath\"=\"MULTIPLE\""},
        BrokenSite{"IniPathIsANumber",
                   [](const TestSite& s) {
                       s.root().write("registry.reg", kRegistryHeader + "\"INIPath\"=dword:1\n");
                   },
                   "\"INIPath\" in registry.reg is not a text value", "\"INIPath\"=\"MULTIPLE\""},
        BrokenSite{
            "IniPathFolderMissing",
            [](const TestSite& s) {
                s.root().write("registry.reg", kRegistryHeader + "\"INIPath\"=\"C:\\\\VEL\\\\Config\\\\\"\n");
            },
            "The folder that \"INIPath\" names, \"C:\\VEL\\Config\\\", does not exist", "\"MULTIPLE\""}),
    [](const ::testing::TestParamInfo<BrokenSite>& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Settings, SiteCheckTest,
    ::testing::Values(
        BrokenSite{"NoSettingsFile", [](const TestSite& s) { fs::remove(s.www() / "trip.ini"); },
                   "/www/trip.ini does not exist", "point \"INIPath\" in registry.reg at the folder"},
        BrokenSite{"NoSection",
                   [](const TestSite& s) { s.root().write("www/trip.ini", "SessionTimeOut=20\n"); },
                   "has no settings in a section [V.E.L. Options]", "Put the line [V.E.L. Options]"},
        BrokenSite{"MissingKey", [](const TestSite& s) { WriteSettings(s, "SmtpServer", std::nullopt); },
                   "\"SmtpServer\" in trip.ini is missing; the sign-in page shows an error",
                   "Write SmtpServer=mail.lakemont.example.org (with your own value) in the section [V.E.L. "
                   "Options]"},
        BrokenSite{"EmptyKey", [](const TestSite& s) { WriteSettings(s, "EmailFromName", ""); },
                   "\"EmailFromName\" in trip.ini is empty", "Write EmailFromName="},
        BrokenSite{"TimeOutNotANumber",
                   [](const TestSite& s) { WriteSettings(s, "SessionTimeOut", "twenty"); },
                   "\"SessionTimeOut\" in trip.ini is \"twenty\", which is not a number; nobody can sign in",
                   "for example SessionTimeOut=20"},
        BrokenSite{"TimeOutTooLarge", [](const TestSite& s) { WriteSettings(s, "SessionTimeOut", "50000"); },
                   "which is too large (at most 32767)", "SessionTimeOut=20"},
        BrokenSite{"TimeOutZero", [](const TestSite& s) { WriteSettings(s, "SessionTimeOut", "0"); },
                   "is \"0\"; it must be 1 or more", "SessionTimeOut=20"},
        BrokenSite{"PortNotANumber", [](const TestSite& s) { WriteSettings(s, "SmtpPort", "smtp"); },
                   "\"SmtpPort\" in trip.ini is \"smtp\", which is not a port number", "SmtpPort=25"},
        BrokenSite{"PortOutOfRange", [](const TestSite& s) { WriteSettings(s, "SmtpPort", "70000"); },
                   "which is not a port number (1 to 65535)", "SmtpPort=25"},
        BrokenSite{"AuthenticationInLowerCase",
                   [](const TestSite& s) { WriteSettings(s, "SmtpAuthentication", "true"); },
                   "\"SmtpAuthentication\" in trip.ini is \"true\", which counts as False: only \"True\"",
                   "SmtpAuthentication=True"},
        BrokenSite{"YesForDotNet", [](const TestSite& s) { WriteSettings(s, "DOTNETInstalled", "yes"); },
                   "\"DOTNETInstalled\" in trip.ini is \"yes\", which counts as False.",
                   "DOTNETInstalled=True"},
        BrokenSite{"AuthenticationWithoutUser",
                   [](const TestSite& s) {
                       std::map<std::string, std::string> settings = testing::DefaultTripIni();
                       settings["SmtpAuthentication"] = "True";
                       settings.erase("SmtpUsername");
                       s.writeTripIni(settings);
                   },
                   "\"SmtpUsername\" in trip.ini is missing", "SmtpUsername=fieldtrips"},
        BrokenSite{
            "ValueTooLong",
            [](const TestSite& s) { WriteSettings(s, "CalendarUrl", "https://x/" + std::string(250, 'a')); },
            "\"CalendarUrl\" in trip.ini is longer than 255 characters", "Shorten it"}),
    [](const ::testing::TestParamInfo<BrokenSite>& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Databases, SiteCheckTest,
    ::testing::Values(
        BrokenSite{"NoDataFolder", [](const TestSite& s) { fs::remove_all(s.dataFolder()); },
                   "/drives/c/VEL/Data/Lakemont does not exist, so nobody can sign in", "excursa restore"},
        BrokenSite{"MissingFile", [](const TestSite& s) { fs::remove(s.dataFolder() / "Tripschl.db"); },
                   "The database file " + kData + "Tripschl.db is missing", "excursa init --site"},
        BrokenSite{"NotADatabase",
                   [](const TestSite& s) {
                       s.root().write(kData + "twvlsc1.db",
                                      "These are the users, typed into a text file by someone in a hurry.\n");
                   },
                   kData + "twvlsc1.db is not a database file", "excursa restore --site"},
        BrokenSite{"MissingTable", [](const TestSite& s) { s.sql("twvlsc1.db", "DROP TABLE VLSCC"); },
                   kData + "twvlsc1.db has no table VLSCC", "restore the right file"},
        BrokenSite{"MissingColumns",
                   [](const TestSite& s) {
                       s.sql("Tripschl.db",
                             "ALTER TABLE TRIPSREQ DROP COLUMN SCHEDULE; "
                             "ALTER TABLE TRIPSREQ DROP COLUMN NUMADDL");
                   },
                   kData + "Tripschl.db: the table TRIPSREQ has no column SCHEDULE, NUMADDL",
                   "\"ALTER TABLE TRIPSREQ ADD COLUMN SCHEDULE TEXT COLLATE NOCASE; ALTER TABLE TRIPSREQ ADD "
                   "COLUMN NUMADDL SMALLINT;\""},
        BrokenSite{
            "FailsIntegrityCheck",
            [](const TestSite& s) {
                s.sql("trip.db",
                      "INSERT INTO CUSTOMER (CUSTOMER, CUSTNAME) VALUES ('MAPLE', 'Maple');"
                      "PRAGMA writable_schema = ON;"
                      "UPDATE sqlite_master SET sql = 'CREATE INDEX CUSTOMER_CUSTNAME ON CUSTOMER (CHAINID)' "
                      "WHERE name = 'CUSTOMER_CUSTNAME'");
            },
            kData + "trip.db fails its integrity check: ",
            "--force; the file it replaces is kept beside it"}),
    [](const ::testing::TestParamInfo<BrokenSite>& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------- what the service writes

class WritableCheckTest : public ::testing::Test {
protected:
    static constexpr uid_t kOwner = 54321;
    static constexpr gid_t kGroup = 54322;

    void SetUp() override {
        if (::geteuid() != 0) GTEST_SKIP() << "needs root to give the site to another user";
        for (const auto& entry : fs::recursive_directory_iterator(site_.root().path())) {
            ASSERT_EQ(::lchown(entry.path().c_str(), kOwner, kGroup), 0);
        }
        ASSERT_EQ(::chown(site_.root().str().c_str(), kOwner, kGroup), 0);
    }

    static ServiceUser User(uid_t uid, std::vector<gid_t> groups) {
        ServiceUser user;
        user.name = "user" + std::to_string(uid);
        user.uid = uid;
        user.groups = std::move(groups);
        return user;
    }

    std::vector<std::string> problems(const ServiceUser& user) const {
        std::vector<std::string> found;
        for (const Finding& f : CheckSite(user)) found.push_back(f.problem);
        return found;
    }

    TestSite site_;
};

TEST_F(WritableCheckTest, NamesEveryPlaceTheServiceMustWriteToAndCannot) {
    const std::string data = site_.dataFolder().string();
    const std::string root = site_.root().str();
    EXPECT_EQ(
        problems(User(60000, {60000})),
        (std::vector<std::string>{
            "The service user user60000 cannot write in the folder " + data +
                ", so the database files cannot be written (their -wal and -shm files are made there).",
            "The service user user60000 cannot write " + data + "/trip.db, so nothing can be saved in it.",
            "The service user user60000 cannot write " + data + "/twvlsc1.db, so nothing can be saved in it.",
            "The service user user60000 cannot write " + data +
                "/Tripschl.db, so nothing can be saved in it.",
            "The service user user60000 cannot write in the folder " + root +
                "/drives/c/VEL, so the diagnostic log " + root +
                "/drives/c/VEL/ExcursaLakemont/log.txt cannot be made.",
            "The service user user60000 cannot write in the folder " + root +
                ", so the server cannot make its lock file and will not start.",
        }));
}

TEST_F(WritableCheckTest, TheOwnerOrAMemberOfAGroupThatMayWriteIsWell) {
    EXPECT_TRUE(problems(User(kOwner, {kOwner})).empty()) << "the owner";
    EXPECT_FALSE(problems(User(60000, {60000, kGroup})).empty()) << "the group may only read so far";
    fs::permissions(site_.root().path(), fs::perms::group_write, fs::perm_options::add);
    for (const auto& entry : fs::recursive_directory_iterator(site_.root().path())) {
        fs::permissions(entry.path(), fs::perms::group_write, fs::perm_options::add);
    }
    EXPECT_TRUE(problems(User(60000, {60000, kGroup})).empty());
}

TEST_F(WritableCheckTest, AFolderAboveThatKeepsTheOwnerOutIsFound) {
    const fs::path data = site_.dataFolder();
    const fs::path above = data.parent_path();  // drives/c/VEL/Data
    ASSERT_EQ(::chown(above.c_str(), 0, 0), 0);
    fs::permissions(above, fs::perms::owner_all, fs::perm_options::replace);
    const std::vector<std::string> found = problems(User(kOwner, {kOwner}));
    ASSERT_EQ(found.size(), 4u);
    EXPECT_EQ(found[0].find("The service user user54321 cannot write in the folder " + data.string()), 0u)
        << found[0];
}

TEST(ServiceUser, UnknownNamesAreRefused) {
    EXPECT_THROW(ServiceUser::Named("no-such-user-on-this-machine"), std::runtime_error);
    const ServiceUser root = ServiceUser::Named("root");
    EXPECT_EQ(root.uid, 0u);
}

}  // namespace
}  // namespace excursa
