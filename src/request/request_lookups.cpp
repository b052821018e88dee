#include "request/request_lookups.h"
#include "frame/keys.h"

#include "data/connections.h"
#include "data/database.h"
#include "frame/procedure.h"
#include "frame/value.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace excursa {

namespace {

constexpr std::string_view kNbsp = "&nbsp;";

// Runs a look-up under the error convention; false when it failed (its text is then in strErrorText).
bool RunLookup(AppObject& app, std::string_view name, const std::function<void()>& body) {
    return RunProcedure(app, Procedure{name, kModuleExcursa}, body);
}

void CopyText(Recordset& rs, std::string_view column, std::string& into) {
    const Value v = rs.field(column);
    if (!v.isNull()) into = CStr(v);
}

void CopyCustomer(Recordset& rs, AppObject::CurrentCustomer& customer) {
    CopyText(rs, "custname", customer.name);
    const Value billRate = rs.field("CUSTBILLRATE");
    if (!billRate.isNull()) customer.billRate = CLng(billRate);
    CopyText(rs, "CUSTSPEC", customer.custSpec);
    CopyText(rs, "DEFAULTCAP", customer.defaultCapacity);
    CopyText(rs, "cust_default_format", customer.defaultFormat);
    CopyText(rs, "chainid", customer.chainId);
    customer.chainId = Trim(customer.chainId);
    CopyText(rs, "custdiv", customer.division);
    CopyText(rs, "REQUESTOR_EMAIL", customer.requestorEmail);
}

void CopyBillRate(Recordset& rs, AppObject::CurrentBillRate& rate) {
    for (std::size_t i = 0; i < rate.amounts.size(); ++i) {
        const std::string n = std::to_string(i + 1);
        const Value amount = rs.field("AMOUNT" + n);
        if (!amount.isNull()) rate.amounts[i] = CSng(amount);
        CopyText(rs, "AMOUNTTXT" + n, rate.texts[i]);
    }
}

Recordset OpenFund(const AppObject& app, const std::string& fund, const std::string& custnum) {
    const bool anyFund = !SameText(app.host.appGet(key::UseCustFund), "True") ||
                         SameText(app.host.sessionGet(key::CanOverrideFund), "True");
    if (anyFund) {
        return Recordset::Open(
            Use(cnTrip), "SELECT * FROM FUND WHERE trim$(FUND.FUND) = ? AND Fund.Active = True", {fund});
    }
    return Recordset::Open(
        Use(cnTrip),
        "SELECT FUND.* FROM FUND INNER JOIN CUSTOMER_FUND ON FUND.FUND = CUSTOMER_FUND.FUND"
        " WHERE (trim$(CUSTOMER_FUND.FUND) = ?) AND (CUSTOMER_FUND.CUSTOMER = ?)"
        " AND (Fund.Active = True)",
        {fund, custnum});
}

// The destination columns of a stored request, as the form state keeps them.
struct RequestDestination {
    std::string destination, desc, cat, add1, add2, city, zip, instructions, state;
    std::int32_t miles = 0;
};

std::string TrimmedText(Recordset& rs, std::string_view column) {
    return Trim(NullToSpace(rs.field(column)));
}

RequestDestination ReadRequestDestination(Recordset& rs) {
    RequestDestination d;
    // A request saved without a destination number has none to copy, rather than failing.
    d.destination = TrimmedText(rs, "Destination");
    d.desc = TrimmedText(rs, "DESTDESC");
    d.cat = TrimmedText(rs, "DESTCAT");
    d.add1 = TrimmedText(rs, "DESTADD1");
    d.add2 = TrimmedText(rs, "DESTADD2");
    d.city = TrimmedText(rs, "DESTCITY");
    d.zip = TrimmedText(rs, "DESTZIP");
    d.instructions = TrimmedText(rs, "DESTSPEC");
    d.state = TrimmedText(rs, "DESTSTATE");
    d.miles = NullToZero(rs.field("MILES"));
    return d;
}

void WriteRequestDestination(Host& host, const RequestDestination& d) {
    host.sessionSet(key::form::Destination, d.destination);
    host.sessionSet(key::form::DestDesc, d.desc);
    host.sessionSet(key::form::DestCat, d.cat);
    host.sessionSet(key::form::Miles, Value::Long(d.miles));
    host.sessionSet(key::form::DestAdd1, d.add1);
    host.sessionSet(key::form::DestAdd2, d.add2);
    host.sessionSet(key::form::DestCity, d.city);
    host.sessionSet(key::form::DestZip, d.zip);
    host.sessionSet(key::form::DestSpec, d.instructions);
    host.sessionSet(key::form::DestState, d.state);
}

bool IsBlank(const Value& v) { return v.isNull() || v.isEmpty() || (v.isString() && Trim(v.text()).empty()); }

// A whole number from a picker part; nothing when the text is not one.
std::optional<std::int32_t> WholeNumber(const std::string& text) {
    if (!IsNumeric(Value(text))) return std::nullopt;
    try {
        return CLng(Value(text));
    } catch (const VbError&) {
        return std::nullopt;  // beyond the range of a whole number
    }
}

}  // namespace

// ------------------------------------------------------------------ look-ups

bool getcust(AppObject& app, const std::string& custnum) {
    return RunLookup(app, "getCust", [&] {
        app.customer = AppObject::CurrentCustomer{};
        PageResources db(app.host);
        if (!db.openUnlessOpen()) return;
        Recordset& rs =
            db.query(Use(cnTrip), "SELECT * FROM CUSTOMER WHERE CUSTOMER.CUSTOMER = ?", {custnum});
        if (!rs.eof()) CopyCustomer(rs, app.customer);
    });
}

