#include "frame/procedure.h"
#include "frame/keys.h"

#include "frame/worker_state.h"

namespace excursa {

namespace {

std::string ErrorTextHead(std::string_view name, std::string_view module) {
    std::string text = "Error in Procedure: ";
    text.append(name).append(" of Module: ").append(module).append(".  ");
    return text;
}

// The failure branch: returns true when the error text was (re)set and the
// procedure's cleanup must run.
bool RecordFailure(const Procedure& proc, const VbError& e) {
    if (proc.clearsFollowOnError91 && e.number() == kErrObjectNotSet && ErrorTextIsSet()) return false;
    strErrorText = ProcedureErrorText(proc.name, proc.module, e);
    return true;
}

bool RunGuarded(const Procedure& proc, const std::function<void()>& body,
                const std::function<void()>& cleanup) {
    try {
        body();
        return true;
    } catch (const VbError& e) {
        if (RecordFailure(proc, e) && cleanup) cleanup();
        return false;
    }
}

}  // namespace

std::string ProcedureErrorText(std::string_view name, std::string_view module, const VbError& e) {
    return ErrorTextHead(name, module) + "Error: " + std::to_string(e.number()) + ".  " + e.description() +
           ".";
}

std::string RoutineErrorText(std::string_view name, std::string_view module, const VbError& e,
                             std::string_view tail) {
    std::string text =
        ErrorTextHead(name, module) + "Error: " + std::to_string(e.number()) + " - " + e.description();
    text.append(tail);
    return text;
}

bool RunProcedure(AppObject& app, const Procedure& proc, const std::function<void()>& body,
                  const std::function<void()>& cleanup) {
    const bool completed = RunGuarded(proc, body, cleanup);
    WriteErrorTextIfSet(app);
    return completed;
}

bool RunQuietProcedure(const Procedure& proc, const std::function<void()>& body,
                       const std::function<void()>& cleanup) {
    return RunGuarded(proc, body, cleanup);
}

void WriteErrorTextIfSet(AppObject& app) {
    if (ErrorTextIsSet()) app.host.write(strErrorText);
}

bool SessionTimedOut(AppObject& app) {
    if (!SameText(app.host.sessionGet(key::User), "")) return false;
    app.strLogoutMessage = std::string(kSessionTimedOutMessage);
    app.host.setNextItem("Logout");
    return true;
}

}  // namespace excursa
