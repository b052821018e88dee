#include "data/database.h"

#include "support/temp_folder.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace excursa {
namespace {

long ErrorNumberOf(const std::function<void()>& body) {
    try {
        body();
    } catch (const VbError& e) {
        return e.number();
    }
    return 0;
}

// ---------------------------------------------------------------- text ----

TEST(TranslateJetSqlTest, TextFunctionsCompareWithoutCase) {
    EXPECT_EQ(TranslateJetSql("Select * from VLSCU where trim$(VLSCU.VLSC1) = 'bob'"),
              "Select * from VLSCU where (trim(VLSCU.VLSC1) COLLATE NOCASE) = 'bob' COLLATE NOCASE");
    EXPECT_EQ(TranslateJetSql("WHERE trim$(ucase$(CUSTOMER.CUSTOMER))='AB';"),
              "WHERE (trim(upper(CUSTOMER.CUSTOMER)) COLLATE NOCASE)='AB' COLLATE NOCASE;")
        << "only the outer call carries the collation, so the expression can stand in an index";
    EXPECT_EQ(TranslateJetSql("ucase$(A) & trim$(B)"),
              "(jet_concat((upper(A) COLLATE NOCASE), (trim(B) COLLATE NOCASE)) COLLATE NOCASE)");
    EXPECT_EQ(TranslateJetSql("STR(D.DESTINATION)"), "(jet_str(D.DESTINATION) COLLATE NOCASE)");
}

TEST(TranslateJetSqlTest, OtherFunctionsInAnyCase) {
    EXPECT_EQ(TranslateJetSql("DateValue(T.BILLDATE) AS BILLDATE, DATEVALUE(T.CANDATE)"),
              "jet_datevalue(T.BILLDATE) AS BILLDATE, jet_datevalue(T.CANDATE)");
    EXPECT_EQ(TranslateJetSql("WHERE TRIPNUM = clng(12) OR TRIPNUM = CLNG(3)"),
              "WHERE TRIPNUM = jet_clng(12) OR TRIPNUM = jet_clng(3)");
    EXPECT_EQ(TranslateJetSql("VLSCU.CUSTOMER='' or isnull(VLSCU.CUSTOMER))"),
              "VLSCU.CUSTOMER='' COLLATE NOCASE or jet_isnull(VLSCU.CUSTOMER))");
    EXPECT_EQ(TranslateJetSql("SELECT COUNT(*), SUM(T.N) FROM T"), "SELECT COUNT(*), SUM(T.N) FROM T");
}

TEST(TranslateJetSqlTest, StringLiteralsAreNeverTouched) {
    const std::string sql = "SELECT 'trim$(x) & #1/1/2004# TRUE it''s' FROM T WHERE A LIKE 'x&y'";
    EXPECT_EQ(TranslateJetSql(sql), sql);
    EXPECT_EQ(TranslateJetSql("WHERE A LIKE \"it's \"\"so\"\"\""), "WHERE A LIKE 'it''s \"so\"'");
    EXPECT_EQ(ErrorNumberOf([] { TranslateJetSql("WHERE A = \"open"); }), kErrProvider);
}

TEST(TranslateJetSqlTest, DateLiteralsBecomeTheStoredForm) {
    EXPECT_EQ(TranslateJetSql(" TRIPSREQ.DEPDATE >= #3/1/2004# and TRIPSREQ.DEPDATE <= #3/1/2004#"),
              " TRIPSREQ.DEPDATE >= '2004-03-01 00:00:00' and TRIPSREQ.DEPDATE <= '2004-03-01 00:00:00'");
    EXPECT_EQ(TranslateJetSql("#3/1/2004 10:22:13 AM#"), "'2004-03-01 10:22:13'");
    EXPECT_EQ(TranslateJetSql("#12/31/1999 12:05:00 PM#"), "'1999-12-31 12:05:00'");
    EXPECT_EQ(TranslateJetSql("#1/2/2004 12:05 AM#"), "'2004-01-02 00:05:00'");
    EXPECT_EQ(TranslateJetSql("#9:15:00 PM#"), "'1899-12-30 21:15:00'");
    EXPECT_EQ(TranslateJetSql("#2004-03-01#"), "'2004-03-01 00:00:00'");
    EXPECT_EQ(TranslateJetSql("#2/29/04#"), "'2004-02-29 00:00:00'");
    // Only the day-first reading is a date.
    EXPECT_EQ(TranslateJetSql("#13/1/2004#"), "'2004-01-13 00:00:00'");
}

TEST(TranslateJetSqlTest, InvalidDateLiteralIsAnError) {
    for (const char* sql :
         {"X = #2/30/2004#", "X = #13/45/2004#", "X = #3/1/2004 25:00:00#", "X = #soon#", "X = #3/1/2004"}) {
        EXPECT_EQ(ErrorNumberOf([&] { TranslateJetSql(sql); }), kErrProvider) << sql;
    }
    try {
        TranslateJetSql("X = #2/30/2004#");
    } catch (const VbError& e) {
        EXPECT_NE(e.description().find("#2/30/2004#"), std::string::npos) << e.description();
    }
}

TEST(TranslateJetSqlTest, TruthKeywords) {
    EXPECT_EQ(TranslateJetSql("WHERE (Fund.Active = True) AND T.BILLED = FALSE"),
              "WHERE (Fund.Active = 1) AND T.BILLED = 0");
    EXPECT_EQ(TranslateJetSql("SELECT T.True FROM T"), "SELECT T.True FROM T");
}

TEST(TranslateJetSqlTest, LiteralComparisonsSortingAndGroupingIgnoreCase) {
    EXPECT_EQ(TranslateJetSql("WHERE S = 'a' AND 'b' <> T AND U LIKE 'c%' AND V = 'd' & W"),
              "WHERE S = 'a' COLLATE NOCASE AND 'b' COLLATE NOCASE <> T AND U LIKE 'c%' AND "
              "V = (jet_concat('d', W) COLLATE NOCASE)");
    EXPECT_EQ(TranslateJetSql("SELECT A FROM T GROUP BY A, B ORDER BY A DESC, 2, trim$(C) COLLATE BINARY"),
              "SELECT A FROM T GROUP BY A COLLATE NOCASE, B COLLATE NOCASE ORDER BY A COLLATE NOCASE DESC, "
              "2 COLLATE NOCASE, (trim(C) COLLATE NOCASE) COLLATE BINARY");
}

TEST(TranslateJetSqlTest, ScalarSubSelectInsideAnAggregate) {
    EXPECT_EQ(TranslateJetSql("SUM(SELECT COUNT(*) FROM S WHERE S.K = T.K) AS N"),
              "SUM((SELECT COUNT(*) FROM S WHERE S.K = T.K)) AS N");
    EXPECT_EQ(TranslateJetSql("WHERE K IN (SELECT K FROM S) AND EXISTS (SELECT 1 FROM S)"),
              "WHERE K IN (SELECT K FROM S) AND EXISTS (SELECT 1 FROM S)");
}

TEST(TranslateJetSqlTest, ConcatenationTakesWholeOperands) {
    EXPECT_EQ(
        TranslateJetSql("(CUSTOMER.CUSTOMER&' - '&CUSTOMER.CUSTNAME) AS TYPEDESCRIPTION, "),
        "((jet_concat(CUSTOMER.CUSTOMER, ' - ', CUSTOMER.CUSTNAME) COLLATE NOCASE)) AS TYPEDESCRIPTION, ");
    EXPECT_EQ(TranslateJetSql("(STR(D.DESTINATION)&' - '&D.DESTDESC)"),
              "((jet_concat((jet_str(D.DESTINATION) COLLATE NOCASE), ' - ', D.DESTDESC) COLLATE NOCASE))");
    // Arithmetic binds tighter than &, comparison looser.
    EXPECT_EQ(TranslateJetSql("WHERE A + 1 & 'x' = B & (C)"),
              "WHERE (jet_concat(A + 1, 'x') COLLATE NOCASE) = (jet_concat(B, (C)) COLLATE NOCASE)");
    EXPECT_EQ(ErrorNumberOf([] { TranslateJetSql("SELECT A & FROM T"); }), kErrProvider);
}

TEST(SqlQuoteTest, DoublesApostrophesOnly) {
    EXPECT_EQ(SqlQuote("O'Brien's"), "O''Brien''s");
    EXPECT_EQ(SqlQuote("plain"), "plain");
    EXPECT_EQ(SqlQuote(""), "");
}

// --------------------------------------------------------------- dates ----

TEST(StoredDateTest, RoundTripsDatesAndTimes) {
    EXPECT_EQ(StoredDateText(DateSerial(2004, 3, 1)), "2004-03-01 00:00:00");
    EXPECT_EQ(StoredDateText(DateSerial(2004, 3, 1) + TimeSerial(10, 22, 13)), "2004-03-01 10:22:13");
    EXPECT_EQ(StoredDateText(TimeSerial(21, 15, 0)), "1899-12-30 21:15:00");
    EXPECT_EQ(StoredDateText(-1.25), "1899-12-29 06:00:00");
    EXPECT_EQ(StoredDateText(DateSerial(9999, 12, 31) + TimeSerial(23, 59, 59)), "9999-12-31 23:59:59");
    // Rounded to the second, also across midnight.
    EXPECT_EQ(StoredDateText(DateSerial(2004, 3, 1) + 0.4 / 86400), "2004-03-01 00:00:00");
    EXPECT_EQ(StoredDateText(DateSerial(2004, 3, 1) - 0.4 / 86400), "2004-03-01 00:00:00");

    for (const char* text : {"2004-03-01 10:22:13", "1899-12-30 21:15:00", "1899-12-29 06:00:00",
                             "0100-01-01 00:00:00", "2000-02-29 23:59:59"}) {
        const std::optional<double> day = ParseStoredDate(text);
        ASSERT_TRUE(day) << text;
        EXPECT_EQ(StoredDateText(*day), text);
    }
    EXPECT_DOUBLE_EQ(*ParseStoredDate("2004-03-01"), DateSerial(2004, 3, 1));
    EXPECT_EQ(ErrorNumberOf([] { StoredDateText(1e10); }), kErrOverflow);
}

TEST(StoredDateTest, RejectsWhatIsNotAStoredDate) {
    for (const char* text : {"", "abc", "2004-02-30 00:00:00", "2004-03-01 24:00:00", "2004-3-1 00:00:00",
                             "3/1/2004", "2004-03-01 10:22:13 AM", "2004-03-01 10:22:13x"}) {
        EXPECT_FALSE(ParseStoredDate(text)) << text;
    }
}

// ------------------------------------------------ run against the store ----

class JetSqlRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string path = (folder_.path() / "trip.db").string();
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
        const char* ddl = R"(
            CREATE TABLE VLSCU (VLSC1 VARCHAR(20), ROLE VARCHAR(10), CUSTOMER VARCHAR(10));
            INSERT INTO VLSCU VALUES (' BOB ', 'APP', NULL), ('ann', 'APP', 'C1'), ('zed', 'ADM', '');
            CREATE TABLE CUSTOMER (CUSTOMER VARCHAR(10), CUSTNAME VARCHAR(40), ACTIVE YESNO);
            INSERT INTO CUSTOMER VALUES ('c1 ', 'apple school', 1), ('C2', 'Banana school', 1),
                                        ('C3', 'cherry school', 0), ('C4', NULL, 1);
            CREATE TABLE TRIPS (TRIPNUM INTEGER PRIMARY KEY, CUSTOMER VARCHAR(10), DESTINATION INTEGER,
                                DEPDATE DATETIME, BILLDATE DATETIME, NUMSTUDENTS SMALLINT, AMOUNT REAL,
                                GRADE VARCHAR(5));
            INSERT INTO TRIPS VALUES (1, 'C2', 7, '2004-03-01 00:00:00', '2004-03-05 10:22:13', 20, 2.5, '5'),
                                     (2, 'C2', -3, '2004-03-02 00:00:00', NULL, 10, 3.5, NULL),
                                     (3, 'c1 ', 7, '2004-02-29 00:00:00', NULL, 5, 1e10, '5');
            CREATE TABLE TRIPSPLIT (TRIPNUM INTEGER, FUND VARCHAR(10));
            INSERT INTO TRIPSPLIT VALUES (1, 'F1'), (1, 'F2'), (2, 'F1');
            CREATE TABLE DESTINATION (DESTINATION INTEGER, DESTDESC VARCHAR(75));
            INSERT INTO DESTINATION VALUES (7, 'Zoo'), (-3, 'Museum');
        )";
        ASSERT_EQ(sqlite3_exec(db, ddl, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
        sqlite3_close(db);
        cn_.open(path, "trip.mdb");
    }

    std::vector<std::string> column(std::string_view sql, std::string_view name) {
        Recordset rs = Recordset::Open(cn_, sql);
        std::vector<std::string> out;
        for (; !rs.eof(); rs.moveNext()) out.push_back(TextOf(rs.field(name)));
        return out;
    }

    testing::TempFolder folder_;
    Connection cn_;
};

