#include "request/save_fixture.h"

#include "config/settings.h"
#include "data/connections.h"
#include "request/day_trip_counter.h"
#include "support/message_page.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace excursa {
namespace {

using testing::Form;
using testing::NewForm;
using testing::SaveFixture;
using testing::SetDate;
using testing::SetTime;
using testing::StoredForm;

constexpr const char* kDepartureMessage = "<p>Please enter a valid departure date.</p>";
constexpr const char* kReturnMessage = "<p>Please enter a valid return date.</p>";
constexpr const char* kLateNotice =
    "Transportation needs to have 5 days advance notice of all trip requests. The departure date on this "
    "request "
    "does not provide for adequate notice. ";

// Days of the calendar notes.
double ClosedDay() { return DateAddDays(testing::FarDeparture(), 1); }
double WarnDay() { return DateAddDays(testing::FarDeparture(), 2); }
double MarkupDay() { return DateAddDays(testing::FarDeparture(), 3); }

class ChecksTest : public SaveFixture {
protected:
    ChecksTest() {
        site_.sql("trip.db",
                  "INSERT INTO Big_CalCalNotes (NoteDate, NoteText, NoteLongText, NoteSeverity) VALUES ('" +
                      StoredDateText(ClosedDay()) + "', ' Snow day ', 'Buses stay home', 3), ('" +
                      StoredDateText(WarnDay()) + "', 'Field day', ' Bring water ', 2), ('" +
                      StoredDateText(MarkupDay()) +
                      "', 'Gym & <Pool>', 'Closed', 3);"
                      "UPDATE District SET TOTAL_TRIPS_LIMIT_MESSAGE = 'Full.';");
        makeApp();
    }

    // Posts the form for a new request as `user`; the settings are made first.
    ResponseData save(const Form& form, const std::string& user = "teacher") {
        last_ = std::make_unique<MemoryHost>(*app_);
        newRequest(*last_, user);
        return post(*last_, form);
    }
    std::string warning(const std::string& key) { return sessionText(*last_, key); }

