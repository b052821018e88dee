#include "frame/memory_host.h"
#include "items.h"

#include "support/message_page.h"
#include "support/test_site.h"

#include <gtest/gtest.h>

#include <thread>

namespace excursa {
namespace {

constexpr const char* kDistrictRow =
    "INSERT INTO District (DISTNAME, DISTADDR1, DISTCITY, DISTSTATE, DISTZIP, DISTPHONE, "
    "DEFAULT_CALCNUMDRIVER, "
    "DEFAULTVTYPE, TRANSTITLE, autofill_requests, AUTOFILL, VIEW_OTHER_SCHOOLS, FUND_DD, DEPDT_LEADTIME, "
    "DEPDT_LEADTIME_HARDWARN, USECUSTFUND, TOTAL_TRIPS_LIMIT, TOTAL_TRIPS_LIMIT_MESSAGE, "
    "TOTAL_TRIPS_HARDWARN) "
    "VALUES ('Lakemont School District', '100 Shore Road', NULL, 'MN', '55001', '555-0100', 1, 'BUS', "
    "'Transportation', 0, 1, 0, NULL, NULL, 1, 0, 6, 'Too many trips that day', 0);";

class StartEventTest : public ::testing::Test {
protected:
    StartEventTest() { app_ = MakeExcursa(); }

    std::string start() {
        MemoryHost browser(*app_);
        return browser.get("ExcursaLakemont.asp").body;
    }
    Value app(std::string_view key) { return app_->application().get(key); }

