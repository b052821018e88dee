// The version of a stored request that a form was drawn from: a fingerprint of every column of
// its row, carried by the form in a hidden field, so that a save or a delete can tell that someone
// else changed the request meanwhile. The table itself stays as other programs know it.
#pragma once

#include "data/database.h"
#include "frame/host.h"

#include <string>
#include <string_view>

namespace excursa {

// The form's hidden field.
inline constexpr std::string_view kVersionField = "RequestVersion";

// Fingerprint of the current row (hex digits); equal rows give equal fingerprints.
std::string RequestVersion(Recordset& request);

// The version the posted form was drawn from; "" for a form that carried none.
std::string PostedVersion(const Host& host);

// True when the form was drawn from another version of the row. A post without a version (from a
// page of an older release, or another program) is not checked.
bool ChangedSinceShown(Recordset& request, const std::string& postedVersion);

}  // namespace excursa
