#include "request/form_tag.h"

#include "frame/html.h"

namespace excursa {

void AddTagRule(TagRules& rules, std::string_view tag, TagRule rule) {
    rules.emplace(UCase(tag), std::move(rule));
}

const TagRule* FindTagRule(const TagRules& rules, std::string_view tagName) {
    const auto it = rules.find(UCase(tagName));
    return it == rules.end() ? nullptr : &it->second;
}

void AddCommonTagRules(TagRules& rules) {
    AddTagRule(rules, "WC@TRIPREQCOMMENT", [](FormTag& f, std::string& contents) {
        // The district's own text, markup allowed.
        contents = "<b><font color='#FFFFFF'>" + f.session(key::TripReqComment) + "</font></b>";
    });
    AddTagRule(rules, "WC@REQUESTDT", [](FormTag& f, std::string& contents) {
        contents = f.isNew() ? DateText(Today()) : HtmlEscape(f.columnTrimmed("REQDATE"));
    });
    AddTagRule(rules, "WC@NEW", [](FormTag& f, std::string& contents) {
        contents = f.isNew() ? "<input type='text' name='New' value='NEW'>"
                             : "<input type='text' name='New' value='EXISTING'>";
    });
    AddTagRule(rules, "WC@CALENDARBUTTON", [](FormTag& f, std::string& contents) {
        if (!CBool(f.setting(key::DotnetInstalled))) {
            contents.clear();
            return;
        }
        contents =
            "<input type=\"button\" value=\"View Calendar\" name=\"btnCalendar\" onclick=\"window.open('" +
            TextOf(f.setting(key::CalendarUrl)) + "', '', 'width=765,height=415');\">";
    });
}

std::string StatusCommentOf(FormTag& f) {
    return f.isNew() ? std::string() : f.columnTrimmed("STATUS_COMMENT");
}

void ShowStatusComment(FormTag& f, std::string& contents) {
    const std::string comment = StatusCommentOf(f);
    if (!comment.empty()) contents = "Approve/Deny Comment:<br>" + HtmlEscape(comment);
}

}  // namespace excursa
