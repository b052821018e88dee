// Steps of a user's browser session through the in-memory host, shared by the page tests and the
// benchmarks.
#pragma once

#include "frame/memory_host.h"

#include <string>

namespace excursa::testing {

inline constexpr const char* kWorkWithRequests = "Work With Trip Requests";
inline constexpr const char* kEnterNewRequest = "Enter a New Trip Request";

// Signs in with one of the two buttons of the sign-in page; answers the page that follows.
inline std::string SignIn(MemoryHost& browser, const std::string& user,
                          const std::string& button = kWorkWithRequests, const std::string& password = "pw") {
    return browser
        .post("ExcursaLakemont.asp?WCI=Login&WCE=LoginValidateUser&WCU",
              {{"user", user}, {"password", password}, {"btnsubmit", button}})
        .body;
}

// The request form of a stored request, opened by its number.
inline std::string OpenRequest(MemoryHost& browser, const std::string& number) {
    return browser.get("ExcursaLakemont.asp?WCI=RequestDetail&WCE=" + number + "&WCU").body;
}

}  // namespace excursa::testing
