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

// The day of the note asked for; a text that is no date is refused as the engine refuses a bad date literal.
Value NoteDay(const std::string& dateText) {
    double day = 0;
    if (!ParseDateLiteral(dateText, day) || dateText.find('#') != std::string::npos) {
        throw VbError(kErrProvider, "Syntax error in date in query expression '#" + dateText + "#'.");
    }
    try {
        StoredDateText(day);
    } catch (const VbError&) {
        throw VbError(kErrProvider, "Syntax error in date in query expression '#" + dateText + "#'.");
    }
    return Value::Date(day);
}

std::int16_t ReadNote(PageResources& db, const std::string& dateText, bool fetchTexts) {
    // A range of one point rather than an equality, which compares a parameter without letter case and
    // so cannot use the NoteDate index.
    const Value day = NoteDay(dateText);
    Recordset& notes =
        db.query(Use(cnTrip), "Select * from Big_CalCalNotes where NoteDate BETWEEN ? AND ?", {day, day});
    if (notes.eof()) return 0;
    if (fetchTexts) {
        strCalNoteText = Trim(NullToSpace(notes.field("NoteText")));
        strCalNoteLongText = Trim(NullToSpace(notes.field("NoteLongText")));
    }
    return CInt(notes.field("NoteSeverity"));  // a Null severity is error 94
}

}  // namespace

std::int16_t Check_calNotes(const std::string& dateText, bool fetchTexts, [[maybe_unused]] bool unused) {
    if (strTripDataPath.empty()) SetTripPaths();
    if (ErrorTextIsSet()) return 0;

    std::int16_t severity = 0;
    const bool read = RunQuietProcedure(Procedure{"Check_calNotes", kModuleApproval}, [&] {
        PageResources db;
        if (!db.open()) return;
        severity = ReadNote(db, Trim(dateText), fetchTexts);
    });
    return read ? severity : 0;
}

}  // namespace excursa
