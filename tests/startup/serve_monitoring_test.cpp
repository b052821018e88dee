// `excursa serve` with the flags of the district's monitoring and https, as the service unit starts it.
#include "support/prometheus.h"
#include "support/run_process.h"
#include "support/serve_process.h"
#include "support/test_server.h"
#include "support/test_site.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace excursa {
namespace {

using testing::Fetch;
using testing::Reply;
using testing::ServeProcess;

constexpr const char* kSignIn = "/ExcursaLakemont.asp?WCI=Login&WCE=LoginValidateUser&WCU";

class ServeMonitoringTest : public ::testing::Test {
protected:
    std::string site() const { return site_.root().str(); }

    testing::TestSite site_;
};

TEST_F(ServeMonitoringTest, HealthMetricsAndTheSecureCookie) {
    ServeProcess server(site(), {"--public-https", "--metrics-from", "192.0.2.0/24, 198.51.100.7",
                                 "--metrics-from", "2001:db8::/32"});
    ASSERT_TRUE(server.serving()) << server.stop();

    const Reply health = Fetch(server.port(), "GET", "/healthz");
    EXPECT_EQ(health.status, 200);
    EXPECT_EQ(health.body, "ok\n") << "the settings loaded before serving";

    // A failed sign-in keeps its cleared values in a new session.
    const Reply signIn = Fetch(server.port(), "POST", kSignIn, "user=nobody&password=x&btnSubmit=Sign+In");
    ASSERT_FALSE(signIn.cookie.empty());
    EXPECT_EQ(signIn.setCookie.substr(signIn.setCookie.size() - 8), "; Secure") << signIn.setCookie;

    const Reply metrics = Fetch(server.port(), "GET", "/metrics");
    EXPECT_EQ(metrics.status, 200);
    const testing::ParsedMetrics parsed = testing::ParsePrometheusText(metrics.body);
    EXPECT_EQ(parsed.failure, "");
    EXPECT_EQ(parsed["excursa_sessions{}"], 1);
    EXPECT_EQ(parsed["excursa_signed_in_sessions{}"], 0);
    EXPECT_EQ(parsed["excursa_http_requests_total{item=\"Login\",status=\"200\"}"], 1);

    std::filesystem::remove(site_.dataFolder() / "trip.db");
    const Reply sick = Fetch(server.port(), "GET", "/healthz");
    EXPECT_EQ(sick.status, 503);
    EXPECT_EQ(sick.body, "database trip.db: missing\n");
}

TEST_F(ServeMonitoringTest, TheCookieIsNotSecureWithoutTheFlag) {
    ServeProcess server(site());
    ASSERT_TRUE(server.serving()) << server.stop();
    const Reply signIn = Fetch(server.port(), "POST", kSignIn, "user=nobody&password=x&btnSubmit=Sign+In");
    ASSERT_FALSE(signIn.cookie.empty());
    EXPECT_EQ(signIn.setCookie.find("Secure"), std::string::npos) << signIn.setCookie;
}

TEST_F(ServeMonitoringTest, AMetricsAddressThatIsNoneIsAUsageError) {
    const testing::Outcome outcome =
        testing::RunProcess(EXCURSA_BINARY, {"serve", "--site", site(), "--port", "0", "--address",
                                             "127.0.0.1", "--metrics-from", "10.0.0.1,monitor.example.org"});
    EXPECT_EQ(outcome.exitCode, 2);
    EXPECT_NE(outcome.err.find("--metrics-from: 'monitor.example.org' is not an IP address"),
              std::string::npos)
        << outcome.err;
}

}  // namespace
}  // namespace excursa
