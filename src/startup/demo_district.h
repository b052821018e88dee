// The demo district "Lakemont School District": settings, schools, destinations, users,
// approval chains, calendar notes, scheduled trips and requests. Deterministic; every
// date is counted from the day it is filled, so the demo never goes stale.
#pragma once

#include <span>
#include <string>
#include <string_view>

namespace excursa {

struct DemoUser {
    std::string_view id;
    std::string_view password;
    std::string_view role;
    std::string_view customer;  // "" for users of every customer
    std::string_view name;
};

std::span<const DemoUser> DemoUsers();

// Fills the three database files of the folder, which must have been created empty
// with the schema (CreateDatabaseFiles) — never files that hold a district's data.
// `today` is a day number (days from 30 December 1899, no time). Throws std::runtime_error.
void FillDemoDistrict(const std::string& nativeDataFolder, double today);

}  // namespace excursa
