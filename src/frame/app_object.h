// The web application object: made for one request, discarded with it. It
// carries the handlers' per-request fields and reaches the host through it.
#pragma once

#include "frame/host.h"

#include <string>

namespace excursa {

struct AppObject {
    explicit AppObject(Host& h) : host(h) {}
    AppObject(const AppObject&) = delete;
    AppObject& operator=(const AppObject&) = delete;

    Host& host;

    // What the Logout page shows under its time-out tag.
    std::string strLogoutMessage;

    // Lookup pages: the results they built and the event they were opened with.
    std::string strLookupResults;
    std::string strLookupEvent;

    // Set by the new-request reset, read by the request form.
    bool blnNewRequestReset = false;
    // True at creation: the request search's first-show switch and the
    // field trip search's autofill switch.
    bool blnRequestSearchFirst = true;
    bool blnTripSearchAutofill = true;
};

}  // namespace excursa
