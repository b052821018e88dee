// SetNewVars: the new-request reset, before an empty request form.
#include "frame/procedure.h"
#include "frame/keys.h"
#include "signin/items.h"

namespace excursa {

void SetNewVars(AppObject& app) {
    RunProcedure(app, Procedure{"SetNewVars", kModuleExcursa}, [&] {
        Host& host = app.host;
        host.sessionSet(key::form::New, "NEW");
        host.sessionSet(key::TripReq, "");
        host.sessionSet(key::DepDtWarn, Value::Boolean(false));
        host.sessionSet(key::RtnDtWarn, Value::Boolean(false));
        app.blnNewRequest = true;
    });
}

}  // namespace excursa
