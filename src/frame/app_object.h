// The web application object: made for one request, discarded with it. It
// carries the handlers' per-request fields and reaches the host through it.
#pragma once

#include "frame/host.h"
#include "frame/value.h"

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace excursa {

class WebItemRegistry;

struct AppObject {
    // items: the pages whose handlers this request may call by name (see CallUserEvent).
    explicit AppObject(Host& h, const WebItemRegistry* itemsOfTheApplication = nullptr)
        : host(h), items(itemsOfTheApplication) {}
    AppObject(const AppObject&) = delete;
    AppObject& operator=(const AppObject&) = delete;

    Host& host;
    const WebItemRegistry* items;

    // State that a page folder keeps for one request (the request form's open record, for
    // instance), of a type the frame does not know: made on first use, discarded with the object.
    template <class T>
    T& pageState() {
        static const char kTypeKey = 0;
        for (auto& [key, state] : pageStates_) {
            if (key == &kTypeKey) return *static_cast<T*>(state.get());
        }
        auto state = std::make_shared<T>();
        T& made = *state;
        pageStates_.emplace_back(&kTypeKey, std::move(state));
        return made;
    }

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
    // What getdest last read in this request, by number: a page shows a destination in two places and
    // reads its row once.
    struct DestinationRead {
        std::int32_t number = 0;
        CurrentDestination found;
        std::string instructions;
    };
    std::optional<DestinationRead> destinationRead;
    struct CurrentBillRate {
        std::array<float, 5> amounts{};
        std::array<std::string, 5> texts{" ", " ", " ", " ", " "};
    } billRate;

private:
    std::vector<std::pair<const void*, std::shared_ptr<void>>> pageStates_;
};

}  // namespace excursa
