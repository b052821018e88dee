// The files in deploy/: checked by the tools that will read them, where those are installed,
// and against each other and the server.
#include "frame/http_server.h"

#include "support/run_process.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace excursa {
namespace {

namespace fs = std::filesystem;

using testing::RunProcess;
using testing::TempFolder;

const fs::path kDeploy = fs::path(EXCURSA_SOURCE_DIR) / "deploy";
const fs::path kUnit = kDeploy / "excursa.service";
const fs::path kNginxSite = kDeploy / "nginx-excursa.conf";
const fs::path kLogrotate = kDeploy / "logrotate-excursa";

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

std::optional<std::string> FindTool(const std::string& name) {
    std::string path = std::getenv("PATH") ? std::getenv("PATH") : "";
    path += ":/usr/sbin:/sbin";
    std::istringstream folders(path);
    for (std::string folder; std::getline(folders, folder, ':');) {
        const fs::path candidate = fs::path(folder) / name;
        if (!folder.empty() && ::access(candidate.c_str(), X_OK) == 0) return candidate.string();
    }
    return std::nullopt;
}

// The first match of a pattern's first group in a file.
std::string Captured(const std::string& text, const std::string& pattern) {
    std::smatch match;
    if (!std::regex_search(text, match, std::regex(pattern))) return "(no match for " + pattern + ")";
    return match[1];
}

std::string UserName() { return ::getpwuid(::geteuid())->pw_name; }
std::string GroupName() { return ::getgrgid(::getegid())->gr_name; }

// ---------------------------------------------------------------- the files agree

TEST(DeployFiles, AllNameTheSameSiteFolderAndAddress) {
    const std::string unit = ReadFile(kUnit);
    const std::string nginx = ReadFile(kNginxSite);
    const std::string logrotate = ReadFile(kLogrotate);

    const std::string site = Captured(unit, R"(ExecStart=\S+ serve --site (\S+))");
    EXPECT_EQ(Captured(unit, R"(\nReadWritePaths=(\S+)\n)"), site) << "the site folder, and nothing else";
    EXPECT_EQ(Captured(nginx, R"(\n\s*root (\S+);)"), site + "/www");
    EXPECT_EQ(Captured(logrotate, R"(\n(/\S+) \{)"), site + "/drives/c/VEL/ExcursaLakemont/log.txt");

    const std::string address =
        Captured(unit, R"(--address (\S+))") + ":" + Captured(unit, R"(--port (\d+))");
    EXPECT_EQ(Captured(nginx, R"(upstream excursa \{\s*server (\S+);)"), address);
    EXPECT_EQ(Captured(unit, R"(\nUser=(\S+))"), Captured(logrotate, R"(\n\s*su (\S+) )"));
}

// Browsers reach the service only by https through nginx: the cookie must say so.
TEST(DeployFiles, TheServiceMarksTheCookieForTheHttpsThatNginxServes) {
    EXPECT_NE(ReadFile(kNginxSite).find("listen 443 ssl"), std::string::npos);
    EXPECT_EQ(Captured(ReadFile(kUnit), R"(ExecStart=.* (--public-https)\b)"), "--public-https");
}

// nginx serves www/ itself: it must hand out the kinds the server would, and no others.
TEST(DeployFiles, NginxServesTheKindsOfStaticFileTheServerServes) {
    const std::string kinds = Captured(ReadFile(kNginxSite), R"(location ~\* \\\.\(([a-z0-9|]+)\)\$)");
    std::set<std::string> nginx;
    std::istringstream list(kinds);
    for (std::string kind; std::getline(list, kind, '|');) nginx.insert(kind);
    ASSERT_FALSE(nginx.empty());

    std::set<std::string> candidates = nginx;
    for (const char* other : {"htm", "html", "ini", "reg", "db", "txt", "asp", "zip", "log", "json", "xml"}) {
        candidates.insert(other);
    }
    for (const std::string& kind : candidates) {
        EXPECT_EQ(nginx.count(kind) == 1, !StaticContentType("/x." + kind).empty()) << kind;
    }
}

// ---------------------------------------------------------------- the tools accept them

TEST(DeployFiles, SystemdAcceptsTheUnit) {
    const auto analyze = FindTool("systemd-analyze");
    if (!analyze) GTEST_SKIP() << "systemd-analyze is not installed";
    TempFolder folder;
    // The unit names the installed program; here it is the one just built.
    const fs::path unit =
        folder.write("excursa.service", Replaced(ReadFile(kUnit), "/usr/local/bin/excursa", EXCURSA_BINARY));

    const testing::Outcome outcome = RunProcess(*analyze, {"verify", unit.string()});

    EXPECT_EQ(outcome.exitCode, 0) << outcome.out << outcome.err;
    // It only warns about a line it does not understand.
    EXPECT_EQ((outcome.out + outcome.err).find("excursa.service"), std::string::npos)
        << outcome.out << outcome.err;
}

TEST(DeployFiles, NginxAcceptsTheSite) {
    const auto nginx = FindTool("nginx");
    const auto openssl = FindTool("openssl");
    if (!nginx || !openssl) GTEST_SKIP() << "nginx or openssl is not installed";
    TempFolder folder;
    const std::string root = folder.str();
    const testing::Outcome certificate =
        RunProcess(*openssl, {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1", "-subj",
                              "/CN=test", "-keyout", root + "/privkey.pem", "-out", root + "/fullchain.pem"});
    ASSERT_EQ(certificate.exitCode, 0) << certificate.err;
    std::string site = Replaced(ReadFile(kNginxSite), "/etc/ssl/excursa", root);
    site = Replaced(site, "/srv/excursa", root + "/site");
    folder.write("site.conf", site);
    const fs::path config =
        folder.write("nginx.conf",
                     "pid " + root + "/nginx.pid;\nerror_log " + root + "/error.log;\nevents {}\nhttp {\n" +
                         "    access_log off;\n    client_body_temp_path " + root + "/body;\n" +
                         "    proxy_temp_path " + root + "/proxy;\n    include " + root + "/site.conf;\n}\n");

    const testing::Outcome outcome = RunProcess(*nginx, {"-t", "-p", root, "-c", config.string()});

    EXPECT_EQ(outcome.exitCode, 0) << outcome.out << outcome.err;
    EXPECT_NE(outcome.err.find("test is successful"), std::string::npos) << outcome.err;
}

// The service appends a line and closes the file each time: after a rotation its next line
// goes to a new file that the service user can write.
TEST(DeployFiles, LogrotateRotatesTheLogAndTheServiceWritesOn) {
    const auto logrotate = FindTool("logrotate");
    if (!logrotate) GTEST_SKIP() << "logrotate is not installed";
    TempFolder folder;
    const fs::path log = folder.write("site/drives/c/VEL/ExcursaLakemont/log.txt", "an old line\n");
    std::string config = Replaced(ReadFile(kLogrotate), "/srv/excursa", folder.str() + "/site");
    config = Replaced(config, "excursa excursa", UserName() + " " + GroupName());
    const fs::path configFile = folder.write("logrotate.conf", config);

    const testing::Outcome outcome =
        RunProcess(*logrotate, {"--force", "--state", folder.str() + "/state", configFile.string()});

    EXPECT_EQ(outcome.exitCode, 0) << outcome.err;
    EXPECT_EQ(outcome.err, "") << "logrotate warns about lines it does not understand";
    EXPECT_EQ(ReadFile(log.string() + ".1"), "an old line\n");
    struct stat info {};
    ASSERT_EQ(::stat(log.c_str(), &info), 0) << "a new log is made at once";
    EXPECT_EQ(info.st_mode & 0777, 0640u);
    EXPECT_EQ(info.st_uid, ::geteuid());
    std::ofstream(log, std::ios::app) << "a new line\n";  // as the service appends
    EXPECT_EQ(ReadFile(log), "a new line\n");
    EXPECT_EQ(ReadFile(log.string() + ".1"), "an old line\n");
}

}  // namespace
}  // namespace excursa
