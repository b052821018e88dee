// The searches the three lookups share: criteria, the results table, the 300-row limit, the
// session time-out and the page's own tags.
#include "lookup/lookup_site.h"
#include "support/message_page.h"

#include <filesystem>

namespace excursa {
namespace {

using testing::Form;
using testing::Tag;

constexpr const char* kTooMany =
    "Sorry, your search returned more than 300 rows.  Please be more specific with your selection criteria.  "
    "Use your browser's back button and try again.";
constexpr const char* kReturnButton =
    "</tbody></table><p align='center'><input type='submit' value='Return' name='btnSubmit2'></p></td></tr>";
constexpr const char* kCustomerHeader =
    "<table border='1' width='714'><thead><tr><td width='58'><b>Selected</b></td>"
    "<td width='140'><b>Customer Name</b></td><td width='88'><b>Customer</b></td></tr></thead><tbody>";
constexpr const char* kDestinationHeader =
    "<table border='1' width='714'><thead><tr><td width='50'><b>Selected</b></td>"
    "<td width='88'><b>Description</b></td><td width='50'><b>Destination</b></td>"
    "<td width='88'><b>Address</b></td><td width='88'><b>Address#2</b></td></tr></thead><tbody>";
constexpr const char* kFundHeader =
    "<table width='737' border='1'><thead><tr><td><b>Selected</b></td><td><b>Fund</b></td>"
    "<td><b>Description</b></td></tr></thead><tbody>";

// One lookup's search: its page, event and search field.
struct Search {
    const char* item;
    const char* event;
    const char* field;
    const char* header;
};
constexpr Search kCustomers{"LookupCust", "FindCusts", "CUSTDESC", kCustomerHeader};
constexpr Search kDestinations{"LookupDest", "FindDests", "DESTDESC", kDestinationHeader};
constexpr Search kFunds{"LookupFund", "FindFunds", "FUND", kFundHeader};  // all funds: the office user

class LookupSearchTest : public testing::LookupSite {
protected:
    LookupSearchTest() {
        useMarkedTemplates();
        start();
    }

