// The application store and a session's store: values keyed without regard
// to letter case, each value replaced whole, safe to share between workers.
#pragma once

#include "frame/nocase.h"
#include "frame/value.h"

#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

namespace excursa {

class KeyedStore {
public:
    Value get(std::string_view key) const;  // Empty for a key never written
    void set(std::string_view key, Value value);
    void clear();
    std::size_t size() const;

private:
    mutable std::mutex mutex_;
    std::unordered_map<std::string, Value, NoCaseHash, NoCaseEqual> values_;
};

}  // namespace excursa
