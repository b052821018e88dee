#include "lookup/form_controls.h"
#include "frame/keys.h"

#include "data/connections.h"
#include "data/database.h"
#include "frame/html.h"
#include "frame/procedure.h"
#include "frame/value.h"

#include <algorithm>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace excursa {

namespace {

constexpr int kFirstPickerYear = 2014;
// Trips are requested up to two years ahead.
constexpr int kPickerYearsAhead = 2;
constexpr std::string_view kEmptyChoice = "<option selected value = ' '></option>";

// ------------------------------------------------------------ list builders

std::string Column(Recordset& rs, std::string_view name) { return TextOf(rs.field(name)); }

std::string TwoColumns(Recordset& rs, std::string_view first, std::string_view second) {
    return Column(rs, first) + ", " + Column(rs, second);
}

void RunListBuilder(AppObject& app, std::string_view name, const std::function<void()>& body) {
    RunProcedure(app, Procedure{name, kModuleExcursa}, body);
}

void FillCustomerList(AppObject& app, const std::string& userCustomer) {
    const auto entry = [](Recordset& rs) { return TwoColumns(rs, "CUSTOMER", "CUSTNAME"); };
    // A user whose stored customer is Null carries " ": that user has no customer either.
    const std::string code = UCase(Trim(userCustomer));
    if (code.empty()) {
        FillPickList(app.lists.customers,
                     "SELECT CUSTOMER.CUSTOMER, CUSTOMER.CUSTNAME, CUSTOMER.CHAINID From CUSTOMER WHERE "
                     "(CUSTOMER.ACTIVE=True) order by CUSTOMER.custname;",
                     entry);
        return;
    }
    FillPickList(app.lists.customers,
                 "SELECT CUSTOMER.CUSTOMER, CUSTOMER.CUSTNAME, CUSTOMER.CHAINID From CUSTOMER WHERE "
                 "trim$(ucase$(CUSTOMER.CUSTOMER))=?;",
                 entry, {code});
}

Recordset OpenFundList(const std::string& customerFilter) {
    if (customerFilter.empty()) {
        return Recordset::Open(Use(cnTrip),
                               "Select Fund.* from Fund where Fund.Active = True ORDER BY FUND.FUND");
    }
    return Recordset::Open(
        Use(cnTrip),
        "SELECT CUSTOMER_FUND.FUND, FUND.FUNDDESC FROM FUND INNER JOIN CUSTOMER_FUND ON "
        "FUND.FUND = CUSTOMER_FUND.FUND"
        " WHERE (Fund.Active = True) AND (CUSTOMER_FUND.CUSTOMER = ?) ORDER BY CUSTOMER_FUND.Fund",
        {customerFilter});
}

void FillFundList(AppObject& app, const std::string& customerFilter) {
    Recordset rs = OpenFundList(customerFilter);
    TextArray funds(static_cast<int>(rs.recordCount()), 1);
    for (int i = 1; !rs.eof(); ++i, rs.moveNext()) {
        funds.at(i, 0) = Column(rs, "FUND");
        funds.at(i, 1) = Trim(Column(rs, "FUNDDESC"));
    }
    app.lists.funds = std::move(funds);
}

std::string Option(const std::string& text, bool selected) {
    return (selected ? "<option selected>" : "<option>") + HtmlEscape(text) + "</option>";
}

// The grade and trip category selects: an entry is selected when it equals the choice.
std::string PlainSelect(const AppObject& app, std::string_view name, std::string_view listKey,
                        std::string_view countKey, const std::string& attributes,
                        const std::string& selected) {
    const SessionList list(app, listKey, countKey);
    std::string html = "<select name='" + std::string(name) + "' " + attributes + ">";
    for (int i = 0; i <= list.last(); ++i) {
        const std::string& entry = list.array().at(i);
        html += Option(entry, SameTextNoCase(entry, selected));
    }
    return html + "</select>";
}

// ----------------------------------------------------------- destination

// One entry of the destination list ("value,label") as an option; an entry without a comma gives
// an empty one. Appended in place: the list runs to hundreds of entries on every form.
void AppendDestinationOption(std::string& html, std::string_view entry, bool marksSelection,
                             std::string_view destination) {
    const std::size_t comma = entry.find(',');
    const std::string_view value =
        comma == std::string_view::npos ? std::string_view() : entry.substr(0, comma);
    const std::string_view label =
        comma == std::string_view::npos
            ? std::string_view()
            : LeftCharacters(TrimmedView(entry.substr(comma + 1)), kDestinationLabelLength);
    html += "<option value='";
    AppendHtmlEscaped(html, value);
    html += '\'';
    if (marksSelection) html += SameTextNoCase(value, destination) ? " selected" : " ";
    html += '>';
    AppendHtmlEscaped(html, label);
    html += "</option>";
}

// ------------------------------------------------------------------ fund

std::string FundOptions(const TextArray& funds, int last, const std::string& fund) {
    const std::string wanted = Trim(fund);
    std::string html;
    for (int i = 0; i <= last; ++i) {
        const std::string& code = funds.at(i, 0);
        const bool selected = SameTextNoCase(Trim(code), wanted);
        html += "<option value='" + HtmlEscape(code) + "'" + (selected ? " selected " : "") + ">" +
                HtmlEscape(funds.at(i, 1)) + "</option>";
    }
    return html;
}

// The list BuildFundDD draws, or nullopt when there is no control to draw.
std::optional<std::string> FundSelectOptions(AppObject& app, const std::string& fund) {
    if (SameText(app.host.appGet(key::UseCustFund), "True")) {
        if (!app.lists.funds) return std::nullopt;
        return FundOptions(*app.lists.funds, app.lists.funds->upperBound(), fund);
    }
    const SessionList session(app, key::Funds, key::NumFunds);
    app.lists.funds.reset();
    if (!session.filled()) return std::string();
    app.lists.funds = session.array();
    return FundOptions(*app.lists.funds, session.last(), fund);
}

// --------------------------------------------------------------- pickers

std::string PickerOpening(const std::string& prefix, std::string_view nameAndStyle,
                          const std::string& attributes) {
    return "<span  class=HOMEPAGEFONT><select class=HOMEPAGEFONT name='" + prefix +
           std::string(nameAndStyle) + attributes + ">";
}

// "<option value = 'v'>text</option>", or with "selected" before "value".
std::string SpacedOption(const std::string& value, const std::string& text, bool selected) {
    return (selected ? "<option selected value = '" : "<option value = '") + value + "'>" + text +
           "</option>";
}

bool IsNoDate(double date) { return date == kNoDate; }

int LastPickerYear() { return Year(Today()) + kPickerYearsAhead; }

struct ClockHour {
    int hour;
    bool am;
};

ClockHour TwelveHourClock(int hourOfDay) {
    if (hourOfDay > 12) return {hourOfDay - 12, false};
    if (hourOfDay == 0) return {12, true};
    return {hourOfDay, hourOfDay != 12};
}

// An empty time on the return and leaving fields is taken as an afternoon one.
bool EmptyTimeIsAm(const std::string& prefix) {
    const std::string name = UCase(prefix);
    return !(name == "RET" || name == "LEAVE");
}

std::string MinuteText(int minute) {
    std::string text = std::to_string(minute);
    if (minute < 10) text.insert(0, 1, '0');
    return text;
}

std::string AmPmRadios(const std::string& prefix, const std::string& attributes, bool am) {
    return "<INPUT TYPE=radio  name='" + prefix + "_AMPM'  VALUE='AM' " + (am ? "CHECKED " : "") +
           attributes + ">am<INPUT TYPE=radio  name='" + prefix + "_AMPM'  VALUE='PM' " +
           (am ? "" : "CHECKED ") + attributes + ">pm";
}

}  // namespace

