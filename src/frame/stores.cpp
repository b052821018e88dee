#include "frame/stores.h"

namespace excursa {

std::string FoldKey(std::string_view key) {
    std::string folded(key);
    for (char& c : folded) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return folded;
}

Value KeyedStore::get(std::string_view key) const {
    const std::string folded = FoldKey(key);
    std::lock_guard lock(mutex_);
    auto it = values_.find(folded);
    return it == values_.end() ? Value() : it->second;
}

void KeyedStore::set(std::string_view key, Value value) {
    std::string folded = FoldKey(key);
    std::lock_guard lock(mutex_);
    values_.insert_or_assign(std::move(folded), std::move(value));
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
