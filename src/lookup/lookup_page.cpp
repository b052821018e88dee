#include "lookup/lookup_page.h"

#include "data/connections.h"
#include "frame/html.h"
#include "frame/keys.h"
#include "frame/web_item.h"
#include "frame/worker_state.h"
#include "lookup/district_header.h"

#include <utility>

namespace excursa {

void SearchCriteria::add(std::string_view fragment, SqlParams params) {
    text_ += text_.empty() ? " WHERE" : " AND";
    text_ += fragment;
    for (Value& param : params) params_.push_back(std::move(param));
}

std::string BeginsWith(std::string_view text) { return std::string(text) + "%"; }

std::string CellText(Recordset& rs, std::string_view column) { return HtmlEscape(TextOf(rs.field(column))); }

std::string ResultsTable(std::string_view tableTag, std::string_view headerCells, Recordset& rs,
                         const ResultRow& rowOf) {
    std::string html(tableTag);
    html.append("<thead><tr>").append(headerCells).append("</tr></thead><tbody>");
    for (; !rs.eof(); rs.moveNext()) html += rowOf(rs);
    return html +
           "</tbody></table><p align='center'><input type='submit' value='Return' name='btnSubmit2'></p>"
           "</td></tr>";
}

bool RunLookupSearch(AppObject& app, std::string_view jetSql, const SqlParams& params,
                     std::string_view tableTag, std::string_view headerCells, const ResultRow& rowOf) {
    PageResources db(app.host);
    if (!db.open()) return false;
    // One row past the limit tells "too many" without reading a whole table.
    Recordset& rs = db.query(Use(cnTrip), jetSql, params, kLookupRowLimit + 1);
    if (rs.recordCount() > kLookupRowLimit) {
        strErrorText = std::string(kTooManyRowsMessage);
        return false;
    }
    app.strLookupResults = ResultsTable(tableTag, headerCells, rs, rowOf);
    return true;
}

void ShowLookupPage(AppObject& app, std::string_view item, const std::string& eventName) {
    app.strLookupEvent = eventName;
    app.host.writeTemplate(item);
}

bool LookupPageTag(const AppObject& app, std::string_view tagName, std::string& contents) {
    if (DistrictHeaderTag(app.host, tagName, contents)) return true;
    if (SameTextNoCase(tagName, "WC@TRIPREQ")) {
        contents = HtmlEscape(TextOf(app.host.sessionGet(key::TripReq)));
        return true;
    }
    if (SameTextNoCase(tagName, "WC@RESULTS")) {
        contents = app.strLookupResults;
        return true;
    }
    return false;
}

void ReturnToRequestForm(AppObject& app) {
    CallUserEvent(app, "RequestDetail", TextOf(app.host.sessionGet(key::TripReq)));
}

}  // namespace excursa