SessionList::SessionList(const AppObject& app, std::string_view listKey, std::string_view countKey)
    : list_(app.host.sessionGet(listKey)), last_(lastIndex(app.host.sessionGet(countKey))) {}

int SessionList::last() const { return filled() ? std::min(last_, list_.array().upperBound()) : -1; }

int SessionList::lastIndex(const Value& count) {
    if (!IsNumeric(count)) return -1;
    const double n = CDbl(count);
    if (n < 0) return -1;
    return static_cast<int>(std::min(n, 1.0e9));
}

void FillPickList(std::optional<TextArray>& list, std::string_view sql,
                  const std::function<std::string(Recordset&)>& entryOf, const SqlParams& params) {
    Recordset rs = Recordset::Open(Use(cnTrip), sql, params);
    TextArray entries(static_cast<int>(rs.recordCount()));
    for (int i = 1; !rs.eof(); ++i, rs.moveNext()) entries.at(i) = entryOf(rs);
    list = std::move(entries);
}

// ================================================================ builders

void PopulateCustDD(AppObject& app) {
    RunListBuilder(app, "PopulateCustDD",
                   [&] { FillCustomerList(app, TextOf(app.host.sessionGet(key::Customer))); });
}

void PopulateDestDD(AppObject& app) {
    RunListBuilder(app, "PopulateDestDD", [&] {
        FillPickList(
            app.lists.destinations,
            "SELECT DESTINATION.DESTINATION, DESTINATION.DESTDESC, DESTINATION.DESTADD1 From Destination "
            "WHERE (DESTINATION.ACTIVE=True) order by DESTINATION.DESTDESC;",
            [](Recordset& rs) { return TwoColumns(rs, "Destination", "DESTDESC"); });
    });
}

