#include "frame/http_server.h"

#include "support/temp_folder.h"

#include <Poco/Net/HTTPClientSession.h>
#include <Poco/Net/HTTPRequest.h>
#include <Poco/Net/HTTPResponse.h>
#include <Poco/StreamCopier.h>
#include <gtest/gtest.h>

namespace excursa {
namespace {

struct Reply {
    int status = 0;
    std::string contentType;
    std::string body;
    std::string location;
    std::string cookie;
};

class HttpServerTest : public ::testing::Test {
protected:
    HttpServerTest() {
        www_.write("page1.htm", "<html><WC@GREETING>x</WC@GREETING></html>");
        www_.write("css/site.css", "body{color:#000}");
        www_.write("images/logo.gif", "GIF89a");
        www_.write("trip.ini", "[V.E.L. Options]\nSmtpPassword=secret\n");
        WebItemRegistry items;
        WebItem page;
        page.name = "Page";
        page.templateFile = "page1.htm";
        page.respond = [](AppObject& app) { app.host.writeTemplate("Page"); };
        page.processTag = [](AppObject& app, const std::string&, std::string& contents) {
            contents = "hello " + app.host.formField("name") + app.host.queryField("name");
        };
        items.add(page);
        app_ = std::make_unique<WebApplication>(
            std::move(items), [](AppObject& app) { app.host.setNextItem("Page"); }, www_.path());
        ServerOptions options;
        options.address = "127.0.0.1";
        options.port = 0;
        options.threads = 2;
        options.accessLog = false;
        server_ = std::make_unique<HttpServer>(*app_, options);
        server_->start();
    }

    Reply fetch(const std::string& method, const std::string& uri, const std::string& body = "",
                const std::string& type = "application/x-www-form-urlencoded") {
        Poco::Net::HTTPClientSession session("127.0.0.1", static_cast<Poco::UInt16>(server_->port()));
        Poco::Net::HTTPRequest request(method, uri, Poco::Net::HTTPMessage::HTTP_1_1);
        if (method == "POST") {
            request.setContentType(type);
            request.setContentLength64(static_cast<Poco::Int64>(body.size()));
        }
        session.sendRequest(request) << body;
        Poco::Net::HTTPResponse response;
        std::istream& in = session.receiveResponse(response);
        Reply reply;
        reply.status = response.getStatus();
        reply.contentType = response.getContentType();
        reply.location = response.get("Location", "");
        reply.cookie = response.get("Set-Cookie", "");
        Poco::StreamCopier::copyToString(in, reply.body);
        return reply;
    }

    testing::TempFolder www_;
    std::unique_ptr<WebApplication> app_;
    std::unique_ptr<HttpServer> server_;
};

TEST_F(HttpServerTest, ServesPagesWithASessionCookie) {
    Reply r = fetch("GET", "/ExcursaLakemont.asp?WCI=Page&name=Ann");
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.contentType, "text/html; charset=utf-8");
    EXPECT_EQ(r.body, "<html>hello Ann</html>");
    EXPECT_NE(r.cookie.find("HttpOnly"), std::string::npos);
    EXPECT_NE(r.cookie.find("SameSite=Lax"), std::string::npos);

    r = fetch("POST", "/ExcursaLakemont.asp?WCI=Page&WCE&WCU", "NAME=Bob+Lee");
    EXPECT_EQ(r.body, "<html>hello Bob Lee</html>");
    EXPECT_EQ(fetch("GET", "/ExcursaLakemont.asp").body, "<html>hello </html>");
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
    const std::string outside = www_.path().parent_path().string();
    for (const std::string uri : {"/../x.css", "/css/../../x.css", "/css/%2e%2e/%2e%2e/x.css",
                                  "/css/..%2f..%2fx.css", "/css%5c..%5c..%5cx.css"}) {
        const int status = fetch("GET", uri).status;
        EXPECT_TRUE(status == 403 || status == 404 || status == 400) << uri << " gave " << status;
    }
}

TEST_F(HttpServerTest, BadInputGetsClearAnswers) {
    EXPECT_EQ(fetch("GET", "/ExcursaLakemont.asp?WCI=%zz").status, 400);
    EXPECT_EQ(fetch("POST", "/ExcursaLakemont.asp?WCI=Page", "a=%g1").status, 400);
    EXPECT_EQ(fetch("POST", "/ExcursaLakemont.asp?WCI=Page", std::string(kMaxBodyBytes + 1, 'a')).status,
              413);
    EXPECT_EQ(fetch("GET", "/ExcursaLakemont.asp?WCI=Nothing").status, 404);
    EXPECT_EQ(fetch("GET", "/ExcursaLakemont.asp?WCI=Page").status, 200) << "the server goes on";
}

TEST(StaticPathTest, KindsAndFolderBounds) {
    testing::TempFolder www;
    www.write("css/a.css", "x");
    EXPECT_EQ(StaticContentType("/x/Y.PNG"), "image/png");
    EXPECT_EQ(StaticContentType("/login1.htm"), "");
    EXPECT_EQ(StaticContentType("/trip.ini"), "");
    EXPECT_NE(ResolveStaticPath(www.str(), "/css/a.css"), "");
    EXPECT_EQ(ResolveStaticPath(www.str(), "/css/../css/a.css"), "");
    std::filesystem::create_symlink("/etc", www.path() / "link");
    EXPECT_EQ(ResolveStaticPath(www.str(), "/link/fonts.css"), "");
}

}  // namespace
}  // namespace excursa
