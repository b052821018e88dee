#include "frame/web_item.h"

#include <algorithm>
#include <cctype>

namespace excursa {

bool NoCaseLess::operator()(std::string_view a, std::string_view b) const {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::toupper(static_cast<unsigned char>(x)) < std::toupper(static_cast<unsigned char>(y));
    });
}

void WebItemRegistry::add(WebItem item) {
    std::string name = item.name;
    items_.insert_or_assign(std::move(name), std::move(item));
}

const WebItem* WebItemRegistry::find(std::string_view name) const {
    auto it = items_.find(name);
    return it == items_.end() ? nullptr : &it->second;
}

}  // namespace excursa
