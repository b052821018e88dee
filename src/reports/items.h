// The web items of the searches, the report pages and the print page.
#pragma once

#include "frame/web_item.h"

namespace excursa {

void RegisterRequestSearch(WebItemRegistry& items);
void RegisterTripSearch(WebItemRegistry& items);
void RegisterPrintReport(WebItemRegistry& items);
void RegisterTripRequestReport1(WebItemRegistry& items);
void RegisterTripRequestReport2(WebItemRegistry& items);
void RegisterTripReport1(WebItemRegistry& items);
void RegisterTripReport2(WebItemRegistry& items);
void RegisterTripSummaryReport(WebItemRegistry& items);

}  // namespace excursa
