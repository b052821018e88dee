// A district for the tests of the request form's posts: users of every kind, two approval chains,
// customers with and without one, and two stored requests; the real templates, and stand-ins for the
// pages that other folders build (the lookups and the request search).
#pragma once

#include "frame/keys.h"
#include "frame/memory_host.h"
#include "items.h"
#include "request/items.h"
#include "startup/items.h"

#include "support/browser_steps.h"
#include "support/test_site.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace excursa::testing {

inline constexpr const char* kFormPost = "ExcursaLakemont.asp?WCI=RequestDetail&WCE=TripRequestDetail&WCU";

// The posted fields of the request form, by name.
class Form {
public:
    Form& set(const std::string& name, const std::string& value) {
        fields_[name] = value;
        return *this;
    }
    Form& erase(const std::string& name) {
        fields_.erase(name);
        return *this;
    }
    std::vector<std::pair<std::string, std::string>> fields() const {
        return {fields_.begin(), fields_.end()};
    }

private:
    std::map<std::string, std::string> fields_;
};

// A date in the three picker fields of a prefix ("Dep", "Rtn").
inline void SetDate(Form& form, const std::string& prefix, double date) {
    form.set(prefix + "_month", MonthName(Month(date), true))
        .set(prefix + "_date", std::to_string(Day(date)))
        .set(prefix + "_year", std::to_string(Year(date)));
}

inline void SetTime(Form& form, const std::string& prefix, const std::string& hour, const std::string& minute,
                    const std::string& ampm) {
    form.set(prefix + "_HOUR", hour).set(prefix + "_MIN", minute).set(prefix + "_AMPM", ampm);
}

// 15 June, two years ahead: far from every notice period.
inline double FarDeparture() { return DateSerial(Year(Today()) + 2, 6, 15); }

// A complete new request for Maple Grove, as the form posts it.
inline Form NewForm() {
    Form form;
    form.set("btnSubmit", "Save")
        .set("New", "NEW")
        .set("cust", "MAPLE, Maple Grove")
        .set("Contact", "Ms. Lee")
        .set("RequestorEmail", "lee@maple.org")
        .set("dest", "1")
        .set("fund", "GEN")
        .set("chkDefaultReturnDate", "ON")
        .set("NUMADULTS", "3")
        .set("NUMSTUDENTS", "25")
        .set("NUMHAND", "0")
        .set("ESTTIME", "2.5")
        .set("ESTMILE", "12")
        .set("PURPOSE", "Science")
        .set("CUSTSPEC", "Bring lunches")
        .set("DESTSPEC", "Gate B")
        .set("TRIPCOM", "Two buses")
        .set("PO", "PO-1")
        .set("INTTRIPNUM", "M-7")
        .set("tripcat", "EDU")
        .set("grade", "K");
    SetDate(form, "Dep", FarDeparture());
    SetTime(form, "DEP", "9", "15", "AM");
    SetTime(form, "RET", "2", "30", "PM");
    return form;
}
// The same request posted from the form of the stored request `tripNumber`.
inline Form StoredForm(int tripNumber) {
    return NewForm().set("New", "EXISTING").set("TRIPNUM", std::to_string(tripNumber));
}

