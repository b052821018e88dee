// How many trips a departure day already holds, for the district's limit of trips per day.
//
// The count is ours: the scheduled trips of that day (TRIPS) that are not cancelled, plus the trip
// requests of that day (TRIPSREQ) that are neither denied nor scheduled yet. A scheduled request
// names its trip in FIELDTRIP_NUM and is counted once, as that trip. The counter reads the worker's
// open connections and is ready when the trip and request databases are open.
#pragma once

#include <cstdint>
#include <mutex>

namespace excursa {

class DayTripCounter {
public:
    bool ready() const;
    // Error 6 (overflow) beyond 32767 trips.
    std::int16_t tripsOn(double departureDate) const;
};

// Counting the trips of a day and storing a new request form one critical section, so that two
// saves at the same moment cannot both take the last free trip of a day. The lock is held by this
// process only: the desktop programs that write the same files are not held back by it.
std::unique_lock<std::mutex> LockTripDays();

}  // namespace excursa
