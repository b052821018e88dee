#include "frame/web_application.h"

#include "frame/app_object.h"
#include "frame/host.h"
#include "frame/keys.h"
#include "frame/worker_state.h"

#include <iostream>
#include <optional>
#include <stdexcept>

namespace excursa {

std::string ItemUrl(std::string_view item, std::string_view event) {
    std::string url(kEntryPage);
    url.append("?WCI=").append(item);
    if (event.empty()) return url + "&WCE&WCU";
    return url.append("&WCE=").append(event).append("&WCU");
}

namespace {

// Hand-overs beyond this are a loop between items, not a page.
constexpr int kMaxHandOvers = 32;

constexpr std::string_view kSiteNavTag = "WC@SITENAV";

// The header every signed-in page shares: who is signed in and the way to the other pages, through
// the request search's navigation event. The field trip search is for district-wide staff.
std::string SiteNav(const Value& user, const Value& customer) {
    const std::string signedIn = Trim(TextOf(user));
    if (signedIn.empty()) return "";
    const auto button = [](std::string_view value, std::string_view caption) {
        return "<button type=\"submit\" name=\"btnsubmit\" value=\"" + std::string(value) + "\">" +
               std::string(caption) + "</button>";
    };
    std::string html = "<nav class=\"site-nav\" aria-label=\"Main\"><form method=\"post\" action=\"" +
                       HtmlEscape(ItemUrl("RequestSearch", "Navigate")) +
                       "\"><span class=\"signed-in\">Signed in as <strong>" + HtmlEscape(signedIn) +
                       "</strong></span><span class=\"nav-links\">";
    html += button("Work With Trip Requests", "Trip requests");
    html += button("Enter New Request", "New request");
    if (Trim(TextOf(customer)).empty()) html += button("View Field Trips", "Field trips");
    html += button("Log Out", "Sign out");
    return html + "</span></form></nav>";
}

// Text a handler wrote that is not a page of its own: a stop message or an error text.
bool IsBareMessage(const ResponseData& response) {
    if (response.body.empty() || response.status != 200) return false;
    if (!StartsWithNoCase(response.contentType, "text/html")) return false;
    const std::size_t start = response.body.find_first_not_of(" \t\r\n");
    if (start == std::string::npos) return false;
    const std::string_view head = std::string_view(response.body).substr(start);
    return !StartsWithNoCase(head, "<!DOCTYPE") && !StartsWithNoCase(head, "<html");
}

// A failure of the host itself (an unknown item handed over to, a missing
// template): answered with a page of its own.
struct HostFailure : std::runtime_error {
    HostFailure(int s, const std::string& m) : std::runtime_error(m), status(s) {}
    int status;
};

class WebHost final : public Host {
public:
    WebHost(WebApplication& app, const RequestData& request, ResponseData& response)
        : app_(app),
          request_(request),
          response_(response),
          session_(app.sessions().find(request.sessionId)),
          sessionId_(session_ ? request.sessionId : std::string()) {}

    void attach(AppObject& object) { object_ = &object; }

    std::string formField(std::string_view name) const override { return request_.form.get(name); }
    std::string queryField(std::string_view name) const override { return request_.query.get(name); }

    std::string serverVariable(std::string_view name) const override {
        if (SameTextNoCase(name, "APPL_PHYSICAL_PATH")) return app_.physicalPath();
        if (SameTextNoCase(name, "REQUEST_METHOD")) return request_.method;
        return "";
    }

    void write(std::string_view text) override {
        if (!redirected_) response_.body.append(text);
    }

    void redirect(std::string_view url) override {
        redirected_ = true;
        response_.status = 302;
        response_.location = std::string(url);
        response_.body =
            "<html><body>Object moved to <a href=\"" + HtmlEscape(url) + "\">here</a>.</body></html>";
    }

    [[noreturn]] void endResponse() override { throw ResponseEnded{}; }

    // Without a session a page reads an empty store; the session (and its
    // cookie) comes with the first value written.
    Value sessionGet(std::string_view key) const override {
        return session_ ? session_->values.get(key) : Value();
    }
    void sessionSet(std::string_view key, Value value) override {
        ensureSession().values.set(key, std::move(value));
    }

