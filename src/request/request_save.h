// Saving the posted request form, and deleting a stored request.
#pragma once

#include "approval/approval.h"
#include "frame/app_object.h"

#include <cstdint>

namespace excursa {

enum class SaveMode {
    Save,   // the saved request is shown next
    Print,  // the printable view follows; a user who may only view has nothing to save
};

enum class SaveResult {
    NotStored,       // a check or a refusal stopped it: its message (or the error text) is the page
    NotAttempted,    // Print by a user who may only view the request
    Stored,          // stored; what the mode shows next may follow
    StoredAndEnded,  // stored, but an error text ends the event before anything follows
};

// Checks the posted form, writes the request (a new row, or the stored request of the session's
// TRIPREQ), starts or moves its approval and sends the notices. The session's TRIPREQ then holds
// the stored number.
SaveResult SaveTripRequest(AppObject& app, SaveMode mode);

// Whether the user may change (save or delete) a stored request as the posted form showed it.
enum class ChangeRight {
    Allowed,           // also when the request is gone: there is nothing left to protect
    NotAllowed,        // the authority rule gives no right to edit it
    ChangedMeanwhile,  // someone saved it after the form was drawn
    Failed,            // an error text was set
};
struct ChangeCheck {
    ChangeRight right = ChangeRight::Failed;
    Authority authority;
};
ChangeCheck CheckChangeRight(AppObject& app, std::int32_t tripNumber);
// Writes why a change is refused; true when it may go on.
bool ChangeMayGoOn(Host& host, ChangeRight right);

// Removes the request whatever its status.
void DeleteTripRequest(AppObject& app, std::int32_t tripNumber);

}  // namespace excursa
