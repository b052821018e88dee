// What the component logic needs of its web host, and nothing more.
#pragma once

#include "frame/value.h"

#include <string>
#include <string_view>

namespace excursa {

// Thrown by Host::endResponse: unwinds every handler of the request at once.
// Procedures never trap it.
struct ResponseEnded {};

class Host {
public:
    virtual ~Host() = default;

    // Request: an absent field reads as "".
    virtual std::string formField(std::string_view name) const = 0;
    virtual std::string queryField(std::string_view name) const = 0;
    virtual std::string serverVariable(std::string_view name) const = 0;

    // Response.
    virtual void write(std::string_view text) = 0;
    virtual void redirect(std::string_view url) = 0;  // processing goes on; later writes are not shown
    [[noreturn]] virtual void endResponse() = 0;

    // Session store of this browser.
    virtual Value sessionGet(std::string_view key) const = 0;
    virtual void sessionSet(std::string_view key, Value value) = 0;
    virtual void setSessionTimeout(int minutes) = 0;
    virtual void abandonSession() = 0;  // values are discarded once the response is complete
    // Gives the session a new id once the response is complete; the values carry over, the old id is void.
    virtual void renewSessionId() = 0;

    // Application store shared by all sessions.
    virtual Value appGet(std::string_view key) const = 0;
    virtual void appSet(std::string_view key, Value value) = 0;

    // Items.
    virtual void setNextItem(std::string_view item) = 0;
    virtual std::string urlFor(std::string_view item, std::string_view event = {}) const = 0;
    virtual void writeTemplate(std::string_view item) = 0;
};

// "ExcursaLakemont.asp?WCI=<item>&WCE=<event>&WCU" (or "&WCE&WCU" without an event).
std::string ItemUrl(std::string_view item, std::string_view event = {});
inline constexpr std::string_view kEntryPage = "ExcursaLakemont.asp";

}  // namespace excursa
