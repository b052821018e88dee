#include "frame/http_server.h"
#include "frame/access_log.h"
#include "frame/static_files.h"

#include "support/message_page.h"
#include "support/test_server.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace excursa {
namespace {

using testing::RawClient;
using testing::Reply;
using testing::TestServer;

constexpr std::string_view kUnreadable = "The request could not be read.";

class HttpServerTest : public ::testing::Test {
protected:
    Reply fetch(const std::string& method, const std::string& uri, const std::string& body = "",
                const std::string& cookie = "") {
        return server_.fetch(method, uri, body, cookie);
    }
    std::size_t sessions() { return server_.app().sessions().size(); }

    TestServer server_;
};

TEST_F(HttpServerTest, PagesAnswerGetAndPost) {
    Reply r = fetch("GET", "/ExcursaLakemont.asp?WCI=Page&name=Ann");
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.contentType, "text/html; charset=utf-8");
    EXPECT_EQ(r.body, "<html>hello Ann</html>");
    EXPECT_EQ(fetch("POST", "/ExcursaLakemont.asp?WCI=Page&WCE&WCU", "NAME=Bob+Lee").body,
              "<html>hello Bob Lee</html>");
    EXPECT_EQ(fetch("GET", "/ExcursaLakemont.asp").body, "<html>hello </html>");
}

TEST_F(HttpServerTest, ASessionAndItsCookieComeWithTheFirstValueWritten) {
    for (const char* uri : {"/ExcursaLakemont.asp?WCI=Page", "/ExcursaLakemont.asp?WCI=Recall",
                            "/ExcursaLakemont.asp?WCI=NoSuchPage", "/css/site.css", "/missing.css"}) {
        for (int i = 0; i < 5; ++i) EXPECT_EQ(fetch("GET", uri).cookie, "") << uri;
    }
    EXPECT_EQ(fetch("GET", "/ExcursaLakemont.asp?WCI=Recall", "", "0123456789abcdef0123456789abcdef").cookie,
              "")
        << "an unknown id that is only read gets nothing either";
    EXPECT_EQ(sessions(), 0u);

    const Reply kept = fetch("GET", "/ExcursaLakemont.asp?WCI=Remember&name=Ann");
    ASSERT_EQ(kept.cookie.size(), 32u);
    EXPECT_EQ(sessions(), 1u);
    const Reply recalled = fetch("GET", "/ExcursaLakemont.asp?WCI=Recall", "", kept.cookie);
    EXPECT_EQ(testing::WrittenText(recalled.body), "[Ann]");
    EXPECT_EQ(recalled.cookie, "") << "a known session is not set again";
}

TEST_F(HttpServerTest, SetCookieIsHttpOnlyAndSameSite) {
    Poco::Net::HTTPClientSession session("127.0.0.1", static_cast<Poco::UInt16>(server_.port()));
    Poco::Net::HTTPRequest request("GET", "/ExcursaLakemont.asp?WCI=Remember&name=x");
    session.sendRequest(request);
    Poco::Net::HTTPResponse response;
    session.receiveResponse(response);
    const std::string cookie = response.get("Set-Cookie", "");
    EXPECT_NE(cookie.find("; Path=/; HttpOnly; SameSite=Lax"), std::string::npos) << cookie;
}

TEST_F(HttpServerTest, RootRedirectsToTheEntryPage) {
    Reply r = fetch("GET", "/");
    EXPECT_EQ(r.status, 302);
    EXPECT_EQ(r.location, "/ExcursaLakemont.asp");
}

TEST_F(HttpServerTest, ServesStaticFilesOfAllowedKindsOnly) {
    Reply css = fetch("GET", "/css/site.css");
    EXPECT_EQ(css.status, 200);
    EXPECT_EQ(css.contentType, "text/css; charset=utf-8");
    EXPECT_EQ(css.body, "body{color:#000}");
    EXPECT_EQ(fetch("GET", "/images/logo.gif").contentType, "image/gif");
    EXPECT_EQ(fetch("GET", "/trip.ini").status, 404);
    EXPECT_EQ(fetch("GET", "/page1.htm").status, 404);
    EXPECT_EQ(fetch("GET", "/css/missing.css").status, 404);
}

