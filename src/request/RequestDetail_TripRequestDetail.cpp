// RequestDetail_TripRequestDetail: every post of the request form. The posted button decides:
// redraw after a drop-down change, leave, copy, delete, print, open a lookup, or save.
#include "data/connections.h"
#include "frame/keys.h"
#include "frame/procedure.h"
#include "frame/worker_state.h"
#include "request/items.h"
#include "request/request_lookups.h"
#include "request/request_save.h"
#include "request/request_version.h"
#include "signin/items.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace excursa {

namespace {

constexpr std::string_view kPrintUrl = "ExcursaLakemont.asp?WCI=TripRequestDetailPrint";
constexpr std::string_view kChooseCustomerFirst = "<p>Please choose a customer first.</p>";

struct KeptField {
    std::string_view posted;
    std::string_view stateKey;
};

// The posted fields that the form state keeps as they were posted (the customer, the destination
// and its instructions, and the request number have rules of their own).
constexpr std::array<KeptField, 34> kKeptFields{{
    {"New", key::form::New},
    {"RequestorEmail", key::form::RequestorEmail},
    {"contact", key::form::Contact},
    {"fund", key::form::Fund},
    {"dep_month", key::form::DepMonth},
    {"dep_date", key::form::DepDate},
    {"dep_year", key::form::DepYear},
    {"rtn_month", key::form::RetMonth},
    {"rtn_date", key::form::RetDate},
    {"rtn_year", key::form::RetYear},
    {"dep_hour", key::form::DepHour},
    {"dep_min", key::form::DepMin},
    {"dep_ampm", key::form::DepAmPm},
    {"arrive_hour", key::form::ArriveHour},
    {"arrive_min", key::form::ArriveMin},
    {"arrive_ampm", key::form::ArriveAmPm},
    {"leave_hour", key::form::LeaveHour},
    {"leave_min", key::form::LeaveMin},
    {"leave_ampm", key::form::LeaveAmPm},
    {"ret_hour", key::form::RetHour},
    {"ret_min", key::form::RetMin},
    {"ret_ampm", key::form::RetAmPm},
    {"numadults", key::form::NumAdults},
    {"numstudents", key::form::NumStudents},
    {"numhand", key::form::NumHand},
    {"esttime", key::form::EstTime},
    {"estmile", key::form::EstMile},
    {"purpose", key::form::Purpose},
    {"custspec", key::form::CustSpec},
    {"tripcom", key::form::TripCom},
    {"po", key::form::Po},
    {"inttripnum", key::form::IntTripNum},
    {"tripcat", key::form::TripCat},
    {"grade", key::form::Grade},
}};

// The destination's details in the form state, apart from its number and instructions.
constexpr std::array<std::string_view, 8> kDestinationDetails{
    key::form::DestDesc, key::form::DestCat,  key::form::Miles,   key::form::DestAdd1,
    key::form::DestAdd2, key::form::DestCity, key::form::DestZip, key::form::DestState};

std::string Posted(const Host& host, std::string_view name) { return host.formField(name); }
std::string State(const Host& host, std::string_view key) { return TextOf(host.sessionGet(key)); }

void ClearDestinationDetails(Host& host) {
    for (std::string_view detail : kDestinationDetails) host.sessionSet(detail, "");
}

// Rows 1 and 7: what the user typed survives the redraw or the lookup.
void KeepFormState(Host& host) {
    for (const KeptField& field : kKeptFields) host.sessionSet(field.stateKey, Posted(host, field.posted));
    host.sessionSet(key::form::Customer, BeforeFirstComma(Posted(host, "cust")));
    host.sessionSet(key::form::Version, PostedVersion(host));
    host.sessionSet(key::TripReq, Posted(host, "tripnum"));
}

// The destination in the form state is the one already described there: a typed-in one (0) is
// reloaded from the stored request when its details are missing; a listed one keeps only its number.
void KeepCurrentDestination(AppObject& app) {
    Host& host = app.host;
    if (Trim(State(host, key::form::Destination)) != "0") {
        ClearDestinationDetails(host);
        return;
    }
    if (UCase(Posted(host, "New")) != "NEW" && State(host, key::form::DestAdd1).empty()) {
        SetDestFromREQ(app, CLng(host.sessionGet(key::TripReq)));
    }
}

// Destination rule of a drop-down change. Answers whether the details of a newly chosen
// destination (its instructions included) were taken; nothing when its look-up failed.
std::optional<bool> TakeChangedDestination(AppObject& app) {
    Host& host = app.host;
    const std::string posted = Posted(host, "dest");
    if (State(host, key::form::Destination) == posted) {
        KeepCurrentDestination(app);
        return false;
    }
    std::optional<std::string> instructions;
    {
        PageResources db(host);
        if (!db.open()) return std::nullopt;
        instructions = getdest(app, posted);
    }
    if (!instructions) return std::nullopt;
    if (posted.empty()) return false;
    if (Trim(posted).empty()) {
        ClearDestinationDetails(host);
        host.sessionSet(key::form::DestSpec, "");
    } else {
        KeepLookedUpDestination(host, app.destination);
        host.sessionSet(key::form::DestSpec, *instructions);
    }
    return true;
}

void DropDownChanged(AppObject& app) {
    Host& host = app.host;
    host.sessionSet(key::LoadFromSession, "True");
    KeepFormState(host);
    const std::optional<bool> newDestination = TakeChangedDestination(app);
    if (!newDestination) return;
    // The instructions of a destination just chosen replace what the old one had.
    if (!*newDestination) host.sessionSet(key::form::DestSpec, Posted(host, "destspec"));
    host.sessionSet(key::form::Destination, Posted(host, "dest"));
    host.setNextItem("RequestDetail");
}

void ExitForm(Host& host) {
    ClearDestinationDetails(host);
    host.sessionSet(key::form::New, "");
    host.sessionSet(key::TripReq, "");
    for (const KeptField& field : kKeptFields) host.sessionSet(field.stateKey, "");
    for (std::string_view cleared :
         {key::form::Customer, key::form::DestSpec, key::form::Destination, key::form::Version}) {
        host.sessionSet(cleared, "");
    }
    host.setNextItem("RequestSearch");
}

void CopyRequest(AppObject& app) {
    app.blnNewRequest = true;
    SetDestFromREQ(app, CLng(app.host.sessionGet(key::TripReq)));
    SetNewVars(app);
    app.blnCopyMode = true;
    app.host.setNextItem("RequestDetail");
}

// The request named by the post is the one judged and deleted, whichever form posted it.
void DeleteFromForm(AppObject& app) {
    Host& host = app.host;
    const std::int32_t tripNumber = CLng(Value(Posted(host, "tripnum")));
    if (!ChangeMayGoOn(host, CheckChangeRight(app, tripNumber).right)) return;
    DeleteTripRequest(app, tripNumber);
    host.setNextItem("RequestSearch");
}

// Saved first, so that the printable view shows the request as stored; a check that stops the
// save is the page instead.
void PrintRequest(AppObject& app) {
    const SaveResult result = SaveTripRequest(app, SaveMode::Print);
    if (result != SaveResult::Stored && result != SaveResult::NotAttempted) return;
    if (ErrorTextIsSet()) return;
    app.host.redirect(kPrintUrl);
}

void SaveAndShow(AppObject& app) {
    if (SaveTripRequest(app, SaveMode::Save) != SaveResult::Stored) return;
    RequestDetail_UserEvent(app, State(app.host, key::TripReq));
}

std::optional<std::string_view> LookupItem(std::string_view button) {
    if (SameTextNoCase(button, "Customer")) return "LookupCust";
    if (SameTextNoCase(button, "Destination")) return "LookupDest";
    if (SameTextNoCase(button, "Fund")) return "LookupFund";
    return std::nullopt;
}

void OpenLookup(AppObject& app, std::string_view button, std::string_view item) {
    Host& host = app.host;
    const bool fundsPerCustomer = SameText(host.appGet(key::UseCustFund), "True");
    if (SameTextNoCase(button, "Fund") && fundsPerCustomer && Trim(Posted(host, "cust")).empty()) {
        host.write(kChooseCustomerFirst);
        return;
    }
    KeepFormState(host);
    host.sessionSet(key::form::DestSpec, Posted(host, "destspec"));
    host.sessionSet(key::form::Destination, Posted(host, "dest"));
    host.sessionSet(key::LoadFromSession, "True");
    KeepCurrentDestination(app);
    host.writeTemplate(item);
}

void Dispatch(AppObject& app) {
    Host& host = app.host;
    const std::string button = Posted(host, "btnSubmit");
    if (!Posted(host, "dropDownChange").empty()) return DropDownChanged(app);
    if (SameTextNoCase(button, "**Exit**")) return ExitForm(host);
    if (SameTextNoCase(button, "Copy")) return CopyRequest(app);
    if (SameTextNoCase(button, "Delete")) return DeleteFromForm(app);
    if (SameTextNoCase(button, "Print")) return PrintRequest(app);
    if (const std::optional<std::string_view> lookup = LookupItem(button))
        return OpenLookup(app, button, *lookup);
    SaveAndShow(app);
}

}  // namespace

void RequestDetail_TripRequestDetail(AppObject& app) {
    RunProcedure(app, Procedure{"RequestDetail_TripRequestDetail", kModuleExcursa}, [&] {
        if (SessionTimedOut(app)) return;
        Dispatch(app);
    });
}

}  // namespace excursa
