// EXTechDetails: the administrator's page of version, folders and mail settings.
#include "frame/version.h"
#include "frame/worker_state.h"
#include "startup/items.h"

namespace excursa {

namespace {

std::string AppText(const Host& host, std::string_view key) {
    return TextOf(host.appGet(key));
}

}  // namespace

std::string ComponentVersionText() {
    return std::to_string(kVersionMajor) + "." + std::to_string(kVersionMinor) + "." +
           std::to_string(kVersionRevision);
}

void EXTechDetails_Respond(AppObject& app) {
    app.host.writeTemplate("EXTechDetails");
}

void EXTechDetails_ProcessTag(AppObject& app, const std::string& tagName, std::string& contents) {
    const Host& host = app.host;
    if (SameTextNoCase(tagName, "WC@VERSION")) {
        contents = ComponentVersionText();
    } else if (SameTextNoCase(tagName, "WC@DATAPATH")) {
        contents = strTripDataPath;
    } else if (SameTextNoCase(tagName, "WC@APPPATH")) {
        contents = AppText(host, "APP_PATH");
    } else if (SameTextNoCase(tagName, "WC@SMTPSERVER")) {
        contents = AppText(host, "SmtpServer");
    } else if (SameTextNoCase(tagName, "WC@SMTPport")) {
        contents = AppText(host, "SmtpPort");
    } else if (SameTextNoCase(tagName, "WC@SMTPAUTH")) {
        contents = CBool(host.appGet("SmtpAuthentication")) ? "True" : "False";
    } else if (SameTextNoCase(tagName, "WC@SMTPemailfrom")) {
        contents = AppText(host, "EmailFromAddress");
    } else if (SameTextNoCase(tagName, "WC@TIMEOUT")) {
        contents = AppText(host, "SESSION_TIMEOUT");
    }
}

void RegisterEXTechDetails(WebItemRegistry& items) {
    WebItem item;
    item.name = "EXTechDetails";
    item.templateFile = "exTechDetails1.htm";
    item.respond = EXTechDetails_Respond;
    item.processTag = EXTechDetails_ProcessTag;
    items.add(std::move(item));
}

}  // namespace excursa
