#include "request/request_lookups.h"

#include "config/settings.h"
#include "data/connections.h"
#include "frame/memory_host.h"
#include "frame/worker_state.h"

#include "support/test_site.h"

#include "support/in_request.h"
#include "support/message_page.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>

namespace excursa {
namespace {

class RequestLookupsTest : public ::testing::Test {
protected:
    std::string inRequest(const std::function<void(AppObject&)>& body) {
        return testing::RunInRequest(site_.www(), body, appValues_);
    }

    static void openDatabases() {
        SetTripPaths();
        SetTripDBConnections();
        ASSERT_EQ(strErrorText, "NA");
    }
    static bool tripConnectionOpen() { return cnTrip && cnTrip->isOpen(); }

    testing::TestSite site_;
    std::map<std::string, Value> appValues_;
};

// ------------------------------------------------------------------ customer

TEST_F(RequestLookupsTest, CustomerFieldsComeFromItsRowAndNullsKeepTheDefaults) {
    site_.sql("trip.db",
              "INSERT INTO CUSTOMER (CUSTOMER, CUSTNAME, CUSTDIV, CHAINID, CUSTSPEC, REQUESTOR_EMAIL, "
              "CUSTBILLRATE, "
              "DEFAULTCAP, CUST_DEFAULT_FORMAT) VALUES ('O''NEIL', 'O''Neil Elementary', 'ELEM', ' CH1  ', "
              "'Ramp at the back', 'office@oneil.example', 3, 'High', 'SHORT');"
              "INSERT INTO CUSTOMER (CUSTOMER, CUSTNAME) VALUES ('BARE', 'Bare School');");
    openDatabases();
    const std::string page = inRequest([](AppObject& app) {
        getcust(app, "O'NEIL");
        const AppObject::CurrentCustomer& c = app.customer;
        EXPECT_EQ(c.name, "O'Neil Elementary");
        EXPECT_EQ(c.billRate, 3);
        EXPECT_EQ(c.custSpec, "Ramp at the back");
        EXPECT_EQ(c.defaultCapacity, "High");
        EXPECT_EQ(c.defaultFormat, "SHORT");
        EXPECT_EQ(c.chainId, "CH1") << "trimmed";
        EXPECT_EQ(c.division, "ELEM");
        EXPECT_EQ(c.requestorEmail, "office@oneil.example");

        getcust(app, "BARE");
        EXPECT_EQ(app.customer.name, "Bare School");
        EXPECT_EQ(app.customer.billRate, 0) << "the earlier customer's values are gone";
        EXPECT_EQ(app.customer.custSpec, " ");
        EXPECT_EQ(app.customer.defaultCapacity, "Medium");
        EXPECT_EQ(app.customer.defaultFormat, "VEL_INVOICE");
        EXPECT_EQ(app.customer.chainId, "");
        EXPECT_EQ(app.customer.division, " ");

        getcust(app, "NOSUCH");
        EXPECT_EQ(app.customer.name, "Not Found");
        EXPECT_EQ(app.customer.defaultCapacity, "Medium");
    });
    EXPECT_EQ(page, "");
}

TEST_F(RequestLookupsTest, CustomerLookupOpensClosedDatabasesAndClosesThemAgain) {
    site_.sql("trip.db", "INSERT INTO CUSTOMER (CUSTOMER, CUSTNAME) VALUES ('LHS', 'Lakemont High');");
    ASSERT_FALSE(tripConnectionOpen());
    const std::string page = inRequest([](AppObject& app) {
        getcust(app, "LHS");
        EXPECT_EQ(app.customer.name, "Lakemont High");
    });
    EXPECT_EQ(page, "");
    EXPECT_FALSE(tripConnectionOpen());
    EXPECT_FALSE(cnSecurity && cnSecurity->isOpen());
}

TEST_F(RequestLookupsTest, CustomerLookupLeavesTheCallersConnectionsOpen) {
    site_.sql("trip.db", "INSERT INTO CUSTOMER (CUSTOMER, CUSTNAME) VALUES ('LHS', 'Lakemont High');");
    openDatabases();
    const Connection* before = cnTrip.get();
    inRequest([](AppObject& app) { getcust(app, "LHS"); });
    EXPECT_TRUE(tripConnectionOpen());
    EXPECT_EQ(cnTrip.get(), before);
}

// --------------------------------------------------------------- destination

TEST_F(RequestLookupsTest, DestinationFieldsAndSpecialInstructions) {
    site_.sql("trip.db",
              "INSERT INTO DESTINATION (DESTINATION, DESTDESC, DESTADD1, DESTADD2, MILES, DESTSPEC) VALUES "
              "(7, 'Science Museum', '1 Museum Way', NULL, 12, 'Enter by the north door'),"
              "(8, NULL, NULL, NULL, NULL, NULL);");
    openDatabases();
    const std::string page = inRequest([](AppObject& app) {
        EXPECT_EQ(getdest(app, " 7 "), "Enter by the north door");
        EXPECT_EQ(app.destination.description, "Science Museum");
        EXPECT_EQ(app.destination.miles, 12.0f);
        EXPECT_EQ(app.destination.address1, "1 Museum Way");
        EXPECT_EQ(app.destination.address2, " ") << "a null address line is one blank";

        EXPECT_EQ(getdest(app, "8"), "");
        EXPECT_EQ(app.destination.description, "") << "cleared before the look-up";
        EXPECT_EQ(app.destination.miles, 0.0f);

        app.destination.description = "stale";
        EXPECT_EQ(getdest(app, "99"), "");
        EXPECT_EQ(app.destination.description, "");
    });
    EXPECT_EQ(page, "");
}

TEST_F(RequestLookupsTest, ADestinationIsReadOnceARequestWhateverAsksForItAgain) {
    site_.sql("trip.db",
              "INSERT INTO DESTINATION (DESTINATION, DESTDESC, DESTADD1, DESTSPEC) VALUES "
              "(7, 'Science Museum', '1 Museum Way', 'North door'), (8, 'Zoo', 'Zoo Road', NULL);");
    openDatabases();
    inRequest([&](AppObject& app) {
        EXPECT_EQ(getdest(app, "7"), "North door");
        Use(cnTrip).execute("UPDATE DESTINATION SET DESTDESC = 'Renamed', DESTSPEC = 'South door'");
        app.destination.description = "overwritten meanwhile";
        EXPECT_EQ(getdest(app, " 7"), "North door") << "the row read first answers";
        EXPECT_EQ(app.destination.description, "Science Museum");
        EXPECT_EQ(app.destination.address1, "1 Museum Way");
        EXPECT_EQ(getdest(app, "8"), "South door") << "another number is read";
        EXPECT_EQ(app.destination.description, "Renamed");
    });
    inRequest([](AppObject& app) {
        EXPECT_EQ(getdest(app, "7"), "South door") << "the next request reads the row afresh";
        EXPECT_EQ(app.destination.description, "Renamed");
    });
}

TEST_F(RequestLookupsTest, EmptyDestinationNeedsNoDatabase) {
    const std::string page = inRequest([](AppObject& app) {
        app.destination.description = "stale";
        EXPECT_EQ(getdest(app, "  "), "");
        EXPECT_EQ(app.destination.description, "");
    });
    EXPECT_EQ(page, "") << "no query was run on the closed connection";
}

TEST_F(RequestLookupsTest, NonNumericDestinationIsAConversionError) {
    openDatabases();
    const std::string page = inRequest([](AppObject& app) {
        EXPECT_EQ(getdest(app, "7 OR 1=1"), std::nullopt) << "a failed look-up answers nothing";
    });
    EXPECT_EQ(testing::WrittenText(page),
              "Error in Procedure: getdest of Module: Excursa.  Error: 13.  Type mismatch.");
}

// ---------------------------------------------------------------------- fund

class FundLookupTest : public RequestLookupsTest {
protected:
    void SetUp() override {
        site_.sql(
            "trip.db",
            "INSERT INTO FUND (FUND, FUNDDESC, ACTIVE) VALUES ('GEN', 'General', 1), ('NODESC', NULL, 1), "
            "('OLD', 'Old grant', 0), ('PTA', 'Parent association', 1);"
            "INSERT INTO CUSTOMER_FUND (CUSTOMER, FUND) VALUES ('LHS', 'PTA'), ('LHS', 'OLD');");
        openDatabases();
    }

