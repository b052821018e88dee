#include "reports/summary_chart.h"

#include "frame/html.h"
#include "frame/value.h"

#include <algorithm>
#include <cstdio>

namespace excursa {

namespace {

// Lengths are screen pixels and the bars' widths a share of the chart's width, so the text keeps
// its size on a phone and on paper while the bars fit whatever width the page has.
constexpr int kRowHeight = 44;
constexpr int kLabelBaseline = 15;
constexpr int kBarTop = 21;
constexpr int kBarHeight = 16;
constexpr double kLongestBarShare = 85.0;  // percent of the width; the rest holds the count
constexpr std::size_t kLabelChars = 48;

// Long descriptions are cut in the picture; the row's title keeps them whole.
std::string ShortLabel(const std::string& label) {
    const std::string trimmed = Trim(label);
    if (CharacterCount(trimmed) <= kLabelChars) return trimmed;
    return RTrim(LeftCharacters(trimmed, kLabelChars - 1)) + "\xE2\x80\xA6";
}

std::string Percent(double share) {
    char text[16];
    std::snprintf(text, sizeof text, "%.1f%%", share);
    return text;
}

std::string Row(const SummaryBar& bar, int index, long most) {
    const int top = index * kRowHeight;
    const double share = most > 0 ? kLongestBarShare * static_cast<double>(bar.trips) / most : 0;
    const std::string count = std::to_string(bar.trips);
    return "<g><title>" + HtmlEscape(Trim(bar.label)) + ": " + count + (bar.trips == 1 ? " trip" : " trips") +
           "</title><text x=\"0\" y=\"" + std::to_string(top + kLabelBaseline) + "\">" +
           HtmlEscape(ShortLabel(bar.label)) + "</text><rect class=\"bar\" x=\"0\" y=\"" +
           std::to_string(top + kBarTop) + "\" width=\"" + Percent(std::max(share, 0.2)) + "\" height=\"" +
           std::to_string(kBarHeight) + "\"/><text class=\"count\" x=\"" + Percent(share) +
           "\" dx=\"6\" y=\"" + std::to_string(top + kBarTop + kBarHeight - 3) + "\">" + count +
           "</text></g>";
}

}  // namespace

std::string TripsBarChart(const std::vector<SummaryBar>& bars, const std::string& caption) {
    if (bars.empty()) return "";
    long most = 0;
    for (const SummaryBar& bar : bars) most = std::max(most, bar.trips);
    const int height = static_cast<int>(bars.size()) * kRowHeight;
    std::string svg = "<figure class=\"summary-chart\"><figcaption id=\"tripsChartTitle\">" +
                      HtmlEscape(caption) +
                      "</figcaption><svg xmlns=\"http://www.w3.org/2000/svg\" width=\"100%\" height=\"" +
                      std::to_string(height) + "\" role=\"img\" aria-labelledby=\"tripsChartTitle\">";
    for (std::size_t i = 0; i < bars.size(); ++i) svg += Row(bars[i], static_cast<int>(i), most);
    return svg + "</svg></figure>";
}

}  // namespace excursa
