// The destination reader shared by the request form and the destination lookup.
#pragma once

#include "frame/app_object.h"

#include <optional>
#include <string>

namespace excursa {

// Fills app.destination from the open trip database; answers the destination's special instructions,
// "" when not found, and nothing when the look-up failed (its error text is then in strErrorText and
// was written).
std::optional<std::string> getdest(AppObject& app, const std::string& dest);

}  // namespace excursa