std::string getFundDesc(AppObject& app, const std::string& fundnum, const std::string& custnum) {
    std::string description;
    RunLookup(app, "getFundDesc", [&] {
        Recordset rs = OpenFund(app, Trim(fundnum), custnum);
        if (rs.eof()) {
            description = "NOFUND";
            return;
        }
        const Value stored = rs.field("FUNDDESC");
        description = stored.isNull() ? "No Description" : CStr(stored);
    });
    return description;
}

std::string getCHAIN(AppObject& app, const std::string& custNum, const std::string& tripCat) {
    std::string chain;
    RunLookup(app, "getCHAIN", [&] {
        Recordset rs = Recordset::Open(Use(cnTrip),
                                       "SELECT * FROM CUSTOMER_TRIPCAT WHERE CUSTOMER_TRIPCAT.CUSTOMER = ? "
                                       "AND CUSTOMER_TRIPCAT.TRIPCAT = ?",
                                       {custNum, tripCat});
        // A row without a chain is the same as no row.
        if (!rs.eof()) chain = TextOf(rs.field("chainid"));
    });
    return chain;
}

void getBILLRATEFlat(AppObject& app, std::int32_t billRate) {
    RunLookup(app, "getBILLRATEFlat", [&] {
        AppObject::CurrentBillRate& rate = app.billRate;
        rate = AppObject::CurrentBillRate{};
        // A range of one number: an equality with a parameter compares without letter case, which the
        // key's index cannot serve.
        const Value rateNumber = Value::Long(billRate);
        Recordset rs =
            Recordset::Open(Use(cnTrip), "SELECT * FROM BILLRATE WHERE BILLRATE.BILLRATE BETWEEN ? AND ?",
                            {rateNumber, rateNumber});
        if (!rs.eof()) CopyBillRate(rs, rate);
    });
}

void CopyRequestDestination(Host& host, Recordset& request) {
    WriteRequestDestination(host, ReadRequestDestination(request));
}

void KeepLookedUpDestination(Host& host, const AppObject::CurrentDestination& destination) {
    host.sessionSet(key::form::DestDesc, destination.description);
    host.sessionSet(key::form::DestAdd1, destination.address1);
    host.sessionSet(key::form::Miles, Value::Single(destination.miles));
    host.sessionSet(key::form::DestCat, "");
    host.sessionSet(key::form::DestAdd2, destination.address2);
    host.sessionSet(key::form::DestCity, "");
    host.sessionSet(key::form::DestZip, "");
    host.sessionSet(key::form::DestState, "");
}

void SetDestFromREQ(AppObject& app, std::int32_t tripNum) {
    RunLookup(app, "SetDestFromREQ", [&] {
        RequestDestination destination;
        {
            PageResources db(app.host);
            if (!db.open()) return;
            Recordset& rs =
                db.query(Use(cnTripSchl), "SELECT * FROM TRIPSREQ WHERE TRIPNUM = ?", {Value::Long(tripNum)});
            if (!rs.eof()) destination = ReadRequestDestination(rs);
        }
        WriteRequestDestination(app.host, destination);
    });
}

std::string getTIME(AppObject& app, const std::string& time) {
    std::string shown;
    RunLookup(app, "getTIME", [&] {
        const std::string text = Trim(time);
        if (text.empty()) {
            shown = kNbsp;
            return;
        }
        // Drops the seconds: "5:10:00 AM" -> "5:10" and "AM".
        const long length = static_cast<long>(text.size());
        shown = Left(text, length - 6) + std::string(kNbsp) + Right(text, 2);
    });
    return shown;
}

std::string getDATE(AppObject& app, const Value& date) {
    std::string shown;
    RunLookup(app, "getDATE", [&] {
        if (IsBlank(date)) {
            shown = kNbsp;
            return;
        }
        const double day = CDate(date);
        shown = std::to_string(Month(day)) + "/" + std::to_string(Day(day)) + "/" +
                Right(std::to_string(Year(day)), 2);
    });
    return shown;
}

// -------------------------------------------------------------- picker parts

std::optional<double> DateOfParts(const std::string& month, const std::string& day, const std::string& year) {
    const std::string text = Trim(month) + "/" + Trim(day) + "/" + Trim(year);
    double date = 0;
    if (!ParseDate(text, date)) return std::nullopt;
    return date;
}

double DateFromParts(const std::string& month, const std::string& day, const std::string& year) {
    return DateOfParts(month, day, year).value_or(kNoDate);
}

double TimeFromParts(const std::string& hour, const std::string& minute, const std::string& ampm) {
    const std::string hourText = Trim(hour);
    if (hourText.empty()) return kNoDate;
    const std::string minuteText = Trim(minute);
    const std::optional<std::int32_t> minuteNumber = minuteText.empty() ? 0 : WholeNumber(minuteText);
    if (!minuteNumber) return kNoDate;
    const std::string half = Trim(ampm);
    std::string text = hourText + ":" + std::to_string(*minuteNumber);
    // Midnight is one second past it, so that it is not taken for an empty time.
    if (hourText == "12" && *minuteNumber == 0 && SameTextNoCase(half, "AM")) {
        text += ":01 AM";
    } else {
        text += " " + half;
    }
    double time = 0;
    return ParseDate(text, time) ? time : kNoDate;
}

TimeParts SplitStoredTime(const Value& stored) {
    if (IsBlank(stored)) return {};
    const double time = CDate(stored);
    // The form's empty time never stands for a real one.
    if (time == kNoDate) return {};
    int hour = Hour(time);
    bool pm = false;
    if (hour > 12) {
        hour -= 12;
        pm = true;
    } else if (hour == 0) {
        hour = 12;
    } else if (hour == 12) {
        pm = true;
    }
    return {std::to_string(hour), std::to_string(Minute(time)), pm ? "PM" : "AM"};
}

}  // namespace excursa
