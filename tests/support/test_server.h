// A server on a free loopback port with a few small pages, and clients that
// speak raw bytes, for tests of the transport.
#pragma once

#include "frame/http_server.h"
#include "support/temp_folder.h"

#include <Poco/Net/HTTPClientSession.h>
#include <Poco/Net/HTTPRequest.h>
#include <Poco/Net/HTTPResponse.h>
#include <Poco/Net/NetException.h>
#include <Poco/Net/StreamSocket.h>
#include <Poco/StreamCopier.h>
#include <Poco/Timespan.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>

namespace excursa::testing {

struct Reply {
    int status = 0;
    std::string contentType;
    std::string body;
    std::string location;
    std::string cookie;  // the session id set, "" when none
    std::string setCookie;  // the whole header
    std::string allow;
};

// One request to a server on the loopback, on a connection of its own.
inline Reply Fetch(int port, const std::string& method, const std::string& uri, const std::string& body = "",
                   const std::string& cookie = "") {
    Poco::Net::HTTPClientSession session("127.0.0.1", static_cast<Poco::UInt16>(port));
    session.setTimeout(Poco::Timespan(5, 0));
    Poco::Net::HTTPRequest request(method, uri, Poco::Net::HTTPMessage::HTTP_1_1);
    if (!cookie.empty()) request.set("Cookie", std::string(kSessionCookie) + "=" + cookie);
    if (method == "POST") {
        request.setContentType("application/x-www-form-urlencoded");
        request.setContentLength64(static_cast<Poco::Int64>(body.size()));
    }
    session.sendRequest(request) << body;
    Poco::Net::HTTPResponse response;
    std::istream& in = session.receiveResponse(response);
    Reply reply;
    reply.status = response.getStatus();
    reply.contentType = response.getContentType();
    reply.location = response.get("Location", "");
    reply.allow = response.get("Allow", "");
    reply.setCookie = response.get("Set-Cookie", "");
    const std::string prefix = std::string(kSessionCookie) + "=";
    if (reply.setCookie.rfind(prefix, 0) == 0) reply.cookie = reply.setCookie.substr(prefix.size(), 32);
    Poco::StreamCopier::copyToString(in, reply.body);
    return reply;
}

// Holds the "Wait" page until opened, as a page that waits for a lock would; shut again by
// each server.
class PageGate {
public:
    void pass() {
        std::unique_lock lock(mutex_);
        ++waiting_;
        changed_.notify_all();
        changed_.wait_for(lock, std::chrono::seconds(10), [&] { return open_; });
        --waiting_;
    }
    void open() {
        std::lock_guard lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }
    void shut() {
        std::lock_guard lock(mutex_);
        open_ = false;
    }
    // True once `count` pages wait at the gate, false after two seconds without.
    bool waitFor(int count) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, std::chrono::seconds(2), [&] { return waiting_ >= count; });
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    int waiting_ = 0;
    bool open_ = false;
};

inline PageGate& SlowPageGate() {
    static PageGate gate;
    return gate;
}

// Pages: "Page" shows a template with the form or query field `name`;
// "Remember" keeps `name` in the session; "SignIn" sets USER from `user`;
// "Recall" shows what the session holds without writing it; "Wait" waits at
// the slow page gate.
inline WebItemRegistry TestServerItems() {
    WebItemRegistry items;
    items.add({.name = "Page",
               .templateFile = "page1.htm",
               .respond = [](AppObject& app) { app.host.writeTemplate("Page"); },
               .processTag =
                   [](AppObject& app, const std::string&, std::string& contents) {
                       contents = "hello " + app.host.formField("name") + app.host.queryField("name");
                   }});
    items.add({.name = "Remember", .respond = [](AppObject& app) {
                   app.host.sessionSet("name", app.host.queryField("name"));
                   app.host.write("kept");
               }});
    items.add({.name = "SignIn", .respond = [](AppObject& app) {
                   app.host.sessionSet("USER", app.host.queryField("user"));
                   app.host.write("signed in");
               }});
    items.add({.name = "Wait", .respond = [](AppObject& app) {
                   SlowPageGate().pass();
                   app.host.write("waited");
               }});
    items.add({.name = "Recall", .respond = [](AppObject& app) {
                   app.host.write("[" + TextOf(app.host.sessionGet("name")) + "]");
               }});
    return items;
}

