// RequestDetail: the trip request form. The entry events load the flags and the
// stored request; RequestDetail_ProcessTag.cpp draws the tags.
#include "approval/approval.h"
#include "frame/keys.h"
#include "data/connections.h"
#include "frame/procedure.h"
#include "frame/worker_state.h"
#include "request/items.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace excursa {

namespace {

constexpr std::string_view kUserEventSql = "SELECT TRIPSREQ.* FROM TRIPSREQ where TRIPNUM = clng(";
constexpr std::string_view kRespondSql = "SELECT TRIPSREQ.* FROM TRIPSREQ WHERE TRIPNUM = CLNG(";

bool LoadFromSession(const Host& host) {
    return SameText(host.sessionGet(key::LoadFromSession), "True");
}

// Closes the stored request and the connections however the event ends, so that
// a failure or an ended response leaves nothing open on the worker.
class OpenForTheForm {
public:
    explicit OpenForTheForm(AppObject& app) : app_(app) {}
    OpenForTheForm(const OpenForTheForm&) = delete;
    OpenForTheForm& operator=(const OpenForTheForm&) = delete;
    ~OpenForTheForm() {
        try {
            if (app_.rsRequest && app_.rsRequest->isOpen()) app_.rsRequest->close();
        } catch (const VbError&) {
            // Closing a static set cannot lose anything; the set is released below all the same.
        }
        app_.rsRequest.reset();
        CloseTripDBConnections();
    }

private:
    AppObject& app_;
};

// "<edit Y/N>,<approve Y/N>,<status the approval gives>": the first two items
// set the flags, the rest (commas and all) is what Approve posts.
void ApplyAuthority(AppObject& app, const std::string& answer) {
    if (BeforeFirstComma(answer) == "Y") app.blnCanEdit = true;
    const std::string rest = AfterFirstComma(answer);
    if (BeforeFirstComma(rest) == "Y") app.blnCanApprove = true;
    app.strApproveValue = AfterFirstComma(rest);
}

// Decides the flags from the authority rule and opens the request. The number reaches
// the SQL only as the converted whole number. False when the authority rule failed.
bool LoadStoredRequest(AppObject& app, std::int32_t tripNumber, std::string_view sqlHead) {
    const Host& host = app.host;
    app.blnCanEdit = false;
    app.blnCanApprove = false;
    const std::string answer =
        HasAuthority(tripNumber, TextOf(host.sessionGet(key::Role)), "", TextOf(host.sessionGet(key::Customer)));
    if (ErrorTextIsSet()) return false;
    ApplyAuthority(app, answer);
    app.rsRequest = Recordset::Open(Use(cnTripSchl), std::string(sqlHead) + std::to_string(tripNumber) + ")");
    return true;
}

void ShowStoredRequest(AppObject& app, const std::string& eventName) {
    Host& host = app.host;
    // Converted before it is kept: a number that is none must not become the session's request.
    const std::int32_t tripNumber = CLng(Value(eventName));
    host.sessionSet(key::TripReq, eventName);
    if (!LoadStoredRequest(app, tripNumber, kUserEventSql)) return;
    // Left at "NEW" by an earlier new-request reset, the form would draw this
    // stored request as a new one, and saving it would store a second copy.
    host.sessionSet(key::form::New, "EXISTING");
    host.sessionSet(key::form::Customer, Trim(NullToSpace(app.rsRequest->field("CUSTOMER"))));
    host.writeTemplate("RequestDetail");
}

}  // namespace

void RequestDetail_UserEvent(AppObject& app, const std::string& eventName) {
    RunProcedure(app, Procedure{"RequestDetail_UserEvent", kModuleExcursa, true}, [&] {
        if (SessionTimedOut(app)) return;
        if (LoadFromSession(app.host)) app.blnCanEdit = true;
        OpenForTheForm resources(app);
        if (!PrepareDatabase(app.host)) return;
        app.rsRequest.reset();
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
        if (LoadFromSession(host) || app.blnCopyMode) app.blnCanEdit = true;
        OpenForTheForm resources(app);
        if (!PrepareDatabase(app.host)) return;
        app.rsRequest.reset();
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
               .userEvent = RequestDetail_UserEvent});
}

}  // namespace excursa
