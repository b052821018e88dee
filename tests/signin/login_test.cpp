#include "frame/memory_host.h"
#include "frame/procedure.h"
#include "items.h"
#include "startup/items.h"

#include "support/message_page.h"
#include "support/test_site.h"

#include <gtest/gtest.h>

#include <atomic>

namespace excursa {
namespace {

constexpr const char* kInvalidUser =
    "Sorry, invalid user id.  Use your browser's back button and please try again.";
constexpr const char* kInvalidPassword =
    "Sorry, invalid password.  Use your browser's back button and please try again.";
constexpr const char* kSignIn = "ExcursaLakemont.asp?WCI=Login&WCE=LoginValidateUser&WCU";

class SignInTest : public ::testing::Test {
protected:
    SignInTest() {
        site_.sql("twvlsc1.db",
                  "INSERT INTO VLSCU (VLSC1, VLSC2, ROLE, CUSTOMER, EMAIL, SCEXFOVD, SCEXDDFT) VALUES "
                  "('teacher', 'Secret', 'TEACHER', 'MAPLE', 't@x.org', 1, NULL),"
                  "(' spaced ', 'pw', 'TEACHER', 'RIVER', NULL, 0, 1),"
                  "('nopass', NULL, 'TEACHER', 'MAPLE', NULL, NULL, NULL),"
                  "('o''neil', 'pw', 'PRINCIPAL', 'MAPLE', NULL, 0, 0),"
                  "('office', 'pw', 'TRANSPORT', NULL, NULL, 1, 1);");
        site_.sql(
            "trip.db",
            "INSERT INTO District (DISTNAME, TRIPREQ_COMMENT, FUND_DD, USECUSTFUND) VALUES "
            "('Lakemont', 'Please book two weeks ahead.', 1, 0);"
            "INSERT INTO EMAIL_OPTIONS (REQ_EXCURSA_CHANGE, ADM_EXCURSA_CHANGE, APP_EXCURSA_CHANGE) VALUES "
            "(1, 0, 0);"
            "INSERT INTO CUSTOMER (CUSTOMER, CUSTNAME, ACTIVE) VALUES ('MAPLE', 'Maple Grove', 1), "
            "('RIVER', 'Riverside', 1), ('OLD', 'Closed School', 0);"
            "INSERT INTO DESTINATION (DESTDESC, ACTIVE) VALUES ('Zoo', 1), ('Museum', 1), ('Gone', 0);"
            "INSERT INTO GRADE (GRADE, ACTIVE) VALUES ('K', 1), ('1', 1);"
            "INSERT INTO TRIPCAT (TRIPCAT, DESCRIPTION, ACTIVE) VALUES ('EDU', 'Educational', 1);"
            "INSERT INTO TRIPREQSTATUS (STATUS, DESCRIPTION, ACTIVE) VALUES ('UNAPPROVED', 'New', 1), "
            "('Denied', 'Denied', 1);"
            "INSERT INTO DIVISION (DIVISION, DESCRIPTION, ACTIVE) VALUES ('ELEM', 'Elementary', 1);"
            "INSERT INTO DESTCAT (DESTCAT, ACTIVE) VALUES ('PARK', 1), ('ZOO', 1), ('OLD', 0);"
            "INSERT INTO FUND (FUND, FUNDDESC, ACTIVE) VALUES ('GEN', 'General', 1), ('PTA', 'PTA', 1), "
            "('X', 'Expired', 0);");
        makeApp();
    }

    void makeApp() {
        WebItemRegistry items = ExcursaItems();
        // Where the two buttons lead; those pages are not part of these tests.
        for (const char* name : {"RequestSearch", "RequestDetail"}) {
            WebItem page;
            page.name = name;
            page.respond = [name](AppObject& app) { app.host.write(std::string("[") + name + "]"); };
            items.add(page);
        }
        WebItem guarded;
        guarded.name = "Guarded";
        guarded.respond = [](AppObject& app) {
            if (!SessionTimedOut(app)) app.host.write("still signed in");
        };
        items.add(guarded);
        app_ = std::make_unique<WebApplication>(std::move(items), WebClass_Start, site_.www(),
                                                [this] { return nowMs_.load(); });
        ASSERT_EQ(app_->warmUp(), "");
    }

    ResponseData signIn(MemoryHost& browser, const std::string& user, const std::string& password,
                        const std::string& button = "Work With Trip Requests") {
        return browser.post(kSignIn, {{"user", user}, {"password", password}, {"btnsubmit", button}});
    }
    Value session(const MemoryHost& browser, std::string_view key) {
        return app_->sessions().acquire(browser.sessionId()).session->values.get(key);
    }

