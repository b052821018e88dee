// The summary of the last field trip search, grouped by customer, category, fund, destination or grade.
#include "data/connections.h"
#include "frame/html.h"
#include "frame/procedure.h"
#include "reports/paging.h"
#include "reports/result_html.h"
#include "reports/results.h"
#include "reports/search_state.h"

#include <array>

namespace excursa {

namespace {

constexpr std::string_view kEveryCodeButPayments = "ARDETAIL.TRANCODE<>'PAY'";
constexpr std::string_view kBillingsOnly = "ARDETAIL.TRANCODE='BIL'";
constexpr std::string_view kCountFormat = "#,###,##0";

struct SummaryType {
    std::string_view name;
    std::string_view description;  // the TYPEDESCRIPTION column, with its comma
    std::string_view from;         // ends in a blank
    std::string_view groupBy;
    std::string_view amountCodes;
    std::string_view tripsWithoutCode;  // the condition of the "*None" row; "" for types without one
};

constexpr std::array<SummaryType, 5> kSummaryTypes{{
    {"CUSTOMER", "(CUSTOMER.CUSTOMER&' - '&CUSTOMER.CUSTNAME) AS TYPEDESCRIPTION, ",
     "FROM CUSTOMER INNER JOIN TRIPS ON CUSTOMER.CUSTOMER = TRIPS.CUSTOMER ",
     " GROUP BY CUSTOMER.CUSTOMER, CUSTOMER.CUSTNAME", kEveryCodeButPayments, ""},
    {"DESTINATION", "(STR(DESTINATION.DESTINATION)&' - '&DESTINATION.DESTDESC) AS TYPEDESCRIPTION, ",
     "FROM CUSTOMER INNER JOIN (DESTINATION INNER JOIN TRIPS ON DESTINATION.DESTINATION = TRIPS.DESTINATION) "
     "ON CUSTOMER.CUSTOMER = TRIPS.CUSTOMER ",
     " GROUP BY DESTINATION.DESTINATION, DESTINATION.DESTDESC", kEveryCodeButPayments, ""},
    {"FUND", "(FUND.FUND&' - '&FUND.FUNDDESC) AS TYPEDESCRIPTION, ",
     "FROM CUSTOMER INNER JOIN (FUND INNER JOIN TRIPS ON FUND.FUND = TRIPS.FUND) ON CUSTOMER.CUSTOMER = "
     "TRIPS.CUSTOMER ",
     " GROUP BY FUND.FUND, FUND.FUNDDESC", kEveryCodeButPayments, ""},
    {"GRADE", "(GRADE.GRADE&' - '&GRADE.DESCRIPTION) AS TYPEDESCRIPTION, ",
     "FROM CUSTOMER INNER JOIN (GRADE INNER JOIN TRIPS ON GRADE.GRADE = TRIPS.GRADE) ON CUSTOMER.CUSTOMER = "
     "TRIPS.CUSTOMER ",
     " GROUP BY GRADE.GRADE, GRADE.DESCRIPTION", kEveryCodeButPayments,
     "(TRIPS.GRADE IS NULL OR trim$(TRIPS.GRADE) = '')"},
    {"CATEGORY", "(TRIPCAT.TRIPCAT&' - '&TRIPCAT.DESCRIPTION) AS TYPEDESCRIPTION, ",
     "FROM CUSTOMER INNER JOIN (TRIPCAT INNER JOIN TRIPS ON TRIPCAT.TRIPCAT = TRIPS.TRIPCAT) ON "
     "CUSTOMER.CUSTOMER = TRIPS.CUSTOMER ",
     " GROUP BY TRIPCAT.TRIPCAT, TRIPCAT.DESCRIPTION", kBillingsOnly,
     "(TRIPS.TRIPCAT IS NULL OR trim$(TRIPS.TRIPCAT) = '')"},
}};

const SummaryType* FindSummaryType(const std::string& name) {
    const std::string wanted = UCase(name);
    for (const SummaryType& type : kSummaryTypes) {
        if (type.name == wanted) return &type;
    }
    return nullptr;
}

// Each trip's own splits, staff hours and miles and billing, summed over the group's trips: the
// trips are the rows of the group under the search's condition, so nothing is counted twice.
std::string PerTripTotals(std::string_view amountCodes) {
    return "SUM(SELECT COUNT(*) FROM TRIPSPLIT WHERE TRIPSPLIT.TRIPNUM = TRIPS.TRIPNUM) AS NUMBEROFSPLITS, "
           "SUM(TRIPS.NUMSTUDENTS) AS NUMBEROFSTUDENTS, SUM(TRIPS.NUMADULTS) AS NUMBEROFADULTS, "
           "SUM(SELECT SUM(TRIPEMPLOYEES.HOURS) FROM TRIPEMPLOYEES WHERE TRIPEMPLOYEES.TRIPNUM = "
           "TRIPS.TRIPNUM) "
           "AS TOTALHOURS, "
           "SUM(SELECT SUM(TRIPEMPLOYEES.MILES) FROM TRIPEMPLOYEES WHERE TRIPEMPLOYEES.TRIPNUM = "
           "TRIPS.TRIPNUM) "
           "AS TOTALMILES, "
           "SUM(SELECT SUM(ARDETAIL.TRANAMT) FROM ARDETAIL WHERE ARDETAIL.TRIPNUM = TRIPS.TRIPNUM AND " +
           std::string(amountCodes) + ") AS TOTALAMOUNT ";
}

std::string SummaryQuery(const SummaryType& type, const std::string& condition) {
    std::string sql = "SELECT " + std::string(type.description) + "COUNT(*) AS NUMBEROFTRIPS, " +
                      PerTripTotals(type.amountCodes) + std::string(type.from) + condition +
                      std::string(type.groupBy);
    if (type.tripsWithoutCode.empty()) return sql;
    // An empty condition leaves " AND ..." to extend the join, as it does in the group query.
    return sql + " UNION SELECT ('*None') AS TYPEDESCRIPTION, COUNT(*) AS NUMBEROFTRIPS, " +
           PerTripTotals(type.amountCodes) +
           "FROM CUSTOMER INNER JOIN TRIPS ON CUSTOMER.CUSTOMER = TRIPS.CUSTOMER " + condition + " AND " +
           std::string(type.tripsWithoutCode);
}

std::string CountText(const Value& v) { return v.isNull() ? "0" : HtmlEscape(Format(v, kCountFormat)); }

std::string SummaryRow(Recordset& row, std::string_view colour) {
    const auto number = [](const std::string& text) { return "<td align=right>" + text + "</td>"; };
    const Value amount = row.field("TOTALAMOUNT");
    const std::int32_t people =
        NullToZero(row.field("NUMBEROFSTUDENTS")) + NullToZero(row.field("NUMBEROFADULTS"));
    std::string html =
        "<tr bgcolor='" + std::string(colour) + "'><td>" + Shown(row.field("TYPEDESCRIPTION")) + "</td>";
    html += number(CountText(row.field("NUMBEROFTRIPS")));
    html += number(CountText(row.field("NUMBEROFSPLITS")));
    html += number(CountText(row.field("NUMBEROFSTUDENTS")));
    html += number(CountText(row.field("NUMBEROFADULTS")));
    html += number(Format(Value::Long(people), kCountFormat));
    html += number(amount.isNull() ? "$0.00" : FormatCurrency(amount));
    return html + "</tr>";
}

void EndWith(Host& host, std::string_view message) {
    host.write(message);
    host.endResponse();
}

}  // namespace

void BuildTripSummaryReportResults(AppObject& app, const std::string& summaryType,
                                   const std::string& sqlCondition, int& pageNumber, int pageSize) {
    Host& host = app.host;
    if (summaryType.empty()) return EndWith(host, "Summary Type must be supplied.");
    PageResources db(host);
    OpenReportConnections(app, db);
    const SummaryType* type = FindSummaryType(summaryType);
    if (type == nullptr) return EndWith(host, "Invalid Summary Type");
    SearchState& search = Search(app);
    search.SearchQuery = SummaryQuery(*type, sqlCondition);
    // A summary has a row per group, few enough to read whole.
    Recordset& rows = db.query(Use(cnTrip), search.SearchQuery);
    search.ResultCount = rows.recordCount();
    const long skipped = PlacePage(search.ResultCount, pageNumber, pageSize);
    if (skipped > 0) rows.move(skipped);
    std::string html;
    RowColours colours;
    for (long read = 0; read < pageSize && !rows.eof(); ++read, rows.moveNext()) {
        html += SummaryRow(rows, colours.next());
        search.SummaryBars.push_back(
            {NullToSpace(rows.field("TYPEDESCRIPTION")), NullToZero(rows.field("NUMBEROFTRIPS"))});
    }
    search.ResultsHtml = html + "<tr><td colspan='10'></td></tr>";
}

}  // namespace excursa
