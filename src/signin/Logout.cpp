// Logout: the sign-out page, also shown when a session has expired.
#include "data/connections.h"
#include "signin/items.h"
#include "lookup/district_header.h"

namespace excursa {

void Logout_Respond(AppObject& app) {
    CloseTripDBConnections();
    CloseTripCode();
    app.host.abandonSession();
    app.host.writeTemplate("Logout");
}

void Logout_ProcessTag(AppObject& app, const std::string& tagName, std::string& contents) {
    if (DistrictHeaderTag(app.host, tagName, contents)) return;
    if (SameTextNoCase(tagName, "WC@TIMEOUT")) {
        if (!app.strLogoutMessage.empty())
            contents = "<p align='center'>" + app.strLogoutMessage + "</p><p>&nbsp;</p>";
    } else if (SameTextNoCase(tagName, "WC@LOGIN")) {
        contents = "<p align='center'><a href='ExcursaLakemont.asp'>V.E.L.  Login</a></p><p>&nbsp;</p>";
    }
}

void RegisterLogout(WebItemRegistry& items) {
    items.add({.name = "Logout",
               .templateFile = "logOut1.htm",
               .respond = Logout_Respond,
               .processTag = Logout_ProcessTag});
}

}  // namespace excursa