class SaveFixture : public ::testing::Test {
protected:
    SaveFixture() {
        site_.sql(
            "twvlsc1.db",
            "INSERT INTO VLSCU (VLSC1, VLSC2, ROLE, CUSTOMER, EMAIL, SCEXFOVD, SCEXDDFT) VALUES "
            "('teacher', 'pw', 'TEACHER', 'MAPLE', 'teacher@maple.org', 0, 0), "
            "('principal', 'pw', 'PRIN', 'MAPLE', 'principal@maple.org', 0, 0), "
            "('district', 'pw', 'DIST', NULL, 'district@lakemont.org', 0, 0), "
            "('office', 'pw', 'TRANSPORT', NULL, 'office@lakemont.org', 1, 1), "
            "('river', 'pw', 'TEACHER', 'RIVER', 'teacher@river.org', 0, 0);"
            "INSERT INTO VLSCC (CHAINID, LEVEL1APPROVER, Level2Approver, Level1Status, Level2Status) VALUES "
            "('CH1', 'PRIN', 'DIST', 'Principal OK', 'District OK'), "
            "('CH2', 'COACH', 'DIST', 'Coach OK', 'District OK');");
        site_.sql(
            "trip.db",
            "INSERT INTO District (DISTNAME, FUND_DD, USECUSTFUND, DEPDT_LEADTIME, DEPDT_LEADTIME_HARDWARN, "
            "TOTAL_TRIPS_LIMIT, TOTAL_TRIPS_HARDWARN, DEFAULT_CALCNUMDRIVER, DEFAULTVTYPE) VALUES "
            "('Lakemont', 0, 0, 0, 0, 0, 0, 1, 'BUS72');"
            "INSERT INTO TRIPREQ_REQUIRED (FUND_REQUIRED) VALUES (0);"
            "INSERT INTO EMAIL_OPTIONS (REQ_EXCURSA_CHANGE, ADM_EXCURSA_CHANGE, APP_EXCURSA_CHANGE) "
            "VALUES (0, 0, 0);"
            "INSERT INTO CUSTOMER (CUSTOMER, CUSTNAME, ACTIVE, CHAINID, CUSTBILLRATE, DEFAULTCAP, "
            "CUST_DEFAULT_FORMAT, REQUESTOR_EMAIL, CUSTSPEC) VALUES "
            "('MAPLE', 'Maple Grove', 1, 'CH1', 3, 'Large', 'MAPLE_INV', 'office@maple.org', 'Peanut-free'), "
            "('RIVER', 'River School', 1, NULL, NULL, NULL, NULL, NULL, NULL);"
            "INSERT INTO CUSTOMER_TRIPCAT (CUSTOMER, TRIPCAT, CHAINID) VALUES ('MAPLE', 'SPORT', 'CH2');"
            "INSERT INTO BILLRATE (BILLRATE, AMOUNT1, AMOUNTTXT1, AMOUNT2, AMOUNTTXT2) VALUES "
            "(3, 12.5, 'Per mile', 40, 'Per hour');"
            "INSERT INTO DESTINATION (DESTINATION, DESTDESC, DESTADD1, DESTADD2, MILES, DESTSPEC, ACTIVE) "
            "VALUES (1, 'Zoo', '1 Park Rd', 'Lakemont', 12, NULL, 1), "
            "(2, 'Museum', '5 Main St', NULL, 30, 'Use the east gate', 1);"
            "INSERT INTO GRADE (GRADE, ACTIVE) VALUES ('K', 1), ('1', 1);"
            "INSERT INTO TRIPCAT (TRIPCAT, DESCRIPTION, ACTIVE) VALUES ('EDU', 'Educational', 1), "
            "('SPORT', 'Sports', 1);"
            "INSERT INTO FUND (FUND, FUNDDESC, ACTIVE) VALUES ('GEN', 'General', 1), ('PTA', 'PTA fund', 1), "
            "('OLD', 'Closed fund', 0);"
            "INSERT INTO CUSTOMER_FUND (CUSTOMER, FUND) VALUES ('MAPLE', 'PTA');");
        site_.sql(
            "Tripschl.db",
            "INSERT INTO TRIPSREQ (TRIPNUM, CUSTOMER, BILLCUST, CONTACT, REQUESTOR_EMAIL, DESTINATION, "
            "DESTDESC, DESTADD1, DEPDATE, RETDATE, DEPTIME, NUMSTUDENTS, NUMADULTS, FUND, TRIPCAT, GRADE, "
            "STATUS, CHAINID, REQDATE, ENTERDATE, ENTEREDBY, STATUS_DATE, BILLRATE, AMOUNT1, CAPACITY, "
            "INVOICE_FORMAT) VALUES "
            "(1, 'MAPLE', 'MAPLE', 'Ms. Lee', 'lee@maple.org', 1, 'Zoo', '1 Park Rd', '" +
                StoredDateText(FarDeparture()) + "', '" + StoredDateText(FarDeparture()) +
                "', '1899-12-30 09:15:00', 25, 3, 'GEN', 'EDU', 'K', 'UNAPPROVED', 'CH1', "
                "'2026-04-02 09:14:00', '2026-04-02 09:14:00', 'teacher', '2026-04-02 09:14:00', 7, 99, "
                "'Small', 'OLD_FORMAT'), "
                "(2, 'MAPLE', 'MAPLE', 'Mr. Bo', 'bo@maple.org', 2, 'Museum', '5 Main St', '" +
                StoredDateText(FarDeparture()) + "', '" + StoredDateText(FarDeparture()) +
                "', NULL, 30, 4, 'GEN', 'EDU', 'K', 'Principal OK', 'CH1', '2026-04-03 10:00:00', "
                "'2026-04-03 10:00:00', 'teacher', '2026-04-03 11:00:00', 3, 12.5, 'Large', 'MAPLE_INV');");
        for (const char* lookup : {"LookupCust", "LookupDest", "LookupFund"}) {
            site_.root().write("www/" + std::string(lookup) + "1.htm", "[" + std::string(lookup) + " page]");
        }
        makeApp();
    }

