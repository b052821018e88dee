#include "startup/site_init.h"

#include "data/schema.h"
#include "frame/value.h"
#include "startup/demo_district.h"

#include "support/raw_db.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace excursa {
namespace {

namespace fs = std::filesystem;

const fs::path kShippedTemplates = fs::path(EXCURSA_SOURCE_DIR) / "templates";

using testing::TempFolder;

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void WriteFile(const fs::path& path, const std::string& content) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

using Db = testing::RawDb;

// A small templates folder with a nested folder, standing in for the shipped one.
fs::path MakeTemplates(const fs::path& root) {
    fs::path templates = root / "templates";
    WriteFile(templates / "login1.htm", "<html>sign in</html>");
    WriteFile(templates / "css" / "excursa.css", "body{}");
    WriteFile(templates / "images" / "logo.gif", "GIF89a");
    return templates;
}

struct SiteFixture : ::testing::Test {
    TempFolder temp;
    fs::path site = temp.path() / "site";
    fs::path templates = MakeTemplates(temp.path());
    fs::path data = site / kSiteDataFolder;

    std::vector<std::string> init(bool demo = false) {
        return InitSite({site.string(), templates.string(), demo});
    }
};

bool Contains(const std::vector<std::string>& lines, const std::string& text) {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string& line) { return line.find(text) != std::string::npos; });
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

// ---------------------------------------------------------------- laying out the site

TEST_F(SiteFixture, MakesTheWholeSiteLayout) {
    std::vector<std::string> report = init();
    EXPECT_TRUE(fs::is_directory(site / "www"));
    EXPECT_TRUE(fs::is_directory(site / "drives/c/VEL/ExcursaLakemont"));
    for (const char* name : {"trip.db", "twvlsc1.db", "Tripschl.db"})
        EXPECT_TRUE(fs::is_regular_file(data / name)) << name;
    EXPECT_EQ(ReadFile(site / "www/login1.htm"), "<html>sign in</html>");
    EXPECT_EQ(ReadFile(site / "www/css/excursa.css"), "body{}");
    EXPECT_EQ(ReadFile(site / "www/images/logo.gif"), "GIF89a");

    EXPECT_FALSE(Contains(report, "kept")) << Joined(report);
    for (const char* made :
         {"www/", "drives/c/VEL/ExcursaLakemont/", "registry.reg", "www/trip.ini", "www/ (3 template files)",
          "drives/c/VEL/Data/Lakemont/trip.db", "drives/c/VEL/Data/Lakemont/Tripschl.db"})
        EXPECT_NE(std::find(report.begin(), report.end(), "made  " + std::string(made)), report.end())
            << made << "\n"
            << Joined(report);
    EXPECT_EQ(report.front(), "made  " + site.string() + "/");
    EXPECT_EQ(Db(data / "trip.db").count("SELECT COUNT(*) FROM DISTRICT"), 0)
        << "no demo rows without --demo";
}

TEST_F(SiteFixture, RegistryFilePointsTheSettingsAtTheWebFolder) {
    init();
    EXPECT_EQ(ReadFile(site / "registry.reg"),
              "Windows Registry Editor Version 5.00\n\n"
              "[HKEY_LOCAL_MACHINE\\Software\\Tarnwick Systems, Inc.\\Velway Transport Suite (V.E.L.) - "
              "Field Trip]\n"
              "\"INIPath\"=\"MULTIPLE\"\n");
}

