// TripRequestDetailPrint: the stored request of the session's TRIPREQ on a page meant for printing,
// plain text where the form has controls. Every stored value is escaped where it is inserted.
#include "data/connections.h"
#include "frame/html.h"
#include "frame/keys.h"
#include "frame/procedure.h"
#include "frame/worker_state.h"
#include "lookup/district_header.h"
#include "request/form_tag.h"
#include "request/items.h"
#include "request/request_form.h"
#include "request/request_lookups.h"

#include <array>
#include <string>
#include <string_view>
#include <utility>

namespace excursa {

namespace {

constexpr std::string_view kStoredRequestSql = "SELECT TRIPSREQ.* FROM TRIPSREQ where TRIPNUM = clng(?)";
constexpr std::string_view kReshownRequestSql = "SELECT TRIPSREQ.* FROM TRIPSREQ WHERE TRIPNUM = CLNG(?)";

bool LoadFromSession(const Host& host) { return SameText(host.sessionGet(key::LoadFromSession), "True"); }
bool NewInSession(const Host& host) { return SameText(host.sessionGet(key::form::New), "NEW"); }

void OpenRequest(AppObject& app, std::string_view sql) {
    const std::int32_t tripNumber = CLng(app.host.sessionGet(key::TripReq));
    RequestRecord(app) = Recordset::Open(Use(cnTripSchl), sql, {Value::Long(tripNumber)});
}

// ------------------------------------------------------------------- tags

void RequestNumber(FormTag& f, std::string& contents) {
    if (!f.editable()) {
        contents = HtmlEscape(f.columnText("TRIPNUM"));
        return;
    }
    contents = f.isNew() ? std::string()
                         : "<input type='text' name='TRIPNUM' value='" + HtmlEscape(f.columnText("TRIPNUM")) +
                               "' readonly>";
}

void CustomerName(FormTag& f, std::string& contents) {
    if (!getcust(f.app, f.columnTrimmed("CUSTOMER"))) return;
    contents = HtmlEscape(f.app.customer.name);
}

void DestinationName(FormTag& f, std::string& contents) {
    if (!getdest(f.app, f.columnTrimmed("Destination"))) return;
    contents = HtmlEscape(f.app.destination.description);
}

// The address comes from the destination table, so a destination typed in by the user has none.
void DestinationAddress(FormTag& f, std::string& contents) {
    if (!getdest(f.app, f.columnTrimmed("Destination"))) return;
    const AppObject::CurrentDestination& found = f.app.destination;
    if (Trim(found.address1).empty()) {
        contents.clear();
        return;
    }
    std::string address = HtmlEscape(found.address1);
    if (!Trim(found.address2).empty()) address += "<br>" + HtmlEscape(found.address2);
    contents = "<tr><td>" + std::string(kDestinationLabel) + "</td><td>" + address + "</td></tr>";
}

TagRule StoredText(std::string_view column) {
    return [column](FormTag& f, std::string& contents) { contents = HtmlEscape(f.columnText(column)); };
}

TagRule Fixed(std::string_view text) {
    return [text](FormTag&, std::string& contents) { contents = std::string(text); };
}

TagRules MakeRules() {
    TagRules rules;
    AddCommonTagRules(rules);
    AddTagRule(rules, "WC@REQUEST", RequestNumber);
    AddTagRule(rules, "WC@CUSTOMER", CustomerName);
    AddTagRule(rules, "WC@DESTINATION", DestinationName);
    AddTagRule(rules, "WC@DESTINATIONADDRESS", DestinationAddress);
    AddTagRule(rules, "WC@STATUSCOMMENT", ShowStatusComment);
    constexpr std::array<std::pair<std::string_view, std::string_view>, 27> kStoredTexts{{
        {"WC@CONTACT", "CONTACT"},
        {"WC@FUND", "Fund"},
        {"WC@INTTRIPNUM", "INTTRIPNUM"},
        {"WC@DEPDATE", "depdate"},
        {"WC@DEPTIME", "deptime"},
        {"WC@RETDATE", "retdate"},
        {"WC@RETTIME", "rettime"},
        {"WC@ARRIVETIME", "arrivetime"},
        {"WC@LEAVETIME", "leavetime"},
        {"WC@STATUS", "Status"},
        {"WC@GRADE", "GRADE"},
        {"WC@CHAIN", "chainid"},
        {"WC@STATUS_DATE", "STATUS_DATE"},
        {"WC@ENTEREDBY", "ENTEREDBY"},
        {"WC@ENTERDATE", "enterdate"},
        {"WC@NUMADULTS", "NUMADULTS"},
        {"WC@NUMSTUDENTS", "NUMSTUDENTS"},
        {"WC@NUMHAND", "NUMHAND"},
        {"WC@ESTTIME", "estTime"},
        {"WC@ESTMILE", "ESTMILE"},
        {"WC@PURPOSE", "PURPOSE"},
        {"WC@CUSTSPEC", "CUSTSPEC"},
        {"WC@DESTSPEC", "DESTSPEC"},
        {"WC@TRIPCOM", "TRIPCOM"},
        {"WC@PO", "PO"},
        {"WC@TRIPCAT", "TRIPCAT"},
        {"WC@REQUESTOREMAIL", "REQUESTOR_EMAIL"},
    }};
    for (const auto& [tag, column] : kStoredTexts) AddTagRule(rules, tag, StoredText(column));
    AddTagRule(rules, "WC@FUNDHDR", Fixed(kFundLabel));
    AddTagRule(rules, "WC@CUSTHDR", Fixed(kCustomerLabel));
    AddTagRule(rules, "WC@DESTHDR", Fixed(kDestinationLabel));
    // No approval choices, warnings or form script on paper.
    for (std::string_view tag :
         {"WC@APPROVE", "WC@DATESHDR", "WC@DEPWARN", "WC@RTNWARN", "WC@FOCUS", "WC@DEFAULTRETURNDATE",
          "WC@REQUESTOREMAILHDR", "WC@LEADTIME", "WC@LEADTIMEHARDWARN"}) {
        AddTagRule(rules, tag, Fixed(""));
    }
    return rules;
}

const TagRule* FindRule(std::string_view tagName) {
    static const TagRules rules = MakeRules();
    return FindTagRule(rules, tagName);
}

// A request re-shown from the session prints as stored; a new one has nothing stored to open.
void OpenReshownRequest(AppObject& app) {
    if (NewInSession(app.host)) {
        app.blnNewRequest = true;
        return;
    }
    const std::optional<Recordset>& record = RequestRecord(app);
    if (record && record->isOpen()) return;
    if (!TripDBConnectionsOpen() && !PrepareDatabase(app.host)) return;
    OpenRequest(app, kReshownRequestSql);
}

}  // namespace

void TripRequestDetailPrint_Respond(AppObject& app) {
    RunProcedure(app, Procedure{"TripRequestDetailPrint_Respond", kModuleExcursa, true}, [&] {
        Host& host = app.host;
        if (SessionTimedOut(app)) return;
        PageResources db(host);
        db.closeAtEnd(RequestRecord(app));
        RequestRecord(app).reset();
        const bool reshown = LoadFromSession(host);
        if (reshown) app.blnCanEdit = true;
        const bool stored = !TextOf(host.sessionGet(key::TripReq)).empty();
        // The tags of a re-shown request open it themselves, on these connections.
        if ((stored || (reshown && !NewInSession(host))) && !db.open()) return;
        if (stored) {
            OpenRequest(app, kStoredRequestSql);
            if (!AuthorizeStoredRequest(app)) return;
        }
        host.writeTemplate("TripRequestDetailPrint");
    });
}

// Failures are the Respond handler's: the tag handler traps none of its own.
void TripRequestDetailPrint_ProcessTag(AppObject& app, const std::string& tagName, std::string& contents) {
    if (SessionTimedOut(app)) return;
    if (LoadFromSession(app.host)) OpenReshownRequest(app);
    if (DistrictHeaderTag(app.host, tagName, contents)) return;
    const TagRule* rule = FindRule(tagName);
    if (rule == nullptr) return;
    FormTag tag(app, contents);
    (*rule)(tag, contents);
}

void RegisterTripRequestDetailPrint(WebItemRegistry& items) {
    items.add({.name = "TripRequestDetailPrint",
               .templateFile = "TripRequestDetailPrint1.htm",
               .respond = TripRequestDetailPrint_Respond,
               .processTag = TripRequestDetailPrint_ProcessTag});
}

}  // namespace excursa
