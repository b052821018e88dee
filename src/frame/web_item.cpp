#include "frame/web_item.h"

#include <stdexcept>
#include <string>


namespace excursa {

void WebItemRegistry::add(WebItem item) {
    std::string name = item.name;
    items_.insert_or_assign(std::move(name), std::move(item));
}

const WebItem* WebItemRegistry::find(std::string_view name) const {
    auto it = items_.find(name);
    return it == items_.end() ? nullptr : &it->second;
}

namespace {

const WebItem& RegisteredItem(const AppObject& app, std::string_view name) {
    const WebItem* item = app.items ? app.items->find(name) : nullptr;
    if (item == nullptr) throw std::logic_error("There is no page named '" + std::string(name) + "' to call.");
    return *item;
}

}  // namespace

void CallUserEvent(AppObject& app, std::string_view item, const std::string& eventName) {
    const WebItem& target = RegisteredItem(app, item);
    if (!target.userEvent) throw std::logic_error("The page '" + target.name + "' has no user event.");
    target.userEvent(app, eventName);
}

void CallEvent(AppObject& app, std::string_view item, std::string_view eventName) {
    const WebItem& target = RegisteredItem(app, item);
    const auto event = target.events.find(eventName);
    if (event == target.events.end()) {
        throw std::logic_error("The page '" + target.name + "' has no event '" + std::string(eventName) + "'.");
    }
    event->second(app);
}

}  // namespace excursa
