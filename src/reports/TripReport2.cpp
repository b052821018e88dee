// TripReport2: one page of the two-line field trip report of the last field trip search.
#include "frame/keys.h"
#include "reports/items.h"
#include "reports/paging.h"
#include "reports/results.h"

namespace excursa {

void RegisterTripReport2(WebItemRegistry& items) {
    items.add(StoredQueryReportItem("TripReport2", "TripReport21.htm", key::TripReportQuery,
                                    BuildTripReport2Results));
}

}  // namespace excursa