    void makeApp() {
        WebItemRegistry items = ExcursaItems();
        items.add(
            {.name = "RequestSearch", .respond = [](AppObject& app) { app.host.write("[RequestSearch]"); }});
        for (const char* lookup : {"LookupCust", "LookupDest", "LookupFund"}) {
            items.add({.name = lookup, .templateFile = std::string(lookup) + "1.htm"});
        }
        app_ = std::make_unique<WebApplication>(std::move(items), WebClass_Start, site_.www());
        ASSERT_EQ(app_->warmUp(), "");
    }

    // Application values as the start event would have loaded them from the district's tables.
    void setting(const std::string& key, const Value& value) { app_->application().set(key, value); }
    void require(const std::string& flag) { setting(std::string(key::RequiredPrefix) + flag, "True"); }

    std::string signIn(MemoryHost& browser, const std::string& user,
                       const std::string& button = kWorkWithRequests) {
        return SignIn(browser, user, button);
    }
    std::string newRequest(MemoryHost& browser, const std::string& user) {
        return SignIn(browser, user, kEnterNewRequest);
    }
    std::string open(MemoryHost& browser, int tripNumber) {
        return OpenRequest(browser, std::to_string(tripNumber));
    }
    ResponseData post(MemoryHost& browser, const Form& form) {
        return browser.post(kFormPost, form.fields());
    }

    KeyedStore& session(const MemoryHost& browser) {
        return app_->sessions().acquire(browser.sessionId()).session->values;
    }
    std::string sessionText(const MemoryHost& browser, const std::string& key) {
        return TextOf(session(browser).get(key));
    }

    RawDb requests() const { return RawDb(site_.dataFolder() / "Tripschl.db"); }
    std::string column(long tripNumber, const std::string& name) const {
        return requests().text("SELECT " + name +
                               " FROM TRIPSREQ WHERE TRIPNUM = " + std::to_string(tripNumber));
    }
    long requestCount() const { return requests().count("SELECT COUNT(*) FROM TRIPSREQ"); }
    long lastRequest() const { return requests().count("SELECT MAX(TRIPNUM) FROM TRIPSREQ"); }

    TestSite site_;
    std::unique_ptr<WebApplication> app_;
};

// The version a form page carries in its hidden field.
inline std::string VersionOf(const std::string& page) {
    const std::string head = "name='RequestVersion' value='";
    const std::size_t start = page.find(head);
    if (start == std::string::npos) return "";
    const std::size_t from = start + head.size();
    return page.substr(from, page.find('\'', from) - from);
}

}  // namespace excursa::testing
