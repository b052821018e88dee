#include "reports/search_site.h"
#include "support/message_page.h"

#include <gtest/gtest.h>

namespace excursa {
namespace {

using testing::Form;
using testing::kTripSelect;
using testing::Tag;

const std::string kByDeparture = " ORDER BY TRIPS.DEPDATE";
const std::string kSortOptions =
    "<option value='TRIPS.TRIPNUM'>Trip #</option><option value='CUSTOMER.CUSTNAME'>Customer</option>"
    "<option value='DESTINATION.DESTDESC'>Destination</option><option value='TRIPS.NUMSTUDENTS'># "
    "Students</option>"
    "<option value='TRIPS.DEPDATE'>Depart Date</option><option value='TRIPS.TRIPREQNUM'>Request #</option>";

class TripSearchTest : public testing::SearchSite {
protected:
    std::string storedQuery(const MemoryHost& browser) { return sessionText(browser, "TripReportQuery"); }
    std::string storedCondition(const MemoryHost& browser) {
        return sessionText(browser, "TripReportSummaryCondition");
    }
    std::string open(MemoryHost& browser) { return get(browser, "WCI=TripSearch&WCE&WCU"); }
    // The trip numbers of the list, in order.
    static std::string ListedTrips(const std::string& page) {
        std::string numbers;
        const std::string row = "<tr bgcolor=";
        for (std::size_t at = page.find(row); at != std::string::npos; at = page.find(row, at + 1)) {
            const std::string cell = "<td><font size='-2'>";
            const std::size_t start = page.find(cell, at) + cell.size();
            const std::string number = page.substr(start, page.find('<', start) - start);
            if (number.find_first_not_of("0123456789") == std::string::npos) {
                numbers += (numbers.empty() ? "" : ",") + number;
            }
            at = page.find("</tr>", page.find("</tr>", at) + 1);
        }
        return numbers;
    }
};

TEST_F(TripSearchTest, OpeningListsEveryTripByDepartureWithTheStatusBoxesTicked) {
    addTrip(1, {{"DEPDATE", "'2026-06-01 00:00:00'"}});
    addTrip(2, {{"CUSTOMER", "'RIVER'"}});
    MemoryHost browser(*app_);
    signIn(browser, "office");
    const std::string page = open(browser);
    EXPECT_EQ(storedQuery(browser), kTripSelect + kByDeparture);
    EXPECT_EQ(storedCondition(browser), "");
    EXPECT_EQ(ListedTrips(page), "2,1");
    EXPECT_EQ(Tag(page, "WC@NUM"), "2");
    EXPECT_EQ(
        Tag(page, "WC@CHKBOX"),
        "<input type='checkbox' name='chkASSIGNED' value='ON' checked data-a>Assigned&nbsp;"
        "<input type='checkbox' name='chkUnassigned' value='ON' checked data-a>Unassigned&nbsp;&nbsp;&nbsp;"
        "&nbsp;&nbsp;&nbsp;<input type='checkbox' name='chkBILLED' value='ON' checked data-a>Billed&nbsp;"
        "<input type='checkbox' name='chkUnbilled' value='ON' checked data-a>Unbilled&nbsp;&nbsp;&nbsp;"
        "&nbsp;&nbsp;&nbsp;<input type='checkbox' name='chkCANCELLED' value='ON' checked data-a>Cancelled"
        "&nbsp;<input type='checkbox' name='chkOPEN' value='ON' checked data-a>Open");
    EXPECT_EQ(Tag(page, "WC@CHKBOX2"),
              "<input type='checkbox' name='chkOPENBALANCE' value='ON' data-a>Show only Trips with an Open "
              "Balance");
    EXPECT_EQ(Tag(page, "WC@SORTBY"),
              "Sort By:&nbsp;<select name='sortBy1' data-a>" + kSortOptions +
                  "</select>&nbsp;then by:&nbsp;<select name='sortBy2' data-a><option selected></option>" +
                  kSortOptions + "</select>");
    EXPECT_EQ(Tag(page, "WC@FUND"), "data-a") << "no fund chosen: left as written";
    EXPECT_EQ(Tag(page, "WC@FUNDHDR"), "<b><input type='submit' value='Fund' name='btnSubmit' data-a></b>");
    EXPECT_EQ(Tag(page, "WC@CUSTHDR"), "data-a");
    EXPECT_EQ(Tag(page, "WC@TRIPNUM"), "<input name='TRIPNUM' size='21' VALUE='' data-a>");

    setApp("AUTOFILL_TRIPS", "False");
    const std::string empty = open(browser);
    EXPECT_EQ(storedQuery(browser), "");
    EXPECT_EQ(Tag(empty, "WC@RESULTS"), "");
    EXPECT_EQ(Tag(empty, "WC@NUM"), "0");
}

TEST_F(TripSearchTest, StatusBoxesAddAConditionOnlyWhenOneOfAPairIsTicked) {
    struct Case {
        Form boxes;
        std::string condition;
    };
    const Case cases[] = {
        {{}, ""},
        {{{"chkASSIGNED", "ON"}, {"chkUnassigned", "ON"}}, ""},
        {{{"chkUnassigned", "ON"}}, " WHERE TRIPS.ASSIGNED = FALSE"},
        {{{"chkASSIGNED", "ON"}}, " WHERE TRIPS.ASSIGNED = TRUE"},
        {{{"chkBILLED", "ON"}, {"chkCANCELLED", "ON"}},
         " WHERE TRIPS.BILLED = TRUE AND TRIPS.CANCELED = TRUE"},
        {{{"chkUnbilled", "ON"}, {"chkOPEN", "ON"}},
         " WHERE TRIPS.BILLED = FALSE AND TRIPS.CANCELED = FALSE"},
        {{{"chkOpenBalance", "ON"}},
         " WHERE (TRIPS.AMOUNT1 > 0 OR TRIPS.AMOUNT2 > 0 OR TRIPS.AMOUNT3 > 0 OR TRIPS.AMOUNT4 > 0 OR "
         "TRIPS.AMOUNT5)"},
    };
    addTrip(1, {{"ASSIGNED", "1"}, {"BILLED", "0"}, {"CANCELED", "0"}});
    addTrip(2, {{"ASSIGNED", "0"}, {"BILLED", "1"}, {"CANCELED", "1"}, {"AMOUNT5", "3.5"}});
    const char* listed[] = {"1,2", "1,2", "2", "1", "2", "1", "2"};
    MemoryHost browser(*app_);
    signIn(browser, "office");
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const std::string page = searchTrips(browser, cases[i].boxes);
        EXPECT_EQ(storedCondition(browser), cases[i].condition) << i;
        EXPECT_EQ(storedQuery(browser), kTripSelect + cases[i].condition + kByDeparture) << i;
        EXPECT_EQ(ListedTrips(page), listed[i]) << i;
    }
}

TEST_F(TripSearchTest, OnlyTheSortOptionsOfTheFormReachTheOrder) {
    struct Case {
        const char* first;
        const char* second;
        std::string order;
        const char* listed;
    };
    addTrip(1, {{"CUSTOMER", "'RIVER'"}, {"NUMSTUDENTS", "10"}, {"DEPDATE", "'2026-05-01 00:00:00'"}});
    addTrip(2, {{"CUSTOMER", "'MAPLE'"}, {"NUMSTUDENTS", "30"}, {"DEPDATE", "'2026-05-03 00:00:00'"}});
    addTrip(3, {{"CUSTOMER", "'MAPLE'"}, {"NUMSTUDENTS", "20"}, {"DEPDATE", "'2026-05-02 00:00:00'"}});
    const Case cases[] = {
        {"CUSTOMER.CUSTNAME", "TRIPS.DEPDATE", " ORDER BY CUSTOMER.CUSTNAME, TRIPS.DEPDATE", "3,2,1"},
        {"TRIPS.NUMSTUDENTS", "", " ORDER BY TRIPS.NUMSTUDENTS", "1,3,2"},
        {"", "TRIPS.TRIPNUM", kByDeparture, "1,3,2"},
        {"trips.tripnum", "", " ORDER BY TRIPS.TRIPNUM", "1,2,3"},
        {"TRIPS.TRIPNUM; DROP TABLE TRIPS", "", kByDeparture, "1,3,2"},
        {"TRIPS.TRIPREQNUM", "(SELECT 1)", " ORDER BY TRIPS.TRIPREQNUM", "1,2,3"},
    };
    MemoryHost browser(*app_);
    signIn(browser, "office");
    for (const Case& c : cases) {
        const std::string page = searchTrips(browser, {{"sortBy1", c.first}, {"sortBy2", c.second}});
        EXPECT_EQ(storedQuery(browser), kTripSelect + c.order) << c.first;
        EXPECT_EQ(ListedTrips(page), c.listed) << c.first;
    }
    const std::string page =
        searchTrips(browser, {{"sortBy1", "DESTINATION.DESTDESC"}, {"sortBy2", "TRIPS.TRIPREQNUM"}});
    const std::string sortBy = Tag(page, "WC@SORTBY");
    EXPECT_NE(sortBy.find("<option selected value='DESTINATION.DESTDESC'>Destination</option>"),
              std::string::npos);
    EXPECT_NE(sortBy.find("<option></option><option value='TRIPS.TRIPNUM'>"), std::string::npos);
    EXPECT_NE(sortBy.find("<option selected value='TRIPS.TRIPREQNUM'>Request #</option></select>"),
              std::string::npos);
}

TEST_F(TripSearchTest, EachCriterionAddsItsConditionInItsPlace) {
    struct Case {
        Form form;
        std::string condition;
    };
    const Case cases[] = {
        {{{"DepFrom", "5/1/2026"}, {"DepTo", "5/31/2026"}},
         " WHERE TRIPS.DEPDATE >= #5/1/2026# and TRIPS.DEPDATE <= #5/31/2026#"},
        {{{"DepTo", "5/31/2026"}}, ""},
        {{{"BILLCUST", "12, Twelve Oaks"}}, " WHERE TRIPS.BILLCUST = '12'"},
        {{{"TRIPNUM", "0042"}}, " WHERE TRIPS.TRIPNUM = 42"},
        {{{"TRIPREQNUM", "7"}}, " WHERE TRIPS.TRIPREQNUM = 7"},
        {{{"div", "S, South"}}, " WHERE CUSTOMER.CUSTDIV = 'S'"},
        {{{"PO", "PO-1' OR 'x'='x"}}, " WHERE TRIPS.PO = 'PO-1'' OR ''x''=''x'"},
        {{{"fund", "PTA"},
          {"PO", "P1"},
          {"BILLCUST", "MAPLE, Maple Grove"},
          {"chkASSIGNED", "ON"},
          {"chkUnbilled", "ON"},
          {"chkCANCELLED", "ON"},
          {"chkOpenBalance", "ON"},
          {"TRIPNUM", "1"},
          {"TRIPREQNUM", "9"},
          {"IntNum", "M-7"},
          {"div", "N, North"},
          {"tripcat", "EDU"},
          {"dest", "1"},
          {"cust", "MAPLE"},
          {"grade", "5"},
          {"DepFrom", "5/14/2026"}},
         " WHERE TRIPS.DEPDATE >= #5/14/2026# and TRIPS.DEPDATE <= #5/14/2026# AND TRIPS.GRADE = '5' AND "
         "TRIPS.CUSTOMER = 'MAPLE' AND TRIPS.DESTINATION = 1 AND TRIPS.TRIPCAT = 'EDU' AND CUSTOMER.CUSTDIV "
         "= 'N' "
         "AND TRIPS.INTTRIPNUM = 'M-7' AND TRIPS.TRIPREQNUM = 9 AND TRIPS.TRIPNUM = 1 AND TRIPS.ASSIGNED = "
         "TRUE "
         "AND TRIPS.BILLED = FALSE AND TRIPS.CANCELED = TRUE AND (TRIPS.AMOUNT1 > 0 OR TRIPS.AMOUNT2 > 0 OR "
         "TRIPS.AMOUNT3 > 0 OR TRIPS.AMOUNT4 > 0 OR TRIPS.AMOUNT5) AND TRIPS.BILLCUST = 'MAPLE' AND TRIPS.PO "
         "= "
         "'P1' AND TRIPS.FUND = 'PTA'"},
    };
    addTrip(1, {{"GRADE", "'5'"},
                {"DESTINATION", "1"},
                {"TRIPCAT", "'EDU'"},
                {"INTTRIPNUM", "'M-7'"},
                {"TRIPREQNUM", "9"},
                {"ASSIGNED", "1"},
                {"BILLED", "0"},
                {"CANCELED", "1"},
                {"AMOUNT1", "2"},
                {"BILLCUST", "'MAPLE'"},
                {"PO", "'P1'"},
                {"FUND", "'PTA'"}});
    MemoryHost browser(*app_);
    signIn(browser, "office");
    for (const Case& c : cases) {
        const std::string page = searchTrips(browser, c.form);
        EXPECT_EQ(storedCondition(browser), c.condition) << c.form[0].first;
        EXPECT_EQ(storedQuery(browser), kTripSelect + c.condition + kByDeparture) << c.form[0].first;
        EXPECT_EQ(page.find("Error in Procedure"), std::string::npos) << page.substr(0, 300);
    }
    EXPECT_EQ(ListedTrips(searchTrips(browser, cases[std::size(cases) - 1].form)), "1");
}

TEST_F(TripSearchTest, UserOfOneCustomerSearchesOnlyThatCustomer) {
    addTrip(1);
    addTrip(2, {{"CUSTOMER", "'RIVER'"}});
    MemoryHost browser(*app_);
    signIn(browser, "teacher");
    const std::string page = searchTrips(browser, {{"cust", "RIVER"}});
    EXPECT_EQ(storedCondition(browser), " WHERE TRIPS.CUSTOMER = 'MAPLE'");
    EXPECT_EQ(ListedTrips(page), "1");
    EXPECT_EQ(
        Tag(page, "WC@CUST"),
        "<select name='cust' data-a><option></option><option value='MAPLE' selected>Maple Grove</option>"
        "</select>");
    EXPECT_EQ(Tag(page, "WC@BILLCUST"),
              "<select name='billcust' data-a><option></option><option>MAPLE, Maple Grove</option></select>");
}

TEST_F(TripSearchTest, DestinationsAreListedAsTheCustomersAre) {
    MemoryHost browser(*app_);
    signIn(browser, "office");
    const std::string page = searchTrips(browser, {{"dest", "2"}});
    EXPECT_EQ(Tag(page, "WC@DEST"),
              "<select name='dest' data-a><option></option><option value='2' selected>Northwoods Zoo and "
              "Aquarium of</option><option value='1'>Zoo</option></select>");
}

TEST_F(TripSearchTest, ResetListsAgainOrNothing) {
    addTrip(1);
    MemoryHost district(*app_);
    signIn(district, "office");
    std::string page =
        searchTrips(district, {{"btnsubmit", "Reset"}, {"grade", "5"}, {"chkOpenBalance", "ON"}});
    EXPECT_EQ(storedCondition(district), "") << "a user without a customer is not limited to a blank one";
    EXPECT_EQ(ListedTrips(page), "1");
    EXPECT_NE(Tag(page, "WC@CHKBOX").find("name='chkOPEN' value='ON' checked"), std::string::npos);

    MemoryHost teacher(*app_);
    signIn(teacher, "teacher");
    searchTrips(teacher, {{"btnsubmit", "Reset"}});
    EXPECT_EQ(storedCondition(teacher), " WHERE TRIPS.CUSTOMER = 'MAPLE'");

    setApp("AUTOFILL_TRIPS", "False");
    page = searchTrips(district, {{"btnsubmit", "Reset"}});
    EXPECT_EQ(storedQuery(district), "");
    EXPECT_EQ(Tag(page, "WC@RESULTS"), "");
    EXPECT_EQ(Tag(page, "WC@NUM"), "0");
}

TEST_F(TripSearchTest, FundButtonOpensTheLookupAndItsReturnSearchesByTheFund) {
    addTrip(1, {{"FUND", "'PTA'"}, {"ASSIGNED", "1"}});
    addTrip(2, {{"FUND", "'GEN'"}});
    setApp("AUTOFILL_TRIPS", "False");
    MemoryHost browser(*app_);
    signIn(browser, "office");
    searchTrips(browser, {{"grade", "K"}});
    const std::string before = storedQuery(browser);

    EXPECT_EQ(searchTrips(browser, {{"btnSubmit", "Fund"}, {"cust", "RIVER"}, {"grade", "5"}}),
              "[fund lookup]");
    EXPECT_EQ(sessionText(browser, "SELTRIP"), "Y");
    EXPECT_EQ(sessionText(browser, "RequestDetail.customer"), "RIVER");
    EXPECT_EQ(storedQuery(browser), before) << "no search on the way out";

    const std::string page = post(browser, "WCI=LookupFund&WCE=RetwSelected&WCU", {{"SelFund", "PTA"}});
    EXPECT_EQ(storedCondition(browser), " WHERE TRIPS.FUND = 'PTA'")
        << "searched although the list is not filled";
    EXPECT_EQ(ListedTrips(page), "1");
    EXPECT_EQ(Tag(page, "WC@FUND"), "<input name='fund' size='21' value='PTA' data-a>");
    EXPECT_NE(Tag(page, "WC@CHKBOX").find("name='chkASSIGNED' value='ON' checked"), std::string::npos);

    searchTrips(browser, {{"grade", "5"}});
    EXPECT_EQ(storedCondition(browser), " WHERE TRIPS.GRADE = '5'") << "the chosen fund is taken once";
}

TEST_F(TripSearchTest, FundButtonOfAUserWithACustomerLooksUpThatCustomersFunds) {
    MemoryHost browser(*app_);
    signIn(browser, "teacher");
    searchTrips(browser, {{"btnSubmit", "Fund"}, {"cust", "RIVER"}});
    EXPECT_EQ(sessionText(browser, "RequestDetail.customer"), "MAPLE");
    const std::string page = post(browser, "WCI=LookupFund&WCE=RetwSelected&WCU", {});
    EXPECT_EQ(storedCondition(browser), " WHERE TRIPS.CUSTOMER = 'MAPLE'") << "no fund chosen";
}

TEST_F(TripSearchTest, ListShowsEachTripWithItsBillingAndTheTotals) {
    addTrip(1001, {{"TRIPREQNUM", "NULL"},
                   {"DESTINATION", "1"},
                   {"DEPTIME", "'1899-12-30 09:15:00'"},
                   {"RETDATE", "'2026-05-14 00:00:00'"},
                   {"RETTIME", "'1899-12-30 14:30:00'"},
                   {"ARRIVETIME", "'1899-12-30 10:00:00'"},
                   {"CANCELED", "1"},
                   {"BILLED", "1"},
                   {"ASSIGNED", "0"},
                   {"BILLCUST", "'OAK'"},
                   {"TRIPCAT", "'EDU'"},
                   {"CONTACT", "'Ms. <Lee>'"},
                   {"NUMSTUDENTS", "25"},
                   {"NUMADULTS", "3"},
                   {"GRADE", "'K'"},
                   {"FUND", "'GEN'"},
                   {"PURPOSE", "'Science & art'"}});
    addTrip(1002, {{"TRIPREQNUM", "7"}, {"CUSTOMER", "'NOSUCH'"}, {"DEPDATE", "'2026-05-15 00:00:00'"}});
    site_.sql(
        "trip.db",
        "INSERT INTO ARDETAIL (TRIPNUM, TRANCODE, TRANAMT) VALUES (1001, 'BIL', 1200), (1001, 'PAY', -200), "
        "(1001, 'BIL', 34.567), (1002, 'ADJ', 125.5);");
    MemoryHost browser(*app_);
    signIn(browser, "office");
    const std::string page = searchTrips(browser, {});
    const std::string results = Tag(page, "WC@RESULTS");
    EXPECT_EQ(
        results.substr(results.find("<tbody>") + 7),
        "<tr bgcolor=#FFFFFF><td><font size='-2'>1001</font></td><td rowspan='2'><font size='-2'>Maple Grove"
        "</font></td><td colspan='2'><font size='-2'>Zoo</font></td><td><font size='-2'>5/14/26, 9:15&nbsp;AM"
        "</font></td><td><font size='-2'>5/14/26, 2:30&nbsp;PM</font></td><td align='center'><font size='-2'>"
        "<input type=checkbox checked></font></td><td align='center'><font size='-2'><input type=checkbox "
        "checked></font></td><td>&nbsp;</td><td><font size='-2'>O&#39;Hare &lt;Oak&gt;</font></td><td><font "
        "size='-2'>N</font></td><td><font size='-2'>EDU</font></td></tr><tr bgcolor=#FFFFFF><td><font "
        "size='-2'>Ms. &lt;Lee&gt;</font></td><td><font size='-2'>25/3</font></td><td><font "
        "size='-2'>K</font>"
        "</td><td><font size='-2'>10:00&nbsp;AM</font></td><td><font size='-2'>&nbsp;</font></td><td "
        "align='center'><font size='-2'><input type=checkbox></font></td><td><font size='-2'>$1,234.57</font>"
        "</td><td><font size='-2'>$1,034.57</font></td><td><font size='-2'>GEN</font></td><td><font "
        "size='-2'>Science &amp; art</font></td><td><font size='-2'>&nbsp;</font></td></tr>"
        "<tr bgcolor=#C0C0C0><td><font size='-2'>1002</font></td><td rowspan='2'><font size='-2'> "
        "</font></td>"
        "<td colspan='2'><font size='-2'>&nbsp;</font></td><td><font size='-2'>5/15/26, &nbsp;</font></td>"
        "<td><font size='-2'>&nbsp;, &nbsp;</font></td><td align='center'><font size='-2'><input "
        "type=checkbox></font></td><td align='center'><font size='-2'><input type=checkbox></font></td><td>"
        "&nbsp;</td><td><font size='-2'> </font></td><td><font size='-2'>&nbsp;</font></td><td><font "
        "size='-2'>&nbsp;</font></td></tr><tr bgcolor=#C0C0C0><td><font "
        "size='-2'>&nbsp;</font></td><td><font "
        "size='-2'> / </font></td><td><font size='-2'>&nbsp;</font></td><td><font "
        "size='-2'>&nbsp;</font></td>"
        "<td><font size='-2'>&nbsp;</font></td><td align='center'><font size='-2'><input "
        "type=checkbox></font>"
        "</td><td><font size='-2'></font></td><td><font size='-2'>$125.50</font></td><td><font size='-2'> "
        "</font></td><td><font size='-2'>&nbsp;</font></td><td><font size='-2'>7</font></td></tr>"
        "</tbody></table>");
    EXPECT_EQ(Tag(page, "WC@TOTALBILLED"), "$1,234.57") << "a trip without billing adds nothing";
    EXPECT_EQ(Tag(page, "WC@AMOUNTDUE"), "$1,160.07");
    EXPECT_EQ(Tag(page, "WC@NUM"), "2");
}

TEST_F(TripSearchTest, MoreThanThreeHundredTripsAreCountedNotListed) {
    site_.sql(
        "trip.db",
        "WITH RECURSIVE k(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM k WHERE n < 301) "
        "INSERT INTO TRIPS (TRIPNUM, CUSTOMER, DEPDATE) SELECT n, 'MAPLE', '2026-05-14 00:00:00' FROM k;");
    MemoryHost browser(*app_);
    signIn(browser, "office");
    std::string page = searchTrips(browser, {});
    EXPECT_EQ(Tag(page, "WC@NUM"), "301");
    EXPECT_EQ(
        Tag(page, "WC@RESULTS"),
        "<table width='100%' border='1'><tr>&nbsp;</tr><tr><p align='center'><b><font color='#0000ff'>&nbsp;"
        "&nbsp;Sorry, your search has returned more than 300 trip requests. Please refine your search and "
        "try "
        "again.</font></b></p></tr></table>");
    EXPECT_EQ(storedQuery(browser), kTripSelect + kByDeparture) << "the query is kept for the reports";
    page = searchTrips(browser, {{"TRIPNUM", "300"}});
    EXPECT_EQ(Tag(page, "WC@NUM"), "1");
}

TEST_F(TripSearchTest, WrongDatesAndNumbersAreTheWholeAnswer) {
    struct Case {
        Form form;
        std::string answer;
    };
    const Case cases[] = {
        {{{"DepFrom", "5/32/2026"}}, "Please enter a valid departure from date."},
        {{{"DepFrom", "5/1/2026"}, {"DepTo", "June"}}, "Please enter a valid departure to date."},
        {{{"TRIPNUM", "12 OR 1=1"}},
         "Error in Procedure: TripSearch_FieldTrips of Module: Excursa.  Error: 13.  Type mismatch."},
    };
    MemoryHost browser(*app_);
    signIn(browser, "office");
    open(browser);
    const std::string before = storedQuery(browser);
    for (const Case& c : cases) {
        EXPECT_EQ(testing::WrittenText(searchTrips(browser, c.form)), c.answer);
        EXPECT_EQ(storedQuery(browser), before);
    }
}

TEST_F(TripSearchTest, ExpiredSessionGoesToTheSignOutPage) {
    for (const char* query : {"WCI=TripSearch&WCE&WCU", "WCI=TripSearch&WCE=FieldTrips&WCU"}) {
        MemoryHost browser(*app_);
        const std::string page = get(browser, query);
        EXPECT_NE(page.find(testing::kTimedOut), std::string::npos) << query;
    }
}

}  // namespace
}  // namespace excursa
