#include "frame/stores.h"

namespace excursa {

Value KeyedStore::get(std::string_view key) const {
    std::lock_guard lock(mutex_);
    auto it = values_.find(key);
    return it == values_.end() ? Value() : it->second;
}

void KeyedStore::set(std::string_view key, Value value) {
    std::lock_guard lock(mutex_);
    auto it = values_.find(key);
    if (it != values_.end()) {
        it->second = std::move(value);
        return;
    }
    values_.emplace(std::string(key), std::move(value));
}

void KeyedStore::clear() {
    std::lock_guard lock(mutex_);
    values_.clear();
}

std::size_t KeyedStore::size() const {
    std::lock_guard lock(mutex_);
    return values_.size();
}

}  // namespace excursa
