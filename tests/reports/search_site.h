// A site for the search and report pages: a small district, its users and approval chains, and
// pages whose templates mark every tag. Requests and trips are added by each test.
#pragma once

#include "frame/memory_host.h"
#include "frame/web_application.h"
#include "items.h"
#include "startup/items.h"

#include "support/marked_template.h"
#include "support/test_site.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace excursa::testing {

using Form = std::vector<std::pair<std::string, std::string>>;

inline constexpr const char* kUrl = "ExcursaLakemont.asp";
inline constexpr const char* kTimedOut = "Sorry, your session has timed out please log in again and retry.";

// The select list of the request searches, as they store it.
inline const std::string kRequestSelect =
    "SELECT TRIPSREQ.TRIPNUM, TRIPSREQ.ENTERDATE, TRIPSREQ.CONTACT, TRIPSREQ.INTTRIPNUM, TRIPSREQ.CUSTOMER, "
    "TRIPSREQ.DESTINATION, tripsreq.destdesc as trDESTDESC, TRIPSREQ.DEPDATE, TRIPSREQ.DEPTIME, "
    "TRIPSREQ.STATUS, "
    "DateValue(TRIPSREQ.STATUS_DATE) AS Expr1, TRIPSREQ.STATUS_COMMENT, TRIPSREQ.GRADE, TRIPSREQ.RETDATE, "
    "TRIPSREQ.RETTIME, TRIPSREQ.ARRIVETIME, TRIPSREQ.LEAVETIME, TRIPSREQ.FUND, TRIPSREQ.REQDATE, "
    "TRIPSREQ.CHAINID, TRIPSREQ.FIELDTRIP_NUM, TRIPSREQ.TRIPCAT, TRIPSREQ.NUMSTUDENTS, TRIPSREQ.NUMADULTS, "
    "TRIPSREQ.PURPOSE FROM TRIPSREQ";
inline const std::string kRequestOrder = " ORDER BY TRIPSREQ.DEPDATE, TRIPSREQ.DEPTIME, TRIPSREQ.DESTINATION";

// The trip list query without its condition and order.
inline const std::string kTripSelect =
    "SELECT TRIPS.TRIPNUM, TRIPS.ESTTIME, TRIPS.ESTMILE, TRIPS.INTTRIPNUM, TRIPS.CUSTOMER, "
    "CUSTOMER.CUSTNAME, "
    "TRIPS.DESTINATION, DESTINATION.DESTDESC, TRIPS.DEPDATE, TRIPS.DEPTIME, TRIPS.ASSIGNED, TRIPS.BILLED, "
    "DateValue(TRIPS.BILLDATE) AS BILLDATE, TRIPS.CANCELED, DATEVALUE(TRIPS.CANDATE) AS CANDATE, "
    "TRIPS.GRADE, "
    "CUSTOMER.CUSTDIV, TRIPS.RETDATE, TRIPS.RETTIME, TRIPS.FUND, TRIPS.TRIPREQNUM, TRIPS.PO, TRIPS.TRIPCAT, "
    "TRIPS.SCHEDULE, TRIPS.NUMSTUDENTS, TRIPS.NUMADULTS, TRIPS.CONTACT, TRIPS.ARRIVETIME, TRIPS.LEAVETIME, "
    "TRIPS.PURPOSE, TRIPS.SHUTTLE, CUSTOMER_1.CUSTNAME as BILLCUSTNAME, TRIPS.BILLCUST, "
    "(SELECT SUM(TRANAMT) FROM ARDETAIL WHERE TRANCODE='BIL' AND TRIPNUM=TRIPS.TRIPNUM) AS TOTALBILLED, "
    "(SELECT SUM(TRANAMT) FROM ARDETAIL WHERE TRIPNUM=TRIPS.TRIPNUM) AS TOTALDUE "
    "FROM (((TRIPS LEFT JOIN CUSTOMER ON TRIPS.CUSTOMER = CUSTOMER.CUSTOMER) "
    "LEFT JOIN DESTINATION ON TRIPS.DESTINATION = DESTINATION.DESTINATION) "
    "LEFT JOIN CUSTOMER AS CUSTOMER_1 ON TRIPS.BILLCUST = CUSTOMER_1.CUSTOMER) ";

