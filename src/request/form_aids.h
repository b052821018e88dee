// Tags of the request form that help a person in a browser: the approval waiting for the user,
// the comment an earlier approver left, and the fields the district requires.
#pragma once

#include "request/form_tag.h"

namespace excursa {

void AddFormAidRules(TagRules& rules);

}  // namespace excursa
