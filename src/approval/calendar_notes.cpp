// The school calendar look-up made before a request is saved.
#include "approval/approval.h"

#include "config/settings.h"
#include "data/connections.h"
#include "frame/procedure.h"
#include "frame/worker_state.h"

namespace excursa {

thread_local std::string strCalNoteText;
thread_local std::string strCalNoteLongText;

namespace {

// The date goes into the query between '#' marks; a '#' of its own would end the literal
// and let the rest of the text run as SQL, so it is refused as the engine refuses a bad date.
std::string NoteDateLiteral(const std::string& dateText) {
    const std::string literal = "#" + dateText + "#";
    if (dateText.find('#') != std::string::npos)
        throw VbError(kErrProvider, "Syntax error in date in query expression '" + literal + "'.");
    return literal;
}

std::int16_t ReadNote(const std::string& dateText, bool fetchTexts) {
    Recordset notes = Recordset::Open(
        Use(cnTrip), "Select * from Big_CalCalNotes where NoteDate = " + NoteDateLiteral(dateText));
    std::int16_t severity = 0;
    if (!notes.eof()) {
        if (fetchTexts) {
            strCalNoteText = Trim(NullToSpace(notes.field("NoteText")));
            strCalNoteLongText = Trim(NullToSpace(notes.field("NoteLongText")));
        }
        severity = CInt(notes.field("NoteSeverity"));  // a Null severity is error 94
    }
    notes.close();
    return severity;
}

}  // namespace

std::int16_t Check_calNotes(const std::string& dateText, bool fetchTexts, [[maybe_unused]] bool unused) {
    if (strTripDataPath.empty()) SetTripPaths();
    if (ErrorTextIsSet()) return 0;

    std::int16_t severity = 0;
    RunQuietProcedure(
        Procedure{"Check_calNotes", kModuleApproval},
        [&] {
            SetTripDBConnections();
            if (ErrorTextIsSet()) return;
            severity = ReadNote(Trim(dateText), fetchTexts);
            CloseTripDBConnections();
        },
        [&] {
            severity = 0;
            CloseTripDBConnections();
        });
    return severity;
}

}  // namespace excursa
