#include "frame/metrics.h"
#include "frame/monitoring.h"

#include "support/prometheus.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>
#include <vector>

namespace excursa {
namespace {

using namespace std::chrono_literals;
using testing::ParsedMetrics;
using testing::ParsePrometheusText;

ParsedMetrics Parsed(const Metrics& metrics, SessionCounts sessions = {}) {
    ParsedMetrics parsed = ParsePrometheusText(metrics.text(sessions));
    EXPECT_EQ(parsed.failure, "");
    return parsed;
}

std::string Bucket(const std::string& item, const std::string& le) {
    return "excursa_http_request_duration_seconds_bucket{item=\"" + item + "\",le=\"" + le + "\"}";
}

TEST(MetricsText, ACollectorReadsEveryFamilyWithItsType) {
    const ParsedMetrics parsed = Parsed(Metrics{});
    const std::map<std::string, std::string> expected{
        {"excursa_http_requests", "counter"},   {"excursa_http_request_duration_seconds", "histogram"},
        {"excursa_sessions", "gauge"},          {"excursa_signed_in_sessions", "gauge"},
        {"excursa_database_errors", "counter"}, {"excursa_mails_sent", "counter"},
        {"excursa_mails_failed", "counter"},
    };
    EXPECT_EQ(parsed.types, expected);
}

TEST(MetricsText, CountsRequestsByItemAndStatus) {
    Metrics metrics;
    metrics.countRequest("Login", 200, 3ms);
    metrics.countRequest("Login", 200, 4ms);
    metrics.countRequest("Login", 302, 1ms);
    metrics.countRequest(metric_item::Unknown, 404, 1ms);

    const ParsedMetrics parsed = Parsed(metrics);

    EXPECT_EQ(parsed["excursa_http_requests_total{item=\"Login\",status=\"200\"}"], 2);
    EXPECT_EQ(parsed["excursa_http_requests_total{item=\"Login\",status=\"302\"}"], 1);
    EXPECT_EQ(parsed["excursa_http_requests_total{item=\"unknown\",status=\"404\"}"], 1);
    EXPECT_EQ(parsed["excursa_http_request_duration_seconds_count{item=\"Login\"}"], 3);
    EXPECT_DOUBLE_EQ(parsed["excursa_http_request_duration_seconds_sum{item=\"Login\"}"], 0.008);
}

// A bucket counts the requests that took at most its bound.
TEST(MetricsText, LatencyBucketsAreCumulativeAndIncludeTheirBound) {
    struct Case {
        std::chrono::nanoseconds took;
        std::string firstBucket;  // the smallest bound that counts it
    };
    // The last: a clock step back counts as no time.
    const std::vector<Case> cases{
        {0ns, "0.005"},  {5ms, "0.005"}, {5ms + 1ns, "0.01"}, {999ms, "1"},    {1s, "1"},
        {2500ms, "2.5"}, {10s, "10"},    {11s, "+Inf"},       {-1ms, "0.005"},
    };
    const std::vector<std::string> bounds{"0.005", "0.01", "0.025", "0.05", "0.1", "0.25",
                                          "0.5",   "1",    "2.5",   "5",    "10",  "+Inf"};
    Metrics metrics;  // one item a case, read in one parse
    for (std::size_t i = 0; i < cases.size(); ++i)
        metrics.countRequest(std::to_string(i), 200, cases[i].took);
    const ParsedMetrics parsed = Parsed(metrics);
    for (std::size_t i = 0; i < cases.size(); ++i) {
        bool reached = false;
        for (const std::string& le : bounds) {
            reached = reached || le == cases[i].firstBucket;
            EXPECT_EQ(parsed[Bucket(std::to_string(i), le)], reached ? 1 : 0)
                << cases[i].took.count() << "ns, le=" << le;
        }
    }
}

TEST(MetricsText, SessionsAndTheCountersOfOtherModules) {
    Metrics metrics;
    metrics.countDatabaseError();
    metrics.countDatabaseError();
    metrics.countMailSent();
    for (int i = 0; i < 3; ++i) metrics.countMailFailed();

    const ParsedMetrics parsed = Parsed(metrics, SessionCounts{.live = 7, .signedIn = 4});

    EXPECT_EQ(parsed["excursa_sessions{}"], 7);
    EXPECT_EQ(parsed["excursa_signed_in_sessions{}"], 4);
    EXPECT_EQ(parsed["excursa_database_errors_total{}"], 2);
    EXPECT_EQ(parsed["excursa_mails_sent_total{}"], 1);
    EXPECT_EQ(parsed["excursa_mails_failed_total{}"], 3);
}

TEST(MetricsText, LabelValuesAreEscaped) {
    Metrics metrics;
    metrics.countRequest("a \"b\" \\c\nd", 200, 1ms);
    const ParsedMetrics parsed = Parsed(metrics);
    EXPECT_EQ(parsed["excursa_http_requests_total{item=\"a \\\"b\\\" \\\\c\\nd\",status=\"200\"}"], 1)
        << "the parser gives back the text as it was";
}

TEST(MetricsText, CountsFromManyThreadsAtOnce) {
    Metrics metrics;
    constexpr int kThreads = 4;
    constexpr int kEach = 2000;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&metrics, t] {
            for (int i = 0; i < kEach; ++i) {
                metrics.countRequest(t % 2 ? "Login" : "RequestDetail", 200, 1ms);
                metrics.countDatabaseError();
            }
        });
    }
    for (std::thread& thread : threads) thread.join();

    const ParsedMetrics parsed = Parsed(metrics);
    EXPECT_EQ(parsed["excursa_http_requests_total{item=\"Login\",status=\"200\"}"], kThreads / 2 * kEach);
    EXPECT_EQ(parsed["excursa_http_request_duration_seconds_count{item=\"RequestDetail\"}"],
              kThreads / 2 * kEach);
    EXPECT_EQ(parsed["excursa_database_errors_total{}"], kThreads * kEach);
}

