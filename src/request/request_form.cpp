#include "request/request_form.h"

#include "frame/keys.h"
#include "frame/worker_state.h"

#include <string>
#include <string_view>

namespace excursa {

namespace {

constexpr std::string_view kNotAllowedMessage =
    "<p>Sorry, you are not allowed to view this trip request.</p>";

bool MayView(AppObject& app, Recordset& request) {
    const Host& host = app.host;
    if (app.blnCanApprove || SameText(host.appGet(key::ViewOtherSchools), "True")) return true;
    const std::string own = Trim(TextOf(host.sessionGet(key::Customer)));
    if (own.empty() || request.eof()) return true;
    return SameCustomerCode(own, NullToSpace(request.field("CUSTOMER")));
}

}  // namespace

bool AuthorizeStoredRequest(AppObject& app) {
    Recordset& request = OpenRequestRecord(app);
    const Authority authority = HasAuthority(request, TextOf(app.host.sessionGet(key::Role)),
                                             TextOf(app.host.sessionGet(key::Customer)));
    if (ErrorTextIsSet()) return false;
    ApplyAuthority(app, authority);
    if (MayView(app, request)) return true;
    app.host.write(kNotAllowedMessage);
    return false;
}

}  // namespace excursa
