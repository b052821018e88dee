// TripSearch: the field trip search. The search form over the scheduled trips, the list found with
// its billing totals, the sort order, and the fund lookup's way back into the search.
#include "data/connections.h"
#include "data/search_criteria.h"
#include "frame/html.h"
#include "frame/keys.h"
#include "frame/procedure.h"
#include "frame/worker_state.h"
#include "reports/items.h"
#include "reports/result_html.h"
#include "reports/results.h"
#include "reports/search_controls.h"
#include "reports/search_state.h"

#include <array>
#include <optional>

namespace excursa {

namespace {

constexpr std::string_view kTripColumns =
    "SELECT TRIPS.TRIPNUM, TRIPS.ESTTIME, TRIPS.ESTMILE, TRIPS.INTTRIPNUM, TRIPS.CUSTOMER, "
    "CUSTOMER.CUSTNAME, "
    "TRIPS.DESTINATION, DESTINATION.DESTDESC, TRIPS.DEPDATE, TRIPS.DEPTIME, TRIPS.ASSIGNED, "
    "TRIPS.BILLED, DateValue(TRIPS.BILLDATE) AS BILLDATE, TRIPS.CANCELED, "
    "DATEVALUE(TRIPS.CANDATE) AS CANDATE, TRIPS.GRADE, CUSTOMER.CUSTDIV, "
    "TRIPS.RETDATE, TRIPS.RETTIME, TRIPS.FUND, TRIPS.TRIPREQNUM, TRIPS.PO, TRIPS.TRIPCAT, "
    "TRIPS.SCHEDULE, TRIPS.NUMSTUDENTS, TRIPS.NUMADULTS, TRIPS.CONTACT, TRIPS.ARRIVETIME, TRIPS.LEAVETIME, "
    "TRIPS.PURPOSE, TRIPS.SHUTTLE, "
    "CUSTOMER_1.CUSTNAME as BILLCUSTNAME, TRIPS.BILLCUST";
constexpr std::string_view kTripBillingColumns =
    ", (SELECT SUM(TRANAMT) FROM ARDETAIL WHERE TRANCODE='BIL' AND TRIPNUM=TRIPS.TRIPNUM) AS TOTALBILLED, "
    "(SELECT SUM(TRANAMT) FROM ARDETAIL WHERE TRIPNUM=TRIPS.TRIPNUM) AS TOTALDUE";
constexpr std::string_view kTripFrom =
    " FROM (((TRIPS LEFT JOIN CUSTOMER ON TRIPS.CUSTOMER = CUSTOMER.CUSTOMER) "
    "LEFT JOIN DESTINATION ON TRIPS.DESTINATION = DESTINATION.DESTINATION) "
    "LEFT JOIN CUSTOMER AS CUSTOMER_1 ON TRIPS.BILLCUST = CUSTOMER_1.CUSTOMER) ";
constexpr long kMostTripsListed = 300;
constexpr std::string_view kTooManyTrips =
    "<table width='100%' border='1'><tr>&nbsp;</tr><tr><p align='center'><b><font "
    "color='#0000ff'>&nbsp;&nbsp;"
    "Sorry, your search has returned more than 300 trip requests. Please refine your search and try again."
    "</font></b></p></tr></table>";
constexpr std::string_view kOn = "ON";

struct SortOption {
    std::string_view value;
    std::string_view caption;
};
constexpr std::array<SortOption, 6> kSortOptions{{{"TRIPS.TRIPNUM", "Trip #"},
                                                  {"CUSTOMER.CUSTNAME", "Customer"},
                                                  {"DESTINATION.DESTDESC", "Destination"},
                                                  {"TRIPS.NUMSTUDENTS", "# Students"},
                                                  {"TRIPS.DEPDATE", "Depart Date"},
                                                  {"TRIPS.TRIPREQNUM", "Request #"}}};

// The six status boxes: the field, the name it posts under and the caption after it.
struct StatusBox {
    std::string SearchState::*field;
    std::string_view name;
    std::string_view caption;
};
constexpr std::array<StatusBox, 6> kStatusBoxes{{
    {&SearchState::TripAssigned, "chkASSIGNED", "Assigned&nbsp;"},
    {&SearchState::TripUnassigned, "chkUnassigned", "Unassigned&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;"},
    {&SearchState::TripBilled, "chkBILLED", "Billed&nbsp;"},
    {&SearchState::TripUnbilled, "chkUnbilled", "Unbilled&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;"},
    {&SearchState::TripCancelled, "chkCANCELLED", "Cancelled&nbsp;"},
    {&SearchState::TripOpen, "chkOPEN", "Open"},
}};

bool IsOn(const std::string& box) { return SameTextNoCase(box, kOn); }

void TickStatusBoxes(SearchState& search) {
    for (const StatusBox& box : kStatusBoxes) search.*box.field = std::string(kOn);
}

// Only the sort options of the form reach ORDER BY; anything else sorts by the default.
std::string PostedSort(const std::string& posted) {
    for (const SortOption& option : kSortOptions) {
        if (SameTextNoCase(posted, option.value)) return std::string(option.value);
    }
    return "";
}

// Values of one post that the page does not show again.
struct PostedTripCriteria {
    std::string internalNumber;
    std::string purchaseOrder;
    std::string billingCustomer;
};

void ResetTripSearch(AppObject& app) {
    app.blnTripSearchAutofill = DistrictSwitch(app.host, key::AutofillTrips);
    SearchState& search = Search(app);
    for (std::string* field :
         {&search.SearchGrade, &search.SearchDestination, &search.SearchCategory, &search.SearchDivision,
          &search.SearchDepartFrom, &search.SearchDepartTo, &search.TripRequestNumber, &search.TripNumber,
          &search.ResultsHtml, &search.TripFund}) {
        field->clear();
    }
    search.SearchCustomer = TextOf(app.host.sessionGet(key::Customer));
    search.ResultCount = 0;
    TickStatusBoxes(search);
}

PostedTripCriteria ReadTripCriteria(AppObject& app) {
    const Host& host = app.host;
    SearchState& search = Search(app);
    for (const StatusBox& box : kStatusBoxes) {
        const std::string posted = host.formField(box.name);
        if (!posted.empty()) search.*box.field = posted;
    }
    if (const std::string posted = host.formField("chkOpenBalance"); !posted.empty())
        search.TripOpenBalance = posted;
    search.TripSort1 = PostedSort(host.formField("sortBy1"));
    search.TripSort2 = PostedSort(host.formField("sortBy2"));
    ReadCommonCriteria(host, search);
    search.SearchCustomer = OwnCustomerOnly(host).value_or(host.formField("cust"));
    search.TripRequestNumber = host.formField("TRIPREQNUM");
    search.TripNumber = host.formField("TRIPNUM");
    if (search.TripFund.empty()) search.TripFund = host.formField("fund");
    return {host.formField("IntNum"), host.formField("PO"), CodeOfEntry(host.formField("BILLCUST"))};
}

// " <column> = TRUE" when only the first box is ticked, " = FALSE" when only the second.
void AddYesNoCriterion(SearchCondition& condition, std::string_view column, const std::string& yes,
                       const std::string& no) {
    if (yes == no) return;
    if (IsOn(yes)) {
        condition.addFragment(" " + std::string(column) + " = TRUE");
    } else if (IsOn(no)) {
        condition.addFragment(" " + std::string(column) + " = FALSE");
    }
}

// The condition of the search; the message for a date that is none, or nothing.
std::optional<std::string> BuildTripCondition(SearchState& search, const PostedTripCriteria& posted,
                                              SearchCondition& condition) {
    if (auto message = AddDateCriterion(condition, "TRIPS.DEPDATE", search.SearchDepartFrom,
                                        search.SearchDepartTo, "departure")) {
        return message;
    }
    if (!search.SearchGrade.empty()) condition.addText("TRIPS.GRADE", search.SearchGrade);
    // A user without a customer carries a blank one: that is no criterion.
    if (!Trim(search.SearchCustomer).empty()) condition.addText("TRIPS.CUSTOMER", search.SearchCustomer);
    if (!search.SearchDestination.empty()) condition.addNumber("TRIPS.DESTINATION", search.SearchDestination);
    if (!search.SearchCategory.empty()) condition.addText("TRIPS.TRIPCAT", search.SearchCategory);
    if (!search.SearchDivision.empty()) condition.addText("CUSTOMER.CUSTDIV", search.SearchDivision);
    if (!posted.internalNumber.empty()) condition.addText("TRIPS.INTTRIPNUM", posted.internalNumber);
    if (!search.TripRequestNumber.empty())
        condition.addWholeNumber("TRIPS.TRIPREQNUM", search.TripRequestNumber);
    if (!search.TripNumber.empty()) condition.addWholeNumber("TRIPS.TRIPNUM", search.TripNumber);
    AddYesNoCriterion(condition, "TRIPS.ASSIGNED", search.TripAssigned, search.TripUnassigned);
    AddYesNoCriterion(condition, "TRIPS.BILLED", search.TripBilled, search.TripUnbilled);
    AddYesNoCriterion(condition, "TRIPS.CANCELED", search.TripCancelled, search.TripOpen);
    if (IsOn(search.TripOpenBalance)) {
        condition.addFragment(
            " (TRIPS.AMOUNT1 > 0 OR TRIPS.AMOUNT2 > 0 OR TRIPS.AMOUNT3 > 0 OR TRIPS.AMOUNT4 > 0 OR "
            "TRIPS.AMOUNT5)");
    }
    if (!posted.billingCustomer.empty()) condition.addText("TRIPS.BILLCUST", posted.billingCustomer);
    if (!posted.purchaseOrder.empty()) condition.addText("TRIPS.PO", posted.purchaseOrder);
    if (!search.TripFund.empty()) condition.addText("TRIPS.FUND", search.TripFund);
    return std::nullopt;
}

std::string TripOrder(const SearchState& search) {
    if (search.TripSort1.empty()) return " ORDER BY TRIPS.DEPDATE";
    return " ORDER BY " + search.TripSort1 + (search.TripSort2.empty() ? "" : ", " + search.TripSort2);
}

// Counts the trips first: a list of more than can be shown is not read.
void ListTrips(AppObject& app, PageResources& db, const std::string& countingQuery) {
    SearchState& search = Search(app);
    search.ResultCount = CountRows(Use(cnTrip), countingQuery);
    if (search.ResultCount > kMostTripsListed) {
        search.ResultsHtml = std::string(kTooManyTrips);
        return;
    }
    BuildTripSearchResults(app, db.query(Use(cnTrip), search.SearchQuery));
}

void OpenFundLookup(AppObject& app) {
    Host& host = app.host;
    host.sessionSet(key::SelTrip, "Y");
    host.sessionSet(key::TripSearchFundLookup, "Y");
    const std::string own = TextOf(host.sessionGet(key::Customer));
    host.sessionSet(key::form::Customer, Trim(own).empty() ? host.formField("cust") : own);
    host.writeTemplate("LookupFund");
}

// The fund chosen in the lookup becomes the criterion, with every status box ticked. A chosen fund
// is searched for even when the district does not fill the list on opening.
void TakeChosenFund(AppObject& app) {
    SearchState& search = Search(app);
    search.TripFund = TextOf(app.host.sessionGet(key::SelFund));
    TickStatusBoxes(search);
    app.blnTripSearchAutofill =
        !Trim(search.TripFund).empty() || DistrictSwitch(app.host, key::AutofillTrips);
}

void FieldTrips(AppObject& app, bool backFromFundLookup) {
    Host& host = app.host;
    host.sessionSet(key::LoadFromSession, "False");
    RunProcedure(app, Procedure{"TripSearch_FieldTrips", kModuleExcursa}, [&] {
        if (SessionTimedOut(app)) return;
        SearchState& search = Search(app);
        if (backFromFundLookup) TakeChosenFund(app);
        const std::string button = host.formField("btnsubmit");
        PostedTripCriteria posted;
        if (SameTextNoCase(button, "Reset")) {
            ResetTripSearch(app);
        } else if (SameTextNoCase(button, "Fund")) {
            OpenFundLookup(app);
            return;
        } else {
            posted = ReadTripCriteria(app);
        }
        std::string countingQuery;
        if (app.blnTripSearchAutofill) {
            SearchCondition condition;
            if (const std::optional<std::string> message = BuildTripCondition(search, posted, condition)) {
                strErrorText = *message;
                return;
            }
            host.sessionSet(key::TripReportSummaryCondition, condition.text());
            search.SearchQuery = std::string(kTripColumns) + std::string(kTripBillingColumns) +
                                 std::string(kTripFrom) + condition.text();
            countingQuery = std::string(kTripColumns) + std::string(kTripFrom) + condition.text();
            search.SearchQuery += TripOrder(search);
        }
        {
            PageResources db(host);
            if (!db.open()) return;
            if (!countingQuery.empty()) ListTrips(app, db, countingQuery);
        }
        host.sessionSet(key::TripReportQuery, search.SearchQuery);
        host.writeTemplate("TripSearch");
    });
}

// ---------------------------------------------------------------- tags

std::string StatusBoxes(const SearchState& search, const std::string& attributes) {
    std::string html;
    for (const StatusBox& box : kStatusBoxes) {
        html += "<input type='checkbox' name='" + std::string(box.name) + "' value='ON' " +
                (IsOn(search.*box.field) ? "checked " : "") + attributes + ">" + std::string(box.caption);
    }
    return html;
}

std::string SortOptions(const std::string& selected) {
    std::string html;
    for (const SortOption& option : kSortOptions) {
        html += (option.value == selected ? "<option selected value='" : "<option value='") +
                std::string(option.value) + "'>" + std::string(option.caption) + "</option>";
    }
    return html;
}

std::string SortSelects(const SearchState& search, const std::string& attributes) {
    return "Sort By:&nbsp;<select name='sortBy1' " + attributes + ">" + SortOptions(search.TripSort1) +
           "</select>&nbsp;then by:&nbsp;<select name='sortBy2' " + attributes + ">" +
           (search.TripSort2.empty() ? "<option selected></option>" : "<option></option>") +
           SortOptions(search.TripSort2) + "</select>";
}

std::string BillingCustomerSelect(AppObject& app, const std::string& attributes) {
    const SessionList customers(app, key::CustomersDD, key::NumCustomers);
    std::string options;
    for (int i = 0; i <= customers.last(); ++i)
        options += "<option>" + HtmlEscape(customers.array().at(i)) + "</option>";
    return SearchSelect("billcust", attributes, options);
}

std::string NumberField(std::string_view name, const std::string& value, const std::string& attributes) {
    return "<input name='" + std::string(name) + "' size='21' VALUE='" + HtmlEscape(value) + "' " +
           attributes + ">";
}

}  // namespace

void TripSearch_Respond(AppObject& app) {
    app.blnTripSearchAutofill = DistrictSwitch(app.host, key::AutofillTrips);
    SearchState& search = Search(app);
    TickStatusBoxes(search);
    search.TripOpenBalance.clear();
    search.TripSort1 = "DEPDATE";
    search.TripSort2.clear();
    FieldTrips(app, false);
}

void TripSearch_FieldTrips(AppObject& app) {
    // The fund lookup's Return runs this event by name, in its own request, after clearing SELTRIP.
    Host& host = app.host;
    const bool backFromFundLookup = SameText(host.sessionGet(key::TripSearchFundLookup), "Y") &&
                                    !SameText(host.sessionGet(key::SelTrip), "Y");
    if (backFromFundLookup) host.sessionSet(key::TripSearchFundLookup, "");
    FieldTrips(app, backFromFundLookup);
}

void TripSearch_ProcessTag(AppObject& app, const std::string& tagName, std::string& contents) {
    if (SearchPageTag(app, tagName, contents)) return;
    const SearchState& search = Search(app);
    const auto is = [&tagName](std::string_view name) { return SameTextNoCase(tagName, name); };
    if (is("WC@CUST")) {
        contents = SearchSelect("cust", contents,
                                CodeOptions(SessionList(app, key::CustomersDD, key::NumCustomers),
                                            search.SearchCustomer, {"'>", "<option></option>"}));
    } else if (is("WC@DEST")) {  // written as the customers are, not as the request search's
        contents = SearchSelect(
            "dest", contents,
            CodeOptions(SessionList(app, key::Destinations, key::NumDestinations), search.SearchDestination,
                        {"'>", "<option></option>", kDestinationLabelLength}));
    } else if (is("WC@CHKBOX")) {
        contents = StatusBoxes(search, contents);
    } else if (is("WC@CHKBOX2")) {
        contents = "<input type='checkbox' name='chkOPENBALANCE' value='ON' " +
                   std::string(IsOn(search.TripOpenBalance) ? "checked " : "") + contents +
                   ">Show only Trips with an Open Balance";
    } else if (is("WC@TRIPREQNUM")) {
        contents = NumberField("TRIPREQNUM", search.TripRequestNumber, contents);
    } else if (is("WC@TRIPNUM")) {
        contents = NumberField("TRIPNUM", search.TripNumber, contents);
    } else if (is("WC@FUNDHDR")) {
        contents = "<b><input type='submit' value='Fund' name='btnSubmit' " + contents + "></b>";
    } else if (is("WC@FUND")) {
        if (!search.TripFund.empty()) {
            contents =
                "<input name='fund' size='21' value='" + HtmlEscape(search.TripFund) + "' " + contents + ">";
        }
    } else if (is("WC@BILLCUST")) {
        contents = BillingCustomerSelect(app, contents);
    } else if (is("WC@TOTALBILLED")) {
        contents = Format(Value::Cur(search.TotalBilled), kMoneyFormat);
    } else if (is("WC@AMOUNTDUE")) {
        contents = Format(Value::Cur(search.TotalDue), kMoneyFormat);
    } else if (is("WC@SORTBY")) {
        contents = SortSelects(search, contents);
    }
}

void RegisterTripSearch(WebItemRegistry& items) {
    items.add({.name = "TripSearch",
               .templateFile = "TripSearch1.htm",
               .respond = TripSearch_Respond,
               .processTag = TripSearch_ProcessTag,
               .events = {{"FieldTrips", TripSearch_FieldTrips}}});
}

}  // namespace excursa
