#include "data/connections.h"
#include "frame/memory_host.h"
#include "frame/procedure.h"
#include "items.h"
#include "lookup/form_controls.h"
#include "request/items.h"
#include "request/request_form.h"
#include "startup/items.h"

#include "support/browser_steps.h"
#include "support/message_page.h"
#include "support/test_site.h"

#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <sstream>

namespace excursa {
namespace {

// Every tag of the form, as the form's description spells it.
// clang-format off
constexpr std::array<const char*, 54> kFormTags{
    "wc@Name", "WC@ADDR1", "WC@CITYSTZIP", "WC@PHONE", "WC@TRIPREQCOMMENT",
    "WC@REQUEST", "wc@REQUESTDT", "WC@NEW", "WC@STATUS", "WC@STATUS_DATE", "WC@ENTEREDBY", "WC@ENTERDATE",
    "WC@CHAIN", "WC@APPROVE", "WC@STATUSCOMMENT",
    "WC@CUSTHDR", "WC@CUSTOMER", "WC@CONTACT", "WC@CUSTSPEC", "WC@FUNDHDR", "wc@FUND",
    "WC@DESTHDR", "wc@DESTINATION", "WC@DESTINATIONADDRESS", "WC@DESTSPEC",
    "WC@DATESHDR", "WC@DEPDATE", "WC@RETDATE", "WC@DEPTIME", "WC@RETTIME", "WC@ARRIVETIME", "WC@LEAVETIME",
    "WC@DEPWARN", "WC@RTNWARN", "WC@DEFAULTRETURNDATE", "WC@LEADTIME", "WC@LEADTIMEHARDWARN", "WC@FOCUS",
    "WC@CALENDARBUTTON",
    "WC@INTTRIPNUM", "WC@NUMADULTS", "WC@NUMSTUDENTS", "WC@NUMHAND", "WC@ESTTIME", "WC@ESTMILE",
    "WC@PURPOSE", "WC@PO", "WC@TRIPCOM", "WC@GRADE", "WC@TRIPCAT",
    "WC@REQUESTOREMAILHDR", "WC@REQUESTOREMAIL", "WC@FORMBUTTONS", "WC@PRINT"};
// clang-format on

constexpr const char* kA = "data-a";  // the attribute text every tag of the test template carries
constexpr const char* kTimedOut = "Sorry, your session has timed out please log in again and retry.";

// Each tag between markers, so a test can cut out exactly what one tag became.
std::string MarkedTemplate() {
    std::string html;
    for (const char* tag : kFormTags) {
        const std::string name = UCase(tag);
        html += "[[" + name + "]]<" + std::string(tag) + ">" + kA + "</" + tag + ">[[/" + name + "]]\n";
    }
    return html;
}

std::string Tag(const std::string& page, std::string_view name) {
    const std::string open = "[[" + UCase(name) + "]]";
    const std::string close = "[[/" + UCase(name) + "]]";
    const std::size_t start = page.find(open);
    const std::size_t end = page.find(close);
    if (start == std::string::npos || end == std::string::npos) {
        ADD_FAILURE() << "tag " << name << " missing from the page:\n" << page;
        return "";
    }
    return page.substr(start + open.size(), end - start - open.size());
}

std::string DatePickers(double date, const std::string& prefix) {
    return BuildMonthPicker(date, prefix, kA) + BuildDayPicker(date, prefix, kA) +
           BuildYearPicker(date, prefix, kA);
}

std::string StoredButtons() {
    return "<input type='submit' value='Save' name='btnSubmit' onclick='return validateDepartureDate();' "
           "data-a>"
           "<input type='submit' value='Copy' name='btnSubmit' onclick='return confirmCopy();' data-a>"
           "<input type='reset' value='Reset' name='btnRESET' data-a>"
           "<input type='submit' value='**Exit**' name='btnSubmit' data-a>"
           "&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;&nbsp;"
           "<input type='submit' value='Delete' name='btnSubmit' onclick='return confirmDelete();'data-a>";
}

constexpr const char* kUnsavedButtons =
    "<input type='submit' value='Save' name='btnSubmit' onclick='return validateDepartureDate();' data-a>"
    "<input type='reset' value='Reset' name='btnRESET' data-a>"
    "<input type='submit' value='**Exit**' name='btnSubmit' data-a>";

class RequestDetailTest : public ::testing::Test {
protected:
    RequestDetailTest() {
        site_.sql("twvlsc1.db",
                  "INSERT INTO VLSCU (VLSC1, VLSC2, ROLE, CUSTOMER, SCEXFOVD, SCEXDDFT) VALUES "
                  "('teacher', 'pw', 'TEACHER', 'MAPLE', 0, 0), ('principal', 'pw', 'PRIN', 'MAPLE', 0, 0), "
                  "('office', 'pw', 'TRANSPORT', NULL, 1, 1);"
                  "INSERT INTO VLSCC (CHAINID, LEVEL1APPROVER, Level2Approver, Level1Status, Level2Status) "
                  "VALUES ('CH1', 'PRIN', 'DIST', 'Principal''s OK', 'District OK');");
        site_.sql(
            "trip.db",
            "INSERT INTO District (DISTNAME, TRIPREQ_COMMENT, FUND_DD, USECUSTFUND, DEPDT_LEADTIME, "
            "DEPDT_LEADTIME_HARDWARN) VALUES ('Lakemont', 'Book <b>two</b> weeks ahead.', 0, 0, 10, 1);"
            "INSERT INTO EMAIL_OPTIONS (REQ_EXCURSA_CHANGE, ADM_EXCURSA_CHANGE, APP_EXCURSA_CHANGE) "
            "VALUES (0, 0, 0);"
            "INSERT INTO CUSTOMER (CUSTOMER, CUSTNAME, ACTIVE, CUSTSPEC, REQUESTOR_EMAIL) VALUES "
            "('MAPLE', 'Maple Grove', 1, 'Peanut-free buses', 'office@maple.org'), "
            "('RIVER', 'River & Sons', 1, NULL, NULL);"
            "INSERT INTO DESTINATION (DESTINATION, DESTDESC, DESTADD1, DESTADD2, ACTIVE) VALUES "
            "(1, 'Zoo', '1 Park Rd', 'Lakemont', 1), (2, 'Museum', '5 Main St', NULL, 1);"
            "INSERT INTO GRADE (GRADE, ACTIVE) VALUES ('K', 1), ('1', 1);"
            "INSERT INTO TRIPCAT (TRIPCAT, DESCRIPTION, ACTIVE) VALUES ('EDU', 'Educational', 1), "
            "('SPORT', 'Sports', 1);"
            "INSERT INTO FUND (FUND, FUNDDESC, ACTIVE) VALUES ('GEN', 'General', 1), ('PTA', 'PTA fund', 1);"
            "INSERT INTO CUSTOMER_FUND (CUSTOMER, FUND) VALUES ('MAPLE', 'PTA');");
        site_.sql(
            "Tripschl.db",
            "INSERT INTO TRIPSREQ (TRIPNUM, CUSTOMER, CONTACT, REQUESTOR_EMAIL, DESTINATION, DESTDESC, "
            "DESTADD1, DEPDATE, RETDATE, DEPTIME, RETTIME, LEAVETIME, NUMSTUDENTS, NUMADULTS, NUMHAND, "
            "ESTTIME, ESTMILE, FUND, PO, INTTRIPNUM, TRIPCAT, GRADE, PURPOSE, CUSTSPEC, TRIPCOM, DESTSPEC, "
            "STATUS, STATUS_COMMENT, CHAINID, REQDATE, ENTERDATE, ENTEREDBY, STATUS_DATE) VALUES "
            "(1, 'MAPLE', 'Ms. Lee', 'lee@maple.org', 1, 'Zoo', '1 Park Rd', '2026-05-14 00:00:00', "
            "'2026-05-14 00:00:00', '1899-12-30 09:15:00', '1899-12-30 14:30:00', '1899-12-30 13:00:00', "
            "25, 3, 0, 2.5, 12, 'GEN', 'PO-1', 'M-7', 'EDU', 'K', 'Science', 'Bring lunches', 'Two buses', "
            "'Gate B', 'UNAPPROVED', NULL, 'CH1', '2026-04-02 09:14:00', '2026-04-02 09:14:00', 'teacher', "
            "'2026-04-02 09:14:00');"
            "INSERT INTO TRIPSREQ (TRIPNUM, CUSTOMER, CHAINID, STATUS) VALUES (2, 'MAPLE', 'CH1', "
            "'UNAPPROVED');"
            "INSERT INTO TRIPSREQ (TRIPNUM, CUSTOMER, CONTACT, DESTINATION, DEPDATE, DEPTIME, NUMADULTS, "
            "FUND, "
            "CUSTSPEC, TRIPCOM, DESTSPEC, STATUS, STATUS_COMMENT, CHAINID, REQUESTOR_EMAIL) VALUES "
            "(3, 'MAPLE', 'Mr. <Bo> ', 1, '2026-05-14 00:00:00', '1899-12-30 09:15:00', 4, 'GEN ', 'Nuts & "
            "all', "
            "'Late', 'Gate C', 'Principal''s OK', 'Looks fine', 'CH1', 'bo@maple.org');"
            "INSERT INTO TRIPSREQ (TRIPNUM, CUSTOMER, DESTINATION, DESTDESC, DESTADD1, CHAINID, STATUS) "
            "VALUES "
            "(4, 'MAPLE', 0, 'Grandma''s Farm', 'RR 2', 'CH1', 'UNAPPROVED');"
            "INSERT INTO TRIPSREQ (TRIPNUM, CUSTOMER, CONTACT, PURPOSE, TRIPCOM, REQUESTOR_EMAIL, "
            "INTTRIPNUM, "
            "CHAINID, STATUS) VALUES (5, 'MAPLE', 'O''Brien & <Co>', '<script>', 'a</TEXTAREA><b>', 'x\"@y', "
            "'A''1', 'CH1', 'UNAPPROVED');");
        site_.root().write("www/TripRequestDetail1.htm", MarkedTemplate());
        makeApp();
    }

