#include "reports/search_controls.h"

#include "frame/html.h"
#include "frame/keys.h"
#include "lookup/district_header.h"
#include "reports/search_state.h"

namespace excursa {

namespace {

constexpr std::size_t kDestinationLabelLength = 30;

bool SameCode(const std::string& a, const std::string& b) { return SameTextNoCase(Trim(a), Trim(b)); }

std::string DestinationOptions(const SessionList& list, const std::string& selected) {
    std::string html;
    for (int i = 0; i <= list.last(); ++i) {
        const std::string& entry = list.array().at(i);
        if (Trim(entry).empty()) {
            html += "<option></option>";
            continue;
        }
        const std::string number = BeforeFirstComma(entry);
        const std::string label = LeftCharacters(Trim(AfterFirstComma(entry)), kDestinationLabelLength);
        html += "<option value=" + HtmlEscape(number) + (SameCode(number, selected) ? " selected>" : " >") +
                HtmlEscape(label) + "</option>";
    }
    return html;
}

// Category and division: the whole entry as the option's text, selected by `matches`.
template <class Matches>
std::string TextOptions(const SessionList& list, Matches matches) {
    std::string html;
    for (int i = 0; i <= list.last(); ++i) {
        const std::string& entry = list.array().at(i);
        if (Trim(entry).empty()) {
            html += "<option></option>";
            continue;
        }
        html += (matches(entry) ? "<option selected>" : "<option>") + HtmlEscape(entry) + "</option>";
    }
    return html;
}

std::string ListSelect(AppObject& app, std::string_view name, std::string_view listKey,
                       std::string_view countKey, const std::string& attributes,
                       const std::function<std::string(const SessionList&)>& options) {
    return SearchSelect(name, attributes, options(SessionList(app, listKey, countKey)));
}

}  // namespace

std::string ValueOptions(const SessionList& list, const std::string& selected) {
    std::string html;
    for (int i = 0; i <= list.last(); ++i) {
        const std::string& entry = list.array().at(i);
        if (Trim(entry).empty()) {
            html += "<option value=>";
            continue;
        }
        const std::string shown = HtmlEscape(entry);
        html += "<option value='" + shown + (SameTextNoCase(entry, selected) ? "' selected>" : "'>") + shown;
    }
    return html;
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

std::string SearchSelect(std::string_view name, const std::string& attributes, const std::string& options) {
    return "<select name='" + std::string(name) + "' " + attributes + ">" + options + "</select>";
}

std::string CustomerOptions(const SessionList& customers, const std::string& selected,
                            CustomerOptionForm form) {
    std::string html;
    for (int i = 0; i <= customers.last(); ++i) {
        const std::string& entry = customers.array().at(i);
        if (Trim(entry).empty()) {
            html += form.emptyEntry;
            continue;
        }
        const std::string code = BeforeFirstComma(entry);
        const std::string value = "<option value='" + HtmlEscape(code);
        html += value +
                (SameCode(code, selected) ? std::string("' selected>") : std::string(form.unselectedClose)) +
                HtmlEscape(Trim(AfterFirstComma(entry))) + "</option>";
    }
    return html;
}

bool SearchPageTag(AppObject& app, const std::string& tagName, std::string& contents) {
    if (DistrictHeaderTag(app.host, tagName, contents)) return true;
    const SearchState& search = Search(app);
    const auto is = [&tagName](std::string_view name) { return SameTextNoCase(tagName, name); };
    if (is("WC@Grade")) {
        contents =
            ListSelect(app, "grade", key::Grades, key::NumGrades, contents,
                       [&](const SessionList& list) { return ValueOptions(list, search.SearchGrade); });
    } else if (is("WC@DEST")) {
        contents = ListSelect(
            app, "dest", key::Destinations, key::NumDestinations, contents,
            [&](const SessionList& list) { return DestinationOptions(list, search.SearchDestination); });
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
