// What the service counts for the district's monitoring, answered at /metrics
// in the Prometheus text format: requests by web item and status with their
// latency, the sessions held, and failures that other parts of the program
// report through the Count... functions below.
#pragma once

#include "frame/sessions.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <string_view>

namespace excursa {

inline constexpr std::string_view kMetricsContentType = "text/plain; version=0.0.4; charset=utf-8";

// Labels for requests that name no web item.
namespace metric_item {
inline constexpr std::string_view Start = "start";      // the entry page without WCI
inline constexpr std::string_view Unknown = "unknown";  // a WCI that no web item bears
inline constexpr std::string_view File = "file";        // static files
inline constexpr std::string_view Health = "healthz";
inline constexpr std::string_view Metrics = "metrics";
inline constexpr std::string_view Other = "other";  // refused before routing, the root's redirect
}  // namespace metric_item

class Metrics {
public:
    // Upper bounds of the latency buckets, in seconds.
    static constexpr std::array<double, 11> kLatencyBounds = {0.005, 0.01, 0.025, 0.05, 0.1, 0.25,
                                                              0.5,   1,    2.5,   5,    10};

    // One answered request: what it asked for (a web item's name or a metric_item label),
    // its status, and the time from its first byte until its answer was ready.
    void countRequest(std::string_view item, int status, std::chrono::nanoseconds took);
    void countDatabaseError() { databaseErrors_.fetch_add(1, std::memory_order_relaxed); }
    void countMailSent() { mailsSent_.fetch_add(1, std::memory_order_relaxed); }
    void countMailFailed() { mailsFailed_.fetch_add(1, std::memory_order_relaxed); }

    // Everything counted, with the sessions of this moment, in the text exposition format 0.0.4.
    std::string text(const SessionCounts& sessions) const;

private:
    struct ItemCounts {
        std::map<int, std::uint64_t> byStatus;
        std::array<std::uint64_t, kLatencyBounds.size()> buckets{};  // not cumulative
        std::uint64_t count = 0;
        std::uint64_t sumNanoseconds = 0;
    };

    void writeRequests(std::string& out) const;
    void writeLatency(std::string& out) const;

    mutable std::mutex mutex_;
    std::map<std::string, ItemCounts, std::less<>> items_;
    std::atomic<std::uint64_t> databaseErrors_{0};
    std::atomic<std::uint64_t> mailsSent_{0};
    std::atomic<std::uint64_t> mailsFailed_{0};
};

// The one set of counts of this process, which /metrics answers.
Metrics& ProcessMetrics();

// Thread-safe; called where the failure or the sending happens.
void CountDatabaseError();  // the database engine refused a statement or a step (data layer)
void CountMailSent();       // a notice mail was handed to the mail server
void CountMailFailed();     // sending a notice mail failed

}  // namespace excursa
