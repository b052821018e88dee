// The web application object: made for one request, discarded with it. It
// carries the handlers' per-request fields and reaches the host through it.
#pragma once

#include "data/database.h"
#include "frame/host.h"
#include "frame/value.h"

#include <array>
#include <cstdint>
#include <optional>
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

    // True at creation: the request search's first-show switch and the
    // field trip search's autofill switch.
    bool blnRequestSearchFirst = true;
    bool blnTripSearchAutofill = true;

    // Pick lists built in this request (entries 0..N, entry 0 empty). Sign-in
    // copies most of them into the session; the fund list and the assignment
    // section's lists live only here.
    struct PickLists {
        std::optional<TextArray> customers;
        std::optional<TextArray> destinations;
        std::optional<TextArray> grades;
        std::optional<TextArray> tripCats;
        std::optional<TextArray> statusVals;
        std::optional<TextArray> divisions;
        std::optional<TextArray> destCats;
        std::optional<TextArray> funds;  // two columns: code, description
        std::optional<TextArray> schedules;
        std::optional<TextArray> vehicleTypes;
        std::optional<TextArray> ticketTemplates;
    } lists;

    // The request form's flags. blnNewRequest is also set by the new-request reset.
    bool blnCanEdit = false;
    bool blnCanApprove = false;
    std::string strApproveValue;
    bool blnNewRequest = false;
    bool blnCopyMode = false;
    bool blnFromSession = false;

    // The stored request, open while the request form's template is written.
    std::optional<Recordset> rsRequest;

    // Filled by getcust, getdest and getBILLRATEFlat.
    struct CurrentCustomer {
        std::string name = "Not Found";
        std::int32_t billRate = 0;
        std::string custSpec = " ";
        std::string defaultCapacity = "Medium";
        std::string defaultFormat = "VEL_INVOICE";
        std::string chainId;
        std::string division = " ";
        std::string requestorEmail;
    } customer;
    struct CurrentDestination {
        std::string description;
        float miles = 0;
        std::string address1;
        std::string address2;
    } destination;
    struct CurrentBillRate {
        std::array<float, 5> amounts{};
        std::array<std::string, 5> texts{" ", " ", " ", " ", " "};
    } billRate;
};

}  // namespace excursa
