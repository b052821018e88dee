// Return from each lookup: what the request's form state keeps, and the page that follows.
#include "lookup/lookup_site.h"
#include "support/message_page.h"

#include <tuple>

namespace excursa {
namespace {

using testing::Form;

constexpr const char* kRequestForm = "<form name=\"TripRequestDetail\"";

class LookupChoiceTest : public testing::LookupSite {
protected:
    LookupChoiceTest() { start(); }

    // Signed in as the office with request 7 on the form, whose customer, destination and fund are known.
    void onStoredRequest(MemoryHost& browser) {
        onRequestForm(browser, "office", "7");
        session(browser).set("RequestDetail.customer", "MAPLE");
        session(browser).set("RequestDetail.destination", "3");
        session(browser).set("RequestDetail.destdesc", "Museum <of Art>");
        session(browser).set("RequestDetail.Fund", "GEN");
    }
};

TEST_F(LookupChoiceTest, ReturnWithNothingChosenKeepsCustomerAndDestinationButClearsTheFund) {
    struct Case {
        const char* item;
        const char* key;
        const char* after;
    };
    for (const Case& c : {Case{"LookupCust", "RequestDetail.customer", "MAPLE"},
                          Case{"LookupDest", "RequestDetail.destination", "3"},
                          Case{"LookupFund", "RequestDetail.fund", ""}}) {
        MemoryHost browser(*app_);
        onStoredRequest(browser);
        const std::string page = post(browser, c.item, "RetwSelected", {{"btnSubmit2", "Return"}});
        EXPECT_EQ(sessionText(browser, c.key), c.after) << c.item;
        EXPECT_TRUE(page.starts_with("<!DOCTYPE html>")) << c.item << ": nothing above the form";
        EXPECT_NE(page.find(kRequestForm), std::string::npos) << c.item;
    }
    MemoryHost browser(*app_);
    onStoredRequest(browser);
    post(browser, "LookupDest", "RetwSelected", {{"btnLeave", "Back to the request"}});
    EXPECT_EQ(sessionText(browser, "RequestDetail.destdesc"), "Museum <of Art>");
}

TEST_F(LookupChoiceTest, ChosenCustomerAndFundGoOnTheForm) {
    MemoryHost browser(*app_);
    onStoredRequest(browser);
    const std::string customer = post(browser, "LookupCust", "RetwSelected", {{"SelCust", "O'NEIL"}});
    EXPECT_EQ(sessionText(browser, "RequestDetail.customer"), "O'NEIL");
    EXPECT_NE(customer.find("<option selected>O&#39;NEIL, O&#39;Neil Elementary</option>"),
              std::string::npos);

    const std::string fund = post(browser, "LookupFund", "RetwSelected", {{"SelFund", "SPORT"}});
    EXPECT_EQ(sessionText(browser, "RequestDetail.Fund"), "SPORT");
    EXPECT_NE(fund.find("value='SPORT'"), std::string::npos) << "the form's fund field shows it";
    EXPECT_EQ(sessionText(browser, "SelFund"), "") << "only the field trip search's return keeps SelFund";
}

TEST_F(LookupChoiceTest, CustomerChosenWithoutARequestNumberWarnsAboveTheForm) {
    MemoryHost browser(*app_);
    onRequestForm(browser, "office", "");
    const std::string page = post(browser, "LookupCust", "RetwSelected", {{"SelCust", "RIVER"}});
    EXPECT_TRUE(page.starts_with("Session Timed Out, please try again.<!DOCTYPE html>"))
        << page.substr(0, 80);
    EXPECT_NE(page.find("<option selected>RIVER, River &amp; Sons</option>"), std::string::npos);
    EXPECT_EQ(sessionText(browser, "RequestDetail.customer"), "RIVER");

    // Nothing chosen: no warning.
    EXPECT_TRUE(post(browser, "LookupCust", "RetwSelected", {}).starts_with("<!DOCTYPE html>"));
}

TEST_F(LookupChoiceTest, ListedDestinationBringsItsDetails) {
    MemoryHost browser(*app_);
    onStoredRequest(browser);
    session(browser).set("RequestDetail.destcity", "Old town");
    const std::string page = post(browser, "LookupDest", "RetwSelected", {{"SelDest", "1"}});
    const std::pair<const char*, const char*> expected[] = {
        {"destination", "1"}, {"destspec", "Gate B"}, {"destdesc", "Zoo"},      {"destadd1", "1 Park Rd"},
        {"miles", "12"},      {"destcat", ""},        {"destadd2", "Lakemont"}, {"destcity", ""},
        {"destzip", ""},      {"deststate", ""}};
    for (const auto& [field, value] : expected) {
        EXPECT_EQ(sessionText(browser, std::string("RequestDetail.") + field), value) << field;
    }
    EXPECT_NE(page.find("<option value='1' selected>Zoo</option>"), std::string::npos);

    post(browser, "LookupDest", "RetwSelected", {{"SelDest", "2"}});
    EXPECT_EQ(sessionText(browser, "RequestDetail.miles"), "0") << "a destination without miles has 0";
    EXPECT_EQ(sessionText(browser, "RequestDetail.destadd2"), " ") << "a missing line reads as one blank";
    EXPECT_EQ(sessionText(browser, "RequestDetail.destspec"), "");
}

TEST_F(LookupChoiceTest, DestinationThatCannotBeReadKeepsTheFormsDestination) {
    const std::pair<const char*, const char*> cases[] = {
        {"1x", "Error in Procedure: LookupDest_RetwSelected of Module: .  Error: 13.  Type mismatch."},
        // The reader's failure, written again as the lookup ends.
        {"99999999999",
         "Error in Procedure: getdest of Module: Excursa.  Error: 6.  Overflow."
         "Error in Procedure: getdest of Module: Excursa.  Error: 6.  Overflow."},
    };
    for (const auto& [chosen, error] : cases) {
        MemoryHost browser(*app_);
        onStoredRequest(browser);
        EXPECT_EQ(testing::WrittenText(post(browser, "LookupDest", "RetwSelected", {{"SelDest", chosen}})),
                  error);
        EXPECT_EQ(sessionText(browser, "RequestDetail.destination"), "3");
        EXPECT_EQ(sessionText(browser, "RequestDetail.destdesc"), "Museum <of Art>");
    }
}

TEST_F(LookupChoiceTest, TemplatesHoldTheSearchFormAndTheResultsFormAroundTheResults) {
    const std::tuple<const char*, const char*, const char*> pages[] = {
        {"LookupCust", "FindCusts", "CUSTDESC"},
        {"LookupDest", "FindDests", "DESTDESC"},
        {"LookupFund", "FindFunds", "FUND"}};
    for (const auto& [item, find, field] : pages) {
        MemoryHost browser(*app_);
        onRequestForm(browser, "office", "7");
        const std::string opened = browser.get(testing::LookupUrl(item, "GEN")).body;
        EXPECT_EQ(FindNoCase(opened, "wc@"), std::string::npos) << item << ": every tag is replaced";
        EXPECT_NE(opened.find("action=\"" + testing::LookupUrl(item, find) + "\""), std::string::npos)
            << item;
        EXPECT_NE(opened.find("name=\"" + std::string(field) + "\""), std::string::npos) << item;
        EXPECT_NE(opened.find("Lakemont <Schools>"), std::string::npos) << item;

        const std::string found = post(browser, item, find, {{field, "g"}});
        const std::size_t form = found.find("action=\"" + testing::LookupUrl(item, "RetwSelected") + "\"");
        const std::size_t button = found.find("name='btnSubmit2'");
        ASSERT_NE(form, std::string::npos) << item;
        ASSERT_NE(button, std::string::npos) << item;
        EXPECT_LT(form, button);
        EXPECT_LT(button, found.find("</form>", form)) << item << ": Return posts the results form";
        // The row and cell that the results close are the template's own.
        EXPECT_GT(found.rfind("<tr><td>", found.find("<thead>")), form) << item;
        EXPECT_NE(found.find("</td></tr>\n      </table>\n    </form>"), std::string::npos) << item;
    }
}

}  // namespace
}  // namespace excursa
