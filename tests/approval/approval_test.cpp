#include "approval/approval.h"

#include "config/settings.h"
#include "data/connections.h"
#include "frame/worker_state.h"

#include "support/test_site.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace excursa {
namespace {

// CH1: three levels, the rest Null. CH2: SUPT at levels 2 and 4, a blank (" ") level 5.
// ODD uses "PENDING" as a level status. FULL uses all eight levels.
constexpr const char* kChains =
    "INSERT INTO VLSCC (CHAINID, LEVEL1APPROVER, Level2Approver, Level3Approver, Level1Status, Level2Status, "
    "Level3Status) VALUES ('CH1', 'PRIN', 'DIR', 'BUS', 'Principal Approved', 'Director Approved', "
    "'Transport Approved');"
    "INSERT INTO VLSCC (CHAINID, LEVEL1APPROVER, Level2Approver, Level3Approver, Level4Approver, "
    "Level5Approver, Level1Status, Level2Status, Level3Status, Level4Status, Level5Status) "
    "VALUES ('CH2', 'PRIN', 'SUPT', 'DIR', 'SUPT', ' ', "
    "'Principal Approved', 'Supt Reviewed', 'Director Approved', 'Supt Final', ' ');"
    "INSERT INTO VLSCC (CHAINID, LEVEL1APPROVER, Level2Approver, Level1Status, Level2Status) "
    "VALUES ('ODD', 'PRIN', 'DIR', 'PENDING', 'Dir OK');"
    "INSERT INTO VLSCC (CHAINID, LEVEL1APPROVER, Level1Status) VALUES ('O''NEIL', 'COACH', 'Coach OK');"
    "INSERT INTO VLSCC VALUES ('FULL', 1, 'R1', 'R2', 'R3', 'R4', 'R5', 'R6', 'R7', 'R8', "
    "'S1', 'S2', 'S3', 'S4', 'S5', 'S6', 'S7', 'S8');";

class ApprovalTest : public ::testing::Test {
protected:
    void SetUp() override {
        site_.sql("twvlsc1.db", kChains);
        SetTripPaths();
        SetTripDBConnections();
        ASSERT_EQ(strErrorText, "NA");
    }

    // A stored request; Null columns are passed as "NULL", texts quoted by the caller.
    void addRequest(int tripNumber, const std::string& chainSql, const std::string& statusSql,
                    const std::string& customerSql = "'LHS'") {
        site_.sql("Tripschl.db", "INSERT INTO TRIPSREQ (TRIPNUM, CHAINID, STATUS, CUSTOMER) VALUES (" +
                                     std::to_string(tripNumber) + ", " + chainSql + ", " + statusSql + ", " +
                                     customerSql + ");");
    }

