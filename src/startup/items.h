// The web items and the start event of the start-up pages.
#pragma once

#include "frame/web_item.h"

namespace excursa {

void WebClass_Start(AppObject& app);
void RegisterExDetails(WebItemRegistry& items);
void RegisterEXTechDetails(WebItemRegistry& items);

}  // namespace excursa
