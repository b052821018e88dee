#include "frame/html.h"

namespace excursa {

namespace {

constexpr std::string_view kMarkupCharacters = "&<>\"'";

std::string_view EntityOf(char c) {
    switch (c) {
        case '&':
            return "&amp;";
        case '<':
            return "&lt;";
        case '>':
            return "&gt;";
        case '"':
            return "&quot;";
        default:
            return "&#39;";
    }
}

}  // namespace

std::string HtmlEscape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    AppendHtmlEscaped(out, text);
    return out;
}

void AppendHtmlEscaped(std::string& out, std::string_view text) {
    std::size_t from = 0;
    for (std::size_t at = text.find_first_of(kMarkupCharacters); at != std::string_view::npos;
         at = text.find_first_of(kMarkupCharacters, from)) {
        out.append(text.substr(from, at - from)).append(EntityOf(text[at]));
        from = at + 1;
    }
    out.append(text.substr(from));
}

}  // namespace excursa
