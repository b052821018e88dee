#include "data/connections.h"

#include "config/settings.h"
#include "config/site.h"
#include "frame/keys.h"
#include "frame/procedure.h"
#include "frame/worker_state.h"

#include <algorithm>
#include <array>
#include <span>
#include <unordered_map>

namespace excursa {

thread_local std::unique_ptr<Connection> cnTrip;
thread_local std::unique_ptr<Connection> cnSecurity;
thread_local std::unique_ptr<Connection> cnTripSchl;
thread_local std::unique_ptr<Connection> cnTripCode;

namespace {

constexpr std::string_view kWebCommon = "WebCommon";

// Resolving a Windows path looks at every folder on the way (letter case may differ), and every
// operation opens three files: a worker keeps what it resolved. A file that is no longer where its
// path led is resolved again once.
void OpenInDataFolder(Connection& cn, std::string_view fileName) {
    if (cn.isOpen()) return;
    thread_local std::unordered_map<std::string, std::string> resolved;
    const std::string shownPath = strTripDataPath + std::string(fileName);
    const std::string key = Site::root() + '|' + shownPath;
    const auto known = resolved.find(key);
    if (known != resolved.end()) {
        try {
            cn.open(known->second, shownPath);
            return;
        } catch (const VbError&) {
            resolved.erase(key);
        }
    }
    const std::string native = NativePath(shownPath);
    cn.open(native, shownPath);
    resolved.insert_or_assign(key, native);
}

// Closes an open connection and lets the handle go; one that never opened stays.
void CloseHandle(std::unique_ptr<Connection>& handle) {
    if (!handle || !handle->isOpen()) return;
    handle->close();
    handle.reset();
}

// The worker's connections to the three trip files, as a page opens them.
std::array<std::unique_ptr<Connection>*, 3> TripDBHandles() { return {&cnTrip, &cnSecurity, &cnTripSchl}; }

void CloseHandles(std::string_view procedureName, std::span<std::unique_ptr<Connection>* const> handles) {
    // An empty handle (error 91) is no failure here. Unlike a stop at the first empty
    // handle, going on to the rest never leaves a later connection open.
    try {
        for (auto* handle : handles) CloseHandle(*handle);
    } catch (const VbError& e) {
        strErrorText = RoutineErrorText(procedureName, kWebCommon, e);
    }
}

// The page's connections may have been closed, or closed and opened again, since openToRead.
void EndReading() {
    for (auto* cn : TripDBHandles()) {
        try {
            if (*cn) (*cn)->endReading();
        } catch (const VbError&) {
        }
    }
}

}  // namespace

Connection& Use(const std::unique_ptr<Connection>& handle) {
    if (!handle) raiseError(kErrObjectNotSet);
    return *handle;
}

void SetTripDBConnections() {
    try {
        cnTrip = std::make_unique<Connection>();
        cnSecurity = std::make_unique<Connection>();
        cnTripSchl = std::make_unique<Connection>();
        OpenInDataFolder(*cnTrip, kTripDbFile);
        OpenInDataFolder(*cnSecurity, kSecurityDbFile);
        OpenInDataFolder(*cnTripSchl, kTripSchlDbFile);
    } catch (const VbError& e) {
        strErrorText = RoutineErrorText("SetTripDBConnections", kWebCommon, e,
                                        "; strTripDataPath=" + strTripDataPath + ".");
    }
}

void CloseTripDBConnections() { CloseHandles("CloseTripDBConnections", TripDBHandles()); }

void CloseTripCode() { CloseHandles("CloseTripCode", std::array{&cnTripCode}); }

bool PrepareDatabase(const Host& host) {
    if (strAppPath.empty()) strAppPath = TextOf(host.appGet(key::AppPath));
    if (strTripDataPath.empty()) {
        SetTripPaths();
        if (ErrorTextIsSet()) return false;
    }
    SetTripDBConnections();
    return !ErrorTextIsSet();
}

bool TripDBConnectionsOpen() {
    const auto handles = TripDBHandles();
    return std::all_of(handles.begin(), handles.end(), [](auto* cn) { return *cn && (*cn)->isOpen(); });
}

PageResources::~PageResources() {
    // Closing a static set cannot lose anything, and nothing here may throw.
    for (auto it = sets_.rbegin(); it != sets_.rend(); ++it) it->close();
    for (std::optional<Recordset>* held : held_) held->reset();
    if (reading_) EndReading();
    if (opened_) CloseTripDBConnections();
}

bool PageResources::open() {
    opened_ = true;
    if (host_) return PrepareDatabase(*host_);
    SetTripDBConnections();
    return !ErrorTextIsSet();
}

bool PageResources::openUnlessOpen() { return TripDBConnectionsOpen() || open(); }

bool PageResources::openToRead() {
    if (!open()) return false;
    try {
        for (auto* cn : TripDBHandles()) (*cn)->beginReading();
    } catch (const VbError&) {
        // Unread, the page still reads, a query at a time.
    }
    reading_ = true;
    return true;
}

Recordset& PageResources::query(Connection& cn, std::string_view jetSql, const SqlParams& params,
                                long maxRecords) {
    return sets_.emplace_back(Recordset::Open(cn, jetSql, params, maxRecords));
}

Recordset& PageResources::queryForUpdate(Connection& cn, std::string_view jetSql, const SqlParams& params) {
    return sets_.emplace_back(Recordset::OpenForUpdate(cn, jetSql, params));
}

}  // namespace excursa
