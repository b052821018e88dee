// EXTechDetails: the administrator's page of version, folders and mail settings.
#include "frame/version.h"
#include "frame/keys.h"
#include "frame/worker_state.h"
#include "startup/items.h"

#include <array>
#include <utility>

namespace excursa {

namespace {

// Tags that show one application value as its text.
constexpr std::array<std::pair<std::string_view, std::string_view>, 5> kSettingTags{{
    {"WC@APPPATH", key::AppPath},
    {"WC@SMTPSERVER", key::SmtpServer},
    {"WC@SMTPport", key::SmtpPort},
    {"WC@SMTPemailfrom", key::EmailFromAddress},
    {"WC@TIMEOUT", key::SessionTimeout},
}};

}  // namespace

void EXTechDetails_Respond(AppObject& app) { app.host.writeTemplate("EXTechDetails"); }

void EXTechDetails_ProcessTag(AppObject& app, const std::string& tagName, std::string& contents) {
    const Host& host = app.host;
    if (SameTextNoCase(tagName, "WC@VERSION")) {
        contents = ComponentVersionText();
    } else if (SameTextNoCase(tagName, "WC@DATAPATH")) {
        contents = strTripDataPath;
    } else if (SameTextNoCase(tagName, "WC@SMTPAUTH")) {
        contents = CBool(host.appGet(key::SmtpAuthentication)) ? "True" : "False";
    }
    for (const auto& [tag, setting] : kSettingTags) {
        if (SameTextNoCase(tagName, tag)) contents = TextOf(host.appGet(setting));
    }
}

void RegisterEXTechDetails(WebItemRegistry& items) {
    items.add({.name = "EXTechDetails",
               .templateFile = "exTechDetails1.htm",
               .respond = EXTechDetails_Respond,
               .processTag = EXTechDetails_ProcessTag});
}

}  // namespace excursa
