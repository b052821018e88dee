// The lookup pages: customer, destination and fund, each searched and picked for the request form
// (the fund also for the field trip search).
#pragma once

#include "frame/web_item.h"

#include <optional>
#include <string>

namespace excursa {

void RegisterLookupCust(WebItemRegistry& items);
void RegisterLookupDest(WebItemRegistry& items);
void RegisterLookupFund(WebItemRegistry& items);

}  // namespace excursa
