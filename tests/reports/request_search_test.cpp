#include "reports/results.h"
#include "reports/search_site.h"
#include "support/message_page.h"

#include <gtest/gtest.h>

namespace excursa {
namespace {

using testing::Form;
using testing::kRequestOrder;
using testing::kRequestSelect;
using testing::Tag;

class RequestSearchTest : public testing::SearchSite {
protected:
    std::string storedQuery(const MemoryHost& browser) {
        return sessionText(browser, "TripRequestReportQuery");
    }
    // The request numbers the result table links, in order.
    static std::string ListedRequests(const std::string& page) {
        std::string numbers;
        const std::string link = "WCI=RequestDetail&WCE=";
        for (std::size_t at = page.find(link); at != std::string::npos; at = page.find(link, at + 1)) {
            const std::size_t start = at + link.size();
            numbers += (numbers.empty() ? "" : ",") + page.substr(start, page.find('&', start) - start);
        }
        return numbers;
    }
};

// ------------------------------------------------------------ approver list

TEST_F(RequestSearchTest, ApproverSeesTheRequestsWaitingAtTheirLevelOfEveryChainInUse) {
    addRequest(1, {{"CHAINID", "'A'"}});  // waits for the principal
    addRequest(2, {{"CHAINID", "'B'"},
                   {"STATUS", "'S2'"},
                   {"DEPDATE", "'2026-05-20 00:00:00'"}});            // waits for the principal, third level
    addRequest(3, {{"CHAINID", "'B'"}, {"STATUS", "'S1'"}});          // waits for the district
    addRequest(4, {{"CHAINID", "'A'"}, {"CUSTOMER", "'RIVER'"}});     // another school's
    addRequest(5, {{"CHAINID", "'C'"}, {"STATUS", "'UNAPPROVED'"}});  // a chain not in use
    MemoryHost principal(*app_);
    const std::string page = signIn(principal, "principal");
    EXPECT_EQ(storedQuery(principal),
              kRequestSelect +
                  " WHERE ((TRIPSREQ.CHAINID = 'A' AND TRIPSREQ.STATUS = 'UNAPPROVED') OR "
                  "(TRIPSREQ.CHAINID = 'B' AND TRIPSREQ.STATUS = 'S2')) AND (TRIPSREQ.CUSTOMER = 'MAPLE')" +
                  kRequestOrder);
    EXPECT_EQ(ListedRequests(page), "1,2");
    EXPECT_EQ(Tag(page, "WC@NUM"), "2");

    MemoryHost district(*app_);
    const std::string wide = signIn(district, "district");
    EXPECT_EQ(storedQuery(district),
              kRequestSelect +
                  " WHERE ((TRIPSREQ.CHAINID = 'A' AND TRIPSREQ.STATUS = 'PRIN OK') OR "
                  "(TRIPSREQ.CHAINID = 'B' AND TRIPSREQ.STATUS = 'S1'))" +
                  kRequestOrder)
        << "an approver without a customer sees the whole district's";
    EXPECT_EQ(ListedRequests(wide), "3");
}

TEST_F(RequestSearchTest, RoleAtMoreLevelsThanThereAreChainsInUse) {
    addRequest(1, {{"CHAINID", "'D'"}, {"STATUS", "'D3'"}});
    MemoryHost browser(*app_);
    const std::string page = signIn(browser, "twice");
    EXPECT_EQ(
        storedQuery(browser),
        kRequestSelect +
            " WHERE ((TRIPSREQ.CHAINID = 'D' AND TRIPSREQ.STATUS = 'D1') OR (TRIPSREQ.CHAINID = 'D' AND "
            "TRIPSREQ.STATUS = 'D3') OR (TRIPSREQ.CHAINID = 'D' AND TRIPSREQ.STATUS = 'D5') OR "
            "(TRIPSREQ.CHAINID = 'D' AND TRIPSREQ.STATUS = 'D7'))" +
            kRequestOrder);
    EXPECT_EQ(ListedRequests(page), "1");
    EXPECT_EQ(page.find("Error in Procedure"), std::string::npos) << page;
}

TEST_F(RequestSearchTest, UserWithoutARoleHasNoWorklist) {
    addRequest(1, {{"CHAINID", "'B'"}, {"STATUS", "'S3'"}});  // its chain's later levels are blank
    for (const char* user : {"norole", "emptyrole"}) {
        MemoryHost browser(*app_);
        signIn(browser, user);
        EXPECT_EQ(storedQuery(browser), kRequestSelect + kRequestOrder)
            << user << ": the district's list, as for any user when it fills the list on opening";
    }
    setApp("AUTOFILL_REQUESTS", "False");
    MemoryHost browser(*app_);
    const std::string page = signIn(browser, "norole");
    EXPECT_EQ(storedQuery(browser), "");
    EXPECT_EQ(Tag(page, "WC@RESULTS"), "") << "no search, no table";
    EXPECT_EQ(Tag(page, "WC@NUM"), "0");
}

// ----------------------------------------------------------------- criteria

TEST_F(RequestSearchTest, EachCriterionAddsItsConditionInItsPlace) {
    struct Case {
        Form form;
        std::string condition;
    };
    const Case cases[] = {
        {{{"DepFrom", "3/1/2004"}},
         " WHERE TRIPSREQ.DEPDATE >= #3/1/2004# and TRIPSREQ.DEPDATE <= #3/1/2004#"},
        {{{"DepFrom", "3/1/2004"}, {"DepTo", "3/31/2004"}},
         " WHERE TRIPSREQ.DEPDATE >= #3/1/2004# and TRIPSREQ.DEPDATE <= #3/31/2004#"},
        {{{"DepTo", "3/31/2004"}}, ""},
        {{{"EnterFrom", "2/1/2004"}, {"EnterTo", "2/9/2004"}},
         " WHERE datevalue(TRIPSREQ.REQDATE) >= #2/1/2004# and datevalue(TRIPSREQ.REQDATE) <= #2/9/2004#"},
        {{{"Status", "PENDING"}, {"grade", "5"}},
         " WHERE TRIPSREQ.STATUS = 'PENDING' AND TRIPSREQ.GRADE = '5'"},
        {{{"cust", "RIVER"}}, " WHERE TRIPSREQ.CUSTOMER = 'RIVER'"},
        {{{"cust", "RIVER, River & Sons"}}, " WHERE TRIPSREQ.CUSTOMER = 'RIVER'"},
        {{{"dest", "0012"}}, " WHERE TRIPSREQ.DESTINATION = 12"},
        {{{"tripcat", "EDU"}}, " WHERE TRIPSREQ.TRIPCAT = 'EDU'"},
        {{{"div", "N, North"}}, ""},
        {{{"IntNum", "A'1"}}, " WHERE TRIPSREQ.INTTRIPNUM = 'A''1'"},
        {{{"IntNum", "M-7"},
          {"tripcat", "EDU"},
          {"dest", "1"},
          {"cust", "MAPLE"},
          {"grade", "K"},
          {"Status", "UNAPPROVED"},
          {"EnterFrom", "4/2/2026"},
          {"DepFrom", "5/14/2026"}},
         " WHERE TRIPSREQ.DEPDATE >= #5/14/2026# and TRIPSREQ.DEPDATE <= #5/14/2026# AND "
         "datevalue(TRIPSREQ.REQDATE) >= #4/2/2026# and datevalue(TRIPSREQ.REQDATE) <= #4/2/2026# AND "
         "TRIPSREQ.STATUS = 'UNAPPROVED' AND TRIPSREQ.GRADE = 'K' AND TRIPSREQ.CUSTOMER = 'MAPLE' AND "
         "TRIPSREQ.DESTINATION = 1 AND TRIPSREQ.TRIPCAT = 'EDU' AND TRIPSREQ.INTTRIPNUM = 'M-7'"},
    };
    addRequest(1, {{"REQDATE", "'2026-04-02 09:14:00'"},
                   {"GRADE", "'K'"},
                   {"DESTINATION", "1"},
                   {"TRIPCAT", "'EDU'"},
                   {"INTTRIPNUM", "'M-7'"}});
    MemoryHost browser(*app_);
    signIn(browser, "office");
    for (const Case& c : cases) {
        const std::string page = searchRequests(browser, c.form);
        EXPECT_EQ(storedQuery(browser), kRequestSelect + c.condition + kRequestOrder) << c.form[0].second;
        EXPECT_EQ(page.find("Error in Procedure"), std::string::npos) << page;
    }
    EXPECT_EQ(ListedRequests(searchRequests(browser, cases[std::size(cases) - 1].form)), "1")
        << "the stored text runs and finds the request";
}

TEST_F(RequestSearchTest, UserOfOneCustomerSearchesOnlyThatCustomer) {
    addRequest(1);
    addRequest(2, {{"CUSTOMER", "'RIVER'"}});
    MemoryHost browser(*app_);
    signIn(browser, "teacher");
    const std::string page = searchRequests(browser, {{"cust", "RIVER"}});
    EXPECT_EQ(storedQuery(browser), kRequestSelect + " WHERE TRIPSREQ.CUSTOMER = 'MAPLE'" + kRequestOrder);
    EXPECT_EQ(ListedRequests(page), "1");
    EXPECT_EQ(Tag(page, "WC@CUSTOMER"),
              "<select name='cust' data-a><option value= ></option><option value='MAPLE' selected>Maple Grove"
              "</option></select>");

    setApp("VIEW_OTHER_SCHOOLS", "True");
    searchRequests(browser, {{"cust", "RIVER"}});
    EXPECT_EQ(storedQuery(browser), kRequestSelect + " WHERE TRIPSREQ.CUSTOMER = 'RIVER'" + kRequestOrder)
        << "the district lets schools see each other's";
}

TEST_F(RequestSearchTest, DateThatIsNoDateIsTheWholeAnswer) {
    struct Case {
        Form form;
        const char* message;
    };
    const Case cases[] = {
        {{{"DepFrom", "3/32/2004"}}, "Please enter a valid departure from date."},
        {{{"DepFrom", "3/1/2004"}, {"DepTo", "someday"}}, "Please enter a valid departure to date."},
        {{{"EnterFrom", "2/30/2004"}}, "Please enter a valid enter from date."},
        {{{"EnterFrom", "2/3/2004"}, {"EnterTo", "2/3/2004' OR ''='"}},
         "Please enter a valid enter to date."},
    };
    MemoryHost browser(*app_);
    signIn(browser, "office");
    const std::string before = storedQuery(browser);
    for (const Case& c : cases) {
        EXPECT_EQ(testing::WrittenText(searchRequests(browser, c.form)), c.message);
        EXPECT_EQ(storedQuery(browser), before) << c.message << ": nothing is stored";
    }
}

TEST_F(RequestSearchTest, DivisionFilterDropsOtherDivisionsRows) {
    addRequest(1);
    addRequest(2, {{"CUSTOMER", "'RIVER'"}});
    addRequest(3, {{"CUSTOMER", "'OAK'"}});
    addRequest(4, {{"CUSTOMER", "'NOSUCH'"}});
    MemoryHost browser(*app_);
    signIn(browser, "office");
    const std::string page = searchRequests(browser, {{"div", "N, North"}});
    EXPECT_EQ(storedQuery(browser), kRequestSelect + kRequestOrder) << "no SQL condition";
    EXPECT_EQ(ListedRequests(page), "1,3");
    EXPECT_EQ(Tag(page, "WC@NUM"), "2") << "the count is of the rows listed";
    const std::string results = Tag(page, "WC@RESULTS");
    EXPECT_NE(results.find("<tr bgcolor='#FFFFFF'><td><font size='-2'><a href=\"ExcursaLakemont.asp?WCI="
                           "RequestDetail&WCE=1&WCU\">1</a>"),
              std::string::npos);
    EXPECT_NE(results.find("<tr bgcolor='#C0C0C0'><td><font size='-2'><a href=\"ExcursaLakemont.asp?WCI="
                           "RequestDetail&WCE=3&WCU\">3</a>"),
              std::string::npos)
        << "a dropped row takes no colour";
    EXPECT_EQ(Tag(page, "WC@DIV"),
              "<select name='div' data-a><option></option><option selected>N, North</option>"
              "<option>S, South</option></select>");
}

TEST_F(RequestSearchTest, ThreeHundredRowsAreListedAndOneMoreIsTooMany) {
    site_.sql("Tripschl.db",
              "WITH RECURSIVE k(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM k WHERE n < 300) "
              "INSERT INTO TRIPSREQ (TRIPNUM, CUSTOMER, STATUS) SELECT n, 'MAPLE', 'UNAPPROVED' FROM k;");
    MemoryHost browser(*app_);
    signIn(browser, "office");
    std::string page = searchRequests(browser, {});
    EXPECT_EQ(Tag(page, "WC@NUM"), "300");
    std::size_t rows = 0;
    for (std::size_t at = page.find("WCI=RequestDetail"); at != std::string::npos;
         at = page.find("WCI=RequestDetail", at + 1)) {
        ++rows;
    }
    EXPECT_EQ(rows, 300u);

    addRequest(301);
    page = searchRequests(browser, {});
    EXPECT_EQ(Tag(page, "WC@NUM"), "301");
    EXPECT_EQ(
        Tag(page, "WC@RESULTS"),
        "<table border='0' cellpadding='0' cellspacing='0' width='100%'><tr><td>&nbsp;</td></tr><tr><td "
        "align='center'><b><font color='#0000ff'>&nbsp;&nbsp;Sorry, your search has returned more than 300 "
        "trip requests. Please refine your search and try again.</font></b></td></tr></table>");
    EXPECT_EQ(storedQuery(browser), kRequestSelect + kRequestOrder) << "the query is kept for the reports";
}

TEST_F(RequestSearchTest, ResetShowsTheDefaultListOrNothing) {
    addRequest(1);
    MemoryHost browser(*app_);
    signIn(browser, "teacher");
    std::string page = searchRequests(browser, {{"btnsubmit", "Reset"}, {"Status", "Pending"}});
    EXPECT_EQ(storedQuery(browser), kRequestSelect + " WHERE TRIPSREQ.CUSTOMER = 'MAPLE'" + kRequestOrder);
    EXPECT_EQ(ListedRequests(page), "1");

    setApp("AUTOFILL_REQUESTS", "False");
    for (const char* button : {"Reset", "**exit**"}) {
        page = searchRequests(browser, {{"btnsubmit", button}, {"Status", "Pending"}});
        EXPECT_EQ(storedQuery(browser), "") << button;
        EXPECT_EQ(Tag(page, "WC@RESULTS"), "") << button;
        EXPECT_EQ(Tag(page, "WC@NUM"), "0") << button;
    }
    page = searchRequests(browser, {{"btnsubmit", "Search"}});
    EXPECT_EQ(ListedRequests(page), "1") << "posting the form always searches";
}

// -------------------------------------------------------------------- table

TEST_F(RequestSearchTest, ResultTableRowsShowEachColumnEscaped) {
    addRequest(7, {{"CONTACT", "'Ms. Lee'"},
                   {"DESTINATION", "2"},
                   {"DESTDESC", "'old copy'"},
                   {"DEPTIME", "'1899-12-30 21:15:00'"},
                   {"RETDATE", "'2026-05-15 00:00:00'"},
                   {"RETTIME", "'1899-12-30 14:30:00'"},
                   {"ARRIVETIME", "'1899-12-30 10:00:00'"},
                   {"LEAVETIME", "NULL"},
                   {"STATUS", "'Principal''s <OK>'"},
                   {"REQDATE", "'2026-04-02 09:14:00'"},
                   {"TRIPCAT", "'EDU'"},
                   {"INTTRIPNUM", "'M&7'"},
                   {"NUMSTUDENTS", "25"},
                   {"NUMADULTS", "3"},
                   {"GRADE", "'K'"},
                   {"FIELDTRIP_NUM", "1001"},
                   {"CHAINID", "'A'"},
                   {"PURPOSE", "'<script>x</script>'"}});
    addRequest(8, {{"CUSTOMER", "'NOSUCH'"},
                   {"DESTINATION", "0"},
                   {"DESTDESC", "'Grandma''s farm, out past the grain elevator'"},
                   {"STATUS", "NULL"},
                   {"DEPDATE", "NULL"}});
    addRequest(9, {{"CUSTOMER", "'OAK'"},
                   {"DESTINATION", "3"},
                   {"DESTDESC", "'Old Mill (copy)'"},
                   {"DEPTIME", "'1899-12-30 22:00:00'"}});
    MemoryHost browser(*app_);
    signIn(browser, "office");
    const std::string results = Tag(searchRequests(browser, {}), "WC@RESULTS");
    const std::string rows = results.substr(results.find("</thead></tbody>") + 16);
    EXPECT_EQ(
        rows,
        // Destination 0 shows what was typed, broken after its 30th character.
        "<tr bgcolor='#FFFFFF'><td><font size='-2'><a "
        "href=\"ExcursaLakemont.asp?WCI=RequestDetail&WCE=8&WCU\">"
        "8</a></font></td><td><font size='-2'>NOT FOUND</font></td><td colspan='2' nowrap><font size='-2'>"
        "Grandma&#39;s farm, out past the g-<br>rain elevator</font></td><td><font size='-2'> , &nbsp;</font>"
        "</td><td><font size='-2'> , &nbsp;</font></td><td><font color='Red' size='-1'><b> </b></font></td>"
        "<td><font size='-2'>&nbsp;</font></td><td><font size='-2'>&nbsp;</font></td><td><font size='-2'>"
        "&nbsp;</font></td></tr><tr bgcolor='#FFFFFF'><td></td><td>&nbsp;</td><td><font size='-2'> / </td>"
        "</font><td><font size='-2'>&nbsp;</font></td><td><font size='-2'>&nbsp;</font></td><td><font "
        "size='-2'>&nbsp;</font></td><td><font size='-2'>&nbsp;</font></td><td><font size='-2'>&nbsp;</font>"
        "</td><td><font size='-2'>&nbsp;</font></td><td><font size='-2'>&nbsp;</td></font></tr>"
        // The pick list's name, broken; times without their seconds.
        "<tr bgcolor='#C0C0C0'><td><font size='-2'><a "
        "href=\"ExcursaLakemont.asp?WCI=RequestDetail&WCE=7&WCU\">"
        "7</a></font></td><td><font size='-2'>Maple Grove</font></td><td colspan='2' nowrap><font size='-2'> "
        "Northwoods Zoo and Aquarium o-<br>f the Lakes</font></td><td><font size='-2'>5/14/2026, 9:15&nbsp;PM"
        "</font></td><td><font size='-2'>5/15/2026, 2:30&nbsp;PM</font></td><td><font color='Red' size='-1'>"
        "<b>Principal&#39;s &lt;OK&gt;</b></font></td><td><font size='-2'>4/2/2026</font></td><td><font "
        "size='-2'>EDU</font></td><td><font size='-2'>M&amp;7</font></td></tr><tr bgcolor='#C0C0C0'><td></td>"
        "<td>&nbsp;</td><td><font size='-2'>25/3</td></font><td><font size='-2'>K</font></td><td><font "
        "size='-2'>10:00&nbsp;AM</font></td><td><font size='-2'>&nbsp;</font></td><td><font "
        "size='-2'>N</font>"
        "</td><td><font size='-2'>1001</font></td><td><font size='-2'>A</font></td><td><font size='-2'>"
        "&lt;script&gt;x&lt;/script&gt;</td></font></tr>"
        // A destination no longer offered shows the request's own copy.
        "<tr bgcolor='#FFFFFF'><td><font size='-2'><a "
        "href=\"ExcursaLakemont.asp?WCI=RequestDetail&WCE=9&WCU\">"
        "9</a></font></td><td><font size='-2'>O&#39;Hare &lt;Oak&gt;</font></td><td colspan='2' nowrap><font "
        "size='-2'>Old Mill (copy)</font></td><td><font size='-2'>5/14/2026, "
        "10:00&nbsp;PM</font></td><td><font "
        "size='-2'> , &nbsp;</font></td><td><font color='Red' "
        "size='-1'><b>UNAPPROVED</b></font></td><td><font "
        "size='-2'>&nbsp;</font></td><td><font size='-2'>&nbsp;</font></td><td><font size='-2'>&nbsp;</font>"
        "</td></tr><tr bgcolor='#FFFFFF'><td></td><td>&nbsp;</td><td><font size='-2'> / "
        "</td></font><td><font "
        "size='-2'>&nbsp;</font></td><td><font size='-2'>&nbsp;</font></td><td><font size='-2'>&nbsp;</font>"
        "</td><td><font size='-2'>N</font></td><td><font size='-2'>&nbsp;</font></td><td><font size='-2'>"
        "&nbsp;</font></td><td><font size='-2'>&nbsp;</td></font></tr></tbody></table>");
    EXPECT_EQ(
        results.rfind("<a href='ExcursaLakemont.asp?WCI=PrintReport&Type=Request' target='_blank'>Print "
                      "Report</a>&nbsp;<table width='100%' border='0' cellspacing='0'><thead><tr>",
                      0),
        0u);
}

TEST_F(RequestSearchTest, EmptySearchShowsTheHeadingsOnly) {
    MemoryHost browser(*app_);
    signIn(browser, "office");
    const std::string page = searchRequests(browser, {{"Status", "Pending"}});
    const std::string results = Tag(page, "WC@RESULTS");
    const std::string end = "<hr></td></tr></thead></tbody></tbody></table>";
    EXPECT_EQ(results.substr(results.size() - end.size()), end);
    EXPECT_EQ(Tag(page, "WC@NUM"), "0");
}

TEST_F(RequestSearchTest, FormShowsTheCriteriaAgain) {
    MemoryHost browser(*app_);
    signIn(browser, "office");
    const std::string page = searchRequests(browser, {{"Status", "Principal's OK"},
                                                      {"grade", "K"},
                                                      {"dest", "2"},
                                                      {"tripcat", "SPORT"},
                                                      {"DepFrom", "3/1/2004"},
                                                      {"EnterFrom", "March 2, 2004"}});
    EXPECT_EQ(
        Tag(page, "WC@Status"),
        "<select name='status' data-a><option value=><option value='UNAPPROVED'>UNAPPROVED<option "
        "value='Pending'>Pending<option value='Principal&#39;s OK' selected>Principal&#39;s OK</select>");
    EXPECT_EQ(Tag(page, "WC@Grade"),
              "<select name='grade' data-a><option value=><option value='K' selected>K<option "
              "value='5'>5</select>");
    EXPECT_EQ(
        Tag(page, "WC@DEST"),
        "<select name='dest' data-a><option></option><option value=2 selected>Northwoods Zoo and Aquarium of"
        "</option><option value=1 >Zoo</option></select>");
    EXPECT_EQ(
        Tag(page, "WC@CATEGORY"),
        "<select name='tripcat' data-a><option></option><option>EDU</option><option selected>SPORT</option>"
        "</select>");
    EXPECT_EQ(Tag(page, "WC@DEPFROM"), "3/1/2004");
    EXPECT_EQ(Tag(page, "WC@DEPTO"), "3/1/2004") << "an empty end takes the start";
    EXPECT_EQ(Tag(page, "WC@ENTERFROM"), "March 2, 2004");
    EXPECT_EQ(Tag(page, "WC@ENTERTO"), "March 2, 2004");
    EXPECT_EQ(Tag(page, "WC@TRIPREQCOMMENT"), "data-a");
    EXPECT_EQ(Tag(page, "wc@Name"), "Lakemont");
    EXPECT_EQ(Tag(page, "WC@CITYSTZIP"), "Lakemont, MN  55990");
}

// ------------------------------------------------------------------ navigate

TEST_F(RequestSearchTest, NavigationButtonsLeadToTheirPages) {
    struct Case {
        const char* button;
        const char* pageShows;
    };
    for (const Case& c :
         {Case{"Work With Trip Requests", "[[WC@NUM]]"}, Case{"enter new request", "TripRequestDetail"},
          Case{"View Field Trips", "[[WC@CHKBOX]]"}, Case{"Log Out", "V.E.L.  Login"}}) {
        MemoryHost browser(*app_);
        signIn(browser, "teacher");
        session(browser).set("RequestDetail.Contact", "Ms. Lee");
        session(browser).set("TRIPREQ", "7");
        session(browser).set("LoadRequestDetailFromSession", "True");
        const std::string page =
            post(browser, "WCI=RequestSearch&WCE=Navigate&WCU", {{"btnsubmit", c.button}});
        EXPECT_NE(page.find(c.pageShows), std::string::npos) << c.button << "\n" << page.substr(0, 500);
        if (std::string(c.button) == "Log Out") continue;
        EXPECT_EQ(sessionText(browser, "RequestDetail.contact"), "") << c.button;
        EXPECT_EQ(sessionText(browser, "TripReq"), "") << c.button;
        EXPECT_EQ(sessionText(browser, "LoadRequestDetailFromSession"), "False") << c.button;
        EXPECT_EQ(sessionText(browser, "RequestDetail.New"),
                  std::string(c.button) == "enter new request" ? "NEW" : "")
            << c.button;
    }
    MemoryHost browser(*app_);
    signIn(browser, "teacher");
    EXPECT_EQ(post(browser, "WCI=RequestSearch&WCE=Navigate&WCU", {{"btnsubmit", "Elsewhere"}}), "");
}

TEST_F(RequestSearchTest, ExpiredSessionGoesToTheSignOutPage) {
    for (const char* query : {"WCI=RequestSearch&WCE&WCU", "WCI=RequestSearch&WCE=TripRequests&WCU",
                              "WCI=RequestSearch&WCE=Navigate&WCU"}) {
        MemoryHost browser(*app_);
        const std::string page = post(browser, query, {{"btnsubmit", "View Field Trips"}});
        EXPECT_NE(page.find(testing::kTimedOut), std::string::npos) << query;
        EXPECT_EQ(page.find("[[WC@"), std::string::npos) << query;
    }
}

// Other programs call it too: it changes the text in place and breaks once, after the 30th character.
TEST(BreakStringTest, BreaksALongTextOnceAfterItsThirtiethCharacter) {
    const std::string thirty = "Lakemont Museum of Natural His";
    struct Case {
        std::string text;
        std::string broken;
    };
    const Case cases[] = {
        {thirty, thirty},
        {"Lakemont Museum of Natural Hi ", "Lakemont Museum of Natural Hi "},  // not longer than 30
        {"Lakemont Museum of Natural Hi and more", "Lakemont Museum of Natural Hi <br>and more"},
        {thirty + "tory", thirty + "-<br>tory"},
        {thirty + std::string(40, 'x'), thirty + "-<br>" + std::string(40, 'x')},
        {"\xC3\xA9" + thirty, "\xC3\xA9" + thirty.substr(0, 29) + "-<br>s"},
    };
    for (const Case& c : cases) {
        std::string text = c.text;
        EXPECT_EQ(BreakString(text, 30), c.broken) << c.text;
        EXPECT_EQ(text, c.broken) << "changed in place: " << c.text;
    }
}

}  // namespace
}  // namespace excursa
