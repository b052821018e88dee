// The "Assignment" block: vehicles, capacity, schedules and ticket template of
// a request that the transportation office makes into a scheduled trip.
#pragma once

#include "frame/app_object.h"

#include <string>

namespace excursa {

// HTML of the block, from the open app.rsRequest; "" after a failure.
std::string BuildAssignmentSection(AppObject& app);

// Selects; the lists must have been built. Option values are unquoted and
// options unclosed, as the pages that post them expect.
std::string BuildSchedDD(AppObject& app, const std::string& selSched, int schedNum);
// strPrimary: "P" for the primary vehicle type, "A" for the additional one.
std::string BuildVehTypeDD(AppObject& app, const std::string& selVehType, const std::string& strPrimary);
std::string BuildCapacityDD(const std::string& selCapacity);
std::string BuildTripTikDD(AppObject& app, const std::string& selTripTik);

// List builders: fill app.lists (entries 0..N, entry 0 "") on the open trip connection.
void PopulateSchedDD(AppObject& app);
void PopulateVehTypeDD(AppObject& app);
void PopulateTikTempDD(AppObject& app);

}  // namespace excursa
