#include "trips/assignment_section.h"

#include "lookup/form_controls.h"
#include "request/request_form.h"

#include "data/connections.h"
#include "data/database.h"
#include "frame/html.h"
#include "frame/procedure.h"
#include "frame/value.h"

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace excursa {

namespace {

constexpr std::array<std::string_view, 3> kCapacityClasses{"High", "Medium", "Low"};

constexpr std::string_view kScheduleCellStart =
    "<th height='21' width='72' align='left'><font face='Arial' size='1'>";
constexpr std::string_view kScheduleCellEnd = "</font></th></tr>";

// One of the section's list builders, under the error convention.
void FillList(AppObject& app, std::string_view procedureName, std::optional<TextArray>& list,
              std::string_view sql, const std::function<std::string(Recordset&)>& entryOf) {
    RunProcedure(app, Procedure{procedureName, kModuleExcursa}, [&] { FillPickList(list, sql, entryOf); });
}

std::string Column(Recordset& rs, std::string_view name) { return TextOf(rs.field(name)); }

// A list that its builder could not make is a subscript failure, as reading its bounds would be.
const TextArray& BuiltList(const std::optional<TextArray>& list) {
    if (!list) raiseError(kErrSubscript);
    return *list;
}

std::string Option(const std::string& value, const std::string& text, bool selected) {
    return "<option value=" + HtmlEscape(value) + (selected ? " selected>" : ">") + HtmlEscape(text);
}

// Entries "CODE, description": the code before the first comma is the value.
std::string CodedSelect(const std::string& openingTag, const TextArray& list, const std::string& selected) {
    std::string html = openingTag;
    for (int i = 0; i <= list.upperBound(); ++i) {
        const std::string& entry = list.at(i);
        const std::string code = BeforeFirstComma(entry);
        html += Option(code, entry, SameTextNoCase(Trim(code), selected));
    }
    return html + "</select>";
}

std::string CheckedMark(const Value& yesNo) {
    return SameTextNoCase(Trim(NullToSpace(yesNo)), "True") ? "checked" : "";
}

std::string ScheduleRowHead(int slot) {
    return "<th height='21' width='69' align='left'><font face='Arial' size='1'>Schedule #" +
           std::to_string(slot) + ":</font></th>";
}

std::string ScheduleCell(AppObject& app, const std::string& selected, int slot) {
    return std::string(kScheduleCellStart) + BuildSchedDD(app, selected, slot) +
           std::string(kScheduleCellEnd);
}

// The values of the block, read before any HTML is joined.
struct AssignmentValues {
    std::array<std::string, 5> schedules;
    std::string calcMark, autoMark, numType, numAddl, primaryType, addlType, capacity, ticketFormat;
};

AssignmentValues ReadAssignmentValues(Recordset& request) {
    AssignmentValues v;
    constexpr std::array<std::string_view, 5> kScheduleColumns{"SCHEDULE", "Schedule2", "Schedule3",
                                                               "Schedule4", "Schedule5"};
    for (std::size_t i = 0; i < kScheduleColumns.size(); ++i) {
        v.schedules[i] = NullToSpace(request.field(kScheduleColumns[i]));
    }
    v.calcMark = CheckedMark(request.field("CALCNUMDRIVERS"));
    v.autoMark = CheckedMark(request.field("AUTOASSIGN"));
    v.numType = NullToSpace(request.field("NUMTYPE"));
    v.numAddl = NullToSpace(request.field("NUMADDL"));
    v.primaryType = NullToSpace(request.field("Type"));
    v.addlType = NullToSpace(request.field("ADDLTYPE"));
    v.capacity = NullToSpace(request.field("CAPACITY"));
    v.ticketFormat = NullToSpace(request.field("TICKET_FORMAT"));
    return v;
}

std::string JoinAssignmentSection(AppObject& app, const AssignmentValues& v) {
    std::array<std::string, 5> scheduleCells;
    for (int slot = 1; slot <= 5; ++slot) {
        scheduleCells[slot - 1] = ScheduleCell(app, v.schedules[slot - 1], slot);
    }
    // Each select fails on a list that its builder could not make.
    PopulateVehTypeDD(app);
    const std::string primarySelect = BuildVehTypeDD(app, v.primaryType, "P");
    const std::string addlSelect = BuildVehTypeDD(app, v.addlType, "A");
    const std::string capacitySelect = BuildCapacityDD(v.capacity);
    PopulateTikTempDD(app);
    const std::string templateSelect = BuildTripTikDD(app, v.ticketFormat);

    std::string html = "<p>&nbsp;</p><table border='0' width='627'>";
    html +=
        "<tr><th height='21' width='353' colspan='4' align='left'><p align='left'><i>"
        "<font face='Arial' color='#0000ff'>Assignment</font></i></p></th></tr>";
    html +=
        "<tr><th height='21' width='255' align='left' colspan='2'><p align='center'><u>"
        "<font face='Arial' size='1'>Vehicles/Capacity</font></u></p></th>";
    html +=
        "<th height='21' width='141' align='center' colspan='2'><u>"
        "<font face='Arial' size='1'>Schedules</font></u></th></tr>";

    html +=
        "<tr><th height='21' width='137' align='left'><font face='Arial' size='1'>"
        "Calc # Primary Vehicles:<input type='checkbox' name='CALCNUMDRIVERS' " +
        v.calcMark + "></font></th>";
    html +=
        "<th height='21' width='118' align='left'><font face='Arial' size='1'># Primary Veh:"
        "<input type='TEXT' name='NUMTYPE' value='" +
        HtmlEscape(v.numType) + "'></font></th>";
    html += ScheduleRowHead(1) + scheduleCells[0];

    html +=
        "<tr><th height='21' width='137' align='left'>"
        "<font face='Arial' size='1'>Primary Veh Type</font></th>";
    html += "<th height='21' width='118' align='left'>" + primarySelect + "</th>";
    html += ScheduleRowHead(2) + scheduleCells[1];

    html +=
        "<tr><th height='21' width='137' align='left'>"
        "<font face='Arial' size='1'># Addit. Veh</font></th>";
    html += "<th height='21' width='118' align='left'><input type='TEXT' name='NUMADDL' value='" +
            HtmlEscape(v.numAddl) + "'></th>";
    html += ScheduleRowHead(3) + scheduleCells[2];

    html +=
        "<tr><th height='21' width='137' align='left'>"
        "<font face='Arial' size='1'>Addit. Veh Type</font></th>";
    html += "<th height='21' width='118' align='left'>" + addlSelect + "</th>";
    html += ScheduleRowHead(4) + scheduleCells[3];

    html +=
        "<tr><th height='21' width='137' align='left'>"
        "<font face='Arial' size='1'>Capacity:</font></th>";
    html += "<th height='21' width='118' align='left'>" + capacitySelect + "</th>";
    html += ScheduleRowHead(5) + scheduleCells[4];

    html +=
        "<tr><th height='21' width='137' align='left'>"
        "<font face='Arial' size='1'>Ticket Template:</font></th>";
    html += "<th height='21' width='118' align='left'>" + templateSelect + "</th>";
    html += "<th height='21' width='69' align='left'></th><th height='21' width='72' align='left'></th></tr>";

    html +=
        "<tr><th height='21' width='137' align='left'></th>"
        "<th height='21' width='118' align='left'></th>";
    html +=
        "<th height='21' width='141' align='right' colspan='2'><p align='right'>"
        "<font face='Arial' size='1'>Allow Auto Assign:<input type='checkbox' name='AUTOASSIGN' " +
        v.autoMark + "></font></th></tr></table>";
    return html;
}

}  // namespace

// ------------------------------------------------------------------ lists

void PopulateSchedDD(AppObject& app) {
    FillList(app, "PopulateSchedDD", app.lists.schedules, "SELECT SCHEDMAST.* From SCHEDMAST;",
             [](Recordset& rs) { return Column(rs, "SCHEDULE") + ", " + Column(rs, "SCHEDDESC"); });
}

void PopulateVehTypeDD(AppObject& app) {
    FillList(app, "PopulateVehTypeDD", app.lists.vehicleTypes,
             "Select VEHTYPE.* from VEHTYPE where VEHTYPE.Active = True",
             [](Recordset& rs) { return Column(rs, "VEHTYPE") + ", " + Column(rs, "VTYPDESC"); });
}

void PopulateTikTempDD(AppObject& app) {
    FillList(app, "PopulateTikTempDD", app.lists.ticketTemplates,
             "Select TRIPTICKET_TEMPLATE.TICKET_ID, TRIPTICKET_TEMPLATE.TEMPLATE_DESC from "
             "TRIPTICKET_TEMPLATE where "
             "TRIPTICKET_TEMPLATE.Active = True",
             [](Recordset& rs) { return Column(rs, "TICKET_ID"); });
}

// ---------------------------------------------------------------- selects

std::string BuildSchedDD(AppObject& app, const std::string& selSched, int schedNum) {
    return CodedSelect("<select name='sched" + std::to_string(schedNum) + "'>",
                       BuiltList(app.lists.schedules), selSched);
}

std::string BuildVehTypeDD(AppObject& app, const std::string& selVehType, const std::string& strPrimary) {
    return CodedSelect("<select name='VEHTYPE" + strPrimary + "'>", BuiltList(app.lists.vehicleTypes),
                       selVehType);
}

std::string BuildCapacityDD(const std::string& selCapacity) {
    std::string html = "<select name='Capacity'>";
    for (std::string_view capacityClass : kCapacityClasses) {
        const std::string text(capacityClass);
        html += Option(text, text, SameTextNoCase(text, Trim(selCapacity)));
    }
    return html + "</select>";
}

std::string BuildTripTikDD(AppObject& app, const std::string& selTripTik) {
    const TextArray& list = BuiltList(app.lists.ticketTemplates);
    std::string html = "<select name='TripTik'>";
    for (int i = 0; i <= list.upperBound(); ++i) {
        const std::string& entry = list.at(i);
        html += Option(entry, entry, SameTextNoCase(Trim(entry), selTripTik));
    }
    return html + "</select>";
}

// ------------------------------------------------------------------ block

std::string BuildAssignmentSection(AppObject& app) {
    std::string html;
    RunProcedure(app, Procedure{"BuildAssignmentSection", kModuleExcursa}, [&] {
        if (!RequestRecord(app) || !RequestRecord(app)->isOpen()) raiseError(kErrObjectNotSet);
        PopulateSchedDD(app);
        const AssignmentValues values = ReadAssignmentValues(*RequestRecord(app));
        html = JoinAssignmentSection(app, values);
    });
    return html;
}

}  // namespace excursa
