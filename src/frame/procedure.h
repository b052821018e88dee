// The error text convention shared by every page-level procedure: a failure
// inside the body becomes strErrorText, the procedure cleans up, and at its end
// the text is written to the response while it differs from "NA".
#pragma once

#include "frame/app_object.h"
#include "frame/value.h"

#include <functional>
#include <string>
#include <string_view>

namespace excursa {

inline constexpr std::string_view kModuleExcursa = "Excursa";
inline constexpr std::string_view kModuleApproval = "mdlApproval";
inline constexpr std::string_view kModuleNone = "";

struct Procedure {
    std::string_view name;
    std::string_view module;
    // An error 91 after an earlier failure (a connection left unopened) is
    // cleared instead of replacing the first text.
    bool clearsFollowOnError91 = false;
};

// "Error in Procedure: <name> of Module: <module>.  Error: <n>.  <description>."
std::string ProcedureErrorText(std::string_view name, std::string_view module, const VbError& e);
// The configuration and connection routines' form: "... Error: <n> - <description>" + tail.
std::string RoutineErrorText(std::string_view name, std::string_view module, const VbError& e,
                             std::string_view tail = ".");

// Runs a page-level procedure under the convention. `cleanup` runs after a
// failure that set the error text. Writes strErrorText at the end when it is set.
// True when the body ran to its end; false after a failure.
bool RunProcedure(AppObject& app, const Procedure& proc, const std::function<void()>& body,
                  const std::function<void()>& cleanup = {});

// Runs body; a failure sets strErrorText by the convention and runs cleanup,
// but nothing is written (for routines whose callers write). True when the body ran to its end.
bool RunQuietProcedure(const Procedure& proc, const std::function<void()>& body,
                       const std::function<void()>& cleanup = {});

// Writes strErrorText to the response when it differs from "NA".
void WriteErrorTextIfSet(AppObject& app);

// The session time-out test of the handlers that need a signed-in user.
// True when the session has expired; the Logout page is then set to follow.
bool SessionTimedOut(AppObject& app);
inline constexpr std::string_view kSessionTimedOutMessage =
    "Sorry, your session has timed out please log in again and retry.";

}  // namespace excursa
