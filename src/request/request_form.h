// What the request form keeps for one request beside the frame's form flags: the stored
// request, open while the form's template (or the printable request's) is written.
#pragma once

#include "approval/approval.h"
#include "data/database.h"
#include "frame/app_object.h"

#include <optional>

namespace excursa {

struct RequestFormState {
    std::optional<Recordset> rsRequest;
    // What the tag handler decides once a page, before its first tag: whether the session has
    // timed out (the form's flags are set then too). Unknown until the first tag of a page.
    std::optional<bool> timedOut;
};

inline std::optional<Recordset>& RequestRecord(AppObject& app) {
    return app.pageState<RequestFormState>().rsRequest;
}

// A form page begins: the tag handler decides its per-page facts again at its first tag.
inline void StartFormPage(AppObject& app) { app.pageState<RequestFormState>().timedOut.reset(); }

// The open stored request; error 91, as a record set that was never opened gives, when there is none.
inline Recordset& OpenRequestRecord(AppObject& app) {
    std::optional<Recordset>& record = RequestRecord(app);
    if (!record || !record->isOpen()) raiseError(kErrObjectNotSet);
    return *record;
}

// The form flags from the authority rule's answer: a "Y" sets a flag, nothing clears one.
inline void ApplyAuthority(AppObject& app, const Authority& authority) {
    if (authority.mayEdit) app.blnCanEdit = true;
    if (authority.mayApprove) app.blnCanApprove = true;
    app.strApproveValue = authority.approvalStatus;
}

// Sets the form flags from the authority answer for the open stored request, then decides whether
// the user may see it: a user bound to one school reads only that school's requests, as in the
// searches, unless the request waits for the user's approval. A refused user is told so. False
// when the request is not to be shown (refused, or the authority rule failed).
bool AuthorizeStoredRequest(AppObject& app);

}  // namespace excursa
