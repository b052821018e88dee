#include "reports/results.h"
#include "reports/search_site.h"
#include "reports/search_state.h"
#include "reports/summary_chart.h"
#include "support/message_page.h"

#include <gtest/gtest.h>

namespace excursa {
namespace {

using testing::Form;
using testing::Tag;

std::size_t RowsOf(const std::string& html) {
    std::size_t rows = 0;
    for (std::size_t at = html.find("<tr bgcolor"); at != std::string::npos;
         at = html.find("<tr bgcolor", at + 1)) {
        ++rows;
    }
    return rows;
}

const std::string kFirstPrevious =
    "<input type='submit' class='submitLink' value='First' name='btnSubmit' id='btnFirst'>"
    "<input type='submit' class='submitLink' value='Previous' name='btnSubmit' id='btnPrevious'>";
const std::string kNextLast =
    "<input type='submit' class='submitLink' value='Next' name='btnSubmit' id='btnNext'>"
    "<input type='submit' class='submitLink' value='Last' name='btnSubmit' id='btnLast'>";

class ReportPagesTest : public testing::SearchSite {
protected:
    void addRequests(int count) {
        site_.sql("Tripschl.db",
                  "WITH RECURSIVE k(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM k WHERE n < " +
                      std::to_string(count) +
                      ") INSERT INTO TRIPSREQ (TRIPNUM, CUSTOMER, STATUS, DEPDATE) SELECT n, 'MAPLE', "
                      "'UNAPPROVED', '2026-05-14 00:00:00' FROM k;");
    }
    // Signs in and lists every request, then opens the print window as the list's link does.
    void searchAllRequests(MemoryHost& browser) {
        signIn(browser, "office");
        get(browser, "WCI=PrintReport&Type=Request");
    }
    std::string page(MemoryHost& browser, const std::string& item, const std::string& button = "") {
        if (button.empty()) return get(browser, "WCI=" + item + "&WCE&WCU");
        return post(browser, "WCI=" + item + "&WCE=" + item + "&WCU", {{"btnSubmit", button}});
    }
};

// ------------------------------------------------------------------- paging

TEST_F(ReportPagesTest, FortyFiveRowsMakeTwoFullPagesAndOneOfFive) {
    addRequests(45);
    MemoryHost browser(*app_);
    searchAllRequests(browser);
    struct Step {
        const char* button;
        const char* pageShown;
        std::size_t rows;
        std::string buttons;
    };
    const Step steps[] = {
        {"", "1", 20, "&nbsp;First&nbsp;&nbsp;Previous&nbsp;" + kNextLast},
        {"Next", "2", 20, kFirstPrevious + kNextLast},
        {"Next", "3", 5, kFirstPrevious + "&nbsp;Next&nbsp;&nbsp;Last&nbsp;"},
        {"Next", "3", 5, kFirstPrevious + "&nbsp;Next&nbsp;&nbsp;Last&nbsp;"},
        {"Previous", "2", 20, kFirstPrevious + kNextLast},
        {"First", "1", 20, "&nbsp;First&nbsp;&nbsp;Previous&nbsp;" + kNextLast},
        {"Last", "3", 5, kFirstPrevious + "&nbsp;Next&nbsp;&nbsp;Last&nbsp;"},
        {"Sideways", "3", 5, kFirstPrevious + "&nbsp;Next&nbsp;&nbsp;Last&nbsp;"},
    };
    for (const Step& step : steps) {
        const std::string shown = page(browser, "TripRequestReport1", step.button);
        EXPECT_EQ(Tag(shown, "WC@PAGENUMBER"), step.pageShown) << step.button;
        EXPECT_EQ(RowsOf(Tag(shown, "WC@RESULTS")), step.rows) << step.button;
        EXPECT_EQ(Tag(shown, "WC@NAVIGATIONBUTTONS"), step.buttons) << step.button;
        EXPECT_EQ(session(browser).get("PageNumber"),
                  Value::Integer(static_cast<std::int16_t>(std::stoi(step.pageShown))));
        EXPECT_EQ(session(browser).get("RecordCount"), Value::Long(45));
    }
    const std::string first = page(browser, "TripRequestReport1", "First");
    EXPECT_NE(Tag(first, "WC@RESULTS").find("WCE=20&WCU"), std::string::npos)
        << "rows 1 to 20 in the query's order";
    EXPECT_NE(Tag(page(browser, "TripRequestReport1", "Last"), "WC@RESULTS").find("WCE=45&WCU"),
              std::string::npos);
}

TEST_F(ReportPagesTest, LastOfFortyRowsIsTheSecondPage) {
    addRequests(40);
    MemoryHost browser(*app_);
    searchAllRequests(browser);
    page(browser, "TripRequestReport2");
    const std::string last = page(browser, "TripRequestReport2", "Last");
    EXPECT_EQ(Tag(last, "WC@PAGENUMBER"), "2")
        << "one past the last full page falls back to the last with rows";
    EXPECT_EQ(session(browser).get("PageNumber"), Value::Integer(2));
    EXPECT_EQ(RowsOf(Tag(last, "WC@RESULTS")), 40u) << "two lines a request";
}

TEST_F(ReportPagesTest, PageOfAnEmptyReportIsNumberedZero) {
    MemoryHost browser(*app_);
    signIn(browser, "office");
    get(browser, "WCI=PrintReport&Type=Request");
    const std::string shown = page(browser, "TripRequestReport1");
    EXPECT_EQ(Tag(shown, "WC@PAGENUMBER"), "0");
    EXPECT_EQ(Tag(shown, "WC@RESULTS"), "");
    EXPECT_EQ(Tag(shown, "WC@NAVIGATIONBUTTONS"),
              "&nbsp;First&nbsp;&nbsp;Previous&nbsp;&nbsp;Next&nbsp;&nbsp;Last&nbsp;");
}

TEST_F(ReportPagesTest, ReportBeforeAnySearchAnswersWithItsMessageOnly) {
    struct Case {
        const char* item;
        const char* answer;
    };
    for (const Case& c : {Case{"TripRequestReport1", "Trip Request Report Query must be supplied."},
                          Case{"TripRequestReport2", "Trip Request Report Query must be supplied."},
                          Case{"TripReport1", "Trip Report Query must be supplied."},
                          Case{"TripReport2", "Trip Report Query must be supplied."}}) {
        MemoryHost browser(*app_);
        EXPECT_EQ(testing::WrittenText(page(browser, c.item)), c.answer);
        EXPECT_EQ(testing::WrittenText(page(browser, c.item, "Next")), c.answer);
    }
}

TEST_F(ReportPagesTest, ReportPageHeaderTags) {
    addRequests(1);
    MemoryHost browser(*app_);
    searchAllRequests(browser);
    const std::string shown = page(browser, "TripRequestReport1");
    EXPECT_EQ(Tag(shown, "WC@DISTRICTNAME"), "Lakemont");
    double now = 0;
    EXPECT_TRUE(ParseDate(Tag(shown, "WC@NOW"), now)) << Tag(shown, "WC@NOW");
    EXPECT_LT(std::abs(now - Now()), 0.01);
    EXPECT_EQ(Tag(shown, "WC@OTHER"), "data-a");
}

// --------------------------------------------------------------------- rows

TEST_F(ReportPagesTest, RequestReportRows) {
    addRequest(7, {{"CONTACT", "'Ms. <Lee>'"},
                   {"DESTINATION", "1"},
                   {"DEPTIME", "'1899-12-30 21:15:00'"},
                   {"RETDATE", "'2026-05-15 00:00:00'"},
                   {"RETTIME", "'1899-12-30 14:30:00'"},
                   {"ARRIVETIME", "'1899-12-30 10:00:00'"},
                   {"ENTERDATE", "'2026-04-02 09:14:00'"},
                   {"TRIPCAT", "'EDU'"},
                   {"INTTRIPNUM", "'M-7'"},
                   {"NUMSTUDENTS", "25"},
                   {"NUMADULTS", "3"},
                   {"GRADE", "'K'"},
                   {"FIELDTRIP_NUM", "1001"},
                   {"CHAINID", "'A'"},
                   {"PURPOSE", "'Science'"}});
    addRequest(8, {{"CUSTOMER", "'RIVER'"},
                   {"DESTINATION", "0"},
                   {"DESTDESC", "NULL"},
                   {"DEPDATE", "'2026-05-20 00:00:00'"}});
    MemoryHost browser(*app_);
    searchAllRequests(browser);
    EXPECT_EQ(
        Tag(page(browser, "TripRequestReport1"), "WC@RESULTS"),
        "<tr bgcolor='#FFFFFF'><td><font size='-3'><a "
        "href=\"ExcursaLakemont.asp?WCI=RequestDetail&WCE=7&WCU\">"
        "7</a></font></td><td><font size='-3'>5/14/2026</font></td><td><font size='-3'>Maple "
        "Grove</font></td>"
        "<td nowrap><font size='-3'> Zoo</font></td><td><font size='-3'>5/15/2026</font></td><td><font "
        "size='-3'>9:15&nbsp;PM</font></td><td><font size='-3'>2:30&nbsp;PM</font></td><td><font size='-3'>"
        "UNAPPROVED</font></td></tr>"
        "<tr bgcolor='#C0C0C0'><td><font size='-3'><a "
        "href=\"ExcursaLakemont.asp?WCI=RequestDetail&WCE=8&WCU\">"
        "8</a></font></td><td><font size='-3'>5/20/2026</font></td><td><font size='-3'>River &amp; "
        "Sons</font>"
        "</td><td nowrap><font size='-3'>&nbsp;</font></td><td><font size='-3'> </font></td><td><font "
        "size='-3'>&nbsp;</font></td><td><font size='-3'>&nbsp;</font></td><td><font size='-3'>UNAPPROVED"
        "</font></td></tr>");
    EXPECT_EQ(
        Tag(page(browser, "TripRequestReport2"), "WC@RESULTS"),
        "<tr bgcolor='#FFFFFF'><td><a href=\"ExcursaLakemont.asp?WCI=RequestDetail&WCE=7&WCU\">7</a></td><td>"
        "Maple Grove</td><td colspan='2'> Zoo</td><td>5/14/2026, 9:15&nbsp;PM</td><td>5/15/2026, 2:30&nbsp;PM"
        "</td><td>UNAPPROVED</td><td>4/2/2026 9:14:00 AM</td><td>EDU</td><td>M-7</td></tr><tr "
        "bgcolor='#FFFFFF'><td colspan='2'>Ms. &lt;Lee&gt;</td><td>25/3</td><td>K</td><td>10:00&nbsp;AM</td>"
        "<td>&nbsp;</td><td>N</td><td>1001</td><td>A</td><td>Science</td></tr>"
        "<tr bgcolor='#C0C0C0'><td><a href=\"ExcursaLakemont.asp?WCI=RequestDetail&WCE=8&WCU\">8</a></td><td>"
        "River &amp; Sons</td><td colspan='2'> </td><td>5/20/2026, &nbsp;</td><td> , "
        "&nbsp;</td><td>UNAPPROVED"
        "</td><td> </td><td> </td><td> </td></tr><tr bgcolor='#C0C0C0'><td colspan='2'> </td><td> / "
        "</td><td> "
        "</td><td>&nbsp;</td><td>&nbsp;</td><td>S</td><td> </td><td> </td><td> </td></tr>"
        "<tr><td colspan='10'></td></tr>");
}

TEST_F(ReportPagesTest, TripReportRowsAndTheirFirstRowIsWhiteOnEveryPage) {
    addTrip(1001, {{"DESTINATION", "1"},
                   {"DEPTIME", "'1899-12-30 09:15:00'"},
                   {"RETDATE", "'2026-05-14 00:00:00'"},
                   {"RETTIME", "'1899-12-30 14:30:00'"},
                   {"CANCELED", "1"},
                   {"BILLED", "1"},
                   {"SHUTTLE", "1"},
                   {"ESTTIME", "2.5"},
                   {"ESTMILE", "12.4"},
                   {"CONTACT", "'Ms. Lee'"},
                   {"PURPOSE", "'Science'"},
                   {"NUMSTUDENTS", "25"},
                   {"NUMADULTS", "3"},
                   {"GRADE", "'K'"}});
    addTrip(1002, {{"CUSTOMER", "'RIVER'"}, {"DEPDATE", "'2026-05-15 00:00:00'"}});
    MemoryHost browser(*app_);
    signIn(browser, "office");
    searchTrips(browser, {});
    get(browser, "WCI=PrintReport&Type=Trip");
    EXPECT_EQ(
        Tag(page(browser, "TripReport1"), "WC@RESULTS"),
        "<tr bgcolor=#FFFFFF><td><font size='-2'>1001</font></td><td><font "
        "size='-2'>5/14/2026</font></td><td>"
        "<font size='-2'>Maple Grove</font></td><td><font size='-2'>Zoo</font></td><td><font size='-2'>"
        "5/14/2026</font></td><td><font size='-2'>9:15&nbsp;AM</font></td><td><font size='-2'>2:30&nbsp;PM"
        "</font></td><td><font size='-2'><input type=checkbox checked disabled></font></td></tr>"
        "<tr bgcolor=#C0C0C0><td><font size='-2'>1002</font></td><td><font "
        "size='-2'>5/15/2026</font></td><td>"
        "<font size='-2'>River &amp; Sons</font></td><td><font size='-2'>&nbsp;</font></td><td><font "
        "size='-2'> </font></td><td><font size='-2'>&nbsp;</font></td><td><font size='-2'>&nbsp;</font></td>"
        "<td><font size='-2'><input type=checkbox disabled></font></td></tr>");
    EXPECT_EQ(
        Tag(page(browser, "TripReport2"), "WC@RESULTS"),
        "<tr bgcolor=#FFFFFF><td><font size='-2'>1001</font></td><td><font "
        "size='-2'>5/14/2026</font></td><td>"
        "<font size='-2'>Maple Grove</font></td><td colspan='3'><font size='-2'>Zoo</font></td><td><font "
        "size='-2'>5/14/2026</font></td><td><font size='-2'>9:15&nbsp;AM</font></td><td><font size='-2'>2:30"
        "&nbsp;PM</font></td><td><font size='-2'><input type=checkbox checked disabled></font></td></tr><tr "
        "bgcolor=#FFFFFF><td colspan='2'><font size='-2'>Ms. Lee</font></td><td><font "
        "size='-2'>Science</font>"
        "</td><td><font size='-2'>2.50</font></td><td><font size='-2'><input type=checkbox checked disabled>"
        "</font></td><td><font size='-2'>12</font></td><td><font size='-2'>25</font></td><td><font "
        "size='-2'>3"
        "</font></td><td><font size='-2'>K</font></td><td><font size='-2'><input type=checkbox disabled>"
        "</font></td></tr>"
        "<tr bgcolor=#C0C0C0><td><font size='-2'>1002</font></td><td><font "
        "size='-2'>5/15/2026</font></td><td>"
        "<font size='-2'>River &amp; Sons</font></td><td colspan='3'><font size='-2'>&nbsp;</font></td><td>"
        "<font size='-2'> </font></td><td><font size='-2'>&nbsp;</font></td><td><font size='-2'>&nbsp;</font>"
        "</td><td><font size='-2'><input type=checkbox disabled></font></td></tr><tr bgcolor=#C0C0C0><td "
        "colspan='2'><font size='-2'>&nbsp;</font></td><td><font size='-2'>&nbsp;</font></td><td><font "
        "size='-2'></font></td><td><font size='-2'><input type=checkbox disabled></font></td><td><font "
        "size='-2'>0</font></td><td><font size='-2'> </font></td><td><font size='-2'> </font></td><td><font "
        "size='-2'>&nbsp;</font></td><td><font size='-2'><input type=checkbox disabled></font></td></tr>");

    setApp("PageSize", Value::Integer(1));
    const std::string second = page(browser, "TripReport1", "Next");
    EXPECT_EQ(Tag(second, "WC@PAGENUMBER"), "2");
    EXPECT_EQ(Tag(second, "WC@RESULTS").rfind("<tr bgcolor=#FFFFFF><td><font size='-2'>1002<", 0), 0u);
}

// -------------------------------------------------------------- print page

TEST_F(ReportPagesTest, PrintPageOffersTheLayoutsOfItsKindOfSearch) {
    const std::string layouts =
        "<input type=radio name=rb value=\"1\" checked>One Line<br><input type=radio "
        "name=rb value=\"2\">Two Line<br>";
    struct Case {
        const char* type;
        const char* stored;
        std::string choice;
    };
    const Case cases[] = {
        {"request", "REQUEST", "<table><tr><td>" + layouts + "</td></tr></table>"},
        {"Trip", "TRIP",
         "<table><tr><td>" + layouts +
             "<input type=radio name=rb value=\"3\">Summary&nbsp;<select name=ddlSummary><option "
             "value=\"Customer\">"
             "Customer</option><option value=\"Category\">Category</option><option "
             "value=\"Fund\">Fund</option>"
             "<option value=\"Destination\">Destination</option><option "
             "value=\"Grade\">Grade</option></select>"
             "</td></tr></table>"},
        {"Bus", "BUS", "Invalid report type."},
    };
    for (const Case& c : cases) {
        MemoryHost browser(*app_);
        session(browser).set("PageNumber", Value::Integer(4));
        const std::string shown = get(browser, std::string("WCI=PrintReport&Type=") + c.type);
        EXPECT_EQ(Tag(shown, "WC@SOURCE"), c.choice) << c.type;
        EXPECT_EQ(Tag(shown, "WC@OTHER"), "data-a");
        EXPECT_EQ(sessionText(browser, "ReportType"), c.stored);
        EXPECT_EQ(session(browser).get("PageNumber"), Value::Integer(1))
            << "every report starts on its first page";
    }
}

TEST_F(ReportPagesTest, PrintChoiceRedirectsToTheReport) {
    struct Case {
        const char* type;
        Form form;
        const char* location;
    };
    const Case cases[] = {
        {"Request", {{"rb", "1"}}, "ExcursaLakemont.asp?WCI=TripRequestReport1&WCE&WCU"},
        {"Request", {{"rb", "2"}}, "ExcursaLakemont.asp?WCI=TripRequestReport2&WCE&WCU"},
        {"Request",
         {{"rb", "3"}, {"ddlSummary", "Fund"}},
         "ExcursaLakemont.asp?WCI=TripRequestReport2&WCE&WCU"},
        {"Trip", {{"rb", "1"}}, "ExcursaLakemont.asp?WCI=TripReport1&WCE&WCU"},
        {"Trip", {{"rb", "2"}}, "ExcursaLakemont.asp?WCI=TripReport2&WCE&WCU"},
        {"Trip",
         {{"rb", "3"}, {"ddlSummary", "Fund"}},
         "ExcursaLakemont.asp?WCI=TripSummaryReport&Type=Fund"},
        {"Trip",
         {{"ddlSummary", "Grade\r\nSet-Cookie: x"}},
         "ExcursaLakemont.asp?WCI=TripSummaryReport&Type=Grade%0D%0ASet%2DCookie%3A%20x"},
    };
    for (const Case& c : cases) {
        MemoryHost browser(*app_);
        get(browser, std::string("WCI=PrintReport&Type=") + c.type);
        const ResponseData response =
            browser.post(std::string(testing::kUrl) + "?WCI=PrintReport&WCE=PrintReport&WCU", c.form);
        EXPECT_EQ(response.status, 302) << c.location;
        EXPECT_EQ(response.location, c.location);
    }
    MemoryHost browser(*app_);
    get(browser, "WCI=PrintReport&Type=Bus");
    const ResponseData again =
        browser.post(std::string(testing::kUrl) + "?WCI=PrintReport&WCE=PrintReport&WCU", {{"rb", "1"}});
    EXPECT_EQ(again.location, "");
    EXPECT_EQ(Tag(again.body, "WC@SOURCE"), "Invalid report type.") << "the print page is shown again";
}

// ----------------------------------------------------------------- summary

class SummaryReportTest : public ReportPagesTest {
protected:
    void SetUp() override {
        // Maple's three trips bill 976.00 together; one has two splits, one a payment, one an adjustment.
        addTrip(1, {{"GRADE", "'5'"},
                    {"TRIPCAT", "'EDU'"},
                    {"FUND", "'GEN'"},
                    {"DESTINATION", "1"},
                    {"NUMSTUDENTS", "12"},
                    {"NUMADULTS", "3"}});
        addTrip(2, {{"GRADE", "'5'"},
                    {"TRIPCAT", "'EDU'"},
                    {"FUND", "'GEN'"},
                    {"DESTINATION", "1"},
                    {"NUMSTUDENTS", "20"},
                    {"NUMADULTS", "2"}});
        addTrip(3, {{"GRADE", "'K'"},
                    {"TRIPCAT", "'SPORT'"},
                    {"FUND", "'PTA'"},
                    {"DESTINATION", "2"},
                    {"NUMSTUDENTS", "8"},
                    {"NUMADULTS", "1"}});
        // River's only trip has neither grade nor category, and no billing.
        addTrip(4, {{"CUSTOMER", "'RIVER'"},
                    {"GRADE", "NULL"},
                    {"TRIPCAT", "''"},
                    {"FUND", "'GEN'"},
                    {"DESTINATION", "1"},
                    {"NUMSTUDENTS", "NULL"},
                    {"NUMADULTS", "4"}});
        site_.sql(
            "trip.db",
            "INSERT INTO ARDETAIL (TRIPNUM, TRANCODE, TRANAMT) VALUES (1, 'BIL', 300), (2, 'BIL', 300), "
            "(3, 'BIL', 326), (3, 'ADJ', 50), (1, 'PAY', -300);"
            "INSERT INTO TRIPSPLIT (TRIPNUM, FUND) VALUES (1, 'GEN'), (1, 'PTA'), (2, 'GEN');"
            "INSERT INTO TRIPEMPLOYEES (TRIPNUM, HOURS, MILES) VALUES (1, 5, 40), (1, 5, 40), (3, 2, 10);");
        makeApp();
    }

