#include "data/search_criteria.h"

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

// ---------------------------------------------------------- the condition ----

TEST(SearchConditionTest, FirstCriterionOpensWithWhereAndTheOthersJoinWithAnd) {
    SearchCondition condition;
    EXPECT_EQ(condition.text(), "");
    condition.addText("TRIPSREQ.STATUS", "PENDING");
    EXPECT_EQ(condition.prefix(), " WHERE");
    EXPECT_EQ(condition.body(), " TRIPSREQ.STATUS = 'PENDING'");
    condition.addText("TRIPSREQ.GRADE", "5");
    condition.addFragment(" TRIPS.ASSIGNED = TRUE");
    EXPECT_EQ(condition.text(),
              " WHERE TRIPSREQ.STATUS = 'PENDING' AND TRIPSREQ.GRADE = '5' AND TRIPS.ASSIGNED = TRUE");
}

TEST(SearchConditionTest, TextsAreQuotedSoTheyStayValues) {
    struct Case {
        const char* typed;
        const char* written;
    };
    for (const Case& c :
         {Case{"O'Brien", " T.C = 'O''Brien'"}, Case{"x' OR '1'='1", " T.C = 'x'' OR ''1''=''1'"},
          Case{"''", " T.C = ''''''"}, Case{"plain", " T.C = 'plain'"}}) {
        SearchCondition condition;
        condition.addText("T.C", c.typed);
        EXPECT_EQ(condition.body(), c.written) << c.typed;
    }
}

TEST(SearchConditionTest, NumbersAreWrittenOnlyAfterConversion) {
    SearchCondition condition;
    condition.addWholeNumber("TRIPS.TRIPNUM", "0042");
    condition.addWholeNumber("TRIPS.TRIPREQNUM", "2.5");
    condition.addNumber("TRIPS.DESTINATION", " 007 ");
    condition.addNumber("TRIPS.DESTINATION", "2.5");
    EXPECT_EQ(condition.text(),
              " WHERE TRIPS.TRIPNUM = 42 AND TRIPS.TRIPREQNUM = 2 AND TRIPS.DESTINATION = 7 AND "
              "TRIPS.DESTINATION = 2.5");

    SearchCondition refused;
    EXPECT_EQ(ErrorNumberOf([&] { refused.addWholeNumber("TRIPS.TRIPNUM", "1 OR 1=1"); }), kErrTypeMismatch);
    EXPECT_EQ(ErrorNumberOf([&] { refused.addWholeNumber("TRIPS.TRIPNUM", "99999999999"); }), kErrOverflow);
    EXPECT_EQ(ErrorNumberOf([&] { refused.addNumber("TRIPS.DESTINATION", "1 OR 1=1"); }), kErrTypeMismatch);
    EXPECT_EQ(refused.text(), "") << "a refused number adds nothing";
}

TEST(SearchConditionTest, DateRangesAreWrittenMonthDayYearOnlyWhenBothAreDates) {
    struct Case {
        const char* from;
        const char* to;
        SearchCondition::DateRange result;
        const char* written;
        const char* toAfter;
    };
    const Case cases[] = {
        {"3/1/2004", "", SearchCondition::DateRange::Added, " D >= #3/1/2004# and D <= #3/1/2004#",
         "3/1/2004"},
        {"3/1/2004", "  ", SearchCondition::DateRange::Added, " D >= #3/1/2004# and D <= #3/1/2004#",
         "3/1/2004"},
        {"03/01/2004", "March 9, 2004", SearchCondition::DateRange::Added,
         " D >= #3/1/2004# and D <= #3/9/2004#", "March 9, 2004"},
        {"2004-03-01", "3/2/04", SearchCondition::DateRange::Added, " D >= #3/1/2004# and D <= #3/2/2004#",
         "3/2/04"},
        {"3/32/2004", "", SearchCondition::DateRange::FromIsNoDate, "", ""},
        {"3/1/2004# OR 1=1 OR #1/1/2000", "", SearchCondition::DateRange::FromIsNoDate, "", ""},
        {"3/1/2004", "soon", SearchCondition::DateRange::ToIsNoDate, "", "soon"},
    };
    for (const Case& c : cases) {
        SearchCondition condition;
        std::string to = c.to;
        EXPECT_EQ(condition.addDateRange("D", c.from, to), c.result) << c.from;
        EXPECT_EQ(condition.body(), c.written) << c.from;
        EXPECT_EQ(to, c.toAfter) << c.from;
    }
}

// ------------------------------------------------------- counting, paging ----

TEST(WithoutOrderByTest, DropsOnlyTheClosingOrderBy) {
    EXPECT_EQ(WithoutOrderBy("SELECT A FROM T WHERE B = 1 ORDER BY A, B"), "SELECT A FROM T WHERE B = 1");
    EXPECT_EQ(WithoutOrderBy("SELECT A FROM T order  by A;"), "SELECT A FROM T");
    EXPECT_EQ(WithoutOrderBy("SELECT (SELECT X FROM U ORDER BY X) FROM T"),
              "SELECT (SELECT X FROM U ORDER BY X) FROM T");
    EXPECT_EQ(WithoutOrderBy("SELECT A FROM T WHERE B = 'ORDER BY'"), "SELECT A FROM T WHERE B = 'ORDER BY'");
    EXPECT_EQ(WithoutOrderBy("SELECT A FROM T"), "SELECT A FROM T");
}

