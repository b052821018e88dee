#include "frame/memory_host.h"

#include <stdexcept>

namespace excursa {

ResponseData MemoryHost::get(std::string_view url) { return send(RequestData{}, url); }

ResponseData MemoryHost::post(std::string_view url,
                              const std::vector<std::pair<std::string, std::string>>& form) {
    RequestData request;
    request.method = "POST";
    for (const auto& [name, value] : form) request.form.add(name, value);
    return send(std::move(request), url);
}

ResponseData MemoryHost::send(RequestData request, std::string_view url) {
    const std::size_t q = url.find('?');
    if (q != std::string_view::npos && !ParseUrlEncoded(url.substr(q + 1), request.query)) {
        throw std::invalid_argument("malformed query in " + std::string(url));
    }
    request.sessionId = sessionId_;
    ResponseData response = app_.handle(request);
    if (!response.newSessionId.empty()) sessionId_ = response.newSessionId;
    return response;
}

}  // namespace excursa
