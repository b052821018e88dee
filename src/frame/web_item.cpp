#include "frame/web_item.h"


namespace excursa {

void WebItemRegistry::add(WebItem item) {
    std::string name = item.name;
    items_.insert_or_assign(std::move(name), std::move(item));
}

const WebItem* WebItemRegistry::find(std::string_view name) const {
    auto it = items_.find(name);
    return it == items_.end() ? nullptr : &it->second;
}

}  // namespace excursa
