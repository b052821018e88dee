// Login: the sign-in page with the district's header, and signing in.
#include "data/connections.h"
#include "config/diagnostic_log.h"
#include "frame/access_log.h"
#include "frame/attempt_limiter.h"
#include "frame/keys.h"
#include "frame/procedure.h"
#include "lookup/form_controls.h"
#include "signin/items.h"
#include "lookup/district_header.h"

#include <optional>

namespace excursa {

namespace {

constexpr std::string_view kWorkWithRequests = "Work With Trip Requests";
constexpr std::string_view kEnterNewRequest = "Enter a New Trip Request";

// Cleared before the user is checked, so a failed attempt leaves no identity.
void ResetSignInValues(Host& host) {
    host.sessionSet(key::LoadFromSession, "False");
    host.sessionSet(key::Funds, "");
    host.sessionSet(key::NumFunds, "0");
    host.sessionSet(key::User, "");
    host.sessionSet(key::Customer, "");
    host.sessionSet(key::Role, "");
    host.sessionSet(key::CanOverrideFund, "False");
    host.sessionSet(key::CanOverrideDepartureDate, "False");
    host.sessionSet(key::NumCustomers, Value::Integer(0));
    host.sessionSet(key::CustomersDD, "");
    host.sessionSet(key::NumDestinations, Value::Integer(0));
    host.sessionSet(key::Destinations, "");
}

std::string YesNoText(const Value& column) {
    return SameText(Value(Trim(NullToSpace(column))), "True") ? "True" : "False";
}

void SetIdentity(Host& host, Recordset& user, const std::string& userId) {
    host.sessionSet(key::User, userId);
    host.sessionSet(key::Customer, NullToSpace(user.field("CUSTOMER")));
    host.sessionSet(key::Role, NullToSpace(user.field("ROLE")));
    host.sessionSet(key::CanOverrideFund, YesNoText(user.field("SCEXFOVD")));
    host.sessionSet(key::CanOverrideDepartureDate, YesNoText(user.field("SCEXDDFT")));
}

void SetDistrictComment(Host& host) {
    Recordset district = Recordset::Open(Use(cnTrip), "select * from District");
    host.sessionSet(key::TripReqComment,
                    district.eof() ? std::string() : NullToSpace(district.field("TRIPREQ_COMMENT")));
}

void SetEmailOptions(Host& host) {
    Recordset options = Recordset::Open(
        Use(cnTrip), "SELECT REQ_EXCURSA_CHANGE, ADM_EXCURSA_CHANGE, APP_EXCURSA_CHANGE FROM EMAIL_OPTIONS");
    const bool hasRow = !options.eof();
    host.sessionSet(key::MailRequester,
                    hasRow ? NullToSpace(options.field("REQ_EXCURSA_CHANGE")) : std::string());
    host.sessionSet(key::MailApprovers,
                    hasRow ? NullToSpace(options.field("APP_EXCURSA_CHANGE")) : std::string());
    options.close();
}

// A list that its builder could not make is a subscript failure here, as
// reading its bounds would be.
void StoreList(Host& host, std::string_view countKey, std::string_view listKey,
               const std::optional<TextArray>& list) {
    if (!list) raiseError(kErrSubscript);
    host.sessionSet(countKey, Value::Integer(static_cast<std::int16_t>(list->upperBound())));
    host.sessionSet(listKey, *list);
}

void StorePickLists(AppObject& app) {
    Host& host = app.host;
    PopulateDD(app);
    const AppObject::PickLists& lists = app.lists;
    StoreList(host, key::NumCustomers, key::CustomersDD, lists.customers);
    StoreList(host, key::NumDestinations, key::Destinations, lists.destinations);
    StoreList(host, key::NumTripCat, key::TripCat, lists.tripCats);
    StoreList(host, key::NumStatusVals, key::StatusVals, lists.statusVals);
    StoreList(host, key::NumDivisions, key::Divisions, lists.divisions);
    StoreList(host, key::NumGrades, key::Grades, lists.grades);
    PopulateDESTCATDD(app);
    StoreList(host, key::NumDestCats, key::DestCats, lists.destCats);
}

// The all-funds list, unless funds are typed or chosen per customer.
void StoreFundList(AppObject& app) {
    Host& host = app.host;
    const bool fundDropDown = SameText(host.appGet(key::FundDD), "True");
    const bool perCustomer = SameText(host.appGet(key::UseCustFund), "True");
    if (fundDropDown && !perCustomer) PopulateFundDD(app, "");
    if (fundDropDown && !perCustomer && app.lists.funds) {
        StoreList(host, key::NumFunds, key::Funds, app.lists.funds);
        return;
    }
    host.sessionSet(key::NumFunds, Value::Integer(0));
    host.sessionSet(key::Funds, TextArray(0, 1));
}

void GoWhereTheButtonSays(AppObject& app) {
    const std::string button = app.host.formField("btnsubmit");
    if (SameTextNoCase(button, kWorkWithRequests)) {
        app.host.setNextItem("RequestSearch");
    } else if (SameTextNoCase(button, kEnterNewRequest)) {
        SetNewVars(app);
        app.host.setNextItem("RequestDetail");
    }
}

// Steps after the database is prepared; returns when the page is decided.
void CheckUserAndSignIn(AppObject& app, PageResources& db) {
    Host& host = app.host;
    const std::string userId = Trim(host.formField("user"));
    if (SignInLimiter().refused(userId)) {
        WriteLog("Sign-in refused, too many failed attempts for user id " + EscapeForLog(userId));
        host.write(kTooManySignIns);
        return;
    }
    Recordset& user = db.query(Use(cnSecurity), "Select * from VLSCU where trim$(VLSCU.VLSC1) = ?", {userId});
    if (user.eof()) {
        host.write("Sorry, invalid user id.  Use your browser's back button and please try again.");
        return;
    }
    const std::string stored = Trim(NullToSpace(user.field("VLSC2")));
    if (!SameTextNoCase(stored, Trim(host.formField("password")))) {
        SignInLimiter().failed(userId);
        host.write("Sorry, invalid password.  Use your browser's back button and please try again.");
        return;
    }
    SignInLimiter().succeeded(userId);
    SetIdentity(host, user, userId);
    // A session id known before sign-in must not carry the signed-in identity.
    host.renewSessionId();
    SetDistrictComment(host);
    SetEmailOptions(host);
    StorePickLists(app);
    StoreFundList(app);
    GoWhereTheButtonSays(app);
    host.sessionSet(key::LoadFromSession, "False");
}

}  // namespace

void Login_Respond(AppObject& app) { app.host.writeTemplate("Login"); }

void Login_ProcessTag(AppObject& app, const std::string& tagName, std::string& contents) {
    const Host& host = app.host;
    if (DistrictHeaderTag(host, tagName, contents)) return;
    if (SameTextNoCase(tagName, "WC@TRIPREQUESTINQUIRY")) {
        contents = CBool(host.appGet(key::DotnetInstalled))
                       ? "<a href=\"" + TextOf(host.appGet(key::InquiryUrl)) + "\">Trip Request Inquiry</a>"
                       : std::string();
    } else if (SameTextNoCase(tagName, "WC@exTECHDETAILS")) {
        contents = "<A HREF=\"" + host.urlFor("exDetails") +
                   "\"><img src='images/Tarnwick.gif'  height='55' width='55' border='0' align='right'></a>";
    }
}

void Login_LoginValidateUser(AppObject& app) {
    RunProcedure(app, Procedure{"LoginValidateUser", kModuleNone}, [&] {
        Host& host = app.host;
        host.setSessionTimeout(CInt(host.appGet(key::SessionTimeout)));
        ResetSignInValues(host);
        PageResources db(host);
        if (db.open()) CheckUserAndSignIn(app, db);
    });
}

void RegisterLogin(WebItemRegistry& items) {
    items.add({.name = "Login",
               .templateFile = "login1.htm",
               .respond = Login_Respond,
               .processTag = Login_ProcessTag,
               .events = {{"LoginValidateUser", Login_LoginValidateUser}}});
}

}  // namespace excursa
