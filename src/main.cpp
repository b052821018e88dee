// excursa: make a site (init), serve it (serve), check it, back it up and restore it.
#include "config/site.h"
#include "frame/http_server.h"
#include "startup/component.h"
#include "startup/site_backup.h"
#include "startup/site_check.h"
#include "startup/site_init.h"
#include "startup/site_lock.h"

#include <Poco/Util/OptionException.h>
#include <Poco/Util/OptionProcessor.h>
#include <Poco/Util/OptionSet.h>

#include <csignal>
#include <filesystem>
#include <iostream>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using namespace excursa;
using Poco::Util::Option;

constexpr const char* kUsage =
    "usage:\n"
    "  excursa init  --site DIR [--demo] [--templates DIR]\n"
    "  excursa serve --site DIR [--port N] [--threads N] [--address ADDR]\n"
    "  excursa check --site DIR [--user NAME]\n"
    "  excursa backup --site DIR --to FILE\n"
    "  excursa restore --site DIR --from FILE [--force]\n";

Poco::Util::OptionSet CommandOptions() {
    Poco::Util::OptionSet options;
    options.addOption(Option("site", "", "site folder").argument("DIR"));
    options.addOption(Option("demo", "", "fill a demo district"));
    options.addOption(Option("templates", "", "templates to copy into the site").argument("DIR"));
    options.addOption(Option("port", "", "TCP port").argument("N"));
    options.addOption(Option("threads", "", "worker threads").argument("N"));
    options.addOption(Option("address", "", "address to listen on").argument("ADDR"));
    options.addOption(Option("user", "", "the user the service runs as").argument("NAME"));
    options.addOption(Option("to", "", "archive to write").argument("FILE"));
    options.addOption(Option("from", "", "archive to restore").argument("FILE"));
    options.addOption(Option("force", "", "also replace database files that hold data"));
    return options;
}

std::map<std::string, std::string> ParseOptions(int argc, char** argv) {
    Poco::Util::OptionSet options = CommandOptions();
    Poco::Util::OptionProcessor processor(options);
    processor.setUnixStyle(true);
    std::map<std::string, std::string> values;
    for (int i = 2; i < argc; ++i) {
        std::string name;
        std::string value;
        if (!processor.process(argv[i], name, value)) throw Poco::Util::UnknownOptionException(argv[i]);
        if (!name.empty()) values[name] = value;
    }
    processor.checkRequired();
    if (!values.count("site")) throw Poco::Util::MissingOptionException("site");
    return values;
}

int NumberOption(const std::map<std::string, std::string>& values, const std::string& name, int fallback) {
    auto it = values.find(name);
    if (it == values.end()) return fallback;
    return std::stoi(it->second);
}

std::string DefaultTemplatesFolder(const char* argv0) {
    const std::filesystem::path beside = std::filesystem::path(argv0).parent_path() / "templates";
    if (std::filesystem::is_directory(beside)) return beside.string();
    return std::string(EXCURSA_SOURCE_DIR) + "/templates";
}

int RunInit(const std::map<std::string, std::string>& values, const char* argv0) {
    SiteInitOptions options;
    options.siteFolder = values.at("site");
    options.templatesFolder =
        values.count("templates") ? values.at("templates") : DefaultTemplatesFolder(argv0);
    options.demo = values.count("demo") > 0;
    for (const std::string& line : InitSite(options)) std::cout << line << '\n';
    return 0;
}

const std::string& RequiredOption(const std::map<std::string, std::string>& values, const std::string& name) {
    const auto it = values.find(name);
    if (it == values.end()) throw Poco::Util::MissingOptionException(name);
    return it->second;
}

// The site folder of a command, named to the rest of the program.
void UseSite(const std::map<std::string, std::string>& values) {
    const std::string site = std::filesystem::absolute(values.at("site")).lexically_normal().string();
    if (!std::filesystem::is_directory(site))
        throw std::runtime_error("There is no site folder " + site + ".");
    Site::setRoot(site);
}

