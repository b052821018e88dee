// exDetails: the sign-in page's logo link; hands over to the details page.
#include "startup/items.h"

namespace excursa {

void exDetails_Respond(AppObject& app) { app.host.setNextItem("EXTechDetails"); }

void RegisterExDetails(WebItemRegistry& items) {
    items.add({.name = "exDetails", .respond = exDetails_Respond});
}

}  // namespace excursa
