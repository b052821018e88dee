#include "startup/site_init.h"

#include "config/settings.h"
#include "data/schema.h"
#include "frame/value.h"
#include "startup/demo_district.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <system_error>

namespace excursa {

namespace fs = std::filesystem;

namespace {

struct InitReport {
    std::vector<std::string> made;
    std::vector<std::string> kept;
    std::vector<std::string> notes;

    std::vector<std::string> lines() const {
        std::vector<std::string> out;
        for (const std::string& path : made) out.push_back("made  " + path);
        for (const std::string& path : kept) out.push_back("kept  " + path);
        out.insert(out.end(), notes.begin(), notes.end());
        return out;
    }
};

std::string RegistryFileText() {
    return "Windows Registry Editor Version 5.00\n\n[" + std::string(kHKeyLocalMachine) + "\\" +
           std::string(kTripRegistryKey) + "]\n\"INIPath\"=\"MULTIPLE\"\n";
}

// Every key has a value: the sign-in page reports an empty one as an error.
std::string SettingsFileText() {
    return std::string("[").append(kTripIniSection) +
           "]\n"
           "SessionTimeOut=20\n"
           "DOTNETInstalled=False\n"
           "CalendarUrl=http://localhost:8080/calendar\n"
           "InquiryUrl=http://localhost:8080/inquiry\n"
           "SmtpServer=localhost\n"
           "SmtpPort=25\n"
           "SmtpAuthentication=False\n"
           "SmtpUsername=fieldtrips\n"
           "SmtpPassword=change-me\n"
           "EmailFromAddress=fieldtrips@lakemont.example.org\n"
           "EmailFromName=Lakemont Transportation\n";
}

class SiteBuilder {
public:
    SiteBuilder(fs::path site, InitReport& report) : site_(std::move(site)), report_(report) {}

    fs::path path(const fs::path& relative) const { return site_ / relative; }

    void folder(const fs::path& relative) {
        fs::path target = relative.empty() ? site_ : site_ / relative;
        std::error_code error;
        bool made = fs::create_directories(target, error);
        if (error)
            throw std::runtime_error("Could not make the folder '" + target.string() +
                                     "': " + error.message());
        if (made) report_.made.push_back((relative.empty() ? site_.string() : Shown(relative)) + "/");
    }

    // "wx" opens only a file that does not exist yet, so nothing is overwritten.
    void file(const fs::path& relative, const std::string& content) {
        fs::path target = site_ / relative;
        std::FILE* out = std::fopen(target.c_str(), "wx");
        if (!out) {
            if (fs::exists(fs::symlink_status(target))) {
                report_.kept.push_back(Shown(relative));
                return;
            }
            throw std::runtime_error("Could not write '" + target.string() + "'.");
        }
        bool written = std::fwrite(content.data(), 1, content.size(), out) == content.size();
        if (std::fclose(out) != 0 || !written)
            throw std::runtime_error("Could not write '" + target.string() + "'.");
        report_.made.push_back(Shown(relative));
    }

    void templates(const fs::path& source, const fs::path& relativeTarget) {
        int copied = 0;
        int kept = 0;
        for (const fs::directory_entry& entry : fs::recursive_directory_iterator(source)) {
            fs::path inner = fs::relative(entry.path(), source);
            fs::path target = site_ / relativeTarget / inner;
            if (entry.is_directory()) {
                fs::create_directories(target);
                continue;
            }
            if (!entry.is_regular_file()) continue;
            std::error_code error;
            if (fs::copy_file(entry.path(), target, fs::copy_options::none, error)) {
                ++copied;
            } else if (fs::exists(fs::symlink_status(target))) {
                ++kept;
            } else {
                throw std::runtime_error("Could not copy the template '" + entry.path().string() + "' to '" +
                                         target.string() + "': " + error.message());
            }
        }
        if (copied > 0) report_.made.push_back(Shown(relativeTarget) + "/ (" + Files(copied) + ")");
        if (kept > 0) report_.kept.push_back(Shown(relativeTarget) + "/ (" + Files(kept) + ")");
    }

    static std::string Files(int count) {
        return std::to_string(count) + (count == 1 ? " template file" : " template files");
    }

    static std::string Shown(const fs::path& relative) {
        return relative.empty() ? std::string(".") : relative.generic_string();
    }

private:
    fs::path site_;
    InitReport& report_;
};

bool IsWithin(const fs::path& inner, const fs::path& outer) {
    fs::path innerPath = fs::weakly_canonical(fs::absolute(inner));
    fs::path outerPath = fs::weakly_canonical(fs::absolute(outer));
    auto mismatch = std::mismatch(outerPath.begin(), outerPath.end(), innerPath.begin(), innerPath.end());
    return mismatch.first == outerPath.end();
}

void RemoveFiles(const std::vector<std::string>& paths) {
    std::error_code ignored;
    for (const std::string& path : paths)
        for (const char* suffix : {"", "-wal", "-shm"}) fs::remove(path + suffix, ignored);
}

void MakeDatabases(SiteBuilder& site, const SiteInitOptions& options, InitReport& report) {
    fs::path dataFolder = site.path(kSiteDataFolder);
    CreatedFiles files = CreateDatabaseFiles(dataFolder.string());
    for (const std::string& path : files.created)
        report.made.push_back(SiteBuilder::Shown(fs::path(kSiteDataFolder) / fs::path(path).filename()));
    for (const std::string& path : files.kept)
        report.kept.push_back(SiteBuilder::Shown(fs::path(kSiteDataFolder) / fs::path(path).filename()));
    if (!options.demo) return;
    // Demo rows go only into a complete set of new files, never beside a district's own data.
    if (files.created.size() != kDatabaseFiles.size()) {
        report.notes.push_back("The demo district was not filled: database files existed already.");
        return;
    }
    try {
        FillDemoDistrict(dataFolder.string(), Today());
    } catch (const std::exception& failure) {
        RemoveFiles(files.created);  // made by this run and holding nothing else
        throw std::runtime_error(std::string("The demo district could not be filled, so the new database "
                                             "files were removed: ") +
                                 failure.what());
    }
    report.notes.push_back(
        "Demo district \"Lakemont School District\" filled. Sign in as, for example, "
        "maple.teacher, maple.principal, district or transport; every demo password is \"" +
        std::string(DemoUsers().front().password) + "\".");
}

}  // namespace

std::vector<std::string> InitSite(const SiteInitOptions& options) {
    if (options.siteFolder.empty()) throw std::runtime_error("No site folder was given.");
    if (!options.templatesFolder.empty() && !fs::is_directory(options.templatesFolder))
        throw std::runtime_error("The templates folder '" + options.templatesFolder + "' does not exist.");
    if (!options.templatesFolder.empty() &&
        IsWithin(fs::path(options.siteFolder) / "www", options.templatesFolder))
        throw std::runtime_error("The site folder must not lie inside the templates folder '" +
                                 options.templatesFolder + "'.");

    InitReport report;
    SiteBuilder site(fs::path(options.siteFolder), report);
    site.folder("");
    site.folder("www");
    site.folder(kSiteDataFolder);
    site.folder(kSiteLogFolder);
    site.file("registry.reg", RegistryFileText());
    site.file("www/trip.ini", SettingsFileText());
    if (!options.templatesFolder.empty()) site.templates(options.templatesFolder, "www");
    MakeDatabases(site, options, report);
    return report.lines();
}

}  // namespace excursa
