// The component as the web host runs it: one pass of the request cycle per
// exchange, with the stores, sessions, templates and web items it keeps.
#pragma once

#include "frame/exchange.h"
#include "frame/sessions.h"
#include "frame/static_files.h"
#include "frame/stores.h"
#include "frame/template.h"
#include "frame/web_item.h"

#include <filesystem>
#include <string>

namespace excursa {

class WebApplication {
public:
    // wwwFolder: the web application folder (templates and static files).
    WebApplication(WebItemRegistry items, Handler startEvent, std::filesystem::path wwwFolder,
                   SessionStore::Clock clock = {});

    ResponseData handle(const RequestData& request);

    // Runs the start event once outside any browser's request, so that pages
    // opened from a bookmark after a restart find the settings loaded. Returns
    // what the start event wrote (its error text, when it failed).
    std::string warmUp();

    KeyedStore& application() { return application_; }
    SessionStore& sessions() { return sessions_; }
    TemplateCache& templates() { return templates_; }
    StaticFileCache& staticFiles() const { return staticFiles_; }
    const WebItemRegistry& items() const { return items_; }
    const std::filesystem::path& wwwFolder() const { return www_; }
    // APPL_PHYSICAL_PATH: the folder with a trailing separator.
    std::string physicalPath() const;

private:
    WebItemRegistry items_;
    Handler startEvent_;
    std::filesystem::path www_;
    KeyedStore application_;
    SessionStore sessions_;
    TemplateCache templates_;
    mutable StaticFileCache staticFiles_;
};

// The page the host answers with when a URL names no known item or event.
ResponseData NotFoundPage(std::string_view what);
ResponseData ErrorPage(int status, std::string_view title, std::string_view message);
// A response that is only a message, as a small page of its own with a way back.
std::string MessagePage(std::string_view message);

}  // namespace excursa