void PrintLines(const std::vector<std::string>& lines, std::ostream& out) {
    for (const std::string& line : lines) out << line << '\n';
    out.flush();
}

int RunCheck(const std::map<std::string, std::string>& values) {
    UseSite(values);
    const ServiceUser user =
        values.count("user") ? ServiceUser::Named(values.at("user")) : ServiceUser::ThisProcess();
    const std::vector<Finding> findings = CheckSite(user);
    PrintLines(FindingLines(findings), std::cout);
    return findings.empty() ? 0 : 1;
}

int RunBackup(const std::map<std::string, std::string>& values) {
    const std::string& archive = RequiredOption(values, "to");
    UseSite(values);
    PrintLines(BackupSite(archive), std::cout);
    return 0;
}

int RunRestore(const std::map<std::string, std::string>& values) {
    const std::string& archive = RequiredOption(values, "from");
    UseSite(values);
    PrintLines(RestoreSite({.archivePath = archive, .force = values.count("force") > 0}), std::cout);
    return 0;
}

// Held for the server's life, so that a restore can tell the site is served.
SiteLock TakeServeLock() {
    std::optional<SiteLock> lock = SiteLock::TryTake(SiteLock::Mode::Shared);
    if (!lock) {
        std::cerr << "excursa: a restore of this site is running; serving starts when it has finished"
                  << std::endl;
        lock = SiteLock::Take(SiteLock::Mode::Shared);
    }
    if (!lock->held()) {
        throw std::runtime_error("Could not make the lock file " + SiteLockFile() +
                                 ": the service user must be able to write the site folder.");
    }
    return std::move(*lock);
}

void ReportSiteCheck() {
    const std::vector<Finding> findings = CheckSite(ServiceUser::ThisProcess());
    if (findings.empty()) return;
    std::cerr << "excursa: the site check found " << findings.size()
              << (findings.size() == 1 ? " problem" : " problems") << ":\n";
    PrintLines(FindingLines(findings), std::cerr);
}

int RunServe(const std::map<std::string, std::string>& values) {
    const std::string site = std::filesystem::absolute(values.at("site")).lexically_normal().string();
    if (!std::filesystem::is_directory(site + "/www")) {
        std::cerr << "excursa: " << site
                  << " is not a site (it has no www folder); make one with excursa init\n";
        return 2;
    }
    Site::setRoot(site);
    const SiteLock serving = TakeServeLock();
    ReportSiteCheck();

    // Workers inherit this mask, so only the main thread takes the signals.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    std::unique_ptr<WebApplication> app = MakeExcursa();
    const std::string startText = app->warmUp();
    if (!startText.empty())
        std::cerr << "excursa: the settings did not load completely: " << startText << '\n';

    ServerOptions options;
    options.port = NumberOption(values, "port", 8080);
    options.threads = NumberOption(values, "threads", 8);
    if (values.count("address")) options.address = values.at("address");
    HttpServer server(*app, options);
    server.start();
    std::cout << "excursa " << ComponentVersionText() << " serving " << site
              << " on http://localhost:" << server.port() << "/ExcursaLakemont.asp" << std::endl;

    int received = 0;
    sigwait(&stopSignals, &received);
    std::cout << "excursa: stopping" << std::endl;
    server.stop();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << kUsage;
        return 2;
    }
    const std::string command = argv[1];
    try {
        const auto values = ParseOptions(argc, argv);
        if (command == "init") return RunInit(values, argv[0]);
        if (command == "serve") return RunServe(values);
        if (command == "check") return RunCheck(values);
        if (command == "backup") return RunBackup(values);
        if (command == "restore") return RunRestore(values);
        std::cerr << "excursa: unknown command " << command << '\n' << kUsage;
        return 2;
    } catch (const Poco::Util::OptionException& e) {
        std::cerr << "excursa: " << e.displayText() << '\n' << kUsage;
        return 2;
    } catch (const std::exception& e) {
        std::cerr << "excursa: " << e.what() << '\n';
        return 1;
    }
}
