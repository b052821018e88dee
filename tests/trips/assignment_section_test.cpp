#include "trips/assignment_section.h"
#include "request/request_form.h"

#include "config/settings.h"
#include "data/connections.h"
#include "frame/memory_host.h"
#include "frame/worker_state.h"

#include "support/test_site.h"

#include "support/in_request.h"
#include "support/message_page.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace excursa {
namespace {

class AssignmentSectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        site_.sql(
            "trip.db",
            "INSERT INTO SCHEDMAST (SCHEDULE, SCHEDDESC) VALUES ('AM1', 'Morning run'), "
            "('PM2', 'Art & Music'), ('XTRA', NULL);"
            "INSERT INTO VEHTYPE (VEHTYPE, VTYPDESC, ACTIVE) VALUES ('BUS', 'Full size bus', 1), "
            "('OLD', 'Retired coach', 0), ('VAN', 'Van <12', 1);"
            "INSERT INTO TRIPTICKET_TEMPLATE (TICKET_ID, TEMPLATE_DESC, ACTIVE) VALUES ('GONE', 'Old', 0), "
            "('STD', 'Standard', 1), ('WIDE', 'Wide', 1);");
        SetTripPaths();
        SetTripDBConnections();
        ASSERT_EQ(strErrorText, "NA");
    }

    std::string inRequest(const std::function<void(AppObject&)>& body) {
        return testing::RunInRequest(site_.www(), body);
    }

    // The section of stored request 1; what the request wrote besides goes to `written`.
    std::string sectionOfRequest1(std::string* written = nullptr) {
        std::string html;
        const std::string page = inRequest([&](AppObject& app) {
            RequestRecord(app) =
                Recordset::Open(Use(cnTripSchl), "SELECT TRIPSREQ.* FROM TRIPSREQ where TRIPNUM = 1");
            html = BuildAssignmentSection(app);
            RequestRecord(app)->close();
        });
        if (written) *written = page;
        return html;
    }

    testing::TestSite site_;
};

TEST_F(AssignmentSectionTest, WholeBlockOfOneRequest) {
    // Schedule stored in another letter case; only auto-assign switched on.
    site_.sql(
        "Tripschl.db",
        "INSERT INTO TRIPSREQ (TRIPNUM, SCHEDULE, Schedule2, CALCNUMDRIVERS, AUTOASSIGN, NUMTYPE, NUMADDL, "
        "TYPE, ADDLTYPE, CAPACITY, TICKET_FORMAT) VALUES (1, 'am1', 'PM2', 0, 1, 2, NULL, 'BUS', 'van', "
        "'medium', 'STD');");
    std::string written;
    const std::string html = sectionOfRequest1(&written);
    EXPECT_EQ(written, "");

    auto schedules = [](int slot, const std::string& selected) {
        auto option = [&](const std::string& code, const std::string& text) {
            return "<option value=" + code + (code == selected ? " selected>" : ">") + text;
        };
        return "<select name='sched" + std::to_string(slot) + "'>" + option("", "") +
               option("AM1", "AM1, Morning run") + option("PM2", "PM2, Art &amp; Music") +
               option("XTRA", "XTRA, ") + "</select>";
    };
    const std::string cell = "<th height='21' width='72' align='left'><font face='Arial' size='1'>";
    const std::string expected =
        "<p>&nbsp;</p><table border='0' width='627'>"
        "<tr><th height='21' width='353' colspan='4' align='left'><p align='left'><i>"
        "<font face='Arial' color='#0000ff'>Assignment</font></i></p></th></tr>"
        "<tr><th height='21' width='255' align='left' colspan='2'><p align='center'><u>"
        "<font face='Arial' size='1'>Vehicles/Capacity</font></u></p></th>"
        "<th height='21' width='141' align='center' colspan='2'><u>"
        "<font face='Arial' size='1'>Schedules</font></u></th></tr>"
        // Row 1
        "<tr><th height='21' width='137' align='left'><font face='Arial' size='1'>Calc # Primary Vehicles:"
        "<input type='checkbox' name='CALCNUMDRIVERS' ></font></th>"
        "<th height='21' width='118' align='left'><font face='Arial' size='1'># Primary Veh:"
        "<input type='TEXT' name='NUMTYPE' value='2'></font></th>"
        "<th height='21' width='69' align='left'><font face='Arial' size='1'>Schedule #1:</font></th>" +
        cell + schedules(1, "AM1") + "</font></th></tr>" +
        // Row 2
        "<tr><th height='21' width='137' align='left'>"
        "<font face='Arial' size='1'>Primary Veh Type</font></th>"
        "<th height='21' width='118' align='left'><select name='VEHTYPEP'><option value=>"
        "<option value=BUS selected>BUS, Full size bus<option value=VAN>VAN, Van &lt;12</select></th>"
        "<th height='21' width='69' align='left'><font face='Arial' size='1'>Schedule #2:</font></th>" +
        cell + schedules(2, "PM2") + "</font></th></tr>" +
        // Row 3
        "<tr><th height='21' width='137' align='left'><font face='Arial' size='1'># Addit. Veh</font></th>"
        "<th height='21' width='118' align='left'><input type='TEXT' name='NUMADDL' value=' '></th>"
        "<th height='21' width='69' align='left'><font face='Arial' size='1'>Schedule #3:</font></th>" +
        cell + schedules(3, "none") + "</font></th></tr>" +
        // Row 4
        "<tr><th height='21' width='137' align='left'><font face='Arial' size='1'>Addit. Veh Type</font></th>"
        "<th height='21' width='118' align='left'><select name='VEHTYPEA'><option value=>"
        "<option value=BUS>BUS, Full size bus<option value=VAN selected>VAN, Van &lt;12</select></th>"
        "<th height='21' width='69' align='left'><font face='Arial' size='1'>Schedule #4:</font></th>" +
        cell + schedules(4, "none") + "</font></th></tr>" +
        // Row 5
        "<tr><th height='21' width='137' align='left'><font face='Arial' size='1'>Capacity:</font></th>"
        "<th height='21' width='118' align='left'><select name='Capacity'><option value=High>High"
        "<option value=Medium selected>Medium<option value=Low>Low</select></th>"
        "<th height='21' width='69' align='left'><font face='Arial' size='1'>Schedule #5:</font></th>" +
        cell + schedules(5, "none") + "</font></th></tr>" +
        // Row 6
        "<tr><th height='21' width='137' align='left'>"
        "<font face='Arial' size='1'>Ticket Template:</font></th>"
        "<th height='21' width='118' align='left'><select name='TripTik'>"
        "<option value=><option value=STD selected>STD<option value=WIDE>WIDE</select></th>"
        "<th height='21' width='69' align='left'></th><th height='21' width='72' align='left'></th></tr>"
        // Row 7
        "<tr><th height='21' width='137' align='left'></th><th height='21' width='118' align='left'></th>"
        "<th height='21' width='141' align='right' colspan='2'><p align='right'><font face='Arial' size='1'>"
        "Allow Auto Assign:<input type='checkbox' name='AUTOASSIGN' checked></font></th></tr></table>";
    EXPECT_EQ(html, expected);
}

