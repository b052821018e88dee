#include "frame/memory_host.h"
#include "frame/sessions.h"

#include "support/message_page.h"
#include "support/test_server.h"

#include <gtest/gtest.h>

namespace excursa {
namespace {

class SessionLimitTest : public ::testing::Test {
protected:
    SessionLimitTest() { store_.setLimit(3); }

    std::string make(bool signedIn) {
        ++now_;
        const std::string id = store_.create().id;
        store_.setSignedIn(id, signedIn);
        return id;
    }
    bool alive(const std::string& id) {
        ++now_;
        return store_.find(id) != nullptr;
    }

    std::int64_t now_ = 0;
    SessionStore store_{[this] { return now_; }};
};

TEST_F(SessionLimitTest, TheLeastRecentlyUsedAnonymousSessionGoesFirst) {
    const std::string signedIn = make(true);  // the oldest of all
    const std::string a = make(false);
    const std::string b = make(false);
    ASSERT_TRUE(alive(a));  // b is now the least recently used anonymous one

    const std::string c = make(false);
    EXPECT_EQ(store_.size(), 3u);
    EXPECT_TRUE(alive(signedIn));
    EXPECT_FALSE(alive(b));
    EXPECT_TRUE(alive(a));
    EXPECT_TRUE(alive(c));
}

TEST_F(SessionLimitTest, SignedInSessionsGoOnlyWhenNoAnonymousOneIsLeft) {
    const std::string first = make(true);
    const std::string second = make(true);
    const std::string anonymous = make(false);
    store_.setSignedIn(anonymous, true);  // it signed in since
    ASSERT_TRUE(alive(first));

    make(false);
    EXPECT_FALSE(alive(second)) << "the least recently used of the signed-in ones";
    EXPECT_TRUE(alive(first));
    EXPECT_TRUE(alive(anonymous));
}

TEST_F(SessionLimitTest, ARenewedIdKeepsItsPlace) {
    const std::string old = make(true);
    const std::string renewed = store_.renew(old);
    EXPECT_FALSE(alive(old));
    make(false);
    make(false);
    make(false);  // evicts an anonymous one, never the renewed signed-in one
    EXPECT_TRUE(alive(renewed));
    EXPECT_EQ(store_.size(), 3u);
}

TEST_F(SessionLimitTest, ExpiryIsUnchanged) {
    const std::string id = make(false);
    now_ += 20 * 60 * 1000 - 1;
    EXPECT_TRUE(alive(id)) << "exactly the time-out after its last use";
    now_ += 20 * 60 * 1000 + 1;
    EXPECT_FALSE(alive(id));
    EXPECT_EQ(store_.size(), 0u);
}

TEST(SessionLimitOverHttpTest, CookielessVisitorsCannotPushOutASignedInUser) {
    testing::TestServer server;
    server.app().sessions().setLimit(2);
    const std::string user = server.fetch("GET", "/ExcursaLakemont.asp?WCI=SignIn&user=ann").cookie;
    ASSERT_FALSE(user.empty());
    std::string last;
    for (int i = 0; i < 10; ++i)
        last = server.fetch("GET", "/ExcursaLakemont.asp?WCI=Remember&name=x").cookie;
    EXPECT_EQ(server.app().sessions().size(), 2u);
    EXPECT_NE(server.app().sessions().find(user), nullptr);
    EXPECT_NE(server.app().sessions().find(last), nullptr);
}

TEST(LazySessionTest, ATimeOutSetBeforeTheFirstWriteIsKept) {
    testing::TempFolder www;
    WebItemRegistry items;
    items.add({.name = "Login", .respond = [](AppObject& app) {
                   app.host.setSessionTimeout(45);
                   app.host.write("[" + TextOf(app.host.sessionGet("USER")) + "]");
                   app.host.sessionSet("USER", "");
               }});
    items.add({.name = "Leave", .respond = [](AppObject& app) {
                   app.host.sessionSet("x", "1");
                   app.host.abandonSession();
               }});
    WebApplication app(
        std::move(items), [](AppObject&) {}, www.path());
    MemoryHost browser(app);
    EXPECT_EQ(testing::WrittenText(browser.get("ExcursaLakemont.asp?WCI=Login").body), "[]");
    ASSERT_NE(app.sessions().find(browser.sessionId()), nullptr);
    EXPECT_EQ(app.sessions().find(browser.sessionId())->timeoutMinutes.load(), 45);

    MemoryHost other(app);
    EXPECT_EQ(other.get("ExcursaLakemont.asp?WCI=Leave").newSessionId, "")
        << "a session made and abandoned in one request sends no cookie";
    EXPECT_EQ(app.sessions().size(), 1u);
}

}  // namespace
}  // namespace excursa
