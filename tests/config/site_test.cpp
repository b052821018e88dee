#include "config/site.h"
#include "config/settings.h"

#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace excursa {
namespace {

namespace fs = std::filesystem;

class SiteTest : public ::testing::Test {
protected:
    void SetUp() override { Site::setRoot(root_); }

    void writeRegistry(const std::string& bytes) {
        std::ofstream(Site::registryFile(), std::ios::binary) << bytes;
    }

    static Value tripValue(std::string_view name) {
        return RegistryGetKeyValue(kHKeyLocalMachine, kTripRegistryKey, name);
    }

    // The value and what reading it reported to the operator.
    static Value readReporting(std::string_view name, std::string& report) {
        ::testing::internal::CaptureStderr();
        Value v = tripValue(name);
        report = ::testing::internal::GetCapturedStderr();
        return v;
    }

    testing::TempFolder folder_;
    std::string root_ = folder_.str();
};

const std::string kTripKeyLine =
    "[HKEY_LOCAL_MACHINE\\Software\\Tarnwick Systems, Inc.\\Velway Transport Suite (V.E.L.) - Field Trip]";

std::string Utf16Le(std::string_view ascii) {
    std::string bytes = "\xFF\xFE";
    for (char c : ascii) {
        bytes += c;
        bytes += '\0';
    }
    return bytes;
}

TEST_F(SiteTest, WindowsPathsMapIntoTheSiteDrives) {
    EXPECT_EQ(NativePath("C:\\VEL\\Data\\Lakemont\\"), root_ + "/drives/c/VEL/Data/Lakemont/");
    EXPECT_EQ(NativePath("c:\\VEL\\log.txt"), NativePath("C:\\VEL\\log.txt"));
    EXPECT_EQ(NativePath("D:\\x"), root_ + "/drives/d/x");
    EXPECT_EQ(NativePath("C:\\VEL\\\\Data"), root_ + "/drives/c/VEL/Data");
}

TEST_F(SiteTest, OtherPathsAreNative) {
    EXPECT_EQ(NativePath("/srv/site/www/trip.ini"), "/srv/site/www/trip.ini");
    EXPECT_EQ(NativePath("\\trip.ini"), "\\trip.ini");
    EXPECT_EQ(NativePath("C:"), "C:");
    EXPECT_EQ(NativePath("C:/VEL"), "C:/VEL");
    EXPECT_EQ(NativePath(""), "");
}

TEST_F(SiteTest, FolderNamesDifferingOnlyInCaseAreTheExistingFolder) {
    fs::create_directories(root_ + "/drives/c/VEL/Data");
    EXPECT_EQ(NativePath("C:\\vel\\DATA\\trip.db"), root_ + "/drives/c/VEL/Data/trip.db");
    EXPECT_EQ(NativePath("C:\\vel\\Other\\"), root_ + "/drives/c/VEL/Other/");
}

TEST_F(SiteTest, SiteFilesAndRootChanges) {
    EXPECT_EQ(Site::registryFile(), root_ + "/registry.reg");
    EXPECT_EQ(Site::wwwFolder(), root_ + "/www/");
    const std::string& before = Site::root();
    Site::setRoot(root_ + "/other//");
    EXPECT_EQ(Site::root(), root_ + "/other");
    EXPECT_EQ(before, root_);  // a reference handed out earlier stays valid
    Site::setRoot(root_);
}

TEST_F(SiteTest, RegistryReadsTheValueTypesOfRegedit4) {
    writeRegistry(
        "REGEDIT4\r\n\r\n"
        "; written by hand\r\n"
        "[HKEY_LOCAL_MACHINE\\Software\\Other]\r\n"
        "\"INIPath\"=\"wrong key\"\r\n\r\n" +
        kTripKeyLine +
        "\r\n"
        "@=\"the default\"\r\n"
        "\"INIPath\"=\"C:\\\\VEL\\\\Config\\\\\"\r\n"
        "\"Quoted\"=\"say \\\"hi\\\"\"\r\n"
        "\"Empty\"=\"\"\r\n"
        "\"Minutes\"=dword:0000001e\r\n"
        "\"AllBits\"=dword:ffffffff\r\n"
        "\"Blob\"=hex:01,02,\\\r\n"
        "  ff,0a\r\n"
        "\"Expand\"=hex(2):25,00,00,00\r\n"
        "\"HexText\"=hex(1):4d,00,55,00,4c,00,ac,20,00,00,58,00\r\n"
        "\"HexWord\"=hex(4):1e,01,00,80\r\n");
    EXPECT_EQ(tripValue("INIPath"), Value("C:\\VEL\\Config\\"));
    EXPECT_EQ(tripValue("inipath"), Value("C:\\VEL\\Config\\"));
    EXPECT_EQ(tripValue(""), Value("the default"));
    EXPECT_EQ(tripValue("Quoted"), Value("say \"hi\""));
    EXPECT_EQ(tripValue("Empty"), Value(""));
    EXPECT_EQ(tripValue("Minutes"), Value::Long(30));
    EXPECT_EQ(tripValue("AllBits"), Value::Long(-1));
    const Value blob = tripValue("Blob");
    ASSERT_EQ(blob.type(), VarType::Bytes);
    EXPECT_EQ(blob.bytes(), (std::vector<std::uint8_t>{0x01, 0x02, 0xff, 0x0a}));
    EXPECT_TRUE(tripValue("Expand").isEmpty());
    EXPECT_EQ(tripValue("HexText"), Value("MUL\u20AC")) << "a text written as UTF-16 bytes, up to its NUL";
    EXPECT_EQ(tripValue("HexWord"), Value::Long(static_cast<std::int32_t>(0x8000011E)));
    EXPECT_EQ(RegistryGetKeyValue("hkey_local_machine", LCase(kTripRegistryKey), "INIPath"),
              Value("C:\\VEL\\Config\\"));
}

TEST_F(SiteTest, RegistryReadsVersion5InUtf16) {
    writeRegistry(Utf16Le("Windows Registry Editor Version 5.00\r\n\r\n" + kTripKeyLine +
                          "\r\n\"INIPath\"=\"MULTIPLE\"\r\n"));
    EXPECT_EQ(tripValue("INIPath"), Value("MULTIPLE"));
}

TEST_F(SiteTest, RegistryMissingPiecesAreEmptyWithoutReport) {
    std::string report;
    EXPECT_TRUE(readReporting("INIPath", report).isEmpty());  // no registry file at all
    EXPECT_EQ(report, "");

    writeRegistry("REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\Software\\Other]\n\"INIPath\"=\"x\"\n" + kTripKeyLine +
                  "\n\"Deleted\"=\"x\"\n\"Deleted\"=-\n");
    EXPECT_TRUE(readReporting("INIPath", report).isEmpty());
    EXPECT_TRUE(readReporting("Deleted", report).isEmpty());
    EXPECT_EQ(report, "");
    EXPECT_TRUE(RegistryGetKeyValue(kHKeyLocalMachine, "Software\\Missing", "INIPath").isEmpty());
}

TEST_F(SiteTest, MalformedRegistryIsEmptyAndReported) {
    const std::string good = kTripKeyLine + "\n\"INIPath\"=\"C:\\\\VEL\"\n";
    const std::vector<std::string> damaged = {
        good,                                              // no header
        "REGEDIT4\n" + good + "\"Other\"=\"not closed\n",  // damage after the value asked for
        "REGEDIT4\n" + good + "\"Minutes\"=dword:1234567890\n",
        "REGEDIT4\n" + good + "\"Blob\"=hex:01,zz\n",
        "REGEDIT4\n" + good + "\"Word\"=hex(4):01,02\n",
        "REGEDIT4\n" + good + "\"Blob\"=hex:01,\\",  // continued past the end
        "REGEDIT4\n\"INIPath\"=\"before any key\"\n",
        "REGEDIT4\n" + good + "INIPath=unquoted\n",
    };
    for (const std::string& text : damaged) {
        writeRegistry(text);
        std::string report;
        EXPECT_TRUE(readReporting("INIPath", report).isEmpty()) << text;
        EXPECT_NE(report.find("RegistryGetKeyValue: Error: 1009. "), std::string::npos) << report;
    }
    writeRegistry("REGEDIT4\n" + good);
    EXPECT_EQ(tripValue("INIPath"), Value("C:\\VEL"));
}

TEST_F(SiteTest, UnreadableRegistryIsReported) {
    fs::create_directories(Site::registryFile());  // a folder where the file should be
    std::string report;
    EXPECT_TRUE(readReporting("INIPath", report).isEmpty());
    EXPECT_NE(report.find("RegistryGetKeyValue: Error: 75. "), std::string::npos) << report;
}

}  // namespace
}  // namespace excursa
