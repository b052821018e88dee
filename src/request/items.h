// The trip request form's web item and its entry events, which the lookups
// and the save call directly to show a request again.
#pragma once

#include "frame/web_item.h"

#include <string>

namespace excursa {

void RegisterRequestDetail(WebItemRegistry& items);
void RegisterTripRequestDetailPrint(WebItemRegistry& items);

// Shows the stored request whose number is eventName, or the form state when it is "".
void RequestDetail_UserEvent(AppObject& app, const std::string& eventName);
// Shows the form after the new-request reset, a Copy or a drop-down change.
void RequestDetail_Respond(AppObject& app);
// Fills one WC@ tag of the form's template.
void RequestDetail_ProcessTag(AppObject& app, const std::string& tagName, std::string& contents);
// Every post of the form: a drop-down change, a lookup button, Exit, Copy, Delete, Print or Save.
void RequestDetail_TripRequestDetail(AppObject& app);

}  // namespace excursa