    std::unique_ptr<MemoryHost> last_;
};

Form With(const std::function<void(Form&)>& change) {
    Form form = NewForm();
    change(form);
    return form;
}

std::string DayText(double day) { return DateText(day); }

struct StopCase {
    const char* what;
    std::vector<std::pair<std::string, Value>> settings;
    Form form;
    std::string expected;
};

TEST_F(ChecksTest, EachStopWritesItsMessageAndStoresNothing) {
    const auto required = [](const std::string& flag) {
        return std::vector<std::pair<std::string, Value>>{{"TRIP_REQ_REQUIRED." + flag, "True"}};
    };
    std::vector<StopCase> cases{
        {"no button", {}, NewForm().set("btnSubmit", ""), kDepartureMessage},
        {"departure month blank", {}, NewForm().set("Dep_month", " "), kDepartureMessage},
        {"departure day blank", {}, NewForm().set("Dep_date", ""), kDepartureMessage},
        {"departure year blank", {}, NewForm().set("Dep_year", ""), kDepartureMessage},
        {"no such departure date",
         {},
         NewForm().set("Dep_month", "Feb").set("Dep_date", "30"),
         kDepartureMessage},
        {"return month blank",
         {},
         NewForm().erase("chkDefaultReturnDate").set("Rtn_date", "16"),
         kReturnMessage},
        {"return day blank",
         {},
         NewForm().set("chkDefaultReturnDate", "off").set("Rtn_month", "Jun"),
         kReturnMessage},
        {"no such return date",
         {},
         NewForm()
             .erase("chkDefaultReturnDate")
             .set("Rtn_month", "Jun")
             .set("Rtn_date", "31")
             .set("Rtn_year", "2030"),
         kReturnMessage},
        {"departure on a closed day",
         {},
         With([](Form& f) { SetDate(f, "Dep", ClosedDay()); }),
         "<p>Departure Date, " + DayText(ClosedDay()) + ", DAY CLOSED - Snow day.  Buses stay home</p>"},
        {"a closed day's note is a stored text",
         {},
         With([](Form& f) { SetDate(f, "Dep", MarkupDay()); }),
         "<p>Departure Date, " + DayText(MarkupDay()) + ", DAY CLOSED - Gym &amp; &lt;Pool&gt;.  Closed</p>"},
        {"return on a closed day",
         {},
         With([](Form& f) {
             f.erase("chkDefaultReturnDate");
             SetDate(f, "Rtn", ClosedDay());
         }),
         "<p>Return Date,  " + DayText(ClosedDay()) + ", DAY CLOSED - Snow day.  Buses stay home</p>"},
        {"departure time", required("DEPTIME_REQ"), NewForm().set("DEP_HOUR", " "),
         "<p>Departure Time is required.</p>"},
        {"return time", required("RETTIME_REQ"), NewForm().set("RET_HOUR", ""),
         "<p>Return Time is required.</p>"},
        {"arrival time", required("ARRIVETIME_REQ"), NewForm(), "<p>Arrive Time is required.</p>"},
        {"leaving time", required("LEAVETIME_REQ"), NewForm(), "<p>Leave Time is required.</p>"},
        {"adults", required("NUMADULTS_REQ"), NewForm().set("NUMADULTS", " "),
         "<p>Number of adults is required.</p>"},
        {"students", required("NUMSTUDENTS_REQ"), NewForm().set("NUMSTUDENTS", ""),
         "<p>Number of students is required.</p>"},
        {"wheel chairs", required("NUMWHEEL_REQ"), NewForm().set("NUMHAND", ""),
         "<p>Number of wheel chairs is required.</p>"},
        {"estimated time", required("ESTTIME_REQ"), NewForm().set("ESTTIME", ""),
         "<p>Estimated Time is required.</p>"},
        {"estimated miles", required("ESTMILE_REQ"), NewForm().set("ESTMILE", ""),
         "<p>Estimated Miles is required.</p>"},
        {"adults not a number",
         {},
         NewForm().set("NUMADULTS", "12a"),
         "<p>Please enter a valid number of adults (or 0) in the # of Adults field.</p>"},
        {"students not a number",
         {},
         NewForm().set("NUMSTUDENTS", "lots"),
         "<p>Please enter a valid number of students (or 0) in the # of Students field.</p>"},
        {"handicapped not a number",
         {},
         NewForm().set("NUMHAND", "x"),
         "<p>Please enter a valid number of handicapped students (or 0) in the # of Handicap.</p>"},
        {"hours not a number",
         {},
         NewForm().set("ESTTIME", "2h"),
         "<p>Please enter a valid number of hours (or 0) in the Estimated Time.</p>"},
        {"miles not a number",
         {},
         NewForm().set("ESTMILE", "far"),
         "<p>Please enter a valid number of miles (or 0) in the Estimated Miles.</p>"},
        {"destination", required("DESTINATION_REQ"), NewForm().set("dest", ""),
         "<p>Destination is required.</p>"},
        {"contact", required("CONTACT_REQ"), NewForm().set("Contact", " "), "<p>Contact is required.</p>"},
        {"customer", required("CUSTOMER_REQ"), NewForm().set("cust", ""), "<p>Customer is required.</p>"},
        {"fund", required("FUND_REQ"), NewForm().set("fund", ""), "<p>Fund is required.</p>"},
        {"purpose", required("PURPOSE_REQ"), NewForm().set("PURPOSE", ""), "<p>Purpose is required.</p>"},
        {"destination's instructions", required("DESTSPEC_REQ"), NewForm().set("DESTSPEC", ""),
         "<p>Destination Special Instructions are required.</p>"},
        {"customer's instructions", required("CUSTSPEC_REQ"), NewForm().set("CUSTSPEC", ""),
         "<p>Customer Special Instructions are required.</p>"},
        {"comment", required("TRIPCOM_REQ"), NewForm().set("TRIPCOM", ""),
         "<p>Trip Comment is required.</p>"},
        {"purchase order", required("PO_REQ"), NewForm().set("PO", ""), "<p>PO required.</p>"},
        {"category", required("TRIPCAT_REQ"), NewForm().set("tripcat", ""),
         "<p>Trip Category is required.</p>"},
        {"own trip number", required("INTTRIPNUM_REQ"), NewForm().set("INTTRIPNUM", ""),
         "<p>Internal Trip Number is required.</p>"},
        {"grade", required("GRADE_REQ"), NewForm().set("grade", ""), "<p>Grade is required.</p>"},
        {"the first failing check wins", required("CONTACT_REQ"),
         NewForm().set("Contact", "").set("NUMADULTS", "x"),
         "<p>Please enter a valid number of adults (or 0) in the # of Adults field.</p>"},
        {"no such fund",
         {},
         NewForm().set("fund", "NOPE"),
         "Fund is invalid,  Please select a valid fund.  Use your browser's back button and try again.  "},
        {"a closed fund",
         {},
         NewForm().set("fund", "OLD"),
         "Fund is invalid,  Please select a valid fund.  Use your browser's back button and try again.  "},
        {"not the customer's fund",
         {{"DISTRICT.USECUSTFUND", "True"}},
         NewForm().set("fund", "GEN"),
         "Fund is invalid,  Please select a valid fund.  Use your browser's back button and try again.  "},
        {"too late, no right to override",
         {{"DISTRICT.DEPDT_LEADTIME", Value::Long(5)}, {"DISTRICT.DEPDT_LEADTIME_HARDWARN", "True"}},
         With([](Form& f) { SetDate(f, "Dep", DateAddDays(Today(), 3)); }),
         "<p>Sorry, transportation needs to have 5 days advance notice of all trip requests. The departure "
         "date on "
         "this request does not provide for adequate notice. Your trip will not be saved. Please use your "
         "browser's "
         "back button, change the departure date and try again.</p>"},
        {"the day is full",
         {{"DISTRICT.TOTAL_TRIPS_LIMIT", Value::Long(2)}, {"DISTRICT.TOTAL_TRIPS_HARDWARN", "True"}},
         NewForm(),
         "<p>WARNING - Your Trip Request will not be saved.  Full.</p>"},
        {"a minute that is no number",
         {},
         NewForm().set("DEP_MIN", "half"),
         "Error in Procedure: RequestDetail_TripRequestDetail of Module: Excursa.  Error: 13.  Type "
         "mismatch."},
        {"a limit that is no number",
         {{"DISTRICT.TOTAL_TRIPS_LIMIT", "many"}},
         NewForm(),
         "Error in Procedure: RequestDetail_TripRequestDetail of Module: Excursa.  Error: 13.  Type "
         "mismatch."},
    };
    for (const StopCase& c : cases) {
        SCOPED_TRACE(c.what);
        makeApp();
        for (const auto& [key, value] : c.settings) setting(key, value);
        const long count = requestCount();
        EXPECT_EQ(testing::WrittenText(save(c.form).body), c.expected);
        EXPECT_EQ(requestCount(), count);
    }
}

struct WarningCase {
    const char* what;
    const char* user;
    std::vector<std::pair<std::string, Value>> settings;
    Form form;
    std::string departureWarning;  // "" for none
    std::string returnWarning;
};

TEST_F(ChecksTest, EachWarningIsHeldForTheFormAndTheRequestIsSaved) {
    const std::string amPm = "Are you sure you have the AM/PM correct? Departure time is scheduled for ";
    const auto departingAt = [](const char* hour, const char* minute, const char* half) {
        return With([=](Form& f) { SetTime(f, "DEP", hour, minute, half); });
    };
    const std::vector<std::pair<std::string, Value>> lateSoft{{"DISTRICT.DEPDT_LEADTIME", Value::Long(5)},
                                                              {"DISTRICT.DEPDT_LEADTIME_HARDWARN", "False"}};
    const Form late = With([](Form& f) { SetDate(f, "Dep", DateAddDays(Today(), 3)); });
    const std::vector<WarningCase> cases{
        {"none", "teacher", {}, NewForm(), "", ""},
        {"departure on a note's day (and the return, the same day)",
         "teacher",
         {},
         With([](Form& f) { SetDate(f, "Dep", WarnDay()); }),
         "WARNING - Field day.  Bring water",
         "WARNING - Field day.  Bring water"},
        {"return on a note's day",
         "teacher",
         {},
         With([](Form& f) {
             f.erase("chkDefaultReturnDate");
             SetDate(f, "Rtn", WarnDay());
         }),
         "",
         "WARNING - Field day.  Bring water"},
        {"12:00 AM is before 5:00 AM",
         "teacher",
         {},
         departingAt("12", "0", "AM"),
         "",
         "WARNING - " + amPm + "12:00:01 AM"},
        {"11:00 PM", "teacher", {}, departingAt("11", "0", "PM"), "", ""},
        {"11:01 PM", "teacher", {}, departingAt("11", "01", "PM"), "", "WARNING - " + amPm + "11:01:00 PM"},
        {"5:00 AM", "teacher", {}, departingAt("5", "00", "AM"), "", ""},
        {"4:59 AM", "teacher", {}, departingAt("4", "59", "AM"), "", "WARNING - " + amPm + "4:59:00 AM"},
        {"no departure time", "teacher", {}, NewForm().set("DEP_HOUR", ""), "", ""},
        {"AM/PM after a return note",
         "teacher",
         {},
         With([](Form& f) {
             f.erase("chkDefaultReturnDate");
             SetDate(f, "Rtn", WarnDay());
             SetTime(f, "DEP", "4", "0", "AM");
         }),
         "",
         "WARNING - Field day.  Bring water.  AM/PM WARNING - " + amPm + "4:00:00 AM"},
        {"too late, soft setting", "teacher", lateSoft, late,
         std::string("WARNING - ") + kLateNotice +
             "Your trip will be saved, but may not be accepted by transportation because it was submitted "
             "too late.",
         ""},
        {"too late, hard setting, with the right to override",
         "office",
         {{"DISTRICT.DEPDT_LEADTIME", Value::Long(5)}, {"DISTRICT.DEPDT_LEADTIME_HARDWARN", "True"}},
         late,
         std::string("WARNING - ") + kLateNotice +
             "You have been given special authority to enter a late trip.  Your trip will be saved but may "
             "not be "
             "accepted by transportation because it was submitted too late.",
         ""},
    };
    for (const WarningCase& c : cases) {
        SCOPED_TRACE(c.what);
        makeApp();
        for (const auto& [key, value] : c.settings) setting(key, value);
        const long count = requestCount();
        const std::string page = save(c.form, c.user).body;
        EXPECT_EQ(requestCount(), count + 1) << page.substr(0, 300);
        EXPECT_EQ(warning("blnDepDtWarn"), c.departureWarning.empty() ? "False" : "True");
        EXPECT_EQ(warning("strDepDtWarn"), c.departureWarning);
        EXPECT_EQ(warning("blnRtnDtWarn"), c.returnWarning.empty() ? "False" : "True");
        EXPECT_EQ(warning("strRtnDtWarn"), c.returnWarning);
        if (!c.departureWarning.empty()) {
            EXPECT_NE(page.find("Departure -" + c.departureWarning), std::string::npos)
                << "shown on the form";
        }
    }
}

TEST_F(ChecksTest, FullDayWarningReplacesTheNoticeWarning) {
    setting("DISTRICT.DEPDT_LEADTIME", Value::Long(5));
    setting("DISTRICT.TOTAL_TRIPS_LIMIT", Value::Long(1));
    const double soon = DateAddDays(Today(), 3);
    site_.sql("Tripschl.db",
              "UPDATE TRIPSREQ SET DEPDATE = '" + StoredDateText(soon) + "' WHERE TRIPNUM = 1");
    save(With([&](Form& f) { SetDate(f, "Dep", soon); }));
    EXPECT_EQ(warning("strDepDtWarn"), "WARNING - Full.");
}

TEST_F(ChecksTest, NoticeCountsWholeDaysAfterToday) {
    setting("DISTRICT.DEPDT_LEADTIME", Value::Long(5));
    setting("DISTRICT.DEPDT_LEADTIME_HARDWARN", "True");
    const long count = requestCount();
    EXPECT_NE(save(With([](Form& f) {
                  SetDate(f, "Dep", DateAddDays(Today(), 5));
              })).body.find("Sorry, transportation"),
              std::string::npos)
        << "today + 5 is too late";
    EXPECT_EQ(requestCount(), count);
    save(With([](Form& f) { SetDate(f, "Dep", DateAddDays(Today(), 6)); }));
    EXPECT_EQ(requestCount(), count + 1);
}

TEST_F(ChecksTest, UnchangedDepartureDateIsNotCheckedAgain) {
    const double soon = DateAddDays(Today(), 1);
    site_.sql("Tripschl.db",
              "UPDATE TRIPSREQ SET DEPDATE = '" + StoredDateText(soon) + "' WHERE TRIPNUM = 1");
    setting("DISTRICT.DEPDT_LEADTIME", Value::Long(5));
    setting("DISTRICT.DEPDT_LEADTIME_HARDWARN", "True");
    setting("DISTRICT.TOTAL_TRIPS_LIMIT", Value::Long(1));
    setting("DISTRICT.TOTAL_TRIPS_HARDWARN", "True");
    MemoryHost browser(*app_);
    signIn(browser, "teacher");
    open(browser, 1);
    Form same = StoredForm(1).set("PURPOSE", "Still soon");
    SetDate(same, "Dep", soon);
    post(browser, same);
    EXPECT_EQ(column(1, "PURPOSE"), "Still soon");

    Form moved = StoredForm(1).set("PURPOSE", "Moved");
    SetDate(moved, "Dep", DateAddDays(Today(), 2));
    EXPECT_EQ(
        testing::WrittenText(post(browser, moved)).rfind("<p>Sorry, transportation needs to have 5 days", 0),
        0u);
    EXPECT_EQ(column(1, "PURPOSE"), "Still soon");
}

TEST_F(ChecksTest, AnyFundTextPassesWithTheFundDropDown) {
    setting("DISTRICT.FUND_DD", "True");
    save(NewForm().set("fund", "NOPE, whatever"));
    EXPECT_EQ(column(lastRequest(), "FUND"), "NOPE");
}

TEST_F(ChecksTest, StopAfterTheFirstStepLeavesTheDepartureWarningCleared) {
    MemoryHost browser(*app_);
    newRequest(browser, "teacher");
    session(browser).set("blnDepDtWarn", Value::Boolean(true));
    session(browser).set("strDepDtWarn", "old warning");
    session(browser).set("blnRtnDtWarn", Value::Boolean(true));
    post(browser, NewForm().set("Dep_date", "32"));
    EXPECT_EQ(sessionText(browser, "blnDepDtWarn"), "False");
    EXPECT_EQ(sessionText(browser, "strDepDtWarn"), "");
    EXPECT_EQ(sessionText(browser, "blnRtnDtWarn"), "True")
        << "the return warning is cleared only at its step";
}

// ------------------------------------------------------------- the day count

class DayTripCounterTest : public SaveFixture {};

TEST_F(DayTripCounterTest, CountsTripsAndWaitingRequestsOfTheDay) {
    const std::string day = StoredDateText(DateSerial(2031, 3, 5));
    const std::string otherDay = StoredDateText(DateSerial(2031, 3, 6));
    site_.sql("trip.db", "INSERT INTO TRIPS (DEPDATE, CANCELED) VALUES ('" + day + "', 0), ('" + day +
                             "', NULL), ('" + day + "', 1), ('" + otherDay +
                             "', 0), ('2031-03-05 08:30:00', 0);");
    site_.sql("Tripschl.db", "INSERT INTO TRIPSREQ (DEPDATE, STATUS, FIELDTRIP_NUM) VALUES ('" + day +
                                 "', 'UNAPPROVED', NULL), ('" + day + "', NULL, 0), ('" + day +
                                 "', 'Denied', NULL), ('" + day + "', ' denied ', NULL), ('" + day +
                                 "', 'ACCEPTED', 12), ('" + otherDay + "', 'Pending', NULL);");
    SetTripPaths();
    const DayTripCounter counter;
    EXPECT_FALSE(counter.ready()) << "the databases are not open";
    SetTripDBConnections();
    ASSERT_TRUE(counter.ready());
    EXPECT_EQ(counter.tripsOn(DateSerial(2031, 3, 5)), 5)
        << "3 trips not cancelled (one stored with its time of day), 2 requests waiting";
    EXPECT_EQ(counter.tripsOn(DateSerial(2031, 3, 5) + 0.5), 5) << "the day, whatever the time asked";
    EXPECT_EQ(counter.tripsOn(DateSerial(2031, 3, 7)), 0);
    CloseTripDBConnections();
}

}  // namespace
}  // namespace excursa
