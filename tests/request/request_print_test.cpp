#include "request/save_fixture.h"

#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <sstream>
#include <string>

namespace excursa {
namespace {

using testing::SaveFixture;

// clang-format off
constexpr std::array<const char*, 52> kPrintTags{
    "wc@Name", "WC@ADDR1", "WC@CITYSTZIP", "WC@PHONE", "WC@TRIPREQCOMMENT", "WC@REQUEST", "wc@REQUESTDT",
    "WC@CUSTOMER", "wc@DESTINATION", "WC@CONTACT", "wc@FUND", "WC@INTTRIPNUM", "WC@DEPDATE", "WC@DEPTIME",
    "WC@RETDATE", "WC@RETTIME", "WC@ARRIVETIME", "WC@LEAVETIME", "WC@STATUS", "WC@GRADE", "WC@CHAIN",
    "WC@STATUS_DATE", "WC@ENTEREDBY", "WC@ENTERDATE", "WC@NUMADULTS", "WC@NUMSTUDENTS", "WC@NUMHAND",
    "WC@ESTTIME", "WC@ESTMILE", "WC@PURPOSE", "WC@CUSTSPEC", "WC@DESTSPEC", "WC@TRIPCOM", "WC@PO", "WC@TRIPCAT",
    "WC@REQUESTOREMAIL", "WC@STATUSCOMMENT", "WC@FUNDHDR", "WC@CUSTHDR", "WC@DESTHDR", "WC@NEW", "WC@APPROVE",
    "WC@DATESHDR", "WC@DEPWARN", "WC@RTNWARN", "WC@FOCUS", "WC@DEFAULTRETURNDATE", "WC@REQUESTOREMAILHDR",
    "WC@LEADTIME", "WC@LEADTIMEHARDWARN", "WC@CALENDARBUTTON", "WC@DESTINATIONADDRESS"};
// clang-format on

constexpr const char* kAsWritten = "as-written";
constexpr const char* kPrintPage = "ExcursaLakemont.asp?WCI=TripRequestDetailPrint";

std::string MarkedTemplate() {
    std::string html;
    for (const char* tag : kPrintTags) {
        const std::string name = UCase(tag);
        html +=
            "[[" + name + "]]<" + std::string(tag) + ">" + kAsWritten + "</" + tag + ">[[/" + name + "]]\n";
    }
    return html;
}

std::string Tag(const std::string& page, std::string_view name) {
    const std::string open = "[[" + UCase(name) + "]]";
    const std::size_t start = page.find(open);
    const std::size_t end = page.find("[[/" + UCase(name) + "]]");
    if (start == std::string::npos || end == std::string::npos) {
        ADD_FAILURE() << "tag " << name << " missing from the page:\n" << page;
        return "";
    }
    return page.substr(start + open.size(), end - start - open.size());
}

class PrintTest : public SaveFixture {
protected:
    PrintTest() {
        site_.sql("Tripschl.db",
                  "UPDATE TRIPSREQ SET STATUS_COMMENT = 'Looks <fine>', CUSTSPEC = 'Nuts & all', "
                  "PURPOSE = 'O''Brien' WHERE TRIPNUM = 1;");
        site_.root().write("www/TripRequestDetailPrint1.htm", MarkedTemplate());
    }

