// The worker's three database connections, and the guard that every database-using procedure
// keeps for the connections it opened and the record sets it made.
#pragma once

#include "data/database.h"
#include "frame/host.h"
#include "frame/value.h"

#include <deque>
#include <memory>
#include <optional>
#include <vector>
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

// True when the worker's three connections are open.
bool TripDBConnectionsOpen();

// The database resources of one procedure, closed however it ends (normally, after a failure, or
// when the response ends): the record sets it made, then the connections, when it opened them.
class PageResources {
public:
    explicit PageResources(const Host& host) : host_(&host) {}
    // For routines without a host: the worker's data folder must be set already.
    PageResources() = default;
    PageResources(const PageResources&) = delete;
    PageResources& operator=(const PageResources&) = delete;
    ~PageResources();

    // Opens the connections (PrepareDatabase, or only SetTripDBConnections without a host); false
    // when that left an error text.
    bool open();
    // The same for a routine that its caller may call with the connections open: they are then
    // used as they are and left open.
    bool openUnlessOpen();
    // open() for a page that only reads: its queries on each file share one read of it, which
    // costs one lock and one look at the file instead of one per query.
    bool openToRead();

    // A static record set, closed at the end; maxRecords as Recordset::Open takes it.
    Recordset& query(Connection& cn, std::string_view jetSql, const SqlParams& params = {},
                     long maxRecords = 0);
    Recordset& queryForUpdate(Connection& cn, std::string_view jetSql, const SqlParams& params = {});
    // A record set held elsewhere (the request form's open record) that is closed and let go at the end.
    void closeAtEnd(std::optional<Recordset>& held) { held_.push_back(&held); }

private:
    const Host* host_ = nullptr;
    bool opened_ = false;
    bool reading_ = false;
    std::deque<Recordset> sets_;
    std::vector<std::optional<Recordset>*> held_;
};

}  // namespace excursa
