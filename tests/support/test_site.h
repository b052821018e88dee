// A complete site in a temp folder: registry values, trip.ini, the real
// templates and the three database files with the schema, without data.
#pragma once

#include "config/site.h"
#include "data/connections.h"
#include "data/schema.h"
#include "frame/worker_state.h"
#include "support/raw_db.h"
#include "support/temp_folder.h"

#include <filesystem>
#include <map>
#include <string>

namespace excursa::testing {

inline const std::map<std::string, std::string>& DefaultTripIni() {
    static const std::map<std::string, std::string> values{
        {"SessionTimeOut", "20"},
        {"DOTNETInstalled", "False"},
        {"CalendarUrl", "http://localhost/calendar"},
        {"InquiryUrl", "http://localhost/inquiry"},
        {"SmtpServer", "localhost"},
        {"SmtpPort", "25"},
        {"SmtpAuthentication", "False"},
        {"SmtpUsername", "mailer"},
        {"SmtpPassword", "s3cret"},
        {"EmailFromAddress", "trips@lakemont.example"},
        {"EmailFromName", "Lakemont Field Trips"},
    };
    return values;
}

// Forgets what the worker (this thread) kept from earlier requests.
inline void ResetWorkerState() {
    CloseTripDBConnections();
    cnTrip.reset();
    cnSecurity.reset();
    cnTripSchl.reset();
    strErrorText = "NA";
    strAppPath.clear();
    strTripDataPath.clear();
}

class TestSite {
public:
    TestSite() {
        Site::setRoot(root_.str());
        root_.write(
            "registry.reg",
            "Windows Registry Editor Version 5.00\r\n\r\n"
            "[HKEY_LOCAL_MACHINE\\Software\\Tarnwick Systems, Inc.\\Velway Transport Suite (V.E.L.) - Field "
            "Trip]\r\n\"INIPath\"=\"MULTIPLE\"\r\n");
        writeTripIni(DefaultTripIni());
        std::filesystem::copy(std::string(EXCURSA_SOURCE_DIR) + "/templates", root_.path() / "www",
                              std::filesystem::copy_options::recursive);
        std::filesystem::create_directories(dataFolder());
        CreateDatabaseFiles(dataFolder().string());
        ResetWorkerState();
    }
    ~TestSite() { ResetWorkerState(); }

    std::filesystem::path dataFolder() const { return root_.path() / "drives/c/VEL/Data/Lakemont"; }
    std::filesystem::path www() const { return root_.path() / "www"; }
    const TempFolder& root() const { return root_; }

    void writeTripIni(const std::map<std::string, std::string>& values) const {
        std::string ini = "[V.E.L. Options]\r\n";
        for (const auto& [key, value] : values) ini += key + "=" + value + "\r\n";
        root_.write("www/trip.ini", ini);
    }

    // Runs SQL directly on one of the data files ("trip.db", ...).
    void sql(const std::string& file, const std::string& statements) const {
        RawDb(dataFolder() / file).run(statements);
    }

private:
    TempFolder root_;
};

}  // namespace excursa::testing
