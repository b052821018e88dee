#include "reports/paging.h"

#include "frame/keys.h"
#include "frame/procedure.h"
#include "reports/result_html.h"
#include "reports/search_state.h"

#include <memory>

namespace excursa {

long PlacePage(long rowCount, int& pageNumber, int pageSize) {
    while (pageNumber >= 1 && rowCount <= static_cast<long>(pageNumber) * pageSize - pageSize) --pageNumber;
    return pageNumber >= 1 ? static_cast<long>(pageNumber) * pageSize - pageSize : 0;
}

Recordset OpenReportPage(Connection& cn, const std::string& sql, int& pageNumber, int pageSize,
                         long& rowCount) {
    rowCount = CountRows(cn, sql);
    const long skipped = PlacePage(rowCount, pageNumber, pageSize);
    return Recordset::OpenRange(cn, sql, skipped, pageSize);
}

void OpenReportConnections(AppObject& app, PageResources& db) {
    if (db.openUnlessOpen()) return;
    WriteErrorTextIfSet(app);
    app.host.endResponse();
}

Recordset OpenReportQueryPage(AppObject& app, PageResources& db, const std::unique_ptr<Connection>& handle,
                              const std::string& sql, std::string_view missingQueryMessage, int& pageNumber,
                              int pageSize) {
    Host& host = app.host;
    if (sql.empty()) {
        host.write(missingQueryMessage);
        host.endResponse();
    }
    OpenReportConnections(app, db);
    return OpenReportPage(Use(handle), sql, pageNumber, pageSize, Search(app).ResultCount);
}

namespace {

std::string PagingButton(std::string_view caption) {
    std::string button = "<input type='submit' class='submitLink' value='";
    button.append(caption).append("' name='btnSubmit' id='btn").append(caption).append("'>");
    return button;
}

std::string PagingLink(std::string_view caption, bool leadsSomewhere) {
    if (leadsSomewhere) return PagingButton(caption);
    std::string text(kNbsp);
    return text.append(caption).append(kNbsp);
}

int PageSizeOf(const Host& host) {
    const Value size = host.appGet(key::PageSize);
    if (!IsNumeric(size) || size.isEmpty()) return kDefaultPageSize;
    const int rows = CInt(size);
    return rows >= 1 ? rows : kDefaultPageSize;
}

// The page the session holds; a page not yet set is the first.
int SessionPage(const Host& host) {
    const Value page = host.sessionGet(key::PageNumber);
    return IsNumeric(page) && !page.isEmpty() ? CInt(page) : 1;
}

double NumberOr0(const Value& v) { return IsNumeric(v) ? CDbl(v) : 0; }

// A page number as the session keeps it: a 16-bit whole number (error 6 beyond it).
Value PageValue(long pageNumber) {
    return Value::Integer(CInt(Value::Long(static_cast<std::int32_t>(pageNumber))));
}

// First, Previous, Next or Last, applied to the session's page number.
void ApplyPagingButton(Host& host, int pageSize) {
    const std::string button = host.formField("btnSubmit");
    if (SameTextNoCase(button, "First")) {
        host.sessionSet(key::PageNumber, PageValue(1));
    } else if (SameTextNoCase(button, "Previous")) {
        host.sessionSet(key::PageNumber, PageValue(SessionPage(host) - 1L));
    } else if (SameTextNoCase(button, "Next")) {
        host.sessionSet(key::PageNumber, PageValue(SessionPage(host) + 1L));
    } else if (SameTextNoCase(button, "Last")) {
        // One past the last full page; the builder brings it back to the last page with rows.
        const double rows = NumberOr0(host.sessionGet(key::RecordCount));
        host.sessionSet(key::PageNumber, Value::Double(rows / pageSize + 1));
    }
}

void ShowPage(AppObject& app, const ReportPage& page) {
    Host& host = app.host;
    const int pageSize = PageSizeOf(host);
    int pageNumber = SessionPage(host);
    page.build(app, pageNumber, pageSize);
    host.sessionSet(key::PageNumber, PageValue(pageNumber));
    Search(app).ReportPage = pageNumber;
    host.writeTemplate(page.name);
}

void PagingTag(AppObject& app, const std::string& tagName, std::string& contents) {
    const SearchState& search = Search(app);
    if (SameTextNoCase(tagName, "WC@DISTRICTNAME")) {
        contents = TextOf(app.host.appGet(key::DistName));
    } else if (SameTextNoCase(tagName, "WC@NAVIGATIONBUTTONS")) {
        app.host.sessionSet(key::RecordCount, Value::Long(static_cast<std::int32_t>(search.ResultCount)));
        contents = NavigationButtons(search.ReportPage, search.ResultCount, PageSizeOf(app.host));
    } else if (SameTextNoCase(tagName, "WC@PAGENUMBER")) {
        contents = std::to_string(search.ReportPage);
    } else if (SameTextNoCase(tagName, "WC@NOW")) {
        contents = DateText(Now());
    } else if (SameTextNoCase(tagName, "WC@RESULTS")) {
        contents = search.ResultsHtml;
    }
}

}  // namespace

std::string NavigationButtons(int pageNumber, long rowCount, int pageSize) {
    const bool before = pageNumber > 1;
    const bool after = rowCount > static_cast<long>(pageSize) * pageNumber;
    return PagingLink("First", before) + PagingLink("Previous", before) + PagingLink("Next", after) +
           PagingLink("Last", after);
}

WebItem ReportPageItem(ReportPage page) {
    auto shared = std::make_shared<const ReportPage>(std::move(page));
    WebItem item{.name = shared->name, .templateFile = shared->templateFile};
    item.respond = [shared](AppObject& app) {
        if (SameText(app.host.sessionGet(key::PageNumber), "")) {
            app.host.sessionSet(key::PageNumber, PageValue(1));
        }
        ShowPage(app, *shared);
    };
    item.events[shared->name] = [shared](AppObject& app) {
        ApplyPagingButton(app.host, PageSizeOf(app.host));
        ShowPage(app, *shared);
    };
    item.processTag = [shared](AppObject& app, const std::string& tagName, std::string& contents) {
        if (shared->moreTags && shared->moreTags(app, tagName, contents)) return;
        PagingTag(app, tagName, contents);
    };
    return item;
}

WebItem StoredQueryReportItem(std::string name, std::string templateFile, std::string_view queryKey,
                              StoredQueryBuilder builder) {
    return ReportPageItem({.name = std::move(name),
                           .templateFile = std::move(templateFile),
                           .build = [queryKey, builder](AppObject& app, int& pageNumber, int pageSize) {
                               builder(app, TextOf(app.host.sessionGet(queryKey)), pageNumber, pageSize);
                           }});
}

}  // namespace excursa