    std::string summary(MemoryHost& browser, const std::string& type) {
        return Tag(get(browser, "WCI=TripSummaryReport&Type=" + type), "WC@RESULTS");
    }
    static std::string Row(const char* colour, const std::string& cells) {
        return std::string("<tr bgcolor='") + colour + "'>" + cells + "</tr>";
    }
    static std::string Cells(const std::string& description, const char* trips, const char* splits,
                             const char* students, const char* adults, const char* people,
                             const char* amount) {
        std::string html = "<td>" + description + "</td>";
        for (const char* n : {trips, splits, students, adults, people, amount})
            html += "<td align=right>" + std::string(n) + "</td>";
        return html;
    }
    static constexpr const char* kEnd = "<tr><td colspan='10'></td></tr>";
};

TEST_F(SummaryReportTest, EachTypeTotalsEveryTripOnce) {
    MemoryHost browser(*app_);
    signIn(browser, "office");
    searchTrips(browser, {});
    struct Case {
        const char* type;
        std::string rows;
    };
    const Case cases[] = {
        {"Customer", Row("#FFFFFF", Cells("MAPLE - Maple Grove", "3", "3", "40", "6", "46", "$976.00")) +
                         Row("#C0C0C0", Cells("RIVER - River &amp; Sons", "1", "0", "0", "4", "4", "$0.00"))},
        {"Fund", Row("#FFFFFF", Cells("GEN - General", "3", "3", "32", "9", "41", "$600.00")) +
                     Row("#C0C0C0", Cells("PTA - PTA", "1", "0", "8", "1", "9", "$376.00"))},
        {"Destination", Row("#FFFFFF", Cells(" 1 - Zoo", "3", "3", "32", "9", "41", "$600.00")) +
                            Row("#C0C0C0", Cells(" 2 - Northwoods Zoo and Aquarium of the Lakes", "1", "0",
                                                 "8", "1", "9", "$376.00"))},
        {"grade", Row("#FFFFFF", Cells("*None", "1", "0", "0", "4", "4", "$0.00")) +
                      Row("#C0C0C0", Cells("5 - Grade 5", "2", "3", "32", "5", "37", "$600.00")) +
                      Row("#FFFFFF", Cells("K - Kindergarten", "1", "0", "8", "1", "9", "$376.00"))},
        // The category summary counts billings only: the adjustment stays out.
        {"CATEGORY", Row("#FFFFFF", Cells("*None", "1", "0", "0", "4", "4", "$0.00")) +
                         Row("#C0C0C0", Cells("EDU - Educational", "2", "3", "32", "5", "37", "$600.00")) +
                         Row("#FFFFFF", Cells("SPORT - Sports", "1", "0", "8", "1", "9", "$326.00"))},
    };
    for (const Case& c : cases) EXPECT_EQ(summary(browser, c.type), c.rows + kEnd) << c.type;
}

TEST_F(SummaryReportTest, SearchConditionLimitsEveryColumn) {
    MemoryHost browser(*app_);
    signIn(browser, "office");
    searchTrips(browser, {{"grade", "5"}});
    EXPECT_EQ(summary(browser, "Customer"),
              Row("#FFFFFF", Cells("MAPLE - Maple Grove", "2", "3", "32", "5", "37", "$600.00")) + kEnd);
    EXPECT_EQ(summary(browser, "Category"),
              Row("#FFFFFF", Cells("*None", "0", "0", "0", "0", "0", "$0.00")) +
                  Row("#C0C0C0", Cells("EDU - Educational", "2", "3", "32", "5", "37", "$600.00")) + kEnd);
}

TEST_F(SummaryReportTest, ConditionFollowsTheJoinOfEveryPart) {
    WebItemRegistry items = ExcursaItems();
    items.add({.name = "SummaryQuery", .respond = [](AppObject& app) {
                   int page = 1;
                   BuildTripSummaryReportResults(app, app.host.queryField("Type"), app.host.queryField("C"),
                                                 page, 20);
                   app.host.write(Search(app).SearchQuery);
               }});
    WebApplication web(std::move(items), WebClass_Start, site_.www());
    web.warmUp();
    MemoryHost browser(web);
    const std::string byCustomer = testing::WrittenText(
        browser.get("ExcursaLakemont.asp?WCI=SummaryQuery&Type=customer&C=+WHERE+TRIPS.GRADE+%3D+%275%27"));
    const std::string tail =
        "FROM CUSTOMER INNER JOIN TRIPS ON CUSTOMER.CUSTOMER = TRIPS.CUSTOMER  WHERE TRIPS.GRADE = '5' GROUP "
        "BY "
        "CUSTOMER.CUSTOMER, CUSTOMER.CUSTNAME";
    EXPECT_EQ(byCustomer.substr(byCustomer.size() - tail.size()), tail);
    EXPECT_EQ(byCustomer.find("WHERE TRIPS.GRADE"), byCustomer.rfind("WHERE TRIPS.GRADE"))
        << "the per-trip totals need no condition of their own";

    const std::string byCategory =
        testing::WrittenText(browser.get("ExcursaLakemont.asp?WCI=SummaryQuery&Type=Category"));
    EXPECT_NE(
        byCategory.find("ON CUSTOMER.CUSTOMER = TRIPS.CUSTOMER  GROUP BY TRIPCAT.TRIPCAT, TRIPCAT.DESCRIPTION"
                        " UNION SELECT ('*None') AS TYPEDESCRIPTION"),
        std::string::npos)
        << byCategory;
    const std::string none =
        "FROM CUSTOMER INNER JOIN TRIPS ON CUSTOMER.CUSTOMER = TRIPS.CUSTOMER  AND "
        "(TRIPS.TRIPCAT IS NULL OR trim$(TRIPS.TRIPCAT) = '')";
    EXPECT_EQ(byCategory.substr(byCategory.size() - none.size()), none);
}

TEST_F(SummaryReportTest, ChartShowsTheTripsOfTheGroupsOnThePage) {
    MemoryHost browser(*app_);
    signIn(browser, "office");
    searchTrips(browser, {});
    EXPECT_EQ(Tag(get(browser, "WCI=TripSummaryReport&Type=Customer"), "WC@TRIPSCHART"),
              TripsBarChart({{"MAPLE - Maple Grove", 3}, {"RIVER - River & Sons", 1}}, "Trips by customer"));
    searchTrips(browser, {{"grade", "5"}});
    EXPECT_EQ(Tag(get(browser, "WCI=TripSummaryReport&Type=grade"), "WC@TRIPSCHART"),
              TripsBarChart({{"*None", 0}, {"5 - Grade 5", 2}}, "Trips by grade"));
}

TEST_F(SummaryReportTest, TypeMustBeOneOfTheFive) {
    MemoryHost browser(*app_);
    signIn(browser, "office");
    searchTrips(browser, {});
    EXPECT_EQ(testing::WrittenText(get(browser, "WCI=TripSummaryReport&Type=")),
              "Summary Type must be supplied.");
    EXPECT_EQ(testing::WrittenText(get(browser, "WCI=TripSummaryReport&Type=Bus")), "Invalid Summary Type");
    EXPECT_EQ(testing::WrittenText(post(browser, "WCI=TripSummaryReport&WCE=TripSummaryReport&Type=Bus&WCU",
                                        {{"btnSubmit", "Next"}})),
              "Invalid Summary Type");
    const std::string shown = get(browser, "WCI=TripSummaryReport&Type=fund");
    EXPECT_EQ(Tag(shown, "WC@SUMMARYTYPE"), "fund");
    EXPECT_EQ(Tag(shown, "WC@UCASESUMMARYTYPE"), "FUND");
    EXPECT_EQ(Tag(shown, "WC@DISTRICTNAME"), "Lakemont");
}

TEST_F(SummaryReportTest, SummaryPagesLikeTheOtherReports) {
    setApp("PageSize", Value::Integer(1));
    MemoryHost browser(*app_);
    signIn(browser, "office");
    searchTrips(browser, {});
    get(browser, "WCI=PrintReport&Type=Trip");
    get(browser, "WCI=TripSummaryReport&Type=Customer");
    const std::string next = post(browser, "WCI=TripSummaryReport&WCE=TripSummaryReport&Type=Customer&WCU",
                                  {{"btnSubmit", "Next"}});
    EXPECT_EQ(Tag(next, "WC@PAGENUMBER"), "2");
    EXPECT_EQ(Tag(next, "WC@RESULTS"),
              Row("#FFFFFF", Cells("RIVER - River &amp; Sons", "1", "0", "0", "4", "4", "$0.00")) + kEnd);
    EXPECT_EQ(Tag(next, "WC@NAVIGATIONBUTTONS"), kFirstPrevious + "&nbsp;Next&nbsp;&nbsp;Last&nbsp;");
    const std::string past = post(browser, "WCI=TripSummaryReport&WCE=TripSummaryReport&Type=Customer&WCU",
                                  {{"btnSubmit", "Next"}});
    EXPECT_EQ(Tag(past, "WC@PAGENUMBER"), "2");
}

}  // namespace
}  // namespace excursa