TEST_F(SiteFixture, SettingsFileHasEveryKeyWithAValue) {
    init();
    std::istringstream ini(ReadFile(site / "www/trip.ini"));
    std::string line;
    std::getline(ini, line);
    EXPECT_EQ(line, "[V.E.L. Options]");
    std::map<std::string, std::string> values;
    while (std::getline(ini, line)) {
        auto equals = line.find('=');
        ASSERT_NE(equals, std::string::npos) << line;
        values[line.substr(0, equals)] = line.substr(equals + 1);
    }
    for (const char* key :
         {"SessionTimeOut", "DOTNETInstalled", "CalendarUrl", "InquiryUrl", "SmtpServer", "SmtpPort",
          "SmtpAuthentication", "SmtpUsername", "SmtpPassword", "EmailFromAddress", "EmailFromName"})
        EXPECT_FALSE(values[key].empty()) << key;
    EXPECT_EQ(values.size(), 11u);
    EXPECT_EQ(values["SessionTimeOut"], "20");
    EXPECT_EQ(values["DOTNETInstalled"], "False");
    EXPECT_EQ(values["SmtpServer"], "localhost");
    EXPECT_EQ(values["SmtpPort"], "25");
    EXPECT_EQ(values["SmtpAuthentication"], "False");
    EXPECT_EQ(values["CalendarUrl"].rfind("http://localhost", 0), 0u);
    EXPECT_EQ(values["InquiryUrl"].rfind("http://localhost", 0), 0u);
}

TEST_F(SiteFixture, SecondRunKeepsEveryExistingFile) {
    init(true);
    WriteFile(site / "www/trip.ini", "[V.E.L. Options]\nSessionTimeOut=45\n");
    WriteFile(site / "www/login1.htm", "our own sign-in page");
    WriteFile(site / "registry.reg", "edited");
    Db(data / "Tripschl.db").run("DELETE FROM TRIPSREQ WHERE STATUS = 'Denied'");
    long requestsLeft = Db(data / "Tripschl.db").count("SELECT COUNT(*) FROM TRIPSREQ");

    std::vector<std::string> again = init(true);
    EXPECT_FALSE(Contains(again, "made")) << Joined(again);
    EXPECT_EQ(ReadFile(site / "www/trip.ini"), "[V.E.L. Options]\nSessionTimeOut=45\n");
    EXPECT_EQ(ReadFile(site / "www/login1.htm"), "our own sign-in page");
    EXPECT_EQ(ReadFile(site / "registry.reg"), "edited");
    EXPECT_EQ(Db(data / "Tripschl.db").count("SELECT COUNT(*) FROM TRIPSREQ"), requestsLeft);
    for (const char* kept :
         {"registry.reg", "www/trip.ini", "www/ (3 template files)", "drives/c/VEL/Data/Lakemont/twvlsc1.db"})
        EXPECT_TRUE(Contains(again, "kept  " + std::string(kept))) << kept << "\n" << Joined(again);
    EXPECT_TRUE(Contains(again, "not filled")) << Joined(again);
}

TEST_F(SiteFixture, RemakesOnlyWhatIsMissing) {
    init();
    fs::remove(site / "www/trip.ini");
    fs::remove(site / "www/css/excursa.css");
    fs::remove(data / "Tripschl.db");
    Db(data / "trip.db").run("INSERT INTO FUND (FUND, FUNDDESC) VALUES ('OURS', 'Kept fund')");

    std::vector<std::string> again = init(true);
    for (const char* line :
         {"made  www/trip.ini", "made  www/ (1 template file)", "kept  www/ (2 template files)",
          "made  drives/c/VEL/Data/Lakemont/Tripschl.db", "kept  drives/c/VEL/Data/Lakemont/trip.db"})
        EXPECT_TRUE(Contains(again, line)) << line << "\n" << Joined(again);
    EXPECT_EQ(ReadFile(site / "www/css/excursa.css"), "body{}");
    // The demo never mixes with a district's data, even into the one file it just made.
    EXPECT_EQ(Db(data / "Tripschl.db").count("SELECT COUNT(*) FROM TRIPSREQ"), 0);
    EXPECT_EQ(Db(data / "trip.db").text("SELECT GROUP_CONCAT(FUND) FROM FUND"), "OURS");
}

TEST_F(SiteFixture, RefusesAMissingTemplatesFolderBeforeMakingAnything) {
    templates = temp.path() / "no-such-folder";
    EXPECT_THROW(init(), std::runtime_error);
    EXPECT_FALSE(fs::exists(site));
}

TEST(InitSite, RefusesASiteInsideTheTemplatesFolder) {
    TempFolder temp;
    fs::path templates = MakeTemplates(temp.path());
    EXPECT_THROW(InitSite({(templates / "site").string(), templates.string(), false}), std::runtime_error);
}

// ---------------------------------------------------------------- the demo district