TEST_F(AssignmentSectionTest, SwitchesMarkedFromTheirOwnColumns) {
    site_.sql("Tripschl.db",
              "INSERT INTO TRIPSREQ (TRIPNUM, CALCNUMDRIVERS, AUTOASSIGN) VALUES (1, 1, NULL);");
    const std::string html = sectionOfRequest1();
    EXPECT_NE(html.find("name='CALCNUMDRIVERS' checked>"), std::string::npos);
    EXPECT_NE(html.find("name='AUTOASSIGN' >"), std::string::npos) << "a Null switch is off";
}

TEST_F(AssignmentSectionTest, StoredValuesCannotBreakOutOfTheirAttributes) {
    site_.sql("Tripschl.db", "INSERT INTO TRIPSREQ (TRIPNUM, NUMTYPE) VALUES (1, 3);");
    site_.sql("trip.db", "INSERT INTO SCHEDMAST (SCHEDULE, SCHEDDESC) VALUES ('<B>', 'x''><script>');");
    const std::string html = sectionOfRequest1();
    EXPECT_EQ(html.find("<script>"), std::string::npos);
    EXPECT_NE(html.find("<option value=&lt;B&gt;>&lt;B&gt;, x&#39;&gt;&lt;script&gt;"), std::string::npos);
}

TEST_F(AssignmentSectionTest, WithoutAnOpenRequestTheErrorTextIsWritten) {
    std::string html = "unchanged";
    const std::string page = inRequest([&](AppObject& app) { html = BuildAssignmentSection(app); });
    EXPECT_EQ(html, "");
    EXPECT_EQ(testing::WrittenText(page),
              "Error in Procedure: BuildAssignmentSection of Module: Excursa.  Error: 91.  "
              "Object variable or With block variable not set.");
}

TEST_F(AssignmentSectionTest, FailedListBuilderKeepsTheListItHad) {
    const std::string page = inRequest([](AppObject& app) {
        PopulateTikTempDD(app);
        ASSERT_TRUE(app.lists.ticketTemplates);
        EXPECT_EQ(app.lists.ticketTemplates->upperBound(), 2);
        CloseTripDBConnections();
        PopulateTikTempDD(app);
        ASSERT_TRUE(app.lists.ticketTemplates);
        EXPECT_EQ(app.lists.ticketTemplates->at(2), "WIDE");
        EXPECT_EQ(
            BuildTripTikDD(app, "wide"),
            "<select name='TripTik'><option value=><option value=STD>STD<option value=WIDE selected>WIDE"
            "</select>");
    });
    EXPECT_EQ(testing::WrittenText(page),
              "Error in Procedure: PopulateTikTempDD of Module: Excursa.  Error: 91.  "
              "Object variable or With block variable not set.");
}

}  // namespace
}  // namespace excursa
