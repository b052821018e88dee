#include "frame/worker_state.h"

#include "frame/value.h"

namespace excursa {

thread_local std::string strErrorText{kNoError};
thread_local std::string strAppPath;
thread_local std::string strTripDataPath;

bool ErrorTextIsSet() { return !SameTextNoCase(strErrorText, kNoError); }

}  // namespace excursa
