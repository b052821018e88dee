// RequestSearch: the signed-in user's home page. The search form over the trip requests, the list
// found (at once the requests waiting for an approver's decision), and the navigation buttons.
#include "data/connections.h"
#include "data/search_criteria.h"
#include "frame/html.h"
#include "frame/keys.h"
#include "frame/procedure.h"
#include "frame/worker_state.h"
#include "reports/items.h"
#include "reports/results.h"
#include "reports/search_controls.h"
#include "reports/search_state.h"
#include "signin/items.h"

#include <array>
#include <optional>
#include <vector>

namespace excursa {

namespace {

constexpr std::string_view kRequestSelect =
    "SELECT TRIPSREQ.TRIPNUM, TRIPSREQ.ENTERDATE, TRIPSREQ.CONTACT, TRIPSREQ.INTTRIPNUM, "
    "TRIPSREQ.CUSTOMER, TRIPSREQ.DESTINATION, "
    "tripsreq.destdesc as trDESTDESC, TRIPSREQ.DEPDATE, "
    "TRIPSREQ.DEPTIME, TRIPSREQ.STATUS, "
    "DateValue(TRIPSREQ.STATUS_DATE) AS Expr1, "
    "TRIPSREQ.STATUS_COMMENT, TRIPSREQ.GRADE, TRIPSREQ.RETDATE, "
    "TRIPSREQ.RETTIME, TRIPSREQ.ARRIVETIME, TRIPSREQ.LEAVETIME, "
    "TRIPSREQ.FUND, TRIPSREQ.REQDATE, TRIPSREQ.CHAINID, "
    "TRIPSREQ.FIELDTRIP_NUM, TRIPSREQ.TRIPCAT, TRIPSREQ.NUMSTUDENTS, TRIPSREQ.NUMADULTS, TRIPSREQ.PURPOSE "
    "FROM TRIPSREQ";
constexpr std::string_view kRequestOrder =
    " ORDER BY TRIPSREQ.DEPDATE, TRIPSREQ.DEPTIME, TRIPSREQ.DESTINATION";
constexpr int kChainLevels = 8;

// ------------------------------------------------------------ approver list

// A status of a chain at which a request waits for the user's role.
struct WaitingStatus {
    std::string chain;
    std::string status;
};

// Every level of every active chain that the role approves: level 1 waits at "UNAPPROVED", level
// k at the status of level k - 1. A blank role approves nothing, and a blank level is nobody's.
std::vector<WaitingStatus> StatusesWaitingFor(Recordset& chains, const std::string& role) {
    std::vector<WaitingStatus> waiting;
    for (; !chains.eof(); chains.moveNext()) {
        for (int level = 1; level <= kChainLevels; ++level) {
            const std::string approver =
                Trim(TextOf(chains.field("Level" + std::to_string(level) + "Approver")));
            if (approver.empty() || !SameTextNoCase(approver, role)) continue;
            const std::string status =
                level == 1 ? "UNAPPROVED"
                           : NullToSpace(chains.field("Level" + std::to_string(level - 1) + "Status"));
            waiting.push_back({TextOf(chains.field("chainid")), status});
        }
    }
    return waiting;
}

std::string ApproverQuery(const std::vector<WaitingStatus>& waiting, const std::string& customer) {
    std::string sql = std::string(kRequestSelect) + " WHERE (";
    for (std::size_t i = 0; i < waiting.size(); ++i) {
        if (i > 0) sql += " OR ";
        sql += "(TRIPSREQ.CHAINID = '" + SqlQuote(waiting[i].chain) + "' AND TRIPSREQ.STATUS = '" +
               SqlQuote(waiting[i].status) + "')";
    }
    sql += ")";
    if (!customer.empty()) sql += " AND (TRIPSREQ.CUSTOMER = '" + SqlQuote(customer) + "')";
    return sql;
}

// The requests waiting for the user's decision become the search; an approver who belongs to a
// customer sees only that customer's. False when the connections did not open.
bool FindApproverWorklist(AppObject& app) {
    Host& host = app.host;
    const std::string role = Trim(TextOf(host.sessionGet(key::Role)));
    if (role.empty()) return true;
    PageResources db(host);
    if (!db.open()) return false;
    Recordset& chains = db.query(Use(cnSecurity), "Select * from VLSCC where VLSCC.Active = TRUE");
    const std::vector<WaitingStatus> waiting = StatusesWaitingFor(chains, role);
    if (waiting.empty()) return true;
    SearchState& search = Search(app);
    const std::string customer = Trim(TextOf(host.sessionGet(key::Customer)));
    if (!customer.empty()) search.SearchCustomer = customer;
    search.SearchQuery = ApproverQuery(waiting, customer);
    return true;
}

// ---------------------------------------------------------------- criteria

void ResetRequestSearch(AppObject& app) {
    app.blnRequestSearchFirst = DistrictSwitch(app.host, key::AutofillRequests);
    SearchState& search = Search(app);
    search = SearchState{};
    search.SearchCustomer = TextOf(app.host.sessionGet(key::Customer));
}

// A user of one customer searches that customer's requests unless the district lets them see others.
std::string CustomerCriterion(const AppObject& app) {
    const Host& host = app.host;
    if (const std::optional<std::string> own = OwnCustomerOnly(host)) return CodeOfEntry(*own);
    std::string posted = host.formField("cust");
    const SessionList customers(app, key::CustomersDD, key::NumCustomers);
    for (int i = 0; i <= customers.last(); ++i) {
        if (Trim(customers.array().at(i)) != Trim(posted)) continue;
        posted = customers.array().at(i);
        break;
    }
    return CodeOfEntry(posted);
}

void ReadRequestCriteria(AppObject& app) {
    const Host& host = app.host;
    SearchState& search = Search(app);
    ReadCommonCriteria(host, search);
    search.SearchStatus = host.formField("Status");
    search.SearchCustomer = CustomerCriterion(app);
    search.SearchInternalNumber = host.formField("IntNum");
    search.SearchEnterFrom = host.formField("EnterFrom");
    search.SearchEnterTo = host.formField("EnterTo");
}

// The criteria query; the message for a date that is none, or nothing.
std::optional<std::string> BuildCriteriaQuery(SearchState& search) {
    SearchCondition condition;
    if (auto message = AddDateCriterion(condition, "TRIPSREQ.DEPDATE", search.SearchDepartFrom,
                                        search.SearchDepartTo, "departure")) {
        return message;
    }
    if (auto message = AddDateCriterion(condition, "datevalue(TRIPSREQ.REQDATE)", search.SearchEnterFrom,
                                        search.SearchEnterTo, "enter")) {
        return message;
    }
    if (!search.SearchStatus.empty()) condition.addText("TRIPSREQ.STATUS", search.SearchStatus);
    if (!search.SearchGrade.empty()) condition.addText("TRIPSREQ.GRADE", search.SearchGrade);
    if (!Trim(search.SearchCustomer).empty())
        condition.addText("TRIPSREQ.CUSTOMER", Trim(search.SearchCustomer));
    if (!search.SearchDestination.empty())
        condition.addNumber("TRIPSREQ.DESTINATION", search.SearchDestination);
    if (!search.SearchCategory.empty()) condition.addText("TRIPSREQ.TRIPCAT", search.SearchCategory);
    // Requests carry no division: the result table drops the rows of other divisions.
    if (!search.SearchDivision.empty()) search.DivisionFilter = search.SearchDivision;
    if (!search.SearchInternalNumber.empty())
        condition.addText("TRIPSREQ.INTTRIPNUM", search.SearchInternalNumber);
    search.SearchQuery = std::string(kRequestSelect) + condition.text();
    return std::nullopt;
}

// ---------------------------------------------------------------- navigate

// The request being edited is forgotten whenever the user leaves through the navigation buttons.
void ClearRequestForm(Host& host) {
    namespace form = key::form;
    host.sessionSet(key::LoadFromSession, "False");
    static constexpr std::array<std::string_view, 37> kFormKeys{
        form::Destination, form::Contact,   form::Fund,        form::DepMonth,
        form::DepDate,     form::DepYear,   form::RetMonth,    form::RetDate,
        form::RetYear,     form::DepHour,   form::DepMin,      form::DepAmPm,
        form::ArriveHour,  form::ArriveMin, form::ArriveAmPm,  form::LeaveHour,
        form::LeaveMin,    form::LeaveAmPm, form::RetHour,     form::RetMin,
        form::RetAmPm,     form::NumAdults, form::NumStudents, form::NumHand,
        form::EstTime,     form::EstMile,   form::Purpose,     form::CustSpec,
        form::DestSpec,    form::TripCom,   form::Po,          form::IntTripNum,
        form::TripCat,     form::Grade,     key::TripReq,      form::RequestorEmail,
        form::New};
    for (std::string_view name : kFormKeys) host.sessionSet(name, "");
}

}  // namespace

void RequestSearch_TripRequests(AppObject& app) {
    SearchState& search = Search(app);
    search.DivisionFilter.clear();
    RunProcedure(app, Procedure{"RequestSearch_TripRequests", kModuleExcursa}, [&] {
        Host& host = app.host;
        if (SessionTimedOut(app)) return;
        host.sessionSet(key::DepDtWarn, Value::Boolean(false));
        host.sessionSet(key::RtnDtWarn, Value::Boolean(false));
        const std::string button = host.formField("btnsubmit");
        if (SameTextNoCase(button, "Reset") || SameTextNoCase(button, "**Exit**")) {
            ResetRequestSearch(app);
        } else {
            ReadRequestCriteria(app);
        }
        if (search.SearchQuery.empty() && app.blnRequestSearchFirst) {
            if (const std::optional<std::string> message = BuildCriteriaQuery(search)) {
                strErrorText = *message;
                return;
            }
        }
        if (!Trim(search.SearchQuery).empty()) search.SearchQuery += kRequestOrder;
        host.sessionSet(key::TripRequestReportQuery, search.SearchQuery);
        BuildRequestResultsTable(app, search.SearchQuery);
        host.writeTemplate("RequestSearch");
    });
}

void RequestSearch_Respond(AppObject& app) {
    app.host.sessionSet(key::LoadFromSession, "False");
    bool showList = false;
    RunProcedure(app, Procedure{"RequestSearch_Respond", kModuleExcursa}, [&] {
        if (SessionTimedOut(app)) return;
        if (!FindApproverWorklist(app)) return;
        app.blnRequestSearchFirst = DistrictSwitch(app.host, key::AutofillRequests);
        showList = true;
    });
    if (showList) RequestSearch_TripRequests(app);
}

void RequestSearch_Navigate(AppObject& app) {
    Host& host = app.host;
    if (!SessionTimedOut(app)) {
        ClearRequestForm(host);
        const std::string button = UCase(host.formField("btnsubmit"));
        if (button == "WORK WITH TRIP REQUESTS") {
            host.setNextItem("RequestSearch");
        } else if (button == "ENTER NEW REQUEST") {
            SetNewVars(app);
            host.setNextItem("RequestDetail");
        } else if (button == "VIEW FIELD TRIPS") {
            host.setNextItem("TripSearch");
        } else if (button == "LOG OUT") {
            host.setNextItem("Logout");
        }
    }
    WriteErrorTextIfSet(app);
}

void RequestSearch_ProcessTag(AppObject& app, const std::string& tagName, std::string& contents) {
    if (SearchPageTag(app, tagName, contents)) return;
    const SearchState& search = Search(app);
    if (SameTextNoCase(tagName, "WC@Status")) {
        contents = SearchSelect(
            "status", contents,
            ValueOptions(SessionList(app, key::StatusVals, key::NumStatusVals), search.SearchStatus));
    } else if (SameTextNoCase(tagName, "WC@CUSTOMER")) {
        contents = SearchSelect("cust", contents,
                                CodeOptions(SessionList(app, key::CustomersDD, key::NumCustomers),
                                            search.SearchCustomer, {"' >", "<option value= ></option>"}));
    } else if (SameTextNoCase(tagName, "WC@DEST")) {
        contents =
            SearchSelect("dest", contents,
                         RequestDestinationOptions(SessionList(app, key::Destinations, key::NumDestinations),
                                                   search.SearchDestination));
    } else if (SameTextNoCase(tagName, "WC@ENTERFROM")) {
        contents = HtmlEscape(search.SearchEnterFrom);
    } else if (SameTextNoCase(tagName, "WC@ENTERTO")) {
        contents = HtmlEscape(search.SearchEnterTo);
    }
}

void RegisterRequestSearch(WebItemRegistry& items) {
    items.add(
        {.name = "RequestSearch",
         .templateFile = "TripRequestSearch1.htm",
         .respond = RequestSearch_Respond,
         .processTag = RequestSearch_ProcessTag,
         .events = {{"TripRequests", RequestSearch_TripRequests}, {"Navigate", RequestSearch_Navigate}}});
}

}  // namespace excursa
