// The result tables of the two searches and the rows of the report pages. Each builder fills the
// search state's ResultsHtml and ResultCount; the paged ones place the page and may lower
// pageNumber (a page past the last falls back to the last page with rows).
#pragma once

#include "data/database.h"
#include "frame/app_object.h"

#include <string>

namespace excursa {

// The table under the request search form, for the SQL of a request search ("" builds nothing).
void BuildRequestResultsTable(AppObject& app, const std::string& strSql);
// One page of the one-line and of the two-line request report. A missing query ends the response
// with its message.
void BuildTripRequestReport1Results(AppObject& app, const std::string& sqlQuery, int& pageNumber,
                                    int pageSize);
void BuildTripRequestReport2Results(AppObject& app, const std::string& sqlQuery, int& pageNumber,
                                    int pageSize);

// A text longer than `length` is broken once, after its 30th character: "<br>" when that character
// is a blank, "-<br>" when it is not. Changes str and returns it.
std::string BreakString(std::string& str, int length);

// The list under the field trip search form, from the rows of the trip list query; sums the
// search state's TotalBilled and TotalDue.
void BuildTripSearchResults(AppObject& app, Recordset& trips);
// One page of the one-line and of the two-line trip report.
void BuildTripReport1Results(AppObject& app, const std::string& sqlQuery, int& pageNumber, int pageSize);
void BuildTripReport2Results(AppObject& app, const std::string& sqlQuery, int& pageNumber, int pageSize);

// One page of the summary of the last trip search by "CUSTOMER", "CATEGORY", "FUND", "DESTINATION"
// or "GRADE" (any letter case); sqlCondition is the search's condition. A missing or unknown type
// ends the response with its message.
void BuildTripSummaryReportResults(AppObject& app, const std::string& summaryType,
                                   const std::string& sqlCondition, int& pageNumber, int pageSize);

}  // namespace excursa