struct DemoFixture : SiteFixture {
    void SetUp() override {
        today = Today();
        init(true);
        if (Today() != today)  // midnight passed during the run
            today = Today();
    }
    Db trip() { return Db(data / "trip.db"); }
    Db security() { return Db(data / "twvlsc1.db"); }
    Db requests() { return Db(data / "Tripschl.db"); }
    double today = 0;
};

double DayNumber(const std::string& stored) {
    return DateSerial(std::stoi(stored.substr(0, 4)), std::stoi(stored.substr(5, 2)),
                      std::stoi(stored.substr(8, 2)));
}

TEST_F(DemoFixture, FillsTheDistrictAndItsReferenceTables) {
    Db db = trip();
    EXPECT_EQ(db.text("SELECT DISTNAME FROM DISTRICT"), "Lakemont School District");
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM DISTRICT"), 1);
    EXPECT_EQ(db.text("SELECT DEPDT_LEADTIME || '/' || DEPDT_LEADTIME_HARDWARN || '/' || TOTAL_TRIPS_LIMIT "
                      "FROM DISTRICT"),
              "14/0/6");
    EXPECT_NE(db.text("SELECT TRIPREQ_COMMENT FROM DISTRICT"), "");
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM TRIPREQ_REQUIRED"), 1);
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM EMAIL_OPTIONS"), 1);
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM CUSTOMER"), 8);
    EXPECT_EQ(db.count("SELECT COUNT(DISTINCT CUSTDIV) FROM CUSTOMER"), 3);
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM DIVISION"), 3);
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM DESTINATION"), 25);
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM DESTINATION WHERE ACTIVE = 1"), 24);
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM DESTINATION WHERE DESTCAT NOT IN (SELECT DESTCAT FROM DESTCAT)"),
              0);
    // Every customer may use at least two active funds, and no link points at a missing fund.
    EXPECT_EQ(
        db.count(
            "SELECT COUNT(*) FROM (SELECT CF.CUSTOMER FROM CUSTOMER_FUND CF JOIN FUND F ON F.FUND = CF.FUND "
            "WHERE F.ACTIVE = 1 GROUP BY CF.CUSTOMER HAVING COUNT(*) >= 2)"),
        8);
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM CUSTOMER_FUND WHERE FUND NOT IN (SELECT FUND FROM FUND)"), 0);
    EXPECT_EQ(
        db.count("SELECT COUNT(*) FROM CUSTOMER WHERE CUSTBILLRATE NOT IN (SELECT BILLRATE FROM BILLRATE)"),
        0);
    for (const char* table : {"GRADE", "TRIPCAT", "TRIPREQSTATUS", "DESTCAT", "SCHEDMAST", "VEHTYPE",
                              "TRIPTICKET_TEMPLATE", "BILLRATE", "CUSTOMER_TRIPCAT"})
        EXPECT_GT(db.count(std::string("SELECT COUNT(*) FROM ") + table), 2) << table;
}

TEST_F(DemoFixture, HasUsersForEveryRole) {
    Db db = security();
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM VLSCU WHERE ROLE = 'TEACHER'"), 8);
    EXPECT_EQ(db.count("SELECT COUNT(DISTINCT CUSTOMER) FROM VLSCU WHERE ROLE = 'TEACHER'"), 8);
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM VLSCU WHERE ROLE = 'PRINCIPAL'"), 8);
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM VLSCU WHERE ROLE = 'DISTRICT' AND CUSTOMER IS NULL"), 1);
    EXPECT_EQ(
        db.count("SELECT COUNT(*) FROM VLSCU WHERE ROLE = 'TRANSPORT' AND CUSTOMER IS NULL AND SCEXFOVD = 1"),
        2);
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM VLSCU WHERE EMAIL NOT LIKE '%@lakemont.example.org'"), 0);
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM VLSCU"), static_cast<long>(DemoUsers().size()));
    for (const DemoUser& user : DemoUsers())
        EXPECT_EQ(db.text("SELECT VLSC2 FROM VLSCU WHERE VLSC1 = '" + std::string(user.id) + "'"),
                  user.password);

    // Each customer's users are customers of the district.
    std::set<std::string> customers;
    for (auto& row : trip().rows("SELECT CUSTOMER FROM CUSTOMER")) customers.insert(row[0]);
    for (auto& row : db.rows("SELECT CUSTOMER FROM VLSCU WHERE CUSTOMER IS NOT NULL"))
        EXPECT_TRUE(customers.count(row[0])) << row[0];
}

