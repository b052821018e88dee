#include "frame/http_answer.h"

#include "frame/access_log.h"
#include "frame/nocase.h"
#include "frame/static_files.h"
#include "frame/value.h"

#include <Poco/Net/MessageHeader.h>
#include <Poco/Net/NameValueCollection.h>
#include <Poco/URI.h>

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>

namespace excursa {

namespace {

constexpr std::string_view kPageMethods = "GET, HEAD, POST";
constexpr std::string_view kFileMethods = "GET, HEAD";
constexpr std::string_view kHealthPath = "/healthz";
constexpr std::string_view kMetricsPath = "/metrics";
constexpr std::string_view kPlainText = "text/plain; charset=utf-8";

Answer FromResponse(ResponseData r) {
    Answer answer;
    answer.status = r.status;
    answer.contentType = std::move(r.contentType);
    answer.body = std::move(r.body);
    answer.location = std::move(r.location);
    answer.sessionCookie = std::move(r.newSessionId);
    answer.user = std::move(r.user);
    answer.noStore = r.noStore;
    return answer;
}

Answer MethodNotAllowed(std::string_view allow, std::string_view message) {
    Answer answer = PlainError(405, "Method not allowed", message);
    answer.allow = std::string(allow);
    return answer;
}

std::string_view PathOf(std::string_view target) { return target.substr(0, target.find('?')); }

std::string_view QueryOf(std::string_view target) {
    const std::size_t q = target.find('?');
    return q == std::string_view::npos ? std::string_view() : target.substr(q + 1);
}

std::optional<std::string> DecodedPath(std::string_view target) {
    std::string path;
    try {
        Poco::URI::decode(std::string(PathOf(target)), path);
    } catch (const Poco::Exception&) {
        return std::nullopt;
    }
    return path;
}

bool IsEntryPage(std::string_view path) {
    return path.size() == kEntryPage.size() + 1 && path[0] == '/' &&
           SameTextNoCase(path.substr(1), kEntryPage);
}

bool IsFetch(const IncomingRequest& request) { return request.method == "GET" || request.method == "HEAD"; }

Answer BodyAnswer(int status, std::string body, std::string_view contentType = kPlainText) {
    Answer answer;
    answer.status = status;
    answer.contentType = std::string(contentType);
    answer.body = std::move(body);
    return answer;
}

Answer Labelled(Answer answer, std::string_view item) {
    answer.item = std::string(item);
    return answer;
}

// The web item a page request names, as the registry spells it.
std::string PageItemLabel(const WebApplication& app, const std::string& itemName) {
    if (itemName.empty()) return std::string(metric_item::Start);
    const WebItem* item = app.items().find(itemName);
    return item ? item->name : std::string(metric_item::Unknown);
}

bool IsFormPost(const IncomingRequest& request) {
    return request.contentType.empty() ||
           StartsWithNoCase(request.contentType, "application/x-www-form-urlencoded");
}

// Whether an Accept header takes HTML: a browser's does; "*/*" or none is a program's.
bool AcceptsHtml(const std::string& accept) {
    std::vector<std::string> ranges;
    Poco::Net::MessageHeader::splitElements(accept, ranges);
    for (const std::string& range : ranges) {
        std::string type;
        Poco::Net::NameValueCollection parameters;
        Poco::Net::MessageHeader::splitParameters(range, type, parameters);
        const bool html = SameTextNoCase(type, "text/html") || SameTextNoCase(type, "application/xhtml+xml");
        if (html && std::strtod(parameters.get("q", "1").c_str(), nullptr) > 0) return true;
    }
    return false;
}

// Every cookie sent, and whether any name or value holds a NUL once decoded.
struct Cookies {
    Poco::Net::NameValueCollection values;
    bool holdNul = false;
};

Cookies ReadCookies(const IncomingRequest& request) {
    Cookies cookies;
    for (const std::string& header : request.cookieHeaders) {
        Poco::Net::MessageHeader::splitParameters(header.begin(), header.end(), cookies.values);
    }
    for (const auto& [name, value] : cookies.values) {
        const std::string decoded = PercentDecodeLenient(name) + PercentDecodeLenient(value);
        if (decoded.find('\0') != std::string::npos) cookies.holdNul = true;
    }
    return cookies;
}

Answer RunPage(WebApplication& app, const IncomingRequest& request) {
    const std::string& method = request.method;
    if (method != "GET" && method != "POST" && method != "HEAD") {
        return MethodNotAllowed(kPageMethods, "Pages answer GET and POST.");
    }
    RequestData data;
    data.method = method;
    if (!ParseUrlEncoded(QueryOf(request.target), data.query)) {
        return PlainError(400, "Bad request", "The address holds a malformed query.");
    }
    if (method == "POST" && IsFormPost(request) && !ParseUrlEncoded(request.body, data.form)) {
        return PlainError(400, "Bad request", "The form sent could not be read.");
    }
    const Cookies cookies = ReadCookies(request);
    if (cookies.holdNul || data.query.holdsNul() || data.form.holdsNul()) return UnreadableRequest();
    data.sessionId = cookies.values.get(std::string(kSessionCookie), "");
    data.showsPages = AcceptsHtml(request.accept);
    return Labelled(FromResponse(app.handle(data)), PageItemLabel(app, data.query.get("WCI")));
}

Answer ServeStatic(const WebApplication& app, const IncomingRequest& request, const std::string& path) {
    if (!IsFetch(request)) return MethodNotAllowed(kFileMethods, "Files are only fetched.");
    if (path.find("..") != std::string::npos) return PlainError(403, "Forbidden", "That address is refused.");
    const std::optional<StaticFile> file = app.staticFiles().get(app.wwwFolder().string(), path);
    if (!file) return FromResponse(NotFoundPage("There is no file at " + path + "."));
    Answer answer = BodyAnswer(200, *file->content, file->contentType);
    answer.cacheable = true;
    return answer;
}

Answer AnswerHealth(const IncomingRequest& request, const MonitorOptions& monitor) {
    if (!IsFetch(request)) return MethodNotAllowed(kFileMethods, "The health address is only fetched.");
    const HealthAnswer health = monitor.health();
    if (health.healthy()) return BodyAnswer(200, "ok\n");
    std::string body;
    for (const std::string& problem : health.problems) body += problem + "\n";
    return BodyAnswer(503, std::move(body));
}

Answer AnswerMetrics(WebApplication& app, const IncomingRequest& request, const MonitorOptions& monitor) {
    if (!MayReadMetrics(request.peer, monitor.metricsFrom)) {
        return PlainError(403, "Forbidden",
                          "The metrics are answered only to this machine and to the addresses that the "
                          "service was started to allow.");
    }
    if (!IsFetch(request)) return MethodNotAllowed(kFileMethods, "The metrics are only fetched.");
    return BodyAnswer(200, ProcessMetrics().text(app.sessions().counts()), kMetricsContentType);
}

Answer Route(WebApplication& app, const IncomingRequest& request, const MonitorOptions& monitor) {
    const std::optional<std::string> path = DecodedPath(request.target);
    if (!path) return PlainError(400, "Bad request", "The address is not valid.");
    if (path->find('\0') != std::string::npos) return UnreadableRequest();
    if (path->empty() || *path == "/") {
        Answer redirect;
        redirect.status = 302;
        redirect.location = "/" + std::string(kEntryPage);
        return redirect;
    }
    if (IsEntryPage(*path)) return RunPage(app, request);
    if (*path == kHealthPath && monitor.health) {
        return Labelled(AnswerHealth(request, monitor), metric_item::Health);
    }
    if (*path == kMetricsPath) return Labelled(AnswerMetrics(app, request, monitor), metric_item::Metrics);
    return Labelled(ServeStatic(app, request, *path), metric_item::File);
}

}  // namespace

Answer AnswerRequest(WebApplication& app, const IncomingRequest& request, const MonitorOptions& monitor) {
    try {
        return Route(app, request, monitor);
    } catch (const std::exception& e) {
        std::cerr << "excursa: failure serving " << EscapeForLog(request.target) << ": " << e.what()
                  << std::endl;
        return PlainError(500, "Server error", "The page could not be completed.");
    }
}

std::string_view CacheControl(const Answer& answer) {
    if (answer.cacheable) return "max-age=300";
    return answer.noStore ? "no-store" : "private, no-cache";
}

Answer PlainError(int status, std::string_view title, std::string_view message) {
    return FromResponse(ErrorPage(status, title, message));
}

Answer UnreadableRequest() { return PlainError(400, "Bad request", "The request could not be read."); }

}  // namespace excursa
