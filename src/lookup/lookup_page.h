// What the customer, destination and fund lookups share: their tags, the search with its
// 300-row limit, the frame of the results table, and the way back to the request form.
#pragma once

#include "data/database.h"
#include "frame/app_object.h"

#include <functional>
#include <string>
#include <string_view>

namespace excursa {

inline constexpr long kLookupRowLimit = 300;
inline constexpr std::string_view kTooManyRowsMessage =
    "Sorry, your search returned more than 300 rows.  Please be more specific with your selection "
    "criteria.  Use your browser's back button and try again.";

// A search's conditions: " WHERE" before the first fragment, " AND" before each further one. Every
// value reaches the SQL bound to the fragment's `?` marks.
class SearchCriteria {
public:
    void add(std::string_view fragment, SqlParams params = {});
    const std::string& text() const { return text_; }
    const SqlParams& params() const { return params_; }

private:
    std::string text_;
    SqlParams params_;
};

// The LIKE pattern of a text that a column begins with.
std::string BeginsWith(std::string_view text);

// A column's value as stored, made safe for a table cell or an attribute (a Null gives nothing).
std::string CellText(Recordset& rs, std::string_view column);

// The results text: the table with its header cells and a row per record, then the Return button;
// it closes the row and cell of the template's results form.
using ResultRow = std::function<std::string(Recordset&)>;
std::string ResultsTable(std::string_view tableTag, std::string_view headerCells, Recordset& rs,
                         const ResultRow& rowOf);

// Runs a lookup's search on the trip database and keeps the results text in app.strLookupResults.
// False when the page is not to be shown: a database failure, or more than 300 rows, whose message
// is then the error text.
bool RunLookupSearch(AppObject& app, std::string_view jetSql, const SqlParams& params,
                     std::string_view tableTag, std::string_view headerCells, const ResultRow& rowOf);

// A lookup's user event: keeps the event name the page was opened with and writes its template.
void ShowLookupPage(AppObject& app, std::string_view item, const std::string& eventName);

// The district header, WC@TRIPREQ and WC@RESULTS; false for any other tag.
bool LookupPageTag(const AppObject& app, std::string_view tagName, std::string& contents);

// Shows the request form again, for the request that is on it.
void ReturnToRequestForm(AppObject& app);

}  // namespace excursa
