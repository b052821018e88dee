// What the request search and the field trip search pages share: their district switches, the date
// criteria, and the drop-downs and tags both forms carry.
#pragma once

#include "data/search_criteria.h"
#include "frame/app_object.h"
#include "lookup/form_controls.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace excursa {

struct SearchState;

// A district setting that is on ("True" as text or yes as a yes/no value); anything else is off.
bool DistrictSwitch(const Host& host, std::string_view key);

// Adds the date range of a search when `from` is given (an empty `to` takes `from`); the message
// for a date that is none, naming `what` ("departure", "enter").
std::optional<std::string> AddDateCriterion(SearchCondition& condition, std::string_view expression,
                                            const std::string& from, std::string& to, std::string_view what);

// The text before the first comma of a posted pick-list entry ("N, North" -> "N").
std::string CodeOfEntry(const std::string& posted);

// "<select name='<name>' " + attributes + ">" + options + "</select>"
std::string SearchSelect(std::string_view name, const std::string& attributes, const std::string& options);

// Options of a session list: `blankEntry` for a blank entry, what `option` makes of the others.
std::string Options(const SessionList& list, std::string_view blankEntry,
                    const std::function<std::string(const std::string&)>& option);

// Options of the grade and status lists: "<option value=>" for the empty entry, the others valued
// by themselves and left unclosed.
std::string ValueOptions(const SessionList& list, const std::string& selected);

// The request search's destination options: the number unquoted as the value, the name cut to
// the destination label's length.
std::string RequestDestinationOptions(const SessionList& list, const std::string& selected);

// Options of a list of "code, name" entries: the code as the value, the name as the text. The pages
// differ in what closes an unselected option's value ("' >" or "'>"), in the empty entry and in
// how many characters of the name they show.
struct CodeOptionForm {
    std::string_view unselectedClose;
    std::string_view emptyEntry;
    std::size_t labelCharacters = std::string::npos;
};
std::string CodeOptions(const SessionList& entries, const std::string& selected, CodeOptionForm form);

// The user's own customer when the district keeps users of a customer to their own; nothing otherwise.
std::optional<std::string> OwnCustomerOnly(const Host& host);

// The criteria both forms post alike: grade, destination, division, departure dates, category.
void ReadCommonCriteria(const Host& host, SearchState& search);

// The tags both search pages fill alike: the district header, the grade, category and division
// drop-downs, the departure dates, the result table and its count. False for any other tag.
bool SearchPageTag(AppObject& app, const std::string& tagName, std::string& contents);

}  // namespace excursa
