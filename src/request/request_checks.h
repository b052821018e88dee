// The checks a saving post of the request form passes before anything is written, and the values
// they read from it. A check either passes, passes with a warning (held in the session for the
// form), or stops the save with one message.
#pragma once

#include "data/connections.h"
#include "frame/app_object.h"

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace excursa {

// What the post asks to store, as the checks read it.
struct CheckedRequest {
    double departureDate = 0;
    double returnDate = 0;
    // Times of day; 0 is no time.
    double departureTime = 0;
    double returnTime = 0;
    double arriveTime = 0;
    double leaveTime = 0;
    std::int16_t adults = 0;
    std::int16_t students = 0;
    std::int16_t handicapped = 0;
    float estimatedHours = 0;
    float estimatedMiles = 0;
    std::string customerCode;  // " " when the post names none (or, for a new request, none of the user's)
    std::string fundCode;
};

// A check that stopped the save: the message for the page, or "" when strErrorText carries it.
struct CheckStop {
    std::string message;
};

using CheckOutcome = std::variant<CheckStop, CheckedRequest>;

// The checks made before the request is opened, in their order: the dates, the calendar notes on
// both, the four times, the five numbers, the other required fields, the customer and the fund.
// The last two open the databases in `db`; they stay open for the save.
CheckOutcome CheckPostedRequest(AppObject& app, PageResources& db, bool isNewRequest);

// The notice and trips-per-day checks, made for a departure date that is new or changed.
std::optional<CheckStop> CheckDepartureDay(AppObject& app, double departureDate);

// The posted fields the district requires (an hour field stands for its time), for the form's marks.
std::vector<std::string> RequiredFieldNames(Host& host);

// True when the district limits the trips per day.
bool TripsPerDayLimited(const Host& host);

}  // namespace excursa
