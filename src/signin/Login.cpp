// Login: the sign-in page with the district's header.
#include "signin/items.h"
#include "startup/district_header.h"

namespace excursa {

void Login_Respond(AppObject& app) {
    app.host.writeTemplate("Login");
}

void Login_ProcessTag(AppObject& app, const std::string& tagName, std::string& contents) {
    const Host& host = app.host;
    if (DistrictHeaderTag(host, tagName, contents)) return;
    if (SameTextNoCase(tagName, "WC@TRIPREQUESTINQUIRY")) {
        contents = CBool(host.appGet("DOTNET_INSTALLED"))
                       ? "<a href=\"" + TextOf(host.appGet("INQUIRY_URL")) + "\">Trip Request Inquiry</a>"
                       : std::string();
    } else if (SameTextNoCase(tagName, "WC@exTECHDETAILS")) {
        contents = "<A HREF=\"" + host.urlFor("exDetails") +
                   "\"><img src='images/Tarnwick.gif'  height='55' width='55' border='0' align='right'></a>";
    }
}

void RegisterLogin(WebItemRegistry& items) {
    WebItem item;
    item.name = "Login";
    item.templateFile = "login1.htm";
    item.respond = Login_Respond;
    item.processTag = Login_ProcessTag;
    items.add(std::move(item));
}

}  // namespace excursa
