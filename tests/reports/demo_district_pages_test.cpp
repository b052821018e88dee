// The search and report pages with the real templates, over the demo district, as its users meet them.
#include "frame/memory_host.h"
#include "items.h"
#include "startup/demo_district.h"
#include "startup/items.h"

#include "support/test_site.h"

#include <gtest/gtest.h>

namespace excursa {
namespace {

class DemoDistrictPagesTest : public ::testing::Test {
protected:
    DemoDistrictPagesTest() {
        FillDemoDistrict(site_.dataFolder().string(), Today());
        app_ = std::make_unique<WebApplication>(ExcursaItems(), WebClass_Start, site_.www());
        EXPECT_EQ(app_->warmUp(), "");
    }

    std::string signIn(MemoryHost& browser, const char* user) {
        return checked(
            browser.post("ExcursaLakemont.asp?WCI=Login&WCE=LoginValidateUser&WCU",
                         {{"user", user}, {"password", "demo"}, {"btnsubmit", "Work With Trip Requests"}}));
    }
    std::string get(MemoryHost& browser, const std::string& query) {
        return checked(browser.get("ExcursaLakemont.asp?" + query));
    }
    std::string post(MemoryHost& browser, const std::string& query,
                     const std::vector<std::pair<std::string, std::string>>& form) {
        return checked(browser.post("ExcursaLakemont.asp?" + query, form));
    }

    // A whole page: every tag filled, no failure.
    static std::string checked(const ResponseData& response) {
        EXPECT_EQ(response.status, 200);
        EXPECT_EQ(response.body.find("WC@"), std::string::npos) << response.body.substr(0, 400);
        EXPECT_EQ(response.body.find("Error in Procedure"), std::string::npos)
            << response.body.substr(0, 400);
        EXPECT_NE(response.body.find("</html>"), std::string::npos) << response.body.substr(0, 400);
        return response.body;
    }

    testing::TestSite site_;
    std::unique_ptr<WebApplication> app_;
};

TEST_F(DemoDistrictPagesTest, PrincipalSeesTheRequestsAwaitingTheirApproval) {
    MemoryHost browser(*app_);
    const std::string home = signIn(browser, "maple.principal");
    EXPECT_NE(home.find("<b>UNAPPROVED</b>"), std::string::npos);
    EXPECT_EQ(home.find("<b>PRINCIPAL APPROVED</b>"), std::string::npos);
}

TEST_F(DemoDistrictPagesTest, TeacherSearchesRequestsAndPagesThroughThem) {
    MemoryHost browser(*app_);
    signIn(browser, "maple.teacher");
    const std::string found =
        post(browser, "WCI=RequestSearch&WCE=TripRequests&WCU", {{"btnsubmit", "Search"}});
    EXPECT_NE(found.find("Maple Grove Elementary"), std::string::npos);
    get(browser, "WCI=PrintReport&Type=Request");
    for (const char* report : {"TripRequestReport1", "TripRequestReport2"}) {
        get(browser, std::string("WCI=") + report + "&WCE&WCU");
        for (const char* button : {"Next", "Last", "Previous", "First"}) {
            post(browser, std::string("WCI=") + report + "&WCE=" + report + "&WCU", {{"btnSubmit", button}});
        }
    }
}

TEST_F(DemoDistrictPagesTest, TransportationSearchesTripsWithEachSortAndPrintsEachReport) {
    MemoryHost browser(*app_);
    signIn(browser, "transport");
    post(browser, "WCI=RequestSearch&WCE=Navigate&WCU", {{"btnsubmit", "View Field Trips"}});
    for (const char* sort : {"TRIPS.TRIPNUM", "CUSTOMER.CUSTNAME", "DESTINATION.DESTDESC",
                             "TRIPS.NUMSTUDENTS", "TRIPS.DEPDATE", "TRIPS.TRIPREQNUM"}) {
        const std::string list = post(browser, "WCI=TripSearch&WCE=FieldTrips&WCU",
                                      {{"sortBy1", sort}, {"chkASSIGNED", "ON"}, {"chkUnassigned", "ON"}});
        EXPECT_NE(list.find("Print Report"), std::string::npos) << sort;
    }
    get(browser, "WCI=PrintReport&Type=Trip");
    for (const char* report : {"TripReport1", "TripReport2"}) {
        get(browser, std::string("WCI=") + report + "&WCE&WCU");
        post(browser, std::string("WCI=") + report + "&WCE=" + report + "&WCU", {{"btnSubmit", "Next"}});
    }
    for (const char* type : {"Customer", "Category", "Fund", "Destination", "Grade"}) {
        const std::string summary = get(browser, std::string("WCI=TripSummaryReport&Type=") + type);
        EXPECT_NE(summary.find("align=right"), std::string::npos) << type;
        post(browser, std::string("WCI=TripSummaryReport&WCE=TripSummaryReport&Type=") + type + "&WCU",
             {{"btnSubmit", "Next"}});
    }
}

TEST_F(DemoDistrictPagesTest, FundLookupFromTheFieldTripSearchReturnsToItSearchedByTheFund) {
    MemoryHost browser(*app_);
    signIn(browser, "transport");
    post(browser, "WCI=RequestSearch&WCE=Navigate&WCU", {{"btnsubmit", "View Field Trips"}});
    const std::string lookup =
        post(browser, "WCI=TripSearch&WCE=FieldTrips&WCU", {{"btnSubmit", "Fund"}, {"cust", ""}});
    EXPECT_NE(lookup.find("RetwSelected"), std::string::npos) << "the fund lookup's own page";
    const std::string found =
        post(browser, "WCI=LookupFund&WCE=FindFunds&WCU", {{"FUND", "gen"}, {"DESC", ""}});
    EXPECT_NE(found.find("value='GEN'"), std::string::npos);
    const std::string list = post(browser, "WCI=LookupFund&WCE=RetwSelected&WCU", {{"SelFund", "GEN"}});
    EXPECT_NE(list.find("Print Report"), std::string::npos) << "back on the field trip search, searched";
    EXPECT_NE(list.find("value='GEN'"), std::string::npos) << "with the chosen fund as its criterion";
    const std::string condition = TextOf(
        app_->sessions().acquire(browser.sessionId()).session->values.get("TripReportSummaryCondition"));
    EXPECT_NE(condition.find("TRIPS.FUND = 'GEN'"), std::string::npos) << condition;
}

}  // namespace
}  // namespace excursa
