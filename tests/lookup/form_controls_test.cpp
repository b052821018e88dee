#include "lookup/form_controls.h"

#include "data/connections.h"
#include "frame/stores.h"
#include "frame/worker_state.h"

#include "support/test_site.h"

#include "support/store_host.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <initializer_list>
#include <string>
#include <vector>

namespace excursa {
namespace {

using testing::StoreHost;

TextArray List(std::initializer_list<std::string> entries) {
    TextArray list(static_cast<int>(entries.size()));
    int i = 1;
    for (const std::string& entry : entries) list.at(i++) = entry;
    return list;
}

std::vector<std::string> Entries(const TextArray& list) {
    std::vector<std::string> entries;
    for (int i = 0; i <= list.upperBound(); ++i) entries.push_back(list.at(i));
    return entries;
}

// Fund lists as "code|description" per entry.
std::vector<std::string> FundEntries(const TextArray& funds) {
    std::vector<std::string> entries;
    for (int i = 0; i <= funds.upperBound(); ++i) entries.push_back(funds.at(i, 0) + "|" + funds.at(i, 1));
    return entries;
}

TextArray FundList(std::initializer_list<std::pair<std::string, std::string>> funds) {
    TextArray list(static_cast<int>(funds.size()), 1);
    int i = 1;
    for (const auto& [code, description] : funds) {
        list.at(i, 0) = code;
        list.at(i++, 1) = description;
    }
    return list;
}

class FormControlsTest : public ::testing::Test {
protected:
    FormControlsTest() { strErrorText = std::string(kNoError); }
    ~FormControlsTest() override { strErrorText = std::string(kNoError); }

    void sessionList(std::string_view listKey, std::string_view countKey, const TextArray& list) {
        host_.session.set(listKey, Value(list));
        host_.session.set(countKey, Value::Integer(static_cast<std::int16_t>(list.upperBound())));
    }

    StoreHost host_;
    AppObject app_{host_};
};

// ------------------------------------------------------------ list builders

class FormControlsListsTest : public FormControlsTest {
protected:
    FormControlsListsTest() {
        site_.sql("trip.db",
                  "INSERT INTO CUSTOMER (CUSTOMER, CUSTNAME, ACTIVE) VALUES ('LHS', 'Lakemont High', 1), "
                  "('ACE', 'Zeta Academy', 1), ('OLD', 'Closed School', 0), ('O''NEIL', NULL, 1), "
                  "('MID', 'Lakemont Middle', 1);"
                  "INSERT INTO DESTINATION (DESTINATION, DESTDESC, ACTIVE) VALUES (7, 'Zoo', 1), "
                  "(3, 'Art Museum', 1), (9, 'Old Mill', 0);"
                  "INSERT INTO GRADE (GRADE, ACTIVE) VALUES ('K', 1), ('01', 1), ('12', 0), ('02', 1);"
                  "INSERT INTO TRIPCAT (TRIPCAT, DESCRIPTION, ACTIVE) VALUES ('SPORT', 'Athletics', 1), "
                  "('ACAD', 'Museums', 1), ('GONE', 'Aaa retired', 0);"
                  "INSERT INTO DESTCAT (DESTCAT, ACTIVE) VALUES ('PARK', 1), ('FARM', 0), ('MUSEUM', 1);"
                  "INSERT INTO TRIPREQSTATUS (STATUS, DESCRIPTION, ACTIVE) VALUES ('A', 'Approved', 1), "
                  "('P', 'Pending', 1), ('X', 'Cancelled', 0), ('D', 'Denied', 1);"
                  "INSERT INTO DIVISION (DIVISION, DESCRIPTION, ACTIVE) VALUES ('2', 'South', 1), "
                  "('1', 'North', 1), ('9', 'Abandoned', 0);");
        EXPECT_TRUE(PrepareDatabase(app_.host)) << strErrorText;
    }
    ~FormControlsListsTest() override { CloseTripDBConnections(); }

