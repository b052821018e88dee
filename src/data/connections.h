// The worker's three database connections, the null helpers and the diagnostic log.
#pragma once

#include "data/database.h"
#include "frame/host.h"
#include "frame/value.h"

#include <memory>
#include <string>
#include <string_view>

namespace excursa {

// Per worker; an empty handle is "Nothing" (using it is error 91).
extern thread_local std::unique_ptr<Connection> cnTrip;
extern thread_local std::unique_ptr<Connection> cnSecurity;
extern thread_local std::unique_ptr<Connection> cnTripSchl;
extern thread_local std::unique_ptr<Connection> cnTripCode;

// The handle's connection, or error 91 when it holds none.
Connection& Use(const std::unique_ptr<Connection>& handle);

inline constexpr std::string_view kTripDbFile = "trip.db";
inline constexpr std::string_view kSecurityDbFile = "twvlsc1.db";
inline constexpr std::string_view kTripSchlDbFile = "Tripschl.db";

void SetTripDBConnections();
void CloseTripDBConnections();
void CloseTripCode();

// The preparation every database-using procedure makes: the application path
// (from the host's application value when the worker has none yet), the data
// folder and the connections. False when strErrorText was set.
bool PrepareDatabase(const Host& host);

}  // namespace excursa
