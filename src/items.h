// The composition root: every web item and the start event, assembled for a host.
#pragma once

#include "frame/web_application.h"

#include <memory>
#include <string>

namespace excursa {

WebItemRegistry ExcursaItems();
// The component for the site whose root Site::setRoot named.
std::unique_ptr<WebApplication> MakeExcursa(SessionStore::Clock clock = {});

}  // namespace excursa