    void makeApp() {
        WebItemRegistry items = ExcursaItems();
        RegisterRequestDetail(items);
        WebItem search;
        search.name = "RequestSearch";
        search.respond = [](AppObject& app) { app.host.write("[RequestSearch]"); };
        items.add(search);
        // The Copy action of the save: the form shown as an unsaved copy.
        WebItem copy;
        copy.name = "CopyRequest";
        copy.respond = [](AppObject& app) {
            app.blnCopyMode = true;
            RequestDetail_Respond(app);
        };
        items.add(copy);
        // A lookup returning to the form with the session's request number.
        WebItem back;
        back.name = "BackFromLookup";
        back.respond = [](AppObject& app) {
            RequestDetail_UserEvent(app, TextOf(app.host.sessionGet("TripReq")));
        };
        items.add(back);
        // Flags the authority rule never gives together: may approve, may not edit.
        WebItem forced;
        forced.name = "ApproveWithoutEdit";
        forced.respond = [](AppObject& app) {
            if (!PrepareDatabase(app.host)) return;
            RequestRecord(app) = Recordset::Open(Use(cnTripSchl), "SELECT * FROM TRIPSREQ WHERE TRIPNUM = 1");
            app.blnCanApprove = true;
            app.strApproveValue = "Principal's OK";
            app.host.writeTemplate("RequestDetail");
            RequestRecord(app).reset();
            CloseTripDBConnections();
        };
        items.add(forced);
        app_ = std::make_unique<WebApplication>(std::move(items), WebClass_Start, site_.www());
        ASSERT_EQ(app_->warmUp(), "");
    }

    std::string signIn(MemoryHost& browser, const std::string& user,
                       const std::string& button = testing::kWorkWithRequests) {
        return testing::SignIn(browser, user, button);
    }
    std::string newRequest(MemoryHost& browser, const std::string& user) {
        return testing::SignIn(browser, user, testing::kEnterNewRequest);
    }
    std::string open(MemoryHost& browser, const std::string& number) {
        return testing::OpenRequest(browser, number);
    }
    std::string respond(MemoryHost& browser) {
        return browser.get("ExcursaLakemont.asp?WCI=RequestDetail&WCE&WCU").body;
    }

