#include "frame/memory_host.h"
#include "frame/procedure.h"
#include "frame/worker_state.h"

#include "support/message_page.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace excursa {
namespace {

class RequestCycleTest : public ::testing::Test {
protected:
    RequestCycleTest() {
        www_.write("alpha.htm", "[<WC@WHO>x</WC@WHO>|<wc@other>keep</wc@other>]");
        app_ =
            std::make_unique<WebApplication>(Items(), Start, www_.path(), [this] { return nowMs_.load(); });
    }

    static void Start(AppObject& app) {
        app.host.write("start;");
        app.host.setNextItem("Alpha");
    }

    static WebItemRegistry Items() {
        WebItemRegistry items;
        WebItem alpha;
        alpha.name = "Alpha";
        alpha.templateFile = "alpha.htm";
        alpha.respond = [](AppObject& app) { app.host.writeTemplate("Alpha"); };
        alpha.processTag = [](AppObject& app, const std::string& name, std::string& contents) {
            if (SameTextNoCase(name, "WC@WHO")) contents = "who=" + TextOf(app.host.sessionGet("user"));
        };
        alpha.events["Go"] = [](AppObject& app) { app.host.write("go"); };
        alpha.events["Hand"] = [](AppObject& app) {
            app.host.write("hand;");
            app.host.setNextItem("Beta");
        };
        alpha.events["SignIn"] = [](AppObject& app) {
            app.host.sessionSet("USER", app.host.formField("User"));
            app.host.write("signed in " + app.host.formField("user"));
        };
        alpha.events["Count"] = [](AppObject& app) {
            const long count = CLng(app.host.sessionGet("COUNT")) + 1;
            app.host.sessionSet("count", Value::Long(count));
            app.host.write(std::to_string(count));
        };
        alpha.events["Leave"] = [](AppObject& app) {
            app.host.abandonSession();
            app.host.write("left, still " + TextOf(app.host.sessionGet("count")));
        };
        alpha.events["TwoFailures"] = [](AppObject& app) {
            RunProcedure(app, Procedure{"First_Proc", kModuleExcursa}, [] { raiseError(kErrTypeMismatch); });
            RunProcedure(app, Procedure{"Second_Proc", kModuleExcursa}, [] {});
        };
        alpha.events["End"] = [](AppObject& app) {
            app.host.write("before");
            app.host.endResponse();
        };
        alpha.events["Redirect"] = [](AppObject& app) {
            app.host.write("shown?");
            app.host.redirect("ExcursaLakemont.asp?WCI=PrintReport&Type=Trip");
            app.host.write("later");
            app.host.sessionSet("afterRedirect", "ran");
        };
        alpha.events["Crash"] = [](AppObject&) { throw std::logic_error("unexpected"); };
        alpha.events["Loop"] = [](AppObject& app) { app.host.setNextItem("Loop"); };
        alpha.events["CallOthers"] = [](AppObject& app) {
            CallUserEvent(app, "alpha", "77");
            app.host.write(";");
            CallEvent(app, "ALPHA", "go");
        };
        alpha.events["CallMissing"] = [](AppObject& app) { CallEvent(app, "Beta", "Go"); };
        alpha.userEvent = [](AppObject& app, const std::string& event) {
            app.host.write("user event " + event);
        };
        items.add(std::move(alpha));

        WebItem beta;
        beta.name = "Beta";
        beta.respond = [](AppObject& app) {
            app.host.write("beta;");
            app.host.setNextItem("gamma");
        };
        items.add(std::move(beta));

        WebItem gamma;
        gamma.name = "Gamma";
        gamma.respond = [](AppObject& app) { app.host.write("gamma"); };
        items.add(std::move(gamma));

        WebItem loop;
        loop.name = "Loop";
        loop.respond = [](AppObject& app) { app.host.setNextItem("Loop"); };
        items.add(std::move(loop));
        return items;
    }

