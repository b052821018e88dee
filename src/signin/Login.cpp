// Login: the sign-in page with the district's header, and signing in.
#include "data/connections.h"
#include "frame/access_log.h"
#include "frame/attempt_limiter.h"
#include "frame/procedure.h"
#include "request/form_controls.h"
#include "signin/items.h"
#include "startup/district_header.h"

#include <optional>

namespace excursa {

namespace {

constexpr std::string_view kWorkWithRequests = "Work With Trip Requests";
constexpr std::string_view kEnterNewRequest = "Enter a New Trip Request";

// Cleared before the user is checked, so a failed attempt leaves no identity.
void ResetSignInValues(Host& host) {
    host.sessionSet("LoadRequestDetailFromSession", "False");
    host.sessionSet("Funds", "");
    host.sessionSet("numFunds", "0");
    host.sessionSet("USER", "");
    host.sessionSet("CUSTOMER", "");
    host.sessionSet("ROLE", "");
    host.sessionSet("CANOVERRIDEFUND", "False");
    host.sessionSet("CANOVERRIDEDEPARTUREDATE", "False");
    host.sessionSet("numCustomers", Value::Integer(0));
    host.sessionSet("CustomersDD", "");
    host.sessionSet("numDestinations", Value::Integer(0));
    host.sessionSet("Destinations", "");
}

std::string YesNoText(const Value& column) {
    return SameText(Value(Trim(NullToSpace(column))), "True") ? "True" : "False";
}

void SetIdentity(Host& host, Recordset& user, const std::string& userId) {
    host.sessionSet("USER", userId);
    host.sessionSet("CUSTOMER", NullToSpace(user.field("CUSTOMER")));
    host.sessionSet("ROLE", NullToSpace(user.field("ROLE")));
    host.sessionSet("CANOVERRIDEFUND", YesNoText(user.field("SCEXFOVD")));
    host.sessionSet("CANOVERRIDEDEPARTUREDATE", YesNoText(user.field("SCEXDDFT")));
}

void SetDistrictComment(Host& host) {
    Recordset district = Recordset::Open(Use(cnTrip), "select * from District");
    host.sessionSet("TRIPREQ_COMMENT",
                    district.eof() ? std::string() : NullToSpace(district.field("TRIPREQ_COMMENT")));
    district.close();
}

void SetEmailOptions(Host& host) {
    Recordset options = Recordset::Open(
        Use(cnTrip), "SELECT REQ_EXCURSA_CHANGE, ADM_EXCURSA_CHANGE, APP_EXCURSA_CHANGE FROM EMAIL_OPTIONS");
    const bool hasRow = !options.eof();
    host.sessionSet("EMAIL_OPTIONS.REQ_EXCURSA_CHANGE",
                    hasRow ? NullToSpace(options.field("REQ_EXCURSA_CHANGE")) : std::string());
    host.sessionSet("EMAIL_OPTIONS.APP_EXCURSA_CHANGE",
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
    StoreList(host, "numCustomers", "CustomersDD", lists.customers);
    StoreList(host, "numDestinations", "Destinations", lists.destinations);
    StoreList(host, "numTripCat", "TripCat", lists.tripCats);
    StoreList(host, "numStatusVals", "StatusVals", lists.statusVals);
    StoreList(host, "numDivisions", "Divisions", lists.divisions);
    StoreList(host, "numGrades", "Grades", lists.grades);
    PopulateDESTCATDD(app);
    StoreList(host, "numDESTCATs", "DESTCATS", lists.destCats);
}

// The all-funds list, unless funds are typed or chosen per customer.
void StoreFundList(AppObject& app) {
    Host& host = app.host;
    const bool fundDropDown = SameText(host.appGet("DISTRICT.FUND_DD"), "True");
    const bool perCustomer = SameText(host.appGet("DISTRICT.USECUSTFUND"), "True");
    if (fundDropDown && !perCustomer) PopulateFundDD(app, "");
    if (fundDropDown && !perCustomer && app.lists.funds) {
        StoreList(host, "numFunds", "Funds", app.lists.funds);
        return;
    }
    host.sessionSet("numFunds", Value::Integer(0));
    host.sessionSet("Funds", TextArray(0, 1));
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
void CheckUserAndSignIn(AppObject& app, std::optional<Recordset>& user) {
    Host& host = app.host;
    const std::string userId = Trim(host.formField("user"));
    if (SignInLimiter().refused(userId)) {
        WriteLog("Sign-in refused, too many failed attempts for user id " + EscapeForLog(userId));
        host.write(kTooManySignIns);
        return;
    }
    user = Recordset::Open(Use(cnSecurity),
                           "Select * from VLSCU where trim$(VLSCU.VLSC1) = '" + SqlQuote(userId) + "'");
    if (user->eof()) {
        host.write("Sorry, invalid user id.  Use your browser's back button and please try again.");
        return;
    }
    const std::string stored = Trim(NullToSpace(user->field("VLSC2")));
    if (!SameTextNoCase(stored, Trim(host.formField("password")))) {
        SignInLimiter().failed(userId);
        host.write("Sorry, invalid password.  Use your browser's back button and please try again.");
        return;
    }
    SignInLimiter().succeeded(userId);
    SetIdentity(host, *user, userId);
    // A session id known before sign-in must not carry the signed-in identity.
    host.renewSessionId();
    SetDistrictComment(host);
    SetEmailOptions(host);
    StorePickLists(app);
    StoreFundList(app);
    GoWhereTheButtonSays(app);
    host.sessionSet("LoadRequestDetailFromSession", "False");
}

}  // namespace

void Login_Respond(AppObject& app) { app.host.writeTemplate("Login"); }

void Login_ProcessTag(AppObject& app, const std::string& tagName, std::string& contents) {
    const Host& host = app.host;
    if (DistrictHeaderTag(host, tagName, contents)) return;
    if (SameTextNoCase(tagName, "WC@TRIPREQUESTINQUIRY")) {
        contents = CBool(host.appGet("DOTNET_INSTALLED"))
                       ? "<a href=\"" + TextOf(host.appGet("INQUIRY_URL")) + "\">Trip Request Inquiry</a>"
                       : std::string();
    } else if (SameTextNoCase(tagName, "WC@exTECHDETAILS")) {
        contents = "<A HREF=\"" + host.urlFor("exDetails") +
                   "\"><img src='images/Tarnwick.gif'  height='55' width='55' border='0' align='right'></a>";
    }
}

void Login_LoginValidateUser(AppObject& app) {
    std::optional<Recordset> user;
    RunProcedure(
        app, Procedure{"LoginValidateUser", kModuleNone},
        [&] {
            Host& host = app.host;
            host.setSessionTimeout(CInt(host.appGet("SESSION_TIMEOUT")));
            ResetSignInValues(host);
            if (PrepareDatabase(app)) CheckUserAndSignIn(app, user);
            if (user) user->close();
            CloseTripDBConnections();
        },
        [] { CloseTripDBConnections(); });
}

void RegisterLogin(WebItemRegistry& items) {
    items.add({.name = "Login",
               .templateFile = "login1.htm",
               .respond = Login_Respond,
               .processTag = Login_ProcessTag,
               .events = {{"LoginValidateUser", Login_LoginValidateUser}}});
}

}  // namespace excursa
