// The working values of the searches and result builders, for one request. Nothing of it
// outlives the request except what the pages write to the session.
#pragma once

#include "frame/app_object.h"
#include "frame/value.h"
#include "reports/summary_chart.h"

#include <string>
#include <vector>

namespace excursa {

struct SearchState {
    // Criteria of both searches, as posted.
    std::string SearchCustomer;
    std::string SearchStatus;
    std::string SearchDivision;
    std::string SearchDestination;
    std::string SearchCategory;
    std::string SearchGrade;
    std::string SearchDepartFrom;
    std::string SearchDepartTo;
    std::string SearchEnterFrom;
    std::string SearchEnterTo;
    std::string SearchInternalNumber;

    std::string SearchQuery;
    // Written by the result builders.
    std::string ResultsHtml;
    long ResultCount = 0;
    // The request table has no division: the request builders drop rows of other divisions.
    std::string DivisionFilter;

    // The field trip search's own criteria.
    std::string TripAssigned;
    std::string TripUnassigned;
    std::string TripBilled;
    std::string TripUnbilled;
    std::string TripCancelled;
    std::string TripOpen;
    std::string TripOpenBalance;
    std::string TripSort1;
    std::string TripSort2;
    std::string TripRequestNumber;
    std::string TripNumber;
    std::string TripFund;
    Currency TotalBilled;
    Currency TotalDue;

    // The summary page's groups, for its chart.
    std::vector<SummaryBar> SummaryBars;

    // The page a report page shows, after its builder placed it.
    int ReportPage = 0;
};

// The switches RunRequestSearch and RunTripSearch are the application object's
// blnRequestSearchFirst and blnTripSearchAutofill.
inline SearchState& Search(AppObject& app) { return app.pageState<SearchState>(); }

}  // namespace excursa
