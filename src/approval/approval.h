// Approval chains: who may edit or approve a request, who approves next, and
// the school calendar check. Failures leave their text in strErrorText and
// write nothing; the caller tests it.
#pragma once

#include "data/database.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace excursa {

// What a user may do with a request. After a failure it grants nothing.
struct Authority {
    bool mayEdit = false;
    bool mayApprove = false;
    std::string approvalStatus = "NA";  // the status this user's approval gives, "NA" for none

    // The answer's text form: "<may edit Y/N>,<may approve Y/N>,<approval status>".
    std::string answerText() const;
};

// Customer codes are one customer whatever their letter case and surrounding blanks.
bool SameCustomerCode(std::string_view a, std::string_view b);

// chainId "" reads chain and status from the stored request. Uses the open
// connections; opens and closes none.
Authority HasAuthority(std::int32_t tripNumber, const std::string& role, const std::string& chainId,
                       const std::string& customer);
// The same answer for a stored request whose row the caller has open already (its current row; error
// 3021 in the error text when there is none), so that the row is read once for the answer and the form.
Authority HasAuthority(Recordset& request, const std::string& role, const std::string& customer);

// Where an approval giving `levelStatus` stands in its chain: that level, of how many levels the
// chain has (levels with an approver).
struct ChainPlace {
    int level = 0;
    int levels = 0;
};
// nullopt when the chain is missing or no level gives that status. Uses the open connections.
std::optional<ChainPlace> PlaceInChain(const std::string& chainId, const std::string& levelStatus);

// The role that approves next, or "NA".
std::string NextRole(const std::string& chainId, const std::string& status);

// Severity of the calendar note on the day (0 when none). Opens and closes the
// connections itself.
std::int16_t Check_calNotes(const std::string& dateText, bool fetchTexts, bool unused);

// Texts of the last calendar note read on this worker.
extern thread_local std::string strCalNoteText;
extern thread_local std::string strCalNoteLongText;

}  // namespace excursa
