// The field trip search's list and the pages of the one-line and two-line trip reports.
#include "data/connections.h"
#include "frame/html.h"
#include "frame/procedure.h"
#include "reports/paging.h"
#include "reports/result_html.h"
#include "reports/results.h"
#include "reports/search_state.h"
#include "request/request_lookups.h"

namespace excursa {

namespace {

const std::string& ListHeader() {
    static const std::string header = [] {
        const std::string s(kHeadingCellStyle);
        const auto heading = [&s](std::string_view caption) {
            return "<td " + s + " ><font size='-2'>" + std::string(caption) + "</font></td>";
        };
        return "<a href='ExcursaLakemont.asp?WCI=PrintReport&Type=Trip' target='_blank'>Print "
               "Report</a>&nbsp;"
               "<table width='100%' border='0' cellpadding='0' cellspacing='0'><thead><tr>"
               "<td width='58' " +
               s +
               " ><font size='-2'>Trip#</font></td>"
               "<td rowspan='2' width='110' " +
               s +
               " ><font size='-2'>Customer</font></td>"
               "<td colspan='2' width='170' " +
               s + " ><font size='-2'>Destination</font></td>" + heading("Depart") + heading("Return") +
               heading("Cancelled") + heading("Billed") + "<td " + s + " >&nbsp;</td>" +
               heading("Billing Customer") + heading("Division") +
               "<td><font size='-2'>Category</font></td></tr>"
               "<tr><td " +
               s +
               " ><font size='-2'>Contact</font></td>"
               "<td width='90' " +
               s +
               " ><font size='-2'># Stus / Adults</font></td>"
               "<td width='70' " +
               s + " ><font size='-2'>Grade</font></td>" + heading("Arrive Time") + heading("Leave Time") +
               heading("Assigned") + heading("Amt") + heading("Due") + heading("Fund") + heading("Purpose") +
               "<td width='60'><font size='-2'>Request #</font></td>"
               "</tr><tr><td colspan='12'><hr></td></tr></thead><tbody>";
    }();
    return header;
}

std::string Cell(std::string_view html) { return FontCell("-2", html); }

std::string RowStart(std::string_view colour) { return "<tr bgcolor=" + std::string(colour) + ">"; }

std::string CentredCell(std::string_view html) {
    return "<td align='center'><font size='-2'>" + std::string(html) + "</font></td>";
}

// A billing sum as the list shows it; a trip without one shows nothing and adds nothing.
std::string Money(const Value& sum, Currency& total) {
    if (sum.isNull()) return "";
    total.scaled += CCur(sum).scaled;
    return Format(sum, kMoneyFormat);
}

std::string RequestNumber(const Value& number) {
    const std::string text = Trim(NullToSpace(number));
    return text.empty() || text == "0" ? std::string(kNbsp) : HtmlEscape(text);
}

void AppendListRow(std::string& html, AppObject& app, Recordset& row, std::string_view colour) {
    SearchState& search = Search(app);
    const std::string billed = Money(row.field("TOTALBILLED"), search.TotalBilled);
    const std::string due = Money(row.field("TOTALDUE"), search.TotalDue);
    const auto when = [&](std::string_view date, std::string_view time) {
        return getDATE(app, row.field(date)) + ", " + ShownTime(app, row.field(time));
    };
    html += RowStart(colour);
    html += Cell(Shown(row.field("TRIPNUM")));
    html += "<td rowspan='2'><font size='-2'>" + Shown(row.field("CUSTNAME")) + "</font></td>";
    html += "<td colspan='2'><font size='-2'>" + ShownOrNbsp(row.field("DESTDESC")) + "</font></td>";
    html += Cell(when("DEPDATE", "DEPTIME"));
    html += Cell(when("RETDATE", "RETTIME"));
    html += CentredCell(CheckBox(row.field("CANCELED"), false));
    html += CentredCell(CheckBox(row.field("BILLED"), false));
    html += "<td>&nbsp;</td>";
    html += Cell(Shown(row.field("BILLCUSTNAME")));
    html += Cell(ShownOrNbsp(row.field("CUSTDIV")));
    html += Cell(ShownOrNbsp(row.field("TRIPCAT")));
    html += "</tr>" + RowStart(colour);
    html += Cell(ShownOrNbsp(row.field("CONTACT")));
    html += Cell(Shown(row.field("NUMSTUDENTS")) + "/" + Shown(row.field("NUMADULTS")));
    html += Cell(ShownOrNbsp(row.field("GRADE")));
    html += Cell(ShownTime(app, row.field("ARRIVETIME")));
    html += Cell(ShownTime(app, row.field("LEAVETIME")));
    html += CentredCell(CheckBox(row.field("ASSIGNED"), false));
    html += Cell(HtmlEscape(billed));
    html += Cell(HtmlEscape(due));
    html += Cell(Shown(row.field("FUND")));
    html += Cell(ShownOrNbsp(row.field("PURPOSE")));
    html += Cell(RequestNumber(row.field("TRIPREQNUM")));
    html += "</tr>";
}

// The cells both report layouts begin with; the destination cell spans `destinationColumns`.
void AppendReportLine(std::string& html, AppObject& app, Recordset& row, std::string_view colour,
                      int destinationColumns) {
    html += RowStart(colour);
    html += Cell(Shown(row.field("TRIPNUM")));
    html += Cell(Shown(row.field("DEPDATE")));
    html += Cell(Shown(row.field("CUSTNAME")));
    const std::string destination = ShownOrNbsp(row.field("DESTDESC"));
    html += destinationColumns > 1 ? "<td colspan='" + std::to_string(destinationColumns) +
                                         "'><font size='-2'>" + destination + "</font></td>"
                                   : Cell(destination);
    html += Cell(Shown(row.field("RETDATE")));
    html += Cell(ShownTime(app, row.field("DEPTIME")));
    html += Cell(ShownTime(app, row.field("RETTIME")));
    html += Cell(CheckBox(row.field("CANCELED"), true));
}

using RowLayout = void (*)(std::string& html, AppObject& app, Recordset& row, std::string_view colour);

void AppendOneLineRow(std::string& html, AppObject& app, Recordset& row, std::string_view colour) {
    AppendReportLine(html, app, row, colour, 1);
    html += "</tr>";
}

void AppendTwoLineRow(std::string& html, AppObject& app, Recordset& row, std::string_view colour) {
    AppendReportLine(html, app, row, colour, 3);
    html += "</tr>" + RowStart(colour);
    html += "<td colspan='2'><font size='-2'>" + ShownOrNbsp(row.field("CONTACT")) + "</font></td>";
    html += Cell(ShownOrNbsp(row.field("PURPOSE")));
    html += Cell(HtmlEscape(Format(row.field("ESTTIME"), "#0.00")));
    html += Cell(CheckBox(row.field("SHUTTLE"), true));
    html += Cell(std::to_string(NullToZero(row.field("ESTMILE"))));
    html += Cell(Shown(row.field("NUMSTUDENTS")));
    html += Cell(Shown(row.field("NUMADULTS")));
    html += Cell(ShownOrNbsp(row.field("GRADE")));
    html += Cell(CheckBox(row.field("ASSIGNED"), true));
    html += "</tr>";
}

void BuildTripReport(AppObject& app, const std::string& sqlQuery, int& pageNumber, int pageSize,
                     RowLayout layout) {
    PageResources db(app.host);
    Recordset page = OpenReportQueryPage(app, db, cnTrip, sqlQuery, "Trip Report Query must be supplied.",
                                         pageNumber, pageSize);
    std::string html;
    RowColours colours;
    for (; !page.eof(); page.moveNext()) layout(html, app, page, colours.next());
    Search(app).ResultsHtml = std::move(html);
}

}  // namespace

void BuildTripSearchResults(AppObject& app, Recordset& trips) {
    std::string html = ListHeader();
    RowColours colours;
    for (; !trips.eof(); trips.moveNext()) AppendListRow(html, app, trips, colours.next());
    Search(app).ResultsHtml = html + "</tbody></table>";
}

void BuildTripReport1Results(AppObject& app, const std::string& sqlQuery, int& pageNumber, int pageSize) {
    BuildTripReport(app, sqlQuery, pageNumber, pageSize, AppendOneLineRow);
}

void BuildTripReport2Results(AppObject& app, const std::string& sqlQuery, int& pageNumber, int pageSize) {
    BuildTripReport(app, sqlQuery, pageNumber, pageSize, AppendTwoLineRow);
}

}  // namespace excursa
