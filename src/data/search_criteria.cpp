#include "data/search_criteria.h"

#include "data/database.h"
#include "frame/value.h"

namespace excursa {

void SearchCondition::add(std::string_view fragment) {
    if (prefix_.empty()) prefix_ = " WHERE";
    if (!body_.empty()) body_ += " AND";
    body_ += fragment;
}

void SearchCondition::addText(std::string_view column, std::string_view value) {
    add(std::string(" ").append(column).append(" = '").append(SqlQuote(value)).append("'"));
}

void SearchCondition::addWholeNumber(std::string_view column, const std::string& value) {
    const std::int32_t number = CLng(Value(value));
    add(std::string(" ").append(column).append(" = ").append(std::to_string(number)));
}

void SearchCondition::addNumber(std::string_view column, const std::string& value) {
    const std::string number = CStr(Value::Double(CDbl(Value(value))));
    add(std::string(" ").append(column).append(" = ").append(number));
}

void SearchCondition::addFragment(std::string_view fragment) { add(fragment); }

SearchCondition::DateRange SearchCondition::addDateRange(std::string_view expression, const std::string& from,
                                                         std::string& to) {
    double fromDate = 0;
    if (!ParseDate(from, fromDate)) return DateRange::FromIsNoDate;
    if (Trim(to).empty()) to = from;
    double toDate = 0;
    if (!ParseDate(to, toDate)) return DateRange::ToIsNoDate;
    const std::string column(expression);
    add(" " + column + " >= #" + SqlDateText(fromDate) + "# and " + column + " <= #" + SqlDateText(toDate) +
        "#");
    return DateRange::Added;
}

std::string SqlDateText(double date) {
    return std::to_string(Month(date)) + "/" + std::to_string(Day(date)) + "/" + std::to_string(Year(date));
}

}  // namespace excursa
