// `excursa check`: reads the registry values, the settings file and the three database
// files of the site that Site::setRoot named, and tells in plain words what is wrong and
// how to mend it. `excursa serve` runs the same check when it starts.
#pragma once

#include <string>
#include <vector>

#include <sys/types.h>

namespace excursa {

// The user the service runs as: the check asks whether this user can write what the service writes.
struct ServiceUser {
    std::string name;
    uid_t uid = 0;
    std::vector<gid_t> groups;
    bool isThisProcess = false;  // then the kernel answers, with every rule it applies

    static ServiceUser ThisProcess();
    static ServiceUser Named(const std::string& name);  // throws std::runtime_error for an unknown user
};

struct Finding {
    std::string problem;
    std::string mend;
};

std::vector<Finding> CheckSite(const ServiceUser& user);

// "problem: ..." and "    mend: ..." lines; one "all is well" line when there are no findings.
std::vector<std::string> FindingLines(const std::vector<Finding>& findings);

}  // namespace excursa