class SearchSite : public ::testing::Test {
protected:
    SearchSite() {
        site_.sql(
            "twvlsc1.db",
            "INSERT INTO VLSCU (VLSC1, VLSC2, ROLE, CUSTOMER) VALUES "
            "('teacher', 'pw', 'TEACHER', 'MAPLE'), ('principal', 'pw', 'PRIN', 'MAPLE'), "
            "('district', 'pw', 'DIST', NULL), ('office', 'pw', 'TRANSPORT', NULL), "
            "('norole', 'pw', NULL, NULL), ('emptyrole', 'pw', '', ''), ('twice', 'pw', 'TWICE', NULL);"
            // A: principal then district. B: the principal approves third. C: not in use.
            // D: one role at four levels, more than there are chains in use.
            "INSERT INTO VLSCC (CHAINID, Active, LEVEL1APPROVER, Level2Approver, Level3Approver, "
            "Level4Approver, Level5Approver, Level6Approver, Level7Approver, Level8Approver, Level1Status, "
            "Level2Status, Level3Status, Level4Status, Level5Status, Level6Status, Level7Status) VALUES "
            "('A', 1, 'PRIN', 'DIST', NULL, NULL, NULL, NULL, NULL, NULL, 'PRIN OK', 'DIST OK', NULL, NULL, "
            "NULL, NULL, NULL),"
            "('B', 1, 'DEPT', 'DIST', 'PRIN', '', '', '', '', '', 'S1', 'S2', 'S3', NULL, NULL, NULL, NULL),"
            "('C', 0, 'PRIN', NULL, NULL, NULL, NULL, NULL, NULL, NULL, 'C1', NULL, NULL, NULL, NULL, NULL, "
            "NULL),"
            "('D', 1, 'X', 'TWICE', 'Y', 'TWICE', 'Z', 'TWICE', 'W', 'TWICE', 'D1', 'D2', 'D3', 'D4', 'D5', "
            "'D6', 'D7');");
        site_.sql(
            "trip.db",
            "INSERT INTO District (DISTNAME, DISTADDR1, DISTCITY, DISTSTATE, DISTZIP, DISTPHONE, "
            "AUTOFILL_REQUESTS, AUTOFILL, VIEW_OTHER_SCHOOLS) VALUES ('Lakemont', '1 School Way', "
            "'Lakemont', 'MN', '55990', '555-0100', 1, 1, 0);"
            "INSERT INTO EMAIL_OPTIONS (REQ_EXCURSA_CHANGE, ADM_EXCURSA_CHANGE, APP_EXCURSA_CHANGE) "
            "VALUES (0, 0, 0);"
            "INSERT INTO DIVISION (DIVISION, DESCRIPTION, ACTIVE) VALUES ('N', 'North', 1), ('S', 'South', "
            "1);"
            "INSERT INTO CUSTOMER (CUSTOMER, CUSTNAME, CUSTDIV, ACTIVE) VALUES "
            "('MAPLE', 'Maple Grove', 'N', 1), ('RIVER', 'River & Sons', 'S', 1), "
            "('OAK', 'O''Hare <Oak>', 'N', 1), ('12', 'Twelve Oaks', 'S', 1);"
            "INSERT INTO DESTINATION (DESTINATION, DESTDESC, ACTIVE) VALUES (1, 'Zoo', 1), "
            "(2, 'Northwoods Zoo and Aquarium of the Lakes', 1), (3, 'Old Mill', 0);"
            "INSERT INTO GRADE (GRADE, DESCRIPTION, ACTIVE) VALUES ('K', 'Kindergarten', 1), "
            "('5', 'Grade 5', 1);"
            "INSERT INTO TRIPCAT (TRIPCAT, DESCRIPTION, ACTIVE) VALUES ('EDU', 'Educational', 1), "
            "('SPORT', 'Sports', 1);"
            "INSERT INTO TRIPREQSTATUS (STATUS, DESCRIPTION, ACTIVE) VALUES ('UNAPPROVED', 'a', 1), "
            "('Pending', 'b', 1), ('Principal''s OK', 'c', 1);"
            "INSERT INTO FUND (FUND, FUNDDESC, ACTIVE) VALUES ('GEN', 'General', 1), ('PTA', 'PTA', 1);");
        for (const auto& [file, tags] : kMarkedPages) site_.root().write("www/" + file, tags);
    }

    void SetUp() override { makeApp(); }

    void makeApp() {
        WebItemRegistry items = ExcursaItems();
        // Stands in for the fund lookup: its Return gives the trip search the chosen fund.
        items.add({.name = "LookupFund",
                   .templateFile = "LookupFund1.htm",
                   .events = {{"RetwSelected", [](AppObject& app) {
                                   app.host.sessionSet("SELTRIP", "");
                                   app.host.sessionSet("SelFund", app.host.formField("SelFund"));
                                   CallEvent(app, "TripSearch", "FieldTrips");
                               }}}});
        site_.root().write("www/LookupFund1.htm", "[fund lookup]");
        app_ = std::make_unique<WebApplication>(std::move(items), WebClass_Start, site_.www());
        ASSERT_EQ(app_->warmUp(), "");
    }

    void setApp(const std::string& key, Value value) { app_->application().set(key, std::move(value)); }