TEST_F(DemoFixture, ChainsHaveOneTwoAndThreeLevels) {
    Db db = security();
    EXPECT_EQ(db.text("SELECT GROUP_CONCAT(CHAINID || ':' || LEVEL1APPROVER || ',' || IFNULL(Level2Approver, "
                      "'-') || ',' "
                      "|| IFNULL(Level3Approver, '-')) FROM (SELECT * FROM VLSCC ORDER BY CHAINID)"),
              "OVERNIGHT:PRINCIPAL,DISTRICT,TRANSPORT,PRIN:PRINCIPAL,-,-,PRINDIST:PRINCIPAL,DISTRICT,-");
    // Every approver role has users who receive the approval mail.
    for (auto& row : db.rows("SELECT LEVEL1APPROVER FROM VLSCC UNION SELECT Level2Approver FROM VLSCC WHERE "
                             "Level2Approver IS NOT NULL UNION SELECT Level3Approver FROM VLSCC WHERE "
                             "Level3Approver IS NOT NULL"))
        EXPECT_GT(db.count("SELECT COUNT(*) FROM VLSCU WHERE ROLE = '" + row[0] + "'"), 0) << row[0];
}

TEST_F(DemoFixture, RequestsStandInEveryStatusTheirChainAllows) {
    Db db = requests();
    for (const char* status : {"UNAPPROVED", "PRINCIPAL APPROVED", "DISTRICT APPROVED",
                               "TRANSPORTATION REVIEWED", "Pending", "Denied", "ACCEPTED"})
        EXPECT_GT(db.count(std::string("SELECT COUNT(*) FROM TRIPSREQ WHERE STATUS = '") + status + "'"), 0)
            << status;
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM TRIPSREQ"), 41);

    std::map<std::string, std::vector<std::string>> levelStatuses;
    for (auto& row :
         security().rows("SELECT CHAINID, Level1Status, IFNULL(Level2Status, ''), IFNULL(Level3Status, '') "
                         "FROM VLSCC"))
        levelStatuses[row[0]] = {row[1], row[2], row[3]};
    std::set<std::string> statuses;
    for (auto& row : trip().rows("SELECT STATUS FROM TRIPREQSTATUS")) statuses.insert(row[0]);
    for (auto& row : db.rows("SELECT TRIPNUM, IFNULL(CHAINID, ''), STATUS FROM TRIPSREQ")) {
        const std::string& chain = row[1];
        const std::string& status = row[2];
        EXPECT_TRUE(statuses.count(status)) << "status offered by the search: " << status;
        if (chain.empty()) {
            EXPECT_TRUE(status == "Pending" || status == "ACCEPTED") << row[0] << " " << status;
            continue;
        }
        ASSERT_TRUE(levelStatuses.count(chain)) << row[0] << " " << chain;
        const auto& levels = levelStatuses[chain];
        bool fits = status == "UNAPPROVED" || status == "Denied" || status == "ACCEPTED" ||
                    std::find(levels.begin(), levels.end(), status) != levels.end();
        EXPECT_TRUE(fits) << "request " << row[0] << " " << status << " on chain " << chain;
    }
    // The chain of each request is the one its customer and category lead to.
    for (auto& row : db.rows("SELECT TRIPNUM, CUSTOMER, TRIPCAT, IFNULL(CHAINID, '') FROM TRIPSREQ")) {
        std::string byCategory = trip().text("SELECT CHAINID FROM CUSTOMER_TRIPCAT WHERE CUSTOMER = '" +
                                             row[1] + "' AND TRIPCAT = '" + row[2] + "'");
        std::string expected =
            byCategory != "<none>"
                ? byCategory
                : trip().text("SELECT IFNULL(CHAINID, '') FROM CUSTOMER WHERE CUSTOMER = '" + row[1] + "'");
        EXPECT_EQ(row[3], expected) << "request " << row[0];
    }
}

