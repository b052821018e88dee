// The check, backup and restore commands as an administrator runs them, beside a serving server.
#include "support/run_process.h"
#include "support/serve_process.h"
#include "support/test_site.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace excursa {
namespace {

using testing::Outcome;

Outcome Excursa(const std::vector<std::string>& args) { return testing::RunProcess(EXCURSA_BINARY, args); }

class SiteCommandsTest : public ::testing::Test {
protected:
    std::string site() const { return site_.root().str(); }

    testing::TestSite site_;
    testing::TempFolder backups_;
};

TEST_F(SiteCommandsTest, CheckAnswersZeroOnlyWhenAllIsWell) {
    const Outcome well = Excursa({"check", "--site", site()});
    EXPECT_EQ(well.exitCode, 0) << well.out << well.err;
    EXPECT_EQ(well.out.rfind("All is well", 0), 0u) << well.out;

    site_.sql("twvlsc1.db", "DROP TABLE VLSCU");
    const Outcome broken = Excursa({"check", "--site", site()});
    EXPECT_EQ(broken.exitCode, 1);
    EXPECT_NE(broken.out.find("problem: drives/c/VEL/Data/Lakemont/twvlsc1.db has no table VLSCU"),
              std::string::npos)
        << broken.out;

    const Outcome unknownUser =
        Excursa({"check", "--site", site(), "--user", "no-such-user-on-this-machine"});
    EXPECT_EQ(unknownUser.exitCode, 1);
    EXPECT_NE(unknownUser.err.find("There is no user"), std::string::npos) << unknownUser.err;
}

TEST_F(SiteCommandsTest, ServeTellsWhatTheCheckFoundAndRestoreWaitsUntilItStops) {
    const std::string archive = (backups_.path() / "site.zip").string();
    const Outcome backup = Excursa({"backup", "--site", site(), "--to", archive});
    ASSERT_EQ(backup.exitCode, 0) << backup.err;
    EXPECT_NE(backup.out.find("wrote " + archive), std::string::npos) << backup.out;

    std::map<std::string, std::string> settings = testing::DefaultTripIni();
    settings["SmtpPort"] = "twenty-five";
    site_.writeTripIni(settings);
    testing::ServeProcess server(site());
    ASSERT_TRUE(server.serving()) << server.stop();

    const Outcome refused = Excursa({"restore", "--site", site(), "--from", archive, "--force"});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(refused.err.find("A server is serving " + site()), std::string::npos) << refused.err;

    const std::string serverErrors = server.stop();
    EXPECT_NE(serverErrors.find("the site check found 1 problem:\nproblem: \"SmtpPort\" in trip.ini is "
                                "\"twenty-five\""),
              std::string::npos)
        << serverErrors;

    const Outcome restored = Excursa({"restore", "--site", site(), "--from", archive});
    EXPECT_EQ(restored.exitCode, 0) << restored.err;
    EXPECT_NE(restored.out.find("restored www/trip.ini"), std::string::npos) << restored.out;
    EXPECT_EQ(Excursa({"check", "--site", site()}).exitCode, 0);
}

TEST_F(SiteCommandsTest, MissingArchiveOptionIsAUsageError) {
    const Outcome outcome = Excursa({"backup", "--site", site()});
    EXPECT_EQ(outcome.exitCode, 2);
    EXPECT_NE(outcome.err.find("to"), std::string::npos) << outcome.err;
    EXPECT_NE(outcome.err.find("excursa backup --site DIR --to FILE"), std::string::npos) << outcome.err;
}

}  // namespace
}  // namespace excursa
