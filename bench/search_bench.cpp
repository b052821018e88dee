// The searches and reports over a district of 100,000 requests and 20,000 trips, end to end through
// the in-memory host: the approver's worklist, a criteria search of 300 rows, and pages of the
// paged reports (the cost of a page should not grow with its number).
#include "frame/memory_host.h"
#include "items.h"
#include "startup/items.h"

#include "support/test_site.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

namespace excursa {
namespace {

constexpr int kRequests = 100000;
constexpr int kTrips = 20000;
constexpr int kCustomers = 40;

std::string ReferenceRows() {
    std::string sql =
        "INSERT INTO District (DISTNAME, AUTOFILL_REQUESTS, AUTOFILL, VIEW_OTHER_SCHOOLS) VALUES "
        "('Lakemont', 1, 1, "
        "0);"
        "INSERT INTO DIVISION (DIVISION, DESCRIPTION, ACTIVE) VALUES ('N', 'North', 1), ('S', 'South', 1);"
        "INSERT INTO TRIPREQSTATUS (STATUS, DESCRIPTION, ACTIVE) VALUES ('UNAPPROVED', 'a', 1), ('Pending', "
        "'b', 1),"
        "('PRIN OK', 'c', 1);";
    for (int i = 1; i <= kCustomers; ++i) {
        const std::string n = std::to_string(i);
        sql += "INSERT INTO CUSTOMER (CUSTOMER, CUSTNAME, CUSTDIV, ACTIVE) VALUES ('S" + n + "', 'School " +
               n + "', '" + (i % 2 ? "N" : "S") + "', 1);";
    }
    for (int i = 1; i <= 150; ++i) {
        const std::string n = std::to_string(i);
        sql += "INSERT INTO DESTINATION (DESTINATION, DESTDESC, ACTIVE) VALUES (" + n +
               ", 'Destination number " + n + "', 1);";
    }
    return sql;
}

// Request n belongs to school n % 40 + 1; of each school's requests (j = n / 40) three in 25 are
// Pending and one in 25 waits for the principal, the rest are further along.
constexpr const char* kRequestRows =
    "WITH RECURSIVE k(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM k WHERE n < 100000) "
    "INSERT INTO TRIPSREQ (TRIPNUM, CUSTOMER, CONTACT, DESTINATION, DESTDESC, DEPDATE, RETDATE, DEPTIME, "
    "RETTIME, "
    "ARRIVETIME, LEAVETIME, NUMSTUDENTS, NUMADULTS, FUND, PURPOSE, GRADE, TRIPCAT, INTTRIPNUM, STATUS, "
    "CHAINID, "
    "REQDATE, ENTERDATE, STATUS_DATE) "
    "SELECT n, 'S' || (n % 40 + 1), 'Contact ' || n, n % 150 + 1, 'Destination number ' || (n % 150 + 1), "
    "date('2024-09-01', '+' || (n % 700) || ' days') || ' 00:00:00', "
    "date('2024-09-01', '+' || (n % 700) || ' days') || ' 00:00:00', "
    "'1899-12-30 0' || (n % 3 + 7) || ':30:00', '1899-12-30 15:00:00', '1899-12-30 09:15:00', "
    "'1899-12-30 14:00:00', 20 + n % 40, 3, 'GEN', 'Field study', 'K', 'EDU', 'I-' || n, "
    "CASE WHEN (n / 40) % 25 < 3 THEN 'Pending' WHEN (n / 40) % 25 = 3 THEN 'UNAPPROVED' ELSE 'PRIN OK' END, "
    "CASE WHEN (n / 40) % 25 < 3 THEN NULL ELSE 'CH1' END, "
    "'2024-08-01 10:00:00', '2024-08-01 10:00:00', '2024-08-02 10:00:00' FROM k;";

constexpr const char* kTripRows =
    "WITH RECURSIVE k(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM k WHERE n < 20000) "
    "INSERT INTO TRIPS (TRIPNUM, TRIPREQNUM, CUSTOMER, BILLCUST, DESTINATION, DEPDATE, DEPTIME, RETDATE, "
    "RETTIME, "
    "ARRIVETIME, LEAVETIME, ESTTIME, ESTMILE, GRADE, FUND, TRIPCAT, CONTACT, PURPOSE, NUMSTUDENTS, "
    "NUMADULTS, "
    "ASSIGNED, BILLED, CANCELED) "
    "SELECT n, n * 5, 'S' || (n % 40 + 1), 'S' || (n % 40 + 1), n % 150 + 1, "
    "date('2024-09-01', '+' || (n % 700) || ' days') || ' 00:00:00', '1899-12-30 08:30:00', "
    "date('2024-09-01', '+' || (n % 700) || ' days') || ' 00:00:00', '1899-12-30 15:00:00', "
    "'1899-12-30 09:15:00', '1899-12-30 14:00:00', 6.5, 42, 'K', 'GEN', 'EDU', 'Contact ' || n, 'Field "
    "study', "
    "20 + n % 40, 3, n % 2, n % 3 = 0, n % 17 = 0 FROM k;"
    "INSERT INTO ARDETAIL (TRIPNUM, TRANCODE, TRANAMT) SELECT TRIPNUM, 'BIL', 250 + TRIPNUM % 100 FROM TRIPS;"
    "INSERT INTO ARDETAIL (TRIPNUM, TRANCODE, TRANAMT) SELECT TRIPNUM, 'PAY', -100 FROM TRIPS WHERE TRIPNUM "
    "% 2 = 0;"
    "INSERT INTO TRIPSPLIT (TRIPNUM, FUND) SELECT TRIPNUM, 'GEN' FROM TRIPS;";

struct LargeDistrict {
    LargeDistrict() {
        site.sql("twvlsc1.db",
                 "INSERT INTO VLSCU (VLSC1, VLSC2, ROLE, CUSTOMER) VALUES ('principal', 'pw', 'PRIN', 'S7'), "
                 "('teacher', 'pw', 'TEACHER', 'S7'), ('office', 'pw', 'TRANSPORT', NULL);"
                 "INSERT INTO VLSCC (CHAINID, Active, LEVEL1APPROVER, Level2Approver, Level1Status) VALUES "
                 "('CH1', 1, 'PRIN', 'DIST', 'PRIN OK'), ('CH2', 1, 'DEPT', 'PRIN', 'DEPT OK');");
        site.sql("trip.db", ReferenceRows());
        site.sql("trip.db", kTripRows);
        site.sql("Tripschl.db", kRequestRows);
        site.sql("Tripschl.db", "ANALYZE");
        site.sql("trip.db", "ANALYZE");
        app = std::make_unique<WebApplication>(ExcursaItems(), WebClass_Start, site.www());
        app->warmUp();
    }
    // Made once for all the benchmarks. It outlives the worker's connections, which go before any
    // static object at exit, so it is never destroyed; only its folder is removed.
    static LargeDistrict& shared() {
        static LargeDistrict* district = [] {
            auto* made = new LargeDistrict();
            static std::filesystem::path folder = made->site.root().path();
            std::atexit([] { std::filesystem::remove_all(folder); });
            return made;
        }();
        return *district;
    }
    std::unique_ptr<MemoryHost> signedIn(const char* user) {
        auto browser = std::make_unique<MemoryHost>(*app);
        browser->post("ExcursaLakemont.asp?WCI=Login&WCE=LoginValidateUser&WCU",
                      {{"user", user}, {"password", "pw"}, {"btnsubmit", "Work With Trip Requests"}});
        return browser;
    }
    std::string session(MemoryHost& browser, const char* key) {
        return TextOf(app->sessions().acquire(browser.sessionId()).session->values.get(key));
    }

