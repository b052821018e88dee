// The HTTP host: POCO's server, whose thread pool is the set of workers.
#pragma once

#include "frame/web_application.h"

#include <memory>
#include <string>

namespace Poco {
class ThreadPool;
namespace Net {
class HTTPServer;
}
}  // namespace Poco

namespace excursa {

struct ServerOptions {
    std::string address = "0.0.0.0";
    int port = 8080;  // 0: any free port
    int threads = 8;
    bool accessLog = true;
};

inline constexpr std::size_t kMaxBodyBytes = 1024 * 1024;

class HttpServer {
public:
    HttpServer(WebApplication& app, ServerOptions options);
    ~HttpServer();
    void start();
    void stop();  // waits for requests in progress
    int port() const;

private:
    WebApplication& app_;
    ServerOptions options_;
    std::unique_ptr<Poco::ThreadPool> workers_;
    std::unique_ptr<Poco::Net::HTTPServer> server_;
};

// The content type of a static file kind that may be served, or "" when the
// kind is not served (templates, settings files, anything unlisted).
std::string StaticContentType(std::string_view path);
// The file under wwwFolder that a URL path names, or "" when the path is
// refused (it leaves the folder, or is not a served kind).
std::string ResolveStaticPath(const std::string& wwwFolder, std::string_view decodedPath);

}  // namespace excursa