    testing::TestSite site_;
};

struct AuthorityCase {
    const char* what;
    const char* chainSql;   // stored chain id (SQL literal)
    const char* statusSql;  // stored status (SQL literal)
    const char* chainArg;   // "" reads the stored request
    const char* role;
    const char* customer;
    const char* expected;
};

TEST_F(ApprovalTest, AuthorityOverStoredAndNewRequests) {
    const std::vector<AuthorityCase> cases{
        {"highest of two levels wins", "'CH2'", "'UNAPPROVED'", "", "SUPT", "LHS", "Y,Y,Supt Final"},
        {"no level, unapproved: requester edits", "'CH1'", "'UNAPPROVED'", "", "TEACH", "LHS", "Y,N,NA"},
        {"no level, past level 1", "'CH1'", "'Principal Approved'", "", "TEACH", "LHS", "N,N,NA"},
        {"level 2 at level 1", "'CH1'", "'Principal Approved'", "", "DIR", "LHS", "Y,Y,Director Approved"},
        {"level 2 at level 1, status case", "'CH1'", "'PRINCIPAL approved'", "", "DIR", "LHS",
         "Y,Y,Director Approved"},
        {"level 2 already approved", "'CH1'", "'Director Approved'", "", "DIR", "LHS",
         "Y,N,Director Approved"},
        {"level 1 past its level", "'CH1'", "'Director Approved'", "", "PRIN", "LHS",
         "N,N,Principal Approved"},
        {"approve ahead of lower levels", "'CH1'", "'UNAPPROVED'", "", "BUS", "LHS",
         "Y,Y,Transport Approved"},
        {"last level reached", "'CH1'", "'Transport Approved'", "", "BUS", "LHS", "Y,N,Transport Approved"},
        {"other customer", "'CH1'", "'Principal Approved'", "", "DIR", "MMS", "N,N,Director Approved"},
        {"other customer, unapproved", "'CH1'", "'UNAPPROVED'", "", "TEACH", "MMS", "N,N,NA"},
        {"every customer", "'CH1'", "'Principal Approved'", "", "DIR", "", "Y,Y,Director Approved"},
        {"every customer (Null)", "'CH1'", "'Principal Approved'", "", "DIR", " ", "Y,Y,Director Approved"},
        {"role is case-sensitive", "'CH1'", "'Principal Approved'", "", "dir", "LHS", "N,N,NA"},
        {"status of no level", "'CH1'", "'On Hold'", "", "BUS", "LHS", "N,N,Transport Approved"},
        {"chain trimmed", "'CH1  '", "'Principal Approved'", "", "DIR", "LHS", "Y,Y,Director Approved"},
        {"chain not found", "'GONE'", "'UNAPPROVED'", "", "PRIN", "LHS", "N,N,NA"},
        {"Denied", "'CH1'", "'Denied'", "", "BUS", "LHS", "N,N,NA"},
        {"denied, any case", "'CH1'", "'dEnIeD'", "", "BUS", "", "N,N,NA"},
        {"ACCEPTED", "'CH1'", "'ACCEPTED'", "", "BUS", "LHS", "N,N,NA"},
        {"accepted, any case", "'CH1'", "'accepted'", "", "TEACH", "LHS", "N,N,NA"},
        {"Pending without chain", "NULL", "'Pending'", "", "TEACH", "LHS", "Y,N,NA"},
        {"Pending with a blank chain", "'  '", "'PENDING'", "", "", "", "Y,N,NA"},
        {"Pending, other customer", "NULL", "'Pending'", "", "TEACH", "MMS", "N,N,NA"},
        {"no chain, not pending", "NULL", "'UNAPPROVED'", "", "PRIN", "LHS", "N,N,NA"},
        {"PENDING as a level status never approves", "'ODD'", "'PENDING'", "", "DIR", "LHS", "Y,N,Dir OK"},
        {"given chain is unapproved", "'CH1'", "'Denied'", "CH1", "PRIN", "", "Y,Y,Principal Approved"},
        {"given chain has no customer", "'CH1'", "'UNAPPROVED'", "CH1", "PRIN", "LHS",
         "N,N,Principal Approved"},
        {"given chain holding a quote", "NULL", "NULL", "O'NEIL", "COACH", "", "Y,Y,Coach OK"},
        {"given chain not found", "'CH1'", "'UNAPPROVED'", "GONE", "PRIN", "", "N,N,NA"},
        // A user without a role must not hold the unused (Null or blank) levels.
        {"blank role, Null levels", "'CH1'", "'Transport Approved'", "", " ", "LHS", "N,N,NA"},
        {"empty role, Null levels", "'CH1'", "'Transport Approved'", "", "", "LHS", "N,N,NA"},
        {"blank role, blank level", "'CH2'", "'Supt Final'", "", " ", "LHS", "N,N,NA"},
        {"blank role, unapproved", "'CH2'", "'UNAPPROVED'", "", " ", "LHS", "Y,N,NA"},
    };
    int tripNumber = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        addRequest(++tripNumber, c.chainSql, c.statusSql);
        EXPECT_EQ(HasAuthority(tripNumber, c.role, c.chainArg, c.customer).answerText(), c.expected);
        EXPECT_EQ(strErrorText, "NA");
    }
}

TEST_F(ApprovalTest, StoredNullsReadAsBlanks) {
    addRequest(1, "NULL", "'Pending'", "NULL");
    EXPECT_EQ(HasAuthority(1, "TEACH", "", "LHS").answerText(), "N,N,NA") << "a request without customer is not LHS's";
    EXPECT_EQ(HasAuthority(1, "TEACH", "", "").answerText(), "Y,N,NA");
    addRequest(2, "'CH1'", "NULL");
    EXPECT_EQ(HasAuthority(2, "BUS", "", "LHS").answerText(), "N,N,Transport Approved");
    EXPECT_EQ(strErrorText, "NA");
}

