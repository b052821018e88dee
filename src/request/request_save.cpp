#include "request/request_save.h"

#include "approval/mail.h"
#include "data/connections.h"
#include "frame/keys.h"
#include "frame/procedure.h"
#include "frame/worker_state.h"
#include "request/day_trip_counter.h"
#include "request/request_checks.h"
#include "request/request_form.h"
#include "request/request_lookups.h"
#include "request/request_version.h"

#include <array>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

namespace excursa {

namespace {

constexpr std::string_view kNotAllowed = "<p>Sorry, you are not allowed to change this trip request.</p>";
constexpr std::string_view kChangedMeanwhile =
    "<p>Sorry, this trip request was changed by someone else while you were editing it.  Use your browser's "
    "back button, reload the request and try again.</p>";
constexpr std::string_view kStoredRequestSql = "SELECT TRIPSREQ.* FROM TRIPSREQ where TRIPNUM = ?";

Value Now_() { return Value::Date(Now()); }
Value OrNull(const std::string& text) { return text.empty() ? Value::Null() : Value(text); }
Value UnlessBlankOrNull(const std::string& text) { return Trim(text).empty() ? Value::Null() : Value(text); }
Value TimeOrNull(double time) { return time == 0 ? Value::Null() : Value::Date(time); }

std::string SessionText(const Host& host, std::string_view key) { return TextOf(host.sessionGet(key)); }

// The row being saved, and what the save writes into it.
struct SaveRow {
    AppObject& app;
    Host& host;
    Recordset& rs;
    const CheckedRequest& values;

