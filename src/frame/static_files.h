// The css, script, image and font files that the web folder may serve.
#pragma once

#include <string>
#include <string_view>

namespace excursa {

// The content type of a static file kind that may be served, or "" when the
// kind is not served (templates, settings files, anything unlisted).
std::string StaticContentType(std::string_view path);
// The file that a URL path names under wwwFolder, after following links, or
// "" when it is refused: it leaves the folder, or the file reached is not of
// a served kind (whatever the requested name says), or it is trip.ini.
std::string ResolveStaticPath(const std::string& wwwFolder, std::string_view decodedPath);

}  // namespace excursa