    testing::TestSite site;
    std::unique_ptr<WebApplication> app;
};

// A page whose body lacks what it must show is not measured.
void Expect(benchmark::State& state, const std::string& body, const std::string& shown) {
    if (body.find(shown) == std::string::npos) state.SkipWithError(("missing: " + shown).c_str());
}

void BM_ApproverWorklist(benchmark::State& state) {
    LargeDistrict& district = LargeDistrict::shared();
    auto browser = district.signedIn("principal");
    std::string body;
    for (auto _ : state) body = browser->get("ExcursaLakemont.asp?WCI=RequestSearch&WCE&WCU").body;
    Expect(state, body, "<p class=\"result-count\">100 found</p>");
}
BENCHMARK(BM_ApproverWorklist)->Unit(benchmark::kMillisecond);

void BM_CriteriaSearch300Rows(benchmark::State& state) {
    LargeDistrict& district = LargeDistrict::shared();
    auto browser = district.signedIn("teacher");
    std::string body;
    for (auto _ : state) {
        body = browser
                   ->post("ExcursaLakemont.asp?WCI=RequestSearch&WCE=TripRequests&WCU",
                          {{"btnsubmit", "Search"}, {"Status", "Pending"}})
                   .body;
    }
    Expect(state, body, "<p class=\"result-count\">300 found</p>");
}
BENCHMARK(BM_CriteriaSearch300Rows)->Unit(benchmark::kMillisecond);

// Page n of the one-line report of every request of the district, or of every trip.
void ReportPage(benchmark::State& state, const char* report, const char* search) {
    LargeDistrict& district = LargeDistrict::shared();
    auto browser = district.signedIn("office");
    browser->post(std::string("ExcursaLakemont.asp?") + search, {{"btnsubmit", "Search"}});
    browser->get(std::string("ExcursaLakemont.asp?WCI=PrintReport&Type=") +
                 (std::string(report).find("Request") != std::string::npos ? "Request" : "Trip"));
    const std::string page = std::to_string(state.range(0));
    district.app->sessions().acquire(browser->sessionId()).session->values.set("PageNumber", page);
    std::string body;
    for (auto _ : state)
        body = browser->get(std::string("ExcursaLakemont.asp?WCI=") + report + "&WCE&WCU").body;
    Expect(state, body, "Page " + page + "</span>");
}

void BM_RequestReportPage(benchmark::State& state) {
    ReportPage(state, "TripRequestReport1", "WCI=RequestSearch&WCE=TripRequests&WCU");
}
BENCHMARK(BM_RequestReportPage)->Arg(1)->Arg(40)->Arg(4000)->Unit(benchmark::kMillisecond);

void BM_TripReportPage(benchmark::State& state) {
    ReportPage(state, "TripReport1", "WCI=TripSearch&WCE=FieldTrips&WCU");
}
BENCHMARK(BM_TripReportPage)->Arg(1)->Arg(40)->Arg(800)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace excursa
