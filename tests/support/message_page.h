// Responses that are only a message reach the browser inside a small page of their own.
#pragma once

#include "frame/exchange.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace excursa::testing {

inline constexpr std::string_view kMessageOpen = "<main class=\"message\">";
inline constexpr std::string_view kMessageClose = "</main>";

// What the page's handlers wrote: for a message page the bytes between its marks (the wrapper
// checked on the way), for any other page the whole body.
inline std::string WrittenText(const std::string& body) {
    const std::size_t start = body.find(kMessageOpen);
    if (body.rfind("<!DOCTYPE html>", 0) != 0 || start == std::string::npos) return body;
    const std::size_t end = body.rfind(kMessageClose);
    EXPECT_NE(end, std::string::npos);
    EXPECT_NE(body.find("<html lang=\"en\">"), std::string::npos);
    EXPECT_NE(body.find("href=\"css/excursa.css\""), std::string::npos);
    EXPECT_NE(body.find(">Back</a>", end), std::string::npos) << "a message page leads back";
    return body.substr(start + kMessageOpen.size(), end - start - kMessageOpen.size());
}

inline std::string WrittenText(const ResponseData& response) { return WrittenText(response.body); }

}  // namespace excursa::testing