TEST(MetricsText, TheProcessCountersMove) {
    const ParsedMetrics before = ParsePrometheusText(ProcessMetrics().text({}));
    CountDatabaseError();
    CountMailSent();
    CountMailFailed();
    const ParsedMetrics after = ParsePrometheusText(ProcessMetrics().text({}));
    for (const char* name :
         {"excursa_database_errors_total{}", "excursa_mails_sent_total{}", "excursa_mails_failed_total{}"}) {
        EXPECT_EQ(after[name] - before[name], 1) << name;
    }
}

// ---------------------------------------------------------------- who may read them

TEST(MetricsReaders, TheLoopbackAndTheNamedAddresses) {
    struct Case {
        std::string peer;
        std::string allowed;
        bool may;
    };
    const std::vector<Case> cases{
        {"127.0.0.1", "", true},
        {"127.200.1.9", "", true},
        {"::1", "", true},
        {"::ffff:127.0.0.1", "", true},  // an IPv4 peer of a server listening on ::
        {"10.0.0.5", "", false},
        {"::2", "", false},
        {"10.0.0.5", "10.0.0.5", true},
        {"::ffff:10.0.0.5", "10.0.0.5", true},
        {"10.0.0.6", "10.0.0.5", false},
        {"10.0.0.6", "10.0.0.5, 10.0.0.6", true},
        {"10.0.255.7", "10.0.0.0/16", true},
        {"10.1.0.7", "10.0.0.0/16", false},
        {"10.0.0.9", "10.0.0.8/31", true},
        {"10.0.0.10", "10.0.0.8/31", false},
        {"198.51.100.1", "0.0.0.0/0", true},
        {"2001:db8::1", "0.0.0.0/0", false},
        {"2001:db8:0:1::7", "2001:db8::/32", true},
        {"2001:db9::7", "2001:db8::/32", false},
        {"2001:db8::7", "2001:db8::7", true},
        {"", "", false},
        {"not an address", "10.0.0.0/8", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(MayReadMetrics(c.peer, ParseAddressRanges(c.allowed)), c.may)
            << c.peer << " with " << c.allowed;
    }
}

TEST(MetricsReaders, ListsOfAddressesAndWhatIsRefused) {
    EXPECT_EQ(ParseAddressRanges("10.0.0.1, 10.0.0.0/8,,::1 ").size(), 3u);
    EXPECT_TRUE(ParseAddressRanges("").empty());
    for (const char* wrong : {"10.0.0.1/33", "::1/129", "10.0.0.1/", "10.0.0.1/x", "10.0.0.1/-1", "10.0.0/8",
                              "host.example.org", "10.0.0.256"}) {
        try {
            ParseAddressRanges(std::string("10.0.0.1,") + wrong);
            ADD_FAILURE() << wrong << " was taken";
        } catch (const std::invalid_argument& e) {
            EXPECT_NE(std::string(e.what()).find(std::string("'") + wrong + "'"), std::string::npos)
                << e.what();
        }
    }
}

}  // namespace
}  // namespace excursa