// The request form cuts longer values when a request is saved again.
TEST_F(DemoFixture, RequestTextsFitTheFormFields) {
    const std::map<std::string, int> widths = {
        {"CONTACT", 25},  {"PURPOSE", 25},  {"PO", 15},       {"INTTRIPNUM", 30}, {"DESTDESC", 75},
        {"DESTADD1", 30}, {"DESTADD2", 30}, {"DESTCITY", 15}, {"DESTSTATE", 2},   {"DESTZIP", 10}};
    for (const auto& [column, width] : widths)
        EXPECT_LE(requests().count("SELECT MAX(LENGTH(" + column + ")) FROM TRIPSREQ"), width) << column;
}

TEST_F(DemoFixture, TripsAndRequestsPointAtEachOther) {
    Db db = trip();
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM TRIPS"), 30);
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM TRIPS WHERE TRIPREQNUM IS NULL"), 5);
    for (auto& row :
         db.rows("SELECT TRIPNUM, TRIPREQNUM, CUSTOMER, DEPDATE FROM TRIPS WHERE TRIPREQNUM IS NOT NULL")) {
        auto request = requests().rows(
            "SELECT FIELDTRIP_NUM, STATUS, CUSTOMER, DEPDATE FROM TRIPSREQ WHERE TRIPNUM = " + row[1]);
        ASSERT_EQ(request.size(), 1u) << "trip " << row[0];
        EXPECT_EQ(request[0], (std::vector<std::string>{row[0], "ACCEPTED", row[2], row[3]}));
    }
    EXPECT_EQ(requests().count("SELECT COUNT(*) FROM TRIPSREQ WHERE FIELDTRIP_NUM IS NOT NULL"), 25);
    EXPECT_EQ(
        db.count("SELECT COUNT(*) FROM TRIPS WHERE DESTINATION NOT IN (SELECT DESTINATION FROM DESTINATION)"),
        0);
    EXPECT_EQ(requests().count("SELECT COUNT(*) FROM TRIPSREQ WHERE INTTRIPNUM IS NULL"), 0);
}

TEST_F(DemoFixture, BillingFundSplitsAndStaffHours) {
    Db db = trip();
    EXPECT_GT(db.count("SELECT COUNT(*) FROM ARDETAIL WHERE TRANCODE = 'BIL'"), 5);
    EXPECT_GT(db.count("SELECT COUNT(*) FROM ARDETAIL WHERE TRANCODE = 'PAY'"), 2);
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM ARDETAIL WHERE TRANCODE = 'BIL' AND TRANAMT <= 0"), 0);
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM ARDETAIL WHERE TRANCODE = 'PAY' AND TRANAMT >= 0"), 0);
    // Nobody pays more than was billed.
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM (SELECT TRIPNUM FROM ARDETAIL GROUP BY TRIPNUM HAVING "
                       "SUM(TRANAMT) < -0.005)"),
              0);
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM TRIPS T WHERE BILLED = 1 AND (BILLDATE IS NULL OR NOT EXISTS "
                       "(SELECT 1 FROM ARDETAIL A WHERE A.TRIPNUM = T.TRIPNUM AND TRANCODE = 'BIL'))"),
              0);
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM TRIPS WHERE CANCELED = 1"), 2);
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM TRIPS T WHERE CANCELED = 1 AND (CANDATE IS NULL OR EXISTS "
                       "(SELECT 1 FROM ARDETAIL A WHERE A.TRIPNUM = T.TRIPNUM))"),
              0);
    EXPECT_GT(db.count("SELECT COUNT(*) FROM TRIPSPLIT"),
              db.count("SELECT COUNT(DISTINCT TRIPNUM) FROM TRIPSPLIT"));
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM TRIPSPLIT WHERE FUND NOT IN (SELECT FUND FROM FUND)"), 0);
    EXPECT_GT(db.count("SELECT COUNT(*) FROM TRIPEMPLOYEES WHERE HOURS > 0 AND MILES > 0"), 20);
    EXPECT_EQ(db.count("SELECT COUNT(*) FROM TRIPEMPLOYEES E JOIN TRIPS T ON T.TRIPNUM = E.TRIPNUM WHERE "
                       "T.ASSIGNED = 0"),
              0);
}