    testing::TestSite site_;
    std::unique_ptr<WebApplication> app_;
};

TEST_F(StartEventTest, LoadsTheDistrictAndShowsTheSignInPage) {
    site_.sql("trip.db", kDistrictRow);
    site_.sql("trip.db", "INSERT INTO TRIPREQ_REQUIRED (FUND_REQUIRED, CONTACT_REQ) VALUES (1, NULL);");
    const std::string page = start();

    EXPECT_EQ(page.find("Error in Procedure"), std::string::npos) << page;
    EXPECT_NE(page.find("Lakemont School District"), std::string::npos);
    EXPECT_NE(page.find("name=\"user\""), std::string::npos) << "the sign-in form follows";
    EXPECT_EQ(app("DISTCITYSTZIP"), Value(" , MN  55001")) << "a null city is one blank";
    EXPECT_EQ(app("DISTRICT.DEPDT_LEADTIME"), Value::Long(0));
    EXPECT_EQ(app("DISTRICT.FUND_DD"), Value(" "));
    EXPECT_EQ(app("DISTRICT.TOTAL_TRIPS_LIMIT"), Value::Long(6));
    EXPECT_EQ(app("DEFAULT_CALCNUMDRIVER"), Value("True"));
    EXPECT_EQ(app("AUTOFILL_REQUESTS"), Value("False"));
    EXPECT_EQ(app("TRIP_REQ_REQUIRED.FUND_REQ"), Value("True"));
    EXPECT_EQ(app("TRIP_REQ_REQUIRED.CONTACT_REQ"), Value(" "));
    EXPECT_EQ(app("PageSize"), Value::Integer(20));
    EXPECT_EQ(app("SESSION_TIMEOUT"), Value::Integer(20));
    EXPECT_EQ(app("SmtpAuthentication"), Value::Boolean(false));
    EXPECT_EQ(app("SmtpPassword"), Value("")) << "no password kept without authentication";
    EXPECT_EQ(app("WEBTITLE"), Value("V.E.L. FIELD TRIPS"));
    EXPECT_EQ(app("APP_PATH"), Value(app_->physicalPath()));
}

TEST_F(StartEventTest, EmptyTablesGiveTheNoRowValues) {
    app_->application().set("DEFAULTVTYPE", "VAN");
    const std::string page = start();
    EXPECT_EQ(page.find("Error in Procedure"), std::string::npos) << page;
    EXPECT_EQ(app("AUTOFILL_TRIPS"), Value::Boolean(true));
    EXPECT_EQ(app("VIEW_OTHER_SCHOOLS"), Value::Boolean(false));
    EXPECT_EQ(app("DEFAULT_CALCNUMDRIVER"), Value::Boolean(true));
    EXPECT_EQ(app("DEFAULTVTYPE"), Value("VAN")) << "left as it was";
    EXPECT_EQ(app("DISTNAME"), Value(""));
    EXPECT_EQ(app("TRIP_REQ_REQUIRED.GRADE_REQ"), Value(""));
}

TEST_F(StartEventTest, AuthenticationKeepsTheMailAccount) {
    auto ini = testing::DefaultTripIni();
    ini["SmtpAuthentication"] = "True";
    ini["DOTNETInstalled"] = "true";
    site_.writeTripIni(ini);
    start();
    EXPECT_EQ(app("SmtpUsername"), Value("mailer"));
    EXPECT_EQ(app("SmtpPassword"), Value("s3cret"));
    EXPECT_EQ(app("DOTNET_INSTALLED"), Value::Boolean(true));
}

TEST_F(StartEventTest, NonNumericTimeOutStopsWithoutTheSignInPage) {
    auto ini = testing::DefaultTripIni();
    ini["SessionTimeOut"] = "twenty";
    site_.writeTripIni(ini);
    EXPECT_EQ(testing::WrittenText(start()),
              "Error in Procedure: WebClass_Start of Module: Excursa.  Error: 13.  Type mismatch.");
}

TEST_F(StartEventTest, MissingKeyIsReportedAboveTheSignInPage) {
    auto ini = testing::DefaultTripIni();
    ini.erase("CalendarUrl");
    site_.writeTripIni(ini);
    const std::string page = start();
    const std::string expected =
        "Error in Procedure: INIGetSettingString of Module: WebCommon.  Error reading " +
        app_->physicalPath() +
        "trip.ini, V.E.L. Options - CalendarUrl.  Please make sure the appropriate user has "
        "permissions to read this file and that the lastest version of the ini file is in "
        "the correct path.  Contact the transportation webmaster.";
    EXPECT_EQ(page.substr(0, expected.size()), expected);
    EXPECT_NE(page.find("name=\"user\""), std::string::npos);
}

TEST_F(StartEventTest, MissingDatabaseFileShowsTheConnectionText) {
    std::filesystem::remove(site_.dataFolder() / "twvlsc1.db");
    EXPECT_EQ(
        testing::WrittenText(start()),
        "Error in Procedure: SetTripDBConnections of Module: WebCommon.  Error: -2147467259 - Could not find "
        "file 'C:\\VEL\\Data\\Lakemont\\twvlsc1.db'.; strTripDataPath=C:\\VEL\\Data\\Lakemont\\.");
}

TEST_F(StartEventTest, SignInPageFromABookmarkAfterWarmUp) {
    site_.sql("trip.db", kDistrictRow);
    EXPECT_EQ(app_->warmUp(), "");
    MemoryHost browser(*app_);
    const std::string page = browser.get("ExcursaLakemont.asp?WCI=Login").body;
    EXPECT_NE(page.find("Lakemont School District"), std::string::npos);
    EXPECT_NE(
        page.find("<A HREF=\"ExcursaLakemont.asp?WCI=exDetails&WCE&WCU\"><img src='images/Tarnwick.gif'  "
                  "height='55' width='55' border='0' align='right'></a>"),
        std::string::npos);
    EXPECT_EQ(page.find("Trip Request Inquiry</a>"), std::string::npos);
}

TEST_F(StartEventTest, InquiryLinkWhenTheCompanionSiteIsInstalled) {
    auto ini = testing::DefaultTripIni();
    ini["DOTNETInstalled"] = "TRUE";
    site_.writeTripIni(ini);
    const std::string page = start();
    EXPECT_NE(page.find("<a href=\"http://localhost/inquiry\">Trip Request Inquiry</a>"), std::string::npos);
}

// Runs one request on a worker of its own, as a fresh server thread would.
std::string OnNewWorker(WebApplication& app, const std::string& url) {
    std::string body;
    std::thread worker([&] {
        MemoryHost browser(app);
        body = browser.get(url).body;
    });
    worker.join();
    return body;
}

TEST_F(StartEventTest, TechnicalDetailsBeforeAndAfterADatabaseRequest) {
    auto ini = testing::DefaultTripIni();
    ini["SmtpAuthentication"] = "True";
    site_.writeTripIni(ini);
    app_->warmUp();

    const std::string fresh = OnNewWorker(*app_, "ExcursaLakemont.asp?WCI=exDetails&WCE&WCU");
    EXPECT_NE(fresh.find("2.4.0"), std::string::npos);
    EXPECT_NE(fresh.find("trips@lakemont.example"), std::string::npos);
    EXPECT_EQ(fresh.find("C:\\VEL\\Data\\Lakemont\\"), std::string::npos)
        << "no database request on this worker yet";
    EXPECT_EQ(fresh.find("s3cret"), std::string::npos);
    EXPECT_EQ(fresh.find("mailer"), std::string::npos);
    EXPECT_NE(fresh.find(">True<"), std::string::npos);

    std::string afterStart;
    std::thread worker([&] {
        MemoryHost browser(*app_);
        browser.get("ExcursaLakemont.asp");
        afterStart = browser.get("ExcursaLakemont.asp?WCI=EXTechDetails").body;
    });
    worker.join();
    EXPECT_NE(afterStart.find("C:\\VEL\\Data\\Lakemont\\"), std::string::npos);
    EXPECT_NE(afterStart.find(app_->physicalPath()), std::string::npos);
}

}  // namespace
}  // namespace excursa
