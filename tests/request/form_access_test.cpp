// Who may open a stored request by its number, and what the form tells the person in front of it:
// the approval that waits for them, the comment an earlier approver left, the required fields.
#include "request/save_fixture.h"

#include "support/message_page.h"

#include <gtest/gtest.h>

namespace excursa {
namespace {

using testing::Form;
using testing::StoredForm;

constexpr const char* kNotAllowedToView = "<p>Sorry, you are not allowed to view this trip request.</p>";

// The element of the page that begins with `head`, through the end mark that follows it; "" when
// the page has none.
std::string Element(const std::string& page, const std::string& head, const std::string& end = "</p>") {
    const std::size_t start = page.find(head);
    if (start == std::string::npos) return "";
    return page.substr(start, page.find(end, start) + end.size() - start);
}

class FormAccessTest : public testing::SaveFixture {
protected:
    void viewOtherSchools(bool on) { setting(std::string(key::ViewOtherSchools), on ? "True" : "False"); }
};

TEST_F(FormAccessTest, ASchoolBoundUserOpensOnlyTheSchoolsRequests) {
    struct Case {
        const char* user;
        bool viewOtherSchools;
        int request;
        const char* customerInSession;  // nullptr: as signed in
        bool shown;
    };
    const Case cases[] = {
        {"river", false, 1, nullptr, false},
        {"river", true, 1, nullptr, true},
        {"teacher", false, 1, nullptr, true},
        {"river", false, 1, " maple ", true},  // codes compare trimmed, without regard to case
        {"district", false, 1, nullptr, true},
        {"office", false, 2, nullptr, true},
    };
    for (const Case& c : cases) {
        const std::string what = std::string(c.user) + " opening " + std::to_string(c.request);
        viewOtherSchools(c.viewOtherSchools);
        MemoryHost browser(*app_);
        signIn(browser, c.user);
        if (c.customerInSession) session(browser).set("CUSTOMER", c.customerInSession);
        const std::string page = open(browser, c.request);
        const std::string contact = column(c.request, "CONTACT");
        if (c.shown) {
            EXPECT_NE(page.find(contact), std::string::npos) << what;
            EXPECT_EQ(sessionText(browser, "TRIPREQ"), std::to_string(c.request)) << what;
            continue;
        }
        EXPECT_EQ(testing::WrittenText(page), kNotAllowedToView) << what;
        EXPECT_EQ(page.find(contact), std::string::npos) << what << ": nothing of the request is shown";
        EXPECT_NE(sessionText(browser, "TRIPREQ"), std::to_string(c.request))
            << what << ": the printable view must not find it in the session";
        const std::string print = browser.get("ExcursaLakemont.asp?WCI=TripRequestDetailPrint&WCE&WCU").body;
        EXPECT_EQ(print.find(contact), std::string::npos) << what;
    }
}

// The form's own posts can name a request too (a drop-down change keeps the posted number as the
// session's request); the form shown again and the printable view must refuse it the same way.
TEST_F(FormAccessTest, ARequestNamedByAPostIsRefusedAsOneNamedInTheAddress) {
    viewOtherSchools(false);
    MemoryHost river(*app_);
    signIn(river, "river");
    const std::string contact = column(1, "CONTACT");
    const std::string page = post(river, StoredForm(1).set("btnSubmit", "").set("dropDownChange", "dest")).body;
    EXPECT_EQ(testing::WrittenText(page), kNotAllowedToView);
    EXPECT_EQ(page.find(contact), std::string::npos);
    const std::string print = river.get("ExcursaLakemont.asp?WCI=TripRequestDetailPrint&WCE&WCU").body;
    EXPECT_EQ(testing::WrittenText(print), kNotAllowedToView);
    EXPECT_EQ(print.find(contact), std::string::npos);
}

TEST_F(FormAccessTest, TheApprovalWaitingForTheUserIsAtTheTop) {
    site_.sql("Tripschl.db", "UPDATE TRIPSREQ SET STATUS_COMMENT = 'Bring the <forms>' WHERE TRIPNUM = 2");
    struct Case {
        const char* user;
        int request;
        std::string awaiting;
        std::string earlierComment;
    };
    const Case cases[] = {
        {"principal", 1,
         "<p class=\"awaiting\" role=\"status\"><strong>Awaiting your approval.</strong> <span "
         "class=\"chain-place\">Step 1 of 2 of approval chain CH1.</span> <span class=\"now-at\">Now at: "
         "UNAPPROVED</span></p>",
         ""},
        {"district", 2,
         "<p class=\"awaiting\" role=\"status\"><strong>Awaiting your approval.</strong> <span "
         "class=\"chain-place\">Step 2 of 2 of approval chain CH1.</span> <span class=\"now-at\">Now at: "
         "Principal OK</span></p>",
         "<p class=\"earlier-comment\"><span class=\"label\">Comment so far:</span> Bring the "
         "&lt;forms&gt;</p>"},
        {"teacher", 1, "", ""},    // may edit, not approve
        {"principal", 2, "", ""},  // already at the principal's level
        {"teacher", 2, "", ""},    // read-only: the comment shows as text in its own tag
    };
    for (const Case& c : cases) {
        const std::string what = std::string(c.user) + " opening " + std::to_string(c.request);
        MemoryHost browser(*app_);
        signIn(browser, c.user);
        const std::string page = open(browser, c.request);
        EXPECT_EQ(Element(page, "<p class=\"awaiting\""), c.awaiting) << what;
        EXPECT_EQ(Element(page, "<p class=\"earlier-comment\""), c.earlierComment) << what;
    }
    MemoryHost principal(*app_);
    EXPECT_EQ(Element(newRequest(principal, "principal"), "<p class=\"awaiting\""), "") << "a new request";
}

TEST_F(FormAccessTest, RequiredFieldsFollowTheDistrictsSettings) {
    const std::string kNothing = "<input type=\"hidden\" id=\"requiredFields\" value=\"\">";
    MemoryHost teacher(*app_);
    EXPECT_EQ(Element(newRequest(teacher, "teacher"), "<input type=\"hidden\" id=\"requiredFields\"", ">"),
              "<input type=\"hidden\" id=\"requiredFields\" value=\"Dep_month\">")
        << "a save always needs the departure date";

    for (const char* flag : {"GRADE_REQ", "CONTACT_REQ", "NUMADULTS_REQ", "DEPTIME_REQ"}) require(flag);
    setting(std::string(key::RequiredPrefix) + "PO_REQ", "False");
    EXPECT_EQ(
        Element(newRequest(teacher, "teacher"), "<input type=\"hidden\" id=\"requiredFields\"", ">"),
        "<input type=\"hidden\" id=\"requiredFields\" value=\"Dep_month DEP_HOUR NUMADULTS CONTACT GRADE\">");
    EXPECT_EQ(Element(open(teacher, 2), "<input type=\"hidden\" id=\"requiredFields\"", ">"), kNothing)
        << "a form that cannot be saved requires nothing";
}

TEST_F(FormAccessTest, ApprovingKeepsATypedInDestination) {
    site_.sql(
        "Tripschl.db",
        "INSERT INTO TRIPSREQ (TRIPNUM, CUSTOMER, DESTINATION, DESTDESC, DESTADD1, DESTADD2, DESTCITY, "
        "CHAINID, STATUS) VALUES (3, 'MAPLE', 0, 'Grandma''s Farm', 'RR 2', 'Barn B', 'Lakemont', 'CH1', "
        "'UNAPPROVED')");
    MemoryHost principal(*app_);
    signIn(principal, "principal");
    open(principal, 3);
    post(principal, StoredForm(3).set("dest", "0").set("Approve", "Principal OK"));
    EXPECT_EQ(column(3, "STATUS"), "Principal OK");
    EXPECT_EQ(column(3, "DESTDESC"), "Grandma's Farm");
    EXPECT_EQ(column(3, "DESTADD1"), "RR 2");
    EXPECT_EQ(column(3, "DESTADD2"), "Barn B");
    EXPECT_EQ(column(3, "DESTCITY"), "Lakemont");
}

}  // namespace
}  // namespace excursa
