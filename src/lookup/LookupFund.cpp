// LookupFund: funds searched by number and description, only the customer's own where the district
// restricts them; Return puts the chosen fund on the request form, or runs the field trip search
// with it when the search opened the lookup.
#include "frame/html.h"
#include "frame/keys.h"
#include "frame/procedure.h"
#include "frame/worker_state.h"
#include "lookup/items.h"
#include "lookup/lookup_page.h"

#include <optional>
#include <string>

namespace excursa {

namespace {

std::string FundRow(Recordset& rs) {
    const std::string fund = CellText(rs, "Fund");
    return "<tr><td><input type='radio' name='SelFund' value='" + fund + "'></td><td>" + fund + "</td><td>" +
           CellText(rs, "FUNDDESC") + "</td></tr>";
}

// Only the customer's active funds, unless the district lets every customer use any fund or the user
// may override the fund.
bool CustomerFundsOnly(const Host& host) {
    return SameText(host.appGet(key::UseCustFund), "True") &&
           SameText(host.sessionGet(key::CanOverrideFund), "False");
}

// The fund search's query and its criteria; nothing when the criteria allow none (the message is then
// the error text).
std::optional<std::string> FundQuery(const Host& host, SearchCriteria& where) {
    const std::string fund = Trim(host.formField("FUND"));
    const std::string description = Trim(host.formField("DESC"));
    if (!fund.empty()) where.add(" ucase$(FUND.FUND) like ?", {BeginsWith(UCase(fund))});
    if (!description.empty()) where.add(" FUND.FUNDDESC like ?", {BeginsWith(description)});
    if (CustomerFundsOnly(host)) {
        const std::string customer = TextOf(host.sessionGet(key::form::Customer));
        if (customer.empty()) {
            strErrorText = "Please select a customer first.";
            return std::nullopt;
        }
        where.add(" CUSTOMER_FUND.CUSTOMER=? AND FUND.ACTIVE = TRUE", {customer});
        return "SELECT FUND.* FROM FUND INNER JOIN CUSTOMER_FUND ON FUND.FUND = CUSTOMER_FUND.FUND" +
               where.text() + " ORDER BY FUND.FUND";
    }
    if (fund.empty() && description.empty()) {
        strErrorText =
            "Sorry, you need to either enter a fund number or a description before searching for funds.  "
            "Please use your browser's back button and try again.";
        return std::nullopt;
    }
    where.add(" FUND.ACTIVE = TRUE");
    return "SELECT FUND.* FROM FUND" + where.text() + " ORDER BY FUND.FUND";
}

void LookupFund_UserEvent(AppObject& app, const std::string& eventName) {
    ShowLookupPage(app, "LookupFund", eventName);
}

void LookupFund_ProcessTag(AppObject& app, const std::string& tagName, std::string& contents) {
    if (LookupPageTag(app, tagName, contents)) return;
    if (SameTextNoCase(tagName, "WC@FUND")) contents = HtmlEscape(app.strLookupEvent);
}

void LookupFund_FindFunds(AppObject& app) {
    RunProcedure(app, Procedure{"LookupFund_FindFunds", kModuleNone, true}, [&] {
        if (SessionTimedOut(app)) return;
        SearchCriteria where;
        const std::optional<std::string> query = FundQuery(app.host, where);
        if (!query) return;
        const bool found = RunLookupSearch(
            app, *query, where.params(), "<table width='737' border='1'>",
            "<td><b>Selected</b></td><td><b>Fund</b></td><td><b>Description</b></td>", FundRow);
        if (found) app.host.writeTemplate("LookupFund");
    });
}

// The field trip search, run again with the chosen fund. The search knows it opened the lookup; it takes
// the fund from SelFund, with its switches and boxes as when its page is first shown.
void ReturnToTripSearch(AppObject& app, const std::string& fund) {
    Host& host = app.host;
    host.sessionSet(key::SelTrip, "");
    host.sessionSet(key::SelFund, fund);
    CallEvent(app, "TripSearch", "FieldTrips");
}

void LookupFund_RetwSelected(AppObject& app) {
    RunProcedure(app, Procedure{"LookupFund_RetwSelected", kModuleNone}, [&] {
        Host& host = app.host;
        if (SessionTimedOut(app)) return;
        // Unlike the other lookups, nothing chosen clears the request's fund.
        const std::string chosen = host.formField("SelFund");
        host.sessionSet(key::form::Fund, chosen);
        if (SameText(host.sessionGet(key::SelTrip), "Y")) {
            ReturnToTripSearch(app, chosen);
            return;
        }
        if (!ErrorTextIsSet()) ReturnToRequestForm(app);
    });
}

}  // namespace

void RegisterLookupFund(WebItemRegistry& items) {
    items.add({.name = "LookupFund",
               .templateFile = "LookupFund1.htm",
               .processTag = LookupFund_ProcessTag,
               .userEvent = LookupFund_UserEvent,
               .events = {{"FindFunds", LookupFund_FindFunds}, {"RetwSelected", LookupFund_RetwSelected}}});
}

}  // namespace excursa
