// The summary report's bar chart of the trips per group, drawn on the server as inline SVG so
// that it needs no script and prints with the report.
#pragma once

#include <string>
#include <vector>

namespace excursa {

struct SummaryBar {
    std::string label;  // the group's description, as stored
    long trips = 0;
};

// A figure with the caption and a bar per group; "" when there are no groups.
std::string TripsBarChart(const std::vector<SummaryBar>& bars, const std::string& caption);

}  // namespace excursa