    std::string posted(std::string_view name) const { return host.formField(name); }
    void set(std::string_view column, const Value& value) { rs.setField(column, value); }
};

// ------------------------------------------------------------- opening

Recordset& AddRequestRow(AppObject& app, PageResources& db) {
    Recordset& rs = db.queryForUpdate(Use(cnTripSchl), "Select * from TRIPSREQ");
    rs.addNew();
    const Value now = Now_();
    rs.setField("ENTEREDBY", app.host.sessionGet(key::User));
    rs.setField("enterdate", now);
    rs.setField("REQDATE", now);
    rs.setField("Status", Trim(app.customer.chainId).empty() ? "Pending" : "UNAPPROVED");
    rs.setField("STATUS_DATE", now);
    return rs;
}

// The notice and trips-per-day checks apply to a new or changed departure date only.
bool DepartureChanged(Recordset& rs, double departureDate) {
    const Value stored = rs.field("depdate");
    if (stored.isNull() || stored.isEmpty() || !IsDate(stored)) return true;
    return DateValueOf(CDate(stored)) != departureDate;
}

std::string OldStatus(Recordset& rs, bool isNew) {
    if (isNew) return "";
    const std::string status = NullToSpace(rs.field("Status"));
    return Trim(status).empty() ? std::string() : status;
}

// ------------------------------------------------------------- columns

void WriteCustomer(SaveRow& row) {
    const std::string& code = row.values.customerCode;
    const Value stored = row.rs.field("CUSTOMER");
    if (SameCustomerCode(TextOf(stored), code)) {
        if (stored.isNull()) row.set("CUSTOMER", " ");
        return;
    }
    // A request of another customer is billed as that customer's requests are.
    const AppObject::CurrentCustomer& customer = row.app.customer;
    row.set("CUSTOMER", code);
    row.set("BILLCUST", code);
    row.set("BILLRATE", Value::Long(customer.billRate));
    getBILLRATEFlat(row.app, customer.billRate);
    for (std::size_t i = 0; i < row.app.billRate.amounts.size(); ++i) {
        const std::string n = std::to_string(i + 1);
        row.set("AMOUNT" + n, Value::Single(row.app.billRate.amounts[i]));
        row.set("AMOUNTTXT" + n, row.app.billRate.texts[i]);
    }
    row.set("CAPACITY", UnlessBlankOrNull(customer.defaultCapacity));
    if (!Trim(customer.defaultFormat).empty()) row.set("INVOICE_FORMAT", customer.defaultFormat);
}

// A district column left Null arrives as one blank: it sets nothing, rather than a blank or an error.
void WriteDistrictDefault(SaveRow& row, std::string_view column, std::string_view settingKey) {
    const Value setting = row.host.appGet(settingKey);
    if (!Trim(TextOf(setting)).empty()) row.set(column, setting);
}

// A destination picked from the form's list and saved straight away has no details in the form
// state yet (or still those of the destination it replaced): they are looked up.
void RefreshChosenDestination(AppObject& app, const std::string& dest) {
    if (CLng(Value(dest)) == 0) return;  // typed in by the user: the form state is all there is
    const Host& host = app.host;
    const bool described = Trim(SessionText(host, key::form::Destination)) == dest &&
                           !Trim(SessionText(host, key::form::DestDesc)).empty();
    if (described || !getdest(app, dest)) return;
    if (Trim(app.destination.description).empty()) return;  // no longer in the table: keep what the form had
    KeepLookedUpDestination(app.host, app.destination);
    app.host.sessionSet(key::form::Destination, dest);
}

void WriteDestination(SaveRow& row) {
    const std::string dest = Trim(row.posted("DEST"));
    row.set("Destination", Value::Long(dest.empty() ? 0 : CLng(Value(dest))));
    if (dest.empty()) {
        row.set("MILES", Value::Long(0));
        return;
    }
    RefreshChosenDestination(row.app, dest);
    constexpr std::array<std::pair<std::string_view, std::string_view>, 6> kCopied{{
        {"DESTDESC", key::form::DestDesc},
        {"DESTADD1", key::form::DestAdd1},
        {"DESTADD2", key::form::DestAdd2},
        {"DESTCITY", key::form::DestCity},
        {"DESTZIP", key::form::DestZip},
        {"DESTSTATE", key::form::DestState},
    }};
    for (const auto& [column, stateKey] : kCopied) {
        const std::string text = SessionText(row.host, stateKey);
        row.set(column, text.empty() ? " " : text);
    }
    const std::string category = SessionText(row.host, key::form::DestCat);
    row.set("DESTCAT", category.empty() ? "0" : category);
    const Value miles = row.host.sessionGet(key::form::Miles);
    row.set("MILES", TextOf(miles).empty() ? Value::Long(0) : miles);
}

// Customer, district defaults, contact, destination, fund and the dates.
void WriteRequestColumns(SaveRow& row) {
    const std::string email = row.posted("RequestorEmail");
    row.set("REQUESTOR_EMAIL", email.empty() ? " " : email);
    WriteCustomer(row);
    row.set("CUSTSPEC", OrNull(Trim(row.posted("CUSTSPEC"))));
    WriteDistrictDefault(row, "CALCNUMDRIVERS", key::DefaultCalcNumDriver);
    WriteDistrictDefault(row, "Type", key::DefaultVType);
    row.set("CONTACT", UnlessBlankOrNull(row.posted("CONTACT")));
    WriteDestination(row);
    row.set("DESTSPEC", OrNull(row.posted("DESTSPEC")));
    row.set("Fund", OrNull(row.values.fundCode));
    row.set("INTTRIPNUM", UnlessBlankOrNull(row.posted("INTTRIPNUM")));
    row.set("depdate", Value::Date(row.values.departureDate));
    row.set("deptime", TimeOrNull(row.values.departureTime));
    row.set("retdate", Value::Date(row.values.returnDate));
    row.set("rettime", TimeOrNull(row.values.returnTime));
}

// The Approve choice counts only from a user whom the authority rule lets approve, and only as
// "Deny" or as the status that rule offers that user.
std::optional<std::string> TakenApproval(const Host& host, bool isNew, const Authority& authority) {
    if (isNew || !authority.mayApprove) return std::nullopt;
    const std::string choice = host.formField("Approve");
    if (choice == "Deny") return std::string("Denied");
    if (!choice.empty() && choice == authority.approvalStatus) return choice;
    return std::nullopt;
}

void WriteApprovalAndDetails(SaveRow& row, bool isNew, const Authority& authority) {
    if (const std::optional<std::string> status = TakenApproval(row.host, isNew, authority)) {
        row.set("Status", *status);
        row.set("STATUS_DATE", Now_());
    }
    // The comment box belongs to the approval choices: only an approver's comment is kept.
    const std::string comment = row.posted("STATUS_COMMENT");
    if (!isNew && authority.mayApprove && !comment.empty()) row.set("STATUS_COMMENT", comment);
    const std::string grade = Trim(row.posted("GRADE"));
    row.set("GRADE", grade.empty() || SameTextNoCase(grade, "selected") ? Value::Null() : Value(grade));
    row.set("NUMADULTS", Value::Integer(row.values.adults));
    row.set("NUMSTUDENTS", Value::Integer(row.values.students));
    row.set("NUMHAND", Value::Integer(row.values.handicapped));
    row.set("arrivetime", TimeOrNull(row.values.arriveTime));
    row.set("estTime", Value::Single(row.values.estimatedHours));
    row.set("ESTMILE", Value::Single(row.values.estimatedMiles));
    row.set("leavetime", TimeOrNull(row.values.leaveTime));
    row.set("PURPOSE", OrNull(row.posted("PURPOSE")));
    row.set("TRIPCOM", OrNull(row.posted("TRIPCOM")));
    row.set("PO", OrNull(row.posted("PO")));
}

// The chain of the customer and category, else the customer's own. A new chain restarts the
// approval. Answers the new chain when it changed.
std::optional<std::string> WriteChain(SaveRow& row) {
    std::string chain;
    const std::string category = row.posted("TRIPCAT");
    if (!category.empty()) {
        row.set("TRIPCAT", category);
        chain = Trim(getCHAIN(row.app, row.values.customerCode, category));
    } else {
        row.set("TRIPCAT", Value::Null());
    }
    if (chain.empty()) chain = Trim(row.app.customer.chainId);
    const std::string oldChain = Trim(TextOf(row.rs.field("chainid")));
    if (SameTextNoCase(chain, oldChain)) return std::nullopt;
    row.set("chainid", chain);
    row.set("Status", chain.empty() ? "Pending" : "UNAPPROVED");
    row.set("STATUS_DATE", Now_());
    return chain;
}

// An approver who enters a request for a chain that holds the approver's role gives it that
// level's status at once.
void ApplyEnteringApprover(AppObject& app, Recordset& rs, const std::string& tripNumber,
                           const std::string& chain) {
    const Host& host = app.host;
    const Authority entering = HasAuthority(CLng(Value(tripNumber)), SessionText(host, key::Role), chain,
                                            SessionText(host, key::Customer));
    if (ErrorTextIsSet()) return;
    ApplyAuthority(app, entering);
    if (UCase(entering.approvalStatus) == "NA") return;
    rs.setField("Status", entering.approvalStatus);
    rs.setField("STATUS_DATE", Now_());
    rs.update();
}

RequestNotice NoticeOf(const AppObject& app, Recordset& rs, const std::string& oldStatus, bool isNew) {
    RequestNotice notice;
    notice.tripNumber = TextOf(rs.field("TRIPNUM"));
    notice.status = NullToSpace(rs.field("Status"));
    notice.oldStatus = oldStatus;
    notice.isNew = isNew;
    notice.requestorEmail = NullToSpace(rs.field("REQUESTOR_EMAIL"));
    notice.chainId = NullToSpace(rs.field("chainid"));
    notice.customer = NullToSpace(rs.field("CUSTOMER"));
    notice.customerName = app.customer.name;
    notice.destination = SessionText(app.host, key::form::DestDesc);
    notice.departureDate = TextOf(rs.field("depdate"));
    notice.students = TextOf(rs.field("NUMSTUDENTS"));
    return notice;
}

SaveResult Refuse(Host& host, std::string_view message) {
    host.write(message);
    return SaveResult::NotStored;
}

SaveResult StoreRequest(AppObject& app, PageResources& db, const CheckedRequest& values, bool isNew,
                        const Authority& authority) {
    Host& host = app.host;
    app.blnNewRequest = isNew;
    std::unique_lock<std::mutex> tripDays;
    if (TripsPerDayLimited(host)) tripDays = LockTripDays();

    Recordset& rs = isNew ? AddRequestRow(app, db)
                          : db.queryForUpdate(Use(cnTripSchl), kStoredRequestSql,
                                              {Value::Long(CLng(host.sessionGet(key::TripReq)))});
    // Saved by someone else between the first look and now.
    if (!isNew && ChangedSinceShown(rs, PostedVersion(host))) return Refuse(host, kChangedMeanwhile);
    if (DepartureChanged(rs, values.departureDate)) {
        if (std::optional<CheckStop> stop = CheckDepartureDay(app, values.departureDate)) {
            rs.cancelUpdate();
            return Refuse(host, stop->message);
        }
    }
    const std::string oldStatus = OldStatus(rs, isNew);
    SaveRow row{app, host, rs, values};
    WriteRequestColumns(row);
    WriteApprovalAndDetails(row, isNew, authority);
    const std::optional<std::string> newChain = WriteChain(row);
    // A look-up that failed on the way (bill rate, chain, destination) would store half-made values.
    if (ErrorTextIsSet()) {
        rs.cancelUpdate();
        return SaveResult::NotStored;
    }
    rs.update();
    if (tripDays.owns_lock()) tripDays.unlock();

    const std::string tripNumber = NullToSpace(rs.field("TRIPNUM"));
    host.sessionSet(key::TripReq, tripNumber);
    app.blnCopyMode = false;
    host.sessionSet(key::form::New, "");
    host.sessionSet(key::LoadFromSession, "False");

    if (newChain && !SessionText(host, key::Role).empty())
        ApplyEnteringApprover(app, rs, tripNumber, *newChain);
    if (!SendStatusNotices(app, NoticeOf(app, rs, oldStatus, isNew))) return SaveResult::StoredAndEnded;
    app.blnNewRequest = false;
    return SaveResult::Stored;
}

}  // namespace

ChangeCheck CheckChangeRight(AppObject& app, std::int32_t tripNumber) {
    const Host& host = app.host;
    PageResources db(host);
    if (!db.open()) return {};
    Recordset& stored = db.query(Use(cnTripSchl), kStoredRequestSql, {Value::Long(tripNumber)});
    if (stored.eof()) return {ChangeRight::Allowed, {}};
    const Authority authority =
        HasAuthority(stored, SessionText(host, key::Role), SessionText(host, key::Customer));
    if (ErrorTextIsSet()) return {};
    if (!authority.mayEdit) return {ChangeRight::NotAllowed, authority};
    if (ChangedSinceShown(stored, PostedVersion(host))) return {ChangeRight::ChangedMeanwhile, authority};
    return {ChangeRight::Allowed, authority};
}

bool ChangeMayGoOn(Host& host, ChangeRight right) {
    switch (right) {
        case ChangeRight::Allowed:
            return true;
        case ChangeRight::NotAllowed:
            host.write(kNotAllowed);
            return false;
        case ChangeRight::ChangedMeanwhile:
            host.write(kChangedMeanwhile);
            return false;
        case ChangeRight::Failed:
            return false;
    }
    return false;
}

SaveResult SaveTripRequest(AppObject& app, SaveMode mode) {
    Host& host = app.host;
    const bool isNew = SameText(host.sessionGet(key::form::New), "NEW");
    Authority authority;
    if (!isNew) {
        const ChangeCheck check = CheckChangeRight(app, CLng(host.sessionGet(key::TripReq)));
        if (check.right == ChangeRight::NotAllowed && mode == SaveMode::Print)
            return SaveResult::NotAttempted;
        if (!ChangeMayGoOn(host, check.right)) return SaveResult::NotStored;
        authority = check.authority;
    }
    PageResources db(host);
    const CheckOutcome outcome = CheckPostedRequest(app, db, isNew);
    if (const CheckStop* stop = std::get_if<CheckStop>(&outcome)) return Refuse(host, stop->message);
    return StoreRequest(app, db, std::get<CheckedRequest>(outcome), isNew, authority);
}

void DeleteTripRequest(AppObject& app, std::int32_t tripNumber) {
    RunProcedure(app, Procedure{"DeleteTripRequest", kModuleExcursa}, [&] {
        PageResources db(app.host);
        if (!db.open()) return;
        Use(cnTripSchl).execute("DELETE FROM TRIPSREQ where TRIPNUM = ?", {Value::Long(tripNumber)});
    });
}

}  // namespace excursa
