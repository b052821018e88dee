// TripReport1: one page of the one-line field trip report of the last field trip search.
#include "frame/keys.h"
#include "reports/items.h"
#include "reports/paging.h"
#include "reports/results.h"

namespace excursa {

void RegisterTripReport1(WebItemRegistry& items) {
    items.add(StoredQueryReportItem("TripReport1", "TripReport11.htm", key::TripReportQuery,
                                    BuildTripReport1Results));
}

}  // namespace excursa
