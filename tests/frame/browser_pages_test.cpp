// What the host adds for a browser around what the pages write: the message page with its way
// back, the shared header of signed-in pages, and which answers the browser may keep for Back.
#include "frame/http_answer.h"
#include "frame/memory_host.h"
#include "frame/procedure.h"

#include "support/message_page.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

namespace excursa {
namespace {

constexpr const char* kTemplate =
    "<!DOCTYPE html><html><body><WC@SITENAV>never shown</WC@SITENAV>[page]</body></html>";

class BrowserPagesTest : public ::testing::Test {
protected:
    BrowserPagesTest() {
        www_.write("page.htm", kTemplate);
        app_ = std::make_unique<WebApplication>(
            Items(), [](AppObject&) {}, www_.path());
    }

    static void Add(WebItemRegistry& items, const std::string& name, Handler respond) {
        WebItem item;
        item.name = name;
        item.respond = std::move(respond);
        items.add(std::move(item));
    }
    static void Write(WebItemRegistry& items, const std::string& name, std::string text) {
        Add(items, name, [text](AppObject& app) { app.host.write(text); });
    }

    static WebItemRegistry Items() {
        WebItemRegistry items;
        WebItem page;
        page.name = "Page";
        page.templateFile = "page.htm";
        page.respond = [](AppObject& app) { app.host.writeTemplate("Page"); };
        page.events["SignIn"] = [](AppObject& app) {
            app.host.sessionSet("USER", app.host.formField("user"));
            app.host.sessionSet("CUSTOMER", app.host.formField("customer"));
            app.host.writeTemplate("Page");
        };
        page.events["SignOut"] = [](AppObject& app) {
            app.host.abandonSession();
            app.host.writeTemplate("Page");
        };
        page.events["Failure"] = [](AppObject& app) {
            RunProcedure(app, Procedure{"Page_Failure", kModuleExcursa},
                         [] { raiseError(kErrTypeMismatch); });
        };
        items.add(std::move(page));
        Write(items, "Stop", "<p>Purpose is required.</p>");
        Write(items, "Spaced",
              "  Sorry, invalid user id.  Use your browser's back button and please try again.");
        Write(items, "Empty", "");
        Write(items, "Document", "\n<!doctype html><html><body>a whole page</body></html>");
        Write(items, "Html", "<HTML><body>an old page</body></HTML>");
        Add(items, "Moved", [](AppObject& app) {
            app.host.write("<p>before the move</p>");
            app.host.redirect("ExcursaLakemont.asp?WCI=TripRequestDetailPrint");
        });
        Add(items, "Ended", [](AppObject& app) {
            app.host.write("Summary Type must be supplied.");
            app.host.endResponse();
        });
        return items;
    }

    ResponseData get(MemoryHost& browser, const std::string& item, const std::string& event = "") {
        return browser.get("ExcursaLakemont.asp?WCI=" + item + "&WCE=" + event + "&WCU");
    }

    std::string signIn(MemoryHost& browser, const std::string& user, const std::string& customer) {
        return browser
            .post("ExcursaLakemont.asp?WCI=Page&WCE=SignIn&WCU", {{"user", user}, {"customer", customer}})
            .body;
    }

