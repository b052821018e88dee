#include "frame/attempt_limiter.h"
#include "frame/memory_host.h"
#include "items.h"
#include "startup/items.h"

#include "support/message_page.h"
#include "support/test_site.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <sstream>

namespace excursa {
namespace {

constexpr const char* kSignIn = "ExcursaLakemont.asp?WCI=Login&WCE=LoginValidateUser&WCU";
constexpr const char* kInvalidPassword =
    "Sorry, invalid password.  Use your browser's back button and please try again.";

class SignInLockOutTest : public ::testing::Test {
protected:
    SignInLockOutTest() {
        site_.sql("twvlsc1.db",
                  "INSERT INTO VLSCU (VLSC1, VLSC2, ROLE, CUSTOMER) VALUES ('teacher', 'Secret', 'TEACHER', "
                  "'MAPLE'), ('principal', 'pw', 'PRINCIPAL', 'MAPLE');");
        WebItemRegistry items = ExcursaItems();
        items.add({.name = "RequestSearch", .respond = [](AppObject& app) { app.host.write("[search]"); }});
        app_ = std::make_unique<WebApplication>(std::move(items), WebClass_Start, site_.www());
        EXPECT_EQ(app_->warmUp(), "");
        SignInLimiter().clear();
        SignInLimiter().setClock([this] { return nowMs_.load(); });
    }
    ~SignInLockOutTest() override {
        SignInLimiter().setClock({});
        SignInLimiter().clear();
    }

    std::string signIn(const std::string& user, const std::string& password) {
        MemoryHost browser(*app_);
        return testing::WrittenText(browser.post(
            kSignIn, {{"user", user}, {"password", password}, {"btnsubmit", "Work With Trip Requests"}}));
    }
    std::string log() const {
        std::ifstream in(site_.root().path() / "drives/c/VEL/ExcursaLakemont/log.txt");
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    testing::TestSite site_;
    std::unique_ptr<WebApplication> app_;
    std::atomic<std::int64_t> nowMs_{10'000'000};
};

TEST_F(SignInLockOutTest, TenWrongPasswordsLockTheUserOutForFifteenMinutes) {
    for (int i = 0; i < 10; ++i) ASSERT_EQ(signIn("teacher", "guess"), kInvalidPassword) << i;

    EXPECT_EQ(signIn("teacher", "Secret"), kTooManySignIns) << "the right password too";
    EXPECT_EQ(signIn(" TEACHER ", "guess"), kTooManySignIns);
    EXPECT_NE(log().find("Sign-in refused, too many failed attempts for user id teacher"), std::string::npos)
        << log();
    EXPECT_EQ(signIn("principal", "pw"), "[search]") << "other users sign in";

    nowMs_ += 14 * 60 * 1000;
    EXPECT_EQ(signIn("teacher", "Secret"), kTooManySignIns);
    nowMs_ += 60 * 1000;
    EXPECT_EQ(signIn("teacher", "Secret"), "[search]");
}

TEST_F(SignInLockOutTest, ASuccessfulSignInClearsTheCount) {
    for (int i = 0; i < 9; ++i) signIn("teacher", "guess");
    EXPECT_EQ(signIn("teacher", "Secret"), "[search]");
    for (int i = 0; i < 9; ++i) signIn("teacher", "guess");
    EXPECT_EQ(signIn("teacher", "Secret"), "[search]");
}

}  // namespace
}  // namespace excursa
