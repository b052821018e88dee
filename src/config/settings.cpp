#include "config/settings.h"

#include "config/ini_file.h"
#include "config/site.h"
#include "config/diagnostic_log.h"
#include "frame/procedure.h"
#include "frame/worker_state.h"

namespace excursa {

namespace {

constexpr std::string_view kWebCommon = "WebCommon";
constexpr std::string_view kTripIniFile = "trip.ini";
constexpr std::string_view kTripDataFolder = "C:\\VEL\\Data\\Lakemont";
constexpr std::string_view kPasswordKey = "SmtpPassword";
constexpr std::string_view kMaskedValue = "********";
constexpr std::size_t kProfileBufferSize = 256;

// The registry value as the folder text: a number gives its digits, bytes their characters.
std::string FolderText(const Value& v) {
    switch (v.type()) {
        case VarType::String:
            return v.text();
        case VarType::Long:
            return std::to_string(v.whole());
        case VarType::Bytes: {
            const auto& bytes = v.bytes();
            std::string text(bytes.begin(), bytes.end());
            return text.substr(0, text.find('\0'));
        }
        default:
            return {};
    }
}

bool EndsInSeparator(std::string_view folder) {
    return !folder.empty() && (folder.back() == '\\' || folder.back() == '/');
}

// A native folder (such as the application folder) is completed with "/", so that
// the file name it gives still lies inside it; a Windows folder with "\".
std::string_view SeparatorFor(std::string_view folder) {
    return !folder.empty() && folder.front() == '/' ? "/" : "\\";
}

std::string ErrorReadingText(std::string_view section, std::string_view keyName, std::string_view filePath) {
    return "Error in Procedure: INIGetSettingString of Module: WebCommon.  Error reading " +
           std::string(filePath) + ", " + std::string(section) + " - " + std::string(keyName) +
           ".  Please make sure the appropriate user has permissions to read this file and that the lastest "
           "version of the ini file is in the correct path.  Contact the transportation webmaster.";
}

}  // namespace

std::string TripIniPath(const Value& iniPath, std::string_view appFolder) {
    std::string folder = FolderText(iniPath);
    if (UCase(folder) == "MULTIPLE") folder = appFolder;
    if (!EndsInSeparator(folder)) folder += SeparatorFor(folder);
    return folder + std::string(kTripIniFile);
}

namespace {

// Where trip.ini lies, as the registry value names it.
std::string TripIniFile() {
    return TripIniPath(RegistryGetKeyValue(kHKeyLocalMachine, kTripRegistryKey, "INIPath"), strAppPath);
}

}  // namespace

std::string GetTripIniSetting(std::string_view keyName) {
    return INIGetSettingString(kTripIniSection, keyName, TripIniFile(), "");
}

std::string GetOptionalTripIniSetting(std::string_view keyName) {
    return ReadProfileString(kTripIniSection, keyName, "", NativePath(TripIniFile()), kProfileBufferSize);
}

std::string INIGetSettingString(std::string_view section, std::string_view keyName, std::string_view filePath,
                                std::string_view defaultValue) {
    try {
        WriteLog("In INIGetSettingString Starting ");
        WriteLog("In INIGetSettingString strSection: " + std::string(section));
        WriteLog("In INIGetSettingString strKeyName: " + std::string(keyName));
        WriteLog("In INIGetSettingString strFile: " + std::string(filePath));
        const std::string value =
            ReadProfileString(section, keyName, defaultValue, NativePath(filePath), kProfileBufferSize);
        if (value.empty()) {
            strErrorText = ErrorReadingText(section, keyName, filePath);
            return {};
        }
        // Passwords stay out of the diagnostic log.
        const bool secret = SameTextNoCase(keyName, kPasswordKey);
        WriteLog("In INIGetSettingString: " + (secret ? std::string(kMaskedValue) : value));
        return value;
    } catch (const VbError& e) {
        strErrorText = RoutineErrorText("INIGetSettingString", kWebCommon, e);
        return {};
    }
}

void SetTripPaths() {
    try {
        WriteLog("Starting SetTripPaths");
        strTripDataPath = kTripDataFolder;
        if (strTripDataPath.back() != '\\') strTripDataPath += '\\';
        WriteLog("Ending SetTripPaths");
    } catch (const VbError& e) {
        strErrorText = RoutineErrorText("SetTripPaths", "SetTripPaths", e);
    }
}

std::int16_t GetSessionTimeOut() { return CInt(Value(GetTripIniSetting("SessionTimeOut"))); }

bool GetDotNetInstalled() { return UCase(GetTripIniSetting("DOTNETInstalled")) == "TRUE"; }

std::string GetCalendarUrl() { return GetTripIniSetting("CalendarUrl"); }

std::string GetInquiryUrl() { return GetTripIniSetting("InquiryUrl"); }

std::string GetSmtpServer() { return GetTripIniSetting("SmtpServer"); }

std::string GetSmtpPort() { return GetTripIniSetting("SmtpPort"); }

bool GetSmtpAuthentication() { return GetTripIniSetting("SmtpAuthentication") == "True"; }

std::string GetSmtpUsername() { return GetTripIniSetting("SmtpUsername"); }

std::string GetSmtpPassword() { return GetTripIniSetting("SmtpPassword"); }

std::string GetEmailFromAddress() { return GetTripIniSetting("EmailFromAddress"); }

std::string GetEmailFromName() { return GetTripIniSetting("EmailFromName"); }

}  // namespace excursa
