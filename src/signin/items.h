// The web items of signing in and out, and the new-request reset.
#pragma once

#include "frame/web_item.h"

namespace excursa {

void RegisterLogin(WebItemRegistry& items);
void RegisterLogout(WebItemRegistry& items);

// Prepares the session for an empty trip request form.
void SetNewVars(AppObject& app);

}  // namespace excursa
