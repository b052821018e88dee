// The pick lists read from the reference tables and the drop-downs and
// date/time pickers of the request form and the search pages.
#pragma once

#include "data/database.h"
#include "frame/app_object.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace excursa {

// A list kept in the session and the count stored beside it. A list never filled
// (the empty text of a reset) has no entries; a count beyond the list is cut to it.
class SessionList {
public:
    SessionList(const AppObject& app, std::string_view listKey, std::string_view countKey);

    bool filled() const { return list_.isArray(); }
    const TextArray& array() const { return list_.array(); }
    // Index of the last entry to draw; -1 draws none.
    int last() const;

private:
    static int lastIndex(const Value& count);
    Value list_;
    int last_;
};

// Destinations are listed by at most this many characters of their name.
inline constexpr std::size_t kDestinationLabelLength = 30;

// List builders: fill app.lists (entries 0..N, entry 0 ""). They use the open
// connections, except PopulateFundDD, which opens and closes them itself.
void PopulateDD(AppObject& app);
void PopulateCustDD(AppObject& app);
void PopulateDestDD(AppObject& app);
void PopulateGradeDD(AppObject& app);
void PopulateCatDD(AppObject& app);
void PopulateDESTCATDD(AppObject& app);
void PopulateFundDD(AppObject& app, const std::string& customerFilter);

// Reads every row of `sql` on the trip database into entries 1..N; entry 0 stays "". The list is
// replaced only when all rows were read, so a failure keeps the previous one.
void FillPickList(std::optional<TextArray>& list, std::string_view sql,
                  const std::function<std::string(Recordset&)>& entryOf, const SqlParams& params = {});

// Drop-downs; `attributes` goes unchanged into the opening tag.
std::string BuildDestinationDD(AppObject& app, const std::string& attributes, const std::string& destination,
                               bool destinationIsNew);
std::string BuildFundDD(AppObject& app, const std::string& attributes, const std::string& fund);
std::string BuildCustomerSelect(AppObject& app, const std::string& attributes,
                                const std::string& selectedCustomer);
std::string BuildGradeSelect(AppObject& app, const std::string& attributes, const std::string& selectedGrade);
std::string BuildTripCatSelect(AppObject& app, const std::string& attributes,
                               const std::string& selectedTripCat);
// The new destination's category select, from the session's DESTCATS; nothing is selected.
std::string BuildDestCatSelect(AppObject& app);

// Pickers for a date or time held as a day number; kNoDate draws empty choices.
std::string BuildMonthPicker(double date, const std::string& prefix, const std::string& attributes);
std::string BuildDayPicker(double date, const std::string& prefix, const std::string& attributes);
std::string BuildYearPicker(double date, const std::string& prefix, const std::string& attributes);
std::string BuildTimePicker(double time, const std::string& prefix, const std::string& attributes);

}  // namespace excursa