void PopulateGradeDD(AppObject& app) {
    RunListBuilder(app, "PopulateGradeDD", [&] {
        FillPickList(app.lists.grades, "Select GRADE.* from GRADE where GRADE.Active = True",
                     [](Recordset& rs) { return Column(rs, "GRADE"); });
    });
}

void PopulateCatDD(AppObject& app) {
    RunListBuilder(app, "PopulateCatDD", [&] {
        FillPickList(app.lists.tripCats,
                     "Select TRIPCAT.* from TRIPCAT where TRIPCAT.Active = True order by TRIPCAT.DESCRIPTION",
                     [](Recordset& rs) { return Column(rs, "TRIPCAT"); });
    });
}

void PopulateDESTCATDD(AppObject& app) {
    RunListBuilder(app, "PopulateDESTCATDD", [&] {
        FillPickList(app.lists.destCats, "Select DESTCAT.* from DESTCAT where DESTCAT.Active = True",
                     [](Recordset& rs) { return Column(rs, "DESTCAT"); });
    });
}

void PopulateDD(AppObject& app) {
    RunListBuilder(app, "PopulateDD", [&] {
        PopulateGradeDD(app);
        PopulateCustDD(app);
        PopulateDestDD(app);
        PopulateCatDD(app);
        FillPickList(app.lists.statusVals,
                     "Select TRIPREQSTATUS.* from TRIPREQSTATUS where TRIPREQSTATUS.Active = True ORDER BY "
                     "TRIPREQSTATUS.DESCRIPTION",
                     [](Recordset& rs) { return Column(rs, "STATUS"); });
        FillPickList(
            app.lists.divisions,
            "SELECT Division.Division, Division.DESCRIPTION From Division WHERE (Division.ACTIVE=True) "
            "ORDER BY DIVISION.DESCRIPTION;",
            [](Recordset& rs) { return TwoColumns(rs, "Division", "DESCRIPTION"); });
    });
}

void PopulateFundDD(AppObject& app, const std::string& customerFilter) {
    RunProcedure(app, Procedure{"PopulateFundDD", kModuleExcursa}, [&] {
        // Connections left open by a failed opening are closed too: nothing holds them afterwards.
        PageResources db(app.host);
        if (db.open()) FillFundList(app, customerFilter);
    });
}

// ============================================================== drop-downs

std::string BuildCustomerSelect(AppObject& app, const std::string& attributes,
                                const std::string& selectedCustomer) {
    const SessionList list(app, key::CustomersDD, key::NumCustomers);
    // A user with a single customer always has it chosen, even on a new request.
    const bool singleCustomer = list.last() == 1;
    const std::string wanted = Trim(selectedCustomer);
    std::string html = "<select name='cust' width='100' " + attributes + ">";
    for (int i = 0; i <= list.last(); ++i) {
        const std::string& entry = list.array().at(i);
        const std::string key = Trim(BeforeFirstComma(entry));
        html += Option(entry, SameTextNoCase(key, wanted) || (singleCustomer && !key.empty()));
    }
    return html + "</select>";
}

std::string BuildGradeSelect(AppObject& app, const std::string& attributes,
                             const std::string& selectedGrade) {
    return PlainSelect(app, "grade", key::Grades, key::NumGrades, attributes, selectedGrade);
}

