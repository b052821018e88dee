// The request search's result table and the pages of the one-line and two-line request reports.
#include "data/connections.h"
#include "frame/html.h"
#include "frame/keys.h"
#include "frame/procedure.h"
#include "lookup/form_controls.h"
#include "reports/paging.h"
#include "reports/result_html.h"
#include "reports/results.h"
#include "reports/search_state.h"

#include <optional>
#include <unordered_map>

namespace excursa {

namespace {

constexpr std::string_view kCustomerSql =
    "SELECT CUSTOMER.CUSTOMER, CUSTOMER.CUSTNAME, CUSTOMER.CHAINID, CUSTOMER.CUSTDIV "
    "From CUSTOMER "
    "order by CUSTOMER.CUSTOMER;";
constexpr long kMostRowsListed = 300;
constexpr int kBreakAfter = 30;
constexpr int kDestinationBreakLength = 30;

constexpr std::string_view kTooManyRequests =
    "<table border='0' cellpadding='0' cellspacing='0' width='100%'>"
    "<tr><td>&nbsp;</td></tr><tr><td align='center'><b><font color='#0000ff'>&nbsp;&nbsp;Sorry, your search "
    "has returned more than 300 trip requests. Please refine your search and try again.</font></b></td></tr>"
    "</table>";

const std::string& ListHeader() {
    static const std::string header = [] {
        const std::string s(kHeadingCellStyle);
        return "<a href='ExcursaLakemont.asp?WCI=PrintReport&Type=Request' target='_blank'>Print "
               "Report</a>&nbsp;"
               "<table width='100%' border='0' cellspacing='0'>"
               "<thead><tr>"
               "<td width='52' " +
               s +
               "><font size='-2'>Request #</font></td>"
               "<td width='110' " +
               s +
               "><font size='-2'>Customer</font></td>"
               "<td colspan='2' width='190' " +
               s +
               "><font size='-2'>Destination</font></td>"
               "<td width='88' " +
               s +
               "><font size='-2'>Depart</font></td>"
               "<td width='88' " +
               s +
               "><font size='-2'>Return</font></td>"
               "<td width='88' " +
               s +
               "><font size='-2'>Status</font></td>"
               "<td width='66' " +
               s +
               "><font size='-2'>Entered</font></td>"
               "<td width='66' " +
               s +
               "><font size='-2'>Category</font></td>"
               "<td width='88'><font size='-2'>Internal #</font></td>"
               "</tr><tr>"
               "<td " +
               s +
               "><font size='-2'>Contact</td>"
               "<td " +
               s +
               ">&nbsp;</td>"
               "<td width='90' " +
               s +
               "><font size='-2'># Stus / Adults</font></td>"
               "<td width='90' " +
               s +
               "><font size='-2'>Grade</font></td>"
               "<td " +
               s +
               "><font size='-2'>Arrive</font></td>"
               "<td " +
               s +
               "><font size='-2'>Leave</font></td>"
               "<td " +
               s +
               "><font size='-2'>Division</font></td>"
               "<td " +
               s +
               "><font size='-2'>Trip #</font></td>"
               "<td " +
               s +
               "><font size='-2'>Approval</font></td>"
               "<td><font size='-2'>Purpose</font></td>"
               "</tr><tr><td colspan='11'><hr></td></tr></thead></tbody>";
    }();
    return header;
}

// ----------------------------------------------------------- BreakString

struct BrokenText {
    std::string first;
    std::string_view separator;
    std::string rest;
};

std::optional<BrokenText> BrokenAfter30(const std::string& text, int length) {
    if (CharacterCount(text) <= static_cast<std::size_t>(std::max(length, 0))) return std::nullopt;
    std::string first(LeftCharacters(text, kBreakAfter));
    const bool blankAt30 = CharacterCount(first) == kBreakAfter && first.back() == ' ';
    std::string rest = text.substr(first.size());
    return BrokenText{std::move(first), blankAt30 ? "<br>" : "-<br>", std::move(rest)};
}

// A destination text for HTML, broken as BreakString breaks it.
std::string BrokenHtml(const std::string& text) {
    const std::optional<BrokenText> broken = BrokenAfter30(text, kDestinationBreakLength);
    if (!broken) return HtmlEscape(text);
    return HtmlEscape(broken->first) + std::string(broken->separator) + HtmlEscape(broken->rest);
}

// ------------------------------------------------------------ row context

struct RowCustomer {
    std::string name = "NOT FOUND";
    std::string division = " ";
};

// What the rows of a request query need besides their own columns: the customers of the trip
// database and the destination names of the session's pick list.
class RequestRowContext {
public:
    RequestRowContext(AppObject& app, PageResources& db) : app_(app) {
        Recordset& customers = db.query(Use(cnTrip), kCustomerSql);
        for (; !customers.eof(); customers.moveNext()) {
            customers_.try_emplace(Trim(NullToSpace(customers.field("CUSTOMER"))),
                                   RowCustomer{NullToSpace(customers.field("CUSTNAME")),
                                               NullToSpace(customers.field("CUSTDIV"))});
        }
        const SessionList destinations(app, key::Destinations, key::NumDestinations);
        for (int i = 0; i <= destinations.last(); ++i) {
            const std::string& entry = destinations.array().at(i);
            if (entry.find(',') == std::string::npos) continue;
            destinationNames_.try_emplace(Trim(BeforeFirstComma(entry)), AfterFirstComma(entry));
        }
    }

