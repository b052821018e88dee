#include "startup/health.h"

#include "frame/http_server.h"
#include "frame/memory_host.h"
#include "items.h"

#include "support/test_server.h"
#include "support/test_site.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

namespace excursa {
namespace {

using Problems = std::vector<std::string>;

class HealthTest : public ::testing::Test {
protected:
    HealthTest() : app_(MakeExcursa()) {}

    void start() { MemoryHost(*app_).get("ExcursaLakemont.asp"); }
    Problems problems() { return CheckHealth(app_->application()).problems; }
    std::filesystem::path database(const std::string& name) const { return site_.dataFolder() / name; }

    testing::TestSite site_;
    std::unique_ptr<WebApplication> app_;
};

TEST_F(HealthTest, HealthyOnceTheStartLoadedTheSettings) {
    EXPECT_EQ(problems(), Problems{"settings not loaded"}) << "before any start";
    start();
    EXPECT_EQ(problems(), Problems{});
}

TEST_F(HealthTest, AFailedStartLeavesTheSettingsNotLoaded) {
    start();
    std::map<std::string, std::string> settings = testing::DefaultTripIni();
    settings.erase("CalendarUrl");
    site_.writeTripIni(settings);
    start();
    EXPECT_EQ(problems(), Problems{"settings not loaded"});

    site_.writeTripIni(testing::DefaultTripIni());
    start();
    EXPECT_EQ(problems(), Problems{}) << "the next start that succeeds mends it";
}

struct DatabaseFault {
    std::string file;
    std::function<void(const std::filesystem::path&)> breakIt;
    std::string problem;
};

class DatabaseFaultTest : public HealthTest, public ::testing::WithParamInterface<DatabaseFault> {};

TEST_P(DatabaseFaultTest, IsTold) {
    start();
    GetParam().breakIt(database(GetParam().file));
    EXPECT_EQ(problems(), Problems{GetParam().problem});
}

INSTANTIATE_TEST_SUITE_P(
    Health, DatabaseFaultTest,
    ::testing::Values(DatabaseFault{"trip.db",
                                    [](const std::filesystem::path& p) { std::filesystem::remove(p); },
                                    "database trip.db: missing"},
                      DatabaseFault{"twvlsc1.db",
                                    [](const std::filesystem::path& p) {
                                        std::ofstream(p, std::ios::trunc) << "not a database at all";
                                    },
                                    "database twvlsc1.db: malformed"},
                      // The header is sound; the first page, which lists the tables, is not.
                      DatabaseFault{"Tripschl.db",
                                    [](const std::filesystem::path& p) {
                                        std::fstream file(p, std::ios::in | std::ios::out | std::ios::binary);
                                        file.seekp(100);
                                        file << std::string(200, '\xff');
                                    },
                                    "database Tripschl.db: malformed"}),
    [](const ::testing::TestParamInfo<DatabaseFault>& info) {
        std::string name = info.param.file;
        std::erase(name, '.');
        return name;
    });

TEST_F(HealthTest, ADatabaseThatAnotherProgramHoldsLocked) {
    // On a thread of its own, whose connections close when it ends: open ones would keep the
    // other program from its exclusive lock.
    std::thread([this] { start(); }).join();
    {
        testing::RawDb holder(database("twvlsc1.db"));
        holder.run("PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE;");
        EXPECT_EQ(problems(), Problems{"database twvlsc1.db: locked"});
    }
    EXPECT_EQ(problems(), Problems{}) << "healthy again once the other program lets go";
}

TEST_F(HealthTest, EveryProblemIsTold) {
    std::filesystem::remove(database("trip.db"));
    std::filesystem::remove(database("Tripschl.db"));
    EXPECT_EQ(problems(), (Problems{"settings not loaded", "database trip.db: missing",
                                    "database Tripschl.db: missing"}));
}

// As the server answers a monitor: the status, and nothing of where the site lies.
TEST_F(HealthTest, TheServerAnswersWithTheCheck) {
    ServerOptions options;
    options.address = "127.0.0.1";
    options.port = 0;
    options.threads = 1;
    options.accessLog = false;
    options.monitor.health = [this] { return CheckHealth(app_->application()); };
    HttpServer server(*app_, options);
    server.start();
    auto fetch = [&] {
        const testing::Reply reply = testing::Fetch(server.port(), "GET", "/healthz");
        return std::pair(reply.status, reply.body);
    };

    app_->warmUp();
    EXPECT_EQ(fetch(), std::pair(200, std::string("ok\n")));
    std::filesystem::remove(database("trip.db"));
    const auto [status, body] = fetch();
    EXPECT_EQ(status, 503);
    EXPECT_EQ(body, "database trip.db: missing\n");
    EXPECT_EQ(body.find(site_.root().str()), std::string::npos);
}

}  // namespace
}  // namespace excursa
