// LookupCust: customers searched by the beginning of their name; Return puts the chosen one on the
// request form.
#include "data/database.h"
#include "frame/keys.h"
#include "frame/procedure.h"
#include "frame/worker_state.h"
#include "lookup/items.h"
#include "lookup/lookup_page.h"

namespace excursa {

namespace {

std::string CustomerRow(Recordset& rs) {
    const std::string code = CellText(rs, "CUSTOMER");
    return "<tr><td><input type='radio' name='SelCust' value='" + code + "'></td><td>" +
           CellText(rs, "CUSTNAME") + "</td><td>" + code + "</td></tr>";
}

void LookupCust_UserEvent(AppObject& app, const std::string& eventName) {
    ShowLookupPage(app, "LookupCust", eventName);
}

void LookupCust_ProcessTag(AppObject& app, const std::string& tagName, std::string& contents) {
    LookupPageTag(app, tagName, contents);
}

void LookupCust_FindCusts(AppObject& app) {
    RunProcedure(app, Procedure{"LookupCust_FindCusts", kModuleNone, true}, [&] {
        if (SessionTimedOut(app)) return;
        SearchCriteria where;
        const std::string name = Trim(app.host.formField("CUSTDESC"));
        if (!name.empty()) where.add(" ucase$(Customer.CUSTNAME) like ?", {BeginsWith(UCase(name))});
        const bool found = RunLookupSearch(
            app, "SELECT CUSTOMER.* FROM CUSTOMER" + where.text() + " ORDER BY Customer.CUSTNAME",
            where.params(), "<table border='1' width='714'>",
            "<td width='58'><b>Selected</b></td><td width='140'><b>Customer Name</b></td>"
            "<td width='88'><b>Customer</b></td>",
            CustomerRow);
        if (found) app.host.writeTemplate("LookupCust");
    });
}

void LookupCust_RetwSelected(AppObject& app) {
    RunProcedure(app, Procedure{"LookupCust_RetwSelected", kModuleNone}, [&] {
        Host& host = app.host;
        if (SessionTimedOut(app)) return;
        const std::string chosen = host.formField("SelCust");
        if (!chosen.empty()) {
            host.sessionSet(key::form::Customer, chosen);
            if (TextOf(host.sessionGet(key::TripReq)).empty()) {
                host.write("Session Timed Out, please try again.");
            }
        }
        if (!ErrorTextIsSet()) ReturnToRequestForm(app);
    });
}

}  // namespace

void RegisterLookupCust(WebItemRegistry& items) {
    items.add({.name = "LookupCust",
               .templateFile = "LookupCust1.htm",
               .processTag = LookupCust_ProcessTag,
               .userEvent = LookupCust_UserEvent,
               .events = {{"FindCusts", LookupCust_FindCusts}, {"RetwSelected", LookupCust_RetwSelected}}});
}

}  // namespace excursa