    testing::TempFolder www_;
    std::atomic<std::int64_t> nowMs_{1'000'000};
    std::unique_ptr<WebApplication> app_;
};

TEST_F(RequestCycleTest, NoItemRunsTheStartEventAndItsHandOver) {
    MemoryHost browser(*app_);
    EXPECT_EQ(browser.get("ExcursaLakemont.asp").body, "start;[who=|keep]");
}

TEST_F(RequestCycleTest, HandlersCallOtherPagesByName) {
    MemoryHost browser(*app_);
    EXPECT_EQ(testing::WrittenText(browser.get("ExcursaLakemont.asp?WCI=Alpha&WCE=CallOthers&WCU").body),
              "user event 77;go");
    const ResponseData missing = browser.get("ExcursaLakemont.asp?WCI=Alpha&WCE=CallMissing&WCU");
    EXPECT_EQ(missing.status, 500) << "a page calling one that has no such event is the host's fault";
}

TEST_F(RequestCycleTest, ItemWithoutEventRespondsWithoutTheStartEvent) {
    MemoryHost browser(*app_);
    EXPECT_EQ(browser.get("ExcursaLakemont.asp?WCI=Alpha&WCE&WCU").body, "[who=|keep]");
    EXPECT_EQ(browser.get("ExcursaLakemont.asp?WCI=alpha").body, "[who=|keep]");
    EXPECT_EQ(browser.get("ExcursaLakemont.asp?WCI=ALPHA&WCE=&WCU").body, "[who=|keep]");
}

TEST_F(RequestCycleTest, NamedEventsUserEventsAndHandOvers) {
    MemoryHost browser(*app_);
    EXPECT_EQ(testing::WrittenText(browser.get("ExcursaLakemont.asp?WCI=Alpha&WCE=go&WCU").body), "go");
    EXPECT_EQ(testing::WrittenText(browser.get("ExcursaLakemont.asp?WCI=Alpha&WCE=1234&WCU").body),
              "user event 1234");
    EXPECT_EQ(testing::WrittenText(browser.get("ExcursaLakemont.asp?WCI=Alpha&WCE=Hand&WCU").body),
              "hand;beta;gamma");
}

TEST_F(RequestCycleTest, UnknownItemsAndEventsAreNamedIn404Pages) {
    MemoryHost browser(*app_);
    ResponseData r = browser.get("ExcursaLakemont.asp?WCI=NoSuch&WCE&WCU");
    EXPECT_EQ(r.status, 404);
    EXPECT_NE(r.body.find("NoSuch"), std::string::npos);
    r = browser.get("ExcursaLakemont.asp?WCI=Beta&WCE=Other&WCU");
    EXPECT_EQ(r.status, 404);
    EXPECT_NE(r.body.find("Other"), std::string::npos);
    r = browser.get("ExcursaLakemont.asp?WCI=%3Cscript%3E");
    EXPECT_EQ(r.body.find("<script>"), std::string::npos) << "names are escaped";
}

TEST_F(RequestCycleTest, FormFieldsIgnoreCaseAndSessionKeepsValues) {
    MemoryHost browser(*app_);
    EXPECT_EQ(testing::WrittenText(
                  browser.post("ExcursaLakemont.asp?WCI=Alpha&WCE=SignIn&WCU", {{"USER", "teacher1"}}).body),
              "signed in teacher1");
    EXPECT_EQ(browser.get("ExcursaLakemont.asp?WCI=Alpha").body, "[who=teacher1|keep]");

    MemoryHost otherBrowser(*app_);
    EXPECT_EQ(otherBrowser.get("ExcursaLakemont.asp?WCI=Alpha").body, "[who=|keep]");
}

TEST_F(RequestCycleTest, AFieldPostedTwiceReadsAsJoinedValues) {
    MemoryHost browser(*app_);
    EXPECT_EQ(testing::WrittenText(
                  browser.post("ExcursaLakemont.asp?WCI=Alpha&WCE=SignIn&WCU", {{"user", "a"}, {"User", "b"}})
                      .body),
              "signed in a, b");
}

TEST_F(RequestCycleTest, ErrorTextIsWrittenAtEachProcedureEndAndResetPerRequest) {
    MemoryHost browser(*app_);
    const std::string text = "Error in Procedure: First_Proc of Module: Excursa.  Error: 13.  Type mismatch.";
    EXPECT_EQ(testing::WrittenText(browser.get("ExcursaLakemont.asp?WCI=Alpha&WCE=TwoFailures&WCU").body),
              text + text);
    EXPECT_EQ(testing::WrittenText(browser.get("ExcursaLakemont.asp?WCI=Alpha&WCE=Go&WCU").body), "go");
}

TEST_F(RequestCycleTest, EndingTheResponseStopsTheHandlers) {
    MemoryHost browser(*app_);
    ResponseData r = browser.get("ExcursaLakemont.asp?WCI=Alpha&WCE=End&WCU");
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(testing::WrittenText(r.body), "before");
}

TEST_F(RequestCycleTest, RedirectAnswers302AndProcessingGoesOn) {
    MemoryHost browser(*app_);
    ResponseData r = browser.get("ExcursaLakemont.asp?WCI=Alpha&WCE=Redirect&WCU");
    EXPECT_EQ(r.status, 302);
    EXPECT_EQ(r.location, "ExcursaLakemont.asp?WCI=PrintReport&Type=Trip");
    EXPECT_EQ(r.body.find("later"), std::string::npos);
    EXPECT_EQ(r.body.find("shown?"), std::string::npos);
    EXPECT_EQ(app_->sessions().acquire(browser.sessionId()).session->values.get("afterRedirect"),
              Value("ran"));
}

TEST_F(RequestCycleTest, UntrappedFailuresAnswer500AndTheNextRequestIsServed) {
    MemoryHost browser(*app_);
    EXPECT_EQ(browser.get("ExcursaLakemont.asp?WCI=Alpha&WCE=Crash&WCU").status, 500);
    EXPECT_EQ(browser.get("ExcursaLakemont.asp?WCI=Alpha&WCE=Loop&WCU").status, 500);
    EXPECT_EQ(testing::WrittenText(browser.get("ExcursaLakemont.asp?WCI=Alpha&WCE=Go&WCU").body), "go");
}

TEST_F(RequestCycleTest, SessionsSlideAndExpire) {
    MemoryHost browser(*app_);
    EXPECT_EQ(testing::WrittenText(browser.get("ExcursaLakemont.asp?WCI=Alpha&WCE=Count&WCU").body), "1");
    const std::string firstId = browser.sessionId();
    nowMs_ += 19 * 60 * 1000;
    EXPECT_EQ(testing::WrittenText(browser.get("ExcursaLakemont.asp?WCI=Alpha&WCE=Count&WCU").body), "2");
    nowMs_ += 19 * 60 * 1000;  // 38 minutes after the start, 19 after the last use
    EXPECT_EQ(testing::WrittenText(browser.get("ExcursaLakemont.asp?WCI=Alpha&WCE=Count&WCU").body), "3");
    EXPECT_EQ(browser.sessionId(), firstId);
    nowMs_ += 21 * 60 * 1000;
    EXPECT_EQ(testing::WrittenText(browser.get("ExcursaLakemont.asp?WCI=Alpha&WCE=Count&WCU").body), "1")
        << "expired values are gone";
    EXPECT_NE(browser.sessionId(), firstId);
}

TEST_F(RequestCycleTest, AbandonDiscardsValuesAfterTheResponse) {
    MemoryHost browser(*app_);
    browser.get("ExcursaLakemont.asp?WCI=Alpha&WCE=Count&WCU");
    browser.get("ExcursaLakemont.asp?WCI=Alpha&WCE=Count&WCU");
    EXPECT_EQ(testing::WrittenText(browser.get("ExcursaLakemont.asp?WCI=Alpha&WCE=Leave&WCU").body),
              "left, still 2");
    EXPECT_EQ(testing::WrittenText(browser.get("ExcursaLakemont.asp?WCI=Alpha&WCE=Count&WCU").body), "1");
}

TEST_F(RequestCycleTest, ConcurrentBrowsersKeepTheirOwnSessions) {
    constexpr int kBrowsers = 6;
    constexpr int kClicks = 40;
    std::vector<std::string> last(kBrowsers);
    std::vector<std::thread> workers;
    for (int b = 0; b < kBrowsers; ++b) {
        workers.emplace_back([&, b] {
            MemoryHost browser(*app_);
            for (int i = 0; i < kClicks; ++i)
                last[b] = testing::WrittenText(browser.get("ExcursaLakemont.asp?WCI=Alpha&WCE=Count&WCU"));
        });
    }
    for (auto& worker : workers) worker.join();
    for (const std::string& count : last) EXPECT_EQ(count, std::to_string(kClicks));
    EXPECT_EQ(app_->sessions().size(), static_cast<std::size_t>(kBrowsers));
}

TEST(SessionStoreTest, IdsAreRandom128BitHexAndForeignIdsGetNewSessions) {
    SessionStore store;
    auto a = store.acquire("");
    auto b = store.acquire("");
    EXPECT_EQ(a.id.size(), 32u);
    EXPECT_NE(a.id, b.id);
    EXPECT_TRUE(a.created);
    auto again = store.acquire(a.id);
    EXPECT_FALSE(again.created);
    EXPECT_EQ(again.session, a.session);
    auto forged = store.acquire("not-a-session-id");
    EXPECT_TRUE(forged.created);
    EXPECT_NE(forged.id, "not-a-session-id");
}

TEST(SessionStoreTest, ExpiredSessionsAreSweptWithoutBeingVisited) {
    std::int64_t now = 0;
    SessionStore store([&] { return now; });
    for (int i = 0; i < 50; ++i) store.acquire("");
    EXPECT_EQ(store.size(), 50u);
    now += 25 * 60 * 1000;
    store.acquire("");
    EXPECT_EQ(store.size(), 1u);
}

TEST(KeyedStoreTest, KeysIgnoreLetterCaseAndUnwrittenKeysReadEmpty) {
    KeyedStore store;
    store.set("TRIPREQ", "42");
    EXPECT_EQ(store.get("TripReq"), Value("42"));
    store.set("RequestDetail.dep_hour", "9");
    EXPECT_EQ(store.get("REQUESTDETAIL.DEP_HOUR"), Value("9"));
    store.set("tripreq", "");
    EXPECT_EQ(store.get("TRIPREQ"), Value(""));
    EXPECT_EQ(store.size(), 2u);
    EXPECT_TRUE(store.get("never written").isEmpty());
}

TEST(ItemUrlTest, TheUrlGrammar) {
    EXPECT_EQ(ItemUrl("exDetails"), "ExcursaLakemont.asp?WCI=exDetails&WCE&WCU");
    EXPECT_EQ(ItemUrl("Login", "LoginValidateUser"),
              "ExcursaLakemont.asp?WCI=Login&WCE=LoginValidateUser&WCU");
}

TEST(UrlEncodedTest, DecodesAndRefusesMalformedEscapes) {
    FieldList fields;
    ASSERT_TRUE(ParseUrlEncoded("a=1&b=x+y%21&WCU&c=", fields));
    EXPECT_EQ(fields.get("A"), "1");
    EXPECT_EQ(fields.get("b"), "x y!");
    EXPECT_TRUE(fields.has("wcu"));
    EXPECT_TRUE(fields.has("c"));
    EXPECT_FALSE(fields.has("d"));
    FieldList bad;
    EXPECT_FALSE(ParseUrlEncoded("a=%zz", bad));
    EXPECT_FALSE(ParseUrlEncoded("a=%4", bad));
}

}  // namespace
}  // namespace excursa