    const RowCustomer& customer(Recordset& row) const {
        static const RowCustomer kNotFound;
        const auto it = customers_.find(Trim(NullToSpace(row.field("CUSTOMER"))));
        return it == customers_.end() ? kNotFound : it->second;
    }

    // The division filter of the search drops rows of customers in other divisions.
    bool kept(const RowCustomer& customer) const {
        const std::string& filter = Search(app_).DivisionFilter;
        return filter.empty() || SameTextNoCase(Trim(customer.division), filter);
    }

    // A destination typed on the request (number 0) shows its own text; a listed one the name of
    // the pick list, or the request's copy when it is no longer listed.
    std::string destination(Recordset& row) const {
        const std::int32_t number = NullToZero(row.field("DESTINATION"));
        std::string text = NullToSpace(row.field("trDESTDESC"));  // a null reads " ", as every field does
        if (number != 0) {
            const auto it = destinationNames_.find(std::to_string(number));
            if (it != destinationNames_.end()) text = it->second;
        }
        return BrokenHtml(text);
    }

    std::string requestLink(Recordset& row) const {
        const std::string number = Shown(row.field("TRIPNUM"));
        return "<a href=\"" + app_.host.urlFor("RequestDetail", number) + "\">" + number + "</a>";
    }

    std::string time(Recordset& row, std::string_view column) const {
        return ShownTime(app_, row.field(column));
    }

private:
    AppObject& app_;
    std::unordered_map<std::string, RowCustomer, NoCaseHash, NoCaseEqual> customers_;
    std::unordered_map<std::string, std::string> destinationNames_;
};

std::string OrNbsp(const std::string& html) { return Trim(html).empty() ? std::string(kNbsp) : html; }

// The date part of a stored date and time; blank when there is none.
std::string ShortDate(const Value& v) {
    if (!IsDate(v)) return std::string(kNbsp);
    return DateText(DateValueOf(CDate(v)));
}

// ----------------------------------------------------------------- layouts

using RowLayout = void (*)(std::string& html, Recordset& row, const RequestRowContext& context,
                           const RowCustomer& customer, std::string_view colour);

void AppendListRow(std::string& html, Recordset& row, const RequestRowContext& context,
                   const RowCustomer& customer, std::string_view colour) {
    const auto cell = [](std::string_view value) { return FontCell("-2", value); };
    html.append("<tr bgcolor='").append(colour).append("'>");
    html += cell(context.requestLink(row));
    html += cell(HtmlEscape(customer.name));
    html += "<td colspan='2' nowrap><font size='-2'>" + OrNbsp(context.destination(row)) + "</font></td>";
    html += cell(Shown(row.field("DEPDATE")) + ", " + context.time(row, "DEPTIME"));
    html += cell(Shown(row.field("RETDATE")) + ", " + context.time(row, "RETTIME"));
    html += "<td><font color='Red' size='-1'><b>" + Shown(row.field("STATUS")) + "</b></font></td>";
    html += cell(ShortDate(row.field("REQDATE")));
    html += cell(ShownOrNbsp(row.field("TRIPCAT")));
    html += cell(ShownOrNbsp(row.field("INTTRIPNUM")));
    html.append("</tr><tr bgcolor='").append(colour).append("'>");
    html += "<td></td><td>&nbsp;</td>";
    html += "<td><font size='-2'>" + Shown(row.field("NUMSTUDENTS")) + "/" + Shown(row.field("NUMADULTS")) +
            "</td></font>";
    html += cell(ShownOrNbsp(row.field("GRADE")));
    html += cell(context.time(row, "ARRIVETIME"));
    html += cell(context.time(row, "LEAVETIME"));
    html += cell(OrNbsp(HtmlEscape(customer.division)));
    html += cell(ShownOrNbsp(row.field("FIELDTRIP_NUM")));
    html += cell(ShownOrNbsp(row.field("CHAINID")));
    html += "<td><font size='-2'>" + ShownOrNbsp(row.field("PURPOSE")) + "</td></font>";
    html += "</tr>";
}

void AppendOneLineRow(std::string& html, Recordset& row, const RequestRowContext& context,
                      const RowCustomer& customer, std::string_view colour) {
    const auto cell = [](std::string_view value) { return FontCell("-3", value); };
    html.append("<tr bgcolor='").append(colour).append("'>");
    html += cell(context.requestLink(row));
    html += cell(Shown(row.field("DEPDATE")));
    html += cell(HtmlEscape(customer.name));
    html += "<td nowrap><font size='-3'>" + OrNbsp(context.destination(row)) + "</font></td>";
    html += cell(Shown(row.field("RETDATE")));
    html += cell(context.time(row, "DEPTIME"));
    html += cell(context.time(row, "RETTIME"));
    html += cell(Shown(row.field("STATUS")));
    html += "</tr>";
}

void AppendTwoLineRow(std::string& html, Recordset& row, const RequestRowContext& context,
                      const RowCustomer& customer, std::string_view colour) {
    const auto cell = [](std::string_view value) { return "<td>" + std::string(value) + "</td>"; };
    html.append("<tr bgcolor='").append(colour).append("'>");
    html += cell(context.requestLink(row));
    html += cell(HtmlEscape(customer.name));
    html += "<td colspan='2'>" + context.destination(row) + "</td>";
    html += cell(Shown(row.field("DEPDATE")) + ", " + context.time(row, "DEPTIME"));
    html += cell(Shown(row.field("RETDATE")) + ", " + context.time(row, "RETTIME"));
    html += cell(Shown(row.field("STATUS")));
    html += cell(Shown(row.field("ENTERDATE")));
    html += cell(Shown(row.field("TRIPCAT")));
    html += cell(Shown(row.field("INTTRIPNUM")));
    html.append("</tr><tr bgcolor='").append(colour).append("'>");
    html += "<td colspan='2'>" + Shown(row.field("CONTACT")) + "</td>";
    html += cell(Shown(row.field("NUMSTUDENTS")) + "/" + Shown(row.field("NUMADULTS")));
    html += cell(Shown(row.field("GRADE")));
    html += cell(context.time(row, "ARRIVETIME"));
    html += cell(context.time(row, "LEAVETIME"));
    html += cell(HtmlEscape(customer.division));
    html += cell(Shown(row.field("FIELDTRIP_NUM")));
    html += cell(Shown(row.field("CHAINID")));
    html += cell(Shown(row.field("PURPOSE")));
    html += "</tr>";
}

// The rows of the set from its current position, at most `most` of them; rows the division
// filter drops take no colour and are taken off the count.
std::string RequestRows(Recordset& rows, long most, const RequestRowContext& context, RowLayout layout,
                        long& resultCount) {
    std::string html;
    RowColours colours;
    for (long read = 0; read < most && !rows.eof(); ++read, rows.moveNext()) {
        const RowCustomer& customer = context.customer(rows);
        if (!context.kept(customer)) {
            --resultCount;
            continue;
        }
        layout(html, rows, context, customer, colours.next());
    }
    return html;
}

void BuildRequestReport(AppObject& app, const std::string& sqlQuery, int& pageNumber, int pageSize,
                        RowLayout layout) {
    PageResources db(app.host);
    Recordset page = OpenReportQueryPage(app, db, cnTripSchl, sqlQuery,
                                         "Trip Request Report Query must be supplied.", pageNumber, pageSize);
    const RequestRowContext context(app, db);
    SearchState& search = Search(app);
    search.ResultsHtml = RequestRows(page, pageSize, context, layout, search.ResultCount);
}

}  // namespace

std::string BreakString(std::string& str, int length) {
    if (const std::optional<BrokenText> broken = BrokenAfter30(str, length)) {
        str = broken->first + std::string(broken->separator) + broken->rest;
    }
    return str;
}

void BuildRequestResultsTable(AppObject& app, const std::string& strSql) {
    RunProcedure(app, Procedure{"BuildStrResults", kModuleExcursa, true}, [&] {
        if (strSql.empty()) return;
        PageResources db(app.host);
        if (!db.openUnlessOpen()) return;
        SearchState& search = Search(app);
        search.ResultCount = CountRows(Use(cnTripSchl), strSql);
        if (search.ResultCount > kMostRowsListed) {
            search.ResultsHtml = std::string(kTooManyRequests);
            return;
        }
        const RequestRowContext context(app, db);
        Recordset& rows = db.query(Use(cnTripSchl), strSql);
        search.ResultsHtml = ListHeader() +
                             RequestRows(rows, kMostRowsListed, context, AppendListRow, search.ResultCount) +
                             "</tbody></table>";
    });
}

void BuildTripRequestReport1Results(AppObject& app, const std::string& sqlQuery, int& pageNumber,
                                    int pageSize) {
    BuildRequestReport(app, sqlQuery, pageNumber, pageSize, AppendOneLineRow);
}

void BuildTripRequestReport2Results(AppObject& app, const std::string& sqlQuery, int& pageNumber,
                                    int pageSize) {
    BuildRequestReport(app, sqlQuery, pageNumber, pageSize, AppendTwoLineRow);
    Search(app).ResultsHtml += "<tr><td colspan='10'></td></tr>";
}

}  // namespace excursa
