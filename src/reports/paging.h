// Paging of the report pages: where a page lies in a report's rows, the First/Previous/Next/Last
// buttons, and the page handlers that the five report pages share.
#pragma once

#include "data/connections.h"
#include "data/database.h"
#include "frame/web_item.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace excursa {

// Rows per page when the application store has no page size yet.
inline constexpr int kDefaultPageSize = 20;

// Lowers pageNumber while its page lies beyond the rows (a page past the last one falls back to
// the last page that has rows); returns how many rows come before the page.
long PlacePage(long rowCount, int& pageNumber, int pageSize);

// One page of a report query: counts its rows into rowCount, places the page and reads only the
// page's rows.
Recordset OpenReportPage(Connection& cn, const std::string& sql, int& pageNumber, int pageSize,
                         long& rowCount);

// Opens the connections for a report page; when they do not open, the response ends with the error text.
void OpenReportConnections(AppObject& app, PageResources& db);

// The page of a report's stored query on one of the worker's connections, its row count in the
// search state's ResultCount. A missing query, or connections that do not open, end the response
// with their message.
Recordset OpenReportQueryPage(AppObject& app, PageResources& db, const std::unique_ptr<Connection>& handle,
                              const std::string& sql, std::string_view missingQueryMessage, int& pageNumber,
                              int pageSize);

// The First, Previous, Next and Last buttons of a page: plain texts where they lead nowhere.
std::string NavigationButtons(int pageNumber, long rowCount, int pageSize);

// Builds the page's rows into the search state; may lower pageNumber.
using ReportBuilder = std::function<void(AppObject& app, int& pageNumber, int pageSize)>;
// Fills a tag of one report page besides the shared ones; false for a tag it does not know.
using ReportTags = std::function<bool(AppObject& app, const std::string& tagName, std::string& contents)>;

struct ReportPage {
    std::string name;  // the web item, and the name of its paging event
    std::string templateFile;
    ReportBuilder build;
    ReportTags moreTags = {};
};

// The web item of a report page: shown on opening and after each paging button.
WebItem ReportPageItem(ReportPage page);

// A report page over the query that a search stored in the session under queryKey.
using StoredQueryBuilder = void (*)(AppObject& app, const std::string& sqlQuery, int& pageNumber,
                                    int pageSize);
WebItem StoredQueryReportItem(std::string name, std::string templateFile, std::string_view queryKey,
                              StoredQueryBuilder builder);

}  // namespace excursa
