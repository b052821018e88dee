// A host with a session store, an application store and a response text,
// for code that needs a Host but not a whole request.
#pragma once

#include "frame/host.h"
#include "frame/stores.h"

#include <string>

namespace excursa::testing {

class StoreHost : public Host {
public:
    std::string formField(std::string_view) const override { return {}; }
    std::string queryField(std::string_view) const override { return {}; }
    std::string serverVariable(std::string_view) const override { return {}; }
    void write(std::string_view text) override { written += text; }
    void redirect(std::string_view) override {}
    [[noreturn]] void endResponse() override { throw ResponseEnded{}; }
    Value sessionGet(std::string_view key) const override { return session.get(key); }
    void sessionSet(std::string_view key, Value value) override { session.set(key, std::move(value)); }
    void setSessionTimeout(int) override {}
    void abandonSession() override {}
    void renewSessionId() override {}
    Value appGet(std::string_view key) const override { return application.get(key); }
    void appSet(std::string_view key, Value value) override { application.set(key, std::move(value)); }
    void setNextItem(std::string_view) override {}
    std::string urlFor(std::string_view item, std::string_view event) const override {
        return ItemUrl(item, event);
    }
    void writeTemplate(std::string_view) override {}

    KeyedStore session;
    KeyedStore application;
    std::string written;
};

}  // namespace excursa::testing