    KeyedStore& session(const MemoryHost& browser) {
        return app_->sessions().acquire(browser.sessionId()).session->values;
    }
    std::string state(const MemoryHost& browser, const std::string& key) {
        return TextOf(session(browser).get("RequestDetail." + key));
    }

    testing::TestSite site_;
    std::unique_ptr<WebApplication> app_;
};

TEST_F(RequestDetailTest, NewRequestIsAnEmptyEditableForm) {
    MemoryHost browser(*app_);
    const std::string page = newRequest(browser, "teacher");
    EXPECT_EQ(Tag(page, "WC@FORMBUTTONS"), kUnsavedButtons);
    for (const char* empty : {"WC@REQUEST", "WC@STATUS", "WC@STATUS_DATE", "WC@ENTEREDBY", "WC@APPROVE",
                              "WC@REQUESTOREMAILHDR", "WC@PRINT", "WC@DESTINATIONADDRESS"}) {
        EXPECT_EQ(Tag(page, empty), "") << empty;
    }
    EXPECT_EQ(Tag(page, "WC@DEFAULTRETURNDATE"),
              "<input type='checkbox' name='chkDefaultReturnDate' value='ON' checked data-a />"
              "Use the departure date as the return date.");
    EXPECT_EQ(Tag(page, "wc@REQUESTDT"), DateText(Today()));
    EXPECT_EQ(Tag(page, "WC@NEW"), "<input type='text' name='New' value='NEW'>");
    EXPECT_EQ(Tag(page, "WC@CHAIN"), "<input type='text' name='CHAINID' value=''>");
    EXPECT_EQ(Tag(page, "WC@CONTACT"),
              "<input type='text' name='Contact' size='25' maxlength='25' value='' data-a>");
    EXPECT_EQ(Tag(page, "WC@REQUESTOREMAIL"), "<input type='text' name='RequestorEmail' value='' data-a>");
    EXPECT_EQ(Tag(page, "WC@CUSTOMER"),
              "<select name='cust' width='100' data-a><option selected></option>"
              "<option selected>MAPLE, Maple Grove</option></select>")
        << "a user with one customer has it chosen";
    EXPECT_EQ(Tag(page, "WC@CUSTHDR"), "<font class=\"label\">Customer:</font>");
    EXPECT_EQ(Tag(page, "WC@DESTHDR"), "<input type='submit' value='Destination' name='btnSubmit' data-a>");
    EXPECT_EQ(Tag(page, "WC@FUNDHDR"), "<b><input type='submit' value='Fund' name='btnSubmit' data-a></b>");
    EXPECT_EQ(Tag(page, "wc@FUND"), "<input type='text' name='fund' size='25' value='' data-a>");
    EXPECT_EQ(Tag(page, "WC@DEPDATE"), DatePickers(kNoDate, "Dep"));
    EXPECT_EQ(Tag(page, "WC@RETTIME"), BuildTimePicker(kNoDate, "RET", kA));
    EXPECT_EQ(Tag(page, "WC@NUMADULTS"), "<input type='text' name='NUMADULTS' size='10' value='' data-a>");
    EXPECT_EQ(Tag(page, "WC@FOCUS"), "document.TripRequestDetail.Dep_month.focus();");
    EXPECT_EQ(Tag(page, "WC@STATUSCOMMENT"), kA) << "no comment: left as written";
    EXPECT_EQ(Tag(page, "WC@TRIPREQCOMMENT"),
              "<b><font color='#FFFFFF'>Book <b>two</b> weeks ahead.</font></b>")
        << "the district's own comment keeps its markup";
    EXPECT_EQ(Tag(page, "wc@Name"), "Lakemont");
    EXPECT_EQ(Tag(page, "WC@CALENDARBUTTON"), "");
    EXPECT_FALSE(cnTrip) << "the connections are closed once the page is written";
}

TEST_F(RequestDetailTest, StoredRequestTheUserMayEdit) {
    MemoryHost browser(*app_);
    signIn(browser, "teacher");
    const std::string page = open(browser, "1");
    EXPECT_EQ(TextOf(session(browser).get("TripReq")), "1");
    EXPECT_EQ(state(browser, "Customer"), "MAPLE");
    EXPECT_EQ(Tag(page, "WC@REQUEST"), "<input type='text' name='TRIPNUM' value='1' readonly>");
    EXPECT_EQ(Tag(page, "wc@REQUESTDT"), "4/2/2026 9:14:00 AM");
    EXPECT_EQ(Tag(page, "WC@NEW"), "<input type='text' name='New' value='EXISTING'>");
    EXPECT_EQ(Tag(page, "WC@STATUS"), "UNAPPROVED");
    EXPECT_EQ(Tag(page, "WC@ENTEREDBY"), "teacher");
    EXPECT_EQ(Tag(page, "WC@CHAIN"), "<input type='text' name='CHAINID' value='CH1'>");
    EXPECT_EQ(Tag(page, "WC@FORMBUTTONS"), StoredButtons());
    EXPECT_EQ(Tag(page, "WC@PRINT"), "<input type=\"submit\" value=\"Print\" name=\"btnSubmit\">");
    EXPECT_EQ(Tag(page, "WC@APPROVE"), "");
    EXPECT_EQ(Tag(page, "WC@REQUESTOREMAILHDR"), kA);
    EXPECT_EQ(Tag(page, "WC@REQUESTOREMAIL"),
              "<input type='text' name='RequestorEmail' value='lee@maple.org' data-a>");
    EXPECT_EQ(Tag(page, "WC@DEFAULTRETURNDATE"),
              "<input type='checkbox' name='chkDefaultReturnDate' value='ON' data-a />"
              "Use the departure date as the return date.");
    EXPECT_EQ(Tag(page, "WC@CONTACT"),
              "<input type='text' name='Contact' size='25' maxlength='25' value='Ms. Lee' data-a>");
    EXPECT_EQ(
        Tag(page, "wc@DESTINATION"),
        "<select name='dest' width='30' data-a><option value='' ></option><option value='2' >Museum</option>"
        "<option value='1' selected>Zoo</option></select>");
    EXPECT_EQ(state(browser, "destination"), "1") << "the stored destination is copied into the form state";
    EXPECT_EQ(state(browser, "destdesc"), "Zoo");
    EXPECT_EQ(state(browser, "destadd1"), "1 Park Rd");
    EXPECT_EQ(state(browser, "destadd2"), "");
    EXPECT_EQ(session(browser).get("RequestDetail.miles"), Value::Long(0));
    EXPECT_EQ(Tag(page, "WC@DESTINATIONADDRESS"),
              "<tr><td><font class='label'>Zoo</font></td><td>1 Park Rd<br>Lakemont</td></tr>");
    EXPECT_EQ(Tag(page, "wc@FUND"), "<input type='text' name='fund' size='25' value='GEN' data-a>");
    EXPECT_EQ(Tag(page, "WC@DEPDATE"), DatePickers(DateSerial(2026, 5, 14), "Dep"));
    EXPECT_EQ(Tag(page, "WC@DEPTIME"), BuildTimePicker(TimeSerial(9, 15, 0), "DEP", kA));
    EXPECT_EQ(Tag(page, "WC@ARRIVETIME"), BuildTimePicker(kNoDate, "ARRIVE", kA)) << "a Null time is no time";
    EXPECT_EQ(Tag(page, "WC@LEAVETIME"), BuildTimePicker(TimeSerial(13, 0, 0), "LEAVE", kA));
    EXPECT_EQ(Tag(page, "WC@NUMSTUDENTS"),
              "<input type='text' name='NUMSTUDENTS' size='10' value='25' data-a>");
    EXPECT_EQ(Tag(page, "WC@ESTTIME"), "<input type='text' name='ESTTIME' size='10' value='2.5' data-a>");
    EXPECT_EQ(Tag(page, "WC@CUSTSPEC"),
              "<textarea rows='3' cols='60' name='CUSTSPEC' data-a>Bring lunches</TEXTAREA>");
    EXPECT_EQ(state(browser, "CUSTSPEC"), "Bring lunches");
    EXPECT_EQ(Tag(page, "WC@DESTSPEC"),
              "<textarea rows='3' cols='60' name='DESTSPEC' data-a>Gate B</TEXTAREA>");
    EXPECT_EQ(
        Tag(page, "WC@TRIPCAT"),
        "<select name='tripcat' data-a><option></option><option selected>EDU</option><option>SPORT</option>"
        "</select>");
    EXPECT_EQ(state(browser, "contact"), "") << "an editable form leaves the other keys alone";
    EXPECT_EQ(state(browser, "NUMADULTS"), "");
    EXPECT_FALSE(cnTrip);
}

TEST_F(RequestDetailTest, ShowingTheFormAgainCompilesNoStatement) {
    MemoryHost browser(*app_);
    signIn(browser, "teacher");
    const std::string first = open(browser, "1");
    const std::string third = open(browser, "3");
    const long compiled = StatementCompilations();
    EXPECT_EQ(open(browser, "1"), first);
    EXPECT_EQ(open(browser, "3"), third);
    EXPECT_EQ(StatementCompilations(), compiled) << "the pages use the statements compiled the first time";
}

TEST_F(RequestDetailTest, StoredRequestOpenedRightAfterANewOneIsNotNew) {
    MemoryHost browser(*app_);
    newRequest(browser, "teacher");
    const std::string page = open(browser, "1");
    EXPECT_EQ(Tag(page, "WC@NEW"), "<input type='text' name='New' value='EXISTING'>");
    EXPECT_EQ(Tag(page, "WC@REQUEST"), "<input type='text' name='TRIPNUM' value='1' readonly>");
    EXPECT_EQ(Tag(page, "WC@FORMBUTTONS"), StoredButtons());
}

TEST_F(RequestDetailTest, StoredRequestTheUserMayOnlyView) {
    MemoryHost browser(*app_);
    signIn(browser, "teacher");
    const std::string page = open(browser, "3");  // past the teacher's level of the chain
    EXPECT_EQ(Tag(page, "WC@CUSTHDR"), "<font class=\"label\">Customer:</font>");
    EXPECT_EQ(Tag(page, "WC@DESTHDR"), "<font class=\"label\">Destination:</font>");
    EXPECT_EQ(Tag(page, "WC@FUNDHDR"), "<font class=\"label\">Fund:</font>");
    EXPECT_EQ(Tag(page, "WC@FORMBUTTONS"),
              "<input type='submit' value='Copy' name='btnSubmit' onclick='return confirmCopy();' data-a>"
              "<input type='submit' value='**Exit**' name='btnSubmit' data-a>");
    EXPECT_EQ(Tag(page, "WC@REQUEST"), "3");
    EXPECT_EQ(Tag(page, "WC@CUSTOMER"), "Maple Grove");
    EXPECT_EQ(Tag(page, "WC@CONTACT"), "Mr. &lt;Bo&gt; ") << "a read-only text as it is stored";
    EXPECT_EQ(Tag(page, "wc@DESTINATION"), "Zoo");
    EXPECT_EQ(Tag(page, "wc@FUND"), "GEN ");
    EXPECT_EQ(Tag(page, "WC@CHAIN"), "CH1");
    EXPECT_EQ(Tag(page, "WC@DEPDATE"), "5/14/2026");
    EXPECT_EQ(Tag(page, "WC@DEPTIME"), "9:15:00 AM");
    EXPECT_EQ(Tag(page, "WC@NUMADULTS"), "4");
    EXPECT_EQ(Tag(page, "WC@FOCUS"), "");
    EXPECT_EQ(Tag(page, "WC@CUSTSPEC"),
              "<textarea rows='3' cols='60' name='CUSTSPEC' readonly='yes' data-a>Nuts &amp; all</TEXTAREA>");
    EXPECT_EQ(Tag(page, "WC@TRIPCOM"),
              "<textarea rows='3' cols='60' name='TRIPCOM' readonly='yes' data-a>Late</TEXTAREA>");
    EXPECT_EQ(Tag(page, "WC@STATUSCOMMENT"), "Approve/Deny Comment:<br>Looks fine");
    EXPECT_EQ(Tag(page, "WC@APPROVE"), "");
    EXPECT_EQ(Tag(page, "WC@REQUESTOREMAIL"), "bo@maple.org");

    // What was shown becomes the form state, for the pages that follow.
    EXPECT_EQ(state(browser, "customer"), "MAPLE");
    EXPECT_EQ(state(browser, "contact"), "Mr. <Bo> ");
    EXPECT_EQ(state(browser, "destination"), "1");
    EXPECT_EQ(state(browser, "Fund"), "GEN ");
    EXPECT_EQ(state(browser, "DEP_HOUR"), "9");
    EXPECT_EQ(state(browser, "DEP_MIN"), "15");
    EXPECT_EQ(state(browser, "DEP_AMPM"), "AM");
    EXPECT_EQ(state(browser, "RET_HOUR"), "") << "an empty stored time gives empty parts";
    EXPECT_EQ(state(browser, "NUMADULTS"), "4");
    EXPECT_EQ(state(browser, "TRIPCOM"), "Late");
    EXPECT_EQ(state(browser, "destspec"), "Gate C");
    EXPECT_EQ(state(browser, "requestoremail"), "bo@maple.org");
    EXPECT_EQ(state(browser, "CUSTSPEC"), "") << "the read-only special instructions keep no state";
}

TEST_F(RequestDetailTest, ApprovalControlsNeedBothFlags) {
    MemoryHost principal(*app_);
    signIn(principal, "principal");
    const std::string approving = open(principal, "1");
    EXPECT_EQ(Tag(approving, "WC@APPROVE"),
              "<p align='left'><input type='radio' name='Approve' value='Principal&#39;s OK'> Approve<br>"
              "<input type='radio' name='Approve' value='Deny'> Deny</p>");
    EXPECT_EQ(Tag(approving, "WC@STATUSCOMMENT"),
              "Approve/Deny Comment:<BR><textarea rows='4' cols='20' name='STATUS_COMMENT'></TEXTAREA>");

    MemoryHost teacher(*app_);  // may edit, may not approve
    signIn(teacher, "teacher");
    const std::string editing = open(teacher, "1");
    EXPECT_EQ(Tag(editing, "WC@APPROVE"), "");
    EXPECT_EQ(Tag(editing, "WC@STATUSCOMMENT"), kA);

    session(teacher).set("RequestDetail.New", "EXISTING");
    const std::string viewing = teacher.get("ExcursaLakemont.asp?WCI=ApproveWithoutEdit&WCE&WCU").body;
    EXPECT_EQ(Tag(viewing, "WC@APPROVE"), "");
    EXPECT_EQ(Tag(viewing, "WC@STATUSCOMMENT"), kA);
    EXPECT_EQ(Tag(viewing, "WC@CONTACT"), "Ms. Lee");
}

TEST_F(RequestDetailTest, TypedInDestinationShowsAsTheFirstChoice) {
    MemoryHost browser(*app_);
    signIn(browser, "teacher");
    session(browser).set("RequestDetail.destination", "keep");
    const std::string page = open(browser, "4");
    EXPECT_EQ(Tag(page, "wc@DESTINATION"),
              "<select name='dest' width='30' data-a><option value='0' selected>Grandma&#39;s Farm</option>"
              "<option value=''></option><option value='2'>Museum</option><option value='1'>Zoo</option>"
              "</select>");
    EXPECT_EQ(Tag(page, "WC@DESTINATIONADDRESS"),
              "<tr><td><font class='label'>** New **</font></td><td>RR 2</td></tr>");
    EXPECT_EQ(state(browser, "destination"), "0") << "the typed-in destination is kept for the next save";
    EXPECT_EQ(state(browser, "destdesc"), "Grandma's Farm");
    EXPECT_EQ(state(browser, "destadd1"), "RR 2");
}

TEST_F(RequestDetailTest, FormReshownFromTheSession) {
    MemoryHost browser(*app_);
    newRequest(browser, "teacher");
    KeyedStore& values = session(browser);
    values.set("LoadRequestDetailFromSession", "True");
    values.set("RequestDetail.customer", "MAPLE");
    values.set("RequestDetail.contact", "Mr. <B>");
    values.set("RequestDetail.destination", "0,Camp Pine");
    values.set("RequestDetail.destadd1", "Lake Rd");
    values.set("RequestDetail.dep_month", "Mar");
    values.set("RequestDetail.dep_date", "5");
    values.set("RequestDetail.DEP_HOUR", "12");
    values.set("RequestDetail.DEP_MIN", "0");
    values.set("RequestDetail.DEP_AMPM", "AM");
    values.set("RequestDetail.ret_month", "Mar");
    values.set("RequestDetail.ret_date", "5");
    values.set("RequestDetail.Fund", "PTA");
    values.set("RequestDetail.NUMADULTS", "4");
    const std::string page = respond(browser);
    EXPECT_EQ(Tag(page, "WC@CONTACT"),
              "<input type='text' name='Contact' size='25' maxlength='25' value='Mr. &lt;B&gt;' data-a>");
    EXPECT_EQ(Tag(page, "wc@DESTINATION")
                  .rfind("<select name='dest' width='30' data-a><option value='0' selected>"
                         "Camp Pine</option><option value=''>",
                         0),
              0u);
    EXPECT_EQ(Tag(page, "WC@DESTINATIONADDRESS"),
              "<tr><td><font class='label'>** New **</font></td><td>Lake Rd</td></tr>");
    EXPECT_EQ(Tag(page, "WC@CUSTSPEC"),
              "<textarea rows='3' cols='60' name='CUSTSPEC' data-a>Peanut-free buses</TEXTAREA>")
        << "the customer's standing instructions when the form state has none";
    EXPECT_EQ(Tag(page, "WC@REQUESTOREMAIL"),
              "<input type='text' name='RequestorEmail' value='office@maple.org' data-a>");
    EXPECT_EQ(Tag(page, "WC@DEPDATE"), DatePickers(DateSerial(Year(Today()), 3, 5), "Dep"))
        << "an empty departure year is this year";
    EXPECT_EQ(Tag(page, "WC@RETDATE"), DatePickers(kNoDate, "Rtn")) << "the return year is not filled in";
    EXPECT_EQ(Tag(page, "WC@DEPTIME"), BuildTimePicker(TimeSerial(0, 0, 1), "DEP", kA));
    EXPECT_NE(Tag(page, "WC@DEPTIME").find("<option selected value = '12'>12</option>"), std::string::npos)
        << "midnight is shown as 12 AM, not as an empty time";
    EXPECT_EQ(Tag(page, "wc@FUND"), "<input type='text' name='fund' size='25' value='PTA' data-a>");
    EXPECT_EQ(Tag(page, "WC@NUMADULTS"), "<input type='text' name='NUMADULTS' size='10' value='4' data-a>");
    EXPECT_EQ(Tag(page, "WC@FORMBUTTONS"), kUnsavedButtons);

    // A stored request re-shown: editable by the authority rule, the number from the session, no Copy.
    values.set("RequestDetail.New", "EXISTING");
    values.set("TRIPREQ", "1");
    const std::string stored = respond(browser);
    EXPECT_EQ(Tag(stored, "WC@REQUEST"), "<input type='text' name='TRIPNUM' value='1' readonly>");
    EXPECT_EQ(Tag(stored, "WC@FORMBUTTONS"), kUnsavedButtons);
    EXPECT_EQ(Tag(stored, "WC@STATUS"), "UNAPPROVED");
    EXPECT_EQ(Tag(stored, "WC@CONTACT"),
              "<input type='text' name='Contact' size='25' maxlength='25' value='Mr. &lt;B&gt;' data-a>");

    // A customer without standing instructions offers them as a null text reads: one blank.
    values.set("RequestDetail.New", "NEW");
    values.set("RequestDetail.customer", "RIVER");
    EXPECT_EQ(Tag(respond(browser), "WC@CUSTSPEC"),
              "<textarea rows='3' cols='60' name='CUSTSPEC' data-a> </TEXTAREA>");
}

TEST_F(RequestDetailTest, CopyTakesWhatWasPostedElseTheFormState) {
    MemoryHost browser(*app_);
    newRequest(browser, "office");
    KeyedStore& values = session(browser);
    values.set("RequestDetail.customer", "MAPLE");
    values.set("RequestDetail.contact", "Old contact");
    values.set("RequestDetail.destination", "1");
    values.set("RequestDetail.destadd1", "1 Park Rd");
    values.set("RequestDetail.NUMADULTS", "7");
    values.set("RequestDetail.destspec", "Gate B");
    values.set("RequestDetail.Fund", "GEN");
    // Times another request left in the form state.
    for (const char* prefix : {"RET", "ARRIVE"}) {
        values.set(std::string("RequestDetail.") + prefix + "_HOUR", "8");
        values.set(std::string("RequestDetail.") + prefix + "_MIN", "50");
        values.set(std::string("RequestDetail.") + prefix + "_AMPM", "AM");
    }
    const std::string page =
        browser
            .post("ExcursaLakemont.asp?WCI=CopyRequest&WCE&WCU", {{"btnSubmit", "Copy"},
                                                                  {"RET_HOUR", " "},
                                                                  {"RET_MIN", " "},
                                                                  {"RET_AMPM", "PM"},
                                                                  {"cust", "RIVER, River & Sons"},
                                                                  {"Contact", "Posted Contact"},
                                                                  {"dest", " "},
                                                                  {"DEP_HOUR", "2"},
                                                                  {"DEP_MIN", "30"},
                                                                  {"DEP_AMPM", "PM"},
                                                                  {"NUMADULTS", ""},
                                                                  {"DESTSPEC", ""},
                                                                  {"TRIPCOM", "Posted <comment>"},
                                                                  {"RequestorEmail", ""}})
            .body;
    EXPECT_NE(Tag(page, "WC@CUSTOMER").find("<option selected>RIVER, River &amp; Sons</option>"),
              std::string::npos);
    EXPECT_EQ(Tag(page, "WC@CONTACT"),
              "<input type='text' name='Contact' size='25' maxlength='25' value='Posted Contact' data-a>");
    EXPECT_EQ(Tag(page, "WC@NUMADULTS"), "<input type='text' name='NUMADULTS' size='10' value='7' data-a>");
    EXPECT_EQ(Tag(page, "WC@DESTSPEC"), "<textarea rows='3' cols='60' name='DESTSPEC' data-a></TEXTAREA>")
        << "the copy takes the posted instructions even when they are empty";
    EXPECT_EQ(Tag(page, "WC@TRIPCOM"),
              "<textarea rows='3' cols='60' name='TRIPCOM' data-a>Posted &lt;comment&gt;</TEXTAREA>");
    EXPECT_EQ(Tag(page, "WC@DEPTIME"), BuildTimePicker(TimeSerial(14, 30, 0), "DEP", kA));
    EXPECT_EQ(Tag(page, "WC@RETTIME"), BuildTimePicker(kNoDate, "RET", kA))
        << "the blank hour chosen is no time, not the one the form state holds";
    EXPECT_EQ(Tag(page, "WC@ARRIVETIME"), BuildTimePicker(TimeSerial(8, 50, 0), "ARRIVE", kA))
        << "an hour not posted at all falls back on the form state";
    EXPECT_EQ(Tag(page, "WC@DEPDATE"), DatePickers(kNoDate, "Dep")) << "a copy asks for new dates";
    EXPECT_EQ(Tag(page, "WC@RETDATE"), DatePickers(kNoDate, "Rtn"));
    EXPECT_NE(Tag(page, "wc@DESTINATION").find("<option value='1' selected>Zoo</option>"), std::string::npos)
        << "a blank posted destination falls back on the form state";
    EXPECT_EQ(Tag(page, "WC@DESTINATIONADDRESS"),
              "<tr><td><font class='label'></font></td><td>1 Park Rd</td></tr>");
    EXPECT_EQ(Tag(page, "wc@FUND"), "<input type='text' name='fund' size='25' value='GEN' data-a>");
    EXPECT_EQ(Tag(page, "WC@REQUESTOREMAIL"),
              "<input type='text' name='RequestorEmail' value='office@maple.org' data-a>");
    EXPECT_EQ(Tag(page, "WC@FORMBUTTONS"), kUnsavedButtons);
    EXPECT_EQ(Tag(page, "WC@CUSTHDR"), "<input type='submit' value='Customer' name='btnSubmit' data-a>")
        << "a user without a customer looks customers up";
}

TEST_F(RequestDetailTest, FundChoicesFollowTheDistrictSettings) {
    KeyedStore& settings = app_->application();
    settings.set("DISTRICT.FUND_DD", "True");
    settings.set("DISTRICT.USECUSTFUND", "True");

    MemoryHost office(*app_);
    EXPECT_EQ(Tag(newRequest(office, "office"), "wc@FUND"),
              "<select name='fund' width='40' data-a><option value='' selected ></option>"
              "<option value='GEN'>General</option><option value='PTA'>PTA fund</option></select>")
        << "the office may use any fund";
    session(office).set("CANOVERRIDEFUND", "False");
    EXPECT_EQ(Tag(respond(office), "wc@FUND"),
              "<select name='fund' width='40' data-a><option value='' selected ></option></select>")
        << "no customer yet: no funds to choose";

    MemoryHost teacher(*app_);
    EXPECT_EQ(Tag(newRequest(teacher, "teacher"), "wc@FUND"),
              "<select name='fund' width='40' data-a><option value='' selected ></option>"
              "<option value='PTA'>PTA fund</option></select>");
    session(teacher).set("RequestDetail.New", "");  // as the request search leaves it
    const std::string stored = open(teacher, "1");
    EXPECT_EQ(Tag(stored, "wc@FUND"),
              "<select name='fund' width='40' data-a><option value=''></option><option value='PTA'>PTA "
              "fund</option>"
              "</select>")
        << "the stored fund is not one of the customer's";
    EXPECT_EQ(Tag(stored, "WC@DESTINATIONADDRESS"),
              "<tr><td><font class='label'>Zoo</font></td><td>1 Park Rd<br>Lakemont</td></tr>")
        << "looked up after the fund list closed the connections";

    settings.set("DISTRICT.USECUSTFUND", "False");
    MemoryHost other(*app_);
    signIn(other, "teacher");  // sign-in lists every fund now
    EXPECT_EQ(Tag(open(other, "1"), "wc@FUND"),
              "<select name='fund' width='40' data-a><option value=''></option>"
              "<option value='GEN' selected >General</option><option value='PTA'>PTA fund</option></select>");
}

TEST_F(RequestDetailTest, NullNumbersShowAsTheirTexts) {
    MemoryHost browser(*app_);
    signIn(browser, "teacher");
    const std::string page = open(browser, "2");
    EXPECT_EQ(Tag(page, "WC@NUMADULTS"), "<input type='text' name='NUMADULTS' size='10' value=' ' data-a>");
    EXPECT_EQ(Tag(page, "WC@NUMSTUDENTS"),
              "<input type='text' name='NUMSTUDENTS' size='10' value='' data-a>");
    EXPECT_EQ(Tag(page, "WC@DEPDATE"), DatePickers(kNoDate, "Dep"));
    EXPECT_EQ(Tag(page, "WC@DESTINATIONADDRESS"), "") << "no destination, no address";
    EXPECT_EQ(Tag(page, "WC@REQUESTOREMAIL"), "<input type='text' name='RequestorEmail' value=' ' data-a>")
        << "a null address reads as one blank";
}

TEST_F(RequestDetailTest, AddressLinesAsTheDestinationTableHoldsThem) {
    site_.sql("Tripschl.db", "UPDATE TRIPSREQ SET DESTINATION = 2 WHERE TRIPNUM = 1");
    MemoryHost browser(*app_);
    signIn(browser, "teacher");
    EXPECT_EQ(Tag(open(browser, "1"), "WC@DESTINATIONADDRESS"),
              "<tr><td><font class='label'>Museum</font></td><td>5 Main St<br> </td></tr>")
        << "a null second line reads as one blank, which is not empty";

    site_.sql("trip.db",
              "UPDATE DESTINATION SET DESTADD1 = ' 5 Main St ', DESTADD2 = '' WHERE DESTINATION = 2");
    EXPECT_EQ(Tag(open(browser, "1"), "WC@DESTINATIONADDRESS"),
              "<tr><td><font class='label'>Museum</font></td><td> 5 Main St </td></tr>");
}

TEST_F(RequestDetailTest, LeadTimeAndItsOverride) {
    MemoryHost teacher(*app_);
    const std::string page = newRequest(teacher, "teacher");
    EXPECT_EQ(Tag(page, "WC@LEADTIME"), "10");
    EXPECT_EQ(Tag(page, "WC@LEADTIMEHARDWARN"), "True");
    MemoryHost office(*app_);
    EXPECT_EQ(Tag(newRequest(office, "office"), "WC@LEADTIMEHARDWARN"), "False");
}

TEST_F(RequestDetailTest, DateWarningsOfTheLastSave) {
    MemoryHost browser(*app_);
    newRequest(browser, "teacher");
    session(browser).set("blnRtnDtWarn", Value::Boolean(true));
    session(browser).set("strRtnDtWarn", "WARNING - Field day <b>");
    const std::string page = respond(browser);
    EXPECT_EQ(Tag(page, "WC@DATESHDR"), "*DATES/TIMES - <font color='FF0000'>WARNING</font>*");
    EXPECT_EQ(Tag(page, "WC@DEPWARN"), kA);
    EXPECT_EQ(Tag(page, "WC@RTNWARN"),
              "<tr valign='top'><td align='left' colspan='3' bgcolor='#ffff99'><font color='FF0000'>"
              "WARNING - Field day &lt;b&gt;</font></td></tr>");
    session(browser).set("blnDepDtWarn", Value::Boolean(true));
    session(browser).set("strDepDtWarn", "WARNING - late");
    EXPECT_EQ(Tag(respond(browser), "WC@DEPWARN"),
              "<tr valign='top'><td align='left' colspan='3' bgcolor='#ffff99'><font color='FF0000'>"
              "Departure -WARNING - late</font></td></tr>");
}

TEST_F(RequestDetailTest, StoredTextsAreEscaped) {
    MemoryHost browser(*app_);
    signIn(browser, "teacher");
    const std::string page = open(browser, "5");
    EXPECT_EQ(Tag(page, "WC@CONTACT"),
              "<input type='text' name='Contact' size='25' maxlength='25' value='O&#39;Brien &amp; "
              "&lt;Co&gt;' data-a>");
    EXPECT_EQ(Tag(page, "WC@PURPOSE"),
              "<input type='text' name='PURPOSE' size='10' maxlength='25' value='&lt;script&gt;' data-a>");
    EXPECT_EQ(Tag(page, "WC@TRIPCOM"),
              "<textarea rows='3' cols='60' name='TRIPCOM' data-a>a&lt;/TEXTAREA&gt;&lt;b&gt;</TEXTAREA>");
    EXPECT_EQ(Tag(page, "WC@REQUESTOREMAIL"),
              "<input type='text' name='RequestorEmail' value='x&quot;@y' data-a>");
    EXPECT_EQ(Tag(page, "WC@INTTRIPNUM"),
              "<input type='text' name='INTTRIPNUM' size='30' maxlength='30' value='A&#39;1' data-a>");
}

TEST_F(RequestDetailTest, ExpiredSessionShowsTheSignOutPage) {
    MemoryHost browser(*app_);
    const std::string page = open(browser, "1");
    EXPECT_NE(page.find(kTimedOut), std::string::npos);
    EXPECT_EQ(page.find("[[WC@CONTACT]]"), std::string::npos);
    EXPECT_NE(respond(browser).find(kTimedOut), std::string::npos);
}

TEST_F(RequestDetailTest, RequestNumberMustBeAWholeNumber) {
    MemoryHost browser(*app_);
    signIn(browser, "teacher");
    open(browser, "1");
    EXPECT_EQ(testing::WrittenText(open(browser, "1%29%20or%20%281%3D1")),
              "Error in Procedure: RequestDetail_UserEvent of Module: Excursa.  Error: 13.  Type mismatch.");
    EXPECT_EQ(TextOf(session(browser).get("TRIPREQ")), "1") << "the request on the form stays";
    EXPECT_FALSE(cnTrip);
}

TEST_F(RequestDetailTest, UnknownRequestNumberIsTheAuthorityError) {
    MemoryHost browser(*app_);
    signIn(browser, "teacher");
    const std::string page = testing::WrittenText(open(browser, "999"));
    EXPECT_EQ(page.rfind("Error in Procedure: HasAuthority of Module: mdlApproval.  Error: 3021.", 0), 0u)
        << page;
    EXPECT_EQ(page.find("[["), std::string::npos) << "the form is not shown";
}

TEST_F(RequestDetailTest, RespondOpensTheExistingRequestOfTheSession) {
    MemoryHost browser(*app_);
    signIn(browser, "teacher");
    session(browser).set("RequestDetail.New", "EXISTING");
    session(browser).set("TRIPREQ", Value::Long(1));
    const std::string page = respond(browser);
    EXPECT_EQ(Tag(page, "WC@REQUEST"), "<input type='text' name='TRIPNUM' value='1' readonly>");
    EXPECT_EQ(Tag(page, "WC@FORMBUTTONS"), StoredButtons());
}

TEST_F(RequestDetailTest, ReturnFromALookupWithoutANumber) {
    MemoryHost browser(*app_);
    newRequest(browser, "teacher");
    session(browser).set("LoadRequestDetailFromSession", "True");
    session(browser).set("RequestDetail.contact", "From the lookup");
    const std::string page = browser.get("ExcursaLakemont.asp?WCI=BackFromLookup&WCE&WCU").body;
    EXPECT_EQ(Tag(page, "WC@CONTACT"),
              "<input type='text' name='Contact' size='25' maxlength='25' value='From the lookup' data-a>");

    // A stored request that is not open when the tags need it: the handler's own error text.
    session(browser).set("LoadRequestDetailFromSession", "False");
    session(browser).set("RequestDetail.New", "EXISTING");
    const std::string broken = browser.get("ExcursaLakemont.asp?WCI=BackFromLookup&WCE&WCU").body;
    EXPECT_NE(broken.find("Error in Procedure: RequestDetail_ProcessTag of Module: Excursa.  Error: 91.  "
                          "Object variable or With block variable not set."),
              std::string::npos);
}

// The real template: every tag is replaced, and the page carries its form and script.
TEST_F(RequestDetailTest, TheFormTemplate) {
    std::ifstream in(std::string(EXCURSA_SOURCE_DIR) + "/templates/TripRequestDetail1.htm", std::ios::binary);
    std::stringstream source;
    source << in.rdbuf();
    const std::string html = source.str();
    for (const char* tag : kFormTags) {
        EXPECT_NE(UCase(html).find("<" + UCase(tag) + ">"), std::string::npos) << tag;
    }
    site_.root().write("www/TripRequestDetail1.htm", html);

    MemoryHost browser(*app_);
    for (const std::string& page : {newRequest(browser, "teacher"), open(browser, "1"), open(browser, "3")}) {
        EXPECT_EQ(UCase(page).find("<WC@"), std::string::npos);
        EXPECT_NE(page.find("<form name=\"TripRequestDetail\""), std::string::npos);
        EXPECT_NE(page.find("action=\"ExcursaLakemont.asp?WCI=RequestDetail&WCE=TripRequestDetail&WCU\""),
                  std::string::npos);
        for (const char* script : {"validateDepartureDate", "confirmCopy", "confirmDelete", "dropDownChanged",
                                   "name=\"dropDownChange\""}) {
            EXPECT_NE(page.find(script), std::string::npos) << script;
        }
    }
    const std::string stored = open(browser, "1");
    EXPECT_NE(stored.find("<select name='cust' width='100' id=\"cust\" aria-label=\"Customer\" "
                          "onchange=\"dropDownChanged()\">"),
              std::string::npos);
    EXPECT_NE(stored.find("<input type=\"hidden\" id=\"leadTimeDays\" value=\"10\">"), std::string::npos);
}

}  // namespace
}  // namespace excursa
