// Pieces of HTML that the request, trip and summary result tables share.
#pragma once

#include "frame/app_object.h"
#include "frame/value.h"

#include <string>
#include <string_view>

namespace excursa {

inline constexpr std::string_view kNbsp = "&nbsp;";
// Amounts in the trip list and its totals.
inline constexpr std::string_view kMoneyFormat = "$###,##0.00";
// The style of the heading cells of the search pages' result tables.
inline constexpr std::string_view kHeadingCellStyle =
    "style=\"border: solid 0 #000000; border-right-width:1px;\"";

// A stored value as HTML text: a Null shows as one blank.
std::string Shown(const Value& v);
// The same, or "&nbsp;" when the value is blank.
std::string ShownOrNbsp(const Value& v);
// A stored time of day as hours and minutes, "&nbsp;" and AM or PM; "&nbsp;" when there is none.
std::string ShownTime(AppObject& app, const Value& v);
// A stored yes/no as a check box; disabled in the printed reports.
std::string CheckBox(const Value& v, bool disabled);

// "<td><font size='<size>'>html</font></td>"
std::string FontCell(std::string_view size, std::string_view html);

// The alternating row colours, white first.
class RowColours {
public:
    std::string_view next();

private:
    bool whiteNext_ = true;
};

}  // namespace excursa
