#include "request/request_checks.h"

#include "approval/approval.h"
#include "frame/html.h"
#include "frame/keys.h"
#include "frame/worker_state.h"
#include "request/day_trip_counter.h"
#include "request/request_lookups.h"

#include <algorithm>
#include <array>
#include <functional>
#include <string_view>

namespace excursa {

namespace {

constexpr std::string_view kDepartureDateMessage = "<p>Please enter a valid departure date.</p>";
constexpr std::string_view kReturnDateMessage = "<p>Please enter a valid return date.</p>";
constexpr std::string_view kFundInvalid =
    "Fund is invalid,  Please select a valid fund.  Use your browser's back button and try again.  ";
constexpr std::string_view kNoticeHead =
    " days advance notice of all trip requests. "
    "The departure date on this request does not provide for adequate notice. ";

std::optional<CheckStop> Stop(std::string_view message) { return CheckStop{std::string(message)}; }

// One saving post: its fields and the district's required-field flags.
class Post {
public:
    explicit Post(Host& h) : host(h) {}

    std::string field(std::string_view name) const { return host.formField(name); }
    bool blank(std::string_view name) const { return Trim(field(name)).empty(); }
    bool required(std::string_view flag) const {
        return SameText(host.appGet(std::string(key::RequiredPrefix) + std::string(flag)), "True");
    }

