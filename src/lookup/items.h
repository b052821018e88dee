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

// Left by the fund lookup for the field trip search's FieldTrips when it returns there in the same
// request: the chosen fund becomes the search's fund criterion and its six status boxes are ticked.
// (The lookup also sets app.blnTripSearchAutofill from AUTOFILL_TRIPS.)
struct FundLookupReturn {
    std::optional<std::string> fund;  // nothing when the search was not reached from the lookup
};
FundLookupReturn& FundChosenForTripSearch(AppObject& app);

}  // namespace excursa