TEST_F(HttpServerTest, RefusesPathsThatLeaveTheFolder) {
    for (const std::string uri : {"/../x.css", "/css/../../x.css", "/css/%2e%2e/%2e%2e/x.css",
                                  "/css/..%2f..%2fx.css", "/css%5c..%5c..%5cx.css"}) {
        const int status = fetch("GET", uri).status;
        EXPECT_TRUE(status == 403 || status == 404 || status == 400) << uri << " gave " << status;
    }
}

TEST_F(HttpServerTest, LinksAreJudgedByTheFileTheyReach) {
    namespace fs = std::filesystem;
    const fs::path www = server_.www().path();
    fs::create_symlink(www / "trip.ini", www / "css/settings.css");
    fs::create_symlink("../page1.htm", www / "images/page.gif");
    fs::create_symlink("/etc/hostname", www / "css/host.css");
    fs::create_symlink("site.css", www / "css/alias.css");
    for (const char* refused : {"/css/settings.css", "/images/page.gif", "/css/host.css"}) {
        const Reply r = fetch("GET", refused);
        EXPECT_EQ(r.status, 404) << refused;
        EXPECT_EQ(r.body.find("secret"), std::string::npos) << refused;
    }
    EXPECT_EQ(fetch("GET", "/css/alias.css").body, "body{color:#000}") << "a link to a served file is served";
}

TEST_F(HttpServerTest, BadInputGetsClearAnswers) {
    EXPECT_EQ(fetch("GET", "/ExcursaLakemont.asp?WCI=%zz").status, 400);
    EXPECT_EQ(fetch("POST", "/ExcursaLakemont.asp?WCI=Page", "a=%g1").status, 400);
    EXPECT_EQ(fetch("POST", "/ExcursaLakemont.asp?WCI=Page", std::string(kMaxBodyBytes + 1, 'a')).status,
              413);
    EXPECT_EQ(fetch("GET", "/ExcursaLakemont.asp?WCI=Nothing").status, 404);
    EXPECT_EQ(fetch("GET", "/ExcursaLakemont.asp?WCI=Page").status, 200) << "the server goes on";
}

TEST_F(HttpServerTest, ANulByteAnywhereAPageCouldReadItIsRefusedBeforeThePageRuns) {
    struct Case {
        const char* what;
        std::string method, uri, body, cookie;
    };
    const Case cases[] = {
        {"query value", "GET", "/ExcursaLakemont.asp?WCI=Remember&name=abc%00def", "", ""},
        {"query key", "GET", "/ExcursaLakemont.asp?WCI=Remember&na%00me=x", "", ""},
        {"form field", "POST", "/ExcursaLakemont.asp?WCI=Remember", "user=abc%00def", ""},
        {"form field name", "POST", "/ExcursaLakemont.asp?WCI=Remember", "cu%00st=MAPLE", ""},
        {"cookie", "GET", "/ExcursaLakemont.asp?WCI=Remember", "", "abc%00def"},
        {"path", "GET", "/ExcursaLakemont.asp%00.css", "", ""},
    };
    for (const Case& c : cases) {
        const Reply r = fetch(c.method, c.uri, c.body, c.cookie);
        EXPECT_EQ(r.status, 400) << c.what;
        EXPECT_NE(r.body.find(kUnreadable), std::string::npos) << c.what;
    }
    EXPECT_EQ(sessions(), 0u) << "no page ran";
}

TEST_F(HttpServerTest, MethodsNotAllowedNameTheAllowedOnes) {
    const Reply page = fetch("PUT", "/ExcursaLakemont.asp?WCI=Page", "x");
    EXPECT_EQ(page.status, 405);
    EXPECT_EQ(page.allow, "GET, HEAD, POST");
    const Reply file = fetch("DELETE", "/css/site.css");
    EXPECT_EQ(file.status, 405);
    EXPECT_EQ(file.allow, "GET, HEAD");
}