    Host& host;
};

// ------------------------------------------------------------------ warnings

struct WarningKeys {
    std::string_view flag;
    std::string_view text;
};
constexpr WarningKeys kDepartureWarning{key::DepDtWarn, key::DepDtWarnText};
constexpr WarningKeys kReturnWarning{key::RtnDtWarn, key::RtnDtWarnText};

void ClearWarning(Host& host, const WarningKeys& warning) {
    host.sessionSet(warning.flag, Value::Boolean(false));
    host.sessionSet(warning.text, "");
}

void SetWarning(Host& host, const WarningKeys& warning, const std::string& text) {
    host.sessionSet(warning.flag, Value::Boolean(true));
    host.sessionSet(warning.text, text);
}

// --------------------------------------------------------------------- dates

std::optional<CheckStop> CheckDepartureDate(const Post& post, CheckedRequest& values) {
    // A post without a button would otherwise store a request without dates.
    if (post.field("btnSubmit").empty()) return Stop(kDepartureDateMessage);
    if (post.blank("dep_month") || post.blank("dep_date") || post.blank("dep_year")) {
        return Stop(kDepartureDateMessage);
    }
    const std::optional<double> date =
        DateOfParts(post.field("dep_month"), post.field("dep_date"), post.field("dep_year"));
    if (!date) return Stop(kDepartureDateMessage);
    values.departureDate = *date;
    return std::nullopt;
}

std::optional<CheckStop> CheckReturnDate(const Post& post, CheckedRequest& values) {
    if (UCase(post.field("chkDefaultReturnDate")) == "ON") {
        values.returnDate = values.departureDate;
        return std::nullopt;
    }
    if (post.blank("rtn_month") || post.blank("rtn_date")) return Stop(kReturnDateMessage);
    const std::string year = post.blank("rtn_year") ? post.field("dep_year") : post.field("rtn_year");
    const std::optional<double> date = DateOfParts(post.field("rtn_month"), post.field("rtn_date"), year);
    if (!date) return Stop(kReturnDateMessage);
    values.returnDate = *date;
    return std::nullopt;
}

// A note of severity 2 warns, one of severity 3 closes the day.
std::optional<CheckStop> CheckCalendar(Host& host, double day, const WarningKeys& warning,
                                       std::string_view closedHead) {
    const std::int16_t severity = Check_calNotes(DateText(day), true, false);
    if (severity != 2 && severity != 3) return std::nullopt;
    const std::string note = Trim(strCalNoteText) + ".  " + Trim(strCalNoteLongText);
    if (severity == 2) {
        SetWarning(host, warning, "WARNING - " + note);
        return std::nullopt;
    }
    // The note is a stored row: escaped here, as the form escapes the warning when it shows it.
    return CheckStop{"<p>" + std::string(closedHead) + DateText(day) + ", DAY CLOSED - " + HtmlEscape(note) +
                     "</p>"};
}

// --------------------------------------------------------------------- times

struct TimeCheck {
    std::string_view prefix;  // of the posted fields
    std::string_view flag;
    std::string_view message;
    bool alwaysOneSecond;  // arrival and leaving carry one second, so they are never an empty time
    double CheckedRequest::*time;
};

constexpr std::array<TimeCheck, 4> kTimes{{
    {"DEP", "DEPTIME_REQ", "<p>Departure Time is required.</p>", false, &CheckedRequest::departureTime},
    {"RET", "RETTIME_REQ", "<p>Return Time is required.</p>", false, &CheckedRequest::returnTime},
    {"ARRIVE", "ARRIVETIME_REQ", "<p>Arrive Time is required.</p>", true, &CheckedRequest::arriveTime},
    {"LEAVE", "LEAVETIME_REQ", "<p>Leave Time is required.</p>", true, &CheckedRequest::leaveTime},
}};

// A minute is rounded to a whole one as the language rounds; one that is no number is a type mismatch.
std::int32_t PostedMinute(const std::string& text) {
    if (Trim(text).empty()) return 0;
    return CLng(Value(text));
}

double PostedTime(const Post& post, const TimeCheck& check) {
    const std::string prefix(check.prefix);
    const std::string hour = Trim(post.field(prefix + "_HOUR"));
    const std::int32_t minute = PostedMinute(post.field(prefix + "_MIN"));
    const std::string half = Trim(post.field(prefix + "_AMPM"));
    // One second past midnight, so that 12:00 AM is not taken for the empty time.
    const bool midnight = hour == "12" && minute == 0 && SameTextNoCase(half, "AM");
    const std::string seconds = check.alwaysOneSecond || midnight ? ":01" : "";
    return CDate(Value(hour + ":" + std::to_string(minute) + seconds + half));
}

// Departures after 11:00 PM or before 5:00 AM are most likely a wrong AM/PM.
void WarnOfUnlikelyDeparture(Host& host, double time) {
    const int seconds = Hour(time) * 3600 + Minute(time) * 60 + Second(time);
    if (seconds >= 5 * 3600 && seconds <= 23 * 3600) return;
    const std::string question =
        "Are you sure you have the AM/PM correct? Departure time is scheduled for " + DateText(time);
    const std::string earlier = TextOf(host.sessionGet(kReturnWarning.text));
    SetWarning(host, kReturnWarning,
               earlier.empty() ? "WARNING - " + question : earlier + ".  AM/PM WARNING - " + question);
}

std::optional<CheckStop> CheckTimes(const Post& post, CheckedRequest& values) {
    for (const TimeCheck& check : kTimes) {
        if (post.blank(std::string(check.prefix) + "_HOUR")) {
            if (post.required(check.flag)) return Stop(check.message);
            values.*check.time = 0;
            continue;
        }
        values.*check.time = PostedTime(post, check);
        if (check.time == &CheckedRequest::departureTime)
            WarnOfUnlikelyDeparture(post.host, values.departureTime);
    }
    return std::nullopt;
}

// ------------------------------------------------------------------- numbers

struct NumberCheck {
    std::string_view field;
    std::string_view flag;
    std::string_view requiredMessage;
    std::string_view invalidMessage;
    std::int16_t CheckedRequest::*count;  // or
    float CheckedRequest::*amount;
};

constexpr std::array<NumberCheck, 5> kNumbers{{
    {"NUMADULTS", "NUMADULTS_REQ", "<p>Number of adults is required.</p>",
     "<p>Please enter a valid number of adults (or 0) in the # of Adults field.</p>", &CheckedRequest::adults,
     nullptr},
    {"NUMSTUDENTS", "NUMSTUDENTS_REQ", "<p>Number of students is required.</p>",
     "<p>Please enter a valid number of students (or 0) in the # of Students field.</p>",
     &CheckedRequest::students, nullptr},
    {"NUMHAND", "NUMWHEEL_REQ", "<p>Number of wheel chairs is required.</p>",
     "<p>Please enter a valid number of handicapped students (or 0) in the # of Handicap.</p>",
     &CheckedRequest::handicapped, nullptr},
    {"ESTTIME", "ESTTIME_REQ", "<p>Estimated Time is required.</p>",
     "<p>Please enter a valid number of hours (or 0) in the Estimated Time.</p>", nullptr,
     &CheckedRequest::estimatedHours},
    {"ESTMILE", "ESTMILE_REQ", "<p>Estimated Miles is required.</p>",
     "<p>Please enter a valid number of miles (or 0) in the Estimated Miles.</p>", nullptr,
     &CheckedRequest::estimatedMiles},
}};

std::optional<CheckStop> CheckNumbers(const Post& post, CheckedRequest& values) {
    for (const NumberCheck& check : kNumbers) {
        const Value text(Trim(post.field(check.field)));
        if (text.text().empty()) {
            if (post.required(check.flag)) return Stop(check.requiredMessage);
            continue;  // 0
        }
        if (!IsNumeric(text)) return Stop(check.invalidMessage);
        if (check.count) values.*check.count = CInt(text);
        if (check.amount) values.*check.amount = CSng(text);
    }
    return std::nullopt;
}

// ----------------------------------------------------------- required fields

struct RequiredField {
    std::string_view field;
    std::string_view flag;
    std::string_view message;
};

constexpr std::array<RequiredField, 12> kRequiredFields{{
    {"DEST", "DESTINATION_REQ", "<p>Destination is required.</p>"},
    {"CONTACT", "CONTACT_REQ", "<p>Contact is required.</p>"},
    {"CUST", "CUSTOMER_REQ", "<p>Customer is required.</p>"},
    {"FUND", "FUND_REQ", "<p>Fund is required.</p>"},
    {"PURPOSE", "PURPOSE_REQ", "<p>Purpose is required.</p>"},
    {"DESTSPEC", "DESTSPEC_REQ", "<p>Destination Special Instructions are required.</p>"},
    {"CUSTSPEC", "CUSTSPEC_REQ", "<p>Customer Special Instructions are required.</p>"},
    {"TRIPCOM", "TRIPCOM_REQ", "<p>Trip Comment is required.</p>"},
    {"PO", "PO_REQ", "<p>PO required.</p>"},
    {"TRIPCAT", "TRIPCAT_REQ", "<p>Trip Category is required.</p>"},
    {"INTTRIPNUM", "INTTRIPNUM_REQ", "<p>Internal Trip Number is required.</p>"},
    {"GRADE", "GRADE_REQ", "<p>Grade is required.</p>"},
}};

}  // namespace

std::vector<std::string> RequiredFieldNames(Host& host) {
    const Post post{host};
    std::vector<std::string> names;
    for (const TimeCheck& check : kTimes) {
        if (post.required(check.flag)) names.push_back(std::string(check.prefix) + "_HOUR");
    }
    for (const NumberCheck& check : kNumbers) {
        if (post.required(check.flag)) names.emplace_back(check.field);
    }
    for (const RequiredField& check : kRequiredFields) {
        if (post.required(check.flag)) names.emplace_back(check.field);
    }
    return names;
}

namespace {

// The entry of the user's customer list that the posted text names.
std::optional<std::string> ListedCustomer(const Host& host, const std::string& posted) {
    const Value list = host.sessionGet(key::CustomersDD);
    if (!list.isArray()) return std::nullopt;
    const TextArray& entries = list.array();
    const int last = std::min(NullToZero(host.sessionGet(key::NumCustomers)), entries.upperBound());
    const std::string wanted = Trim(posted);
    for (int i = 0; i <= last; ++i) {
        if (SameTextNoCase(Trim(entries.at(i)), wanted)) return entries.at(i);
    }
    return std::nullopt;
}

// A new request may only be for a customer the user works for; any other counts as none.
std::string PostedCustomer(const Post& post, bool isNewRequest) {
    const std::string posted = post.field("CUST");
    if (const std::optional<std::string> listed = ListedCustomer(post.host, posted)) return *listed;
    return isNewRequest ? std::string() : posted;
}

std::optional<CheckStop> CheckRequiredFields(const Post& post, bool isNewRequest) {
    for (const RequiredField& required : kRequiredFields) {
        const bool customer = required.field == "CUST";
        const bool missing =
            customer ? Trim(PostedCustomer(post, isNewRequest)).empty() : post.blank(required.field);
        if (missing && post.required(required.flag)) return Stop(required.message);
    }
    return std::nullopt;
}

// ------------------------------------------------------------ customer, fund

std::optional<CheckStop> CheckCustomer(AppObject& app, const Post& post, bool isNewRequest,
                                       CheckedRequest& values) {
    // An entry of the list is "<code>, <name>": a text without a comma names no customer.
    const std::string text = PostedCustomer(post, isNewRequest);
    const std::size_t comma = text.find(',');
    const std::string code = comma == std::string::npos ? std::string() : text.substr(0, comma);
    // Not looked up: the request's customer fields keep their defaults.
    if (Trim(code).empty()) {
        values.customerCode = std::string(1, ' ');  // not from a literal: GCC 12 warns wrongly (-Wrestrict)
        return std::nullopt;
    }
    values.customerCode = code;
    if (!getcust(app, code)) return CheckStop{};
    return std::nullopt;
}

std::optional<CheckStop> CheckFund(AppObject& app, const Post& post, CheckedRequest& values) {
    values.fundCode = Trim(BeforeFirstComma(Trim(post.field("FUND"))));
    if (SameText(app.host.appGet(key::FundDD), "True") || values.fundCode.empty()) return std::nullopt;
    const std::string description = getFundDesc(app, values.fundCode, Trim(values.customerCode));
    if (ErrorTextIsSet()) return CheckStop{};
    if (description != "NOFUND") return std::nullopt;
    strErrorText = std::string(kFundInvalid);
    return CheckStop{};
}

// ------------------------------------------------------------- departure day

std::optional<CheckStop> CheckNotice(Host& host, double departureDate) {
    const std::int32_t days = CLng(host.appGet(key::LeadTime));
    if (days <= 0 || departureDate > DateAddDays(Today(), days)) return std::nullopt;
    const std::string needs = " needs to have " + std::to_string(days) + std::string(kNoticeHead);
    const bool hard = SameText(host.appGet(key::LeadTimeHardWarn), "True");
    const bool mayOverride = SameText(host.sessionGet(key::CanOverrideDepartureDate), "True");
    if (hard && !mayOverride) {
        return CheckStop{"<p>Sorry, transportation" + needs +
                         "Your trip will not be saved. Please use your browser's back button, change the "
                         "departure date and try again.</p>"};
    }
    const std::string outcome =
        hard ? "You have been given special authority to enter a late trip.  Your trip will "
               "be saved but may not be accepted by transportation because it was "
               "submitted too late."
             : "Your trip will be saved, but may not be accepted by transportation "
               "because it was submitted too late.";
    SetWarning(host, kDepartureWarning, "WARNING - Transportation" + needs + outcome);
    return std::nullopt;
}

std::optional<CheckStop> CheckTripsPerDay(Host& host, double departureDate) {
    const std::int32_t limit = CLng(host.appGet(key::TotalTripsLimit));
    if (limit <= 0) return std::nullopt;
    const DayTripCounter counter;
    if (!counter.ready() || counter.tripsOn(departureDate) < limit) return std::nullopt;
    const std::string message = TextOf(host.appGet(key::TotalTripsLimitMessage));
    if (SameText(host.appGet(key::TotalTripsHardWarn), "True")) {
        return CheckStop{"<p>WARNING - Your Trip Request will not be saved.  " + message + "</p>"};
    }
    SetWarning(host, kDepartureWarning, "WARNING - " + message);
    return std::nullopt;
}

}  // namespace

CheckOutcome CheckPostedRequest(AppObject& app, PageResources& db, bool isNewRequest) {
    Host& host = app.host;
    const Post post(host);
    CheckedRequest values;
    using Step = std::function<std::optional<CheckStop>()>;
    const std::array<Step, 10> steps{
        [&] {
            ClearWarning(host, kDepartureWarning);
            return CheckDepartureDate(post, values);
        },
        [&] { return CheckReturnDate(post, values); },
        [&] { return CheckCalendar(host, values.departureDate, kDepartureWarning, "Departure Date, "); },
        [&] {
            ClearWarning(host, kReturnWarning);
            return CheckCalendar(host, values.returnDate, kReturnWarning, "Return Date,  ");
        },
        [&] { return CheckTimes(post, values); },
        [&] { return CheckNumbers(post, values); },
        [&] { return CheckRequiredFields(post, isNewRequest); },
        // A failed calendar look-up left its error text: opening stops on it.
        [&] { return db.open() ? std::nullopt : std::optional(CheckStop{}); },
        [&] { return CheckCustomer(app, post, isNewRequest, values); },
        [&] { return CheckFund(app, post, values); },
    };
    for (const Step& step : steps) {
        if (std::optional<CheckStop> stop = step()) return *stop;
    }
    return values;
}

std::optional<CheckStop> CheckDepartureDay(AppObject& app, double departureDate) {
    if (std::optional<CheckStop> stop = CheckNotice(app.host, departureDate)) return stop;
    return CheckTripsPerDay(app.host, departureDate);
}

bool TripsPerDayLimited(const Host& host) {
    const Value limit = host.appGet(key::TotalTripsLimit);
    return IsNumeric(limit) && CDbl(limit) > 0;
}

}  // namespace excursa
