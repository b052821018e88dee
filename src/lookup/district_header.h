// The district header that most pages show: name, address, city line, phone.
#pragma once

#include "frame/host.h"

#include <string>
#include <string_view>

namespace excursa {

// Fills wc@Name, WC@ADDR1, WC@CITYSTZIP and WC@PHONE from the settings the
// start event loaded. False for any other tag.
bool DistrictHeaderTag(const Host& host, std::string_view tagName, std::string& contents);

}  // namespace excursa
