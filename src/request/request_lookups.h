// Look-ups of the request form: customer, destination, fund, chain and bill
// rate details, and the conversions between stored dates and times and the
// form's picker parts.
#pragma once

#include "data/database.h"
#include "frame/app_object.h"
#include "lookup/destination_details.h"  // getdest

#include <cstdint>
#include <optional>
#include <string>

namespace excursa {

// Fills app.customer; opens the databases itself when they are closed. False when the look-up failed
// (its error text is then in strErrorText and was written).
bool getcust(AppObject& app, const std::string& custnum);
// The fund's description, "No Description" or "NOFUND".
std::string getFundDesc(AppObject& app, const std::string& fundnum, const std::string& custnum);
// The chain of the customer and trip category, "" when none.
std::string getCHAIN(AppObject& app, const std::string& custNum, const std::string& tripCat);
// Fills app.billRate.
void getBILLRATEFlat(AppObject& app, std::int32_t billRate);
// Copies the stored request's destination into the RequestDetail. session keys.
void SetDestFromREQ(AppObject& app, std::int32_t tripNum);
// The same copy from a request row that is already open.
void CopyRequestDestination(Host& host, Recordset& request);
// Puts a destination that getdest found into the form state: its description, address lines and
// miles; the table holds no category, city, state or zip for it, so those become "".
void KeepLookedUpDestination(Host& host, const AppObject::CurrentDestination& destination);
// "5:10&nbsp;AM" from "5:10:00 AM"; "&nbsp;" for "".
std::string getTIME(AppObject& app, const std::string& time);
// "3/5/26" from a date; "&nbsp;" when there is none.
std::string getDATE(AppObject& app, const Value& date);

// Picker parts <-> dates and times. Invalid or empty parts give kNoDate.
std::optional<double> DateOfParts(const std::string& month, const std::string& day, const std::string& year);
double DateFromParts(const std::string& month, const std::string& day, const std::string& year);
double TimeFromParts(const std::string& hour, const std::string& minute, const std::string& ampm);
struct TimeParts {
    std::string hour;    // "1".."12", "" for no time
    std::string minute;  // "0".."59", ""
    std::string ampm;    // "AM"/"PM", ""
};
TimeParts SplitStoredTime(const Value& stored);

}  // namespace excursa