    testing::TestSite site_;
    std::atomic<std::int64_t> nowMs_{5'000'000};
    std::unique_ptr<WebApplication> app_;
};

TEST_F(SignInTest, UnknownUserAndWrongPasswordAreTheWholePage) {
    MemoryHost browser(*app_);
    EXPECT_EQ(testing::WrittenText(signIn(browser, "nobody", "x").body), kInvalidUser);
    EXPECT_EQ(testing::WrittenText(signIn(browser, "teacher", "wrong").body), kInvalidPassword);
    EXPECT_EQ(session(browser, "USER"), Value(""));
}

TEST_F(SignInTest, AFailedAttemptClearsThePreviousIdentity) {
    MemoryHost browser(*app_);
    signIn(browser, "teacher", "Secret");
    ASSERT_EQ(session(browser, "USER"), Value("teacher"));
    signIn(browser, "teacher", "wrong");
    EXPECT_EQ(session(browser, "USER"), Value(""));
    EXPECT_EQ(session(browser, "CANOVERRIDEFUND"), Value("False"));
    EXPECT_EQ(session(browser, "numFunds"), Value("0"));
}

TEST_F(SignInTest, SuccessFillsTheSession) {
    MemoryHost browser(*app_);
    const ResponseData page = signIn(browser, "teacher", "SECRET");
    EXPECT_EQ(testing::WrittenText(page.body), "[RequestSearch]")
        << "the password's letter case does not count";
    EXPECT_EQ(session(browser, "USER"), Value("teacher"));
    EXPECT_EQ(session(browser, "Customer"), Value("MAPLE"));
    EXPECT_EQ(session(browser, "role"), Value("TEACHER"));
    EXPECT_EQ(session(browser, "CANOVERRIDEFUND"), Value("True"));
    EXPECT_EQ(session(browser, "CANOVERRIDEDEPARTUREDATE"), Value("False")) << "a null right is no right";
    EXPECT_EQ(session(browser, "TRIPREQ_COMMENT"), Value("Please book two weeks ahead."));
    EXPECT_EQ(session(browser, "EMAIL_OPTIONS.REQ_EXCURSA_CHANGE"), Value("True"));
    EXPECT_EQ(session(browser, "EMAIL_OPTIONS.APP_EXCURSA_CHANGE"), Value("False"));
    EXPECT_EQ(session(browser, "LoadRequestDetailFromSession"), Value("False"));
    EXPECT_EQ(session(browser, "numCustomers"), Value::Integer(1)) << "a user bound to one customer";
    EXPECT_EQ(session(browser, "numDestinations"), Value::Integer(2));
    EXPECT_EQ(session(browser, "numGrades"), Value::Integer(2));
    EXPECT_EQ(session(browser, "numTripCat"), Value::Integer(1));
    EXPECT_EQ(session(browser, "numStatusVals"), Value::Integer(2));
    EXPECT_EQ(session(browser, "numDivisions"), Value::Integer(1));
    EXPECT_EQ(session(browser, "numDESTCATs"), Value::Integer(2));
    EXPECT_EQ(session(browser, "numFunds"), Value::Integer(2));
    const Value customers = session(browser, "CustomersDD");
    ASSERT_TRUE(customers.isArray());
    EXPECT_EQ(customers.array().at(0), "");
    EXPECT_EQ(customers.array().at(1), "MAPLE, Maple Grove");
    EXPECT_EQ(session(browser, "Funds").array().at(2, 0), "PTA");
    EXPECT_EQ(app_->sessions().acquire(browser.sessionId()).session->timeoutMinutes.load(), 20);
}

TEST_F(SignInTest, UserIdsAreTrimmedAndQuotedForTheQuery) {
    MemoryHost browser(*app_);
    EXPECT_EQ(testing::WrittenText(signIn(browser, "  spaced", "pw").body), "[RequestSearch]");
    EXPECT_EQ(session(browser, "USER"), Value("spaced"));
    EXPECT_EQ(session(browser, "CANOVERRIDEDEPARTUREDATE"), Value("True"));

    MemoryHost other(*app_);
    EXPECT_EQ(testing::WrittenText(signIn(other, "o'neil", "pw").body), "[RequestSearch]");
    EXPECT_EQ(session(other, "ROLE"), Value("PRINCIPAL"));
    MemoryHost attacker(*app_);
    EXPECT_EQ(testing::WrittenText(signIn(attacker, "x' or '1'='1", "pw").body), kInvalidUser);
}

TEST_F(SignInTest, ANullPasswordSignsInWithAnEmptyOne) {
    MemoryHost browser(*app_);
    EXPECT_EQ(testing::WrittenText(signIn(browser, "nopass", "").body), "[RequestSearch]");
    EXPECT_EQ(session(browser, "CANOVERRIDEFUND"), Value("False"));
}

TEST_F(SignInTest, TheButtonsDecideTheNextPage) {
    MemoryHost browser(*app_);
    EXPECT_EQ(testing::WrittenText(signIn(browser, "teacher", "Secret", "enter a new trip request").body),
              "[RequestDetail]");
    EXPECT_EQ(session(browser, "RequestDetail.New"), Value("NEW"));
    EXPECT_EQ(session(browser, "TripReq"), Value(""));
    EXPECT_EQ(session(browser, "blnDepDtWarn"), Value::Boolean(false));

    MemoryHost other(*app_);
    EXPECT_EQ(signIn(other, "teacher", "Secret", "Something Else").body, "");
    EXPECT_EQ(session(other, "USER"), Value("teacher")) << "signed in, with no page to follow";
}

TEST_F(SignInTest, UserWithoutACustomerGetsEveryCustomer) {
    MemoryHost browser(*app_);
    signIn(browser, "office", "pw");
    EXPECT_EQ(session(browser, "CUSTOMER"), Value(" "));
    EXPECT_EQ(session(browser, "numCustomers"), Value::Integer(2));
}

TEST_F(SignInTest, NoFundListWhenFundsAreChosenPerCustomer) {
    site_.sql("trip.db", "UPDATE District SET USECUSTFUND = 1;");
    app_->warmUp();
    MemoryHost browser(*app_);
    signIn(browser, "teacher", "Secret");
    EXPECT_EQ(session(browser, "numFunds"), Value::Integer(0));
    EXPECT_EQ(session(browser, "Funds").array().upperBound(), 0);
}

TEST_F(SignInTest, EmailOptionsWithoutARowAreEmpty) {
    site_.sql("trip.db", "DELETE FROM EMAIL_OPTIONS;");
    MemoryHost browser(*app_);
    signIn(browser, "teacher", "Secret");
    EXPECT_EQ(session(browser, "EMAIL_OPTIONS.REQ_EXCURSA_CHANGE"), Value(""));
    EXPECT_EQ(session(browser, "EMAIL_OPTIONS.APP_EXCURSA_CHANGE"), Value(""));
}

TEST_F(SignInTest, SignInGivesTheSessionANewId) {
    MemoryHost browser(*app_);
    browser.get("ExcursaLakemont.asp");
    const std::string before = browser.sessionId();
    signIn(browser, "teacher", "Secret");
    EXPECT_NE(browser.sessionId(), before);
    EXPECT_EQ(session(browser, "USER"), Value("teacher"));
    EXPECT_TRUE(app_->sessions().acquire(before).created) << "the planted id is void";
}

TEST_F(SignInTest, DatabaseFailureIsTheErrorText) {
    site_.sql("twvlsc1.db", "DROP TABLE VLSCU;");
    MemoryHost browser(*app_);
    EXPECT_EQ(
        testing::WrittenText(signIn(browser, "teacher", "Secret").body),
        "Error in Procedure: LoginValidateUser of Module: .  Error: -2147467259.  no such table: VLSCU.");
}

TEST_F(SignInTest, SignOutShowsThePageAndEndsTheSession) {
    MemoryHost browser(*app_);
    signIn(browser, "teacher", "Secret");
    const std::string page = browser.get("ExcursaLakemont.asp?WCI=Logout").body;
    EXPECT_NE(page.find("You have signed out."), std::string::npos) << "the time-out tag keeps its contents";
    EXPECT_NE(page.find("<p align='center'><a href='ExcursaLakemont.asp'>V.E.L.  Login</a></p><p>&nbsp;</p>"),
              std::string::npos);
    EXPECT_NE(page.find("Lakemont"), std::string::npos);
    EXPECT_EQ(browser.get("ExcursaLakemont.asp?WCI=Guarded").body.find("still signed in"), std::string::npos);
}

TEST_F(SignInTest, AnExpiredSessionShowsTheTimeOutMessage) {
    MemoryHost browser(*app_);
    signIn(browser, "teacher", "Secret");
    EXPECT_EQ(testing::WrittenText(browser.get("ExcursaLakemont.asp?WCI=Guarded").body), "still signed in");
    nowMs_ += 21 * 60 * 1000;
    const std::string page = browser.get("ExcursaLakemont.asp?WCI=Guarded").body;
    EXPECT_NE(
        page.find("<p align='center'>Sorry, your session has timed out please log in again and retry.</p>"
                  "<p>&nbsp;</p>"),
        std::string::npos);
    EXPECT_EQ(page.find("You have signed out."), std::string::npos);
}

}  // namespace
}  // namespace excursa
