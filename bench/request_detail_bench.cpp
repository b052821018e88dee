// The trip request form of a stored request, end to end through the in-memory host:
// dispatch, the authority rule, the record, and the real template with every tag.
#include "frame/memory_host.h"
#include "request/items.h"
#include "items.h"
#include "startup/items.h"

#include "support/test_site.h"

#include <benchmark/benchmark.h>

#include <string>

namespace excursa {
namespace {

// A district of a realistic size: 40 schools, 150 destinations, 12 grades, 10 categories, 30 funds.
std::string DistrictRows() {
    std::string sql =
        "INSERT INTO District (DISTNAME, DISTADDR1, DISTCITY, DISTSTATE, DISTZIP, DISTPHONE, "
        "TRIPREQ_COMMENT, "
        "FUND_DD, USECUSTFUND, DEPDT_LEADTIME, DEPDT_LEADTIME_HARDWARN) VALUES ('Lakemont School District', "
        "'1 School Way', 'Lakemont', 'NY', '12345', '555-0100', 'Book two weeks ahead.', 0, 0, 14, 0);"
        "INSERT INTO EMAIL_OPTIONS (REQ_EXCURSA_CHANGE, ADM_EXCURSA_CHANGE, APP_EXCURSA_CHANGE) VALUES (0, "
        "0, 0);";
    for (int i = 1; i <= 40; ++i) {
        const std::string n = std::to_string(i);
        sql += "INSERT INTO CUSTOMER (CUSTOMER, CUSTNAME, ACTIVE, CUSTSPEC, REQUESTOR_EMAIL) VALUES ('S" + n +
               "', 'School " + n + "', 1, 'Use the north door', 's" + n + "@lakemont.example');";
        sql += "INSERT INTO CUSTOMER_FUND (CUSTOMER, FUND) VALUES ('S" + n + "', 'F" +
               std::to_string(i % 30) + "');";
    }
    for (int i = 1; i <= 150; ++i) {
        const std::string n = std::to_string(i);
        sql += "INSERT INTO DESTINATION (DESTINATION, DESTDESC, DESTADD1, DESTADD2, ACTIVE) VALUES (" + n +
               ", 'Destination number " + n + "', '" + n + " Main Street', 'Lakemont, NY', 1);";
    }
    for (int i = 0; i < 30; ++i) {
        sql += "INSERT INTO FUND (FUND, FUNDDESC, ACTIVE) VALUES ('F" + std::to_string(i) + "', 'Fund " +
               std::to_string(i) + "', 1);";
    }
    for (const char* grade : {"PK", "K", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10"}) {
        sql += "INSERT INTO GRADE (GRADE, ACTIVE) VALUES ('" + std::string(grade) + "', 1);";
    }
    for (int i = 0; i < 10; ++i) {
        sql += "INSERT INTO TRIPCAT (TRIPCAT, DESCRIPTION, ACTIVE) VALUES ('C" + std::to_string(i) +
               "', 'Category " + std::to_string(i) + "', 1);";
    }
    return sql;
}

struct FormSite {
    // storedRequests: copies of request 1 under the numbers 2..N, so that pages can cycle through them.
    explicit FormSite(bool fundDropDown, int storedRequests = 1) {
        site.sql("twvlsc1.db",
                 "INSERT INTO VLSCU (VLSC1, VLSC2, ROLE, CUSTOMER, SCEXFOVD, SCEXDDFT) VALUES "
                 "('principal', 'pw', 'PRIN', 'S7', 0, 0);"
                 "INSERT INTO VLSCC (CHAINID, LEVEL1APPROVER, Level2Approver, Level1Status, Level2Status) "
                 "VALUES ('CH1', 'PRIN', 'DIST', 'Principal OK', 'District OK');");
        site.sql("trip.db", DistrictRows());
        site.sql(
            "Tripschl.db",
            "INSERT INTO TRIPSREQ (TRIPNUM, CUSTOMER, CONTACT, REQUESTOR_EMAIL, DESTINATION, DESTDESC, "
            "DEPDATE, "
            "RETDATE, DEPTIME, RETTIME, ARRIVETIME, LEAVETIME, NUMSTUDENTS, NUMADULTS, NUMHAND, ESTTIME, "
            "ESTMILE, FUND, PO, INTTRIPNUM, TRIPCAT, GRADE, PURPOSE, CUSTSPEC, TRIPCOM, DESTSPEC, STATUS, "
            "CHAINID, REQDATE, ENTERDATE, ENTEREDBY, STATUS_DATE) VALUES (1, 'S7', 'Ms. Lee', "
            "'lee@s7.example', "
            "42, 'Destination number 42', '2026-05-14 00:00:00', '2026-05-14 00:00:00', '1899-12-30 "
            "09:15:00', "
            "'1899-12-30 14:30:00', '1899-12-30 10:00:00', '1899-12-30 13:30:00', 25, 3, 0, 2.5, 12, 'F7', "
            "'PO-1', 'M-7', 'C3', 'K', 'Science', 'Bring lunches', 'Two buses', 'Gate B', 'UNAPPROVED', "
            "'CH1', "
            "'2026-04-02 09:14:00', '2026-04-02 09:14:00', 'principal', '2026-04-02 09:14:00');");
        if (storedRequests > 1) {
            site.sql("Tripschl.db",
                     "WITH RECURSIVE n(k) AS (SELECT 2 UNION ALL SELECT k + 1 FROM n WHERE k < " +
                         std::to_string(storedRequests) +
                         ") INSERT INTO TRIPSREQ (TRIPNUM, CUSTOMER, CONTACT, REQUESTOR_EMAIL, DESTINATION, "
                         "DESTDESC, DEPDATE, RETDATE, DEPTIME, RETTIME, ARRIVETIME, LEAVETIME, NUMSTUDENTS, "
                         "NUMADULTS, NUMHAND, ESTTIME, ESTMILE, FUND, PO, INTTRIPNUM, TRIPCAT, GRADE, PURPOSE, "
                         "CUSTSPEC, TRIPCOM, DESTSPEC, STATUS, CHAINID, REQDATE, ENTERDATE, ENTEREDBY, "
                         "STATUS_DATE) SELECT k, CUSTOMER, CONTACT, REQUESTOR_EMAIL, 1 + k % 150, DESTDESC, "
                         "DEPDATE, RETDATE, DEPTIME, RETTIME, ARRIVETIME, LEAVETIME, NUMSTUDENTS, NUMADULTS, "
                         "NUMHAND, ESTTIME, ESTMILE, FUND, PO, INTTRIPNUM, TRIPCAT, GRADE, PURPOSE, CUSTSPEC, "
                         "TRIPCOM, DESTSPEC, STATUS, CHAINID, REQDATE, ENTERDATE, ENTEREDBY, STATUS_DATE "
                         "FROM TRIPSREQ, n WHERE TRIPNUM = 1");
        }
        if (fundDropDown) site.sql("trip.db", "UPDATE District SET FUND_DD = 1, USECUSTFUND = 1;");
        WebItemRegistry items = ExcursaItems();
        RegisterRequestDetail(items);
        WebItem search;
        search.name = "RequestSearch";
        search.respond = [](AppObject&) {};
        items.add(search);
        app = std::make_unique<WebApplication>(std::move(items), WebClass_Start, site.www());
        app->warmUp();
        browser = std::make_unique<MemoryHost>(*app);
        browser->post("ExcursaLakemont.asp?WCI=Login&WCE=LoginValidateUser&WCU",
                      {{"user", "principal"}, {"password", "pw"}, {"btnsubmit", "Work With Trip Requests"}});
    }
    testing::TestSite site;
    std::unique_ptr<WebApplication> app;
    std::unique_ptr<MemoryHost> browser;
};

void RenderStoredRequest(benchmark::State& state, bool fundDropDown) {
    FormSite form(fundDropDown);
    std::size_t bytes = 0;
    for (auto _ : state) {
        ResponseData r = form.browser->get("ExcursaLakemont.asp?WCI=RequestDetail&WCE=1&WCU");
        bytes = r.body.size();
        benchmark::DoNotOptimize(r.body.data());
    }
    // A page that is not the form (an error text) would be a few hundred bytes.
    if (bytes < 20000) state.SkipWithError("the form was not written");
    state.counters["page_bytes"] = static_cast<double>(bytes);
}

// Fund typed in: one set of connections, the destination copied into the session.
void BM_RequestFormStored(benchmark::State& state) { RenderStoredRequest(state, false); }
BENCHMARK(BM_RequestFormStored)->Unit(benchmark::kMicrosecond);

// Fund drop-down of the customer's funds: the fund list is read again for the page.
void BM_RequestFormStoredFundList(benchmark::State& state) { RenderStoredRequest(state, true); }
BENCHMARK(BM_RequestFormStoredFundList)->Unit(benchmark::kMicrosecond);

// Request numbers cycling through 1..100,000: every page asks for another row, as users do.
void BM_RequestFormCyclingNumbers(benchmark::State& state) {
    constexpr int kStored = 100000;
    FormSite form(false, kStored);
    std::size_t bytes = 0;
    int number = 0;
    for (auto _ : state) {
        number = number % kStored + 1;
        ResponseData r =
            form.browser->get("ExcursaLakemont.asp?WCI=RequestDetail&WCE=" + std::to_string(number) + "&WCU");
        bytes = r.body.size();
        benchmark::DoNotOptimize(r.body.data());
    }
    if (bytes < 20000) state.SkipWithError("the form was not written");
    state.counters["page_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_RequestFormCyclingNumbers)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace excursa