class TestServer {
public:
    // `adjust` changes the options (short deadlines) before the server starts.
    template <typename Adjust>
    explicit TestServer(Adjust adjust) {
        www_.write("page1.htm", "<html><WC@GREETING>x</WC@GREETING></html>");
        www_.write("css/site.css", "body{color:#000}");
        www_.write("images/logo.gif", "GIF89a");
        www_.write("trip.ini", "[V.E.L. Options]\nSmtpPassword=secret\n");
        app_ = std::make_unique<WebApplication>(
            TestServerItems(), [](AppObject& app) { app.host.setNextItem("Page"); }, www_.path());
        options_.address = "127.0.0.1";
        options_.port = 0;
        options_.threads = 2;
        options_.accessLog = false;
        SlowPageGate().shut();
        adjust(options_);
        server_ = std::make_unique<HttpServer>(*app_, options_);
        server_->start();
        port_ = server_->port();
    }
    TestServer() : TestServer([](ServerOptions&) {}) {}

    int port() const { return port_; }
    // Stops serving (the access log is complete after it).
    void stop() { server_->stop(); }
    WebApplication& app() { return *app_; }
    const TempFolder& www() const { return www_; }
    const ServerOptions& options() const { return options_; }

    Reply fetch(const std::string& method, const std::string& uri, const std::string& body = "",
                const std::string& cookie = "") const {
        return Fetch(port(), method, uri, body, cookie);
    }

private:
    TempFolder www_;
    ServerOptions options_;
    std::unique_ptr<WebApplication> app_;
    std::unique_ptr<HttpServer> server_;
    int port_ = 0;
};

// A client that sends exactly the bytes it is given.
class RawClient {
public:
    explicit RawClient(int port)
        : socket_(Poco::Net::SocketAddress("127.0.0.1", static_cast<Poco::UInt16>(port))) {
        socket_.setReceiveTimeout(Poco::Timespan(5, 0));
    }

    void send(const std::string& bytes) { socket_.sendBytes(bytes.data(), static_cast<int>(bytes.size())); }

    // Everything until the server closes; throws on the receive time-out.
    std::string readToClose() {
        std::string all;
        char buffer[4096];
        for (;;) {
            const int n = socket_.receiveBytes(buffer, sizeof buffer);
            if (n <= 0) return all;
            all.append(buffer, static_cast<std::size_t>(n));
        }
    }

    // One response with a Content-Length body: status line and headers, then the body.
    std::string readResponse() {
        std::string text;
        char c = 0;
        while (text.find("\r\n\r\n") == std::string::npos) {
            if (socket_.receiveBytes(&c, 1) <= 0) return text;
            text += c;
        }
        const std::size_t at = text.find("Content-Length: ");
        std::size_t length = at == std::string::npos ? 0 : std::stoul(text.substr(at + 16));
        std::string body(length, '\0');
        std::size_t got = 0;
        while (got < length) {
            const int n = socket_.receiveBytes(body.data() + got, static_cast<int>(length - got));
            if (n <= 0) break;
            got += static_cast<std::size_t>(n);
        }
        return text + body.substr(0, got);
    }

    // True when the server closes the connection within `wait`.
    bool closedWithin(std::chrono::milliseconds wait) {
        socket_.setReceiveTimeout(Poco::Timespan(static_cast<long>(wait.count() / 1000),
                                                 static_cast<long>(wait.count() % 1000) * 1000));
        char buffer[256];
        try {
            while (socket_.receiveBytes(buffer, sizeof buffer) > 0) {
            }
            return true;
        } catch (const Poco::TimeoutException&) {
            return false;
        } catch (const Poco::Net::NetException&) {
            return true;  // reset
        }
    }

private:
    Poco::Net::StreamSocket socket_;
};

}  // namespace excursa::testing
