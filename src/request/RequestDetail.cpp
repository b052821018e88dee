// RequestDetail: the trip request form. The entry events load the flags and the
// stored request; RequestDetail_ProcessTag.cpp draws the tags.
#include "approval/approval.h"
#include "data/connections.h"
#include "frame/keys.h"
#include "frame/procedure.h"
#include "frame/worker_state.h"
#include "request/items.h"
#include "request/request_form.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace excursa {

namespace {

constexpr std::string_view kUserEventSql = "SELECT TRIPSREQ.* FROM TRIPSREQ where TRIPNUM = clng(?)";
constexpr std::string_view kRespondSql = "SELECT TRIPSREQ.* FROM TRIPSREQ WHERE TRIPNUM = CLNG(?)";
bool LoadFromSession(const Host& host) { return SameText(host.sessionGet(key::LoadFromSession), "True"); }

// Opens the request and decides the flags from the authority rule. The number reaches the SQL only
// as the converted whole number. False when the request is not to be shown.
bool LoadStoredRequest(AppObject& app, std::int32_t tripNumber, std::string_view sql) {
    app.blnCanEdit = false;
    app.blnCanApprove = false;
    RequestRecord(app).emplace(Recordset::Open(Use(cnTripSchl), sql, {Value::Long(tripNumber)}));
    return AuthorizeStoredRequest(app);
}

void ShowStoredRequest(AppObject& app, const std::string& eventName) {
    Host& host = app.host;
    // Converted before it is kept: a number that is none must not become the session's request.
    const std::int32_t tripNumber = CLng(Value(eventName));
    // A refused request does not become the session's request.
    if (!LoadStoredRequest(app, tripNumber, kUserEventSql)) return;
    host.sessionSet(key::TripReq, eventName);
    // Left at "NEW" by an earlier new-request reset, the form would draw this
    // stored request as a new one, and saving it would store a second copy.
    host.sessionSet(key::form::New, "EXISTING");
    // Shown again from the session (after a lookup), the customer chosen there stands.
    if (!LoadFromSession(host)) {
        host.sessionSet(key::form::Customer, Trim(NullToSpace(RequestRecord(app)->field("CUSTOMER"))));
    }
    host.writeTemplate("RequestDetail");
}

}  // namespace

void RequestDetail_UserEvent(AppObject& app, const std::string& eventName) {
    RunProcedure(app, Procedure{"RequestDetail_UserEvent", kModuleExcursa, true}, [&] {
        if (SessionTimedOut(app)) return;
        StartFormPage(app);
        if (LoadFromSession(app.host)) app.blnCanEdit = true;
        // The stored request and the connections are closed however the event ends.
        PageResources db(app.host);
        db.closeAtEnd(RequestRecord(app));
        if (!db.openToRead()) return;
        RequestRecord(app).reset();
        if (!eventName.empty()) {
            ShowStoredRequest(app, eventName);
            return;
        }
        app.host.writeTemplate("RequestDetail");
    });
}

void RequestDetail_Respond(AppObject& app) {
    RunProcedure(app, Procedure{"RequestDetail_Respond", kModuleExcursa}, [&] {
        Host& host = app.host;
        if (SessionTimedOut(app)) return;
        StartFormPage(app);
        if (LoadFromSession(host) || app.blnCopyMode) app.blnCanEdit = true;
        PageResources db(host);
        db.closeAtEnd(RequestRecord(app));
        if (!db.open()) return;
        RequestRecord(app).reset();
        if (SameText(host.sessionGet(key::form::New), "EXISTING") &&
            !LoadStoredRequest(app, CLng(host.sessionGet(key::TripReq)), kRespondSql)) {
            return;
        }
        host.writeTemplate("RequestDetail");
    });
}

void RegisterRequestDetail(WebItemRegistry& items) {
    items.add({.name = "RequestDetail",
               .templateFile = "TripRequestDetail1.htm",
               .respond = RequestDetail_Respond,
               .processTag = RequestDetail_ProcessTag,
               .userEvent = RequestDetail_UserEvent,
               .events = {{"TripRequestDetail", RequestDetail_TripRequestDetail}}});
}

}  // namespace excursa
