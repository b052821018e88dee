#include "reports/summary_chart.h"

#include <gtest/gtest.h>

namespace excursa {
namespace {

// The part of the chart that one group drew.
std::string Group(const std::string& chart, int index) {
    std::size_t start = 0;
    for (int i = 0; i <= index; ++i) start = chart.find("<g>", start + 1);
    return chart.substr(start, chart.find("</g>", start) + 4 - start);
}

TEST(SummaryChartTest, NoGroupsNoChart) { EXPECT_EQ(TripsBarChart({}, "Trips by fund"), ""); }

TEST(SummaryChartTest, TheLongestBarIsTheMostTrips) {
    const std::string chart =
        TripsBarChart({{"GEN - General", 4}, {"PTA - PTA", 1}, {"*None", 0}}, "Trips by fund");
    EXPECT_EQ(
        chart.rfind(
            "<figure class=\"summary-chart\"><figcaption id=\"tripsChartTitle\">Trips by fund</figcaption>"
            "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"100%\" height=\"132\" role=\"img\" "
            "aria-labelledby=\"tripsChartTitle\">",
            0),
        0u)
        << chart;
    EXPECT_EQ(chart.substr(chart.size() - 15), "</svg></figure>");
    struct Case {
        int index;
        std::string drawn;
    };
    const Case cases[] = {
        {0,
         "<g><title>GEN - General: 4 trips</title><text x=\"0\" y=\"15\">GEN - General</text><rect "
         "class=\"bar\" "
         "x=\"0\" y=\"21\" width=\"85.0%\" height=\"16\"/><text class=\"count\" x=\"85.0%\" dx=\"6\" "
         "y=\"34\">4"
         "</text></g>"},
        {1,
         "<g><title>PTA - PTA: 1 trip</title><text x=\"0\" y=\"59\">PTA - PTA</text><rect class=\"bar\" "
         "x=\"0\" "
         "y=\"65\" width=\"21.2%\" height=\"16\"/><text class=\"count\" x=\"21.2%\" dx=\"6\" "
         "y=\"78\">1</text></g>"},
        {2,
         "<g><title>*None: 0 trips</title><text x=\"0\" y=\"103\">*None</text><rect class=\"bar\" x=\"0\" "
         "y=\"109\" width=\"0.2%\" height=\"16\"/><text class=\"count\" x=\"0.0%\" dx=\"6\" "
         "y=\"122\">0</text></g>"},
    };
    for (const Case& c : cases) EXPECT_EQ(Group(chart, c.index), c.drawn) << c.index;
}

TEST(SummaryChartTest, DescriptionsAreEscapedAndLongOnesCut) {
    const std::string longName = "LHS - Lakemont High School <Boosters> & Parents Association";
    const std::string chart = TripsBarChart({{longName, 2}}, "Trips by <type>");
    EXPECT_NE(chart.find(">Trips by &lt;type&gt;</figcaption>"), std::string::npos);
    EXPECT_NE(
        chart.find("<title>LHS - Lakemont High School &lt;Boosters&gt; &amp; Parents Association: 2 trips"
                   "</title>"),
        std::string::npos)
        << "the title keeps the whole description";
    EXPECT_NE(chart.find(">LHS - Lakemont High School &lt;Boosters&gt; &amp; Parents\xE2\x80\xA6</text>"),
              std::string::npos)
        << chart;
    EXPECT_EQ(chart.find("<Boosters>"), std::string::npos);

    // Counted in characters, and never cut inside one.
    const std::string accented = "\xC3\xA9" + std::string(47, 'e');
    EXPECT_NE(TripsBarChart({{accented, 1}}, "").find(">" + accented + "</text>"), std::string::npos);
    const std::string cut = TripsBarChart({{std::string(46, 'e') + "\xC3\xA9\xC3\xA9\xC3\xA9", 1}}, "");
    EXPECT_NE(cut.find(">" + std::string(46, 'e') + "\xC3\xA9\xE2\x80\xA6</text>"), std::string::npos) << cut;
}

}  // namespace
}  // namespace excursa
