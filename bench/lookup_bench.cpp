// The destination and fund lookups answering 300 rows, end to end through the in-memory host: the search
// with its bound pattern, the row limit, the results table and the real template.
#include "frame/memory_host.h"
#include "items.h"
#include "startup/items.h"

#include "support/test_site.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

namespace excursa {
namespace {

constexpr int kDestinations = 10000;
constexpr int kFunds = 5000;
constexpr int kMatching = 300;

// Rows numbered 0..count-1 in one statement: `values` is the SELECT over the counter `i`.
std::string NumberedRows(int count, const std::string& insertInto, const std::string& values) {
    return "WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < " +
           std::to_string(count - 1) + ") INSERT INTO " + insertInto + " SELECT " + values + " FROM n;";
}

// Descriptions spread over many two-letter beginnings; the first 300 begin with "Ab".
std::string DestinationRows() {
    return NumberedRows(kDestinations, "DESTINATION (DESTDESC, DESTADD1, DESTADD2, MILES, ACTIVE)",
                        "CASE WHEN i < " + std::to_string(kMatching) +
                            " THEN 'Ab' ELSE char(66 + i % 24, 97 + (i / 24) % 26) END || 'bey Park ' || i, "
                            "i || ' Main Street', 'Lakemont, NY', 12, 1");
}

// Fund codes: 300 of them begin with "GR", the others with "F".
std::string FundRows() {
    return NumberedRows(kFunds, "FUND (FUND, FUNDDESC, ACTIVE)",
                        "CASE WHEN i < " + std::to_string(kMatching) +
                            " THEN 'GR' ELSE 'F' END || (10000 + i), 'Grant for field trips ' || i, 1");
}

struct LookupSite {
    LookupSite() {
        site.sql("twvlsc1.db",
                 "INSERT INTO VLSCU (VLSC1, VLSC2, ROLE, CUSTOMER, SCEXFOVD, SCEXDDFT) VALUES "
                 "('office', 'pw', 'TRANSPORT', NULL, 1, 1);");
        site.sql(
            "trip.db",
            "INSERT INTO District (DISTNAME, DISTADDR1, DISTCITY, DISTSTATE, DISTZIP, DISTPHONE, FUND_DD, "
            "USECUSTFUND) VALUES ('Lakemont School District', '1 School Way', 'Lakemont', 'NY', '12345', "
            "'555-0100', 1, 0);"
            "INSERT INTO DESTCAT (DESTCAT, ACTIVE) VALUES ('PARK', 1);");
        site.sql("trip.db", DestinationRows());
        site.sql("trip.db", FundRows());
        app = std::make_unique<WebApplication>(ExcursaItems(), WebClass_Start, site.www());
        app->warmUp();
        browser = std::make_unique<MemoryHost>(*app);
        browser->post("ExcursaLakemont.asp?WCI=Login&WCE=LoginValidateUser&WCU",
                      {{"user", "office"}, {"password", "pw"}, {"btnsubmit", "Work With Trip Requests"}});
    }
    testing::TestSite site;
    std::unique_ptr<WebApplication> app;
    std::unique_ptr<MemoryHost> browser;
};

std::size_t RowsShown(const std::string& page) {
    std::size_t rows = 0;
    for (std::size_t at = page.find("type='radio'"); at != std::string::npos;
         at = page.find("type='radio'", at + 1)) {
        ++rows;
    }
    return rows;
}

void Search(benchmark::State& state, const std::string& url, const std::string& field,
            const std::string& text, std::size_t expectedRows) {
    LookupSite site;
    std::string page;
    for (auto _ : state) {
        page = site.browser->post(url, {{field, text}}).body;
        benchmark::DoNotOptimize(page.data());
    }
    if (RowsShown(page) != expectedRows)
        state.SkipWithError(("unexpected page: " + page.substr(0, 200)).c_str());
    state.counters["page_bytes"] = static_cast<double>(page.size());
}

// "ab" over 10,000 destinations: 300 rows.
void BM_DestinationLookup300Rows(benchmark::State& state) {
    Search(state, "ExcursaLakemont.asp?WCI=LookupDest&WCE=FindDests&WCU", "DESTDESC", "ab", kMatching);
}
BENCHMARK(BM_DestinationLookup300Rows)->Unit(benchmark::kMillisecond);

// "gr" over 5,000 funds, all funds mode: 300 rows.
void BM_FundLookup300Rows(benchmark::State& state) {
    Search(state, "ExcursaLakemont.asp?WCI=LookupFund&WCE=FindFunds&WCU", "FUND", "gr", kMatching);
}
BENCHMARK(BM_FundLookup300Rows)->Unit(benchmark::kMillisecond);

// An empty search over 10,000 destinations: refused after reading one row past the limit.
void BM_DestinationLookupTooMany(benchmark::State& state) {
    Search(state, "ExcursaLakemont.asp?WCI=LookupDest&WCE=FindDests&WCU", "DESTDESC", "", 0);
}
BENCHMARK(BM_DestinationLookupTooMany)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace excursa