    std::string fundDesc(const std::string& fund, const std::string& customer,
                         const std::string& canOverride = "False") {
        std::string description;
        const std::string page = inRequest([&](AppObject& app) {
            app.host.sessionSet("CANOVERRIDEFUND", canOverride);
            description = getFundDesc(app, fund, customer);
        });
        EXPECT_EQ(page, "");
        return description;
    }
};

TEST_F(FundLookupTest, AnyActiveFundWithoutPerCustomerFunds) {
    EXPECT_EQ(fundDesc("  GEN ", "LHS"), "General") << "the code is trimmed";
    EXPECT_EQ(fundDesc("NODESC", "LHS"), "No Description");
    EXPECT_EQ(fundDesc("OLD", "LHS"), "NOFUND") << "inactive";
    EXPECT_EQ(fundDesc("NONE", "LHS"), "NOFUND");
    EXPECT_EQ(fundDesc("G'EN", "LHS"), "NOFUND") << "a quote stays inside the literal";
}

TEST_F(FundLookupTest, PerCustomerFundsUnlessTheUserMayOverride) {
    appValues_["DISTRICT.USECUSTFUND"] = Value("TRUE");
    EXPECT_EQ(fundDesc("PTA", "LHS"), "Parent association");
    EXPECT_EQ(fundDesc("GEN", "LHS"), "NOFUND") << "not one of the customer's funds";
    EXPECT_EQ(fundDesc("OLD", "LHS"), "NOFUND") << "the customer's, but inactive";
    EXPECT_EQ(fundDesc("PTA", "MMS"), "NOFUND");
    EXPECT_EQ(fundDesc("GEN", "LHS", "true"), "General") << "override compared without regard to case";
}

// ------------------------------------------------------------ chain and rate

TEST_F(RequestLookupsTest, ChainOfCustomerAndTripCategory) {
    site_.sql("trip.db",
              "INSERT INTO CUSTOMER_TRIPCAT (CUSTOMER, TRIPCAT, CHAINID) VALUES ('O''NEIL', 'EDU', 'CH2'), "
              "('LHS', 'SPORT', NULL);");
    openDatabases();
    const std::string page = inRequest([](AppObject& app) {
        EXPECT_EQ(getCHAIN(app, "O'NEIL", "EDU"), "CH2");
        EXPECT_EQ(getCHAIN(app, "O'NEIL", "SPORT"), "");
        EXPECT_EQ(getCHAIN(app, "LHS", "SPORT"), "") << "a row without a chain";
    });
    EXPECT_EQ(page, "");
}

TEST_F(RequestLookupsTest, BillRateAmountsAndTexts) {
    site_.sql("trip.db",
              "INSERT INTO BILLRATE (BILLRATE, AMOUNT1, AMOUNT3, AMOUNTTXT1, AMOUNTTXT5) VALUES "
              "(4, 42.5, 1.25, 'Per hour', 'Fuel');");
    openDatabases();
    const std::string page = inRequest([](AppObject& app) {
        getBILLRATEFlat(app, 4);
        const std::array<float, 5> amounts{42.5f, 0, 1.25f, 0, 0};
        const std::array<std::string, 5> texts{"Per hour", " ", " ", " ", "Fuel"};
        EXPECT_EQ(app.billRate.amounts, amounts);
        EXPECT_EQ(app.billRate.texts, texts);

        getBILLRATEFlat(app, 5);
        EXPECT_EQ(app.billRate.amounts, (std::array<float, 5>{}));
        EXPECT_EQ(app.billRate.texts[0], " ") << "the earlier rate is gone";
    });
    EXPECT_EQ(page, "");
}

// -------------------------------------------------- request's destination

TEST_F(RequestLookupsTest, RequestDestinationGoesToTheFormStateAndDatabasesClose) {
    site_.sql(
        "Tripschl.db",
        "INSERT INTO TRIPSREQ (TRIPNUM, DESTINATION, DESTDESC, DESTCAT, MILES, DESTADD1, DESTADD2, DESTCITY, "
        "DESTSTATE, DESTZIP, DESTSPEC) VALUES (31, 7, ' Science Museum ', 'MUSEUM', 12.4, '1 Museum Way', "
        "NULL, "
        "'Lakemont', 'MN', '55001', 'North door');"
        "INSERT INTO TRIPSREQ (TRIPNUM, DESTINATION) VALUES (32, NULL);");
    openDatabases();
    const std::string page = inRequest([](AppObject& app) {
        SetDestFromREQ(app, 31);
        const Host& host = app.host;
        EXPECT_EQ(host.sessionGet("RequestDetail.Destination"), Value("7"));
        EXPECT_EQ(host.sessionGet("RequestDetail.destdesc"), Value("Science Museum"));
        EXPECT_EQ(host.sessionGet("RequestDetail.destcat"), Value("MUSEUM"));
        EXPECT_EQ(host.sessionGet("RequestDetail.miles"), Value::Long(12));
        EXPECT_EQ(host.sessionGet("RequestDetail.destadd1"), Value("1 Museum Way"));
        EXPECT_EQ(host.sessionGet("RequestDetail.destadd2"), Value(""));
        EXPECT_EQ(host.sessionGet("RequestDetail.destcity"), Value("Lakemont"));
        EXPECT_EQ(host.sessionGet("RequestDetail.deststate"), Value("MN"));
        EXPECT_EQ(host.sessionGet("RequestDetail.destzip"), Value("55001"));
        EXPECT_EQ(host.sessionGet("RequestDetail.destspec"), Value("North door"));
        EXPECT_FALSE(tripConnectionOpen()) << "closed even though the caller had them open";

        SetDestFromREQ(app, 32);
        EXPECT_EQ(host.sessionGet("RequestDetail.destination"), Value("")) << "no destination number";

        SetDestFromREQ(app, 999);
        EXPECT_EQ(host.sessionGet("RequestDetail.destdesc"), Value(""));
        EXPECT_EQ(host.sessionGet("RequestDetail.destspec"), Value(""));
        EXPECT_EQ(host.sessionGet("RequestDetail.miles"), Value::Long(0));
    });
    EXPECT_EQ(page, "");
}

// ------------------------------------------------------- display texts

TEST_F(RequestLookupsTest, TimeAndDateDisplayTexts) {
    const std::string page = inRequest([](AppObject& app) {
        EXPECT_EQ(getTIME(app, "5:10:00 AM"), "5:10&nbsp;AM");
        EXPECT_EQ(getTIME(app, "12:45:30 PM"), "12:45&nbsp;PM");
        EXPECT_EQ(getTIME(app, ""), "&nbsp;");
        EXPECT_EQ(getTIME(app, "   "), "&nbsp;");
        EXPECT_EQ(getDATE(app, Value::Date(DateSerial(2026, 3, 5))), "3/5/26");
        EXPECT_EQ(getDATE(app, Value::Date(DateSerial(2005, 11, 23) + TimeSerial(8, 0, 0))), "11/23/05");
        EXPECT_EQ(getDATE(app, Value("2026-10-01")), "10/1/26");
        EXPECT_EQ(getDATE(app, Value::Null()), "&nbsp;");
        EXPECT_EQ(getDATE(app, Value("")), "&nbsp;");
    });
    EXPECT_EQ(page, "");
}

TEST_F(RequestLookupsTest, MalformedDisplayInputsFollowTheErrorConvention) {
    EXPECT_EQ(
        testing::WrittenText(inRequest([](AppObject& app) { EXPECT_EQ(getTIME(app, "5 PM"), ""); })),
        "Error in Procedure: getTIME of Module: Excursa.  Error: 5.  Invalid procedure call or argument.");
    EXPECT_EQ(
        testing::WrittenText(inRequest([](AppObject& app) { EXPECT_EQ(getDATE(app, Value("soon")), ""); })),
        "Error in Procedure: getDATE of Module: Excursa.  Error: 13.  Type mismatch.");
}

// -------------------------------------------------------------- picker parts

TEST(PickerPartsTest, DatesFromParts) {
    EXPECT_EQ(DateFromParts("Mar", "5", "2026"), DateSerial(2026, 3, 5));
    EXPECT_EQ(DateFromParts("dec", "31", "2025"), DateSerial(2025, 12, 31));
    EXPECT_EQ(DateFromParts("Feb", "29", "2028"), DateSerial(2028, 2, 29));
    EXPECT_EQ(DateFromParts("Feb", "29", "2027"), kNoDate);
    EXPECT_EQ(DateFromParts("Apr", "31", "2026"), kNoDate);
    EXPECT_EQ(DateFromParts("", "5", "2026"), kNoDate);
    EXPECT_EQ(DateFromParts("Mar", "", "2026"), kNoDate);
    EXPECT_EQ(DateFromParts("Mar", "5", ""), kNoDate) << "the caller fills an empty departure year";
    EXPECT_EQ(DateFromParts("Smarch", "5", "2026"), kNoDate);
}

TEST(PickerPartsTest, TimesFromParts) {
    EXPECT_EQ(TimeFromParts("5", "10", "AM"), TimeSerial(5, 10, 0));
    EXPECT_EQ(TimeFromParts(" 5 ", "", "PM"), TimeSerial(17, 0, 0)) << "an empty minute is 0";
    EXPECT_EQ(TimeFromParts("12", "30", "PM"), TimeSerial(12, 30, 0));
    EXPECT_EQ(TimeFromParts("12", "0", "PM"), TimeSerial(12, 0, 0));
    EXPECT_EQ(TimeFromParts("12", "5", "AM"), TimeSerial(0, 5, 0));
    EXPECT_EQ(TimeFromParts("12", "0", "am"), TimeSerial(0, 0, 1)) << "midnight is one second past it";
    EXPECT_EQ(TimeFromParts("12", "", "AM"), TimeSerial(0, 0, 1));
    EXPECT_EQ(TimeFromParts(" ", "10", "AM"), kNoDate);
    EXPECT_EQ(TimeFromParts("13", "0", "PM"), kNoDate);
    EXPECT_EQ(TimeFromParts("5", "ten", "AM"), kNoDate);
    EXPECT_EQ(TimeFromParts("5", "75", "AM"), kNoDate);
}

TEST(PickerPartsTest, StoredTimesSplitIntoParts) {
    auto parts = [](const Value& v) {
        const TimeParts p = SplitStoredTime(v);
        return p.hour + "|" + p.minute + "|" + p.ampm;
    };
    EXPECT_EQ(parts(Value::Date(TimeSerial(17, 5, 0))), "5|5|PM");
    EXPECT_EQ(parts(Value::Date(TimeSerial(9, 0, 0))), "9|0|AM");
    EXPECT_EQ(parts(Value::Date(TimeSerial(12, 15, 0))), "12|15|PM");
    EXPECT_EQ(parts(Value::Date(TimeSerial(0, 30, 0))), "12|30|AM");
    EXPECT_EQ(parts(Value::Date(DateSerial(2026, 3, 5) + TimeSerial(23, 59, 0))), "11|59|PM");
    EXPECT_EQ(parts(Value("7:45:00 PM")), "7|45|PM");
    EXPECT_EQ(parts(Value::Null()), "||");
    EXPECT_EQ(parts(Value("")), "||");
    EXPECT_EQ(parts(Value::Date(kNoDate)), "||");
}

TEST_F(RequestLookupsTest, MidnightSurvivesStoringAndShowingAgain) {
    const double midnight = TimeFromParts("12", "0", "AM");
    ASSERT_EQ(StoredDateText(midnight), "1899-12-30 00:00:01");
    site_.sql("Tripschl.db",
              "INSERT INTO TRIPSREQ (TRIPNUM, DEPTIME) VALUES (1, '" + StoredDateText(midnight) + "');");
    openDatabases();
    Recordset request = Recordset::Open(Use(cnTripSchl), "SELECT TRIPSREQ.* FROM TRIPSREQ WHERE TRIPNUM = 1");
    const TimeParts parts = SplitStoredTime(request.field("deptime"));
    EXPECT_EQ(parts.hour, "12");
    EXPECT_EQ(parts.minute, "0");
    EXPECT_EQ(parts.ampm, "AM");
}

}  // namespace
}  // namespace excursa
