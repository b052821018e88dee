#include "items.h"

#include "config/site.h"
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
    RegisterTripRequestDetailPrint(items);
    return items;
}

std::unique_ptr<WebApplication> MakeExcursa(SessionStore::Clock clock) {
    return std::make_unique<WebApplication>(ExcursaItems(), WebClass_Start, Site::wwwFolder(),
                                            std::move(clock));
}

}  // namespace excursa
