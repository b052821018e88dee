#include "frame/procedure.h"

#include "data/database.h"

#include "frame/memory_host.h"
#include "frame/worker_state.h"

#include "support/in_request.h"
#include "support/message_page.h"
#include "support/temp_folder.h"

#include <gtest/gtest.h>

namespace excursa {
namespace {

std::string RunInRequest(const std::function<void(AppObject&)>& body) {
    testing::TempFolder www;
    return testing::RunInRequest(www.path(), body);
}

TEST(ProcedureTest, FailureBecomesTheErrorTextWithModuleWord) {
    bool cleaned = false;
    const std::string page = RunInRequest([&](AppObject& app) {
        RunProcedure(
            app, Procedure{"LookupCust_FindCusts", kModuleNone}, [] { raiseError(kErrInvalidNull); },
            [&] { cleaned = true; });
    });
    EXPECT_EQ(testing::WrittenText(page),
              "Error in Procedure: LookupCust_FindCusts of Module: .  Error: 94.  Invalid use of Null.");
    EXPECT_TRUE(cleaned);
}

TEST(ProcedureTest, NoFailureWritesNothingAndRunsNoCleanup) {
    bool cleaned = false;
    const std::string page = RunInRequest([&](AppObject& app) {
        RunProcedure(
            app, Procedure{"P", kModuleExcursa}, [&] { app.host.write("ok"); }, [&] { cleaned = true; });
    });
    EXPECT_EQ(testing::WrittenText(page), "ok");
    EXPECT_FALSE(cleaned);
}

TEST(ProcedureTest, FollowOnError91KeepsTheFirstText) {
    const std::string page = RunInRequest([](AppObject& app) {
        RunQuietProcedure(Procedure{"SetTripDBConnections", "WebCommon"},
                          [] { raiseError(kErrProvider, "Could not find file"); });
        bool cleaned = false;
        RunProcedure(
            app, Procedure{"BuildFundDD", kModuleExcursa, true}, [] { raiseError(kErrObjectNotSet); },
            [&] { cleaned = true; });
        app.host.write(cleaned ? "|cleaned" : "|not cleaned");
    });
    EXPECT_EQ(testing::WrittenText(page),
              "Error in Procedure: SetTripDBConnections of Module: WebCommon.  Error: -2147467259.  "
              "Could not find file.|not cleaned");
}

TEST(ProcedureTest, Error91WithoutAnEarlierFailureIsReported) {
    const std::string page = RunInRequest([](AppObject& app) {
        RunProcedure(app, Procedure{"BuildFundDD", kModuleExcursa, true},
                     [] { raiseError(kErrObjectNotSet); });
    });
    EXPECT_EQ(testing::WrittenText(page),
              "Error in Procedure: BuildFundDD of Module: Excursa.  Error: 91.  "
              "Object variable or With block variable not set.");
}

TEST(ProcedureTest, Error91RuleOnlyForProceduresThatHaveIt) {
    const std::string page = RunInRequest([](AppObject& app) {
        strErrorText = "earlier";
        RunProcedure(app, Procedure{"RequestSearch_Respond", kModuleExcursa},
                     [] { raiseError(kErrObjectNotSet); });
    });
    EXPECT_EQ(testing::WrittenText(page),
              "Error in Procedure: RequestSearch_Respond of Module: Excursa.  Error: 91.  "
              "Object variable or With block variable not set.");
}

TEST(ProcedureTest, ErrorTextNaInAnyCaseCountsAsNoError) {
    const std::string page = RunInRequest([](AppObject& app) {
        strErrorText = "na";
        RunProcedure(app, Procedure{"P", kModuleExcursa}, [] {});
    });
    EXPECT_EQ(page, "");
}

TEST(ProcedureTest, RoutineTextsUseADash) {
    const VbError e(-2147467259, "Could not find file 'C:\\VEL\\Data\\Lakemont\\trip.db'.");
    EXPECT_EQ(
        RoutineErrorText("SetTripDBConnections", "WebCommon", e, "; strTripDataPath=C:\\VEL\\."),
        "Error in Procedure: SetTripDBConnections of Module: WebCommon.  Error: -2147467259 - Could not find "
        "file 'C:\\VEL\\Data\\Lakemont\\trip.db'.; strTripDataPath=C:\\VEL\\.");
}

TEST(ProcedureTest, SessionTimeOutSendsToLogout) {
    const std::string page = RunInRequest([](AppObject& app) {
        if (SessionTimedOut(app)) {
            app.host.write(app.strLogoutMessage);
            return;
        }
        app.host.write("signed in");
    });
    EXPECT_EQ(testing::WrittenText(page),
              "Sorry, your session has timed out please log in again and retry.[logout page]");
}

}  // namespace
}  // namespace excursa
