#include "reports/result_html.h"

#include "frame/html.h"
#include "request/request_lookups.h"

namespace excursa {

std::string Shown(const Value& v) { return HtmlEscape(NullToSpace(v)); }

std::string ShownOrNbsp(const Value& v) {
    const std::string text = NullToSpace(v);
    return Trim(text).empty() ? std::string(kNbsp) : HtmlEscape(text);
}

std::string ShownTime(AppObject& app, const Value& v) { return getTIME(app, HtmlEscape(NullToSpace(v))); }

std::string CheckBox(const Value& v, bool disabled) {
    const bool yes = v.type() == VarType::Boolean ? v.boolean() : SameText(v, "True");
    std::string box = yes ? "<input type=checkbox checked" : "<input type=checkbox";
    return box + (disabled ? " disabled>" : ">");
}

std::string FontCell(std::string_view size, std::string_view html) {
    std::string cell = "<td><font size='";
    cell.append(size).append("'>").append(html).append("</font></td>");
    return cell;
}

std::string_view RowColours::next() {
    const bool white = whiteNext_;
    whiteNext_ = !whiteNext_;
    return white ? "#FFFFFF" : "#C0C0C0";
}

}  // namespace excursa