TEST_F(DemoFixture, DatesAreCountedFromToday) {
    const std::regex stamp(R"(\d{4}-\d{2}-\d{2} \d{2}:\d{2}:\d{2})");
    const std::regex timeOfDay(R"(1899-12-30 \d{2}:\d{2}:00)");
    Db db = requests();
    for (auto& row :
         db.rows("SELECT DEPDATE, RETDATE, REQDATE, STATUS_DATE, DEPTIME, RETTIME, ARRIVETIME, LEAVETIME, "
                 "STATUS FROM TRIPSREQ")) {
        for (int i = 0; i < 4; ++i) EXPECT_TRUE(std::regex_match(row[i], stamp)) << row[i];
        for (int i = 4; i < 8; ++i) EXPECT_TRUE(std::regex_match(row[i], timeOfDay)) << row[i];
        EXPECT_EQ(row[0].substr(11), "00:00:00") << "departure dates carry no time";
        EXPECT_LE(DayNumber(row[2]), today) << "entered in the future: " << row[2];
        EXPECT_LE(DayNumber(row[2]), DayNumber(row[3])) << "status before entry";
        EXPECT_LE(DayNumber(row[3]), today);
        EXPECT_LE(DayNumber(row[0]), DayNumber(row[1]));
        if (row[8] != "ACCEPTED") {
            EXPECT_GT(DayNumber(row[0]), today) << "open requests are for coming trips";
        }
    }
    std::vector<double> departures;
    for (auto& row : trip().rows("SELECT DEPDATE FROM TRIPS")) departures.push_back(DayNumber(row[0]));
    auto [first, last] = std::minmax_element(departures.begin(), departures.end());
    EXPECT_LT(*first, today - 40);
    EXPECT_GT(*last, today + 30);
    EXPECT_LT(*last, today + 60);

    auto notes = trip().rows("SELECT NoteDate, NoteSeverity FROM Big_CalCalNotes ORDER BY NoteDate");
    int comingWarnings = 0, comingClosures = 0;
    for (auto& note : notes) {
        EXPECT_EQ(note[0].substr(11), "00:00:00") << "a note with a time of day matches no date";
        double day = DayNumber(note[0]);
        bool coming = day > today && day <= today + 30;
        comingWarnings += coming && note[1] == "2";
        comingClosures += coming && note[1] == "3";
    }
    EXPECT_EQ(comingWarnings, 1);
    EXPECT_EQ(comingClosures, 1);
}

TEST(DemoDistrict, KeepsTripsOffWeekendsAndClosedDaysWhateverDayItRuns) {
    double monday = DateSerial(2031, 3, 3);
    for (int offset = 0; offset < 7; ++offset) {
        TempFolder temp;
        CreateDatabaseFiles(temp.path().string());
        double today = monday + offset;
        FillDemoDistrict(temp.path().string(), today);
        Db trip(temp.path() / "trip.db");
        Db requests(temp.path() / "Tripschl.db");
        std::set<std::string> closed;
        for (auto& row : trip.rows("SELECT NoteDate FROM Big_CalCalNotes WHERE NoteSeverity = 3"))
            closed.insert(row[0]);
        auto departures = trip.rows("SELECT DEPDATE FROM TRIPS");
        auto requested = requests.rows("SELECT DEPDATE FROM TRIPSREQ");
        departures.insert(departures.end(), requested.begin(), requested.end());
        for (auto& row : departures) {
            int weekday = Weekday(DayNumber(row[0]));
            EXPECT_TRUE(weekday != 1 && weekday != 7) << row[0] << " running on day " << offset;
            EXPECT_FALSE(closed.count(row[0])) << row[0];
            EXPECT_NE(DayNumber(row[0]), today);
        }
        EXPECT_EQ(requests.count("SELECT COUNT(*) FROM TRIPSREQ"), 41);
    }
}