    std::string signIn(MemoryHost& browser, const std::string& user) {
        return browser
            .post(std::string(kUrl) + "?WCI=Login&WCE=LoginValidateUser&WCU",
                  {{"user", user}, {"password", "pw"}, {"btnsubmit", "Work With Trip Requests"}})
            .body;
    }
    std::string get(MemoryHost& browser, const std::string& query) {
        return browser.get(std::string(kUrl) + "?" + query).body;
    }
    std::string post(MemoryHost& browser, const std::string& query, const Form& form) {
        return browser.post(std::string(kUrl) + "?" + query, form).body;
    }
    std::string searchRequests(MemoryHost& browser, const Form& form) {
        return post(browser, "WCI=RequestSearch&WCE=TripRequests&WCU", form);
    }
    std::string searchTrips(MemoryHost& browser, const Form& form) {
        return post(browser, "WCI=TripSearch&WCE=FieldTrips&WCU", form);
    }

    KeyedStore& session(const MemoryHost& browser) {
        return app_->sessions().acquire(browser.sessionId()).session->values;
    }
    std::string sessionText(const MemoryHost& browser, const std::string& key) {
        return TextOf(session(browser).get(key));
    }

    // A row with the columns given (column, SQL value), the defaults filling the rest.
    using Columns = std::vector<std::pair<std::string, std::string>>;
    void insert(const std::string& file, const std::string& table, Columns columns, const Columns& defaults) {
        for (const auto& [column, value] : defaults) {
            const bool given = std::any_of(columns.begin(), columns.end(),
                                           [&](const auto& c) { return SameTextNoCase(c.first, column); });
            if (!given) columns.emplace_back(column, value);
        }
        std::string names, values;
        for (const auto& [column, value] : columns) {
            names += (names.empty() ? "" : ", ") + column;
            values += (values.empty() ? "" : ", ") + value;
        }
        site_.sql(file, "INSERT INTO " + table + " (" + names + ") VALUES (" + values + ")");
    }
    void addRequest(int number, const Columns& columns = {}) {
        insert("Tripschl.db", "TRIPSREQ", columns,
               {{"TRIPNUM", std::to_string(number)},
                {"CUSTOMER", "'MAPLE'"},
                {"STATUS", "'UNAPPROVED'"},
                {"DEPDATE", "'2026-05-14 00:00:00'"}});
    }
    void addTrip(int number, const Columns& columns = {}) {
        insert("trip.db", "TRIPS", columns,
               {{"TRIPNUM", std::to_string(number)},
                {"CUSTOMER", "'MAPLE'"},
                {"DEPDATE", "'2026-05-14 00:00:00'"}});
    }

    TestSite site_;
    std::unique_ptr<WebApplication> app_;

private:
    inline static const std::vector<std::pair<std::string, std::string>> kMarkedPages{
        {"TripRequestSearch1.htm",
         MarkedTemplate({"wc@Name", "WC@ADDR1", "WC@CITYSTZIP", "WC@PHONE", "WC@TRIPREQCOMMENT", "WC@Grade",
                         "WC@Status", "WC@CUSTOMER", "WC@DEST", "WC@CATEGORY", "WC@DIV", "WC@RESULTS",
                         "WC@DEPFROM", "WC@DEPTO", "WC@ENTERFROM", "WC@ENTERTO", "WC@NUM"})},
        {"TripSearch1.htm",
         MarkedTemplate({"wc@Name",     "WC@ADDR1",       "WC@CITYSTZIP", "WC@PHONE",   "WC@Grade",
                         "WC@CUST",     "WC@DEST",        "WC@CATEGORY",  "WC@DIV",     "WC@RESULTS",
                         "WC@DEPFROM",  "WC@DEPTO",       "WC@NUM",       "WC@CUSTHDR", "WC@CHKBOX",
                         "WC@CHKBOX2",  "WC@TRIPREQNUM",  "WC@TRIPNUM",   "WC@FUNDHDR", "WC@FUND",
                         "WC@BILLCUST", "WC@TOTALBILLED", "WC@AMOUNTDUE", "WC@SORTBY"})},
        {"PrintReport1.htm", MarkedTemplate({"WC@SOURCE", "WC@OTHER"})},
        {"TripRequestReport11.htm", MarkedTemplate({"WC@DISTRICTNAME", "WC@NAVIGATIONBUTTONS",
                                                    "WC@PAGENUMBER", "WC@NOW", "WC@RESULTS", "WC@OTHER"})},
        {"TripRequestReport21.htm", MarkedTemplate({"WC@NAVIGATIONBUTTONS", "WC@PAGENUMBER", "WC@RESULTS"})},
        {"TripReport11.htm", MarkedTemplate({"WC@NAVIGATIONBUTTONS", "WC@PAGENUMBER", "WC@RESULTS"})},
        {"TripReport21.htm", MarkedTemplate({"WC@PAGENUMBER", "WC@RESULTS"})},
        {"TripSummaryReport1.htm",
         MarkedTemplate({"WC@DISTRICTNAME", "WC@SUMMARYTYPE", "WC@UCASESUMMARYTYPE", "WC@NAVIGATIONBUTTONS",
                         "WC@PAGENUMBER", "WC@RESULTS", "WC@TRIPSCHART"})},
    };
};

}  // namespace excursa::testing
