// Approval chains: who may edit or approve a request, who approves next, and
// the school calendar check. Failures leave their text in strErrorText and
// write nothing; the caller tests it.
#pragma once

#include <cstdint>
#include <string>

namespace excursa {

// "<may edit Y/N>,<may approve Y/N>,<status this user's approval gives, or NA>".
// chainId "" reads chain and status from the stored request. Uses the open
// connections; opens and closes none.
std::string HasAuthority(std::int32_t tripNumber, const std::string& role, const std::string& chainId,
                         const std::string& customer);

// The role that approves next, or "NA".
std::string NextRole(const std::string& chainId, const std::string& status);

// Severity of the calendar note on the day (0 when none). Opens and closes the
// connections itself.
std::int16_t Check_calNotes(const std::string& dateText, bool fetchTexts, bool unused);

// Texts of the last calendar note read on this worker.
extern thread_local std::string strCalNoteText;
extern thread_local std::string strCalNoteLongText;

}  // namespace excursa
