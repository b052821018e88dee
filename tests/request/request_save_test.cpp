#include "request/save_fixture.h"

#include "data/connections.h"
#include "request/request_save.h"

#include "support/in_request.h"
#include "support/message_page.h"
#include "support/smtp_server.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace excursa {
namespace {

using testing::Form;
using testing::NewForm;
using testing::SaveFixture;
using testing::StoredForm;
using testing::VersionOf;

constexpr const char* kNotAllowed = "<p>Sorry, you are not allowed to change this trip request.</p>";
constexpr const char* kChangedMeanwhile =
    "<p>Sorry, this trip request was changed by someone else while you were editing it.  Use your browser's "
    "back button, reload the request and try again.</p>";

class SaveTest : public SaveFixture {};

// ---------------------------------------------------------------- new requests

TEST_F(SaveTest, NewRequestIsStoredAndShownAgain) {
    MemoryHost browser(*app_);
    newRequest(browser, "teacher");
    const long before = lastRequest();
    const ResponseData response = post(browser, NewForm());
    const long number = lastRequest();
    ASSERT_EQ(number, before + 1) << response.body;

    EXPECT_EQ(sessionText(browser, "TRIPREQ"), std::to_string(number));
    EXPECT_EQ(sessionText(browser, "LoadRequestDetailFromSession"), "False");
    EXPECT_EQ(sessionText(browser, "RequestDetail.New"), "EXISTING")
        << "the saved request is shown as stored";
    EXPECT_NE(response.body.find("name='TRIPNUM' value='" + std::to_string(number) + "' readonly"),
              std::string::npos);
    EXPECT_NE(
        response.body.find("<input type='hidden' name='RequestVersion' value='" + VersionOf(response.body)),
        std::string::npos);
    EXPECT_EQ(VersionOf(response.body).size(), 40u);

    const std::vector<std::pair<const char*, std::string>> expected{
        {"ENTEREDBY", "teacher"},
        {"STATUS", "UNAPPROVED"},
        {"CHAINID", "CH1"},
        {"CUSTOMER", "MAPLE"},
        {"BILLCUST", "MAPLE"},
        {"BILLRATE", "3"},
        {"AMOUNT1", "12.5"},
        {"AMOUNTTXT1", "Per mile"},
        {"AMOUNT2", "40"},
        {"AMOUNTTXT3", " "},
        {"CAPACITY", "Large"},
        {"INVOICE_FORMAT", "MAPLE_INV"},
        {"CALCNUMDRIVERS", "1"},
        {"TYPE", "BUS72"},
        {"CONTACT", "Ms. Lee"},
        {"REQUESTOR_EMAIL", "lee@maple.org"},
        {"CUSTSPEC", "Bring lunches"},
        {"DESTINATION", "1"},
        {"DESTDESC", "Zoo"},
        {"DESTADD1", "1 Park Rd"},
        {"DESTADD2", "Lakemont"},
        {"DESTCITY", " "},
        {"DESTCAT", "0"},
        {"MILES", "12"},
        {"DESTSPEC", "Gate B"},
        {"FUND", "GEN"},
        {"INTTRIPNUM", "M-7"},
        {"DEPDATE", StoredDateText(testing::FarDeparture())},
        {"RETDATE", StoredDateText(testing::FarDeparture())},
        {"DEPTIME", "1899-12-30 09:15:00"},
        {"RETTIME", "1899-12-30 14:30:00"},
        {"ARRIVETIME", "<null>"},
        {"LEAVETIME", "<null>"},
        {"NUMADULTS", "3"},
        {"NUMSTUDENTS", "25"},
        {"NUMHAND", "0"},
        {"ESTTIME", "2.5"},
        {"ESTMILE", "12"},
        {"PURPOSE", "Science"},
        {"TRIPCOM", "Two buses"},
        {"PO", "PO-1"},
        {"TRIPCAT", "EDU"},
        {"GRADE", "K"},
        {"STATUS_COMMENT", "<null>"},
    };
    for (const auto& [name, value] : expected) EXPECT_EQ(column(number, name), value) << name;
    EXPECT_EQ(column(number, "substr(REQDATE, 1, 10)"), StoredDateText(Today()).substr(0, 10));
    EXPECT_EQ(column(number, "REQDATE"), column(number, "ENTERDATE"));
    EXPECT_FALSE(cnTrip) << "the connections are closed at the end";
}

TEST_F(SaveTest, ChainComesFromTheCategoryElseTheCustomer) {
    struct Case {
        const char* what;
        const char* user;
        const char* customer;
        const char* category;
        const char* status;
        const char* chain;
    };
    const std::vector<Case> cases{
        {"customer's chain", "teacher", "MAPLE, Maple Grove", "EDU", "UNAPPROVED", "CH1"},
        {"category's chain", "teacher", "MAPLE, Maple Grove", "SPORT", "UNAPPROVED", "CH2"},
        {"no chain at all", "office", "RIVER, River School", "EDU", "Pending", "<null>"},
        {"no category", "office", "RIVER, River School", "", "Pending", "<null>"},
        {"an approver entering gets the level", "principal", "MAPLE, Maple Grove", "EDU", "Principal OK",
         "CH1"},
        {"a level further up", "district", "MAPLE, Maple Grove", "EDU", "District OK", "CH1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MemoryHost browser(*app_);
        newRequest(browser, c.user);
        post(browser, NewForm().set("cust", c.customer).set("tripcat", c.category));
        const long number = lastRequest();
        EXPECT_EQ(column(number, "STATUS"), c.status);
        EXPECT_EQ(column(number, "CHAINID"), c.chain);
        EXPECT_EQ(column(number, "TRIPCAT"), *c.category ? c.category : "<null>");
    }
}

TEST_F(SaveTest, NewRequestValuesAsTheFormPostsThem) {
    struct Case {
        const char* what;
        Form form;
        const char* column;
        const char* stored;
    };
    const std::vector<Case> cases{
        {"empty requester e-mail", NewForm().set("RequestorEmail", ""), "REQUESTOR_EMAIL", " "},
        {"grade placeholder", NewForm().set("grade", "selected"), "GRADE", "<null>"},
        {"blank contact", NewForm().set("Contact", "  "), "CONTACT", "<null>"},
        {"blank special instructions", NewForm().set("CUSTSPEC", "  "), "CUSTSPEC", "<null>"},
        {"special instructions trimmed", NewForm().set("CUSTSPEC", " Nuts "), "CUSTSPEC", "Nuts"},
        {"no destination", NewForm().set("dest", ""), "DESTINATION", "0"},
        {"no destination, no miles", NewForm().set("dest", ""), "MILES", "0"},
        {"no destination, nothing copied", NewForm().set("dest", ""), "DESTDESC", "<null>"},
        {"fund up to its comma", NewForm().set("fund", " GEN, General"), "FUND", "GEN"},
        {"no fund", NewForm().set("fund", ""), "FUND", "<null>"},
        {"adults rounded to even (up)", NewForm().set("NUMADULTS", "3.5"), "NUMADULTS", "4"},
        {"adults rounded to even (down)", NewForm().set("NUMADULTS", "2.5"), "NUMADULTS", "2"},
        {"blank students", NewForm().set("NUMSTUDENTS", ""), "NUMSTUDENTS", "0"},
        {"return year of the departure",
         NewForm()
             .erase("chkDefaultReturnDate")
             .set("Rtn_month", "Jun")
             .set("Rtn_date", "16")
             .set("Rtn_year", ""),
         "substr(RETDATE, 6)", "06-16 00:00:00"},
        {"midnight is one second past",
         [] {
             Form f = NewForm();
             testing::SetTime(f, "DEP", "12", "0", "AM");
             return f;
         }(),
         "DEPTIME", "1899-12-30 00:00:01"},
        {"a minute rounded to a whole one",
         [] {
             Form f = NewForm();
             testing::SetTime(f, "DEP", "9", "7.5", "AM");
             return f;
         }(),
         "DEPTIME", "1899-12-30 09:08:00"},
        {"arrival carries one second",
         [] {
             Form f = NewForm();
             testing::SetTime(f, "ARRIVE", "10", "05", "AM");
             return f;
         }(),
         "ARRIVETIME", "1899-12-30 10:05:01"},
        {"a customer text without a comma is none", NewForm().set("cust", "MAPLE"), "CUSTOMER", " "},
    };
    MemoryHost browser(*app_);
    newRequest(browser, "office");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        session(browser).set("RequestDetail.New", "NEW");
        post(browser, c.form);
        EXPECT_EQ(column(lastRequest(), c.column), c.stored);
    }
}

TEST_F(SaveTest, ANewRequestIsOnlyForTheUsersOwnCustomers) {
    MemoryHost browser(*app_);
    newRequest(browser, "river");
    post(browser, NewForm().set("cust", "MAPLE, Maple Grove"));
    EXPECT_EQ(column(lastRequest(), "CUSTOMER"), " ") << "not stored as MAPLE";
    EXPECT_EQ(column(lastRequest(), "BILLRATE"), "<null>");

    require("CUSTOMER_REQ");
    session(browser).set("RequestDetail.New", "NEW");
    const long count = requestCount();
    EXPECT_EQ(testing::WrittenText(post(browser, NewForm().set("cust", "MAPLE, Maple Grove")).body),
              "<p>Customer is required.</p>");
    EXPECT_EQ(requestCount(), count);
    EXPECT_NE(post(browser, NewForm().set("cust", " river, river school ")).body.find("TripRequestDetail"),
              std::string::npos)
        << "the user's own customer, typed in any case";
    EXPECT_EQ(column(lastRequest(), "CUSTOMER"), "RIVER");
}

TEST_F(SaveTest, ApproveChoiceOnANewRequestIsIgnored) {
    MemoryHost browser(*app_);
    newRequest(browser, "teacher");
    post(browser, NewForm().set("Approve", "Principal OK").set("STATUS_COMMENT", "self-approved"));
    EXPECT_EQ(column(lastRequest(), "STATUS"), "UNAPPROVED");
    EXPECT_EQ(column(lastRequest(), "STATUS_COMMENT"), "<null>");
}

TEST_F(SaveTest, DestinationChosenWithoutARedrawIsLookedUp) {
    MemoryHost browser(*app_);
    signIn(browser, "teacher");
    open(browser, 1);  // leaves the Zoo in the form state
    session(browser).set("RequestDetail.New", "NEW");
    post(browser, NewForm().set("dest", "2"));
    const long number = lastRequest();
    EXPECT_EQ(column(number, "DESTINATION"), "2");
    EXPECT_EQ(column(number, "DESTDESC"), "Museum");
    EXPECT_EQ(column(number, "DESTADD1"), "5 Main St");
    EXPECT_EQ(column(number, "MILES"), "30");

    // A destination typed in by the user keeps what the form state holds.
    session(browser).set("RequestDetail.New", "NEW");
    session(browser).set("RequestDetail.destination", "0");
    session(browser).set("RequestDetail.destdesc", "Grandma's Farm");
    session(browser).set("RequestDetail.destadd1", "RR 2");
    session(browser).set("RequestDetail.destcity", "Elk Lake");
    session(browser).set("RequestDetail.destcat", "FARM");
    session(browser).set("RequestDetail.miles", "18");
    post(browser, NewForm().set("dest", "0"));
    EXPECT_EQ(column(lastRequest(), "DESTDESC"), "Grandma's Farm");
    EXPECT_EQ(column(lastRequest(), "DESTCITY"), "Elk Lake");
    EXPECT_EQ(column(lastRequest(), "DESTCAT"), "FARM");
    EXPECT_EQ(column(lastRequest(), "MILES"), "18");
}

// ------------------------------------------------------------ stored requests

TEST_F(SaveTest, SavingAStoredRequestKeepsItsBillingAndStatus) {
    MemoryHost browser(*app_);
    signIn(browser, "teacher");
    const std::string form = open(browser, 1);
    const std::string statusDate = column(1, "STATUS_DATE");
    post(browser, StoredForm(1).set("Contact", "Mr. Park").set("RequestVersion", VersionOf(form)));
    EXPECT_EQ(column(1, "CONTACT"), "Mr. Park");
    EXPECT_EQ(column(1, "STATUS"), "UNAPPROVED");
    EXPECT_EQ(column(1, "STATUS_DATE"), statusDate) << "no status change";
    EXPECT_EQ(column(1, "BILLRATE"), "7") << "the customer did not change";
    EXPECT_EQ(column(1, "AMOUNT1"), "99");
    EXPECT_EQ(column(1, "CAPACITY"), "Small");
    EXPECT_EQ(column(1, "INVOICE_FORMAT"), "OLD_FORMAT");
    EXPECT_EQ(column(1, "ENTEREDBY"), "teacher");
    EXPECT_EQ(column(1, "REQDATE"), "2026-04-02 09:14:00");

    // The customer code in another letter case is the same customer.
    requests().run("UPDATE TRIPSREQ SET CUSTOMER = 'maple ' WHERE TRIPNUM = 1");
    post(browser, StoredForm(1));
    EXPECT_EQ(column(1, "BILLRATE"), "7");
    EXPECT_EQ(column(1, "CUSTOMER"), "maple ");
}

TEST_F(SaveTest, ChangedChainRestartsTheApproval) {
    MemoryHost browser(*app_);
    signIn(browser, "principal");
    open(browser, 2);  // at "Principal OK": the principal may still edit it
    post(browser, StoredForm(2).set("tripcat", "SPORT"));
    EXPECT_EQ(column(2, "CHAINID"), "CH2");
    EXPECT_EQ(column(2, "STATUS"), "UNAPPROVED");
    EXPECT_NE(column(2, "STATUS_DATE"), "2026-04-03 11:00:00");
}

TEST_F(SaveTest, ApproveAndDenyWithAComment) {
    MemoryHost browser(*app_);
    signIn(browser, "principal");
    open(browser, 1);
    post(browser, StoredForm(1).set("Approve", "Principal OK").set("STATUS_COMMENT", "Fine by me"));
    EXPECT_EQ(column(1, "STATUS"), "Principal OK");
    EXPECT_EQ(column(1, "STATUS_COMMENT"), "Fine by me");
    EXPECT_EQ(column(1, "substr(STATUS_DATE, 1, 10)"), StoredDateText(Today()).substr(0, 10));

    MemoryHost district(*app_);
    signIn(district, "district");
    open(district, 1);
    post(district, StoredForm(1).set("Approve", "Deny").set("STATUS_COMMENT", "Too far"));
    EXPECT_EQ(column(1, "STATUS"), "Denied");
    EXPECT_EQ(column(1, "STATUS_COMMENT"), "Too far");
}

TEST_F(SaveTest, ApproveChoiceCountsOnlyAsTheAuthorityOffersIt) {
    struct Case {
        const char* what;
        const char* user;
        const char* approve;
    };
    const std::vector<Case> cases{
        {"a status not offered to this user", "principal", "District OK"},
        {"a status of no level", "principal", "ACCEPTED"},
        {"a user who may edit but not approve", "teacher", "Principal OK"},
        {"denying without the right", "teacher", "Deny"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        MemoryHost browser(*app_);
        signIn(browser, c.user);
        open(browser, 1);
        post(browser, StoredForm(1).set("Approve", c.approve).set("STATUS_COMMENT", "sneaky"));
        EXPECT_EQ(column(1, "STATUS"), "UNAPPROVED");
        EXPECT_EQ(column(1, "STATUS_COMMENT"), c.user == std::string("principal") ? "sneaky" : "<null>")
            << "only an approver's comment is kept";
        requests().run("UPDATE TRIPSREQ SET STATUS_COMMENT = NULL WHERE TRIPNUM = 1");
    }
}

TEST_F(SaveTest, OnlyAUserWhoMayEditChangesAStoredRequest) {
    MemoryHost browser(*app_);
    signIn(browser, "teacher");
    open(browser, 2);  // past the teacher's level: read-only for her
    session(browser).set("strDepDtWarn", "from the last save");
    const std::string contact = column(2, "CONTACT");
    EXPECT_EQ(testing::WrittenText(post(browser, StoredForm(2).set("Contact", "Hacked")).body), kNotAllowed);
    EXPECT_EQ(column(2, "CONTACT"), contact);
    EXPECT_EQ(sessionText(browser, "strDepDtWarn"), "from the last save") << "refused before the checks run";

    MemoryHost other(*app_);
    signIn(other, "river");  // another school's teacher, who may not even open it
    EXPECT_EQ(testing::WrittenText(open(other, 1)),
              "<p>Sorry, you are not allowed to view this trip request.</p>");
    post(other, StoredForm(1).set("Contact", "Hacked"));
    EXPECT_EQ(column(1, "CONTACT"), "Ms. Lee");
}

TEST_F(SaveTest, AStoredRequestChangedMeanwhileIsNotOverwritten) {
    MemoryHost teacher(*app_);
    signIn(teacher, "teacher");
    const std::string teachersForm = open(teacher, 1);

    MemoryHost principal(*app_);
    signIn(principal, "principal");
    const std::string principalsForm = open(principal, 1);
    post(
        principal,
        StoredForm(1).set("PURPOSE", "Principal's purpose").set("RequestVersion", VersionOf(principalsForm)));
    ASSERT_EQ(column(1, "PURPOSE"), "Principal's purpose");

    const long count = requestCount();
    EXPECT_EQ(
        testing::WrittenText(
            post(teacher,
                 StoredForm(1).set("PURPOSE", "Teacher's").set("RequestVersion", VersionOf(teachersForm)))
                .body),
        kChangedMeanwhile);
    EXPECT_EQ(column(1, "PURPOSE"), "Principal's purpose");
    EXPECT_EQ(requestCount(), count);

    // Reloaded, then saved twice in a row from the form each save shows.
    const std::string reloaded = open(teacher, 1);
    const std::string afterFirst =
        post(teacher, StoredForm(1).set("PURPOSE", "First").set("RequestVersion", VersionOf(reloaded))).body;
    EXPECT_EQ(column(1, "PURPOSE"), "First");
    ASSERT_NE(VersionOf(afterFirst), "");
    EXPECT_NE(VersionOf(afterFirst), VersionOf(reloaded));
    post(teacher, StoredForm(1).set("PURPOSE", "Second").set("RequestVersion", VersionOf(afterFirst)));
    EXPECT_EQ(column(1, "PURPOSE"), "Second");
}

TEST_F(SaveTest, FormReshownFromTheSessionKeepsTheVersionItWasDrawnFrom) {
    MemoryHost teacher(*app_);
    signIn(teacher, "teacher");
    const std::string version = VersionOf(open(teacher, 1));
    // A drop-down change redraws the form; someone saves meanwhile.
    const std::string redrawn =
        post(teacher,
             StoredForm(1).set("dropDownChange", "Y").set("btnSubmit", "").set("RequestVersion", version))
            .body;
    EXPECT_EQ(VersionOf(redrawn), version);
    requests().run("UPDATE TRIPSREQ SET PURPOSE = 'Office' WHERE TRIPNUM = 1");
    EXPECT_EQ(
        testing::WrittenText(post(teacher, StoredForm(1).set("RequestVersion", VersionOf(redrawn))).body),
        kChangedMeanwhile);
    EXPECT_EQ(column(1, "PURPOSE"), "Office");
}

TEST_F(SaveTest, RequestDeletedMeanwhileIsTheErrorText) {
    MemoryHost browser(*app_);
    signIn(browser, "teacher");
    open(browser, 1);
    requests().run("DELETE FROM TRIPSREQ WHERE TRIPNUM = 1");
    const long count = requestCount();
    EXPECT_EQ(
        testing::WrittenText(post(browser, StoredForm(1)).body),
        "Error in Procedure: RequestDetail_TripRequestDetail of Module: Excursa.  Error: 3021.  Either BOF "
        "or EOF is True, or the current record has been deleted. Requested operation requires a current "
        "record..");
    EXPECT_EQ(requestCount(), count);
}

// ----------------------------------------------------------------- the other buttons

TEST_F(SaveTest, DeleteRemovesTheRequestNamedByThePost) {
    MemoryHost browser(*app_);
    signIn(browser, "teacher");
    open(browser, 1);
    // From request 1's form, a hand-made post names request 2, which the teacher may not change.
    EXPECT_EQ(testing::WrittenText(post(browser, Form().set("btnSubmit", "Delete").set("TRIPNUM", "2")).body),
              kNotAllowed);
    EXPECT_EQ(column(2, "TRIPNUM"), "2");

    EXPECT_EQ(testing::WrittenText(post(browser, Form().set("btnSubmit", "Delete").set("TRIPNUM", "1")).body),
              "[RequestSearch]");
    EXPECT_EQ(column(1, "TRIPNUM"), "<none>");

    MemoryHost principal(*app_);
    signIn(principal, "principal");
    const std::string form = open(principal, 2);
    requests().run("UPDATE TRIPSREQ SET PURPOSE = 'Changed' WHERE TRIPNUM = 2");
    EXPECT_EQ(
        testing::WrittenText(
            post(principal,
                 Form().set("btnSubmit", "delete").set("TRIPNUM", "2").set("RequestVersion", VersionOf(form)))
                .body),
        kChangedMeanwhile);
    EXPECT_EQ(
        testing::WrittenText(post(principal, Form().set("btnSubmit", "delete").set("TRIPNUM", "2")).body),
        "[RequestSearch]")
        << "whatever its status";
    EXPECT_EQ(column(2, "TRIPNUM"), "<none>");
}

TEST_F(SaveTest, DeleteTripRequestAsAPublicOperation) {
    testing::RunInRequest(site_.www(), [](AppObject& app) { DeleteTripRequest(app, 2); },
                          {{"APP_PATH", site_.www().string() + "/"}});
    EXPECT_EQ(column(2, "TRIPNUM"), "<none>");
    EXPECT_EQ(column(1, "TRIPNUM"), "1");
}

TEST_F(SaveTest, ExitClearsTheRequestBeingEdited) {
    MemoryHost browser(*app_);
    signIn(browser, "teacher");
    open(browser, 1);
    session(browser).set("RequestDetail.NUMADULTS", "3");
    EXPECT_EQ(testing::WrittenText(post(browser, StoredForm(1).set("btnSubmit", "**EXIT**")).body),
              "[RequestSearch]");
    for (const char* cleared :
         {"TRIPREQ", "RequestDetail.New", "RequestDetail.customer", "RequestDetail.destination",
          "RequestDetail.destdesc", "RequestDetail.destadd1", "RequestDetail.miles", "RequestDetail.destspec",
          "RequestDetail.NUMADULTS", "RequestDetail.dep_month", "RequestDetail.DEP_HOUR",
          "RequestDetail.version"}) {
        EXPECT_EQ(sessionText(browser, cleared), "") << cleared;
    }
    EXPECT_EQ(column(1, "CONTACT"), "Ms. Lee") << "nothing saved";
}

TEST_F(SaveTest, CopyShowsAnUnsavedCopy) {
    MemoryHost browser(*app_);
    signIn(browser, "teacher");
    open(browser, 2);  // read-only for the teacher: Copy is all she can do with it
    const long count = requestCount();
    const std::string page =
        post(browser,
             StoredForm(2).set("btnSubmit", "Copy").set("Contact", "Copied contact").set("dest", "2"))
            .body;
    EXPECT_EQ(requestCount(), count);
    EXPECT_EQ(sessionText(browser, "RequestDetail.New"), "NEW");
    EXPECT_EQ(sessionText(browser, "TRIPREQ"), "");
    EXPECT_EQ(sessionText(browser, "RequestDetail.destination"), "2") << "the stored destination is copied";
    EXPECT_EQ(sessionText(browser, "RequestDetail.destdesc"), "Museum");
    EXPECT_NE(page.find("<input type='text' name='New' value='NEW'>"), std::string::npos);
    EXPECT_NE(page.find("value='Copied contact'"), std::string::npos);
    EXPECT_NE(page.find("<option value='2' selected>Museum</option>"), std::string::npos);

    post(browser, NewForm().set("dest", "2").set("Contact", "Copied contact"));
    EXPECT_EQ(requestCount(), count + 1);
    EXPECT_EQ(column(lastRequest(), "CONTACT"), "Copied contact");
    EXPECT_EQ(column(lastRequest(), "STATUS"), "UNAPPROVED");
}

TEST_F(SaveTest, PrintSavesFirstThenShowsThePrintableView) {
    MemoryHost browser(*app_);
    signIn(browser, "teacher");
    open(browser, 1);
    const ResponseData printed =
        post(browser, StoredForm(1).set("btnSubmit", "Print").set("Contact", "Printed"));
    EXPECT_EQ(printed.status, 302);
    EXPECT_EQ(printed.location, "ExcursaLakemont.asp?WCI=TripRequestDetailPrint");
    EXPECT_EQ(column(1, "CONTACT"), "Printed") << "stored before the printable view is asked for";

    const ResponseData stopped =
        post(browser, StoredForm(1).set("btnSubmit", "Print").set("Dep_date", "31").set("Dep_month", "Feb"));
    EXPECT_EQ(stopped.status, 200);
    EXPECT_EQ(testing::WrittenText(stopped.body), "<p>Please enter a valid departure date.</p>")
        << "the stop message, not the redirect";

    open(browser, 2);  // the teacher may only view it
    const ResponseData viewed =
        post(browser, StoredForm(2).set("btnSubmit", "Print").set("Contact", "Hacked"));
    EXPECT_EQ(viewed.status, 302);
    EXPECT_EQ(column(2, "CONTACT"), "Mr. Bo") << "nothing is saved for a viewer";
}

TEST_F(SaveTest, ExpiredSessionShowsTheSignOutPage) {
    MemoryHost browser(*app_);
    const long count = requestCount();
    EXPECT_NE(post(browser, NewForm())
                  .body.find("Sorry, your session has timed out please log in again and retry."),
              std::string::npos);
    EXPECT_EQ(requestCount(), count);
}

// ------------------------------------------------------- lookups and redraws

TEST_F(SaveTest, LookupButtonsKeepTheFormAndOpenTheLookup) {
    struct Case {
        const char* button;
        const char* page;
    };
    for (const Case& c : {Case{"Customer", "[LookupCust page]"}, Case{"destination", "[LookupDest page]"},
                          Case{"Fund", "[LookupFund page]"}}) {
        SCOPED_TRACE(c.button);
        MemoryHost browser(*app_);
        newRequest(browser, "office");
        const ResponseData page = post(
            browser, NewForm().set("btnSubmit", c.button).set("Contact", "Kept").set("Rtn_month", "Jul"));
        EXPECT_EQ(page.body, c.page);
        EXPECT_EQ(sessionText(browser, "LoadRequestDetailFromSession"), "True");
        EXPECT_EQ(sessionText(browser, "RequestDetail.contact"), "Kept");
        EXPECT_EQ(sessionText(browser, "RequestDetail.customer"), "MAPLE");
        EXPECT_EQ(sessionText(browser, "RequestDetail.ret_month"), "Jul");
        EXPECT_EQ(sessionText(browser, "RequestDetail.DEP_HOUR"), "9");
        EXPECT_EQ(sessionText(browser, "RequestDetail.destination"), "1");
        EXPECT_EQ(sessionText(browser, "RequestDetail.destspec"), "Gate B");
        EXPECT_EQ(sessionText(browser, "RequestDetail.New"), "NEW");
    }

    setting("DISTRICT.USECUSTFUND", "True");
    MemoryHost browser(*app_);
    newRequest(browser, "office");
    EXPECT_EQ(testing::WrittenText(post(browser, NewForm().set("btnSubmit", "Fund").set("cust", "")).body),
              "<p>Please choose a customer first.</p>");
    EXPECT_EQ(post(browser, NewForm().set("btnSubmit", "Fund")).body, "[LookupFund page]");
}

TEST_F(SaveTest, LookupButtonKeepsOnlyTheNumberOfAListedDestination) {
    MemoryHost browser(*app_);
    signIn(browser, "teacher");
    open(browser, 1);
    ASSERT_EQ(sessionText(browser, "RequestDetail.destdesc"), "Zoo");
    post(browser, StoredForm(1).set("btnSubmit", "Customer"));
    EXPECT_EQ(sessionText(browser, "RequestDetail.destination"), "1");
    EXPECT_EQ(sessionText(browser, "RequestDetail.destdesc"), "");
    EXPECT_EQ(sessionText(browser, "RequestDetail.destadd1"), "");

    // A destination typed in by the user is reloaded from the stored request when its details are gone.
    requests().run(
        "UPDATE TRIPSREQ SET DESTINATION = 0, DESTDESC = 'Farm', DESTADD1 = 'RR 2', DESTSPEC = 'Gate' "
        "WHERE TRIPNUM = 1");
    post(browser, StoredForm(1).set("btnSubmit", "Destination").set("dest", "0").set("DESTSPEC", "typed"));
    EXPECT_EQ(sessionText(browser, "RequestDetail.destdesc"), "Farm");
    EXPECT_EQ(sessionText(browser, "RequestDetail.destadd1"), "RR 2");
    EXPECT_EQ(sessionText(browser, "RequestDetail.destspec"), "Gate");
}

TEST_F(SaveTest, DropDownChangeRedrawsWithTheDestinationRule) {
    MemoryHost browser(*app_);
    signIn(browser, "teacher");
    open(browser, 1);  // the Zoo
    const Form redraw = StoredForm(1).set("dropDownChange", "Y").set("btnSubmit", "");

    // A new destination: its details and its own special instructions replace the old ones.
    const std::string page = post(browser, Form(redraw).set("dest", "2").set("DESTSPEC", "Gate B")).body;
    EXPECT_EQ(sessionText(browser, "LoadRequestDetailFromSession"), "True");
    EXPECT_EQ(sessionText(browser, "RequestDetail.destination"), "2");
    EXPECT_EQ(sessionText(browser, "RequestDetail.destdesc"), "Museum");
    EXPECT_EQ(sessionText(browser, "RequestDetail.destadd1"), "5 Main St");
    EXPECT_EQ(sessionText(browser, "RequestDetail.miles"), "30");
    EXPECT_EQ(sessionText(browser, "RequestDetail.destspec"), "Use the east gate");
    EXPECT_NE(
        page.find(
            "<textarea rows='3' cols='60' name='DESTSPEC' id=\"destspec\">Use the east gate</TEXTAREA>"),
        std::string::npos);
    EXPECT_NE(page.find("<option value='2' selected>Museum</option>"), std::string::npos);
    EXPECT_EQ(column(1, "DESTINATION"), "1") << "a redraw saves nothing";

    // The same destination: the posted instructions stay, its details are dropped.
    post(browser, Form(redraw).set("dest", "2").set("DESTSPEC", "My own words"));
    EXPECT_EQ(sessionText(browser, "RequestDetail.destspec"), "My own words");
    EXPECT_EQ(sessionText(browser, "RequestDetail.destdesc"), "");

    // No destination.
    post(browser, Form(redraw).set("dest", " ").set("DESTSPEC", "x"));
    EXPECT_EQ(sessionText(browser, "RequestDetail.destspec"), "");
    EXPECT_EQ(sessionText(browser, "RequestDetail.destination"), " ");

    // Saving after the redraws stores the destination's details, looked up again.
    post(browser, Form(redraw).set("dest", "2"));
    post(browser, StoredForm(1).set("dest", "2"));
    EXPECT_EQ(column(1, "DESTDESC"), "Museum");
    EXPECT_EQ(column(1, "DESTADD1"), "5 Main St");
}

TEST_F(SaveTest, DropDownChangeReloadsADestinationTypedInByTheUser) {
    requests().run(
        "UPDATE TRIPSREQ SET DESTINATION = 0, DESTDESC = 'Farm', DESTADD1 = 'RR 2', DESTSPEC = 'Gate' "
        "WHERE TRIPNUM = 1");
    MemoryHost browser(*app_);
    signIn(browser, "teacher");
    open(browser, 1);
    session(browser).set("RequestDetail.destination", "0");
    session(browser).set("RequestDetail.destadd1", "");
    post(browser, StoredForm(1)
                      .set("dropDownChange", "Y")
                      .set("btnSubmit", "")
                      .set("dest", "0")
                      .set("DESTSPEC", "typed"));
    EXPECT_EQ(sessionText(browser, "RequestDetail.destdesc"), "Farm");
    EXPECT_EQ(sessionText(browser, "RequestDetail.destadd1"), "RR 2");
    EXPECT_EQ(sessionText(browser, "RequestDetail.destspec"), "typed") << "the posted instructions come last";
}

TEST_F(SaveTest, FundListOfANewRequestWithoutACustomer) {
    setting("DISTRICT.FUND_DD", "True");
    setting("DISTRICT.USECUSTFUND", "True");
    MemoryHost browser(*app_);
    newRequest(browser, "district");  // works for every customer, may not use any fund
    const std::string page =
        post(browser,
             NewForm().set("dropDownChange", "Y").set("btnSubmit", "").set("cust", "").set("fund", ""))
            .body;
    const std::size_t fund = page.find("<select name='fund'");
    ASSERT_NE(fund, std::string::npos);
    EXPECT_EQ(
        page.substr(fund, page.find("</select>", fund) - fund),
        "<select name='fund' width='40' id=\"fund\" aria-label=\"Fund\"><option value='' selected ></option>")
        << "no funds until a customer is chosen, rather than every customer's";

    const std::string chosen = post(browser, NewForm().set("dropDownChange", "Y").set("btnSubmit", "")).body;
    EXPECT_NE(chosen.find("<option value='PTA'>PTA fund</option>"), std::string::npos);
    EXPECT_EQ(chosen.find("<option value='GEN'"), std::string::npos) << "only Maple Grove's funds";
}

// ---------------------------------------------------------------- trips per day

TEST_F(SaveTest, TwoSavesAtOnceCannotBothTakeTheLastTripOfADay) {
    setting("DISTRICT.TOTAL_TRIPS_LIMIT", Value::Long(3));  // two requests stored that day already
    setting("DISTRICT.TOTAL_TRIPS_HARDWARN", "True");
    setting("DISTRICT.TOTAL_TRIPS_LIMIT_MESSAGE", "Full.");
    constexpr int kSavers = 6;
    std::vector<std::unique_ptr<MemoryHost>> browsers;
    for (int i = 0; i < kSavers; ++i) {
        browsers.push_back(std::make_unique<MemoryHost>(*app_));
        newRequest(*browsers.back(), "office");
    }
    const long count = requestCount();
    std::atomic<int> refused = 0;
    std::vector<std::thread> savers;
    for (auto& browser : browsers) {
        savers.emplace_back([&, b = browser.get()] {
            if (testing::WrittenText(post(*b, NewForm())) ==
                "<p>WARNING - Your Trip Request will not be saved.  Full.</p>")
                ++refused;
        });
    }
    for (std::thread& saver : savers) saver.join();
    EXPECT_EQ(requestCount(), count + 1);
    EXPECT_EQ(refused, kSavers - 1);
}

// ------------------------------------------------------------------- mails

class MailOnSaveTest : public SaveFixture {
protected:
    void SetUp() override {
        site_.sql("trip.db", "UPDATE EMAIL_OPTIONS SET REQ_EXCURSA_CHANGE = 1, APP_EXCURSA_CHANGE = 1;");
        setting("EmailFromAddress", "trips@lakemont.example");
        setting("EmailFromName", "Lakemont Field Trips");
        setting("SmtpServer", "127.0.0.1");
    }
    std::vector<std::string> recipients(const testing::SmtpServer& server) {
        std::vector<std::string> found;
        for (const std::string& mail : server.messages()) found.push_back(testing::Header(mail, "X-RcptTo"));
        return found;
    }
};

TEST_F(MailOnSaveTest, EnteredThenApprovedRequestIsMailed) {
    if (!testing::SmtpServer::Available()) GTEST_SKIP() << "the mail tests need python3-aiosmtpd";
    testing::SmtpServer server;
    setting("SmtpPort", std::to_string(server.port()));
    MemoryHost teacher(*app_);
    newRequest(teacher, "teacher");
    const std::string page = post(teacher, NewForm()).body;
    const std::string number = std::to_string(lastRequest());
    EXPECT_EQ(page.find("Error in Procedure"), std::string::npos);
    EXPECT_EQ(recipients(server), (std::vector<std::string>{"lee@maple.org", "principal@maple.org"}));
    ASSERT_EQ(server.messages().size(), 2u);
    EXPECT_EQ(testing::Body(server.messages()[0]),
              "A New Trip Request, Request #" + number +
                  " has been entered.\nCustomer: Maple Grove\nDestination: Zoo\nDep Dt: " +
                  DateText(testing::FarDeparture()) + "\n# Students: 25\nNew Status: UNAPPROVED");

    MemoryHost principal(*app_);
    signIn(principal, "principal");
    open(principal, std::stoi(number));
    post(principal, StoredForm(std::stoi(number)).set("Approve", "Principal OK"));
    EXPECT_EQ(recipients(server), (std::vector<std::string>{"lee@maple.org", "principal@maple.org",
                                                            "lee@maple.org", "district@lakemont.org"}));
    EXPECT_EQ(testing::Header(server.messages()[3], "Subject"),
              "Excursa - Trip Request Request #" + number + " needs your approval");

    post(principal, StoredForm(std::stoi(number)));
    EXPECT_EQ(server.messages().size(), 4u) << "no status change, no mail";
}

TEST_F(MailOnSaveTest, MisconfiguredMailStillSavesTheRequest) {
    setting("SmtpServer", "");
    MemoryHost teacher(*app_);
    newRequest(teacher, "teacher");
    const long count = requestCount();
    const std::string page = testing::WrittenText(post(teacher, NewForm()));
    EXPECT_EQ(requestCount(), count + 1);
    EXPECT_EQ(page.rfind("Misconfigured email options in ini file.", 0), 0u) << page.substr(0, 200);
    EXPECT_EQ(page.find("<form"), std::string::npos) << "the save ends at its next error test";
}

TEST_F(MailOnSaveTest, MailServerDownStillShowsTheSavedRequest) {
    setting("SmtpPort", std::to_string(testing::FreePort()));
    MemoryHost teacher(*app_);
    newRequest(teacher, "teacher");
    const std::string page = post(teacher, NewForm()).body;
    EXPECT_EQ(page.find("Error in Procedure"), std::string::npos);
    EXPECT_NE(page.find("name='TRIPNUM' value='" + std::to_string(lastRequest()) + "' readonly"),
              std::string::npos);
}

}  // namespace
}  // namespace excursa
