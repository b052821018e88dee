#include "lookup/district_header.h"
#include "frame/keys.h"

#include <array>
#include <utility>

namespace excursa {

bool DistrictHeaderTag(const Host& host, std::string_view tagName, std::string& contents) {
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 4> kHeaderTags{{
        {"wc@Name", key::DistName},
        {"WC@ADDR1", key::DistAddr1},
        {"WC@CITYSTZIP", key::DistCityStZip},
        {"WC@PHONE", key::DistPhone},
    }};
    for (const auto& [tag, key] : kHeaderTags) {
        if (!SameTextNoCase(tagName, tag)) continue;
        contents = TextOf(host.appGet(key));
        return true;
    }
    return false;
}

}  // namespace excursa
