// The fund lookup's two modes, and its return to the field trip search.
#include "lookup/lookup_site.h"
#include "support/message_page.h"

namespace excursa {
namespace {

using testing::Tag;

constexpr const char* kNoCriteria =
    "Sorry, you need to either enter a fund number or a description before searching for funds.  Please use "
    "your browser's back button and try again.";
constexpr const char* kNoCustomer = "Please select a customer first.";

// The fund codes of a results text, in order, or the whole page when it has no results.
std::string FundsShown(const std::string& page) {
    const std::string results = Tag(page, "WC@RESULTS");
    if (results == "<missing>") return page;
    std::string codes;
    const std::string marker = "name='SelFund' value='";
    for (std::size_t at = results.find(marker); at != std::string::npos; at = results.find(marker, at + 1)) {
        const std::size_t start = at + marker.size();
        codes += (codes.empty() ? "" : " ") + results.substr(start, results.find('\'', start) - start);
    }
    return codes;
}

class LookupFundTest : public testing::LookupSite {
protected:
    LookupFundTest() {
        useMarkedTemplates();
        start();
    }

    // Funds that `user` finds for the request's customer in a district that does (or does not) restrict
    // funds.
    std::string find(bool perCustomer, const std::string& user, const std::string& customer,
                     const std::string& fund, const std::string& description) {
        app_->application().set("DISTRICT.USECUSTFUND", perCustomer ? "True" : "False");
        MemoryHost browser(*app_);
        onRequestForm(browser, user, "7");
        session(browser).set("RequestDetail.customer", customer);
        return FundsShown(post(browser, "LookupFund", "FindFunds", {{"FUND", fund}, {"DESC", description}}));
    }
};

TEST_F(LookupFundTest, ModeDecidesWhichFundsAreOfferedAndWhatMustBeTyped) {
    struct Case {
        bool perCustomer;
        const char* user;  // clerk may not override the fund, office may
        const char* customer;
        const char* fund;
        const char* description;
        const char* shown;
    };
    const Case cases[] = {
        // The customer's active funds; both fields may be empty.
        {true, "clerk", "MAPLE", "", "", "PTA SPORT"},
        {true, "clerk", "maple", " ", " ", "PTA SPORT"},
        {true, "clerk", "MAPLE", "s", "", "SPORT"},
        {true, "clerk", "MAPLE", "", "pta", "PTA"},
        {true, "clerk", "O'NEIL", "", "", "BUS"},
        {true, "clerk", "", "PTA", "", kNoCustomer},
        // All active funds: a criterion is needed.
        {true, "office", "MAPLE", "", "", kNoCriteria},
        {true, "office", "", "g", "", "GEN"},
        {false, "clerk", "MAPLE", "  ", "", kNoCriteria},
        {false, "clerk", "", " pt ", "", "PTA"},
        {false, "clerk", "", "", "pta", "BUS PTA"},
        {false, "clerk", "", "p", "PTA F", "PTA"},
        {false, "clerk", "", "", "sports & <", "SPORT"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(testing::WrittenText(find(c.perCustomer, c.user, c.customer, c.fund, c.description)),
                  c.shown)
            << (c.perCustomer ? "per customer, " : "all funds, ") << c.user << " for '" << c.customer
            << "', fund '" << c.fund << "', description '" << c.description << "'";
    }
}

TEST_F(LookupFundTest, ReturnFromTheFieldTripSearchRunsTheSearchWithTheFund) {
    for (const bool autofill : {true, false}) {
        app_->application().set("AUTOFILL_TRIPS", autofill ? "True" : "False");
        MemoryHost browser(*app_);
        onRequestForm(browser, "office", "7");
        session(browser).set("SELTRIP", "Y");
        const std::string page = post(browser, "LookupFund", "RetwSelected", {{"SelFund", "PTA"}});
        EXPECT_EQ(testing::WrittenText(page), "[FieldTrips SelFund=PTA SELTRIP=]");
        EXPECT_EQ(sessionText(browser, "SELTRIP"), "") << "the marker is used once";
        EXPECT_EQ(sessionText(browser, "RequestDetail.fund"), "PTA");

        const std::string next = post(browser, "LookupFund", "RetwSelected", {{"SelFund", "GEN"}});
        EXPECT_NE(next.find("<form name=\"TripRequestDetail\""), std::string::npos)
            << "back to the request form";
        EXPECT_EQ(sessionText(browser, "SelFund"), "PTA");
    }
}

TEST_F(LookupFundTest, ReturnToTheSearchWithNothingChosenClearsTheFund) {
    MemoryHost browser(*app_);
    onRequestForm(browser, "office", "7");
    session(browser).set("SELTRIP", "y");
    session(browser).set("SelFund", "GEN");
    EXPECT_EQ(testing::WrittenText(post(browser, "LookupFund", "RetwSelected", {})),
              "[FieldTrips SelFund= SELTRIP=]");
}

}  // namespace
}  // namespace excursa
