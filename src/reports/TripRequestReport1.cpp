// TripRequestReport1: one page of the one-line request report of the last request search.
#include "frame/keys.h"
#include "reports/items.h"
#include "reports/paging.h"
#include "reports/results.h"

namespace excursa {

void RegisterTripRequestReport1(WebItemRegistry& items) {
    items.add(StoredQueryReportItem("TripRequestReport1", "TripRequestReport11.htm",
                                    key::TripRequestReportQuery, BuildTripRequestReport1Results));
}

}  // namespace excursa