using Texts = std::vector<std::string>;

TEST_F(JetSqlRunTest, TrimmedAndUpperCasedCodesMatchAnyCase) {
    EXPECT_EQ(column("Select * from VLSCU where trim$(VLSCU.VLSC1) = 'bob'", "VLSC1"), Texts{" BOB "});
    EXPECT_EQ(column("SELECT CUSTOMER.CUSTOMER From CUSTOMER WHERE trim$(ucase$(CUSTOMER.CUSTOMER))='C1';",
                     "CUSTOMER"),
              Texts{"c1 "});
    EXPECT_EQ(
        column("SELECT CUSTOMER.* FROM CUSTOMER WHERE ucase$(Customer.CUSTNAME) like 'BAN%'", "CUSTNAME"),
        Texts{"Banana school"});
    EXPECT_EQ(column("SELECT CUSTOMER.* FROM CUSTOMER WHERE CUSTNAME like 'BAN%'", "CUSTNAME"),
              Texts{"Banana school"});
    EXPECT_EQ(
        column(
            "SELECT trim$(CUSTNAME) AS N FROM CUSTOMER WHERE CUSTNAME IS NOT NULL ORDER BY trim$(CUSTNAME)",
            "N"),
        (Texts{"apple school", "Banana school", "cherry school"}));
}

