#include "request/form_aids.h"

#include "approval/approval.h"
#include "data/connections.h"
#include "frame/html.h"
#include "request/request_checks.h"

#include <string>

namespace excursa {

namespace {

bool ApprovingStoredRequest(const FormTag& f) { return f.approving() && !f.isNew(); }

std::string ChainPlaceText(FormTag& f, const std::string& chain) {
    if (!TripDBConnectionsOpen() && !PrepareDatabase(f.host)) return "";
    const std::optional<ChainPlace> place = PlaceInChain(chain, f.app.strApproveValue);
    if (!place) return "";
    return " <span class=\"chain-place\">Step " + std::to_string(place->level) + " of " +
           std::to_string(place->levels) + " of approval chain " + HtmlEscape(chain) + ".</span>";
}

void AwaitingApproval(FormTag& f, std::string& contents) {
    contents.clear();
    if (!ApprovingStoredRequest(f)) return;
    const std::string chain = f.columnTrimmed("chainid");
    contents = "<p class=\"awaiting\" role=\"status\"><strong>Awaiting your approval.</strong>" +
               ChainPlaceText(f, chain) +
               " <span class=\"now-at\">Now at: " + HtmlEscape(f.columnTrimmed("Status")) + "</span></p>";
}

// In the approver's box the comment is there to be replaced; shown beside it, it stays readable.
void EarlierComment(FormTag& f, std::string& contents) {
    contents.clear();
    if (!ApprovingStoredRequest(f)) return;
    const std::string comment = StatusCommentOf(f);
    if (comment.empty()) return;
    contents = "<p class=\"earlier-comment\"><span class=\"label\">Comment so far:</span> " +
               HtmlEscape(comment) + "</p>";
}

// Read by the page's script, which marks each field and its label. A save always needs the
// departure date; the district decides on the rest.
void RequiredFields(FormTag& f, std::string& contents) {
    std::string names;
    if (f.editable()) {
        names = "Dep_month";
        for (const std::string& name : RequiredFieldNames(f.host)) names += " " + name;
    }
    contents = "<input type=\"hidden\" id=\"requiredFields\" value=\"" + names + "\">";
}

}  // namespace

void AddFormAidRules(TagRules& rules) {
    AddTagRule(rules, "WC@AWAITINGAPPROVAL", AwaitingApproval);
    AddTagRule(rules, "WC@EARLIERCOMMENT", EarlierComment);
    AddTagRule(rules, "WC@REQUIREDFIELDS", RequiredFields);
}

}  // namespace excursa
