// SetNewVars: the new-request reset, before an empty request form.
#include "frame/procedure.h"
#include "signin/items.h"

namespace excursa {

void SetNewVars(AppObject& app) {
    RunProcedure(app, Procedure{"SetNewVars", kModuleExcursa}, [&] {
        Host& host = app.host;
        host.sessionSet("RequestDetail.New", "NEW");
        host.sessionSet("TRIPREQ", "");
        host.sessionSet("blnDepDtWarn", Value::Boolean(false));
        host.sessionSet("blnRtnDtWarn", Value::Boolean(false));
        app.blnNewRequest = true;
    });
}

}  // namespace excursa