TEST_F(JetSqlRunTest, LikeIgnoresTheCaseOfEveryAlphabet) {
    cn_.execute("CREATE TABLE NAMES (N VARCHAR(40))");
    cn_.execute("INSERT INTO NAMES VALUES ('Élan École'), ('Peña Park'), ('ZOO'), ('x\xFF\xC3'), (NULL)");
    struct Case {
        const char* pattern;
        Texts found;
    };
    const Case cases[] = {
        {"élan%", {"Élan École"}},   // lower case finds upper case
        {"%ÉCOLE", {"Élan École"}},  // and the other way round
        {"PEÑA%", {"Peña Park"}},
        {"pe_a park", {"Peña Park"}},  // `_` is one character, not one byte
        {"zo%", {"ZOO"}},
        {"%o_", {"ZOO"}},
        {"x\xFF%", {"x\xFF\xC3"}},  // bytes that are no characters
        {"%", {"Élan École", "Peña Park", "ZOO", "x\xFF\xC3"}},
        {"lan%", {}},
        {"_", {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(column(std::string("SELECT N FROM NAMES WHERE N like '") + c.pattern + "'", "N"), c.found)
            << c.pattern;
    }
    EXPECT_EQ(column("SELECT N FROM NAMES WHERE N NOT LIKE 'z%' AND N like '%a%'", "N"),
              (Texts{"Élan École", "Peña Park"}));
}

TEST_F(JetSqlRunTest, PlainColumnsCompareSortAndGroupWithoutCase) {
    EXPECT_EQ(column("SELECT CUSTOMER FROM CUSTOMER order by CUSTOMER.custname;", "CUSTOMER"),
              (Texts{"C4", "c1 ", "C2", "C3"}));
    EXPECT_EQ(column("SELECT VLSC1 FROM VLSCU WHERE VLSCU.ROLE = 'app' ORDER BY VLSC1 DESC", "VLSC1"),
              (Texts{"ann", " BOB "}));
    EXPECT_EQ(column("SELECT TRIPNUM FROM TRIPS ORDER BY DESTINATION, TRIPNUM DESC", "TRIPNUM"),
              (Texts{"2", "3", "1"}));
    EXPECT_EQ(column("SELECT COUNT(*) AS N FROM (SELECT 'a' AS K UNION ALL SELECT 'A') GROUP BY K", "N"),
              Texts{"2"});
}

TEST_F(JetSqlRunTest, TruthKeywordsAndIsNull) {
    EXPECT_EQ(
        column(
            "SELECT CUSTOMER FROM CUSTOMER WHERE (CUSTOMER.ACTIVE=True) order by ucase$(CUSTOMER.CUSTOMER);",
            "CUSTOMER"),
        (Texts{"c1 ", "C2", "C4"}));
    EXPECT_EQ(column("SELECT CUSTOMER FROM CUSTOMER WHERE CUSTOMER.ACTIVE = FALSE", "CUSTOMER"), Texts{"C3"});
    EXPECT_EQ(column("SELECT VLSC1 FROM VLSCU WHERE (VLSCU.ROLE='APP') AND (VLSCU.CUSTOMER='C1' OR "
                     "VLSCU.CUSTOMER='' or isnull(VLSCU.CUSTOMER)) ORDER BY VLSC1",
                     "VLSC1"),
              (Texts{" BOB ", "ann"}));
}

TEST_F(JetSqlRunTest, ConcatenationTreatsNullAsEmpty) {
    Recordset rs =
        Recordset::Open(cn_,
                        "SELECT (CUSTOMER.CUSTOMER&' - '&CUSTOMER.CUSTNAME) AS TYPEDESCRIPTION FROM CUSTOMER "
                        "WHERE (CUSTOMER.CUSTOMER&'x') = 'c4X' OR CUSTOMER = 'C2' ORDER BY 1");
    ASSERT_EQ(rs.recordCount(), 2);
    EXPECT_EQ(rs.field("TYPEDESCRIPTION"), Value("C2 - Banana school"));
    rs.moveNext();
    EXPECT_EQ(rs.field("TYPEDESCRIPTION"), Value("C4 - "));
    EXPECT_EQ(column("SELECT (STR(DESTINATION.DESTINATION)&' - '&DESTINATION.DESTDESC) AS D FROM DESTINATION "
                     "ORDER BY DESTINATION",
                     "D"),
              (Texts{"-3 - Museum", " 7 - Zoo"}));
}

TEST_F(JetSqlRunTest, NumberFunctions) {
    Recordset rs = Recordset::Open(cn_,
                                   "SELECT CLNG(2.5) AS A, clng(3.5) AS B, CLNG('12') AS C, CLNG(NULL) AS D, "
                                   "STR(12) AS E, STR(-3) AS F, STR(1.5) AS G, STR(NULL) AS H");
    EXPECT_EQ(rs.field("A"), Value::Long(2));
    EXPECT_EQ(rs.field("B"), Value::Long(4));
    EXPECT_EQ(rs.field("C"), Value::Long(12));
    EXPECT_TRUE(rs.field("D").isNull());
    EXPECT_EQ(rs.field("E"), Value(" 12"));
    EXPECT_EQ(rs.field("F"), Value("-3"));
    EXPECT_EQ(rs.field("G"), Value(" 1.5"));
    EXPECT_TRUE(rs.field("H").isNull());
    EXPECT_EQ(ErrorNumberOf([&] { Recordset::Open(cn_, "SELECT CLNG(AMOUNT) FROM TRIPS"); }), kErrProvider);
    EXPECT_EQ(ErrorNumberOf([&] { Recordset::Open(cn_, "SELECT CLNG('abc')"); }), kErrProvider);
}

TEST_F(JetSqlRunTest, DatesCompareAsDates) {
    EXPECT_EQ(
        column("SELECT TRIPNUM FROM TRIPS WHERE TRIPS.DEPDATE >= #3/1/2004# and TRIPS.DEPDATE <= #3/1/2004#",
               "TRIPNUM"),
        Texts{"1"});
    EXPECT_EQ(column("SELECT TRIPNUM FROM TRIPS WHERE datevalue(TRIPS.BILLDATE) >= #3/5/2004# and "
                     "datevalue(TRIPS.BILLDATE) <= #3/5/2004#",
                     "TRIPNUM"),
              Texts{"1"});
    Recordset rs =
        Recordset::Open(cn_, "SELECT DateValue(TRIPS.BILLDATE) AS BILLDATE FROM TRIPS ORDER BY TRIPNUM");
    EXPECT_EQ(rs.field("BILLDATE"), Value::Date(DateSerial(2004, 3, 5)));
    rs.moveNext();
    EXPECT_TRUE(rs.field("BILLDATE").isNull());
    EXPECT_EQ(ErrorNumberOf([&] { Recordset::Open(cn_, "SELECT datevalue(CUSTNAME) FROM CUSTOMER"); }),
              kErrProvider);
}

TEST_F(JetSqlRunTest, SummaryQueryWithSubSelectsAndNestedJoins) {
    Recordset rs = Recordset::Open(
        cn_,
        "SELECT (STR(DESTINATION.DESTINATION)&' - '&DESTINATION.DESTDESC) AS TYPEDESCRIPTION, "
        "COUNT(*) AS NUMBEROFTRIPS, "
        "SUM(SELECT COUNT(*) FROM TRIPSPLIT INNER JOIN TRIPS ON TRIPS.TRIPNUM = TRIPSPLIT.TRIPNUM "
        "WHERE TRIPS.DESTINATION = DESTINATION.DESTINATION) AS NUMBEROFSPLITS, "
        "SUM(TRIPS.NUMSTUDENTS) AS NUMBEROFSTUDENTS "
        "FROM CUSTOMER INNER JOIN (DESTINATION INNER JOIN TRIPS ON DESTINATION.DESTINATION = "
        "TRIPS.DESTINATION) "
        "ON CUSTOMER.CUSTOMER = TRIPS.CUSTOMER  WHERE TRIPS.DEPDATE >= #1/1/2004# "
        " GROUP BY DESTINATION.DESTINATION, DESTINATION.DESTDESC");
    ASSERT_EQ(rs.recordCount(), 2);
    EXPECT_EQ(rs.field("TYPEDESCRIPTION"), Value("-3 - Museum"));
    EXPECT_EQ(rs.field("NUMBEROFTRIPS"), Value::Long(1));
    EXPECT_EQ(rs.field("NUMBEROFSPLITS"), Value::Long(1));
    rs.moveNext();
    EXPECT_EQ(rs.field("TYPEDESCRIPTION"), Value(" 7 - Zoo"));
    EXPECT_EQ(rs.field("NUMBEROFTRIPS"), Value::Long(2));
    // The sub-select counts the destination's splits once per trip row, as the desktop engine does.
    EXPECT_EQ(rs.field("NUMBEROFSPLITS"), Value::Long(4));
    EXPECT_EQ(rs.field("NUMBEROFSTUDENTS"), Value::Long(25));
}

TEST_F(JetSqlRunTest, TripListJoinsInBrackets) {
    EXPECT_EQ(column("SELECT TRIPS.TRIPNUM, CUSTOMER.CUSTNAME, CUSTOMER_1.CUSTNAME as BILLCUSTNAME "
                     "FROM ((TRIPS LEFT JOIN CUSTOMER ON TRIPS.CUSTOMER = CUSTOMER.CUSTOMER) "
                     "LEFT JOIN DESTINATION ON TRIPS.DESTINATION = DESTINATION.DESTINATION) "
                     "LEFT JOIN CUSTOMER AS CUSTOMER_1 ON TRIPS.CUSTOMER = CUSTOMER_1.CUSTOMER "
                     "WHERE TRIPS.GRADE = '5' ORDER BY TRIPS.DEPDATE",
                     "BILLCUSTNAME"),
              (Texts{"apple school", "Banana school"}));
}

}  // namespace
}  // namespace excursa
