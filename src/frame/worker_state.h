// State that belongs to the worker thread serving a request and outlives the
// request: the request error text and the two folders.
#pragma once

#include <string>
#include <string_view>

namespace excursa {

// "NA" while no failure has occurred in the current request.
extern thread_local std::string strErrorText;
extern thread_local std::string strAppPath;
extern thread_local std::string strTripDataPath;

inline constexpr std::string_view kNoError = "NA";
bool ErrorTextIsSet();  // strErrorText differs from "NA", letter case ignored

}  // namespace excursa