    std::string print(MemoryHost& browser, const std::string& user, int tripNumber) {
        signIn(browser, user);
        open(browser, tripNumber);
        return browser.get(kPrintPage).body;
    }
};

TEST_F(PrintTest, RequestTheUserMayEdit) {
    MemoryHost browser(*app_);
    const std::string page = print(browser, "teacher", 1);
    const std::string year = std::to_string(Year(testing::FarDeparture()));
    const std::vector<std::pair<const char*, std::string>> expected{
        {"wc@Name", "Lakemont"},
        {"WC@REQUEST", "<input type='text' name='TRIPNUM' value='1' readonly>"},
        {"wc@REQUESTDT", "4/2/2026 9:14:00 AM"},
        {"WC@CUSTOMER", "Maple Grove"},
        {"wc@DESTINATION", "Zoo"},
        {"WC@DESTINATIONADDRESS",
         "<tr><td><font class=\"label\">Destination:</font></td><td>1 Park Rd<br>Lakemont</td></tr>"},
        {"WC@CONTACT", "Ms. Lee"},
        {"wc@FUND", "GEN"},
        {"WC@DEPDATE", "6/15/" + year},
        {"WC@DEPTIME", "9:15:00 AM"},
        {"WC@RETTIME", " "},
        {"WC@STATUS", "UNAPPROVED"},
        {"WC@CHAIN", "CH1"},
        {"WC@ENTEREDBY", "teacher"},
        {"WC@NUMSTUDENTS", "25"},
        {"WC@NUMHAND", " "},
        {"WC@PURPOSE", "O&#39;Brien"},
        {"WC@CUSTSPEC", "Nuts &amp; all"},
        {"WC@TRIPCAT", "EDU"},
        {"WC@REQUESTOREMAIL", "lee@maple.org"},
        {"WC@STATUSCOMMENT", "Approve/Deny Comment:<br>Looks &lt;fine&gt;"},
        {"WC@FUNDHDR", "<font class=\"label\">Fund:</font>"},
        {"WC@CUSTHDR", "<font class=\"label\">Customer:</font>"},
        {"WC@DESTHDR", "<font class=\"label\">Destination:</font>"},
        {"WC@NEW", "<input type='text' name='New' value='EXISTING'>"},
        {"WC@CALENDARBUTTON", ""},
        {"WC@TRIPREQCOMMENT", "<b><font color='#FFFFFF'> </font></b>"},
    };
    for (const auto& [tag, value] : expected) EXPECT_EQ(Tag(page, tag), value) << tag;
    EXPECT_FALSE(cnTrip) << "the connections are closed once the page is written";
}

TEST_F(PrintTest, NeverApprovalChoicesOrWarnings) {
    MemoryHost principal(*app_);
    signIn(principal, "principal");
    session(principal).set("blnDepDtWarn", Value::Boolean(true));
    session(principal).set("strDepDtWarn", "WARNING - late");
    session(principal).set("blnRtnDtWarn", Value::Boolean(true));
    open(principal, 1);  // the principal may approve it
    const std::string page = principal.get(kPrintPage).body;
    for (const char* empty :
         {"WC@APPROVE", "WC@DATESHDR", "WC@DEPWARN", "WC@RTNWARN", "WC@FOCUS", "WC@DEFAULTRETURNDATE",
          "WC@REQUESTOREMAILHDR", "WC@LEADTIME", "WC@LEADTIMEHARDWARN"}) {
        EXPECT_EQ(Tag(page, empty), "") << empty;
    }
    EXPECT_EQ(Tag(page, "WC@STATUSCOMMENT"), "Approve/Deny Comment:<br>Looks &lt;fine&gt;")
        << "no comment box";
}

TEST_F(PrintTest, RequestTheUserMayOnlyView) {
    MemoryHost browser(*app_);
    const std::string page = print(browser, "teacher", 2);
    EXPECT_EQ(Tag(page, "WC@REQUEST"), "2");
    EXPECT_EQ(Tag(page, "WC@STATUS"), "Principal OK");
    EXPECT_EQ(Tag(page, "WC@STATUSCOMMENT"), kAsWritten) << "no comment: left as written";
}

TEST_F(PrintTest, DestinationTypedInByTheUserHasNoNameOrAddress) {
    site_.sql("Tripschl.db",
              "UPDATE TRIPSREQ SET DESTINATION = 0, DESTDESC = 'Farm', DESTADD1 = 'RR 2' WHERE TRIPNUM = 1");
    MemoryHost browser(*app_);
    const std::string page = print(browser, "teacher", 1);
    EXPECT_EQ(Tag(page, "wc@DESTINATION"), "");
    EXPECT_EQ(Tag(page, "WC@DESTINATIONADDRESS"), "");
}

TEST_F(PrintTest, AddressLinesAsStoredTheSecondOnlyWhenItHasText) {
    struct Case {
        const char* line1;
        const char* line2;
        const char* shown;  // "" for no row
    };
    const Case cases[] = {
        {"' 1 Park Rd '", "NULL", " 1 Park Rd "},
        {"'1 Park Rd'", "'  '", "1 Park Rd"},
        {"'1 Park Rd'", "'Box 2 '", "1 Park Rd<br>Box 2 "},
        {"'  '", "'Box 2'", ""},
    };
    for (const Case& c : cases) {
        site_.sql("trip.db", std::string("UPDATE DESTINATION SET DESTADD1 = ") + c.line1 +
                                 ", DESTADD2 = " + c.line2 + " WHERE DESTINATION = 1");
        MemoryHost browser(*app_);
        const std::string shown = Tag(print(browser, "teacher", 1), "WC@DESTINATIONADDRESS");
        EXPECT_EQ(shown, *c.shown == '\0' ? std::string()
                                          : "<tr><td><font class=\"label\">Destination:</font></td><td>" +
                                                std::string(c.shown) + "</td></tr>")
            << c.line1 << " / " << c.line2;
    }
}

TEST_F(PrintTest, WithoutARequestTheErrorText) {
    MemoryHost browser(*app_);
    newRequest(browser, "teacher");  // TRIPREQ is empty
    EXPECT_EQ(browser.get(kPrintPage).body.rfind("[[WC@NAME]]Lakemont[[/WC@NAME]]\n[[WC@ADDR1]]", 0), 0u);
    EXPECT_NE(browser.get(kPrintPage)
                  .body.find("Error in Procedure: TripRequestDetailPrint_Respond of Module: Excursa.  Error: "
                             "91.  Object variable "
                             "or With block variable not set."),
              std::string::npos);
}

TEST_F(PrintTest, ExpiredSessionShowsTheSignOutPage) {
    MemoryHost browser(*app_);
    EXPECT_NE(
        browser.get(kPrintPage).body.find("Sorry, your session has timed out please log in again and retry."),
        std::string::npos);
}

TEST_F(PrintTest, ThePrintTemplate) {
    std::ifstream in(std::string(EXCURSA_SOURCE_DIR) + "/templates/TripRequestDetailPrint1.htm",
                     std::ios::binary);
    std::stringstream source;
    source << in.rdbuf();
    const std::string html = source.str();
    for (const char* tag : kPrintTags) {
        EXPECT_NE(UCase(html).find("<" + UCase(tag) + ">"), std::string::npos) << tag;
    }
    site_.root().write("www/TripRequestDetailPrint1.htm", html);
    for (const char* user : {"teacher", "principal", "district"}) {
        MemoryHost browser(*app_);
        const std::string page = print(browser, user, 1);
        EXPECT_EQ(UCase(page).find("<WC@"), std::string::npos) << user;
        EXPECT_NE(page.find("css/request-print.css"), std::string::npos);
        EXPECT_NE(page.find("Maple Grove"), std::string::npos);
        EXPECT_EQ(page.find("Error in Procedure"), std::string::npos) << page;
    }
}

}  // namespace
}  // namespace excursa
