// Site settings: the registry value that locates trip.ini, the readers of its
// "V.E.L. Options" section, and the data folder.
#pragma once

#include "frame/value.h"

#include <string>
#include <string_view>

namespace excursa {

inline constexpr std::string_view kHKeyLocalMachine = "HKEY_LOCAL_MACHINE";
inline constexpr std::string_view kTripRegistryKey =
    "Software\\Tarnwick Systems, Inc.\\Velway Transport Suite (V.E.L.) - Field Trip";
inline constexpr std::string_view kTripIniSection = "V.E.L. Options";

// Text, a Long, a byte array (Value::Bytes) or Empty when missing or on failure; read from
// the site's registry.reg at each call, so an administrator's edit counts at the next start.
Value RegistryGetKeyValue(std::string_view hive, std::string_view keyPath, std::string_view valueName);
// The same read from the given file, without the operator message: a file that cannot be read
// or parsed throws VbError; a missing file, key or value gives Empty.
Value ReadRegistryValue(const std::string& file, std::string_view hive, std::string_view keyPath,
                        std::string_view valueName);
// The settings file that an "INIPath" value names; "MULTIPLE" names appFolder.
std::string TripIniPath(const Value& iniPath, std::string_view appFolder);
std::string GetTripIniSetting(std::string_view keyName);
// A key that a site may leave out: "" when it is missing or the file cannot be read. Unlike the
// readers below it sets no error text and writes nothing to the diagnostic log.
std::string GetOptionalTripIniSetting(std::string_view keyName);
std::string INIGetSettingString(std::string_view section, std::string_view keyName, std::string_view filePath,
                                std::string_view defaultValue);
void SetTripPaths();

// One reader per settings-file key.
std::int16_t GetSessionTimeOut();
bool GetDotNetInstalled();
std::string GetCalendarUrl();
std::string GetInquiryUrl();
std::string GetSmtpServer();
std::string GetSmtpPort();
bool GetSmtpAuthentication();
std::string GetSmtpUsername();
std::string GetSmtpPassword();
std::string GetEmailFromAddress();
std::string GetEmailFromName();

}  // namespace excursa