    // The results the search shows for `text` typed in its field, signed in as the office.
    std::string results(const Search& search, const std::string& text) {
        MemoryHost browser(*app_);
        signIn(browser, "office");
        const std::string page = post(browser, search.item, search.event, {{search.field, text}});
        return Tag(page, "WC@RESULTS");
    }
    std::string page(const Search& search, const std::string& text) {
        MemoryHost browser(*app_);
        signIn(browser, "office");
        return post(browser, search.item, search.event, {{search.field, text}});
    }
};

TEST_F(LookupSearchTest, BlanksAndLowerCaseFindTheNamesThatBeginSo) {
    EXPECT_EQ(results(kCustomers, "  map "),
              std::string(kCustomerHeader) +
                  "<tr><td><input type='radio' name='SelCust' value='MAPLE'></td><td>Maple Grove</td>"
                  "<td>MAPLE</td></tr>"
                  "<tr><td><input type='radio' name='SelCust' value='MWOOD'></td><td>maplewood Middle</td>"
                  "<td>MWOOD</td></tr>" +
                  kReturnButton);
    EXPECT_EQ(
        results(kDestinations, " zo "),
        std::string(kDestinationHeader) +
            "<tr><td><input type='radio' name='SelDest' value='1'></td><td>Zoo</td><td>1</td>"
            "<td>1 Park Rd</td><td>Lakemont</td></tr>"
            "<tr><td><input type='radio' name='SelDest' value='2'></td><td>zoological Garden</td><td>2</td>"
            "<td>5 Main St</td><td> </td></tr>" +
            kReturnButton)
        << "a missing address line shows as one blank";
    EXPECT_EQ(
        results(kFunds, " pt "),
        std::string(kFundHeader) +
            "<tr><td><input type='radio' name='SelFund' value='PTA'></td><td>PTA</td><td>PTA fund</td></tr>" +
            kReturnButton)
        << "inactive funds are not offered";
}

TEST_F(LookupSearchTest, NoMatchShowsTheHeaderAndReturnOnly) {
    for (const Search& search : {kCustomers, kDestinations, kFunds}) {
        EXPECT_EQ(results(search, "qqq"), std::string(search.header) + kReturnButton) << search.item;
    }
}

TEST_F(LookupSearchTest, EmptySearchListsEveryCustomerAndEveryDestination) {
    const std::string customers = results(kCustomers, "   ");
    for (const char* code : {"MAPLE", "MWOOD", "RIVER", "LAKE"}) {
        EXPECT_NE(customers.find("value='" + std::string(code) + "'"), std::string::npos) << code;
    }
    EXPECT_NE(customers.find("<td></td><td>NONAME</td>"), std::string::npos)
        << "a missing name inserts nothing";
    const std::string destinations = results(kDestinations, "");
    EXPECT_NE(destinations.find("value='3'"), std::string::npos);
}

TEST_F(LookupSearchTest, QuotesAndMarkupAreSearchedAndShownSafely) {
    EXPECT_EQ(results(kCustomers, "o'neil"),
              std::string(kCustomerHeader) +
                  "<tr><td><input type='radio' name='SelCust' value='O&#39;NEIL'></td>"
                  "<td>O&#39;Neil Elementary</td><td>O&#39;NEIL</td></tr>" +
                  kReturnButton);
    EXPECT_NE(results(kCustomers, "lakeside <").find("<td>Lakeside &lt;High&gt;</td>"), std::string::npos);
    EXPECT_NE(results(kDestinations, "museum <").find("<td>Museum &lt;of Art&gt;</td><td>3</td><td> </td>"),
              std::string::npos);
    EXPECT_NE(results(kFunds, "sport").find("<td>Sports &amp; &lt;Clubs&gt;</td>"), std::string::npos);
    // A wildcard the user types keeps its meaning in the pattern.
    EXPECT_NE(results(kCustomers, "%grove").find("value='MAPLE'"), std::string::npos);
}

TEST_F(LookupSearchTest, ThreeHundredRowsAreShownAndOneMoreIsRefused) {
    struct Bulk {
        Search search;
        std::string table;
        std::string numbered;  // the values of row i
        std::string oneMore;
    };
    const Bulk bulks[] = {
        {kCustomers, "CUSTOMER (CUSTOMER, CUSTNAME, ACTIVE)", "'B' || i, 'Bulk ' || i, 1",
         "('BX', 'Bulk X', 1)"},
        {kDestinations, "DESTINATION (DESTDESC, ACTIVE)", "'Bulk ' || i, 1", "('Bulk X', 1)"},
        {kFunds, "FUND (FUND, FUNDDESC, ACTIVE)", "'BULK' || i, 'Bulk fund', 1", "('BULKX', 'Bulk fund', 1)"},
    };
    for (const Bulk& bulk : bulks) {
        site_.sql("trip.db", testing::NumberedRows(300, bulk.table, bulk.numbered));
        const std::string shown = results(bulk.search, "bulk");
        std::size_t rows = 0;
        for (std::size_t at = shown.find("<tr><td><input"); at != std::string::npos;
             at = shown.find("<tr><td><input", at + 1)) {
            ++rows;
        }
        EXPECT_EQ(rows, 300u) << bulk.search.item;
        EXPECT_TRUE(shown.ends_with(kReturnButton)) << bulk.search.item;

        site_.sql("trip.db", "INSERT INTO " + bulk.table + " VALUES " + bulk.oneMore + ";");
        EXPECT_EQ(testing::WrittenText(page(bulk.search, "bulk")), kTooMany)
            << bulk.search.item << ": the message is the whole page";
    }
}

TEST_F(LookupSearchTest, ExpiredSessionGoesToTheSignOutPage) {
    const std::pair<const char*, const char*> events[] = {
        {"LookupCust", "FindCusts"},    {"LookupCust", "RetwSelected"}, {"LookupDest", "FindDests"},
        {"LookupDest", "RetwSelected"}, {"LookupFund", "FindFunds"},    {"LookupFund", "RetwSelected"}};
    for (const auto& [item, event] : events) {
        MemoryHost browser(*app_);
        const std::string shown = post(
            browser, item, event,
            {{"CUSTDESC", "map"}, {"SelCust", "RIVER"}, {"SelDest", "1"}, {"SelFund", "GEN"}, {"FUND", "G"}});
        EXPECT_NE(shown.find("Sorry, your session has timed out please log in again and retry."),
                  std::string::npos)
            << item << " " << event;
        EXPECT_EQ(Tag(shown, "WC@RESULTS"), "<missing>") << item << " " << event;
        EXPECT_EQ(sessionText(browser, "RequestDetail.customer"), "");
        EXPECT_EQ(sessionText(browser, "RequestDetail.destination"), "");
        EXPECT_EQ(sessionText(browser, "RequestDetail.fund"), "");
    }
}

TEST_F(LookupSearchTest, PageTagsShowTheDistrictTheRequestAndTheEventName) {
    MemoryHost browser(*app_);
    signIn(browser, "office");
    session(browser).set("TRIPREQ", "7");
    for (const char* item : {"LookupCust", "LookupDest", "LookupFund"}) {
        const std::string shown = browser.get(testing::LookupUrl(item, "%3Cb%3E'x")).body;
        EXPECT_EQ(Tag(shown, "wc@Name"), "Lakemont <Schools>") << "district settings stand as written";
        EXPECT_EQ(Tag(shown, "WC@ADDR1"), "1 School Way");
        EXPECT_EQ(Tag(shown, "WC@PHONE"), "555-0100");
        EXPECT_EQ(Tag(shown, "WC@TRIPREQ"), "7");
        EXPECT_EQ(Tag(shown, "WC@RESULTS"), "") << "no search has run";
        EXPECT_EQ(Tag(shown, "WC@FUND"), std::string(item) == "LookupFund" ? "&lt;b&gt;&#39;x" : "kept")
            << item;
    }
}

TEST_F(LookupSearchTest, MissingDatabaseShowsTheConnectionError) {
    MemoryHost browser(*app_);
    signIn(browser, "office");
    std::filesystem::remove(site_.dataFolder() / "trip.db");
    for (const Search& search : {kCustomers, kDestinations, kFunds}) {
        const std::string shown = post(browser, search.item, search.event, {{search.field, "a"}});
        EXPECT_TRUE(testing::WrittenText(shown).starts_with(
            "Error in Procedure: SetTripDBConnections of Module: WebCommon.  Error: "))
            << search.item << ": " << shown;
        EXPECT_EQ(Tag(shown, "WC@RESULTS"), "<missing>") << "no page follows the error";
    }
}

}  // namespace
}  // namespace excursa
