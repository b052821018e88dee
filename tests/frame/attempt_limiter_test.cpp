#include "frame/attempt_limiter.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace excursa {
namespace {

constexpr std::int64_t kMinute = 60 * 1000;

// Steps: 'F' a failure, 'S' a success, 'W' a minute's wait; then whether the
// key is refused.
struct Case {
    const char* what;
    std::string steps;
    bool refused;
};

TEST(AttemptLimiterTest, RefusesAfterTenFailuresWithinTheWindowUntilTheLockEnds) {
    const Case cases[] = {
        {"nine failures", std::string(9, 'F'), false},
        {"ten failures", std::string(10, 'F'), true},
        {"ten failures, 14 minutes later", std::string(10, 'F') + std::string(14, 'W'), true},
        {"ten failures, 15 minutes later", std::string(10, 'F') + std::string(15, 'W'), false},
        {"after the lock the count starts again", std::string(10, 'F') + std::string(15, 'W') + "F", false},
        {"failures spread over more than the window", "FFFFFWWWWWWWWWWWWWWWWFFFFF", false},
        {"a success clears the count", std::string(9, 'F') + "S" + std::string(9, 'F'), false},
        {"the tenth within the window, counting back", "FWWWWWWWWWWWWWWFFFFFFFFF", true},
    };
    for (const Case& c : cases) {
        std::int64_t now = 1'000'000;
        AttemptLimiter limiter({}, [&] { return now; });
        for (const char step : c.steps) {
            if (step == 'F') limiter.failed("teacher");
            if (step == 'S') limiter.succeeded("teacher");
            if (step == 'W') now += kMinute;
        }
        EXPECT_EQ(limiter.refused("teacher"), c.refused) << c.what;
    }
}

TEST(AttemptLimiterTest, KeysAreTrimmedAndIgnoreLetterCaseAndUsersAreCountedApart) {
    std::int64_t now = 0;
    AttemptLimiter limiter({}, [&] { return now; });
    for (int i = 0; i < 5; ++i) limiter.failed("Teacher");
    for (int i = 0; i < 5; ++i) limiter.failed(" teacher ");
    EXPECT_TRUE(limiter.refused("TEACHER"));
    EXPECT_FALSE(limiter.refused("principal"));
}

TEST(AttemptLimiterTest, ManyThreadsCountEveryFailure) {
    std::int64_t now = 0;
    AttemptLimiter limiter({.maxFailures = 400}, [&] { return now; });
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < 100; ++i) {
                limiter.failed("teacher");
                limiter.refused("teacher");
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_TRUE(limiter.refused("teacher"));
}

}  // namespace
}  // namespace excursa