    testing::TestSite site_;
};

TEST_F(FormControlsListsTest, UserWithoutCustomerGetsActiveCustomersByName) {
    host_.session.set("CUSTOMER", "");
    PopulateCustDD(app_);
    ASSERT_TRUE(app_.lists.customers);
    EXPECT_EQ(Entries(*app_.lists.customers),
              (std::vector<std::string>{"", "O'NEIL, ", "LHS, Lakemont High", "MID, Lakemont Middle",
                                        "ACE, Zeta Academy"}))
        << "a Null name sorts first and reads as empty";
    EXPECT_EQ(host_.written, "");
}

TEST_F(FormControlsListsTest, UserWhoseStoredCustomerIsNullGetsAllCustomers) {
    host_.session.set("CUSTOMER", " ");  // what sign-in stores for a Null customer
    PopulateCustDD(app_);
    ASSERT_TRUE(app_.lists.customers);
    EXPECT_EQ(app_.lists.customers->upperBound(), 4);
}

TEST_F(FormControlsListsTest, UserWithCustomerGetsOnlyThatCustomer) {
    host_.session.set("CUSTOMER", " mid ");
    PopulateCustDD(app_);
    ASSERT_TRUE(app_.lists.customers);
    EXPECT_EQ(Entries(*app_.lists.customers), (std::vector<std::string>{"", "MID, Lakemont Middle"}));

    host_.session.set("CUSTOMER", "o'neil");
    PopulateCustDD(app_);
    EXPECT_EQ(Entries(*app_.lists.customers), (std::vector<std::string>{"", "O'NEIL, "}));
    EXPECT_EQ(host_.written, "") << "a quote in the code does not break the query";

    host_.session.set("CUSTOMER", "NOPE' OR '1'='1");
    PopulateCustDD(app_);
    EXPECT_EQ(Entries(*app_.lists.customers), (std::vector<std::string>{""}));
}

TEST_F(FormControlsListsTest, DestinationsAreNumberAndDescriptionByDescription) {
    PopulateDestDD(app_);
    ASSERT_TRUE(app_.lists.destinations);
    EXPECT_EQ(Entries(*app_.lists.destinations), (std::vector<std::string>{"", "3, Art Museum", "7, Zoo"}));
}

TEST_F(FormControlsListsTest, SmallListsKeepOnlyActiveRows) {
    PopulateGradeDD(app_);
    PopulateCatDD(app_);
    PopulateDESTCATDD(app_);
    ASSERT_TRUE(app_.lists.grades && app_.lists.tripCats && app_.lists.destCats);
    EXPECT_EQ(Entries(*app_.lists.grades), (std::vector<std::string>{"", "K", "01", "02"}));
    EXPECT_EQ(Entries(*app_.lists.tripCats), (std::vector<std::string>{"", "SPORT", "ACAD"}))
        << "ordered by description, not code";
    EXPECT_EQ(Entries(*app_.lists.destCats), (std::vector<std::string>{"", "PARK", "MUSEUM"}));
    EXPECT_EQ(host_.written, "");
}

TEST_F(FormControlsListsTest, PopulateDDBuildsTheSessionListsButNotDestinationCategories) {
    PopulateDD(app_);
    ASSERT_TRUE(app_.lists.grades && app_.lists.customers && app_.lists.destinations && app_.lists.tripCats);
    ASSERT_TRUE(app_.lists.statusVals && app_.lists.divisions);
    EXPECT_EQ(Entries(*app_.lists.statusVals), (std::vector<std::string>{"", "A", "D", "P"}));
    EXPECT_EQ(Entries(*app_.lists.divisions), (std::vector<std::string>{"", "1, North", "2, South"}));
    EXPECT_EQ(app_.lists.customers->upperBound(), 4);
    EXPECT_FALSE(app_.lists.destCats);
    EXPECT_EQ(host_.written, "");
}

TEST_F(FormControlsListsTest, EmptyTableGivesOnlyTheEmptyEntry) {
    site_.sql("trip.db", "DELETE FROM GRADE;");
    PopulateGradeDD(app_);
    ASSERT_TRUE(app_.lists.grades);
    EXPECT_EQ(Entries(*app_.lists.grades), (std::vector<std::string>{""}));
}

TEST_F(FormControlsListsTest, FailingQueryWritesTheErrorTextAndKeepsTheOldList) {
    app_.lists.grades = List({"K"});
    site_.sql("trip.db", "DROP TABLE GRADE;");
    PopulateGradeDD(app_);
    EXPECT_EQ(host_.written,
              "Error in Procedure: PopulateGradeDD of Module: Excursa.  Error: -2147467259.  "
              "no such table: GRADE.");
    EXPECT_EQ(Entries(*app_.lists.grades), (std::vector<std::string>{"", "K"}));
}

TEST_F(FormControlsListsTest, PopulateDDReportsAPartThatFailsAndBuildsTheRest) {
    site_.sql("trip.db", "DROP TABLE TRIPREQSTATUS;");
    PopulateDD(app_);
    const std::string text =
        "Error in Procedure: PopulateDD of Module: Excursa.  Error: -2147467259.  "
        "no such table: TRIPREQSTATUS.";
    EXPECT_EQ(host_.written, text);
    EXPECT_TRUE(app_.lists.grades && app_.lists.tripCats);
    EXPECT_FALSE(app_.lists.statusVals);
    EXPECT_FALSE(app_.lists.divisions) << "the procedure stops at its failure";
}

TEST_F(FormControlsListsTest, NoConnectionIsError91) {
    CloseTripDBConnections();
    PopulateDestDD(app_);
    EXPECT_EQ(host_.written,
              "Error in Procedure: PopulateDestDD of Module: Excursa.  Error: 91.  "
              "Object variable or With block variable not set.");
}

class FormControlsFundListTest : public FormControlsTest {
protected:
    FormControlsFundListTest() {
        site_.sql("trip.db",
                  "INSERT INTO FUND (FUND, FUNDDESC, ACTIVE) VALUES ('200', '  Athletics  ', 1), "
                  "('100', 'General', 1), ('300', NULL, 1), ('150', 'Retired', 0);"
                  "INSERT INTO CUSTOMER_FUND (CUSTOMER, FUND) VALUES ('LHS', '300'), ('LHS', '100'), "
                  "('LHS', '150'), ('MID', '200'), ('O''NEIL', '100');");
    }

