// `excursa init`: lays out a new site folder — registry values, settings file, templates,
// data folder with empty database files, and optionally the demo district. It never
// overwrites a file: what exists is kept and reported as kept.
#pragma once

#include <string>
#include <vector>

namespace excursa {

struct SiteInitOptions {
    std::string siteFolder;
    std::string templatesFolder;  // copied into <site>/www/; "" copies nothing
    bool demo = false;            // fill the demo district into database files made by this run
};

// Answers the lines to show: "made  <path>" and "kept  <path>" (paths relative to the site
// folder, folders ending in "/"), then notes. Throws std::runtime_error with a clear message
// when the site cannot be laid out.
std::vector<std::string> InitSite(const SiteInitOptions& options);

// Relative to the site folder.
inline constexpr const char* kSiteDataFolder = "drives/c/VEL/Data/Lakemont";
inline constexpr const char* kSiteLogFolder = "drives/c/VEL/ExcursaLakemont";

}  // namespace excursa
