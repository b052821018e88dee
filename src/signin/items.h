// The web items of signing in and out.
#pragma once

#include "frame/web_item.h"

namespace excursa {

void RegisterLogin(WebItemRegistry& items);

}  // namespace excursa
