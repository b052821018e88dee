#include "items.h"

#include "config/site.h"
#include "lookup/items.h"
#include "reports/items.h"
#include "request/items.h"
#include "signin/items.h"
#include "startup/items.h"

namespace excursa {

WebItemRegistry ExcursaItems() {
    WebItemRegistry items;
    RegisterLogin(items);
    RegisterLogout(items);
    RegisterExDetails(items);
    RegisterEXTechDetails(items);
    RegisterRequestDetail(items);
    RegisterLookupCust(items);
    RegisterLookupDest(items);
    RegisterLookupFund(items);
    RegisterRequestSearch(items);
    RegisterTripSearch(items);
    RegisterPrintReport(items);
    RegisterTripRequestReport1(items);
    RegisterTripRequestReport2(items);
    RegisterTripReport1(items);
    RegisterTripReport2(items);
    RegisterTripSummaryReport(items);
    RegisterTripRequestDetailPrint(items);
    return items;
}

std::unique_ptr<WebApplication> MakeExcursa(SessionStore::Clock clock) {
    return std::make_unique<WebApplication>(ExcursaItems(), WebClass_Start, Site::wwwFolder(),
                                            std::move(clock));
}

}  // namespace excursa
