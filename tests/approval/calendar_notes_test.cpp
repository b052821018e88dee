#include "approval/approval.h"

#include "data/connections.h"
#include "frame/worker_state.h"

#include "support/test_site.h"

#include <gtest/gtest.h>

#include <string>

namespace excursa {
namespace {

constexpr const char* kCalNotesError =
    "Error in Procedure: Check_calNotes of Module: mdlApproval.  Error: -2147467259.  ";

class CalendarNotesTest : public ::testing::Test {
protected:
    CalendarNotesTest() {
        strCalNoteText = "earlier text";
        strCalNoteLongText = "earlier long text";
    }

    void addNote(const std::string& storedDate, const std::string& textSql, const std::string& longTextSql,
                 const std::string& severitySql) {
        site_.sql("trip.db",
                  "INSERT INTO Big_CalCalNotes (NoteDate, NoteText, NoteLongText, NoteSeverity) VALUES ('" +
                      storedDate + "', " + textSql + ", " + longTextSql + ", " + severitySql + ");");
    }

    void expectTextsUntouched() {
        EXPECT_EQ(strCalNoteText, "earlier text");
        EXPECT_EQ(strCalNoteLongText, "earlier long text");
    }

    void expectConnectionsClosed() {
        EXPECT_FALSE(cnTrip && cnTrip->isOpen());
        EXPECT_FALSE(cnSecurity && cnSecurity->isOpen());
        EXPECT_FALSE(cnTripSchl && cnTripSchl->isOpen());
    }

    testing::TestSite site_;
};

TEST_F(CalendarNotesTest, DayWithoutNoteAnswersZeroAndKeepsTheTexts) {
    addNote("2024-03-14 00:00:00", "'Inservice'", "NULL", "3");
    EXPECT_EQ(Check_calNotes("3/15/2024", true, false), 0);
    EXPECT_EQ(strErrorText, "NA");
    expectTextsUntouched();
    EXPECT_EQ(strTripDataPath, "C:\\VEL\\Data\\Lakemont\\") << "the data path is set when empty";
    expectConnectionsClosed();
}

TEST_F(CalendarNotesTest, AnswersTheSeverityStoredForTheDay) {
    for (int severity = 0; severity <= 4; ++severity) {
        addNote("2024-04-0" + std::to_string(severity + 1) + " 00:00:00", "'Note'", "'Long'",
                std::to_string(severity));
    }
    for (int severity = 0; severity <= 4; ++severity) {
        SCOPED_TRACE(severity);
        EXPECT_EQ(Check_calNotes("4/" + std::to_string(severity + 1) + "/2024", false, false), severity);
    }
    EXPECT_EQ(strErrorText, "NA");
    expectTextsUntouched();
}

TEST_F(CalendarNotesTest, FetchesTheTrimmedTextsOfTheFirstNote) {
    addNote("2024-03-15 00:00:00", "'  Spring Break  '", "NULL", "3");
    addNote("2024-03-15 00:00:00", "'Field day'", "'Buses busy'", "2");
    EXPECT_EQ(Check_calNotes(" 3/15/2024 ", true, false), 3);
    EXPECT_EQ(strCalNoteText, "Spring Break");
    EXPECT_EQ(strCalNoteLongText, "") << "a Null long text is a blank, trimmed";
    expectConnectionsClosed();
}

TEST_F(CalendarNotesTest, NoteWithATimeOfDayDoesNotMatch) {
    addNote("2024-03-15 10:30:00", "'Assembly'", "NULL", "3");
    EXPECT_EQ(Check_calNotes("3/15/2024", true, false), 0);
    expectTextsUntouched();
}

TEST_F(CalendarNotesTest, NullSeverityIsAnError) {
    addNote("2024-03-15 00:00:00", "'Unrated'", "'No severity given'", "NULL");
    EXPECT_EQ(Check_calNotes("3/15/2024", true, false), 0);
    EXPECT_EQ(strErrorText,
              "Error in Procedure: Check_calNotes of Module: mdlApproval.  Error: 94.  Invalid use of Null.");
    expectConnectionsClosed();
}

TEST_F(CalendarNotesTest, EarlierFailureSkipsTheLookUp) {
    addNote("2024-03-15 00:00:00", "'Closed'", "NULL", "3");
    const std::string earlier = "Error in Procedure: Earlier of Module: Excursa.  Error: 5.  Invalid call.";
    strErrorText = earlier;
    EXPECT_EQ(Check_calNotes("3/15/2024", true, false), 0);
    EXPECT_EQ(strErrorText, earlier);
    expectTextsUntouched();
}

TEST_F(CalendarNotesTest, MissingDatabaseLeavesTheConnectionText) {
    std::filesystem::remove(site_.dataFolder() / "trip.db");
    EXPECT_EQ(Check_calNotes("3/15/2024", true, false), 0);
    EXPECT_EQ(strErrorText.rfind("Error in Procedure: SetTripDBConnections of Module: WebCommon.", 0), 0u)
        << strErrorText;
}

TEST_F(CalendarNotesTest, DateTextCannotCarrySql) {
    addNote("2000-01-01 00:00:00", "'Closed'", "NULL", "3");
    const std::string crafted = "3/15/2024# OR NoteSeverity = 3 OR NoteDate = #1/1/2000";
    EXPECT_EQ(Check_calNotes(crafted, true, false), 0);
    EXPECT_EQ(strErrorText,
              std::string(kCalNotesError) + "Syntax error in date in query expression '#" + crafted + "#'..");
    expectTextsUntouched();
    expectConnectionsClosed();

    strErrorText = "NA";
    EXPECT_EQ(Check_calNotes("not a date", true, false), 0);
    EXPECT_EQ(strErrorText,
              std::string(kCalNotesError) + "Syntax error in date in query expression '#not a date#'..");
}

}  // namespace
}  // namespace excursa