TEST(DemoDistrict, IsTheSameEveryTimeForTheSameDay) {
    auto dump = [](double today) {
        TempFolder temp;
        CreateDatabaseFiles(temp.path().string());
        FillDemoDistrict(temp.path().string(), today);
        std::string text;
        for (auto& row : Db(temp.path() / "Tripschl.db").rows("SELECT * FROM TRIPSREQ ORDER BY TRIPNUM"))
            for (auto& cell : row) text += cell + "|";
        for (auto& row : Db(temp.path() / "trip.db").rows("SELECT * FROM ARDETAIL ORDER BY ROWID"))
            for (auto& cell : row) text += cell + "|";
        return text;
    };
    double day = DateSerial(2030, 9, 12);
    EXPECT_EQ(dump(day), dump(day));
    EXPECT_NE(dump(day), dump(day + 7));
}

TEST(DemoDistrict, NeverWritesIntoFilesThatHoldData) {
    TempFolder temp;
    CreateDatabaseFiles(temp.path().string());
    Db(temp.path() / "Tripschl.db").run("INSERT INTO TRIPSREQ (CUSTOMER) VALUES ('OURS')");
    EXPECT_THROW(FillDemoDistrict(temp.path().string(), DateSerial(2030, 1, 7)), std::runtime_error);
    EXPECT_EQ(Db(temp.path() / "trip.db").count("SELECT COUNT(*) FROM CUSTOMER"), 0)
        << "nothing half-written";
    EXPECT_EQ(Db(temp.path() / "twvlsc1.db").count("SELECT COUNT(*) FROM VLSCU"), 0);
    EXPECT_EQ(Db(temp.path() / "Tripschl.db").count("SELECT COUNT(*) FROM TRIPSREQ"), 1);
}

// ---------------------------------------------------------------- shipped templates

TEST(ShippedTemplates, SignInPageCarriesItsTagsAndForm) {
    std::string page = ReadFile(kShippedTemplates / "login1.htm");
    for (const char* tag :
         {"<wc@Name></wc@Name>", "<WC@ADDR1></WC@ADDR1>", "<WC@CITYSTZIP></WC@CITYSTZIP>",
          "<WC@PHONE></WC@PHONE>", "<WC@TRIPREQUESTINQUIRY></WC@TRIPREQUESTINQUIRY>",
          "<WC@exTECHDETAILS></WC@exTECHDETAILS>",
          "method=\"post\" action=\"ExcursaLakemont.asp?WCI=Login&WCE=LoginValidateUser&WCU\"",
          "type=\"text\" id=\"user\" name=\"user\"", "type=\"password\" id=\"password\" name=\"password\"",
          "name=\"btnsubmit\" value=\"Work With Trip Requests\"",
          "name=\"btnsubmit\" value=\"Enter a New Trip Request\"", "css/excursa.css", "name=\"viewport\""})
        EXPECT_NE(page.find(tag), std::string::npos) << tag;
}

TEST(ShippedTemplates, TechnicalDetailsPageCarriesEveryTag) {
    std::string page = ReadFile(kShippedTemplates / "exTechDetails1.htm");
    for (const char* tag : {"WC@VERSION", "WC@DATAPATH", "WC@APPPATH", "WC@SMTPSERVER", "WC@SMTPport",
                            "WC@SMTPAUTH", "WC@SMTPemailfrom", "WC@TIMEOUT"})
        EXPECT_NE(page.find("<" + std::string(tag) + "></" + tag + ">"), std::string::npos) << tag;
    EXPECT_NE(page.find("href=\"ExcursaLakemont.asp\""), std::string::npos);
}

TEST(ShippedTemplates, LogoIsA55PixelGif) {
    std::string gif = ReadFile(kShippedTemplates / "images/Tarnwick.gif");
    ASSERT_GT(gif.size(), 13u);
    EXPECT_EQ(gif.substr(0, 6), "GIF89a");
    auto word = [&](std::size_t at) {
        return static_cast<unsigned char>(gif[at]) | static_cast<unsigned char>(gif[at + 1]) << 8;
    };
    EXPECT_EQ(word(6), 55);
    EXPECT_EQ(word(8), 55);
    EXPECT_EQ(gif.back(), ';');
}

}  // namespace
}  // namespace excursa
