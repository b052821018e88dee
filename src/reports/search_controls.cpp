#include "reports/search_controls.h"

#include "frame/html.h"
#include "frame/keys.h"
#include "lookup/district_header.h"
#include "reports/search_state.h"

namespace excursa {

namespace {

bool SameCode(const std::string& a, const std::string& b) { return SameTextNoCase(Trim(a), Trim(b)); }

// Category and division: the whole entry as the option's text, selected by `matches`.
std::string TextOptions(const SessionList& list, const std::function<bool(const std::string&)>& matches) {
    return Options(list, "<option></option>", [&](const std::string& entry) {
        return (matches(entry) ? "<option selected>" : "<option>") + HtmlEscape(entry) + "</option>";
    });
}

std::string ListSelect(AppObject& app, std::string_view name, std::string_view listKey,
                       std::string_view countKey, const std::string& attributes,
                       const std::function<std::string(const SessionList&)>& options) {
    return SearchSelect(name, attributes, options(SessionList(app, listKey, countKey)));
}

}  // namespace

std::string Options(const SessionList& list, std::string_view blankEntry,
                    const std::function<std::string(const std::string&)>& option) {
    std::string html;
    for (int i = 0; i <= list.last(); ++i) {
        const std::string& entry = list.array().at(i);
        html += Trim(entry).empty() ? std::string(blankEntry) : option(entry);
    }
    return html;
}

std::string ValueOptions(const SessionList& list, const std::string& selected) {
    return Options(list, "<option value=>", [&](const std::string& entry) {
        const std::string shown = HtmlEscape(entry);
        return "<option value='" + shown + (SameTextNoCase(entry, selected) ? "' selected>" : "'>") + shown;
    });
}

bool DistrictSwitch(const Host& host, std::string_view key) { return SameText(host.appGet(key), "True"); }

std::optional<std::string> AddDateCriterion(SearchCondition& condition, std::string_view expression,
                                            const std::string& from, std::string& to, std::string_view what) {
    if (from.empty()) return std::nullopt;
    switch (condition.addDateRange(expression, from, to)) {
        case SearchCondition::DateRange::FromIsNoDate:
            return "Please enter a valid " + std::string(what) + " from date.";
        case SearchCondition::DateRange::ToIsNoDate:
            return "Please enter a valid " + std::string(what) + " to date.";
        case SearchCondition::DateRange::Added:
            break;
    }
    return std::nullopt;
}

std::string CodeOfEntry(const std::string& posted) {
    if (Trim(posted).empty() || posted.find(',') == std::string::npos) return posted;
    return BeforeFirstComma(posted);
}

std::string RequestDestinationOptions(const SessionList& list, const std::string& selected) {
    return Options(list, "<option></option>", [&](const std::string& entry) {
        const std::string number = BeforeFirstComma(entry);
        const std::string label(LeftCharacters(Trim(AfterFirstComma(entry)), kDestinationLabelLength));
        return "<option value=" + HtmlEscape(number) + (SameCode(number, selected) ? " selected>" : " >") +
               HtmlEscape(label) + "</option>";
    });
}

std::string SearchSelect(std::string_view name, const std::string& attributes, const std::string& options) {
    return "<select name='" + std::string(name) + "' " + attributes + ">" + options + "</select>";
}

std::string CodeOptions(const SessionList& entries, const std::string& selected, CodeOptionForm form) {
    return Options(entries, form.emptyEntry, [&](const std::string& entry) {
        const std::string code = BeforeFirstComma(entry);
        const std::string label(LeftCharacters(Trim(AfterFirstComma(entry)), form.labelCharacters));
        return "<option value='" + HtmlEscape(code) +
               (SameCode(code, selected) ? std::string("' selected>") : std::string(form.unselectedClose)) +
               HtmlEscape(label) + "</option>";
    });
}

std::optional<std::string> OwnCustomerOnly(const Host& host) {
    const std::string own = TextOf(host.sessionGet(key::Customer));
    if (DistrictSwitch(host, key::ViewOtherSchools) || Trim(own).empty()) return std::nullopt;
    return own;
}

void ReadCommonCriteria(const Host& host, SearchState& search) {
    search.SearchGrade = host.formField("grade");
    search.SearchDestination = host.formField("dest");
    search.SearchDivision = CodeOfEntry(host.formField("div"));
    search.SearchDepartFrom = host.formField("DepFrom");
    search.SearchDepartTo = host.formField("DepTo");
    search.SearchCategory = host.formField("tripcat");
}

bool SearchPageTag(AppObject& app, const std::string& tagName, std::string& contents) {
    if (DistrictHeaderTag(app.host, tagName, contents)) return true;
    const SearchState& search = Search(app);
    const auto is = [&tagName](std::string_view name) { return SameTextNoCase(tagName, name); };
    if (is("WC@Grade")) {
        contents =
            ListSelect(app, "grade", key::Grades, key::NumGrades, contents,
                       [&](const SessionList& list) { return ValueOptions(list, search.SearchGrade); });
    } else if (is("WC@CATEGORY")) {
        contents =
            ListSelect(app, "tripcat", key::TripCat, key::NumTripCat, contents, [&](const SessionList& list) {
                return TextOptions(list, [&](const std::string& entry) {
                    return SameTextNoCase(entry, search.SearchCategory);
                });
            });
    } else if (is("WC@DIV")) {
        contents =
            ListSelect(app, "div", key::Divisions, key::NumDivisions, contents, [&](const SessionList& list) {
                return TextOptions(list, [&](const std::string& entry) {
                    return !Trim(search.SearchDivision).empty() &&
                           SameCode(BeforeFirstComma(entry), search.SearchDivision);
                });
            });
    } else if (is("WC@RESULTS")) {
        contents = search.ResultsHtml;
    } else if (is("WC@DEPFROM")) {
        contents = HtmlEscape(search.SearchDepartFrom);
    } else if (is("WC@DEPTO")) {
        contents = HtmlEscape(search.SearchDepartTo);
    } else if (is("WC@NUM")) {
        contents = std::to_string(search.ResultCount);
    } else {
        return false;
    }
    return true;
}

}  // namespace excursa
