#include "frame/http_server.h"

#include "frame/value.h"

#include <Poco/Net/HTTPRequestHandler.h>
#include <Poco/Net/HTTPRequestHandlerFactory.h>
#include <Poco/Net/HTTPServer.h>
#include <Poco/Net/HTTPServerParams.h>
#include <Poco/Net/HTTPServerRequest.h>
#include <Poco/Net/HTTPServerResponse.h>
#include <Poco/Net/NameValueCollection.h>
#include <Poco/Net/ServerSocket.h>
#include <Poco/ThreadPool.h>
#include <Poco/Timespan.h>
#include <Poco/URI.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <mutex>
#include <sstream>

namespace excursa {

namespace fs = std::filesystem;
using Poco::Net::HTTPResponse;
using Poco::Net::HTTPServerRequest;
using Poco::Net::HTTPServerResponse;

std::string StaticContentType(std::string_view path) {
    static const std::pair<std::string_view, std::string_view> kTypes[] = {
        {".css", "text/css; charset=utf-8"},
        {".js", "text/javascript; charset=utf-8"},
        {".gif", "image/gif"},
        {".png", "image/png"},
        {".jpg", "image/jpeg"},
        {".jpeg", "image/jpeg"},
        {".svg", "image/svg+xml"},
        {".ico", "image/x-icon"},
        {".webp", "image/webp"},
        {".bmp", "image/bmp"},
        {".woff", "font/woff"},
        {".woff2", "font/woff2"},
        {".ttf", "font/ttf"},
        {".otf", "font/otf"},
    };
    const std::size_t dot = path.rfind('.');
    if (dot == std::string_view::npos) return "";
    const std::string_view extension = path.substr(dot);
    for (const auto& [ext, type] : kTypes) {
        if (SameTextNoCase(ext, extension)) return std::string(type);
    }
    return "";
}

std::string ResolveStaticPath(const std::string& wwwFolder, std::string_view decodedPath) {
    if (decodedPath.find('\0') != std::string_view::npos ||
        decodedPath.find('\\') != std::string_view::npos) {
        return "";
    }
    const fs::path relative = fs::path(std::string(decodedPath)).relative_path();
    for (const fs::path& part : relative) {
        if (part == ".." || part == ".") return "";
    }
    if (StaticContentType(decodedPath).empty()) return "";
    std::error_code ec;
    const fs::path root = fs::canonical(wwwFolder, ec);
    if (ec) return "";
    const fs::path file = fs::weakly_canonical(root / relative, ec);
    if (ec) return "";
    // A link inside the folder must not lead out of it either.
    const auto [rootEnd, ignored] = std::mismatch(root.begin(), root.end(), file.begin(), file.end());
    if (rootEnd != root.end()) return "";
    if (!fs::is_regular_file(file, ec)) return "";
    return file.string();
}

namespace {

std::mutex gAccessLogMutex;

void AccessLog(const std::string& method, const std::string& path, int status, double ms) {
    std::lock_guard lock(gAccessLogMutex);
    std::cout << method << ' ' << path << ' ' << status << ' ' << static_cast<long>(ms + 0.5) << "ms"
              << std::endl;
}

struct Answer {
    int status = 200;
    std::string contentType = "text/html; charset=utf-8";
    std::string body;
    std::string location;
    std::string sessionCookie;
    bool cacheable = false;
};

Answer FromResponse(const ResponseData& r) {
    return Answer{r.status, r.contentType, r.body, r.location, r.newSessionId, false};
}

Answer PlainError(int status, std::string_view title, std::string_view message) {
    return FromResponse(ErrorPage(status, title, message));
}

std::string SessionIdFrom(const HTTPServerRequest& request) {
    Poco::Net::NameValueCollection cookies;
    request.getCookies(cookies);
    return cookies.get(std::string(kSessionCookie), "");
}

// A body this much over the limit is not even read to the end: the
// connection is closed on the sender instead.
constexpr std::size_t kMaxDrainBytes = 16 * kMaxBodyBytes;

// Reads at most kMaxBodyBytes; false when the body is larger. An oversized
// body is drained so that the client can read the refusal.
bool ReadBody(HTTPServerRequest& request, std::string& body) {
    std::istream& in = request.stream();
    char buffer[8192];
    std::size_t total = 0;
    while (in && total <= kMaxDrainBytes) {
        in.read(buffer, sizeof buffer);
        const auto got = static_cast<std::size_t>(in.gcount());
        total += got;
        if (total <= kMaxBodyBytes) body.append(buffer, got);
    }
    return total <= kMaxBodyBytes;
}

bool IsFormPost(const HTTPServerRequest& request) {
    const std::string type = request.getContentType();
    return type.empty() || Left(LCase(type), 33) == "application/x-www-form-urlencoded";
}

class RequestHandler final : public Poco::Net::HTTPRequestHandler {
public:
    RequestHandler(WebApplication& app, bool accessLog) : app_(app), accessLog_(accessLog) {}