TEST(ForCountingTest, PlainSelectsCountOnlyTheirRows) {
    struct Case {
        const char* query;
        const char* counted;
        bool joins;
    };
    const Case cases[] = {
        {"SELECT A, B FROM T WHERE C = 1 ORDER BY A", "SELECT 1 FROM T WHERE C = 1", false},
        {"SELECT T.A, U.B AS X FROM (T LEFT JOIN U ON T.K = U.K) WHERE U.Y = 'a' ORDER BY X",
         "SELECT 1 FROM (T LEFT JOIN U ON T.K = U.K) WHERE U.Y = 'a'", true},
        {"SELECT (SELECT COUNT(*) FROM U) AS N, A FROM T", "SELECT 1 FROM T", false},
        {"SELECT DISTINCT A FROM T ORDER BY A", "SELECT DISTINCT A FROM T", false},
        {"SELECT A, COUNT(*) AS N FROM T GROUP BY A", "SELECT A, COUNT(*) AS N FROM T GROUP BY A", false},
        {"SELECT SUM(X) FROM T", "SELECT SUM(X) FROM T", false},
        {"SELECT A FROM T UNION SELECT B FROM U ORDER BY 1", "SELECT A FROM T UNION SELECT B FROM U", false},
        {"SELECT ? AS P, A FROM T", "SELECT ? AS P, A FROM T", false},
    };
    for (const Case& c : cases) {
        const RowsToCount rows = ForCounting(c.query);
        EXPECT_EQ(rows.jetSql, c.counted) << c.query;
        EXPECT_EQ(rows.joinsTables, c.joins) << c.query;
    }
}

class RowRangeTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string path = (folder_.path() / "t.db").string();
        sqlite3* db = nullptr;
        ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(db,
                               "CREATE TABLE T (N INTEGER, NAME TEXT COLLATE NOCASE, D DATETIME);"
                               "WITH RECURSIVE k(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM k WHERE n < 45) "
                               "INSERT INTO T SELECT n, 'row ' || n, '2004-03-01 00:00:00' FROM k;",
                               nullptr, nullptr, nullptr),
                  SQLITE_OK);
        sqlite3_close(db);
        cn_.open(path, "t.db");
    }
    testing::TempFolder folder_;
    Connection cn_;
};

TEST_F(RowRangeTest, CountsWhatTheQueryGives) {
    EXPECT_EQ(CountRows(cn_, "SELECT * FROM T ORDER BY N DESC"), 45);
    EXPECT_EQ(CountRows(cn_, "SELECT * FROM T WHERE N > ? ORDER BY N;", {Value::Long(40)}), 5);
    EXPECT_EQ(CountRows(cn_, "SELECT * FROM T WHERE T.D >= #3/1/2004# AND NAME = 'ROW 7'"), 1);
    EXPECT_EQ(CountRows(cn_, "SELECT * FROM T WHERE N > 99"), 0);
    EXPECT_EQ(
        CountRows(cn_, "SELECT A.N, B.NAME FROM (T AS A LEFT JOIN T AS B ON A.N = B.N + 40) ORDER BY B.NAME"),
        45);
    EXPECT_EQ(CountRows(cn_, "SELECT A.N FROM (T AS A INNER JOIN T AS B ON A.N = B.N + 40)"), 5);
    EXPECT_EQ(CountRows(cn_, "SELECT N % 10 AS TENS, COUNT(*) FROM T GROUP BY N % 10 ORDER BY TENS"), 10);
    EXPECT_EQ(CountRows(cn_, "SELECT DISTINCT D FROM T"), 1);
    EXPECT_EQ(CountRows(cn_, "SELECT N FROM T WHERE N < 3 UNION SELECT N FROM T WHERE N < 5 ORDER BY 1"), 4);
}

TEST_F(RowRangeTest, ReadsOnlyTheRowsOfTheRangeInTheQuerysOrder) {
    struct Case {
        long offset;
        long count;
        long firstN;
        long rows;
    };
    for (const Case& c :
         {Case{0, 20, 45, 20}, Case{20, 20, 25, 20}, Case{40, 20, 5, 5}, Case{60, 20, 0, 0}}) {
        Recordset page = Recordset::OpenRange(cn_, "SELECT N, D FROM T ORDER BY N DESC;", c.offset, c.count);
        EXPECT_EQ(page.recordCount(), c.rows) << c.offset;
        if (c.rows > 0) {
            EXPECT_EQ(CLng(page.field("N")), c.firstN);
            EXPECT_EQ(page.field("D").type(), VarType::Date) << "columns keep their declared types";
        }
    }
}

}  // namespace
}  // namespace excursa
