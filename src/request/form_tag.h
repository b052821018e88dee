// What the tag handlers of the request form and of the printable request share: one call's view of
// the form flags and of the value sources, the rule table, and the tags that both draw alike.
#pragma once

#include "frame/app_object.h"
#include "frame/keys.h"
#include "request/request_form.h"

#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

namespace excursa {

inline constexpr std::string_view kCustomerLabel = "<font class=\"label\">Customer:</font>";
inline constexpr std::string_view kDestinationLabel = "<font class=\"label\">Destination:</font>";
inline constexpr std::string_view kFundLabel = "<font class=\"label\">Fund:</font>";

// Where an editable field takes its value from.
enum class Source {
    State,                       // the request form state
    Posted,                      // the posted field, even when empty
    PostedElseState,             // the posted field unless it is empty
    PostedUnlessBlankElseState,  // the posted field unless it is blank
    Nothing,                     // a request not yet stored: empty
    Record,                      // the stored request
};

// One field's name in each source.
struct FieldSource {
    std::string_view posted;  // form field
    std::string_view state;   // form state key
    std::string_view column;  // stored column
    bool trimmed;             // the stored text is trimmed after NullToSpace
};

// One call of the handler: the form flags, the value sources and the tag's attribute text.
class FormTag {
public:
    FormTag(AppObject& a, std::string attributeText)
        : app(a), host(a.host), attributes(std::move(attributeText)) {}

    AppObject& app;
    Host& host;
    const std::string attributes;  // what the template wrote between the markers

    bool editable() const { return app.blnCanEdit; }
    bool isNew() const { return app.blnNewRequest; }
    bool fromSession() const { return app.blnFromSession; }
    bool copyMode() const { return app.blnCopyMode; }
    // A new request posted back without a button, or shown for the first time.
    bool newWithoutButton() const { return isNew() && host.formField("btnSubmit").empty(); }
    // A stored request drawn from its record rather than re-shown from the session.
    bool storedNotReshown() const { return !isNew() && !fromSession(); }
    bool approving() const { return app.blnCanApprove && app.blnCanEdit; }

    // Contact, destination and the customer's special instructions.
    Source orderA() const {
        if (fromSession()) return Source::State;
        if (copyMode() || newWithoutButton()) return Source::PostedUnlessBlankElseState;
        if (isNew()) return Source::Nothing;
        return Source::Record;
    }
    // Every other editable field.
    Source orderB() const {
        if (copyMode()) return Source::PostedElseState;
        if (fromSession()) return Source::State;
        if (isNew()) return Source::Nothing;
        return Source::Record;
    }

    std::string posted(std::string_view name) const { return host.formField(name); }
    std::string state(std::string_view key) const { return TextOf(host.sessionGet(key)); }
    void setState(std::string_view key, const std::string& value) { host.sessionSet(key, value); }
    std::string session(std::string_view key) const { return TextOf(host.sessionGet(key)); }
    Value setting(std::string_view key) const { return host.appGet(key); }

    // Error 91, as a record set that was never opened gives.
    Recordset& record() { return OpenRequestRecord(app); }
    Value column(std::string_view name) { return record().field(name); }
    std::string columnText(std::string_view name) { return NullToSpace(column(name)); }
    std::string columnTrimmed(std::string_view name) { return Trim(columnText(name)); }
    std::string stored(const FieldSource& field) {
        return field.trimmed ? columnTrimmed(field.column) : columnText(field.column);
    }
    // The stored text as it stands; a null, which only another program writes, is nothing.
    std::string columnAsWritten(std::string_view name) {
        const Value v = column(name);
        return v.isNull() ? std::string() : NullToSpace(v);
    }

    std::string valueFrom(Source source, const FieldSource& field) {
        switch (source) {
            case Source::State:
                return state(field.state);
            case Source::Posted:
                return posted(field.posted);
            case Source::PostedElseState:
                return orState(posted(field.posted), field, false);
            case Source::PostedUnlessBlankElseState:
                return orState(posted(field.posted), field, true);
            case Source::Nothing:
                return "";
            case Source::Record:
                return stored(field);
        }
        return "";
    }

private:
    std::string orState(const std::string& postedValue, const FieldSource& field, bool blankIsEmpty) const {
        const bool empty = blankIsEmpty ? Trim(postedValue).empty() : postedValue.empty();
        return empty ? state(field.state) : postedValue;
    }
};

using TagRule = std::function<void(FormTag&, std::string& contents)>;
using TagRules = std::unordered_map<std::string, TagRule>;

void AddTagRule(TagRules& rules, std::string_view tag, TagRule rule);
// The rule of a tag (letter case ignored), or nullptr for a tag the page does not know.
const TagRule* FindTagRule(const TagRules& rules, std::string_view tagName);

// The district's comment, the new/existing marker, the request date and the calendar button.
void AddCommonTagRules(TagRules& rules);

// "Approve/Deny Comment:<br>" and the stored comment, when the request has one; otherwise the tag
// keeps what the template wrote.
void ShowStatusComment(FormTag& f, std::string& contents);
// The stored status comment; "" for a new request.
std::string StatusCommentOf(FormTag& f);

}  // namespace excursa