    void handleRequest(HTTPServerRequest& request, HTTPServerResponse& response) override {
        const auto started = std::chrono::steady_clock::now();
        Answer answer;
        try {
            answer = answerFor(request);
        } catch (const std::exception& e) {
            std::cerr << "excursa: failure serving " << request.getURI() << ": " << e.what() << std::endl;
            answer = PlainError(500, "Server error", "The page could not be completed.");
        }
        send(response, answer);
        if (accessLog_) {
            const double ms =
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - started).count();
            AccessLog(request.getMethod(), request.getURI(), answer.status, ms);
        }
    }

private:
    Answer answerFor(HTTPServerRequest& request) {
        const std::string& uri = request.getURI();
        const std::size_t q = uri.find('?');
        const std::string rawPath = uri.substr(0, q);
        const std::string rawQuery = q == std::string::npos ? "" : uri.substr(q + 1);
        std::string path;
        try {
            Poco::URI::decode(rawPath, path);
        } catch (const Poco::Exception&) {
            return PlainError(400, "Bad request", "The address is not valid.");
        }
        if (path == "/" || path.empty()) {
            Answer redirect;
            redirect.status = 302;
            redirect.location = std::string("/") + std::string(kEntryPage);
            return redirect;
        }
        if (SameTextNoCase(path, std::string("/") + std::string(kEntryPage)))
            return runPage(request, rawQuery);
        return serveStatic(request, path);
    }

    Answer runPage(HTTPServerRequest& request, const std::string& rawQuery) {
        const std::string& method = request.getMethod();
        if (method != "GET" && method != "POST" && method != "HEAD") {
            return PlainError(405, "Method not allowed", "Pages answer GET and POST.");
        }
        RequestData data;
        data.method = method;
        if (!ParseUrlEncoded(rawQuery, data.query)) {
            return PlainError(400, "Bad request", "The address holds a malformed query.");
        }
        if (method == "POST") {
            std::string body;
            if (!ReadBody(request, body)) {
                return PlainError(413, "Request too large",
                                  "The form sent is larger than this site accepts.");
            }
            if (IsFormPost(request) && !ParseUrlEncoded(body, data.form)) {
                return PlainError(400, "Bad request", "The form sent could not be read.");
            }
        }
        data.sessionId = SessionIdFrom(request);
        return FromResponse(app_.handle(data));
    }

    Answer serveStatic(HTTPServerRequest& request, const std::string& path) {
        if (request.getMethod() != "GET" && request.getMethod() != "HEAD") {
            return PlainError(405, "Method not allowed", "Files are only fetched.");
        }
        if (path.find("..") != std::string::npos)
            return PlainError(403, "Forbidden", "That address is refused.");
        const std::string file = ResolveStaticPath(app_.wwwFolder().string(), path);
        if (file.empty()) return FromResponse(NotFoundPage("There is no file at " + path + "."));
        std::ifstream in(file, std::ios::binary);
        std::ostringstream content;
        content << in.rdbuf();
        Answer answer;
        answer.contentType = StaticContentType(file);
        answer.body = content.str();
        answer.cacheable = true;
        return answer;
    }

    void send(HTTPServerResponse& response, const Answer& answer) {
        response.setStatusAndReason(static_cast<HTTPResponse::HTTPStatus>(answer.status));
        response.setContentType(answer.contentType);
        if (!answer.location.empty()) response.set("Location", answer.location);
        if (!answer.sessionCookie.empty()) {
            response.add("Set-Cookie", std::string(kSessionCookie) + "=" + answer.sessionCookie +
                                           "; Path=/; HttpOnly; SameSite=Lax");
        }
        response.set("Cache-Control", answer.cacheable ? "max-age=300" : "no-store");
        response.set("X-Content-Type-Options", "nosniff");
        response.setContentLength64(static_cast<Poco::Int64>(answer.body.size()));
        std::ostream& out = response.send();
        out.write(answer.body.data(), static_cast<std::streamsize>(answer.body.size()));
    }

    WebApplication& app_;
    bool accessLog_;
};

class HandlerFactory final : public Poco::Net::HTTPRequestHandlerFactory {
public:
    HandlerFactory(WebApplication& app, bool accessLog) : app_(app), accessLog_(accessLog) {}
    Poco::Net::HTTPRequestHandler* createRequestHandler(const HTTPServerRequest&) override {
        return new RequestHandler(app_, accessLog_);
    }

private:
    WebApplication& app_;
    bool accessLog_;
};

}  // namespace

HttpServer::HttpServer(WebApplication& app, ServerOptions options)
    : app_(app), options_(std::move(options)) {}

HttpServer::~HttpServer() { stop(); }

void HttpServer::start() {
    Poco::Net::ServerSocket socket(
        Poco::Net::SocketAddress(options_.address, static_cast<Poco::UInt16>(options_.port)));
    auto* params = new Poco::Net::HTTPServerParams;
    params->setMaxThreads(options_.threads < 1 ? 1 : options_.threads);
    params->setMaxQueued(256);
    // A kept-alive connection holds its worker while the browser idles; with a
    // worker per connection, a few browsers could otherwise hold them all.
    params->setKeepAlive(true);
    params->setKeepAliveTimeout(Poco::Timespan(1, 0));
    params->setMaxKeepAliveRequests(100);
    const int threads = options_.threads < 1 ? 1 : options_.threads;
    workers_ = std::make_unique<Poco::ThreadPool>(threads, threads);
    server_ = std::make_unique<Poco::Net::HTTPServer>(new HandlerFactory(app_, options_.accessLog), *workers_,
                                                      socket, params);
    server_->start();
}

void HttpServer::stop() {
    if (!server_) return;
    server_->stopAll(false);
    server_.reset();
    workers_->joinAll();
    workers_.reset();
}

int HttpServer::port() const { return server_ ? server_->port() : 0; }

}  // namespace excursa
