// The condition of a search's SQL text. The searches keep their SQL as text for the report
// pages, so values are written into it rather than bound: each kind of value is made safe here,
// in one place, before it joins the text.
#pragma once

#include <string>
#include <string_view>

namespace excursa {

// Criterion by criterion: " WHERE" before the first, " AND" before each further one.
class SearchCondition {
public:
    // " <column> = '<value>'", single quotes in the value doubled.
    void addText(std::string_view column, std::string_view value);
    // " <column> = <whole number>". A value that is no number fails with the language's
    // conversion error (13, type mismatch; 6, overflow) and adds nothing.
    void addWholeNumber(std::string_view column, const std::string& value);
    // " <column> = <number>": the value read as a number and written back, fractions kept.
    // A value that is no number fails with error 13 and adds nothing.
    void addNumber(std::string_view column, const std::string& value);
    // A fragment of the program's own, added as it stands: " TRIPS.ASSIGNED = TRUE".
    void addFragment(std::string_view fragment);

    enum class DateRange { Added, FromIsNoDate, ToIsNoDate };
    // " <expression> >= #from# and <expression> <= #to#" with both dates written month/day/year.
    // An empty `to` (after trimming) takes the text of `from` first. Nothing is added unless
    // both are dates.
    DateRange addDateRange(std::string_view expression, const std::string& from, std::string& to);

    const std::string& prefix() const { return prefix_; }  // "" or " WHERE"
    const std::string& body() const { return body_; }
    std::string text() const { return prefix_ + body_; }

private:
    void add(std::string_view fragment);
    std::string prefix_;
    std::string body_;
};

// A date as the SQL texts write it between # signs: month/day/year without leading zeros.
std::string SqlDateText(double date);

}  // namespace excursa
