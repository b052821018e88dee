// Slow, idle and misbehaving clients over real sockets: they cost the server
// a socket each and never a worker, and the deadlines close them.
#include "support/test_server.h"

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <thread>
#include <vector>

namespace excursa {
namespace {

using namespace std::chrono_literals;
using testing::RawClient;
using testing::TestServer;
using Clock = std::chrono::steady_clock;

// Sends one byte to each client every `every` until stopped; writes after the
// server closed a connection fail and are ignored.
class Trickler {
public:
    Trickler(std::vector<std::unique_ptr<RawClient>>& clients, std::string bytes,
             std::chrono::milliseconds every)
        : thread_([this, &clients, bytes = std::move(bytes), every] {
              for (std::size_t i = 0; !stop_ && i < bytes.size(); ++i) {
                  for (auto& client : clients) {
                      try {
                          client->send(std::string(1, bytes[i]));
                      } catch (const Poco::Exception&) {
                      }
                  }
                  std::this_thread::sleep_for(every);
              }
          }) {}
    ~Trickler() {
        stop_ = true;
        thread_.join();
    }

private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

class SlowClientsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { std::signal(SIGPIPE, SIG_IGN); }

    static std::vector<std::unique_ptr<RawClient>> Connect(int port, int count) {
        std::vector<std::unique_ptr<RawClient>> clients;
        for (int i = 0; i < count; ++i) clients.push_back(std::make_unique<RawClient>(port));
        return clients;
    }
};

const std::string kSlowHead =
    "GET /ExcursaLakemont.asp?WCI=Page HTTP/1.1\r\nHost: h\r\nX-Padding: " + std::string(200, 'p') +
    "\r\n\r\n";

TEST_F(SlowClientsTest, IdleAndTricklingConnectionsDoNotDelayOthers) {
    TestServer server([](ServerOptions& options) { options.threads = 2; });
    auto idle = Connect(server.port(), 64);
    auto trickling = Connect(server.port(), 64);
    Trickler trickle(trickling, kSlowHead, 20ms);
    std::this_thread::sleep_for(100ms);  // all 128 are in and sending

    for (const char* uri : {"/ExcursaLakemont.asp?WCI=Page&name=Ann", "/css/site.css"}) {
        const auto started = Clock::now();
        const auto reply = server.fetch("GET", uri);
        const auto took = Clock::now() - started;
        EXPECT_EQ(reply.status, 200) << uri;
        EXPECT_LT(took, 100ms) << uri;
    }
}

TEST_F(SlowClientsTest, TheHeadDeadlineClosesATricklingConnection) {
    TestServer server([](ServerOptions& options) { options.headerTimeout = 300ms; });
    auto clients = Connect(server.port(), 1);
    const auto started = Clock::now();
    Trickler trickle(clients, kSlowHead, 20ms);  // would take over 5 s in all
    EXPECT_TRUE(clients[0]->closedWithin(3s));
    const auto took = Clock::now() - started;
    EXPECT_GE(took, 250ms);
    EXPECT_LT(took, 2s);
}

TEST_F(SlowClientsTest, ABodyBelowTheMinimumRateIsCutOff) {
    TestServer server([](ServerOptions& options) {
        options.headerTimeout = 300ms;
        options.bodyMinBytesPerSecond = 1000;
    });
    auto clients = Connect(server.port(), 1);
    clients[0]->send(
        "POST /ExcursaLakemont.asp?WCI=Page HTTP/1.1\r\nHost: h\r\n"
        "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: 5000\r\n\r\n");
    const auto started = Clock::now();
    Trickler trickle(clients, std::string(5000, 'a'), 20ms);
    EXPECT_TRUE(clients[0]->closedWithin(3s));
    EXPECT_LT(Clock::now() - started, 2s);
}

TEST_F(SlowClientsTest, ABodyAtTheMinimumRateArrives) {
    TestServer server([](ServerOptions& options) {
        options.headerTimeout = 200ms;
        options.bodyMinBytesPerSecond = 100;
    });
    RawClient client(server.port());
    client.send(
        "POST /ExcursaLakemont.asp?WCI=Page HTTP/1.1\r\nHost: h\r\n"
        "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: 40\r\n\r\n");
    // 40 bytes over 300 ms: past the head's allowance alone, within the rate's.
    for (int i = 0; i < 4; ++i) {
        std::this_thread::sleep_for(75ms);
        client.send(i == 0 ? "name=Zed&" : i == 3 ? "pad=xxxxxxxxxx" : "pad=xxxxxx&");
    }
    const std::string answer = client.readResponse();
    EXPECT_NE(answer.find("hello Zed"), std::string::npos) << answer;
}

TEST_F(SlowClientsTest, AnIdleKeptAliveConnectionIsClosedAfterItsDeadline) {
    TestServer server([](ServerOptions& options) { options.idleTimeout = 200ms; });
    RawClient client(server.port());
    client.send("GET /css/site.css HTTP/1.1\r\nHost: h\r\n\r\n");
    EXPECT_NE(client.readResponse().find("body{color:#000}"), std::string::npos);
    const auto answered = Clock::now();
    EXPECT_TRUE(client.closedWithin(3s));
    const auto idled = Clock::now() - answered;
    EXPECT_GE(idled, 150ms);
    EXPECT_LT(idled, 2s);
}

TEST_F(SlowClientsTest, ASecondServerOnThePortFailsToStart) {
    TestServer first;
    WebApplication app(
        testing::TestServerItems(), [](AppObject&) {}, first.www().path());
    ServerOptions options;
    options.address = "127.0.0.1";
    options.port = first.port();
    options.accessLog = false;
    HttpServer second(app, options);
    try {
        second.start();
        FAIL() << "a second server started on port " << first.port();
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("already in use"), std::string::npos) << e.what();
    }
    EXPECT_EQ(first.fetch("GET", "/css/site.css").status, 200) << "the first one serves on";
}

TEST_F(SlowClientsTest, ServeRefusesAPortInUseWithAMessageAndAnExitCode) {
    TestServer first;
    testing::TempFolder site;
    std::filesystem::create_directories(site.path() / "www");
    const std::string command = std::string(EXCURSA_BINARY) + " serve --site " + site.str() +
                                " --address 127.0.0.1 --port " + std::to_string(first.port()) + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
    const int status = pclose(pipe);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 0) << output;
    EXPECT_NE(output.find("already in use"), std::string::npos) << output;
}

}  // namespace
}  // namespace excursa
