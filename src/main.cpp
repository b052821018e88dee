// excursa: make a site (init), serve it (serve), check it, back it up and restore it.
#include "config/site.h"
#include "frame/http_server.h"
#include "data/schema.h"
#include "frame/version.h"
#include "items.h"
#include "startup/health.h"
#include "startup/site_backup.h"
#include "startup/site_check.h"
#include "startup/site_files.h"
#include "startup/site_init.h"
#include "startup/site_lock.h"

#include <Poco/Util/OptionException.h>
#include <Poco/Util/OptionProcessor.h>
#include <Poco/Util/OptionSet.h>

#include <sys/resource.h>

#include <charconv>
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
    "  excursa serve --site DIR [--port N] [--threads N] [--address ADDR] [--io-threads N]\n"
    "                [--header-timeout SECONDS] [--body-rate BYTES] [--idle-timeout SECONDS]\n"
    "                [--max-sessions N] [--public-https] [--metrics-from ADDR[,ADDR...]]\n"
    "  excursa check --site DIR [--user NAME]\n"
    "  excursa backup --site DIR --to FILE\n"
    "  excursa restore --site DIR --from FILE [--force]\n";

Poco::Util::OptionSet CommandOptions() {
    Poco::Util::OptionSet options;
    options.addOption(Option("site", "", "site folder").argument("DIR"));
    options.addOption(Option("demo", "", "fill a demo district"));
    options.addOption(Option("templates", "", "templates to copy into the site").argument("DIR"));
    options.addOption(Option("port", "", "TCP port").argument("N"));
    options.addOption(Option("threads", "", "standby threads, lent to a loop held by slow pages").argument("N"));
    options.addOption(Option("address", "", "address to listen on").argument("ADDR"));
    options.addOption(Option("io-threads", "", "event loops, which hold the connections and run the pages").argument("N"));
    options.addOption(Option("header-timeout", "", "seconds for a request head").argument("SECONDS"));
    options.addOption(Option("body-rate", "", "slowest body accepted, bytes a second").argument("BYTES"));
    options.addOption(
        Option("idle-timeout", "", "seconds a kept-alive connection may idle").argument("SECONDS"));
    options.addOption(Option("max-sessions", "", "live sessions kept at most").argument("N"));
    options.addOption(Option("public-https", "", "browsers reach the service by https"));
    options.addOption(Option("metrics-from", "", "addresses beside the loopback that may read /metrics")
                          .argument("ADDR")
                          .repeatable(true));
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
        if (name.empty()) continue;
        // Given more than once, --metrics-from adds to its list.
        std::string& kept = values[name];
        kept = kept.empty() || name != "metrics-from" ? value : kept + "," + value;
    }
    processor.checkRequired();
    if (!values.count("site")) throw Poco::Util::MissingOptionException("site");
    return values;
}

long NumberOption(const std::map<std::string, std::string>& values, const std::string& name, long fallback,
                  long lowest) {
    auto it = values.find(name);
    if (it == values.end()) return fallback;
    const std::string& text = it->second;
    long number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc() || end != text.data() + text.size() || number < lowest) {
        throw Poco::Util::InvalidArgumentException("--" + name + " needs a whole number of at least " +
                                                   std::to_string(lowest) + ", not '" + text + "'");
    }
    return number;
}

// Every idle connection is an open file; the usual soft limit of 1,024 would
// refuse connections long before memory runs short.
void RaiseOpenFileLimit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= limit.rlim_max) return;
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_NOFILE, &limit);
}

ServerOptions ServeOptions(const std::map<std::string, std::string>& values) {
    using std::chrono::seconds;
    ServerOptions options;
    options.port = static_cast<int>(NumberOption(values, "port", 8080, 0));
    options.threads = static_cast<int>(NumberOption(values, "threads", 8, 1));
    options.ioThreads = static_cast<int>(NumberOption(values, "io-threads", 2, 1));
    options.headerTimeout = seconds(NumberOption(values, "header-timeout", 10, 1));
    options.bodyMinBytesPerSecond = static_cast<std::size_t>(NumberOption(values, "body-rate", 1024, 1));
    options.idleTimeout = seconds(NumberOption(values, "idle-timeout", 60, 1));
    if (values.count("address")) options.address = values.at("address");
    options.secureCookie = values.count("public-https") > 0;
    if (values.count("metrics-from")) {
        try {
            options.monitor.metricsFrom = ParseAddressRanges(values.at("metrics-from"));
        } catch (const std::invalid_argument& e) {
            throw Poco::Util::InvalidArgumentException(std::string("--metrics-from: ") + e.what());
        }
    }
    return options;
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
    ServerOptions options = ServeOptions(values);
    const auto maxSessions = NumberOption(values, "max-sessions", static_cast<long>(kDefaultMaxSessions), 1);
    Site::setRoot(site);
    const SiteLock serving = TakeServeLock();
    ReportSiteCheck();
    for (const std::string& line : AddMissingIndexes(SiteDataFolder())) std::cerr << "excursa: " << line << '\n';

    // Workers inherit this mask, so only the main thread takes the signals.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    RaiseOpenFileLimit();
    std::unique_ptr<WebApplication> app = MakeExcursa();
    options.monitor.health = [&application = app->application()] { return CheckHealth(application); };
    app->sessions().setLimit(static_cast<std::size_t>(maxSessions));
    HttpServer server(*app, options);
    server.listen();
    const std::string startText = app->warmUp();
    if (!startText.empty())
        std::cerr << "excursa: the settings did not load completely: " << startText << '\n';
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
