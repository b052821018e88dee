// RequestDetail_ProcessTag: draws each WC@ tag of the trip request form from the
// posted form, the request form state in the session and the stored request.
// Every value that a user typed or a record holds is escaped where it is inserted.
#include "data/connections.h"
#include "frame/html.h"
#include "frame/keys.h"
#include "frame/procedure.h"
#include "frame/worker_state.h"
#include "lookup/district_header.h"
#include "lookup/form_controls.h"
#include "request/form_aids.h"
#include "request/form_tag.h"
#include "request/items.h"
#include "request/request_form.h"
#include "request/request_lookups.h"
#include "request/request_version.h"

#include <array>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

namespace excursa {

namespace {

constexpr std::string_view kNewDestinationLabel = "** New **";
constexpr std::string_view kWarningRowHead =
    "<tr valign='top'><td align='left' colspan='3' bgcolor='#ffff99'><font color='FF0000'>";
constexpr std::string_view kWarningRowTail = "</font></td></tr>";

// A yes/no session value; a text counts only when it reads "True".
bool IsTrue(const Value& v) {
    if (v.isEmpty() || v.isNull()) return false;
    if (v.isString()) return SameText(v, "True");
    return CBool(v);
}

// ------------------------------------------------------------------ look-ups

struct AddressRow {
    std::string label;
    std::string line1;
    std::string line2;
};

// The destination's description and address, or nullopt when the look-up failed (it wrote its error).
// PopulateFundDD closes the worker's connections when it ends; getdest needs them open again, and the
// form's entry event closes them at its end.
std::optional<AddressRow> LookUpDestination(FormTag& f, const std::string& destination) {
    if (!TripDBConnectionsOpen() && !PrepareDatabase(f.host)) return std::nullopt;
    if (!getdest(f.app, destination)) return std::nullopt;
    const AppObject::CurrentDestination& d = f.app.destination;
    return AddressRow{d.description, d.address1, d.address2};
}

// Fills app.customer; false when the look-up failed.
bool LookUpCustomer(FormTag& f, const std::string& code) { return getcust(f.app, code); }

// -------------------------------------------------------- header and identity

void RequestNumber(FormTag& f, std::string& contents) {
    if (!f.editable()) {
        contents = HtmlEscape(f.columnText("TRIPNUM"));
        return;
    }
    if (f.isNew()) {
        contents.clear();
        return;
    }
    const std::string number = f.fromSession() ? f.session(key::TripReq) : f.columnText("TRIPNUM");
    contents = "<input type='text' name='TRIPNUM' value='" + HtmlEscape(number) + "' readonly>";
}

// Stored texts that a new request does not have yet; a Null shows as nothing.
TagRule StoredTextOrNothing(std::string_view column) {
    return [column](FormTag& f, std::string& contents) {
        contents = f.isNew() ? std::string() : HtmlEscape(TextOf(f.column(column)));
    };
}

// The version of the stored request that the form shows, for the save's lost-update check. A form
// re-shown from the session keeps the version it was first drawn from.
void RequestVersionField(FormTag& f, std::string& contents) {
    std::string version;
    if (f.fromSession()) {
        version = f.state(key::form::Version);
    } else if (!f.isNew()) {
        version = RequestVersion(f.record());
    }
    contents =
        "<input type='hidden' name='" + std::string(kVersionField) + "' value='" + HtmlEscape(version) + "'>";
}

void AddIdentityRules(TagRules& rules) {
    AddTagRule(rules, "WC@REQUEST", RequestNumber);
    AddTagRule(rules, "WC@VERSION", RequestVersionField);
    AddTagRule(rules, "WC@STATUS", StoredTextOrNothing("Status"));
    AddTagRule(rules, "WC@STATUS_DATE", StoredTextOrNothing("STATUS_DATE"));
    AddTagRule(rules, "WC@ENTEREDBY", StoredTextOrNothing("ENTEREDBY"));
    AddTagRule(rules, "WC@ENTERDATE", StoredTextOrNothing("enterdate"));
    AddTagRule(rules, "WC@CHAIN", [](FormTag& f, std::string& contents) {
        if (!f.editable()) {
            contents = HtmlEscape(f.columnText("chainid"));
            return;
        }
        const std::string chain = f.isNew() ? std::string() : HtmlEscape(f.columnText("chainid"));
        contents = "<input type='text' name='CHAINID' value='" + chain + "'>";
    });
}

// ------------------------------------------------------------------ approval

void StatusComment(FormTag& f, std::string& contents) {
    if (!f.approving()) {
        ShowStatusComment(f, contents);
        return;
    }
    contents = "Approve/Deny Comment:<BR><textarea rows='4' cols='20' name='STATUS_COMMENT'>" +
               HtmlEscape(StatusCommentOf(f)) + "</TEXTAREA>";
}

void AddApprovalRules(TagRules& rules) {
    AddTagRule(rules, "WC@APPROVE", [](FormTag& f, std::string& contents) {
        if (f.isNew() || !f.approving()) {
            contents.clear();
            return;
        }
        contents = "<p align='left'><input type='radio' name='Approve' value='" +
                   HtmlEscape(f.app.strApproveValue) +
                   "'> Approve<br><input type='radio' name='Approve' value='Deny'> Deny</p>";
    });
    AddTagRule(rules, "WC@STATUSCOMMENT", StatusComment);
}

// ------------------------------------------------------------ customer, contact

constexpr FieldSource kContact{"Contact", key::form::Contact, "CONTACT", true};
constexpr FieldSource kCustSpec{"CUSTSPEC", key::form::CustSpec, "CUSTSPEC", true};

std::string PostedCustomerCode(const FormTag& f) { return Trim(BeforeFirstComma(f.posted("cust"))); }

void EditableCustomer(FormTag& f, std::string& contents) {
    std::string selected;
    if (f.copyMode()) {
        selected = PostedCustomerCode(f);
        if (selected.empty()) selected = f.state(key::form::Customer);
    } else if (f.fromSession()) {
        selected = f.state(key::form::Customer);
    } else if (!f.isNew()) {
        selected = f.columnTrimmed("CUSTOMER");
        if (f.state(key::form::Customer).empty()) f.setState(key::form::Customer, selected);
    }
    contents = BuildCustomerSelect(f.app, f.attributes, selected);
}

void Customer(FormTag& f, std::string& contents) {
    if (f.editable()) {
        EditableCustomer(f, contents);
        return;
    }
    const std::string code = f.columnTrimmed("CUSTOMER");
    f.setState(key::form::Customer, code);
    if (!LookUpCustomer(f, code)) return;
    contents = HtmlEscape(f.app.customer.name);
}

void Contact(FormTag& f, std::string& contents) {
    if (!f.editable()) {
        const std::string contact = f.columnAsWritten(kContact.column);
        f.setState(kContact.state, contact);
        contents = HtmlEscape(contact);
        return;
    }
    contents = "<input type='text' name='Contact' size='25' maxlength='25' value='" +
               HtmlEscape(f.valueFrom(f.orderA(), kContact)) + "' " + f.attributes + ">";
}

// The form state's special instructions, or the customer's standing ones when it has none.
std::optional<std::string> CustSpecFromState(FormTag& f) {
    const std::string custSpec = f.state(kCustSpec.state);
    const std::string customer = Trim(f.state(key::form::Customer));
    if (!custSpec.empty() || customer.empty()) return custSpec;
    if (!LookUpCustomer(f, customer)) return std::nullopt;
    return f.app.customer.custSpec;
}

std::optional<std::string> EditableCustSpec(FormTag& f) {
    switch (f.orderA()) {
        case Source::PostedUnlessBlankElseState: {
            const std::string posted = f.posted(kCustSpec.posted);
            if (!Trim(posted).empty()) return posted;
            return CustSpecFromState(f);
        }
        case Source::State:
            return CustSpecFromState(f);
        case Source::Record: {
            const std::string custSpec = f.stored(kCustSpec);
            f.setState(kCustSpec.state, custSpec);
            return custSpec;
        }
        default:
            return std::string();
    }
}

void CustSpec(FormTag& f, std::string& contents) {
    if (!f.editable()) {
        contents = "<textarea rows='3' cols='60' name='CUSTSPEC' readonly='yes' " + f.attributes + ">" +
                   HtmlEscape(f.stored(kCustSpec)) + "</TEXTAREA>";
        return;
    }
    const std::optional<std::string> custSpec = EditableCustSpec(f);
    if (!custSpec) return;
    contents = "<textarea rows='3' cols='60' name='CUSTSPEC' " + f.attributes + ">" + HtmlEscape(*custSpec) +
               "</TEXTAREA>";
}

void AddCustomerRules(TagRules& rules) {
    AddTagRule(rules, "WC@CUSTHDR", [](FormTag& f, std::string& contents) {
        const bool anyCustomer = Trim(f.session(key::Customer)).empty();
        contents = f.editable() && anyCustomer
                       ? "<input type='submit' value='Customer' name='btnSubmit' " + f.attributes + ">"
                       : std::string(kCustomerLabel);
    });
    AddTagRule(rules, "WC@CUSTOMER", Customer);
    AddTagRule(rules, "WC@CONTACT", Contact);
    AddTagRule(rules, "WC@CUSTSPEC", CustSpec);
}

// --------------------------------------------------------------- destination

constexpr FieldSource kDestSpec{"DESTSPEC", key::form::DestSpec, "DESTSPEC", true};

// A destination typed in by the user and not yet in the destination table.
bool IsNewDestination(std::string_view destination) {
    return !destination.empty() && destination.front() == '0';
}

std::string DestinationSelect(FormTag& f, const std::string& destination, bool isNew) {
    return BuildDestinationDD(f.app, f.attributes, destination, isNew);
}

std::string DestinationFromState(FormTag& f) {
    const std::string destination = f.state(key::form::Destination);
    if (Trim(destination) == "0") return DestinationSelect(f, f.state(key::form::DestDesc), true);
    if (Left(destination, 2) == "0,") return DestinationSelect(f, Mid(destination, 3), true);
    return DestinationSelect(f, destination, false);
}

std::string DestinationFromPost(FormTag& f) {
    std::string destination = f.posted("dest");
    if (Trim(destination).empty()) destination = f.state(key::form::Destination);
    if (Trim(destination) == "0") return DestinationSelect(f, f.state(key::form::DestDesc), true);
    return DestinationSelect(f, destination, false);
}

// What SetDestFromREQ copies for the stored request, taken from its row, which is open: SetDestFromREQ
// would read the same row again and open and close the three database files to do it.
void CopyStoredDestination(FormTag& f) { CopyRequestDestination(f.host, f.record()); }

std::string DestinationFromRecord(FormTag& f) {
    // The form state must hold the stored destination's details for the lookups and the save; a
    // destination typed in by hand lives only there, and a save without them would blank it.
    CopyStoredDestination(f);
    const std::string description = f.columnTrimmed("DESTDESC");
    if (NullToZero(f.column("Destination")) == 0 && !description.empty()) {
        return DestinationSelect(f, description, true);
    }
    return DestinationSelect(f, f.columnTrimmed("Destination"), false);
}

void ReadOnlyDestination(FormTag& f, std::string& contents) {
    const std::string destination = f.columnTrimmed("Destination");
    const std::string description = f.columnTrimmed("DESTDESC");
    f.setState(key::form::Destination, destination);
    if (!description.empty() && NullToZero(f.column("Destination")) == 0) {
        CopyStoredDestination(f);
        contents = HtmlEscape(description);
        return;
    }
    const std::optional<AddressRow> found = LookUpDestination(f, destination);
    if (found) contents = HtmlEscape(found->label);
}

void Destination(FormTag& f, std::string& contents) {
    if (!f.editable()) {
        ReadOnlyDestination(f, contents);
        return;
    }
    switch (f.orderA()) {
        case Source::State:
            contents = DestinationFromState(f);
            break;
        case Source::PostedUnlessBlankElseState:
            contents = DestinationFromPost(f);
            break;
        case Source::Record:
            contents = DestinationFromRecord(f);
            break;
        default:
            contents = DestinationSelect(f, "", false);
            break;
    }
}

AddressRow AddressFromState(const FormTag& f) {
    const bool isNew = IsNewDestination(f.state(key::form::Destination));
    return {isNew ? std::string(kNewDestinationLabel) : std::string(), f.state(key::form::DestAdd1),
            f.state(key::form::DestAdd2)};
}

std::optional<AddressRow> AddressFromRecord(FormTag& f) {
    if (NullToZero(f.column("Destination")) == 0) {
        return AddressRow{std::string(kNewDestinationLabel), f.columnAsWritten("DESTADD1"),
                          f.columnAsWritten("DESTADD2")};
    }
    return LookUpDestination(f, f.columnTrimmed("Destination"));
}

// The label and lines to show (none for a fresh new request); nullopt when a look-up failed.
std::optional<AddressRow> DestinationAddress(FormTag& f) {
    if (f.editable() && (f.fromSession() || f.copyMode())) return AddressFromState(f);
    if (f.editable() && f.newWithoutButton()) {
        if (IsNewDestination(f.state(key::form::Destination))) return AddressFromState(f);
        return LookUpDestination(f, f.posted("dest"));
    }
    if (f.editable() && f.isNew()) return AddressRow{};
    return AddressFromRecord(f);
}

// Line 2 follows whenever it is not empty. A line the destination table holds as null reads " ",
// so a destination without a second line still ends in "<br> ".
std::string AddressHtml(const AddressRow& row) {
    std::string address = HtmlEscape(row.line1);
    if (!row.line2.empty()) address += "<br>" + HtmlEscape(row.line2);
    return address;
}

void DestinationAddressRow(FormTag& f, std::string& contents) {
    const std::optional<AddressRow> row = DestinationAddress(f);
    if (!row) return;
    const std::string address = AddressHtml(*row);
    if (Trim(address).empty()) {
        contents.clear();
        return;
    }
    contents =
        "<tr><td><font class='label'>" + HtmlEscape(row->label) + "</font></td><td>" + address + "</td></tr>";
}

void AddDestinationRules(TagRules& rules) {
    AddTagRule(rules, "WC@DESTHDR", [](FormTag& f, std::string& contents) {
        contents = f.editable()
                       ? "<input type='submit' value='Destination' name='btnSubmit' " + f.attributes + ">"
                       : std::string(kDestinationLabel);
    });
    AddTagRule(rules, "WC@DESTINATION", Destination);
    AddTagRule(rules, "WC@DESTINATIONADDRESS", DestinationAddressRow);
}

// ---------------------------------------------------------------------- fund

constexpr FieldSource kFund{"Fund", key::form::Fund, "Fund", true};

// Whose funds the drop-down offers: "" for all funds.
std::string FundListCustomer(const FormTag& f) {
    const bool perCustomer = SameText(f.setting(key::UseCustFund), "True");
    const bool mayOverride = SameText(f.host.sessionGet(key::CanOverrideFund), "True");
    if (!perCustomer || mayOverride) return "";
    const std::string shown = Trim(f.state(key::form::Customer));
    // An empty code would list every customer's funds.
    if (f.copyMode() || (f.isNew() && !f.fromSession()) || shown.empty()) {
        const std::string posted = PostedCustomerCode(f);
        if (!posted.empty()) return posted;
        const std::string own = Trim(f.session(key::Customer));
        // "0" has no funds: a user without a customer chooses one first.
        return own.empty() ? "0" : own;
    }
    return shown;
}

void Fund(FormTag& f, std::string& contents) {
    if (!f.editable()) {
        const std::string fund = f.columnAsWritten(kFund.column);
        f.setState(kFund.state, fund);
        contents = HtmlEscape(fund);
        return;
    }
    const std::string fund = f.valueFrom(f.orderB(), kFund);
    if (!SameText(f.setting(key::FundDD), "True")) {
        contents =
            "<input type='text' name='fund' size='25' value='" + HtmlEscape(fund) + "' " + f.attributes + ">";
        return;
    }
    PopulateFundDD(f.app, FundListCustomer(f));
    contents = BuildFundDD(f.app, f.attributes, fund);
}

void AddFundRules(TagRules& rules) {
    AddTagRule(rules, "WC@FUNDHDR", [](FormTag& f, std::string& contents) {
        contents = f.editable()
                       ? "<b><input type='submit' value='Fund' name='btnSubmit' " + f.attributes + "></b>"
                       : std::string(kFundLabel);
    });
    AddTagRule(rules, "WC@FUND", Fund);
}

// ------------------------------------------------------------ dates and times

// A stored date or time; Null (or an empty text) is the no-date value.
double StoredDate(const Value& v) {
    if (v.isNull() || v.isEmpty() || (v.isString() && Trim(v.text()).empty())) return kNoDate;
    return CDate(v);
}

double DateFromState(const FormTag& f, const key::form::DateParts& keys, bool defaultYear) {
    std::string year = f.state(keys.year);
    if (defaultYear && Trim(year).empty()) year = std::to_string(Year(Today()));
    return DateFromParts(f.state(keys.month), f.state(keys.day), year);
}

std::string DatePickers(const FormTag& f, double date, const std::string& prefix) {
    return BuildMonthPicker(date, prefix, f.attributes) + BuildDayPicker(date, prefix, f.attributes) +
           BuildYearPicker(date, prefix, f.attributes);
}

void DepartureDate(FormTag& f, std::string& contents) {
    if (!f.editable()) {
        contents = HtmlEscape(f.columnText("depdate"));
        return;
    }
    double date = kNoDate;
    if (f.fromSession()) {
        date = DateFromState(f, key::form::Departure, true);
    } else if (!f.copyMode() && !f.isNew()) {
        date = StoredDate(f.column("depdate"));
    }
    contents = DatePickers(f, date, "Dep");
}

void ReturnDate(FormTag& f, std::string& contents) {
    if (!f.editable()) {
        contents = HtmlEscape(f.columnText("retdate"));
        return;
    }
    double date = kNoDate;
    if (f.copyMode()) {
        date = kNoDate;
    } else if (f.fromSession()) {
        date = DateFromState(f, key::form::Return, false);
    } else if (!f.isNew()) {
        date = StoredDate(f.column("retdate"));
    }
    contents = DatePickers(f, date, "Rtn");
}

struct TimeField {
    std::string_view prefix;  // of the pickers and the posted fields
    key::form::TimeParts state;
    std::string_view column;
};

double TimeFromState(const FormTag& f, const key::form::TimeParts& keys) {
    return TimeFromParts(f.state(keys.hour), f.state(keys.minute), f.state(keys.ampm));
}

double EditableTime(FormTag& f, const TimeField& field) {
    const std::string prefix(field.prefix);
    switch (f.orderB()) {
        case Source::PostedElseState: {
            const std::string hour = f.posted(prefix + "_HOUR");
            if (hour.empty()) return TimeFromState(f, field.state);  // the blank choice posts " "
            return TimeFromParts(hour, f.posted(prefix + "_MIN"), f.posted(prefix + "_AMPM"));
        }
        case Source::State:
            return TimeFromState(f, field.state);
        case Source::Record:
            return StoredDate(f.column(field.column));
        default:
            return kNoDate;
    }
}

TagRule TimeRule(TimeField field) {
    return [field](FormTag& f, std::string& contents) {
        const std::string prefix(field.prefix);
        if (f.editable()) {
            contents = BuildTimePicker(EditableTime(f, field), prefix, f.attributes);
            return;
        }
        const Value stored = f.column(field.column);
        const TimeParts parts = SplitStoredTime(stored);
        f.setState(field.state.hour, parts.hour);
        f.setState(field.state.minute, parts.minute);
        f.setState(field.state.ampm, parts.ampm);
        contents = HtmlEscape(NullToSpace(stored));
    };
}

// The save's date warnings; the texts quote calendar notes, so they are escaped.
TagRule WarningRow(std::string_view flagKey, std::string_view textKey, std::string_view lead) {
    return [flagKey, textKey, lead](FormTag& f, std::string& contents) {
        if (!IsTrue(f.host.sessionGet(flagKey))) return;
        contents = std::string(kWarningRowHead) + std::string(lead) + HtmlEscape(f.session(textKey)) +
                   std::string(kWarningRowTail);
    };
}

void AddDateRules(TagRules& rules) {
    AddTagRule(rules, "WC@DATESHDR", [](FormTag& f, std::string& contents) {
        if (IsTrue(f.host.sessionGet(key::DepDtWarn)) || IsTrue(f.host.sessionGet(key::RtnDtWarn))) {
            contents = "*DATES/TIMES - <font color='FF0000'>WARNING</font>*";
        }
    });
    AddTagRule(rules, "WC@DEPDATE", DepartureDate);
    AddTagRule(rules, "WC@RETDATE", ReturnDate);
    AddTagRule(rules, "WC@DEPTIME", TimeRule({"DEP", key::form::DepartureTime, "deptime"}));
    AddTagRule(rules, "WC@RETTIME", TimeRule({"RET", key::form::ReturnTime, "rettime"}));
    AddTagRule(rules, "WC@ARRIVETIME", TimeRule({"ARRIVE", key::form::ArriveTime, "arrivetime"}));
    AddTagRule(rules, "WC@LEAVETIME", TimeRule({"LEAVE", key::form::LeaveTime, "leavetime"}));
    AddTagRule(rules, "WC@DEPWARN", WarningRow(key::DepDtWarn, key::DepDtWarnText, "Departure -"));
    AddTagRule(rules, "WC@RTNWARN", WarningRow(key::RtnDtWarn, key::RtnDtWarnText, ""));
    AddTagRule(rules, "WC@DEFAULTRETURNDATE", [](FormTag& f, std::string& contents) {
        contents = std::string("<input type='checkbox' name='chkDefaultReturnDate' value='ON' ") +
                   (f.isNew() ? "checked " : "") + f.attributes +
                   " />Use the departure date as the return date.";
    });
    AddTagRule(rules, "WC@LEADTIME", [](FormTag& f, std::string& contents) {
        contents = std::to_string(CLng(f.setting(key::LeadTime)));
    });
    AddTagRule(rules, "WC@LEADTIMEHARDWARN", [](FormTag& f, std::string& contents) {
        // Without the right to override (also when it was never granted) the district's setting holds.
        const bool mayOverride = SameText(f.host.sessionGet(key::CanOverrideDepartureDate), "True");
        contents = mayOverride ? "False" : TextOf(f.setting(key::LeadTimeHardWarn));
    });
    AddTagRule(rules, "WC@FOCUS", [](FormTag& f, std::string& contents) {
        contents = f.editable() ? "document.TripRequestDetail.Dep_month.focus();" : "";
    });
}

// ------------------------------------------------------- numbers and texts

// Read-only: the stored value goes into the form state and shows as text.
std::string ReadOnlyValue(FormTag& f, const FieldSource& field) {
    const std::string value = f.stored(field);
    f.setState(field.state, value);
    return value;
}

TagRule TextInput(std::string_view opening, FieldSource field) {
    return [opening, field](FormTag& f, std::string& contents) {
        if (!f.editable()) {
            contents = HtmlEscape(ReadOnlyValue(f, field));
            return;
        }
        contents =
            std::string(opening) + HtmlEscape(f.valueFrom(f.orderB(), field)) + "' " + f.attributes + ">";
    };
}

// The destination's special instructions follow the post in copy mode even when it is empty.
TagRule TextArea(FieldSource field, bool copyTakesPost) {
    return [field, copyTakesPost](FormTag& f, std::string& contents) {
        const std::string head = "<textarea rows='3' cols='60' name='" + std::string(field.posted) + "' ";
        if (!f.editable()) {
            contents = head + "readonly='yes' " + f.attributes + ">" + HtmlEscape(ReadOnlyValue(f, field)) +
                       "</TEXTAREA>";
            return;
        }
        const Source source = copyTakesPost && f.copyMode() ? Source::Posted : f.orderB();
        contents = head + f.attributes + ">" + HtmlEscape(f.valueFrom(source, field)) + "</TEXTAREA>";
    };
}

using SelectBuilder = std::string (*)(AppObject&, const std::string&, const std::string&);

TagRule PickListSelect(FieldSource field, SelectBuilder build) {
    return [field, build](FormTag& f, std::string& contents) {
        if (!f.editable()) {
            contents = HtmlEscape(ReadOnlyValue(f, field));
            return;
        }
        contents = build(f.app, f.attributes, f.valueFrom(f.orderB(), field));
    };
}

void AddNumberAndTextRules(TagRules& rules) {
    AddTagRule(rules, "WC@INTTRIPNUM",
               TextInput("<input type='text' name='INTTRIPNUM' size='30' maxlength='30' value='",
                         {"INTTRIPNUM", key::form::IntTripNum, "INTTRIPNUM", true}));
    AddTagRule(rules, "WC@NUMADULTS",
               TextInput("<input type='text' name='NUMADULTS' size='10' value='",
                         {"NUMADULTS", key::form::NumAdults, "NUMADULTS", false}));
    AddTagRule(rules, "WC@NUMSTUDENTS",
               TextInput("<input type='text' name='NUMSTUDENTS' size='10' value='",
                         {"NUMSTUDENTS", key::form::NumStudents, "NUMSTUDENTS", true}));
    AddTagRule(rules, "WC@NUMHAND",
               TextInput("<input type='text' name='NUMHAND' size='10' value='",
                         {"NUMHAND", key::form::NumHand, "NUMHAND", false}));
    AddTagRule(rules, "WC@ESTTIME",
               TextInput("<input type='text' name='ESTTIME' size='10' value='",
                         {"ESTTIME", key::form::EstTime, "estTime", false}));
    AddTagRule(rules, "WC@ESTMILE",
               TextInput("<input type='text' name='ESTMILE' size='10' value='",
                         {"ESTMILE", key::form::EstMile, "ESTMILE", false}));
    AddTagRule(rules, "WC@PURPOSE",
               TextInput("<input type='text' name='PURPOSE' size='10' maxlength='25' value='",
                         {"PURPOSE", key::form::Purpose, "PURPOSE", true}));
    AddTagRule(rules, "WC@PO",
               TextInput("<input type='text' name='PO' size='15' maxlength='15' value='",
                         {"PO", key::form::Po, "PO", true}));
    AddTagRule(rules, "WC@DESTSPEC", TextArea(kDestSpec, true));
    AddTagRule(rules, "WC@TRIPCOM", TextArea({"TRIPCOM", key::form::TripCom, "TRIPCOM", true}, false));
    AddTagRule(rules, "WC@GRADE",
               PickListSelect({"grade", key::form::Grade, "GRADE", true}, BuildGradeSelect));
    // Trimmed like the other codes, so a padded stored category is still selected.
    AddTagRule(rules, "WC@TRIPCAT",
               PickListSelect({"tripcat", key::form::TripCat, "TRIPCAT", true}, BuildTripCatSelect));
}

// -------------------------------------------------------------------- e-mail

constexpr FieldSource kRequestorEmail{"REQUESTOREMAIL", key::form::RequestorEmail, "REQUESTOR_EMAIL", false};

// After a drop-down change, a lookup or a Copy: what was typed, else the customer's address.
std::optional<std::string> ReshownEmail(FormTag& f) {
    const std::string email = f.valueFrom(Source::PostedElseState, kRequestorEmail);
    const std::string customer = Trim(f.state(key::form::Customer));
    if (!email.empty() || customer.empty()) return email;
    if (!LookUpCustomer(f, customer)) return std::nullopt;
    return f.app.customer.requestorEmail;
}

void RequestorEmail(FormTag& f, std::string& contents) {
    if (!f.editable()) {
        contents = HtmlEscape(ReadOnlyValue(f, kRequestorEmail));
        return;
    }
    std::optional<std::string> email;
    if (f.fromSession() || f.copyMode()) {
        email = ReshownEmail(f);
    } else {
        email = f.isNew() ? std::string() : f.stored(kRequestorEmail);
    }
    if (!email) return;
    contents =
        "<input type='text' name='RequestorEmail' value='" + HtmlEscape(*email) + "' " + f.attributes + ">";
}

void AddEmailRules(TagRules& rules) {
    AddTagRule(rules, "WC@REQUESTOREMAILHDR", [](FormTag& f, std::string& contents) {
        if (f.isNew()) contents.clear();
    });
    AddTagRule(rules, "WC@REQUESTOREMAIL", RequestorEmail);
}

// ------------------------------------------------------------------- buttons

void FormButtons(FormTag& f, std::string& contents) {
    const std::string& a = f.attributes;
    const std::string copy =
        f.storedNotReshown()
            ? "<input type='submit' value='Copy' name='btnSubmit' onclick='return confirmCopy();' " + a + ">"
            : std::string();
    const std::string exitButton = "<input type='submit' value='**Exit**' name='btnSubmit' " + a + ">";
    if (!f.editable()) {
        contents = copy + exitButton;
        return;
    }
    contents =
        "<input type='submit' value='Save' name='btnSubmit' onclick='return validateDepartureDate();' " + a +
        ">" + copy + "<input type='reset' value='Reset' name='btnRESET' " + a + ">" + exitButton;
    if (!f.storedNotReshown()) return;
    for (int i = 0; i < 12; ++i) contents += "&nbsp;";
    contents +=
        "<input type='submit' value='Delete' name='btnSubmit' onclick='return confirmDelete();'" + a + ">";
}

void AddButtonRules(TagRules& rules) {
    AddTagRule(rules, "WC@FORMBUTTONS", FormButtons);
    AddTagRule(rules, "WC@PRINT", [](FormTag& f, std::string& contents) {
        contents = f.isNew() ? "" : "<input type=\"submit\" value=\"Print\" name=\"btnSubmit\">";
    });
}

// ---------------------------------------------------------------- dispatch

TagRules MakeRules() {
    TagRules rules;
    AddCommonTagRules(rules);
    AddIdentityRules(rules);
    AddApprovalRules(rules);
    AddCustomerRules(rules);
    AddDestinationRules(rules);
    AddFundRules(rules);
    AddDateRules(rules);
    AddNumberAndTextRules(rules);
    AddEmailRules(rules);
    AddButtonRules(rules);
    AddFormAidRules(rules);
    return rules;
}

const TagRule* FindRule(std::string_view tagName) {
    static const TagRules rules = MakeRules();
    return FindTagRule(rules, tagName);
}

// The flags every call starts from: the session says whether the form is re-shown and whether it is new.
void SetFormFlags(AppObject& app) {
    const Host& host = app.host;
    if (SameText(host.sessionGet(key::LoadFromSession), "True")) app.blnFromSession = true;
    app.blnNewRequest = SameText(host.sessionGet(key::form::New), "NEW");
    // A request not yet stored is always editable.
    if (app.blnNewRequest) app.blnCanEdit = true;
}

}  // namespace

void RequestDetail_ProcessTag(AppObject& app, const std::string& tagName, std::string& contents) {
    RunProcedure(app, Procedure{"RequestDetail_ProcessTag", kModuleExcursa}, [&] {
        // The session and the flags do not change while one page is written: decided at its first tag.
        std::optional<bool>& timedOut = app.pageState<RequestFormState>().timedOut;
        if (!timedOut) {
            timedOut = SessionTimedOut(app);
            if (!*timedOut) SetFormFlags(app);
        }
        if (*timedOut) return;
        if (DistrictHeaderTag(app.host, tagName, contents)) return;
        const TagRule* rule = FindRule(tagName);
        if (rule == nullptr) return;
        FormTag tag(app, contents);
        (*rule)(tag, contents);
    });
}

}  // namespace excursa
