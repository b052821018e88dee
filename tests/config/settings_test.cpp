#include "config/settings.h"
#include "config/ini_file.h"
#include "config/site.h"
#include "frame/worker_state.h"

#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace excursa {
namespace {

namespace fs = std::filesystem;

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        Site::setRoot(root_);
        strErrorText = kNoError;
        strAppPath.clear();
        strTripDataPath.clear();
        setIniPath("C:\\\\VEL\\\\Config\\\\");
    }
    void TearDown() override {
        strErrorText = kNoError;
        strAppPath.clear();
        strTripDataPath.clear();
    }

    // folder as written in the .reg file (backslashes doubled)
    void setIniPath(const std::string& folder) {
        std::ofstream(Site::registryFile()) << "REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\" << kTripRegistryKey
                                            << "]\n\"INIPath\"=\"" << folder << "\"\n";
    }

    void writeFile(const std::string& path, const std::string& text) {
        fs::create_directories(fs::path(path).parent_path());
        std::ofstream(path, std::ios::binary) << text;
    }

    void writeTripIni(const std::string& options) {
        writeFile(configFolder() + "trip.ini", "[V.E.L. Options]\n" + options);
    }

    std::string configFolder() const { return root_ + "/drives/c/VEL/Config/"; }

    std::string log() const {
        std::ifstream in(root_ + "/drives/c/VEL/ExcursaLakemont/log.txt");
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    testing::TempFolder folder_;
    std::string root_ = folder_.str();
};

std::string ErrorReading(const std::string& file, const std::string& key) {
    return "Error in Procedure: INIGetSettingString of Module: WebCommon.  Error reading " + file +
           ", V.E.L. Options - " + key +
           ".  Please make sure the appropriate user has permissions to read this file and that the lastest "
           "version of the ini file is in the correct path.  Contact the transportation webmaster.";
}

TEST_F(SettingsTest, ReadersConvertTheirKeys) {
    writeTripIni(
        "SessionTimeOut=30\nDOTNETInstalled=true\nCalendarUrl=http://cal/\nInquiryUrl=http://inq/\n"
        "SmtpServer=mail.lakemont.k12\nSmtpPort=25\nSmtpAuthentication=True\nSmtpUsername=trips\n"
        "SmtpPassword=s3cret\nEmailFromAddress=trips@lakemont.k12\nEmailFromName=Field Trips\n");
    EXPECT_EQ(GetSessionTimeOut(), 30);
    EXPECT_TRUE(GetDotNetInstalled());
    EXPECT_EQ(GetCalendarUrl(), "http://cal/");
    EXPECT_EQ(GetInquiryUrl(), "http://inq/");
    EXPECT_EQ(GetSmtpServer(), "mail.lakemont.k12");
    EXPECT_EQ(GetSmtpPort(), "25");
    EXPECT_TRUE(GetSmtpAuthentication());
    EXPECT_EQ(GetSmtpUsername(), "trips");
    EXPECT_EQ(GetSmtpPassword(), "s3cret");
    EXPECT_EQ(GetEmailFromAddress(), "trips@lakemont.k12");
    EXPECT_EQ(GetEmailFromName(), "Field Trips");
    EXPECT_EQ(strErrorText, kNoError);
}

TEST_F(SettingsTest, FlagsFollowTheirOwnLetterCaseRules) {
    writeTripIni("DOTNETInstalled=true\nSmtpAuthentication=true\n");
    EXPECT_TRUE(GetDotNetInstalled());
    EXPECT_FALSE(GetSmtpAuthentication());
    writeTripIni("DOTNETInstalled=False\nSmtpAuthentication=TRUE\n");
    EXPECT_FALSE(GetDotNetInstalled());
    EXPECT_FALSE(GetSmtpAuthentication());
}

TEST_F(SettingsTest, SessionTimeOutThatIsNoNumberFailsInTheCaller) {
    writeTripIni("SessionTimeOut=soon\n");
    try {
        GetSessionTimeOut();
        FAIL() << "no error";
    } catch (const VbError& e) {
        EXPECT_EQ(e.number(), kErrTypeMismatch);
    }
    writeTripIni("Other=1\n");
    EXPECT_THROW(GetSessionTimeOut(), VbError);
    EXPECT_EQ(strErrorText, ErrorReading("C:\\VEL\\Config\\trip.ini", "SessionTimeOut"));
}

TEST_F(SettingsTest, MultipleInAnyCaseMeansTheApplicationFolder) {
    setIniPath("multiple");
    strAppPath = Site::wwwFolder();
    writeFile(Site::wwwFolder() + "trip.ini", "[V.E.L. Options]\nSmtpServer=www-server\n");
    writeTripIni("SmtpServer=config-server\n");
    EXPECT_EQ(GetSmtpServer(), "www-server");

    strAppPath = root_ + "/www";  // a native folder without its trailing slash
    EXPECT_EQ(GetSmtpServer(), "www-server");
    EXPECT_EQ(strErrorText, kNoError);
}

TEST_F(SettingsTest, FolderWithOrWithoutTrailingBackslashReadsTheSameFile) {
    writeTripIni("SmtpPort=587\n");
    setIniPath("C:\\\\VEL\\\\Config");
    EXPECT_EQ(GetSmtpPort(), "587");
    setIniPath("C:\\\\VEL\\\\Config\\\\");
    EXPECT_EQ(GetSmtpPort(), "587");
    EXPECT_EQ(strErrorText, kNoError);
}

