#include "frame/metrics.h"

#include <algorithm>
#include <charconv>

namespace excursa {

namespace {

constexpr double kNanosecondsPerSecond = 1e9;

// Label values are escaped as the format asks: backslash, double quote and line break.
std::string LabelValue(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '\\' || c == '"') out += '\\';
        if (c == '\n') {
            out += "\\n";
            continue;
        }
        out += c;
    }
    return out;
}

// The shortest text that reads back as the same number.
std::string Number(double value) {
    char text[32];
    const auto [end, error] = std::to_chars(text, text + sizeof text, value);
    return error == std::errc() ? std::string(text, end) : std::string("NaN");
}

void Family(std::string& out, std::string_view name, std::string_view type, std::string_view help) {
    out.append("# HELP ").append(name).append(" ").append(help).append("\n");
    out.append("# TYPE ").append(name).append(" ").append(type).append("\n");
}

void Sample(std::string& out, std::string_view name, std::string_view labels, std::string_view value) {
    out.append(name);
    if (!labels.empty()) out.append("{").append(labels).append("}");
    out.append(" ").append(value).append("\n");
}

void Single(std::string& out, std::string_view name, std::string_view type, std::string_view help,
            std::uint64_t value) {
    Family(out, name, type, help);
    Sample(out, name, "", std::to_string(value));
}

}  // namespace

void Metrics::countRequest(std::string_view item, int status, std::chrono::nanoseconds took) {
    const auto nanoseconds = static_cast<std::uint64_t>(std::max<std::int64_t>(took.count(), 0));
    const double seconds = static_cast<double>(nanoseconds) / kNanosecondsPerSecond;
    const auto bucket = static_cast<std::size_t>(
        std::lower_bound(kLatencyBounds.begin(), kLatencyBounds.end(), seconds) - kLatencyBounds.begin());
    std::lock_guard lock(mutex_);
    auto found = items_.find(item);
    if (found == items_.end()) found = items_.emplace(std::string(item), ItemCounts{}).first;
    ItemCounts& counts = found->second;
    ++counts.byStatus[status];
    if (bucket < kLatencyBounds.size()) ++counts.buckets[bucket];
    ++counts.count;
    counts.sumNanoseconds += nanoseconds;
}

void Metrics::writeRequests(std::string& out) const {
    Family(out, "excursa_http_requests_total", "counter", "Requests answered, by web item and HTTP status.");
    for (const auto& [item, counts] : items_) {
        for (const auto& [status, count] : counts.byStatus) {
            const std::string labels =
                "item=\"" + LabelValue(item) + "\",status=\"" + std::to_string(status) + "\"";
            Sample(out, "excursa_http_requests_total", labels, std::to_string(count));
        }
    }
}

void Metrics::writeLatency(std::string& out) const {
    constexpr std::string_view name = "excursa_http_request_duration_seconds";
    Family(out, name, "histogram",
           "Time from the first byte of a request until its answer was ready, by web item.");
    for (const auto& [item, latency] : items_) {
        const std::string itemLabel = "item=\"" + LabelValue(item) + "\"";
        std::uint64_t cumulative = 0;
        for (std::size_t i = 0; i < kLatencyBounds.size(); ++i) {
            cumulative += latency.buckets[i];
            Sample(out, "excursa_http_request_duration_seconds_bucket",
                   itemLabel + ",le=\"" + Number(kLatencyBounds[i]) + "\"", std::to_string(cumulative));
        }
        Sample(out, "excursa_http_request_duration_seconds_bucket", itemLabel + ",le=\"+Inf\"",
               std::to_string(latency.count));
        Sample(out, "excursa_http_request_duration_seconds_sum", itemLabel,
               Number(static_cast<double>(latency.sumNanoseconds) / kNanosecondsPerSecond));
        Sample(out, "excursa_http_request_duration_seconds_count", itemLabel, std::to_string(latency.count));
    }
}

std::string Metrics::text(const SessionCounts& sessions) const {
    std::string out;
    {
        std::lock_guard lock(mutex_);
        writeRequests(out);
        writeLatency(out);
    }
    Single(out, "excursa_sessions", "gauge", "Live browser sessions.", sessions.live);
    Single(out, "excursa_signed_in_sessions", "gauge", "Live sessions with a signed-in user.",
           sessions.signedIn);
    Single(out, "excursa_database_errors_total", "counter",
           "Statements the database engine refused or could not complete.",
           databaseErrors_.load(std::memory_order_relaxed));
    Single(out, "excursa_mails_sent_total", "counter", "Notice mails handed to the mail server.",
           mailsSent_.load(std::memory_order_relaxed));
    Single(out, "excursa_mails_failed_total", "counter", "Notice mails that could not be sent.",
           mailsFailed_.load(std::memory_order_relaxed));
    return out;
}

Metrics& ProcessMetrics() {
    static Metrics metrics;
    return metrics;
}

void CountDatabaseError() { ProcessMetrics().countDatabaseError(); }
void CountMailSent() { ProcessMetrics().countMailSent(); }
void CountMailFailed() { ProcessMetrics().countMailFailed(); }

}  // namespace excursa