TEST_F(HttpServerTest, MalformedRequestHeadsAnswer400AndClose) {
    const std::string tooLong(70 * 1024, 'a');
    const std::string heads[] = {"GET /x?a b HTTP/1.1\r\nHost: h\r\n\r\n",
                                 "GET /ExcursaLakemont.asp HTTP/1.1 extra\r\nHost: h\r\n\r\n",
                                 "GET  /ExcursaLakemont.asp HTTP/1.1\r\nHost: h\r\n\r\n",
                                 "GET /ExcursaLakemont.asp?WCI=" + tooLong + " HTTP/1.1\r\nHost: h\r\n\r\n",
                                 "GET /ExcursaLakemont.asp HTTP/1.1\r\nX: " + tooLong + "\r\n\r\n"};
    for (const std::string& head : heads) {
        RawClient client(server_.port());
        client.send(head);
        const std::string answer = client.readToClose();
        EXPECT_EQ(answer.substr(0, 12), "HTTP/1.1 400") << head.substr(0, 60);
        EXPECT_NE(answer.find(kUnreadable), std::string::npos) << head.substr(0, 60);
    }
}

TEST_F(HttpServerTest, OneConnectionCarriesSeveralRequestsAndHeadHasNoBody) {
    RawClient client(server_.port());
    client.send(
        "GET /css/site.css HTTP/1.1\r\nHost: h\r\n\r\n"
        "HEAD /ExcursaLakemont.asp?WCI=Page&name=Al HTTP/1.1\r\nHost: h\r\n\r\n");
    const std::string first = client.readResponse();
    EXPECT_EQ(first.substr(0, 15), "HTTP/1.1 200 OK");
    EXPECT_EQ(first.substr(first.size() - 16), "body{color:#000}");
    client.send("GET /ExcursaLakemont.asp?WCI=Page&name=Al HTTP/1.1\r\nHost: h\r\nConnection: close\r\n\r\n");
    // The HEAD answer announces the page's length and sends none of it.
    const std::string all = client.readToClose();
    const std::string page = "<html>hello Al</html>";
    EXPECT_NE(all.find("Content-Length: " + std::to_string(page.size())), std::string::npos);
    EXPECT_EQ(all.find(page), all.rfind(page)) << "the page once, for the GET";
    EXPECT_NE(all.find(page), std::string::npos);
}

TEST_F(HttpServerTest, ExpectContinueIsAnswered) {
    RawClient client(server_.port());
    client.send(
        "POST /ExcursaLakemont.asp?WCI=Page HTTP/1.1\r\nHost: h\r\nExpect: 100-continue\r\n"
        "Content-Type: application/x-www-form-urlencoded\r\nContent-Length: 6\r\n\r\n");
    EXPECT_EQ(client.readResponse(), "HTTP/1.1 100 Continue\r\n\r\n");
    client.send("name=B");
    EXPECT_NE(client.readResponse().find("<html>hello B</html>"), std::string::npos);
}

TEST(AccessLogTest, EscapesWhatClientsSentAndNamesTheUserAndSize) {
    std::ostringstream log;
    TestServer server([&](ServerOptions& options) {
        options.accessLog = true;
        options.accessLogTo = &log;
    });
    server.fetch("GET", "/ExcursaLakemont.asp?WCI=SignIn&user=ann%1B%5B31m%22");
    const Reply signedIn = server.fetch("GET", "/ExcursaLakemont.asp?WCI=SignIn&user=maple.teacher");
    server.fetch("GET", "/ExcursaLakemont.asp?WCI=Page&q=\"quoted\"", "", signedIn.cookie);
    server.fetch("GET", "/css/site.css");
    server.stop();
    const std::string text = log.str();
    EXPECT_EQ(text.find('\x1b'), std::string::npos) << text;
    EXPECT_NE(text.find("\"ann\\x1B[31m\\\"\""), std::string::npos) << text;
    EXPECT_NE(text.find("GET \"/ExcursaLakemont.asp?WCI=Page&q=\\\"quoted\\\"\" 200 19 "), std::string::npos)
        << text;
    EXPECT_NE(text.find("ms \"maple.teacher\"\n"), std::string::npos) << text;
    EXPECT_NE(text.find("GET \"/css/site.css\" 200 16 "), std::string::npos) << text;
    EXPECT_NE(text.find("ms -\n"), std::string::npos) << "no user: " << text;
}

