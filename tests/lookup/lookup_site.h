// A district with customers, destinations and funds to look up, its web application with every
// page, and a stand-in field trip search that shows what the fund lookup handed it.
#pragma once

#include "frame/memory_host.h"
#include "items.h"
#include "lookup/items.h"
#include "startup/items.h"

#include "support/test_site.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace excursa::testing {

using Form = std::vector<std::pair<std::string, std::string>>;

inline std::string LookupUrl(const std::string& item, const std::string& event) {
    return "ExcursaLakemont.asp?WCI=" + item + "&WCE=" + event + "&WCU";
}

// Rows `count` rows of a table, numbered from 1: `values` is the SELECT over the counter `i`.
inline std::string NumberedRows(int count, const std::string& insertInto, const std::string& values) {
    return "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < " +
           std::to_string(count) + ") INSERT INTO " + insertInto + " SELECT " + values + " FROM n;";
}

// What a tag of a marked template (LookupSite::useMarkedTemplates) became; "<missing>" when the page
// has no such tag.
inline std::string Tag(const std::string& page, const std::string& name) {
    const std::string open = "[[" + UCase(name) + "]]";
    const std::string close = "[[/" + UCase(name) + "]]";
    const std::size_t start = page.find(open);
    const std::size_t end = page.find(close);
    if (start == std::string::npos || end == std::string::npos) return "<missing>";
    return page.substr(start + open.size(), end - start - open.size());
}

class LookupSite : public ::testing::Test {
protected:
    LookupSite() {
        site_.sql("twvlsc1.db",
                  "INSERT INTO VLSCU (VLSC1, VLSC2, ROLE, CUSTOMER, SCEXFOVD, SCEXDDFT) VALUES "
                  "('teacher', 'pw', 'TEACHER', 'MAPLE', 0, 0), ('office', 'pw', 'TRANSPORT', NULL, 1, 1), "
                  "('clerk', 'pw', 'CLERK', NULL, 0, 0);");
        site_.sql(
            "trip.db",
            "INSERT INTO District (DISTNAME, DISTADDR1, DISTPHONE, FUND_DD, USECUSTFUND, AUTOFILL) VALUES "
            "('Lakemont <Schools>', '1 School Way', '555-0100', 0, 0, 1);"
            "INSERT INTO EMAIL_OPTIONS (REQ_EXCURSA_CHANGE, ADM_EXCURSA_CHANGE, APP_EXCURSA_CHANGE) "
            "VALUES (0, 0, 0);"
            "INSERT INTO CUSTOMER (CUSTOMER, CUSTNAME, ACTIVE) VALUES ('MAPLE', 'Maple Grove', 1), "
            "('MWOOD', 'maplewood Middle', 1), ('RIVER', 'River & Sons', 1), "
            "('O''NEIL', 'O''Neil Elementary', 1), ('LAKE', 'Lakeside <High>', 1), ('NONAME', NULL, 1);"
            "INSERT INTO DESTINATION (DESTINATION, DESTDESC, DESTADD1, DESTADD2, MILES, DESTSPEC, ACTIVE) "
            "VALUES (1, 'Zoo', '1 Park Rd', 'Lakemont', 12, 'Gate B', 1), "
            "(2, 'zoological Garden', '5 Main St', NULL, NULL, NULL, 1), "
            "(3, 'Museum <of Art>', NULL, NULL, 4, NULL, 1);"
            "INSERT INTO DESTCAT (DESTCAT, ACTIVE) VALUES ('PARK', 1), ('MUSEUM', 1);"
            "INSERT INTO FUND (FUND, FUNDDESC, ACTIVE) VALUES ('GEN', 'General', 1), "
            "('PTA', 'PTA fund', 1), ('PTX', 'PTA old', 0), ('SPORT', 'Sports & <Clubs>', 1), "
            "('BUS', 'pta buses', 1);"
            "INSERT INTO CUSTOMER_FUND (CUSTOMER, FUND) VALUES ('MAPLE', 'PTA'), ('MAPLE', 'PTX'), "
            "('MAPLE', 'SPORT'), ('RIVER', 'GEN'), ('O''NEIL', 'BUS');");
        site_.sql("Tripschl.db",
                  "INSERT INTO TRIPSREQ (TRIPNUM, CUSTOMER, CONTACT, DESTINATION, DESTDESC, DESTADD1, FUND, "
                  "STATUS) "
                  "VALUES (7, 'MAPLE', 'Ms. Lee', 1, 'Zoo', '1 Park Rd', 'GEN', 'Pending');");
    }

    // Lookup templates that mark each tag, so that a test can cut out exactly what one tag became.
    void useMarkedTemplates() {
        std::string html;
        for (const char* tag :
             {"wc@Name", "WC@ADDR1", "WC@CITYSTZIP", "WC@PHONE", "WC@TRIPREQ", "WC@RESULTS", "WC@FUND"}) {
            html += "[[" + UCase(tag) + "]]<" + tag + ">kept</" + tag + ">[[/" + UCase(tag) + "]]\n";
        }
        for (const char* file : {"LookupCust1.htm", "LookupDest1.htm", "LookupFund1.htm"}) {
            site_.root().write(std::string("www/") + file, html);
        }
    }

    // The application with every page; call after changing templates or rows that the start reads.
    void start() {
        WebItemRegistry items = ExcursaItems();
        items.add(
            {.name = "RequestSearch", .respond = [](AppObject& app) { app.host.write("[RequestSearch]"); }});
        // Stands in for the field trip search: shows what the fund lookup left for it.
        items.add({.name = "TripSearch",
                   .events = {{"FieldTrips", [](AppObject& app) {
                                   app.host.write(
                                       "[FieldTrips SelFund=" + TextOf(app.host.sessionGet("SelFund")) +
                                       " SELTRIP=" + TextOf(app.host.sessionGet("SELTRIP")) + "]");
                               }}}});
        app_ = std::make_unique<WebApplication>(std::move(items), WebClass_Start, site_.www());
        ASSERT_EQ(app_->warmUp(), "");
    }

    std::string signIn(MemoryHost& browser, const std::string& user) {
        return browser
            .post("ExcursaLakemont.asp?WCI=Login&WCE=LoginValidateUser&WCU",
                  {{"user", user}, {"password", "pw"}, {"btnsubmit", "Work With Trip Requests"}})
            .body;
    }
    // Signed in, with the form state that the request form's lookup buttons leave.
    void onRequestForm(MemoryHost& browser, const std::string& user, const std::string& tripReq) {
        signIn(browser, user);
        session(browser).set("TRIPREQ", tripReq);
        session(browser).set("RequestDetail.New", tripReq.empty() ? "NEW" : "EXISTING");
        session(browser).set("LoadRequestDetailFromSession", "True");
    }

    std::string post(MemoryHost& browser, const std::string& item, const std::string& event,
                     const Form& form) {
        return browser.post(LookupUrl(item, event), form).body;
    }

    KeyedStore& session(const MemoryHost& browser) {
        return app_->sessions().acquire(browser.sessionId()).session->values;
    }
    std::string sessionText(const MemoryHost& browser, const std::string& key) {
        return TextOf(session(browser).get(key));
    }

    TestSite site_;
    std::unique_ptr<WebApplication> app_;
};

}  // namespace excursa::testing
