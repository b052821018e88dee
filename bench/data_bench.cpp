// Database costs: opening the connections, a static read, adding a request.
#include "config/settings.h"
#include "data/connections.h"

#include "support/test_site.h"

#include <benchmark/benchmark.h>

namespace excursa {
namespace {

void FillRequests(testing::TestSite& site, long count) {
    site.sql(
        "Tripschl.db",
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " + std::to_string(count) +
            ") INSERT INTO TRIPSREQ (CUSTOMER, CONTACT, DESTDESC, DESTADD1, DESTCITY, DESTSTATE, DESTZIP, "
            "DEPDATE, RETDATE, DEPTIME, RETTIME, NUMSTUDENTS, NUMADULTS, ESTTIME, ESTMILE, FUND, PURPOSE, "
            "STATUS, ENTEREDBY, REQDATE) SELECT 'LHS', 'Pat Doe ' || i, 'Science Museum', '1 Museum Way', "
            "'Lakemont', 'MN', '55001', '2026-12-0' || (i % 9 + 1) || ' 00:00:00', '2026-12-10 00:00:00', "
            "'1899-12-30 08:30:00', '1899-12-30 15:00:00', 40, 4, 6.5, 42.0, 'GEN', 'Field study', "
            "'UNAPPROVED', 'teacher1', '2026-11-01 10:00:00' FROM n;");
}

void BM_OpenAndCloseThreeConnections(benchmark::State& state) {
    testing::TestSite site;
    SetTripPaths();
    for (auto _ : state) {
        SetTripDBConnections();
        CloseTripDBConnections();
    }
    if (ErrorTextIsSet()) state.SkipWithError(strErrorText.c_str());
}
BENCHMARK(BM_OpenAndCloseThreeConnections)->Unit(benchmark::kMicrosecond);

void BM_StaticRead300Rows20Columns(benchmark::State& state) {
    testing::TestSite site;
    FillRequests(site, 300);
    SetTripPaths();
    SetTripDBConnections();
    for (auto _ : state) {
        Recordset rs = Recordset::Open(Use(cnTripSchl),
                                       "SELECT TRIPNUM, CUSTOMER, CONTACT, DESTDESC, DESTADD1, DESTCITY, "
                                       "DESTSTATE, DESTZIP, DEPDATE, RETDATE, "
                                       "DEPTIME, RETTIME, NUMSTUDENTS, NUMADULTS, ESTTIME, ESTMILE, FUND, "
                                       "PURPOSE, STATUS, REQDATE FROM TRIPSREQ");
        long cells = 0;
        for (; !rs.eof(); rs.moveNext()) {
            for (const FieldInfo& f : rs.fields()) {
                benchmark::DoNotOptimize(rs.field(f.name));
                ++cells;
            }
        }
        if (cells != 6000) state.SkipWithError("expected 300 rows of 20 columns");
    }
    CloseTripDBConnections();
}
BENCHMARK(BM_StaticRead300Rows20Columns)->Unit(benchmark::kMicrosecond);

void BM_AddRequest(benchmark::State& state) {
    testing::TestSite site;
    FillRequests(site, state.range(0));
    SetTripPaths();
    SetTripDBConnections();
    for (auto _ : state) {
        Recordset rs =
            Recordset::OpenForUpdate(Use(cnTripSchl), "SELECT TRIPSREQ.* FROM TRIPSREQ WHERE TRIPNUM = -1");
        rs.addNew();
        rs.setField("CUSTOMER", "LHS");
        rs.setField("CONTACT", "Pat Doe");
        rs.setField("DEPDATE", Value::Date(DateSerial(2027, 1, 15)));
        rs.setField("NUMSTUDENTS", "40");
        rs.setField("STATUS", "UNAPPROVED");
        rs.update();
        benchmark::DoNotOptimize(rs.field("TRIPNUM"));
    }
    CloseTripDBConnections();
}
BENCHMARK(BM_AddRequest)->Arg(1000)->Arg(100000)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace excursa