    testing::TestSite site_;
};

TEST_F(FormControlsFundListTest, AllActiveFundsByCodeWithTrimmedDescriptions) {
    PopulateFundDD(app_, "");
    ASSERT_TRUE(app_.lists.funds);
    EXPECT_EQ(FundEntries(*app_.lists.funds),
              (std::vector<std::string>{"|", "100|General", "200|Athletics", "300|"}));
    EXPECT_EQ(host_.written, "");
    EXPECT_TRUE(!cnTrip || !cnTrip->isOpen()) << "it closes the connections it opened";
}

TEST_F(FormControlsFundListTest, CustomerFilterGivesThatCustomersActiveFunds) {
    PopulateFundDD(app_, "LHS");
    ASSERT_TRUE(app_.lists.funds);
    EXPECT_EQ(FundEntries(*app_.lists.funds), (std::vector<std::string>{"|", "100|General", "300|"}));

    PopulateFundDD(app_, "O'NEIL");
    EXPECT_EQ(FundEntries(*app_.lists.funds), (std::vector<std::string>{"|", "100|General"}));

    PopulateFundDD(app_, "0");
    EXPECT_EQ(FundEntries(*app_.lists.funds), (std::vector<std::string>{"|"}));
    EXPECT_EQ(host_.written, "");
}

TEST_F(FormControlsFundListTest, OpeningFailureStopsAndShowsTheConnectionError) {
    std::filesystem::remove(site_.dataFolder() / "trip.db");
    PopulateFundDD(app_, "");
    EXPECT_FALSE(app_.lists.funds);
    EXPECT_TRUE(
        host_.written.starts_with("Error in Procedure: SetTripDBConnections of Module: WebCommon.  "
                                  "Error: -2147467259 - Could not find file '"))
        << host_.written;
    EXPECT_TRUE(!cnSecurity || !cnSecurity->isOpen());
}

// -------------------------------------------------------------- drop-downs

using FormControlsSelectTest = FormControlsTest;

TEST_F(FormControlsSelectTest, CustomerSelectMarksTheChosenCode) {
    sessionList("CustomersDD", "numCustomers", List({"LHS, Lakemont High", "MID, Lakemont Middle"}));
    EXPECT_EQ(BuildCustomerSelect(app_, "class=x", " mid"),
              "<select name='cust' width='100' class=x><option></option><option>LHS, Lakemont High</option>"
              "<option selected>MID, Lakemont Middle</option></select>");
}

TEST_F(FormControlsSelectTest, SingleCustomerIsSelectedEvenOnANewRequest) {
    sessionList("CustomersDD", "numCustomers", List({"LHS, Lakemont High"}));
    const std::string html = BuildCustomerSelect(app_, "", "");
    EXPECT_NE(html.find("<option selected>LHS, Lakemont High</option>"), std::string::npos) << html;
}

TEST_F(FormControlsSelectTest, GradeAndTripCategorySelects) {
    sessionList("Grades", "numGrades", List({"K", "01"}));
    sessionList("TripCat", "numTripCat", List({"SPORT"}));
    EXPECT_EQ(BuildGradeSelect(app_, "onchange='f()'", "k"),
              "<select name='grade' onchange='f()'><option></option><option selected>K</option>"
              "<option>01</option></select>");
    EXPECT_EQ(BuildTripCatSelect(app_, "", "ACAD"),
              "<select name='tripcat' ><option></option><option>SPORT</option></select>");
}

TEST_F(FormControlsSelectTest, NeverFilledSessionListsGiveOnlyTheTags) {
    host_.session.set("CustomersDD", "");
    host_.session.set("numCustomers", Value::Integer(0));
    EXPECT_EQ(BuildCustomerSelect(app_, "", ""), "<select name='cust' width='100' ></select>");
    EXPECT_EQ(BuildGradeSelect(app_, "", ""), "<select name='grade' ></select>");
    EXPECT_EQ(BuildDestinationDD(app_, "", "5", false), "<select name='dest' width='30' ></select>");
    sessionList("Grades", "numGrades", TextArray(0));
    EXPECT_EQ(BuildGradeSelect(app_, "", ""), "<select name='grade' ><option selected></option></select>");
}

TEST_F(FormControlsSelectTest, CountBeyondTheListStopsAtItsEnd) {
    host_.session.set("TripCat", Value(List({"SPORT"})));
    host_.session.set("numTripCat", Value::Integer(5));
    EXPECT_EQ(BuildTripCatSelect(app_, "", "SPORT"),
              "<select name='tripcat' ><option></option><option selected>SPORT</option></select>");
}

TEST_F(FormControlsSelectTest, StoredTextIsEscapedAndAttributesAreNot) {
    sessionList("CustomersDD", "numCustomers", List({"AB, Smith & <Jones>'s", "CD, Other"}));
    EXPECT_EQ(
        BuildCustomerSelect(app_, "style='x'", "AB"),
        "<select name='cust' width='100' style='x'><option></option>"
        "<option selected>AB, Smith &amp; &lt;Jones&gt;&#39;s</option><option>CD, Other</option></select>");
}

class FormControlsDestinationTest : public FormControlsTest {
protected:
    FormControlsDestinationTest() {
        sessionList(
            "Destinations", "numDestinations",
            List({"3, Art Museum", "7,  The Very Long Name Of A Nature Center Far Away", "no comma"}));
    }
};

TEST_F(FormControlsDestinationTest, NothingChosen) {
    EXPECT_EQ(BuildDestinationDD(app_, "size=1", "", false),
              "<select name='dest' width='30' size=1><option value=''></option>"
              "<option value='3'>Art Museum</option>"
              "<option value='7'>The Very Long Name Of A Nature</option>"
              "<option value=''></option></select>");
}

TEST_F(FormControlsDestinationTest, StoredDestinationChosen) {
    EXPECT_EQ(BuildDestinationDD(app_, "", "7", false),
              "<select name='dest' width='30' ><option value='' ></option>"
              "<option value='3' >Art Museum</option>"
              "<option value='7' selected>The Very Long Name Of A Nature</option>"
              "<option value='' ></option></select>");
}

TEST_F(FormControlsDestinationTest, NewDestinationComesFirstAndEscaped) {
    EXPECT_EQ(BuildDestinationDD(app_, "", "Bob's <Farm> & Barn", true),
              "<select name='dest' width='30' >"
              "<option value='0' selected>Bob&#39;s &lt;Farm&gt; &amp; Barn</option>"
              "<option value=''></option><option value='3'>Art Museum</option>"
              "<option value='7'>The Very Long Name Of A Nature</option>"
              "<option value=''></option></select>");
}

TEST_F(FormControlsDestinationTest, CutCountsCharactersNotBytes) {
    sessionList("Destinations", "numDestinations", List({"4, Musée d'Orsay étoile éèàùçâêîôû-xyz"}));
    const std::string html = BuildDestinationDD(app_, "", "", false);
    EXPECT_NE(html.find("<option value='4'>Musée d&#39;Orsay étoile éèàùçâêîô</option>"), std::string::npos)
        << html;
}

class FormControlsFundSelectTest : public FormControlsTest {};

TEST_F(FormControlsFundSelectTest, CustomerFundsWithoutABuiltListDrawNothing) {
    host_.application.set("DISTRICT.USECUSTFUND", "True");
    sessionList("Funds", "numFunds", FundList({{"100", "General"}}));
    EXPECT_EQ(BuildFundDD(app_, "", "100"), "");
    EXPECT_EQ(host_.written, "");
}

TEST_F(FormControlsFundSelectTest, CustomerFundsUseTheListBuiltInThisRequest) {
    host_.application.set("DISTRICT.USECUSTFUND", "true");
    app_.lists.funds = FundList({{"100", "General"}, {"300 ", "Band & <Choir>"}});
    EXPECT_EQ(BuildFundDD(app_, "class=f", " 300"),
              "<select name='fund' width='40' class=f><option value=''></option>"
              "<option value='100'>General</option>"
              "<option value='300 ' selected >Band &amp; &lt;Choir&gt;</option></select>");
}

TEST_F(FormControlsFundSelectTest, OtherwiseTheSessionListIsCopiedAndDrawn) {
    host_.application.set("DISTRICT.USECUSTFUND", "False");
    app_.lists.funds = FundList({{"999", "Stale"}});
    sessionList("Funds", "numFunds", FundList({{"100", "General"}}));
    EXPECT_EQ(BuildFundDD(app_, "", ""),
              "<select name='fund' width='40' ><option value='' selected ></option>"
              "<option value='100'>General</option></select>");
    ASSERT_TRUE(app_.lists.funds);
    EXPECT_EQ(FundEntries(*app_.lists.funds), (std::vector<std::string>{"|", "100|General"}));
}

TEST_F(FormControlsFundSelectTest, SessionWithoutFundsGivesAnEmptySelect) {
    host_.session.set("Funds", "");
    host_.session.set("numFunds", "0");
    EXPECT_EQ(BuildFundDD(app_, "", ""), "<select name='fund' width='40' ></select>");
}

TEST_F(FormControlsFundSelectTest, FailureBecomesTheErrorText) {
    host_.session.set("Funds", Value(List({"100"})));  // one column: not a fund list
    host_.session.set("numFunds", Value::Integer(1));
    EXPECT_EQ(BuildFundDD(app_, "", ""), "");
    EXPECT_EQ(host_.written,
              "Error in Procedure: BuildFundDD of Module: Excursa.  Error: 9.  Subscript out of range.");
}

// ------------------------------------------------------------------ pickers

double At(int year, int month, int day, int hour = 0, int minute = 0) {
    return DateSerial(year, month, day) + TimeSerial(hour, minute, 0);
}

std::string MonthOptions(int selected) {
    std::string html;
    for (int m = 1; m <= 12; ++m) {
        const std::string name = MonthName(m, true);
        html += (m == selected ? "<option selected value = '" : "<option value = '") + name + "'>" + name +
                "</option>";
    }
    return html;
}

std::string YearOptions(int selected) {
    std::string html;
    for (int y = 2014; y <= Year(Today()) + 2; ++y) {
        const std::string text = std::to_string(y);
        html += (y == selected ? "<option selected value='" : "<option value='") + text + "'>" + text +
                "</option>";
    }
    return html;
}

using FormControlsPickerTest = FormControlsTest;

TEST_F(FormControlsPickerTest, MonthPicker) {
    EXPECT_EQ(BuildMonthPicker(At(2024, 3, 9), "Dep", "onchange='x'"),
              "<span  class=HOMEPAGEFONT><select class=HOMEPAGEFONT name='Dep_month' size='1' "
              "style='height: 23; width: 52' onchange='x'>" +
                  MonthOptions(3) + "</select></span>");
    EXPECT_EQ(BuildMonthPicker(kNoDate, "Rtn", ""),
              "<span  class=HOMEPAGEFONT><select class=HOMEPAGEFONT name='Rtn_month' size='1' "
              "style='height: 23; width: 52' ><option selected value = ' '></option>" +
                  MonthOptions(0) + "</select></span>");
}

TEST_F(FormControlsPickerTest, DayPicker) {
    const std::string opening =
        "<span  class=HOMEPAGEFONT><select class=HOMEPAGEFONT name='Dep_date' size='1' "
        "style='height: 23; width: 44' >";
    const std::string html = BuildDayPicker(At(2024, 3, 9), "Dep", "");
    EXPECT_TRUE(html.starts_with(opening + "<option value = '1'>1</option>")) << html;
    EXPECT_NE(html.find("<option value = '8'>8</option><option selected value = '9'>9</option>"
                        "<option value = '10'>10</option>"),
              std::string::npos);
    EXPECT_TRUE(html.ends_with("<option value = '31'>31</option></select></span>"));
    EXPECT_TRUE(
        BuildDayPicker(kNoDate, "Dep", "")
            .starts_with(opening + "<option selected value = ' '></option><option value = '1'>1</option>"));
}

TEST_F(FormControlsPickerTest, YearPickerRunsToTwoYearsAhead) {
    const int lastYear = Year(Today()) + 2;
    const std::string opening =
        "<span  class=HOMEPAGEFONT><select class=HOMEPAGEFONT name='Rtn_year' size='1' style='height: 23; "
        "width: 53' >";
    EXPECT_EQ(BuildYearPicker(At(2024, 5, 1), "Rtn", ""), opening + YearOptions(2024) + "</select></span>");
    EXPECT_NE(BuildYearPicker(At(lastYear, 1, 1), "Rtn", "")
                  .find("<option selected value='" + std::to_string(lastYear) + "'>"),
              std::string::npos);
    EXPECT_EQ(BuildYearPicker(At(lastYear, 1, 1), "Rtn", "").find(std::to_string(lastYear + 1)),
              std::string::npos);
    EXPECT_EQ(BuildYearPicker(kNoDate, "Rtn", ""),
              opening + "<option selected value = ' '></option>" + YearOptions(0) + "</select></span>");
}

TEST_F(FormControlsPickerTest, DateBeforeTheYearRangeSelectsMonthAndDayOnly) {
    const double date = At(2013, 6, 14);
    EXPECT_NE(BuildMonthPicker(date, "Dep", "").find("<option selected value = 'Jun'>"), std::string::npos);
    EXPECT_NE(BuildDayPicker(date, "Dep", "").find("<option selected value = '14'>"), std::string::npos);
    const std::string year = BuildYearPicker(date, "Dep", "");
    EXPECT_EQ(year.find("selected"), std::string::npos) << year;
}

std::string HourOptions(int selected) {
    std::string html;
    for (int h = 1; h <= 12; ++h) {
        const std::string text = std::to_string(h);
        html += (h == selected ? "<option selected value = '" : "<option value = '") + text + "'>" + text +
                "</option>";
    }
    return html;
}

std::string MinuteOptions(int selected) {
    std::string html;
    for (int m = 0; m <= 55; m += 5) {
        html += (m == selected ? "<option selected value = '" : "<option value = '") + std::to_string(m) +
                "'>" + (m < 10 ? "0" : "") + std::to_string(m) + "</option>";
    }
    return html;
}

TEST_F(FormControlsPickerTest, AfternoonTimeOffTheFiveMinuteGrid) {
    EXPECT_EQ(BuildTimePicker(At(2024, 5, 1, 13, 7), "DEP", "class=t"),
              "<select name='DEP_HOUR' class=t>" + HourOptions(1) +
                  "</select><select name='DEP_MIN' class=t >" + MinuteOptions(-1) +
                  "</select><INPUT TYPE=radio  name='DEP_AMPM'  VALUE='AM' class=t>am"
                  "<INPUT TYPE=radio  name='DEP_AMPM'  VALUE='PM' CHECKED class=t>pm");
}

TEST_F(FormControlsPickerTest, MorningTime) {
    EXPECT_EQ(BuildTimePicker(TimeSerial(9, 5, 0), "ARRIVE", ""),
              "<select name='ARRIVE_HOUR' >" + HourOptions(9) + "</select><select name='ARRIVE_MIN'  >" +
                  MinuteOptions(5) +
                  "</select><INPUT TYPE=radio  name='ARRIVE_AMPM'  VALUE='AM' CHECKED >am"
                  "<INPUT TYPE=radio  name='ARRIVE_AMPM'  VALUE='PM' >pm");
}

TEST_F(FormControlsPickerTest, MidnightAndNoon) {
    const std::string midnight = BuildTimePicker(At(2024, 5, 1, 0, 30), "DEP", "");
    EXPECT_NE(midnight.find("<option selected value = '12'>"), std::string::npos);
    EXPECT_NE(midnight.find("<option selected value = '30'>30</option>"), std::string::npos);
    EXPECT_NE(midnight.find("VALUE='AM' CHECKED"), std::string::npos);
    const std::string noon = BuildTimePicker(At(2024, 5, 1, 12, 0), "DEP", "");
    EXPECT_NE(noon.find("<option selected value = '12'>"), std::string::npos);
    EXPECT_NE(noon.find("<option selected value = '0'>00</option>"), std::string::npos);
    EXPECT_NE(noon.find("VALUE='PM' CHECKED"), std::string::npos);
}

TEST_F(FormControlsPickerTest, BlankTimesAreEmptyChoicesWithTheFieldsUsualHalfOfTheDay) {
    const std::string empty = "<option selected value = ' '></option>";
    EXPECT_EQ(BuildTimePicker(kNoDate, "Ret", ""),
              "<select name='Ret_HOUR' >" + empty + HourOptions(0) + "</select><select name='Ret_MIN'  >" +
                  empty + MinuteOptions(-1) +
                  "</select><INPUT TYPE=radio  name='Ret_AMPM'  VALUE='AM' >am"
                  "<INPUT TYPE=radio  name='Ret_AMPM'  VALUE='PM' CHECKED >pm");
    EXPECT_NE(BuildTimePicker(kNoDate, "LEAVE", "").find("VALUE='PM' CHECKED"), std::string::npos);
    EXPECT_NE(BuildTimePicker(kNoDate, "DEP", "").find("VALUE='AM' CHECKED"), std::string::npos);
    EXPECT_NE(BuildTimePicker(kNoDate, "arrive", "").find("VALUE='AM' CHECKED"), std::string::npos);
}

}  // namespace
}  // namespace excursa
