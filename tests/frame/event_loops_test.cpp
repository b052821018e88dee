// Pages run on the loop that holds their connection; a page that waits must
// not hold the other connections of its loop.
#include "frame/event_loops.h"

#include "support/test_server.h"

#include <gtest/gtest.h>
#include <boost/asio/post.hpp>

#include <future>
#include <thread>

namespace excursa {
namespace {

using namespace std::chrono_literals;
using testing::SlowPageGate;
using testing::TestServer;
using Clock = std::chrono::steady_clock;

// Posts `work` to the loop as a page, and answers a future for its end.
template <typename Work>
std::future<void> PostPage(boost::asio::io_context& loop, Work work) {
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> ended = done->get_future();
    boost::asio::post(loop, [done, work] {
        PageOnLoop page;
        work();
        done->set_value();
    });
    return ended;
}

bool Within(std::future<void>& future, std::chrono::milliseconds limit) {
    return future.wait_for(limit) == std::future_status::ready;
}

TEST(EventLoopsTest, AStandbyThreadRunsALoopHeldByAPageAndLeavesWhenItEnds) {
    EventLoops loops(1, 2);
    loops.start();
    auto& loop = loops.first();

    auto slow = PostPage(loop, [] { SlowPageGate().pass(); });
    ASSERT_TRUE(SlowPageGate().waitFor(1));
    auto quick = PostPage(loop, [] {});
    EXPECT_TRUE(Within(quick, 200ms)) << "the loop's other work waited for the slow page";
    EXPECT_EQ(loops.lent(), 1);

    SlowPageGate().open();
    EXPECT_TRUE(Within(slow, 1s));
    const auto until = Clock::now() + 1s;
    while (loops.lent() > 0 && Clock::now() < until) std::this_thread::sleep_for(5ms);
    EXPECT_EQ(loops.lent(), 0) << "the standby thread stayed after the loop was free";
    auto after = PostPage(loop, [] {});
    EXPECT_TRUE(Within(after, 200ms));
    SlowPageGate().shut();
}

TEST(EventLoopsTest, QuickPagesNeedNoStandbyThread) {
    EventLoops loops(2, 1);
    loops.start();
    for (int i = 0; i < 200; ++i) {
        auto page = PostPage(loops.next(), [] {});
        ASSERT_TRUE(Within(page, 1s));
    }
    EXPECT_EQ(loops.lent(), 0);
}

TEST(EventLoopsTest, ASlowPageOverHttpDoesNotHoldTheOtherConnectionsOfItsLoop) {
    TestServer server([](ServerOptions& options) {
        options.ioThreads = 1;
        options.threads = 1;
    });
    auto slow =
        std::async(std::launch::async, [&] { return server.fetch("GET", "/ExcursaLakemont.asp?WCI=Wait"); });
    ASSERT_TRUE(SlowPageGate().waitFor(1));

    for (const char* uri : {"/ExcursaLakemont.asp?WCI=Page&name=Ann", "/css/site.css"}) {
        const auto started = Clock::now();
        EXPECT_EQ(server.fetch("GET", uri).status, 200) << uri;
        EXPECT_LT(Clock::now() - started, 200ms) << uri;
    }
    SlowPageGate().open();
    const auto waited = slow.get();
    EXPECT_EQ(waited.status, 200);
    EXPECT_NE(waited.body.find("waited"), std::string::npos);
}

}  // namespace
}  // namespace excursa
