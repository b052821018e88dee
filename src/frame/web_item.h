// Web items: the pages a URL can name, with their template and handlers.
#pragma once

#include "frame/app_object.h"
#include "frame/nocase.h"

#include <functional>
#include <map>
#include <string>
#include <string_view>

namespace excursa {

using Handler = std::function<void(AppObject&)>;
using UserEventHandler = std::function<void(AppObject&, const std::string& eventName)>;
// Receives the tag name as written and its contents; leaves the replacement in contents.
using TagHandler = std::function<void(AppObject&, const std::string& tagName, std::string& contents)>;

// Members have initializers so that pages can name only what they have.
struct WebItem {
    std::string name{};
    std::string templateFile{};  // "" for items that have none
    Handler respond{};
    TagHandler processTag{};
    UserEventHandler userEvent{};
    std::map<std::string, Handler, NoCaseLess> events{};
};

class WebItemRegistry {
public:
    void add(WebItem item);
    const WebItem* find(std::string_view name) const;  // letter case ignored

private:
    std::map<std::string, WebItem, NoCaseLess> items_;
};

// A page's handler calling another page's, as an ordinary procedure (a lookup's Return shows the
// request form again): found by name, so that no page folder includes another. A page or event
// that is not registered is a fault of the host's set-up (std::logic_error).
void CallUserEvent(AppObject& app, std::string_view item, const std::string& eventName);
void CallEvent(AppObject& app, std::string_view item, std::string_view eventName);

}  // namespace excursa
