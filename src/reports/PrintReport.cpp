// PrintReport: the print window's choice of report layout for the last request or trip search.
#include "frame/keys.h"
#include "reports/items.h"

#include <cctype>

namespace excursa {

namespace {

constexpr std::string_view kLayoutChoice =
    "<input type=radio name=rb value=\"1\" checked>One Line<br>"
    "<input type=radio name=rb value=\"2\">Two Line<br>";
constexpr std::string_view kSummaryChoice =
    "<input type=radio name=rb value=\"3\">Summary&nbsp;"
    "<select name=ddlSummary>"
    "<option value=\"Customer\">Customer</option>"
    "<option value=\"Category\">Category</option>"
    "<option value=\"Fund\">Fund</option>"
    "<option value=\"Destination\">Destination</option>"
    "<option value=\"Grade\">Grade</option>"
    "</select>";

// The summary type travels in the address: only letters and digits go as they are.
std::string ForQueryString(const std::string& text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte)) {
            out += c;
            continue;
        }
        out += '%';
        out += kHex[byte >> 4];
        out += kHex[byte & 0x0F];
    }
    return out;
}

std::string ReportType(const Host& host) { return UCase(TextOf(host.sessionGet(key::ReportType))); }

}  // namespace

void PrintReport_Respond(AppObject& app) {
    Host& host = app.host;
    host.sessionSet(key::PageNumber, Value::Integer(1));
    host.sessionSet(key::ReportType, UCase(host.queryField("Type")));
    host.writeTemplate("PrintReport");
}

void PrintReport_ProcessTag(AppObject& app, const std::string& tagName, std::string& contents) {
    if (!SameTextNoCase(tagName, "WC@SOURCE")) return;
    const std::string type = ReportType(app.host);
    if (type == "REQUEST") {
        contents = "<table><tr><td>" + std::string(kLayoutChoice) + "</td></tr></table>";
    } else if (type == "TRIP") {
        contents = "<table><tr><td>" + std::string(kLayoutChoice) + std::string(kSummaryChoice) +
                   "</td></tr></table>";
    } else {
        contents = "Invalid report type.";
    }
}

void PrintReport_PrintReport(AppObject& app) {
    Host& host = app.host;
    const std::string type = ReportType(host);
    const std::string layout = host.formField("rb");
    if (type == "REQUEST") {
        host.redirect(host.urlFor(layout == "1" ? "TripRequestReport1" : "TripRequestReport2"));
    } else if (type == "TRIP" && (layout == "1" || layout == "2")) {
        host.redirect(host.urlFor(layout == "1" ? "TripReport1" : "TripReport2"));
    } else if (type == "TRIP") {
        host.redirect("ExcursaLakemont.asp?WCI=TripSummaryReport&Type=" +
                      ForQueryString(host.formField("ddlSummary")));
    } else {
        host.writeTemplate("PrintReport");
    }
}

void RegisterPrintReport(WebItemRegistry& items) {
    items.add({.name = "PrintReport",
               .templateFile = "PrintReport1.htm",
               .respond = PrintReport_Respond,
               .processTag = PrintReport_ProcessTag,
               .events = {{"PrintReport", PrintReport_PrintReport}}});
}

}  // namespace excursa
