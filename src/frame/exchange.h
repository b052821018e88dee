// One HTTP exchange as the component sees it, independent of the transport.
#pragma once

#include "frame/html.h"

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace excursa {

// Decoded name/value pairs of a query or a posted form. Names are matched
// without regard to letter case; a field posted twice reads as "a, b".
class FieldList {
public:
    void add(std::string name, std::string value);
    bool has(std::string_view name) const;
    std::string get(std::string_view name) const;  // "" when absent
    bool empty() const { return fields_.empty(); }
    // A NUL byte in a name or value would end the text early further on
    // (in SQL, in files), so such a request is refused before any page runs.
    bool holdsNul() const;

private:
    std::vector<std::pair<std::string, std::string>> fields_;
};

// Decodes "a=1&b=x+y%21"; false when an escape is malformed.
bool ParseUrlEncoded(std::string_view text, FieldList& out);
// Decodes the %XX escapes that are well formed and keeps anything else as it
// stands: for texts, such as cookies, that need not be URL-encoded at all.
std::string PercentDecodeLenient(std::string_view text);
std::string UrlEncode(std::string_view text);

struct RequestData {
    std::string method = "GET";
    FieldList query;
    FieldList form;
    std::string sessionId;  // from the cookie; "" when none
    // The client shows pages, as a browser that asks for HTML does: a message alone then comes
    // inside a small page with a way back. Any other client gets the message as written.
    bool showsPages = true;
};

struct ResponseData {
    int status = 200;
    std::string contentType = "text/html; charset=utf-8";
    std::string body;
    std::string location;      // set for a redirect
    std::string newSessionId;  // set when a session was created: the cookie to send
    std::string user;          // the session's signed-in user once the page ran, for the access log
    // The browser keeps no copy: not even Back may show it again. Pages are otherwise kept for
    // Back, with what the user typed, and asked for again on every visit.
    bool noStore = false;
};

inline constexpr std::string_view kSessionCookie = "EXCURSA_SESSION";

}  // namespace excursa
