// Runs code as the handler of one request, through the in-memory host, and
// returns what the request wrote.
#pragma once

#include "frame/memory_host.h"

#include <filesystem>
#include <functional>
#include <map>
#include <string>

namespace excursa::testing {

// `www` is the web application folder; `appValues` are set in the application
// store first. A "Logout" page stands in for the real one.
inline std::string RunInRequest(const std::filesystem::path& www, const std::function<void(AppObject&)>& body,
                                const std::map<std::string, Value>& appValues = {}) {
    WebItemRegistry items;
    items.add({.name = "Page", .respond = body});
    items.add({.name = "Logout", .respond = [](AppObject& app) { app.host.write("[logout page]"); }});
    WebApplication web(
        std::move(items), [](AppObject&) {}, www);
    for (const auto& [key, value] : appValues) web.application().set(key, value);
    MemoryHost browser(web);
    return browser.get("ExcursaLakemont.asp?WCI=Page").body;
}

}  // namespace excursa::testing
