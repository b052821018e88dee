// The request form shown again after a lookup keeps what was chosen there, also for a stored request.
#include "lookup/lookup_site.h"

namespace excursa {
namespace {

constexpr const char* kRiverChosen = "<option selected>RIVER, River &amp; Sons</option>";
constexpr const char* kMapleChosen = "<option selected>MAPLE, Maple Grove</option>";

class LookupReturnTest : public testing::LookupSite {
protected:
    LookupReturnTest() { start(); }
};

TEST_F(LookupReturnTest, CustomerChosenForAStoredRequestStays) {
    MemoryHost browser(*app_);
    signIn(browser, "office");
    const std::string opened = browser.get("ExcursaLakemont.asp?WCI=RequestDetail&WCE=7&WCU").body;
    ASSERT_NE(opened.find(kMapleChosen), std::string::npos) << opened;

    session(browser).set("LoadRequestDetailFromSession", "True");  // as the form's Customer button leaves it
    const std::string back = post(browser, "LookupCust", "RetwSelected", {{"SelCust", "RIVER"}});
    EXPECT_EQ(sessionText(browser, "RequestDetail.customer"), "RIVER");
    EXPECT_NE(back.find(kRiverChosen), std::string::npos) << back;
    EXPECT_EQ(back.find(kMapleChosen), std::string::npos);
    EXPECT_EQ(back.find("Session Timed Out"), std::string::npos) << "the request has its number";
}

TEST_F(LookupReturnTest, StoredRequestOpenedAfreshShowsItsStoredCustomer) {
    MemoryHost browser(*app_);
    signIn(browser, "office");
    session(browser).set("RequestDetail.customer", "RIVER");  // left from another request
    const std::string opened = browser.get("ExcursaLakemont.asp?WCI=RequestDetail&WCE=7&WCU").body;
    EXPECT_EQ(sessionText(browser, "RequestDetail.customer"), "MAPLE");
    EXPECT_NE(opened.find(kMapleChosen), std::string::npos);
}

}  // namespace
}  // namespace excursa
