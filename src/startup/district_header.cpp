#include "startup/district_header.h"

#include <array>
#include <utility>

namespace excursa {

bool DistrictHeaderTag(const Host& host, std::string_view tagName, std::string& contents) {
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 4> kHeaderTags{{
        {"wc@Name", "DISTNAME"},
        {"WC@ADDR1", "DISTADDR1"},
        {"WC@CITYSTZIP", "DISTCITYSTZIP"},
        {"WC@PHONE", "DISTPHONE"},
    }};
    for (const auto& [tag, key] : kHeaderTags) {
        if (!SameTextNoCase(tagName, tag)) continue;
        contents = TextOf(host.appGet(key));
        return true;
    }
    return false;
}

}  // namespace excursa
