// Authority over a request and the next approver, from the request's approval chain.
#include "approval/approval.h"

#include "data/connections.h"
#include "frame/procedure.h"

#include <array>
#include <functional>
#include <string_view>

namespace excursa {

namespace {

constexpr int kLevels = 8;

// Column names as the chain table spells them; the store ignores their case.
constexpr std::array<std::string_view, kLevels> kApproverColumns{
    "LEVEL1APPROVER", "Level2Approver", "Level3Approver", "Level4Approver",
    "Level5Approver", "Level6Approver", "Level7Approver", "Level8Approver"};
constexpr std::array<std::string_view, kLevels> kStatusColumns{"Level1Status", "Level2Status", "Level3Status",
                                                               "Level4Status", "Level5Status", "Level6Status",
                                                               "Level7Status", "LEVEL8STATUS"};

constexpr std::string_view kUnapproved = "UNAPPROVED";
constexpr std::string_view kNotApplicable = "NA";

// Positions past every level: a status that no level gives, and a chain that is missing.
constexpr int kStatusPositionUnknown = 10;
constexpr int kStatusPositionNoChain = 9;

bool IsBlank(std::string_view text) { return Trim(text).empty(); }

bool IsFinalStatus(std::string_view status) {
    const std::string upper = UCase(status);
    return upper == "ACCEPTED" || upper == "DENIED";
}

Recordset OpenChain(const std::string& chainId) {
    return Recordset::Open(Use(cnSecurity), "Select * from VLSCC where VLSCC.CHAINID = ?", {chainId});
}

std::string Approver(Recordset& chain, int level) {
    return NullToSpace(chain.field(kApproverColumns[static_cast<std::size_t>(level - 1)]));
}

std::string LevelStatus(Recordset& chain, int level) {
    return NullToSpace(chain.field(kStatusColumns[static_cast<std::size_t>(level - 1)]));
}

// A blank role, or a blank level (a Null reads as " "), must never match: otherwise a
// user without a role would hold every unused level of every chain.
bool HoldsLevel(std::string_view role, std::string_view approver) {
    return !IsBlank(role) && !IsBlank(approver) && role == approver;
}

// What the request stands at, from the stored row or from a chain just given to it.
struct RequestState {
    std::string chain;
    std::string status;
    std::string customer;
};

// The current row of a request record (error 3021 when there is none).
RequestState StateOfRow(Recordset& request) {
    RequestState state;
    state.chain = Trim(NullToSpace(request.field("chainid")));
    state.status = NullToSpace(request.field("Status"));
    state.customer = NullToSpace(request.field("CUSTOMER"));
    return state;
}

RequestState ReadRequest(std::int32_t tripNumber) {
    Recordset request =
        Recordset::Open(Use(cnTripSchl), "Select * from TRIPSREQ where TRIPNUM = ?", {Value::Long(tripNumber)});
    return StateOfRow(request);
}

// 1 at "UNAPPROVED", k + 1 once level k has approved.
int StatusPosition(Recordset& chain, std::string_view status) {
    const std::string upper = UCase(status);
    if (upper == kUnapproved) return 1;
    for (int level = 1; level <= kLevels; ++level) {
        if (UCase(LevelStatus(chain, level)) == upper) return level + 1;
    }
    return kStatusPositionUnknown;
}

// The user's highest level + 1 (1 for none); that level's status becomes the approval status.
int RolePosition(Recordset& chain, std::string_view role, Authority& authority) {
    int position = 1;
    for (int level = 1; level <= kLevels; ++level) {
        if (!HoldsLevel(role, Approver(chain, level))) continue;
        position = level + 1;
        authority.approvalStatus = LevelStatus(chain, level);
    }
    return position;
}

void ApplyChain(const RequestState& request, std::string_view role, bool sameCustomer, Authority& authority) {
    Recordset chain = OpenChain(request.chain);
    int rolePosition = 1;
    int statusPosition = kStatusPositionNoChain;
    if (!chain.eof()) {
        rolePosition = RolePosition(chain, role, authority);
        statusPosition = StatusPosition(chain, request.status);
    }
    chain.close();
    if (rolePosition < statusPosition || !sameCustomer) return;
    authority.mayEdit = true;
    if (rolePosition > statusPosition) authority.mayApprove = true;
}

void Decide(const RequestState& request, const std::string& role, const std::string& customer,
            Authority& authority) {
    if (IsFinalStatus(request.status)) return;

    // A user who works for every customer carries "" (or " " from a Null).
    const bool sameCustomer = IsBlank(customer) || SameCustomerCode(customer, request.customer);
    if (!IsBlank(request.chain)) {
        ApplyChain(request, role, sameCustomer, authority);
    } else if (UCase(request.status) == "PENDING" && sameCustomer) {
        authority.mayEdit = true;
    }
    if (request.status == "PENDING") authority.mayApprove = false;
}

std::string NextApprover(Recordset& chain, std::string_view status) {
    const std::string upper = UCase(status);
    int nextLevel = 0;
    if (upper == kUnapproved) {
        nextLevel = 1;
    } else {
        for (int level = 1; level < kLevels && nextLevel == 0; ++level) {
            if (UCase(LevelStatus(chain, level)) == upper) nextLevel = level + 1;
        }
    }
    if (nextLevel == 0) return std::string(kNotApplicable);
    const std::string approver = Approver(chain, nextLevel);
    // A shorter chain ends here: nobody to notify.
    return IsBlank(approver) ? std::string(kNotApplicable) : approver;
}

}  // namespace

bool SameCustomerCode(std::string_view a, std::string_view b) { return SameTextNoCase(Trim(a), Trim(b)); }

std::string Authority::answerText() const {
    return std::string(mayEdit ? "Y" : "N") + "," + (mayApprove ? "Y" : "N") + "," + approvalStatus;
}

namespace {

Authority DecideUnderTheConvention(const std::function<RequestState()>& stateOfRequest, const std::string& role,
                                   const std::string& customer) {
    Authority authority;
    const bool decided = RunQuietProcedure(Procedure{"HasAuthority", kModuleApproval},
                                           [&] { Decide(stateOfRequest(), role, customer, authority); });
    // Nothing half-decided may grant anything.
    return decided ? authority : Authority{};
}

}  // namespace

Authority HasAuthority(std::int32_t tripNumber, const std::string& role, const std::string& chainId,
                       const std::string& customer) {
    return DecideUnderTheConvention(
        [&] {
            // A chain just given to a request: it starts again at its first level.
            if (!chainId.empty()) return RequestState{chainId, std::string(kUnapproved), ""};
            return ReadRequest(tripNumber);
        },
        role, customer);
}

Authority HasAuthority(Recordset& request, const std::string& role, const std::string& customer) {
    return DecideUnderTheConvention([&] { return StateOfRow(request); }, role, customer);
}

std::optional<ChainPlace> PlaceInChain(const std::string& chainId, const std::string& levelStatus) {
    if (IsBlank(chainId) || IsBlank(levelStatus)) return std::nullopt;
    ChainPlace place;
    const bool read = RunQuietProcedure(Procedure{"PlaceInChain", kModuleApproval}, [&] {
        Recordset chain = OpenChain(chainId);
        if (chain.eof()) return;
        for (int level = 1; level <= kLevels; ++level) {
            if (IsBlank(Approver(chain, level))) continue;
            place.levels = level;
            if (place.level == 0 && SameTextNoCase(Trim(LevelStatus(chain, level)), Trim(levelStatus))) {
                place.level = level;
            }
        }
    });
    if (!read || place.level == 0) return std::nullopt;
    return place;
}

std::string NextRole(const std::string& chainId, const std::string& status) {
    const std::string upper = UCase(status);
    if (IsBlank(chainId) || upper == "ACCEPTED" || upper == "DENIED" || upper == "PENDING") {
        return std::string(kNotApplicable);
    }
    std::string next(kNotApplicable);
    const bool found = RunQuietProcedure(Procedure{"NextRole", kModuleApproval}, [&] {
        Recordset chain = OpenChain(chainId);
        if (!chain.eof()) next = NextApprover(chain, status);
    });
    return found ? next : std::string(kNotApplicable);
}

}  // namespace excursa