std::string BuildTripCatSelect(AppObject& app, const std::string& attributes,
                               const std::string& selectedTripCat) {
    return PlainSelect(app, "tripcat", key::TripCat, key::NumTripCat, attributes, selectedTripCat);
}

std::string BuildDestCatSelect(AppObject& app) {
    if (NullToZero(app.host.sessionGet(key::NumDestCats)) == 0) {
        return "<select name='DESTCAT'><option> </option></select>";
    }
    const SessionList list(app, key::DestCats, key::NumDestCats);
    std::string html = "<select name='DESTCAT'>";
    for (int i = 0; i <= list.last(); ++i) html += Option(list.array().at(i), false);
    return html + "</select>";
}

std::string BuildDestinationDD(AppObject& app, const std::string& attributes, const std::string& destination,
                               bool destinationIsNew) {
    const SessionList list(app, key::Destinations, key::NumDestinations);
    std::string html = "<select name='dest' width='30' " + attributes + ">";
    const bool marksSelection = !destination.empty() && !destinationIsNew;
    if (!destination.empty() && destinationIsNew) {
        html += "<option value='0' selected>" + HtmlEscape(destination) + "</option>";
    }
    for (int i = 0; i <= list.last(); ++i) {
        AppendDestinationOption(html, list.array().at(i), marksSelection, destination);
    }
    return html + "</select>";
}

std::string BuildFundDD(AppObject& app, const std::string& attributes, const std::string& fund) {
    std::string html;
    RunProcedure(app, Procedure{"BuildFundDD", kModuleExcursa, true}, [&] {
        const std::optional<std::string> options = FundSelectOptions(app, fund);
        if (!options) return;
        html = "<select name='fund' width='40' " + attributes + ">" + *options + "</select>";
    });
    return html;
}

// ================================================================= pickers

std::string BuildMonthPicker(double date, const std::string& prefix, const std::string& attributes) {
    std::string html = PickerOpening(prefix, "_month' size='1' style='height: 23; width: 52' ", attributes);
    const bool empty = IsNoDate(date);
    const int month = empty ? 0 : Month(date);
    if (empty) html += kEmptyChoice;
    for (int m = 1; m <= 12; ++m) {
        const std::string name = MonthName(m, true);
        html += SpacedOption(name, name, m == month);
    }
    return html + "</select></span>";
}

std::string BuildDayPicker(double date, const std::string& prefix, const std::string& attributes) {
    std::string html = PickerOpening(prefix, "_date' size='1' style='height: 23; width: 44' ", attributes);
    const bool empty = IsNoDate(date);
    const int day = empty ? 0 : Day(date);
    if (empty) html += kEmptyChoice;
    for (int d = 1; d <= 31; ++d) html += SpacedOption(std::to_string(d), std::to_string(d), d == day);
    return html + "</select></span>";
}

std::string BuildYearPicker(double date, const std::string& prefix, const std::string& attributes) {
    std::string html = PickerOpening(prefix, "_year' size='1' style='height: 23; width: 53' ", attributes);
    const bool empty = IsNoDate(date);
    const int year = empty ? 0 : Year(date);
    if (empty) html += kEmptyChoice;
    for (int y = kFirstPickerYear; y <= LastPickerYear(); ++y) {
        const std::string text = std::to_string(y);
        html +=
            (y == year ? "<option selected value='" : "<option value='") + text + "'>" + text + "</option>";
    }
    return html + "</select></span>";
}

std::string BuildTimePicker(double time, const std::string& prefix, const std::string& attributes) {
    const bool empty = IsNoDate(time);
    const ClockHour clock = TwelveHourClock(Hour(time));
    const bool am = empty ? EmptyTimeIsAm(prefix) : clock.am;
    const int hour = empty ? 0 : clock.hour;
    const int minute = empty ? -1 : Minute(time);

    std::string html = "<select name='" + prefix + "_HOUR' " + attributes + ">";
    if (empty) html += kEmptyChoice;
    for (int h = 1; h <= 12; ++h) html += SpacedOption(std::to_string(h), std::to_string(h), h == hour);
    html += "</select><select name='" + prefix + "_MIN' " + attributes + " >";
    if (empty) html += kEmptyChoice;
    for (int m = 0; m <= 55; m += 5) html += SpacedOption(std::to_string(m), MinuteText(m), m == minute);
    html += "</select>";
    return html + AmPmRadios(prefix, attributes, am);
}

}  // namespace excursa