    // A time-out under a minute would end the session before the next click.
    void setSessionTimeout(int minutes) override {
        timeoutMinutes_ = minutes < 1 ? 1 : minutes;
        if (session_) session_->timeoutMinutes = *timeoutMinutes_;
    }
    void abandonSession() override { abandoned_ = true; }
    void renewSessionId() override { renewId_ = true; }

    Value appGet(std::string_view key) const override { return app_.application().get(key); }
    void appSet(std::string_view key, Value value) override { app_.application().set(key, std::move(value)); }

    void setNextItem(std::string_view item) override { nextItem_ = std::string(item); }
    std::string urlFor(std::string_view item, std::string_view event) const override {
        return ItemUrl(item, event);
    }

    void writeTemplate(std::string_view itemName) override {
        templateWritten_ = true;
        const WebItem* item = app_.items().find(itemName);
        if (item == nullptr || item->templateFile.empty()) {
            throw HostFailure(500, "The page " + std::string(itemName) + " has no template.");
        }
        std::shared_ptr<const ParsedTemplate> parsed;
        try {
            parsed = app_.templates().get(app_.wwwFolder() / item->templateFile);
        } catch (const std::runtime_error& e) {
            throw HostFailure(500, e.what());
        }
        for (const TemplatePiece& piece : parsed->pieces) {
            if (!piece.isTag) {
                write(piece.text);
                continue;
            }
            std::string contents = piece.text;
            if (SameTextNoCase(piece.tagName, kSiteNavTag)) {
                contents = SiteNav(sessionGet(key::User), sessionGet(key::Customer));
            } else if (item->processTag) {
                item->processTag(*object_, piece.tagName, contents);
            }
            write(contents);
        }
    }

    // True when the response holds only what handlers wrote: no page, no redirect.
    bool wroteOnlyText() const { return !templateWritten_ && !redirected_; }

    std::optional<std::string> takeNextItem() {
        std::optional<std::string> next = std::move(nextItem_);
        nextItem_.reset();
        return next;
    }
    // Once the response is complete: abandon, renew the id, or file the
    // session as signed in or not for the session limit.
    void settleSession() {
        // The signed-out page, also after an expiry, must not come back from the browser's history.
        if (abandoned_) response_.noStore = true;
        if (!session_) return;
        SessionStore& store = app_.sessions();
        if (abandoned_) {
            session_->abandoned = true;
            session_->values.clear();
            store.discard(sessionId_);
            if (response_.newSessionId == sessionId_) response_.newSessionId.clear();
            return;
        }
        response_.user = TextOf(session_->values.get(key::User));
        store.setSignedIn(sessionId_, !response_.user.empty());
        if (!renewId_) return;
        const std::string newId = store.renew(sessionId_);
        if (!newId.empty()) response_.newSessionId = newId;
    }

private:
    Session& ensureSession() {
        if (session_) return *session_;
        SessionStore::Lease lease = app_.sessions().create();
        session_ = std::move(lease.session);
        sessionId_ = lease.id;
        response_.newSessionId = lease.id;
        if (timeoutMinutes_) session_->timeoutMinutes = *timeoutMinutes_;
        return *session_;
    }

