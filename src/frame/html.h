// Escaping for values put into HTML text or attributes.
#pragma once

#include <string>
#include <string_view>

namespace excursa {

// Escapes & < > " ' so a value can stand in element text and in attributes
// quoted either way.
std::string HtmlEscape(std::string_view text);
// The same, appended to `out`: long lists are built without a text per value.
void AppendHtmlEscaped(std::string& out, std::string_view text);

}  // namespace excursa
