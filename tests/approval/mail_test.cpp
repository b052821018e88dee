#include "approval/mail.h"
#include "frame/metrics.h"

#include "config/diagnostic_log.h"
#include "config/settings.h"
#include "config/site.h"
#include "data/connections.h"
#include "frame/keys.h"
#include "frame/worker_state.h"

#include "support/in_request.h"
#include "support/message_page.h"
#include "support/smtp_server.h"
#include "support/test_site.h"

#include <Poco/DOM/DOMParser.h>
#include <Poco/DOM/Document.h>
#include <Poco/DOM/Element.h>
#include <Poco/DOM/NodeList.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace excursa {
namespace {

std::string ReadText(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The lines the last SendEmail traced, from its "Starting SendEmail" on.
std::vector<std::string> LastTrace() {
    const std::string log = ReadText(NativePath(kLogFile));
    const std::size_t start = log.rfind("Starting SendEmail");
    std::vector<std::string> lines;
    if (start == std::string::npos) return lines;
    std::istringstream rest(log.substr(start));
    std::string line;
    while (std::getline(rest, line)) lines.push_back(line);
    return lines;
}

class MailTest : public ::testing::Test {
protected:
    MailTest() {
        site_.sql("twvlsc1.db",
                  "INSERT INTO VLSCU (VLSC1, ROLE, CUSTOMER, EMAIL) VALUES "
                  "('p1', 'PRIN', 'MAPLE', 'p1@maple.org'), ('d1', 'PRIN', '', 'all@district.org'), "
                  "('d2', 'PRIN', NULL, '  null@district.org  '), ('r1', 'PRIN', 'RIVER', 'r1@river.org'), "
                  "('x1', 'PRIN', 'MAPLE', NULL), ('x2', 'PRIN', 'MAPLE', ' '), "
                  "('t1', 'DIST', 'MAPLE', 'dist@district.org');"
                  "INSERT INTO VLSCC (CHAINID, LEVEL1APPROVER, Level2Approver, Level1Status, Level2Status) "
                  "VALUES ('CH1', 'PRIN', 'DIST', 'Principal OK', 'District OK');");
    }

    std::map<std::string, Value> settings(int port, bool authentication = false) const {
        return {{std::string(key::SmtpServer), "127.0.0.1"},
                {std::string(key::SmtpPort), std::to_string(port)},
                {std::string(key::SmtpAuthentication), Value::Boolean(authentication)},
                {std::string(key::SmtpUsername), authentication ? "mailer" : ""},
                {std::string(key::SmtpPassword), authentication ? "s3cret" : ""},
                {std::string(key::EmailFromAddress), "trips@lakemont.example"},
                {std::string(key::EmailFromName), "Lakemont Field Trips"}};
    }

    std::string send(const std::map<std::string, Value>& appValues, const std::string& recipient,
                     const std::string& subject = "Excursa - Trip Request #7",
                     const std::string& body = "Hello") {
        return testing::RunInRequest(
            site_.www(), [&](AppObject& app) { SendEmail(app, recipient, subject, body); }, appValues);
    }

    // The timeout setting is read from trip.ini, found through the application's folder.
    void setTimeout(const std::string& seconds) {
        std::map<std::string, std::string> ini = testing::DefaultTripIni();
        ini["SmtpTimeoutSeconds"] = seconds;
        site_.writeTripIni(ini);
        strAppPath = site_.www().string() + "/";
    }

    std::filesystem::path errorLog() const { return NativePath(kMailErrorLogFile); }

    testing::TestSite site_;
};

#define REQUIRE_SMTP_SERVER()                                                           \
    if (!testing::SmtpServer::Available())                                              \
    GTEST_SKIP() << "the mail tests need a real SMTP server: install python3-aiosmtpd " \
                    "(scripts/install-deps)"

// A counter of the process's metrics, as /metrics answers it.
long MailCounter(std::string_view name) {
    const std::string text = ProcessMetrics().text(SessionCounts{});
    const std::string line = "\n" + std::string(name) + " ";
    const std::size_t at = text.find(line);
    return at == std::string::npos ? -1 : std::stol(text.substr(at + line.size()));
}

TEST_F(MailTest, DeliversToEveryRecipientOfTheText) {
    REQUIRE_SMTP_SERVER();
    testing::SmtpServer server;
    const long sentBefore = MailCounter("excursa_mails_sent_total");
    const std::string body = "Trip Request #7 has changed.\r\nCustomer: Maple Grove\r\nNew Status: Denied";
    EXPECT_EQ(send(settings(server.port()), "a@maple.org; b@river.org", "Excursa - Trip Request #7", body),
              "");

    const std::vector<std::string> received = server.messages();
    ASSERT_EQ(received.size(), 1u);
    const std::string& mail = received[0];
    EXPECT_EQ(testing::Header(mail, "Subject"), "Excursa - Trip Request #7");
    EXPECT_EQ(testing::Header(mail, "From"), "Lakemont Field Trips <trips@lakemont.example>");
    EXPECT_EQ(testing::Header(mail, "X-RcptTo"), "a@maple.org, b@river.org")
        << "one recipient text, two mails";
    EXPECT_EQ((testing::Body(mail)),
              "Trip Request #7 has changed.\nCustomer: Maple Grove\nNew Status: Denied");

    const std::vector<std::string> trace = LastTrace();
    const std::vector<std::string> expected{"Starting SendEmail",
                                            "MailMan Dimmed",
                                            "SmtpServer: 127.0.0.1",
                                            "SmtpPort: " + std::to_string(server.port()),
                                            "SmtpAuthentication: False",
                                            "Subject: Excursa - Trip Request #7",
                                            "Body: " + body,
                                            "EmailAddress: a@maple.org; b@river.org",
                                            "FromAddress: trips@lakemont.example",
                                            "FromName: Lakemont Field Trips",
                                            "success: 1"};
    std::string traced;
    for (const std::string& line : trace) traced += line + "\n";
    std::string wanted;
    for (const std::string& line : expected) wanted += line + "\n";
    EXPECT_EQ(traced, wanted) << "the body keeps its CRLF line breaks";
    EXPECT_FALSE(std::filesystem::exists(errorLog()));
    EXPECT_EQ(MailCounter("excursa_mails_sent_total"), sentBefore + 1);
}

TEST_F(MailTest, AuthenticatesWithoutTracingThePassword) {
    REQUIRE_SMTP_SERVER();
    for (const char* excluded : {"LOGIN", "PLAIN"}) {
        SCOPED_TRACE(std::string("without ") + excluded);
        testing::SmtpServer server("mailer", "s3cret", excluded);
        EXPECT_EQ(send(settings(server.port(), true), "a@maple.org"), "");
        EXPECT_EQ(server.messages().size(), 1u);
        const std::string log = ReadText(NativePath(kLogFile));
        EXPECT_NE(log.find("SmtpUsername: mailer\nSmtpPassword: ********\n"), std::string::npos) << log;
        EXPECT_EQ(log.find("s3cret"), std::string::npos);

        // Wrong credentials: the server refuses, the failure is recorded, no page error.
        std::map<std::string, Value> wrong = settings(server.port(), true);
        wrong[std::string(key::SmtpPassword)] = "guess";
        EXPECT_EQ(send(wrong, "a@maple.org"), "");
        EXPECT_EQ(server.messages().size(), 1u);
        EXPECT_EQ(LastTrace().back().rfind("<MailError>", 0), 0u);
        EXPECT_EQ(ReadText(errorLog()).find("guess"), std::string::npos);
    }
}

TEST_F(MailTest, OfferedStartTlsIsTakenAndAnUntrustedServerGetsNothing) {
    REQUIRE_SMTP_SERVER();
    testing::SmtpServer server{testing::SmtpServer::WithStartTls{}};
    EXPECT_EQ(send(settings(server.port()), "a@maple.org", "Secret subject"), "");
    EXPECT_EQ(server.messages().size(), 0u) << "no mail in clear text after a failed STARTTLS";
    const std::string log = ReadText(errorLog());
    EXPECT_NE(log.find("<Subject>Secret subject</Subject>"), std::string::npos);
    EXPECT_NE(FindNoCase(log, "certificate"), std::string::npos) << log;
}

TEST_F(MailTest, MisconfiguredSettingsSendNothing) {
    for (const auto& missing : {key::SmtpServer, key::EmailFromAddress, key::EmailFromName}) {
        std::map<std::string, Value> values = settings(25);
        values[std::string(missing)] = "";
        strErrorText = "NA";
        EXPECT_EQ(testing::WrittenText(send(values, "a@maple.org")),
                  "Misconfigured email options in ini file.")
            << missing;
        EXPECT_EQ(LastTrace(), std::vector<std::string>{"Starting SendEmail"}) << missing;
    }
}

TEST_F(MailTest, PortThatIsNoNumberIsTheErrorText) {
    std::map<std::string, Value> values = settings(25);
    values[std::string(key::SmtpPort)] = "smtp";
    EXPECT_EQ(testing::WrittenText(send(values, "a@maple.org")),
              "Error in Procedure: SendEmail of Module: Excursa.  Error: 13.  Type mismatch.");
}

TEST_F(MailTest, FailedSendsGoToAWellFormedXmlLog) {
    const int closedPort = testing::FreePort();
    const long failedBefore = MailCounter("excursa_mails_failed_total");
    EXPECT_EQ(send(settings(closedPort), "a@maple.org", "First <subject> & more"), "")
        << "a failed send is no error of the page";
    EXPECT_EQ(send(settings(closedPort), "b@river.org", "Second"), "");
    EXPECT_EQ(MailCounter("excursa_mails_failed_total"), failedBefore + 2);
    const std::vector<std::string> trace = LastTrace();
    ASSERT_GE(trace.size(), 2u);
    EXPECT_EQ(trace[trace.size() - 2], "success: 0");
    EXPECT_EQ(trace.back().rfind("<MailError><Date>", 0), 0u) << trace.back();

    Poco::XML::DOMParser parser;
    Poco::AutoPtr<Poco::XML::Document> log = parser.parseString(ReadText(errorLog()));
    Poco::AutoPtr<Poco::XML::NodeList> entries = log->documentElement()->getElementsByTagName("MailError");
    ASSERT_EQ(entries->length(), 2u);
    const auto text = [&](unsigned long entry, const std::string& name) {
        return static_cast<Poco::XML::Element*>(entries->item(entry))->getChildElement(name)->innerText();
    };
    EXPECT_EQ(text(0, "Recipient"), "a@maple.org");
    EXPECT_EQ(text(0, "Subject"), "First <subject> & more");
    EXPECT_FALSE(text(0, "Error").empty());
    EXPECT_EQ(text(1, "Recipient"), "b@river.org");
    EXPECT_EQ(text(1, "Date").size(), 19u);
}

TEST_F(MailTest, UnreadableErrorLogIsKeptAside) {
    std::filesystem::create_directories(errorLog().parent_path());
    std::ofstream(errorLog()) << "<ErrorLog><MailError>cut off";
    send(settings(testing::FreePort()), "a@maple.org");
    Poco::XML::DOMParser parser;
    Poco::AutoPtr<Poco::XML::Document> log = parser.parseString(ReadText(errorLog()));
    Poco::AutoPtr<Poco::XML::NodeList> entries = log->documentElement()->getElementsByTagName("MailError");
    EXPECT_EQ(entries->length(), 1u);
    int keptAside = 0;
    for (const auto& entry : std::filesystem::directory_iterator(errorLog().parent_path())) {
        if (entry.path().filename().string().rfind("ErrorLog.xml.unreadable-", 0) == 0) {
            ++keptAside;
            EXPECT_EQ(ReadText(entry.path()), "<ErrorLog><MailError>cut off");
        }
    }
    EXPECT_EQ(keptAside, 1);
}

TEST_F(MailTest, SilentServerCostsOnlyTheTimeout) {
    setTimeout("1");
    testing::SilentServer silent;
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(send(settings(silent.port()), "a@maple.org"), "");
    const auto waited = std::chrono::steady_clock::now() - started;
    EXPECT_LT(waited, std::chrono::seconds(4));
    EXPECT_EQ(LastTrace()[LastTrace().size() - 2], "success: 0");
}

TEST_F(MailTest, TimeoutSettingIsOptional) {
    strAppPath = site_.www().string() + "/";
    EXPECT_EQ(GetOptionalTripIniSetting("SmtpTimeoutSeconds"), "");
    EXPECT_EQ(strErrorText, "NA") << "a missing optional key is no error";
    setTimeout("3");
    EXPECT_EQ(GetOptionalTripIniSetting("SmtpTimeoutSeconds"), "3");
}

// ------------------------------------------------------------ approvers

class ApproverMailTest : public MailTest {
protected:
    void SetUp() override {
        SetTripPaths();
        SetTripDBConnections();
        ASSERT_EQ(strErrorText, "NA");
    }
};

TEST_F(ApproverMailTest, AddressesOfTheRoleForTheCustomer) {
    struct Case {
        const char* role;
        const char* customer;
        const char* expected;
    };
    const std::vector<Case> cases{
        {"PRIN", "MAPLE", "p1@maple.org; all@district.org; null@district.org"},
        {"PRIN", "RIVER", "all@district.org; null@district.org; r1@river.org"},
        {"DIST", "MAPLE", "dist@district.org"},
        {"DIST", "RIVER", "NA"},
        {"NOBODY", "MAPLE", "NA"},
        {"", "MAPLE", ""},
        {"PRIN", "O'Neil", "all@district.org; null@district.org"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(GetApproverEmail(c.role, c.customer), c.expected) << c.role << "/" << c.customer;
    }
    EXPECT_EQ(strErrorText, "NA");
}

TEST_F(ApproverMailTest, FailureLeavesItsText) {
    CloseTripDBConnections();
    EXPECT_EQ(GetApproverEmail("PRIN", "MAPLE"), "NA");
    EXPECT_EQ(strErrorText,
              "Error in Procedure: GetApproverEmail of Module: mdlApproval.  Error: 91.  "
              "Object variable or With block variable not set.");
}

// ---------------------------------------------------------------- notices

RequestNotice Notice(const std::string& status, const std::string& oldStatus, bool isNew) {
    RequestNotice notice;
    notice.tripNumber = "42";
    notice.status = status;
    notice.oldStatus = oldStatus;
    notice.isNew = isNew;
    notice.requestorEmail = "lee@maple.org";
    notice.chainId = "CH1 ";
    notice.customer = "MAPLE";
    notice.customerName = "Maple Grove";
    notice.destination = "Zoo";
    notice.departureDate = "5/14/2026";
    notice.students = "25";
    return notice;
}

class NoticeTest : public ApproverMailTest {
protected:
    // Sends the notices with both switches as given; answers what the page got.
    std::string notify(const RequestNotice& notice, bool requester, bool approvers, int port,
                       bool* goesOn = nullptr, const std::string& earlierError = "NA") {
        return testing::RunInRequest(
            site_.www(),
            [&](AppObject& app) {
                strErrorText = earlierError;
                app.host.sessionSet(key::MailRequester, requester ? "True" : "False");
                app.host.sessionSet(key::MailApprovers, approvers ? "True" : "False");
                const bool result = SendStatusNotices(app, notice);
                if (goesOn) *goesOn = result;
            },
            settings(port));
    }
};

TEST_F(NoticeTest, NewRequestMailsTheRequesterAndTheFirstApprovers) {
    REQUIRE_SMTP_SERVER();
    testing::SmtpServer server;
    bool goesOn = false;
    EXPECT_EQ(notify(Notice("UNAPPROVED", "", true), true, true, server.port(), &goesOn), "");
    EXPECT_TRUE(goesOn);
    const std::vector<std::string> received = server.messages();
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(testing::Header(received[0], "Subject"), "Excursa - Trip Request #42");
    EXPECT_EQ(testing::Header(received[0], "X-RcptTo"), "lee@maple.org");
    EXPECT_EQ((testing::Body(received[0])),
              "A New Trip Request, Request #42 has been entered.\nCustomer: Maple Grove\nDestination: Zoo\n"
              "Dep Dt: 5/14/2026\n# Students: 25\nNew Status: UNAPPROVED");
    EXPECT_EQ(testing::Header(received[1], "Subject"),
              "Excursa - Trip Request Request #42 needs your approval");
    EXPECT_EQ(testing::Header(received[1], "X-RcptTo"), "p1@maple.org, all@district.org, null@district.org");
    EXPECT_EQ((testing::Body(received[1])),
              "Trip Request #42 needs your approval (in the Excursa software).\n\nCustomer: Maple Grove\n"
              "Destination: Zoo\nDep Dt: 5/14/2026\n# Students: 25\nNew Status: UNAPPROVED");
    EXPECT_NE(
        ReadText(NativePath(kLogFile))
            .find("Body: Trip Request #42 needs your approval (in the Excursa software).\r\n\r\nCustomer: "),
        std::string::npos)
        << "line breaks are CRLF, two after the approver mail's first line";
}

TEST_F(NoticeTest, WhoIsMailedWhen) {
    REQUIRE_SMTP_SERVER();
    struct Case {
        const char* what;
        RequestNotice notice;
        bool requester;
        bool approvers;
        std::vector<std::string> subjects;
    };
    RequestNotice noAddress = Notice("Principal OK", "UNAPPROVED", false);
    noAddress.requestorEmail = " ";
    RequestNotice notAnAddress = Notice("Principal OK", "UNAPPROVED", false);
    notAnAddress.requestorEmail = "lee at maple";
    const std::vector<Case> cases{
        {"status unchanged (letter case aside)", Notice("unapproved", "UNAPPROVED", false), true, true, {}},
        {"changed: requester and level 2",
         Notice("Principal OK", "UNAPPROVED", false),
         true,
         true,
         {"Excursa - Trip Request #42", "Excursa - Trip Request Request #42 needs your approval"}},
        {"switches off", Notice("Principal OK", "UNAPPROVED", false), false, false, {}},
        {"requester without an address", noAddress, true, false, {}},
        {"requester address without @", notAnAddress, true, false, {}},
        {"last level: nobody approves next", Notice("District OK", "Principal OK", false), false, true, {}},
        {"denied", Notice("Denied", "UNAPPROVED", false), false, true, {}},
        {"pending", Notice("Pending", "UNAPPROVED", false), false, true, {}},
        {"accepted", Notice("ACCEPTED", "District OK", false), false, true, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testing::SmtpServer server;
        EXPECT_EQ(notify(c.notice, c.requester, c.approvers, server.port()), "");
        std::vector<std::string> subjects;
        for (const std::string& mail : server.messages())
            subjects.push_back(testing::Header(mail, "Subject"));
        EXPECT_EQ(subjects, c.subjects);
    }
    EXPECT_NE(ReadText(NativePath(kLogFile)).find("Trip Request #42 has changed.\r\n"), std::string::npos);
}

TEST_F(NoticeTest, EarlierErrorEndsTheSaveBeforeAnyMail) {
    const std::string earlier =
        "Error in Procedure: HasAuthority of Module: mdlApproval.  Error: 3021.  No record.";
    bool goesOn = true;
    EXPECT_EQ(notify(Notice("UNAPPROVED", "", true), true, true, testing::FreePort(), &goesOn, earlier), "");
    EXPECT_FALSE(goesOn);
    EXPECT_EQ(LastTrace(), std::vector<std::string>{});
}

TEST_F(NoticeTest, FailedApproverLookUpEndsTheSave) {
    CloseTripDBConnections();
    bool goesOn = true;
    const std::string page =
        notify(Notice("UNAPPROVED", "", true), false, true, testing::FreePort(), &goesOn);
    EXPECT_FALSE(goesOn);
    EXPECT_EQ(strErrorText.rfind("Error in Procedure: NextRole of Module: mdlApproval.", 0), 0u)
        << strErrorText;
}

}  // namespace
}  // namespace excursa
