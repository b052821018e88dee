// LookupDest: destinations searched by the beginning of their description, or a new one described
// on the page; Return puts the destination on the request form.
#include "data/connections.h"
#include "frame/html.h"
#include "frame/keys.h"
#include "frame/procedure.h"
#include "frame/worker_state.h"
#include "lookup/destination_details.h"
#include "lookup/form_controls.h"
#include "lookup/items.h"
#include "lookup/lookup_page.h"

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace excursa {

namespace {

std::string DestinationRow(Recordset& rs) {
    const std::string number = CellText(rs, "Destination");
    return "<tr><td><input type='radio' name='SelDest' value='" + number + "'></td><td>" +
           CellText(rs, "DESTDESC") + "</td><td>" + number + "</td><td>" +
           HtmlEscape(NullToSpace(rs.field("DESTADD1"))) + "</td><td>" +
           HtmlEscape(NullToSpace(rs.field("DESTADD2"))) + "</td></tr>";
}

// What the form state holds, for an input's value or a text area.
std::string Kept(const Host& host, std::string_view key) { return HtmlEscape(TextOf(host.sessionGet(key))); }

// Prefilled from the form state, so going back and pressing New again shows what was kept.
std::string NewDestinationForm(AppObject& app) {
    const Host& host = app.host;
    return "<table border='1'><tr><td colspan='3'><h1>Add a Destination</h1></td></tr>"
           "<tr><td>Description:</td><td><input type='text' name='DESTDESC' size='50' maxlength='75' "
           "value='" +
           Kept(host, key::form::DestDesc) + "'></td></tr><tr><td>Category:</td><td>" +
           BuildDestCatSelect(app) +
           "</td></tr><tr><td>Average Miles:</td><td><input type='text' name='MILES' size='4' value='" +
           Kept(host, key::form::Miles) +
           "'></td></tr><tr><td>Address:</td><td><input type='text' name='DESTADD1' size='30' maxlength='30' "
           "value='" +
           Kept(host, key::form::DestAdd1) +
           "'></td></tr><tr><td>&nbsp;</td><td><input type='text' name='DESTADD2' size='30' maxlength='30' "
           "value='" +
           Kept(host, key::form::DestAdd2) +
           "'></td></tr><tr><td>City:</td><td><input type='text' name='DESTCITY'  size='15' maxlength='15' "
           "value='" +
           Kept(host, key::form::DestCity) +
           "'></td></tr><tr><td>State:</td><td><input type='text' name='DESTSTATE'  size='2' maxlength='2' "
           "value='" +
           Kept(host, key::form::DestState) +
           "'></td></tr><tr><td>Zip/Postal Code:</td><td><input type='text' name='DESTZIP' size='10' "
           "maxlength='10' value='" +
           Kept(host, key::form::DestZip) +
           "'></td></tr><tr><td>Special Instructions:</td><td><textarea rows='3' cols='60' name='DESTSPEC'>" +
           Kept(host, key::form::DestSpec) +
           "</TEXTAREA></td></tr></table><span style='visibility: hidden'><input type='text' name='SelDest' "
           "value='0'></SPAN><p align='center'><input type='submit' value='Return' name='btnSubmit2'></p>"
           "<p>&nbsp;</p>";
}

// A typed-in field that, trimmed, is longer than it may be.
struct LengthLimit {
    std::string_view field;
    std::size_t most;
    std::string_view message;
};

constexpr std::array<LengthLimit, 6> kNewDestinationLimits{{
    {"DESTDESC", 75,
     "<p>The destination description you have entered is too long, please use your browser's back button and "
     "enter a description with 75 characters or less.</p>"},
    {"DESTADD1", 30,
     "<p>The destination address you have entered is too long, please use your browser's back button and "
     "enter "
     "an address with 30 characters or less.</p>"},
    {"DESTADD2", 30,
     "<p>The second line of the destination address you have entered is too long, please use your browser's "
     "back button and enter an address with 30 characters or less.</p>"},
    {"DESTCITY", 15,
     "<p>The destination city you have entered is too long, please use your browser's back button and enter "
     "a "
     "city with 15 characters or less.</p>"},
    {"DESTSTATE", 2,
     "<p>The destination state you have entered is too long, please use your browser's back button and enter "
     "a "
     "state code with 2 characters.</p>"},
    {"DESTZIP", 10,
     "<p>The destination zip/postal code you have entered is too long, please use your browser's back button "
     "and enter a zip or postal code with 10 characters or less.</p>"},
}};

// The first check the typed-in destination fails, as its message; nothing when it passes.
std::optional<std::string_view> NewDestinationRefusal(const Host& host) {
    const std::string miles = Trim(host.formField("MILES"));
    if (!miles.empty() && !IsNumeric(Value(miles))) {
        return "<p>Please enter a valid number of miles (or 0) in the Average Miles field.</p>";
    }
    // Tested untrimmed: a description of blanks only passes.
    if (host.formField("DESTDESC").empty()) {
        return "<p align='center'>When entering in a new destination, a destination description is "
               "required.</p><p>Please use your browser's back button and enter a description with 75 "
               "characters or less.</p>";
    }
    for (const LengthLimit& limit : kNewDestinationLimits) {
        if (CharacterCount(Trim(host.formField(limit.field))) > limit.most) return limit.message;
    }
    return std::nullopt;
}

void KeepNewDestination(Host& host) {
    host.sessionSet(key::form::Destination, Value::Long(0));
    host.sessionSet(key::form::DestDesc, host.formField("DESTDESC"));
    host.sessionSet(key::form::DestCat, host.formField("DESTCAT"));
    host.sessionSet(key::form::Miles, host.formField("MILES"));
    host.sessionSet(key::form::DestAdd1, host.formField("DESTADD1"));
    host.sessionSet(key::form::DestAdd2, host.formField("DESTADD2"));
    host.sessionSet(key::form::DestCity, host.formField("DESTCITY"));
    host.sessionSet(key::form::DestZip, host.formField("DESTZIP"));
    host.sessionSet(key::form::DestSpec, host.formField("DESTSPEC"));
    host.sessionSet(key::form::DestState, host.formField("DESTSTATE"));
}

// Copies a destination of the table into the form state; false when it could not be read.
bool KeepListedDestination(AppObject& app, const std::string& number) {
    std::optional<std::string> instructions;
    {
        PageResources db(app.host);
        if (!db.open()) return false;
        instructions = getdest(app, number);
    }
    // Read before anything is kept, so that a failed read leaves the form's destination whole.
    if (!instructions) return false;
    Host& host = app.host;
    host.sessionSet(key::form::Destination, number);
    host.sessionSet(key::form::DestSpec, *instructions);
    host.sessionSet(key::form::DestDesc, app.destination.description);
    host.sessionSet(key::form::DestAdd1, app.destination.address1);
    host.sessionSet(key::form::Miles, Value::Single(app.destination.miles));
    host.sessionSet(key::form::DestCat, "");
    host.sessionSet(key::form::DestAdd2, app.destination.address2);
    host.sessionSet(key::form::DestCity, "");
    host.sessionSet(key::form::DestZip, "");
    host.sessionSet(key::form::DestState, "");
    return true;
}

void LookupDest_UserEvent(AppObject& app, const std::string& eventName) {
    ShowLookupPage(app, "LookupDest", eventName);
}

void LookupDest_ProcessTag(AppObject& app, const std::string& tagName, std::string& contents) {
    LookupPageTag(app, tagName, contents);
}

// Searches the table; false when the page is not to be shown.
bool FindDestinations(AppObject& app) {
    SearchCriteria where;
    const std::string description = Trim(app.host.formField("DESTDESC"));
    if (!description.empty()) {
        where.add(" ucase$(DESTINATION.DESTDESC) like ?", {BeginsWith(UCase(description))});
    }
    return RunLookupSearch(
        app, "SELECT DESTINATION.* FROM DESTINATION" + where.text() + " ORDER BY DESTINATION.DESTDESC",
        where.params(), "<table border='1' width='714'>",
        "<td width='50'><b>Selected</b></td><td width='88'><b>Description</b></td>"
        "<td width='50'><b>Destination</b></td><td width='88'><b>Address</b></td>"
        "<td width='88'><b>Address#2</b></td>",
        DestinationRow);
}

void LookupDest_FindDests(AppObject& app) {
    RunProcedure(app, Procedure{"LookupDest_FindDests", kModuleNone, true}, [&] {
        if (SessionTimedOut(app)) return;
        if (SameTextNoCase(app.host.formField("btnsubmit"), "New")) {
            app.strLookupResults = NewDestinationForm(app);
        } else if (!FindDestinations(app)) {
            return;
        }
        app.host.writeTemplate("LookupDest");
    });
}

void LookupDest_RetwSelected(AppObject& app) {
    RunProcedure(app, Procedure{"LookupDest_RetwSelected", kModuleNone}, [&] {
        Host& host = app.host;
        if (SessionTimedOut(app)) return;
        const std::string chosen = host.formField("SelDest");
        if (!chosen.empty()) {
            // The number 0 stands for the destination typed in on this page.
            if (CDbl(Value(chosen)) == 0) {
                if (const auto refusal = NewDestinationRefusal(host)) {
                    host.write(*refusal);
                    return;
                }
                KeepNewDestination(host);
            } else if (!KeepListedDestination(app, chosen)) {
                return;
            }
        }
        if (!ErrorTextIsSet()) ReturnToRequestForm(app);
    });
}

}  // namespace

void RegisterLookupDest(WebItemRegistry& items) {
    items.add({.name = "LookupDest",
               .templateFile = "LookupDest1.htm",
               .processTag = LookupDest_ProcessTag,
               .userEvent = LookupDest_UserEvent,
               .events = {{"FindDests", LookupDest_FindDests}, {"RetwSelected", LookupDest_RetwSelected}}});
}

}  // namespace excursa
