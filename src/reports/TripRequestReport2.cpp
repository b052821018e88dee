// TripRequestReport2: one page of the two-line request report of the last request search.
#include "frame/keys.h"
#include "reports/items.h"
#include "reports/paging.h"
#include "reports/results.h"

namespace excursa {

void RegisterTripRequestReport2(WebItemRegistry& items) {
    items.add(StoredQueryReportItem("TripRequestReport2", "TripRequestReport21.htm",
                                    key::TripRequestReportQuery, BuildTripRequestReport2Results));
}

}  // namespace excursa