// Lines are written in batches, but a quiet server must not keep its last lines back.
TEST(AccessLogTest, ALineReachesTheFileSoonWithoutTheServerStopping) {
    testing::TempFolder folder;
    const std::filesystem::path file = folder.path() / "access.log";
    std::ofstream out(file);
    AccessLog log(out);
    log.write({"GET", "/one", 200, 5, 1, ""});
    log.write({"GET", "/two", 200, 5, 1, "ann"});
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    std::string text;
    while (std::chrono::steady_clock::now() < deadline) {
        std::ifstream in(file);
        text.assign(std::istreambuf_iterator<char>(in), {});
        if (text.find("\"/two\"") != std::string::npos) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(text, "GET \"/one\" 200 5 1ms -\nGET \"/two\" 200 5 1ms \"ann\"\n");
}

TEST(AccessLogTest, LineFormat) {
    EXPECT_EQ(AccessLogLine({"GET", "/a\tb\\c", 404, 120, 3, ""}), "GET \"/a\\x09b\\\\c\" 404 120 3ms -");
    EXPECT_EQ(EscapeForLog("caf\xC3\xA9\x7F"), "caf\\xC3\\xA9\\x7F");
}

TEST(StaticPathTest, KindsAndFolderBounds) {
    testing::TempFolder www;
    www.write("css/a.css", "x");
    www.write("trip.ini", "x");
    EXPECT_EQ(StaticContentType("/x/Y.PNG"), "image/png");
    EXPECT_EQ(StaticContentType("/login1.htm"), "");
    EXPECT_EQ(StaticContentType("/trip.ini"), "");
    EXPECT_NE(ResolveStaticPath(www.str(), "/css/a.css"), "");
    EXPECT_EQ(ResolveStaticPath(www.str(), "/css/../css/a.css"), "");
    std::filesystem::create_symlink("/etc", www.path() / "link");
    EXPECT_EQ(ResolveStaticPath(www.str(), "/link/fonts.css"), "");
    std::filesystem::create_symlink(www.path() / "trip.ini", www.path() / "css/b.css");
    EXPECT_EQ(ResolveStaticPath(www.str(), "/css/b.css"), "");
}

TEST(StaticFileCacheTest, KeepsSmallFilesAndReadsThemAgainWhenTheyChange) {
    testing::TempFolder www;
    www.write("css/a.css", "first");
    www.write("css/other.css", "other");
    www.write("trip.ini", "SmtpPassword=secret");
    StaticFileCache cache(/*maxFileBytes=*/16, /*maxTotalBytes=*/1024, /*recheckAfter=*/std::chrono::milliseconds(0));
    const auto text = [&](std::string_view path) {
        const std::optional<StaticFile> file = cache.get(www.str(), path);
        return file ? *file->content : std::string("<none>");
    };
    EXPECT_EQ(text("/css/a.css"), "first");
    EXPECT_EQ(cache.get(www.str(), "/css/a.css")->contentType, "text/css; charset=utf-8");
    www.write("css/a.css", "second, longer");  // another size
    EXPECT_EQ(text("/css/a.css"), "second, longer");
    // A link kept, but pointed elsewhere: the file reached is checked again.
    std::filesystem::create_symlink(www.path() / "css/other.css", www.path() / "css/link.css");
    EXPECT_EQ(text("/css/link.css"), "other");
    std::filesystem::remove(www.path() / "css/link.css");
    std::filesystem::create_symlink(www.path() / "trip.ini", www.path() / "css/link.css");
    EXPECT_EQ(text("/css/link.css"), "<none>");
    std::filesystem::remove(www.path() / "css/a.css");
    EXPECT_EQ(text("/css/a.css"), "<none>");
    www.write("css/big.css", std::string(40, 'x'));  // over the size kept, still served
    EXPECT_EQ(text("/css/big.css"), std::string(40, 'x'));
}

TEST(StaticFileCacheTest, AChangeIsSeenOnceTheRecheckTimeHasPassed) {
    testing::TempFolder www;
    www.write("css/a.css", "first");
    StaticFileCache cache(16, 1024, std::chrono::milliseconds(200));
    const auto text = [&] { return *cache.get(www.str(), "/css/a.css")->content; };
    EXPECT_EQ(text(), "first");
    www.write("css/a.css", "second, longer");
    EXPECT_EQ(text(), "first") << "the file was looked at again before its recheck time";
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    EXPECT_EQ(text(), "second, longer");
}

}  // namespace
}  // namespace excursa
