// /healthz, /metrics and the session cookie's Secure flag, over sockets and as
// request-to-answer without them.
#include "frame/http_answer.h"
#include "frame/http_server.h"

#include "support/prometheus.h"
#include "support/test_server.h"

#include <gtest/gtest.h>

#include <atomic>

namespace excursa {
namespace {

using testing::ParsedMetrics;
using testing::ParsePrometheusText;
using testing::Reply;
using testing::TestServer;

std::string Requests(const std::string& item, int status) {
    return "excursa_http_requests_total{item=\"" + item + "\",status=\"" + std::to_string(status) + "\"}";
}

// A server whose health the test decides.
class MonitoredServerTest : public ::testing::Test {
protected:
    MonitoredServerTest()
        : server_([this](ServerOptions& options) {
              options.monitor.health = [this] {
                  ++healthAsked_;
                  return health_;
              };
          }) {}

    Reply fetch(const std::string& method, const std::string& uri, const std::string& cookie = "") {
        return server_.fetch(method, uri, "", cookie);
    }
    ParsedMetrics metrics() {
        const Reply reply = fetch("GET", "/metrics");
        EXPECT_EQ(reply.status, 200);
        ParsedMetrics parsed = ParsePrometheusText(reply.body);
        EXPECT_EQ(parsed.failure, "");
        return parsed;
    }

    HealthAnswer health_;
    std::atomic<int> healthAsked_{0};
    TestServer server_;
};

TEST_F(MonitoredServerTest, HealthzSaysOkOrEveryProblem) {
    Reply healthy = fetch("GET", "/healthz");
    EXPECT_EQ(healthy.status, 200);
    EXPECT_EQ(healthy.contentType, "text/plain; charset=utf-8");
    EXPECT_EQ(healthy.body, "ok\n");

    health_.problems = {"settings not loaded", "database trip.db: missing"};
    Reply sick = fetch("GET", "/healthz");
    EXPECT_EQ(sick.status, 503);
    EXPECT_EQ(sick.body, "settings not loaded\ndatabase trip.db: missing\n");
    EXPECT_EQ(fetch("HEAD", "/healthz").status, 503);
    EXPECT_EQ(healthAsked_.load(), 3);

    Reply posted = fetch("POST", "/healthz");
    EXPECT_EQ(posted.status, 405);
    EXPECT_EQ(posted.allow, "GET, HEAD");
}

TEST_F(MonitoredServerTest, MonitoringMakesNoSession) {
    for (const char* uri : {"/healthz", "/metrics"}) {
        EXPECT_EQ(fetch("GET", uri).cookie, "") << uri;
    }
    EXPECT_EQ(server_.app().sessions().size(), 0u);
}

TEST_F(MonitoredServerTest, MetricsMoveWithTheRequests) {
    const ParsedMetrics before = metrics();

    fetch("GET", "/ExcursaLakemont.asp?WCI=page&name=Ann");  // the registry's spelling counts
    fetch("GET", "/ExcursaLakemont.asp?WCI=Page");
    fetch("GET", "/ExcursaLakemont.asp?WCI=NoSuchPage");
    fetch("GET", "/ExcursaLakemont.asp");
    fetch("GET", "/css/site.css");
    fetch("GET", "/missing.css");
    fetch("GET", "/healthz");
    const Reply kept = fetch("GET", "/ExcursaLakemont.asp?WCI=Remember&name=Ann");
    fetch("GET", "/ExcursaLakemont.asp?WCI=SignIn&user=maple.teacher");
    fetch("GET", "/ExcursaLakemont.asp?WCI=SignIn&user=river.teacher", kept.cookie);

    const ParsedMetrics after = metrics();
    const std::vector<std::pair<std::string, double>> moved{
        {Requests("Page", 200), 2},
        {Requests("unknown", 404), 1},
        {Requests("start", 200), 1},
        {Requests("file", 200), 1},
        {Requests("file", 404), 1},
        {Requests("healthz", 200), 1},
        {Requests("metrics", 200), 1},  // the first scrape, counted once written
        {Requests("SignIn", 200), 2},
        {"excursa_http_request_duration_seconds_count{item=\"Page\"}", 2},
        {"excursa_http_request_duration_seconds_bucket{item=\"Page\",le=\"+Inf\"}", 2},
    };
    for (const auto& [sample, by] : moved) EXPECT_EQ(after[sample] - before[sample], by) << sample;
    EXPECT_GT(after["excursa_http_request_duration_seconds_sum{item=\"Page\"}"],
              before["excursa_http_request_duration_seconds_sum{item=\"Page\"}"]);
    EXPECT_EQ(after["excursa_sessions{}"], 2);
    EXPECT_EQ(after["excursa_signed_in_sessions{}"], 2);
}

// ---------------------------------------------------------------- without sockets

IncomingRequest Get(const std::string& target, const std::string& peer) {
    IncomingRequest request;
    request.method = "GET";
    request.target = target;
    request.peer = peer;
    return request;
}

TEST_F(MonitoredServerTest, MetricsAreRefusedToOtherPeersUnlessNamed) {
    MonitorOptions monitor;
    EXPECT_EQ(AnswerRequest(server_.app(), Get("/metrics", "127.0.0.1"), monitor).status, 200);
    const Answer refused = AnswerRequest(server_.app(), Get("/metrics", "192.0.2.10"), monitor);
    EXPECT_EQ(refused.status, 403);
    EXPECT_EQ(refused.body.find("excursa_"), std::string::npos);

    monitor.metricsFrom = ParseAddressRanges("192.0.2.0/28");
    const Answer allowed = AnswerRequest(server_.app(), Get("/metrics", "192.0.2.10"), monitor);
    EXPECT_EQ(allowed.status, 200);
    EXPECT_EQ(allowed.contentType, "text/plain; version=0.0.4; charset=utf-8");
    EXPECT_EQ(AnswerRequest(server_.app(), Get("/metrics", "192.0.2.16"), monitor).status, 403);
}

TEST_F(MonitoredServerTest, HealthzIsNotServedWithoutAHealthCheck) {
    const Answer answer = AnswerRequest(server_.app(), Get("/healthz", "127.0.0.1"), MonitorOptions{});
    EXPECT_EQ(answer.status, 404);
}

// ---------------------------------------------------------------- the cookie

TEST(SessionCookie, SecureExactlyWhenTheBrowsersUseHttps) {
    for (const bool https : {false, true}) {
        TestServer server([https](ServerOptions& options) { options.secureCookie = https; });
        const std::string cookie = server.fetch("GET", "/ExcursaLakemont.asp?WCI=Remember&name=x").setCookie;
        const std::string attributes =
            "; Path=/; HttpOnly; SameSite=Lax" + std::string(https ? "; Secure" : "");
        EXPECT_EQ(cookie, std::string(kSessionCookie) + "=" + cookie.substr(16, 32) + attributes)
            << "https: " << https;
    }
}

}  // namespace
}  // namespace excursa
