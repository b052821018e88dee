// Reads the Prometheus text format with the reference parser (Debian's
// python3-prometheus-client, installed by scripts/install-deps --test), so
// that the tests see what a metrics collector would.
#pragma once

#include "support/run_process.h"
#include "support/temp_folder.h"

#include <map>
#include <sstream>
#include <string>

namespace excursa::testing {

// The script prints "family NAME TYPE" and "sample NAME{LABEL="VALUE",...} VALUE" lines,
// labels sorted and their values JSON-quoted, so that a label holding a line break stays
// on its line.
inline constexpr const char* kParseScript = R"(
import json, sys
from prometheus_client.parser import text_string_to_metric_families
with open(sys.argv[1], encoding="utf-8") as text:
    for family in text_string_to_metric_families(text.read()):
        print("family", family.name, family.type)
        for sample in family.samples:
            labels = ",".join(k + "=" + json.dumps(v) for k, v in sorted(sample.labels.items()))
            print("sample", sample.name + "{" + labels + "}", repr(float(sample.value)))
)";

struct ParsedMetrics {
    std::map<std::string, std::string> types;  // by family name
    std::map<std::string, double> samples;     // by name and labels: name{a="1",b="2"}
    std::string failure;                       // what the parser said when it refused the text

    // A sample's value; 0 for a sample that is not there, as for a counter not yet moved.
    double operator[](const std::string& key) const {
        const auto it = samples.find(key);
        return it == samples.end() ? 0 : it->second;
    }
};

inline ParsedMetrics ParsePrometheusText(const std::string& text) {
    TempFolder folder;
    const std::string file = folder.write("metrics.txt", text).string();
    // Debian's own interpreter: the package installs for it alone.
    const Outcome outcome = RunProcess("/usr/bin/python3", {"-c", kParseScript, file});
    ParsedMetrics parsed;
    if (outcome.exitCode != 0) {
        parsed.failure =
            outcome.err.empty() ? "the parser ended with " + std::to_string(outcome.exitCode) : outcome.err;
        return parsed;
    }
    std::istringstream lines(outcome.out);
    for (std::string line; std::getline(lines, line);) {
        // A label value may hold spaces: the name runs from the first space to the last.
        const std::size_t first = line.find(' ');
        const std::size_t last = line.rfind(' ');
        if (first == std::string::npos || first == last) continue;
        const std::string kind = line.substr(0, first);
        const std::string name = line.substr(first + 1, last - first - 1);
        const std::string value = line.substr(last + 1);
        if (kind == "family") parsed.types[name] = value;
        if (kind == "sample") parsed.samples[name] = std::stod(value);
    }
    return parsed;
}

}  // namespace excursa::testing