TEST_F(SettingsTest, ValuesAreCutAt255Characters) {
    const std::string exact(255, 'x');
    const std::string longer = std::string(255, 'y') + std::string(45, 'z');
    writeTripIni("CalendarUrl=" + exact + "\nInquiryUrl=" + longer + "\n");
    EXPECT_EQ(GetCalendarUrl(), exact);
    EXPECT_EQ(GetInquiryUrl(), std::string(255, 'y'));
}

TEST_F(SettingsTest, EmptyValueMissingKeyAndMissingFileAreOneFailure) {
    writeTripIni("SmtpServer=\nSmtpPort=\"\"\n");
    EXPECT_EQ(GetSmtpServer(), "");
    const std::string emptyValueText = strErrorText;
    EXPECT_EQ(emptyValueText, ErrorReading("C:\\VEL\\Config\\trip.ini", "SmtpServer"));

    strErrorText = kNoError;
    writeTripIni("Other=1\n");
    EXPECT_EQ(GetSmtpServer(), "");
    EXPECT_EQ(strErrorText, emptyValueText);

    strErrorText = kNoError;
    EXPECT_EQ(GetSmtpPort(), "");
    fs::remove(configFolder() + "trip.ini");
    EXPECT_EQ(GetSmtpPort(), "");
    EXPECT_EQ(strErrorText, ErrorReading("C:\\VEL\\Config\\trip.ini", "SmtpPort"));

    fs::remove(Site::registryFile());  // no registry value: the folder is "\"
    EXPECT_EQ(GetSmtpPort(), "");
    EXPECT_EQ(strErrorText, ErrorReading("\\trip.ini", "SmtpPort"));
}

TEST_F(SettingsTest, ProfileReadFollowsThePlatformRules) {
    const std::string file = configFolder() + "odd.ini";
    writeFile(file,
              "; site options\r\n[Other]\r\nKey=other section\r\n"
              "[v.e.l. options]\r\n;Key=commented out\r\n  KEY  =   \"  quoted  \"  \r\n"
              "Semi = a;b ; c\r\nSingle='x'\r\nHalf=\"x\r\n[V.E.L. Options]\r\nLater=second section\r\n");
    EXPECT_EQ(ReadProfileString("V.E.L. Options", "key", "", file), "  quoted  ");
    EXPECT_EQ(ReadProfileString("V.E.L. Options", "Semi", "", file), "a;b ; c");
    EXPECT_EQ(ReadProfileString("V.E.L. Options", "Single", "", file), "x");
    EXPECT_EQ(ReadProfileString("V.E.L. Options", "Half", "", file), "\"x");
    EXPECT_EQ(ReadProfileString("V.E.L. Options", "Later", "dflt  ", file), "dflt");
    EXPECT_EQ(ReadProfileString("Missing", "Key", "dflt", file), "dflt");
    EXPECT_EQ(ReadProfileString("Other", "Key", "", root_ + "/none.ini"), "");
    EXPECT_EQ(ReadProfileString("Other", "Key", "", file, 6), "other");

    std::string utf16 = "\xFF\xFE";
    for (char c : std::string("[V.E.L. Options]\r\nName=Caf\xE9\r\n")) {
        utf16 += c;
        utf16 += '\0';
    }
    writeFile(file, utf16);
    EXPECT_EQ(ReadProfileString("V.E.L. Options", "Name", "", file), "Caf\xC3\xA9");
    EXPECT_EQ(ReadProfileString("V.E.L. Options", "Name", "", file, 5),
              "Caf\xC3\xA9");  // characters, not bytes
}

TEST_F(SettingsTest, LogShowsEachReadButNeverThePassword) {
    writeTripIni("SmtpServer=mail.lakemont.k12\nSmtpPassword=s3cret\nsmtppassword=other\n");
    EXPECT_EQ(GetSmtpServer(), "mail.lakemont.k12");
    EXPECT_EQ(GetSmtpPassword(), "s3cret");
    EXPECT_EQ(INIGetSettingString("V.E.L. Options", "SMTPPASSWORD", "C:\\VEL\\Config\\trip.ini", ""),
              "s3cret");
    const std::string expected =
        "In INIGetSettingString Starting \n"
        "In INIGetSettingString strSection: V.E.L. Options\n"
        "In INIGetSettingString strKeyName: SmtpServer\n"
        "In INIGetSettingString strFile: C:\\VEL\\Config\\trip.ini\n"
        "In INIGetSettingString: mail.lakemont.k12\n"
        "In INIGetSettingString Starting \n"
        "In INIGetSettingString strSection: V.E.L. Options\n"
        "In INIGetSettingString strKeyName: SmtpPassword\n"
        "In INIGetSettingString strFile: C:\\VEL\\Config\\trip.ini\n"
        "In INIGetSettingString: ********\n"
        "In INIGetSettingString Starting \n"
        "In INIGetSettingString strSection: V.E.L. Options\n"
        "In INIGetSettingString strKeyName: SMTPPASSWORD\n"
        "In INIGetSettingString strFile: C:\\VEL\\Config\\trip.ini\n"
        "In INIGetSettingString: ********\n";
    EXPECT_EQ(log(), expected);
}

TEST_F(SettingsTest, SetTripPathsSetsTheDataFolder) {
    SetTripPaths();
    EXPECT_EQ(strTripDataPath, "C:\\VEL\\Data\\Lakemont\\");
    EXPECT_EQ(strErrorText, kNoError);
    EXPECT_EQ(log(), "Starting SetTripPaths\nEnding SetTripPaths\n");
}

}  // namespace
}  // namespace excursa