    testing::TempFolder www_;
    std::unique_ptr<WebApplication> app_;
};

TEST_F(BrowserPagesTest, WhatIsOnlyAMessageComesInAPageWithAWayBack) {
    struct Case {
        const char* item;
        std::string message;
    };
    const Case cases[] = {
        {"Stop", "<p>Purpose is required.</p>"},
        {"Spaced", "  Sorry, invalid user id.  Use your browser's back button and please try again."},
        {"Ended", "Summary Type must be supplied."},
        {"Page&WCE=Failure",
         "Error in Procedure: Page_Failure of Module: Excursa.  Error: 13.  Type mismatch."},
    };
    for (const Case& c : cases) {
        MemoryHost browser(*app_);
        const ResponseData r = browser.get(std::string("ExcursaLakemont.asp?WCI=") + c.item);
        EXPECT_EQ(r.status, 200) << c.item;
        EXPECT_EQ(r.body.rfind("<!DOCTYPE html>\n<html lang=\"en\">", 0), 0u) << c.item;
        EXPECT_NE(r.body.find("<link rel=\"stylesheet\" href=\"css/excursa.css\">"), std::string::npos);
        EXPECT_EQ(testing::WrittenText(r), c.message) << "the message's bytes stay as written";
        EXPECT_NE(r.body.find("<main class=\"message\">" + c.message + "</main>"), std::string::npos);
        EXPECT_NE(
            r.body.find("<a class=\"button\" href=\"ExcursaLakemont.asp\" onclick=\"if (history.length > 1) "
                        "{ history.back(); return false; }\">Back</a>"),
            std::string::npos)
            << "Back, or the sign-in page when there is no page to go back to";
    }
}

TEST_F(BrowserPagesTest, OnlyAClientThatAsksForHtmlGetsTheMessagePage) {
    struct Case {
        const char* accept;
        bool page;
    };
    const Case cases[] = {
        {"text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8", true},  // a browser
        {"application/xhtml+xml", true},
        {"TEXT/HTML; level=1", true},
        {"", false},  // curl, scripts, monitors
        {"*/*", false},
        {"text/plain, text/html;q=0", false},
        {"text/html ; q=0.0, */*", false},
    };
    for (const Case& c : cases) {
        IncomingRequest request;
        request.method = "GET";
        request.target = "/ExcursaLakemont.asp?WCI=Stop";
        request.accept = c.accept;
        const Answer answer = AnswerRequest(*app_, request, MonitorOptions{});
        EXPECT_EQ(answer.status, 200);
        if (c.page) {
            EXPECT_NE(answer.body.find("<main class=\"message\"><p>Purpose is required.</p></main>"),
                      std::string::npos)
                << c.accept;
        } else {
            EXPECT_EQ(answer.body, "<p>Purpose is required.</p>") << c.accept;
        }
    }
}

TEST_F(BrowserPagesTest, EverythingElseIsSentAsWritten) {
    MemoryHost browser(*app_);
    EXPECT_EQ(get(browser, "Empty").body, "");
    EXPECT_EQ(get(browser, "Document").body, "\n<!doctype html><html><body>a whole page</body></html>");
    EXPECT_EQ(get(browser, "Html").body, "<HTML><body>an old page</body></HTML>");
    EXPECT_EQ(get(browser, "Page").body, "<!DOCTYPE html><html><body>[page]</body></html>")
        << "a template, even without a signed-in user";

    const ResponseData moved = get(browser, "Moved");
    EXPECT_EQ(moved.status, 302);
    EXPECT_EQ(moved.body.find("<main class=\"message\">"), std::string::npos);

    const ResponseData missing = get(browser, "NoSuchPage");
    EXPECT_EQ(missing.status, 404);
    EXPECT_EQ(missing.body.find("<main class=\"message\">"), std::string::npos);
}

TEST_F(BrowserPagesTest, SignedInPagesShareTheWayAround) {
    MemoryHost teacher(*app_);
    const std::string page = signIn(teacher, "maple<teacher>", "MAPLE");
    EXPECT_NE(page.find("<nav class=\"site-nav\" aria-label=\"Main\"><form method=\"post\" "
                        "action=\"ExcursaLakemont.asp?WCI=RequestSearch&amp;WCE=Navigate&amp;WCU\">"),
              std::string::npos)
        << page;
    EXPECT_NE(page.find("Signed in as <strong>maple&lt;teacher&gt;</strong>"), std::string::npos);
    for (const char* value : {"Work With Trip Requests", "Enter New Request", "Log Out"}) {
        EXPECT_NE(page.find(std::string("name=\"btnsubmit\" value=\"") + value + "\""), std::string::npos)
            << value;
    }
    EXPECT_EQ(page.find("View Field Trips"), std::string::npos) << "a school's staff work with requests only";
    EXPECT_EQ(page.find("never shown"), std::string::npos);

    MemoryHost office(*app_);
    EXPECT_NE(signIn(office, "transport", " ").find("value=\"View Field Trips\">Field trips</button>"),
              std::string::npos)
        << "district-wide staff search the field trips";
}

TEST_F(BrowserPagesTest, BackMayShowPagesAgainButNothingAfterSigningOut) {
    MemoryHost browser(*app_);
    EXPECT_FALSE(get(browser, "Page").noStore);
    EXPECT_FALSE(get(browser, "Stop").noStore);
    signIn(browser, "teacher", "MAPLE");
    EXPECT_TRUE(get(browser, "Page", "SignOut").noStore) << "the signed-out page";
    EXPECT_TRUE(get(browser, "NoSuchPage").noStore);
}

TEST_F(BrowserPagesTest, CacheControlFollowsTheAnswer) {
    struct Case {
        bool cacheable;
        bool noStore;
        const char* header;
    };
    for (const Case& c : {Case{true, false, "max-age=300"}, Case{true, true, "max-age=300"},
                          Case{false, false, "private, no-cache"}, Case{false, true, "no-store"}}) {
        Answer answer;
        answer.cacheable = c.cacheable;
        answer.noStore = c.noStore;
        EXPECT_EQ(CacheControl(answer), c.header);
    }
    EXPECT_TRUE(Answer{}.noStore) << "only pages that say so are kept";

    IncomingRequest request;
    request.method = "GET";
    request.target = "/ExcursaLakemont.asp?WCI=Stop";
    EXPECT_EQ(CacheControl(AnswerRequest(*app_, request, MonitorOptions{})), "private, no-cache");
    request.target = "/ExcursaLakemont.asp?WCI=Page&WCE=SignOut";
    EXPECT_EQ(CacheControl(AnswerRequest(*app_, request, MonitorOptions{})), "no-store");
    request.target = "/no-such-file.css";
    EXPECT_EQ(CacheControl(AnswerRequest(*app_, request, MonitorOptions{})), "no-store");
}

}  // namespace
}  // namespace excursa
