// Templates whose every tag stands between markers, so that a test can cut out exactly what
// one tag became.
#pragma once

#include "frame/value.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <string_view>

namespace excursa::testing {

// "[[NAME]]<tag>attributes</tag>[[/NAME]]" for each tag, one a line.
inline std::string MarkedTemplate(std::initializer_list<const char*> tags,
                                  std::string_view attributes = "data-a") {
    std::string html;
    for (const char* tag : tags) {
        const std::string name = UCase(tag);
        html +=
            "[[" + name + "]]<" + tag + ">" + std::string(attributes) + "</" + tag + ">[[/" + name + "]]\n";
    }
    return html;
}

// What the tag became on the page.
inline std::string Tag(const std::string& page, std::string_view name) {
    const std::string open = "[[" + UCase(name) + "]]";
    const std::string close = "[[/" + UCase(name) + "]]";
    const std::size_t start = page.find(open);
    const std::size_t end = page.find(close);
    if (start == std::string::npos || end == std::string::npos) {
        ADD_FAILURE() << "tag " << name << " missing from the page:\n" << page.substr(0, 2000);
        return "";
    }
    return page.substr(start + open.size(), end - start - open.size());
}

}  // namespace excursa::testing
