// Saving a new trip request end to end through the in-memory host, with every check switched on
// (required fields, calendar notes, notice, trips per day, customer and fund), the insert, the
// chain and the authority rule, and the saved request shown again; mail switched off. Run with
// 1,000 and with 100,000 requests stored: the save must not slow down with the table.
#include "frame/memory_host.h"
#include "items.h"
#include "startup/items.h"

#include "support/browser_steps.h"
#include "support/test_site.h"

#include <benchmark/benchmark.h>

#include <string>
#include <utility>
#include <vector>

namespace excursa {
namespace {

constexpr const char* kRequired[] = {"REQUEST_DATE_REQUIRED", "FUND_REQUIRED",   "CUSTOMER_REQUIRED",
                                     "CONTACT_REQ",           "DESTINATION_REQ", "DEPDATE_REQ",
                                     "DEPTIME_REQ",           "RETDATE_REQ",     "RETTIME_REQ",
                                     "ARRIVETIME_REQ",        "LEAVETIME_REQ",   "ESTMILE_REQ",
                                     "ESTTIME_REQ",           "NUMSTUDENTS_REQ", "NUMADULTS_REQ",
                                     "NUMWHEEL_REQ",          "PURPOSE_REQ",     "DESTSPEC_REQ",
                                     "CUSTSPEC_REQ",          "TRIPCOM_REQ",     "PO_REQ",
                                     "TRIPCAT_REQ",           "INTTRIPNUM_REQ",  "GRADE_REQ"};

std::string DistrictRows() {
    std::string required = "INSERT INTO TRIPREQ_REQUIRED (";
    std::string ones;
    for (const char* flag : kRequired) {
        required += std::string(flag) + ",";
        ones += "1,";
    }
    required.back() = ')';
    ones.back() = ')';
    std::string sql =
        required + " VALUES (" + ones +
        ";"
        "INSERT INTO District (DISTNAME, FUND_DD, USECUSTFUND, DEPDT_LEADTIME, DEPDT_LEADTIME_HARDWARN, "
        "TOTAL_TRIPS_LIMIT, TOTAL_TRIPS_LIMIT_MESSAGE, TOTAL_TRIPS_HARDWARN, DEFAULT_CALCNUMDRIVER, "
        "DEFAULTVTYPE) "
        "VALUES ('Lakemont School District', 0, 1, 14, 1, 6, 'The day is full.', 0, 1, 'BUS72');"
        "INSERT INTO EMAIL_OPTIONS (REQ_EXCURSA_CHANGE, ADM_EXCURSA_CHANGE, APP_EXCURSA_CHANGE) VALUES (0, "
        "0, 0);"
        "INSERT INTO BILLRATE (BILLRATE, AMOUNT1, AMOUNTTXT1) VALUES (3, 12.5, 'Per mile');";
    for (int i = 1; i <= 40; ++i) {
        const std::string n = std::to_string(i);
        sql +=
            "INSERT INTO CUSTOMER (CUSTOMER, CUSTNAME, ACTIVE, CHAINID, CUSTBILLRATE, REQUESTOR_EMAIL) "
            "VALUES ('S" +
            n + "', 'School " + n + "', 1, 'CH1', 3, 's" + n + "@lakemont.example');";
        sql += "INSERT INTO CUSTOMER_FUND (CUSTOMER, FUND) VALUES ('S" + n + "', 'F" +
               std::to_string(i % 30) + "');";
        sql +=
            "INSERT INTO CUSTOMER_TRIPCAT (CUSTOMER, TRIPCAT, CHAINID) VALUES ('S" + n + "', 'C1', 'CH1');";
    }
    for (int i = 1; i <= 150; ++i) {
        const std::string n = std::to_string(i);
        sql += "INSERT INTO DESTINATION (DESTINATION, DESTDESC, DESTADD1, MILES, ACTIVE) VALUES (" + n +
               ", 'Destination number " + n + "', '" + n + " Main Street', 20, 1);";
    }
    for (int i = 0; i < 30; ++i) {
        sql += "INSERT INTO FUND (FUND, FUNDDESC, ACTIVE) VALUES ('F" + std::to_string(i) + "', 'Fund " +
               std::to_string(i) + "', 1);";
    }
    for (int i = 0; i < 10; ++i) {
        sql += "INSERT INTO TRIPCAT (TRIPCAT, DESCRIPTION, ACTIVE) VALUES ('C" + std::to_string(i) +
               "', 'Category " + std::to_string(i) + "', 1);";
    }
    sql += "INSERT INTO GRADE (GRADE, ACTIVE) VALUES ('K', 1);";
    // A school year of calendar notes, and a year of scheduled trips.
    sql +=
        "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < 180) "
        "INSERT INTO Big_CalCalNotes (NoteDate, NoteText, NoteLongText, NoteSeverity) "
        "SELECT strftime('%Y-%m-%d 00:00:00', 'now', '+' || (i * 2) || ' days'), 'Note', 'Long note', i % 4 "
        "FROM n;"
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3000) "
        "INSERT INTO TRIPS (TRIPREQNUM, CUSTOMER, DEPDATE, CANCELED) "
        "SELECT i, 'S' || (i % 40 + 1), strftime('%Y-%m-%d 00:00:00', 'now', '+' || (i % 365) || ' days'), "
        "i % 9 = 0 FROM n;";
    return sql;
}

// `count` requests spread over three years, in every status.
std::string StoredRequests(long count) {
    return "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
           std::to_string(count) +
           ") INSERT INTO TRIPSREQ (CUSTOMER, CONTACT, DESTINATION, DESTDESC, DEPDATE, RETDATE, DEPTIME, "
           "NUMSTUDENTS, NUMADULTS, FUND, TRIPCAT, STATUS, CHAINID, ENTEREDBY, REQDATE) SELECT 'S' || (i % "
           "40 + 1), "
           "'Pat Doe ' || i, i % 150 + 1, 'Destination number ' || (i % 150 + 1), "
           "strftime('%Y-%m-%d 00:00:00', 'now', '+' || (i % 1095 - 365) || ' days'), "
           "strftime('%Y-%m-%d 00:00:00', 'now', '+' || (i % 1095 - 365) || ' days'), '1899-12-30 08:30:00', "
           "40, 4, 'F7', 'C1', CASE i % 4 WHEN 0 THEN 'UNAPPROVED' WHEN 1 THEN 'Principal OK' WHEN 2 THEN "
           "'Denied' "
           "ELSE 'ACCEPTED' END, 'CH1', 'teacher', '2026-01-01 10:00:00' FROM n;";
}

std::vector<std::pair<std::string, std::string>> NewRequestForm() {
    // A departure day well beyond the notice, on no calendar note (those fall on even days from today).
    const double departure = DateAddDays(Today(), 61);
    return {{"btnSubmit", "Save"},
            {"New", "NEW"},
            {"cust", "S7, School 7"},
            {"Contact", "Ms. Lee"},
            {"RequestorEmail", "lee@s7.example"},
            {"dest", "42"},
            {"fund", "F7"},
            {"Dep_month", MonthName(Month(departure), true)},
            {"Dep_date", std::to_string(Day(departure))},
            {"Dep_year", std::to_string(Year(departure))},
            {"chkDefaultReturnDate", "ON"},
            {"DEP_HOUR", "9"},
            {"DEP_MIN", "15"},
            {"DEP_AMPM", "AM"},
            {"RET_HOUR", "2"},
            {"RET_MIN", "30"},
            {"RET_AMPM", "PM"},
            {"ARRIVE_HOUR", "10"},
            {"ARRIVE_MIN", "0"},
            {"ARRIVE_AMPM", "AM"},
            {"LEAVE_HOUR", "1"},
            {"LEAVE_MIN", "30"},
            {"LEAVE_AMPM", "PM"},
            {"NUMADULTS", "3"},
            {"NUMSTUDENTS", "25"},
            {"NUMHAND", "1"},
            {"ESTTIME", "5.5"},
            {"ESTMILE", "40"},
            {"PURPOSE", "Science"},
            {"CUSTSPEC", "Bring lunches"},
            {"DESTSPEC", "Gate B"},
            {"TRIPCOM", "Two buses"},
            {"PO", "PO-1"},
            {"INTTRIPNUM", "M-7"},
            {"tripcat", "C1"},
            {"grade", "K"}};
}

void BM_SaveNewRequest(benchmark::State& state) {
    testing::TestSite site;
    site.sql("twvlsc1.db",
             "INSERT INTO VLSCU (VLSC1, VLSC2, ROLE, CUSTOMER, SCEXFOVD, SCEXDDFT) VALUES "
             "('teacher', 'pw', 'TEACHER', 'S7', 0, 0);"
             "INSERT INTO VLSCC (CHAINID, LEVEL1APPROVER, Level2Approver, Level1Status, Level2Status) "
             "VALUES ('CH1', 'PRIN', 'DIST', 'Principal OK', 'District OK');");
    site.sql("trip.db", DistrictRows());
    site.sql("Tripschl.db", StoredRequests(state.range(0)));
    WebItemRegistry items = ExcursaItems();
    items.add({.name = "RequestSearch", .respond = [](AppObject&) {}});
    WebApplication app(std::move(items), WebClass_Start, site.www());
    app.warmUp();
    MemoryHost browser(app);
    testing::SignIn(browser, "teacher", testing::kEnterNewRequest);
    const auto form = NewRequestForm();
    std::size_t bytes = 0;
    for (auto _ : state) {
        app.sessions().acquire(browser.sessionId()).session->values.set("RequestDetail.New", "NEW");
        const ResponseData response =
            browser.post("ExcursaLakemont.asp?WCI=RequestDetail&WCE=TripRequestDetail&WCU", form);
        bytes = response.body.size();
        benchmark::DoNotOptimize(response.body.data());
    }
    // A stop message or an error text would be a few hundred bytes; the saved request's form is far more.
    if (bytes < 20000) state.SkipWithError("the request was not saved");
    state.counters["stored_requests"] = static_cast<double>(state.range(0));
}
BENCHMARK(BM_SaveNewRequest)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace excursa
