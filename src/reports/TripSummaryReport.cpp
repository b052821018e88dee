// TripSummaryReport: one page of the summary of the last field trip search, by the type in its address.
#include "frame/html.h"
#include "frame/keys.h"
#include "reports/items.h"
#include "reports/paging.h"
#include "reports/results.h"
#include "reports/search_state.h"
#include "reports/summary_chart.h"

namespace excursa {

namespace {

void BuildSummaryPage(AppObject& app, int& pageNumber, int pageSize) {
    const Host& host = app.host;
    BuildTripSummaryReportResults(app, host.queryField("Type"),
                                  TextOf(host.sessionGet(key::TripReportSummaryCondition)), pageNumber,
                                  pageSize);
}

bool SummaryTag(AppObject& app, const std::string& tagName, std::string& contents) {
    if (SameTextNoCase(tagName, "WC@SUMMARYTYPE")) {
        contents = HtmlEscape(app.host.queryField("Type"));
    } else if (SameTextNoCase(tagName, "WC@UCASESUMMARYTYPE")) {
        contents = HtmlEscape(UCase(app.host.queryField("Type")));
    } else if (SameTextNoCase(tagName, "WC@TRIPSCHART")) {
        contents = TripsBarChart(Search(app).SummaryBars, "Trips by " + LCase(app.host.queryField("Type")));
    } else {
        return false;
    }
    return true;
}

}  // namespace

void RegisterTripSummaryReport(WebItemRegistry& items) {
    items.add(ReportPageItem({.name = "TripSummaryReport",
                              .templateFile = "TripSummaryReport1.htm",
                              .build = BuildSummaryPage,
                              .moreTags = SummaryTag}));
}

}  // namespace excursa