TEST_F(ApprovalTest, SameCustomerWhateverItsCaseAndBlanks) {
    struct Case {
        const char* storedSql;
        const char* userCustomer;
        const char* expected;
    };
    const std::vector<Case> cases{
        {"'maple'", "MAPLE", "Y,N,NA"},  {"'MAPLE '", "MAPLE", "Y,N,NA"}, {"' Maple'", "maple ", "Y,N,NA"},
        {"'MAPLES'", "MAPLE", "N,N,NA"}, {"'MAPL'", "MAPLE", "N,N,NA"},
    };
    int tripNumber = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.storedSql) + " / " + c.userCustomer);
        addRequest(++tripNumber, "'CH1'", "'UNAPPROVED'", c.storedSql);
        EXPECT_EQ(HasAuthority(tripNumber, "TEACH", "", c.userCustomer).answerText(), c.expected);
        addRequest(++tripNumber, "NULL", "'Pending'", c.storedSql);
        EXPECT_EQ(HasAuthority(tripNumber, "TEACH", "", c.userCustomer).answerText(), c.expected)
            << "no chain";
    }
}

TEST_F(ApprovalTest, UsesTheOpenConnectionsAndLeavesThemOpen) {
    addRequest(7, "'CH1'", "'UNAPPROVED'");
    HasAuthority(7, "PRIN", "", "LHS");
    NextRole("CH1", "UNAPPROVED");
    EXPECT_TRUE(Use(cnSecurity).isOpen());
    EXPECT_TRUE(Use(cnTripSchl).isOpen());
    EXPECT_TRUE(Use(cnTrip).isOpen());

    CloseTripDBConnections();
    EXPECT_EQ(HasAuthority(7, "PRIN", "", "LHS").answerText(), "N,N,NA");
    EXPECT_EQ(strErrorText,
              "Error in Procedure: HasAuthority of Module: mdlApproval.  Error: 91.  "
              "Object variable or With block variable not set.");
    EXPECT_FALSE(cnTripSchl) << "nothing is opened";
}

TEST_F(ApprovalTest, FailuresLeaveTheirTextAndGrantNothing) {
    addRequest(3, "'CH1'", "'Principal Approved'");
    site_.sql("twvlsc1.db", "DROP TABLE VLSCC;");
    EXPECT_EQ(HasAuthority(3, "DIR", "", "LHS").answerText(), "N,N,NA");
    EXPECT_EQ(strErrorText,
              "Error in Procedure: HasAuthority of Module: mdlApproval.  Error: -2147467259.  "
              "no such table: VLSCC.");

    strErrorText = "NA";
    EXPECT_EQ(NextRole("CH1", "UNAPPROVED"), "NA");
    EXPECT_EQ(strErrorText,
              "Error in Procedure: NextRole of Module: mdlApproval.  Error: -2147467259.  "
              "no such table: VLSCC.");

    strErrorText = "NA";
    EXPECT_EQ(HasAuthority(99, "DIR", "", "LHS").answerText(), "N,N,NA");
    EXPECT_EQ(strErrorText,
              "Error in Procedure: HasAuthority of Module: mdlApproval.  Error: 3021.  "
              "Either BOF or EOF is True, or the current record has been deleted. Requested "
              "operation requires a current record..")
        << "a request that does not exist";
}

struct NextRoleCase {
    const char* chain;
    const char* status;
    const char* expected;
};

TEST_F(ApprovalTest, NextRoleFollowsTheChain) {
    const std::vector<NextRoleCase> cases{
        {"CH1", "UNAPPROVED", "PRIN"},
        {"CH1", "unapproved", "PRIN"},
        {"CH1", "Principal Approved", "DIR"},
        {"CH1", "DIRECTOR APPROVED", "BUS"},
        {"CH2", "Supt Reviewed", "DIR"},
        {"FULL", "S7", "R8"},
        {"FULL", "S8", "NA"},                 // last level: nobody follows
        {"CH1", "Transport Approved", "NA"},  // shorter chain, next approver Null
        {"CH2", "Supt Final", "NA"},          // next approver blank
        {"CH1", "On Hold", "NA"},
        {"CH1", "Denied", "NA"},
        {"CH1", "ACCEPTED", "NA"},
        {"CH1", "accepted", "NA"},
        {"CH1", "Pending", "NA"},
        {"ODD", "Pending", "NA"},  // final even where a level uses it
        {"", "UNAPPROVED", "NA"},
        {"   ", "UNAPPROVED", "NA"},
        {"GONE", "UNAPPROVED", "NA"},
        {"O'NEIL", "UNAPPROVED", "COACH"},
        {"x' OR CHAINID <> '", "UNAPPROVED", "NA"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.chain) + " / " + c.status);
        EXPECT_EQ(NextRole(c.chain, c.status), c.expected);
        EXPECT_EQ(strErrorText, "NA");
    }
}

}  // namespace
}  // namespace excursa