    WebApplication& app_;
    const RequestData& request_;
    ResponseData& response_;
    std::shared_ptr<Session> session_;
    std::string sessionId_;
    std::optional<int> timeoutMinutes_;
    AppObject* object_ = nullptr;
    std::optional<std::string> nextItem_;
    bool redirected_ = false;
    bool templateWritten_ = false;
    bool abandoned_ = false;
    bool renewId_ = false;
};

const WebItem& RequireItem(const WebApplication& app, std::string_view name) {
    const WebItem* item = app.items().find(name);
    if (item == nullptr) throw HostFailure(404, "There is no page named '" + std::string(name) + "'.");
    return *item;
}

void RunRespond(const WebItem& item, AppObject& object) {
    if (!item.respond)
        throw HostFailure(404, "The page '" + item.name + "' cannot be shown without an event.");
    item.respond(object);
}

// Steps 2 to 5 of the request cycle: the handler the URL names.
void RunNamedHandler(WebApplication& app, const RequestData& request, AppObject& object,
                     const Handler& start) {
    const std::string itemName = request.query.get("WCI");
    if (itemName.empty()) {
        start(object);
        return;
    }
    const WebItem& item = RequireItem(app, itemName);
    const std::string eventName = request.query.get("WCE");
    if (eventName.empty()) {
        RunRespond(item, object);
        return;
    }
    if (auto it = item.events.find(eventName); it != item.events.end()) {
        it->second(object);
        return;
    }
    if (!item.userEvent) {
        throw HostFailure(404, "The page '" + item.name + "' has no event named '" + eventName + "'.");
    }
    item.userEvent(object, eventName);
}

void RunCycle(WebApplication& app, const RequestData& request, WebHost& host, AppObject& object,
              const Handler& start) {
    RunNamedHandler(app, request, object, start);
    for (int handOvers = 0;; ++handOvers) {
        std::optional<std::string> next = host.takeNextItem();
        if (!next) return;
        if (handOvers >= kMaxHandOvers)
            throw HostFailure(500, "The pages handed over to each other without end.");
        RunRespond(RequireItem(app, *next), object);
    }
}

}  // namespace

WebApplication::WebApplication(WebItemRegistry items, Handler startEvent, std::filesystem::path wwwFolder,
                               SessionStore::Clock clock)
    : items_(std::move(items)),
      startEvent_(std::move(startEvent)),
      www_(std::move(wwwFolder)),
      sessions_(clock ? SessionStore(std::move(clock)) : SessionStore()) {}

std::string WebApplication::physicalPath() const {
    std::string path = www_.string();
    if (path.empty() || path.back() != '/') path += '/';
    return path;
}

ResponseData WebApplication::handle(const RequestData& request) {
    ResponseData response;
    WebHost host(*this, request, response);
    strErrorText = std::string(kNoError);  // a new application object: no failure yet
    AppObject object(host, &items_);
    host.attach(object);
    try {
        RunCycle(*this, request, host, object, startEvent_);
    } catch (const ResponseEnded&) {
        // The response ends here with what was written.
    } catch (const HostFailure& failure) {
        std::string newId = response.newSessionId;
        response = failure.status == 404 ? NotFoundPage(failure.what())
                                         : ErrorPage(failure.status, "Server error", failure.what());
        response.newSessionId = newId;
        if (failure.status != 404) std::cerr << "excursa: " << failure.what() << std::endl;
    } catch (const std::exception& e) {
        std::cerr << "excursa: unhandled failure: " << e.what() << std::endl;
        std::string newId = response.newSessionId;
        response =
            ErrorPage(500, "Server error",
                      "The page could not be completed. The failure has been logged for the administrator.");
        response.newSessionId = newId;
    }
    if (request.showsPages && host.wroteOnlyText() && IsBareMessage(response)) {
        response.body = MessagePage(response.body);
    }
    host.settleSession();
    return response;
}

std::string WebApplication::warmUp() {
    RequestData request;
    ResponseData response = handle(request);
    if (!response.newSessionId.empty()) sessions_.discard(response.newSessionId);
    return ErrorTextIsSet() ? strErrorText : std::string();
}

ResponseData ErrorPage(int status, std::string_view title, std::string_view message) {
    ResponseData response;
    response.status = status;
    response.noStore = true;
    response.body = "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>" + HtmlEscape(title) +
                    "</title></head><body><h1>" + HtmlEscape(title) + "</h1><p>" + HtmlEscape(message) +
                    "</p><p><a href=\"ExcursaLakemont.asp\">Sign in</a></p></body></html>";
    return response;
}

// The Back link falls back to the entry page when the message is the first page of the tab.
std::string MessagePage(std::string_view message) {
    return "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
           "<title>Field Trip Requests - Message</title>\n"
           "<link rel=\"icon\" href=\"images/favicon.ico\">\n"
           "<link rel=\"stylesheet\" href=\"css/excursa.css\">\n</head>\n<body class=\"message-page\">\n"
           "<main class=\"message\">" +
           std::string(message) + "</main>\n<p class=\"back\"><a class=\"button\" href=\"" +
           std::string(kEntryPage) +
           "\" onclick=\"if (history.length > 1) { history.back(); return false; }\">Back</a></p>\n"
           "</body>\n</html>\n";
}

ResponseData NotFoundPage(std::string_view what) { return ErrorPage(404, "Page not found", what); }

}  // namespace excursa
