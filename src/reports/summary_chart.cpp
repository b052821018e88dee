#include "reports/summary_chart.h"

#include "frame/html.h"
#include "frame/value.h"

#include <algorithm>

namespace excursa {

namespace {

constexpr int kWidth = 640;
constexpr int kLabelRight = 250;  // labels end here, bars start after a gap
constexpr int kBarLeft = 260;
constexpr int kBarRoom = kWidth - kBarLeft - 60;  // room for the count after the longest bar
constexpr int kRowHeight = 28;
constexpr int kBarHeight = 18;
constexpr std::size_t kLabelChars = 34;

// Long descriptions are cut in the picture; the row's title keeps them whole.
std::string ShortLabel(const std::string& label) {
    const std::string trimmed = Trim(label);
    if (trimmed.size() <= kLabelChars) return trimmed;
    return RTrim(trimmed.substr(0, kLabelChars - 1)) + "\xE2\x80\xA6";
}

std::string Row(const SummaryBar& bar, int index, long most) {
    const int top = index * kRowHeight + 5;
    const int width = most > 0 ? static_cast<int>(static_cast<double>(bar.trips) * kBarRoom / most) : 0;
    const std::string label = HtmlEscape(Trim(bar.label));
    const std::string count = std::to_string(bar.trips);
    const std::string baseline = std::to_string(top + 14);
    return "<g><title>" + label + ": " + count + (bar.trips == 1 ? " trip" : " trips") + "</title>" +
           "<text x=\"" + std::to_string(kLabelRight) + "\" y=\"" + baseline + "\" text-anchor=\"end\">" +
           HtmlEscape(ShortLabel(bar.label)) + "</text>" + "<rect x=\"" + std::to_string(kBarLeft) +
           "\" y=\"" + std::to_string(top) + "\" width=\"" + std::to_string(std::max(width, 1)) +
           "\" height=\"" + std::to_string(kBarHeight) + "\" class=\"bar\"/>" + "<text x=\"" +
           std::to_string(kBarLeft + width + 6) + "\" y=\"" + baseline + "\" class=\"count\">" + count +
           "</text></g>";
}

}  // namespace

std::string TripsBarChart(const std::vector<SummaryBar>& bars) {
    if (bars.empty()) return "";
    long most = 0;
    for (const SummaryBar& bar : bars) most = std::max(most, bar.trips);
    const int height = static_cast<int>(bars.size()) * kRowHeight + 10;
    std::string svg =
        "<figure class=\"summary-chart\"><figcaption id=\"tripsChartTitle\">Trips per group</figcaption>"
        "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 " +
        std::to_string(kWidth) + " " + std::to_string(height) +
        "\" role=\"img\" aria-labelledby=\"tripsChartTitle\" font-size=\"13\">";
    for (std::size_t i = 0; i < bars.size(); ++i) svg += Row(bars[i], static_cast<int>(i), most);
    return svg + "</svg></figure>";
}

}  // namespace excursa
