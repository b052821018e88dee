#include "request/day_trip_counter.h"

#include "data/connections.h"

#include <string_view>

namespace excursa {

namespace {

// The day as a range of its seconds: the DEPDATE indexes serve a range (an equality with a parameter
// compares without letter case, which they cannot), and a trip stored with a time of day still counts.
constexpr std::string_view kScheduledTrips =
    "SELECT COUNT(*) AS Trips FROM TRIPS WHERE (TRIPS.DEPDATE BETWEEN ? AND ?) "
    "AND (TRIPS.CANCELED = False OR TRIPS.CANCELED IS NULL)";
constexpr std::string_view kWaitingRequests =
    "SELECT COUNT(*) AS Requests FROM TRIPSREQ WHERE (TRIPSREQ.DEPDATE BETWEEN ? AND ?) "
    "AND (TRIPSREQ.STATUS IS NULL OR ucase$(trim$(TRIPSREQ.STATUS)) <> 'DENIED') "
    "AND (TRIPSREQ.FIELDTRIP_NUM IS NULL OR TRIPSREQ.FIELDTRIP_NUM = 0)";

std::int32_t Count(Connection& cn, std::string_view sql, double day) {
    const double midnight = DateValueOf(day);
    Recordset rs =
        Recordset::Open(cn, sql, {Value::Date(midnight), Value::Date(midnight + TimeSerial(23, 59, 59))});
    return CLng(rs.field(rs.fields().front().name));
}

std::mutex& TripDaysMutex() {
    static std::mutex mutex;
    return mutex;
}

}  // namespace

bool DayTripCounter::ready() const { return TripDBConnectionsOpen(); }

std::int16_t DayTripCounter::tripsOn(double departureDate) const {
    const std::int32_t trips = Count(Use(cnTrip), kScheduledTrips, departureDate);
    const std::int32_t requests = Count(Use(cnTripSchl), kWaitingRequests, departureDate);
    return CInt(Value::Long(trips + requests));
}

std::unique_lock<std::mutex> LockTripDays() { return std::unique_lock<std::mutex>(TripDaysMutex()); }

}  // namespace excursa
