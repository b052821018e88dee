#include "frame/value.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>

namespace excursa {
namespace {

// Runs `f` and returns the number of the VbError it raised, or -1 when it raised none.
template <typename F>
long errorOf(F&& f) {
    try {
        f();
    } catch (const VbError& e) {
        return e.number();
    }
    return -1;
}

double at(int y, int m, int d, int hh = 0, int mm = 0, int ss = 0) {
    return DateSerial(y, m, d) + TimeSerial(hh, mm, ss);
}

double parsed(std::string_view text) {
    double out = -99999.0;
    EXPECT_TRUE(ParseDate(text, out)) << text;
    return out;
}

bool isDate(std::string_view text) {
    double out = 0.0;
    return ParseDate(text, out);
}

// ------------------------------------------------------------------ errors

TEST(ValueErrors, DescriptionsOfKnownNumbers) {
    EXPECT_EQ(errorDescription(5), "Invalid procedure call or argument");
    EXPECT_EQ(errorDescription(6), "Overflow");
    EXPECT_EQ(errorDescription(9), "Subscript out of range");
    EXPECT_EQ(errorDescription(13), "Type mismatch");
    EXPECT_EQ(errorDescription(91), "Object variable or With block variable not set");
    EXPECT_EQ(errorDescription(94), "Invalid use of Null");
    EXPECT_EQ(
        errorDescription(3021),
        "Either BOF or EOF is True, or the current record has been deleted. Requested operation requires a "
        "current record.");
    EXPECT_EQ(errorDescription(3265),
              "Item cannot be found in the collection corresponding to the requested name or ordinal.");
    EXPECT_EQ(errorDescription(8), "");
}

TEST(ValueErrors, RaiseCarriesNumberAndDescription) {
    try {
        raiseError(13);
        FAIL();
    } catch (const VbError& e) {
        EXPECT_EQ(e.number(), 13);
        EXPECT_STREQ(e.what(), "Type mismatch");
    }
    try {
        raiseError(8);
        FAIL();
    } catch (const VbError& e) {
        EXPECT_EQ(e.description(), "Application-defined or object-defined error");
    }
    try {
        raiseError(8, "Error reading trip.ini");
        FAIL();
    } catch (const VbError& e) {
        EXPECT_EQ(e.number(), 8);
        EXPECT_EQ(e.description(), "Error reading trip.ini");
    }
}

// ---------------------------------------------------------- value and arrays

TEST(ValueBasics, TypesAndRawAccess) {
    EXPECT_TRUE(Value().isEmpty());
    EXPECT_TRUE(Value::Null().isNull());
    EXPECT_EQ(Value("abc").text(), "abc");
    EXPECT_EQ(Value(std::string_view("sv")).type(), VarType::String);
    EXPECT_EQ(Value::Integer(-3).whole(), -3);
    EXPECT_FLOAT_EQ(static_cast<float>(Value::Single(1.5f).real()), 1.5f);
    EXPECT_TRUE(Value::Cur(Currency{12345}).isNumber());
    EXPECT_FALSE(Value::Date(1.0).isNumber());
    EXPECT_FALSE(Value("1").isNumber());
    EXPECT_EQ(errorOf([] { (void)Value::Long(1).text(); }), 13);
    EXPECT_EQ(errorOf([] { (void)Value("x").whole(); }), 13);
    EXPECT_EQ(errorOf([] { (void)Value("x").array(); }), 13);
    EXPECT_EQ(errorOf([] { (void)Value("x").bytes(); }), 13);
}

TEST(ValueBasics, EqualityIsByTypeAndContents) {
    EXPECT_EQ(Value("a"), Value(std::string("a")));
    EXPECT_NE(Value("a"), Value("A"));
    EXPECT_NE(Value::Integer(5), Value::Long(5));
    EXPECT_EQ(Value(), Value());
    EXPECT_NE(Value(), Value::Null());

    TextArray a(2);
    a.at(1) = "x";
    TextArray b(2);
    b.at(1) = "x";
    EXPECT_EQ(Value(a), Value(b));  // separately built, equal contents
    b.at(2) = "y";
    EXPECT_NE(Value(a), Value(b));
    EXPECT_NE(Value(TextArray(0, 1)), Value(TextArray(1)));  // same cell count, other shape
    EXPECT_EQ(Value::Bytes({1, 2, 3}), Value::Bytes({1, 2, 3}));
    EXPECT_NE(Value::Bytes({1, 2, 3}), Value::Bytes({1, 2}));
}

TEST(ValueArrays, ChangedCopyLeavesTheOriginal) {
    TextArray list(2);
    list.at(0) = "Bus";
    const Value stored(list);
    Value copy = stored;
    copy.array().at(0) = "Van";
    EXPECT_EQ(stored.array().at(0), "Bus");
    EXPECT_EQ(copy.array().at(0), "Van");

    Value again = copy;  // a second generation is independent too
    again.array().at(1) = "Car";
    EXPECT_EQ(copy.array().at(1), "");
}

TEST(ValueArrays, SoleOwnerChangesInPlace) {
    Value v(TextArray(3));
    TextArray* first = &v.array();
    v.array().at(3) = "last";
    EXPECT_EQ(&v.array(), first);
    EXPECT_EQ(v.array().at(3), "last");
}

TEST(ValueArrays, OneDimensionBounds) {
    TextArray a(4);
    EXPECT_EQ(a.dimensions(), 1);
    EXPECT_EQ(a.upperBound(), 4);
    a.at(0) = "first";
    a.at(4) = "last";
    EXPECT_EQ(a.at(4), "last");
    EXPECT_EQ(errorOf([&] { a.at(5); }), 9);
    EXPECT_EQ(errorOf([&] { a.at(-1); }), 9);
    EXPECT_EQ(errorOf([&] { a.upperBound(2); }), 9);
    EXPECT_EQ(errorOf([&] { a.at(0, 0); }), 9);
    EXPECT_EQ(TextArray(0).upperBound(), 0);
    EXPECT_EQ(errorOf([] { TextArray(-1); }), 9);
}

TEST(ValueArrays, TwoDimensionBounds) {
    TextArray grid(2, 1);
    EXPECT_EQ(grid.dimensions(), 2);
    EXPECT_EQ(grid.upperBound(1), 2);
    EXPECT_EQ(grid.upperBound(2), 1);
    EXPECT_EQ(errorOf([&] { grid.upperBound(3); }), 9);
    grid.at(2, 1) = "corner";
    grid.at(1, 0) = "middle";
    EXPECT_EQ(grid.at(2, 1), "corner");
    EXPECT_EQ(grid.at(1, 0), "middle");
    EXPECT_EQ(grid.at(2, 0), "");  // cells do not alias
    EXPECT_EQ(grid.at(1, 1), "");
    EXPECT_EQ(errorOf([&] { grid.at(3, 0); }), 9);
    EXPECT_EQ(errorOf([&] { grid.at(0, 2); }), 9);
    EXPECT_EQ(errorOf([&] { grid.at(0, -1); }), 9);
    EXPECT_EQ(errorOf([&] { grid.at(0); }), 9);
    EXPECT_EQ(TextArray(3, 0).upperBound(2), 0);
    EXPECT_EQ(errorOf([] { TextArray(1, -1); }), 9);
}

// -------------------------------------------------------------------- CStr

TEST(ValueCStr, SimpleTypes) {
    EXPECT_EQ(CStr(Value()), "");
    EXPECT_EQ(CStr(Value::Boolean(true)), "True");
    EXPECT_EQ(CStr(Value::Boolean(false)), "False");
    EXPECT_EQ(CStr(Value::Integer(-32768)), "-32768");
    EXPECT_EQ(CStr(Value::Long(2147483647)), "2147483647");
    EXPECT_EQ(CStr(Value(" as is ")), " as is ");
    EXPECT_EQ(CStr(Value::Bytes({'a', 'b'})), "ab");
    EXPECT_EQ(errorOf([] { CStr(Value::Null()); }), 94);
    EXPECT_EQ(errorOf([] { CStr(Value(TextArray(1))); }), 13);
}

TEST(ValueCStr, DoubleDigitsAndExponents) {
    auto text = [](double d) { return CStr(Value::Double(d)); };
    EXPECT_EQ(text(0.0), "0");
    EXPECT_EQ(text(-0.0), "0");
    EXPECT_EQ(text(100.0), "100");
    EXPECT_EQ(text(0.5), "0.5");
    EXPECT_EQ(text(-0.25), "-0.25");
    EXPECT_EQ(text(-1234.5), "-1234.5");
    EXPECT_EQ(text(0.1 + 0.2), "0.3");
    EXPECT_EQ(text(1.0 / 3.0), "0.333333333333333");
    EXPECT_EQ(text(2.0 / 3.0), "0.666666666666667");
    EXPECT_EQ(text(999999999999999.0), "999999999999999");
    EXPECT_EQ(text(1e15), "1E+15");
    EXPECT_EQ(text(1.5e20), "1.5E+20");
    EXPECT_EQ(text(-1e100), "-1E+100");
    EXPECT_EQ(text(0.0001), "0.0001");
    EXPECT_EQ(text(0.00012345), "0.00012345");
    EXPECT_EQ(text(1e-5), "1E-05");
    EXPECT_EQ(text(-2.5e-7), "-2.5E-07");
    EXPECT_EQ(text(9999999999999999.0), "1E+16");  // 15 digits round up into the exponent
}

TEST(ValueCStr, SingleKeepsSevenDigits) {
    auto text = [](float f) { return CStr(Value::Single(f)); };
    EXPECT_EQ(text(0.1f), "0.1");
    EXPECT_EQ(text(3.14159265f), "3.141593");
    EXPECT_EQ(text(1234567.0f), "1234567");
    EXPECT_EQ(text(16777217.0f), "1.677722E+07");
    EXPECT_EQ(text(125.5f), "125.5");
}

TEST(ValueCStr, CurrencyUpToFourDecimals) {
    auto text = [](std::int64_t scaled) { return CStr(Value::Cur(Currency{scaled})); };
    EXPECT_EQ(text(0), "0");
    EXPECT_EQ(text(12345000), "1234.5");
    EXPECT_EQ(text(-2500), "-0.25");
    EXPECT_EQ(text(123456), "12.3456");
    EXPECT_EQ(text(1), "0.0001");
    EXPECT_EQ(text(std::numeric_limits<std::int64_t>::max()), "922337203685477.5807");
    EXPECT_EQ(text(std::numeric_limits<std::int64_t>::min()), "-922337203685477.5808");
}

TEST(ValueCStr, DateForms) {
    auto text = [](double d) { return CStr(Value::Date(d)); };
    EXPECT_EQ(text(at(2026, 3, 5)), "3/5/2026");
    EXPECT_EQ(text(at(2026, 3, 5, 21, 15, 0)), "3/5/2026 9:15:00 PM");
    EXPECT_EQ(text(at(2026, 12, 25, 12, 0, 0)), "12/25/2026 12:00:00 PM");
    EXPECT_EQ(text(at(2026, 3, 5, 0, 0, 1)), "3/5/2026 12:00:01 AM");
    EXPECT_EQ(text(at(2004, 3, 1, 10, 22, 13)), "3/1/2004 10:22:13 AM");
    EXPECT_EQ(text(0.0), "12:00:00 AM");
    EXPECT_EQ(text(0.5), "12:00:00 PM");
    EXPECT_EQ(text(TimeSerial(9, 5, 7)), "9:05:07 AM");
    EXPECT_EQ(text(kNoDate), "2/19/1969");
    EXPECT_EQ(text(-1.25), "12/29/1899 6:00:00 AM");
    EXPECT_EQ(text(at(2026, 3, 5) + 0.9999999999), "3/6/2026");  // rounds to the next midnight
    EXPECT_EQ(DateText(at(2026, 3, 5, 8, 0, 0)), text(at(2026, 3, 5, 8, 0, 0)));
    EXPECT_EQ(errorOf([&] { text(1e10); }), 6);
}

// ---------------------------------------------------------- whole numbers

TEST(ValueCInt, BankersRounding) {
    EXPECT_EQ(CInt(Value::Double(2.5)), 2);
    EXPECT_EQ(CInt(Value::Double(3.5)), 4);
    EXPECT_EQ(CInt(Value::Double(-2.5)), -2);
    EXPECT_EQ(CInt(Value::Double(-3.5)), -4);
    EXPECT_EQ(CInt(Value::Double(0.5)), 0);
    EXPECT_EQ(CInt(Value::Double(1.5)), 2);
    EXPECT_EQ(CInt(Value::Double(2.4999)), 2);
    EXPECT_EQ(CInt(Value::Double(2.5001)), 3);
    EXPECT_EQ(CInt(Value::Single(-0.6f)), -1);
    EXPECT_EQ(CInt(Value("2.5")), 2);
    EXPECT_EQ(CInt(Value("3.5")), 4);
    EXPECT_EQ(CInt(Value::Cur(Currency{25000})), 2);
    EXPECT_EQ(CInt(Value::Cur(Currency{35000})), 4);
    EXPECT_EQ(CInt(Value::Cur(Currency{-25000})), -2);
    EXPECT_EQ(CInt(Value::Cur(Currency{-25001})), -3);
}

TEST(ValueCInt, OverflowBoundaries) {
    EXPECT_EQ(CInt(Value::Double(32767)), 32767);
    EXPECT_EQ(CInt(Value::Double(32767.4)), 32767);
    EXPECT_EQ(errorOf([] { CInt(Value::Double(32767.5)); }), 6);
    EXPECT_EQ(errorOf([] { CInt(Value::Long(32768)); }), 6);
    EXPECT_EQ(errorOf([] { CInt(Value("32768")); }), 6);
    EXPECT_EQ(CInt(Value::Double(-32768)), -32768);
    EXPECT_EQ(CInt(Value::Double(-32768.5)), -32768);  // rounds to even, inside the range
    EXPECT_EQ(errorOf([] { CInt(Value::Double(-32768.6)); }), 6);
    EXPECT_EQ(errorOf([] { CInt(Value::Double(-32769)); }), 6);
    EXPECT_EQ(errorOf([] { CInt(Value::Double(std::nan(""))); }), 6);
    EXPECT_EQ(errorOf([] { CInt(Value::Cur(Currency{327675000})); }), 6);
}

TEST(ValueCLng, OverflowBoundaries) {
    EXPECT_EQ(CLng(Value::Double(2147483647.0)), 2147483647);
    EXPECT_EQ(errorOf([] { CLng(Value::Double(2147483647.5)); }), 6);
    EXPECT_EQ(errorOf([] { CLng(Value::Double(2147483648.0)); }), 6);
    EXPECT_EQ(CLng(Value::Double(-2147483648.5)), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(errorOf([] { CLng(Value::Double(-2147483649.0)); }), 6);
    EXPECT_EQ(errorOf([] { CLng(Value("1e400")); }), 6);
}

TEST(ValueCLng, TextAndOtherTypes) {
    EXPECT_EQ(CLng(Value(" 12 ")), 12);
    EXPECT_EQ(CLng(Value("$1,234")), 1234);
    EXPECT_EQ(CLng(Value("-$5")), -5);
    EXPECT_EQ(CLng(Value("$-5")), -5);
    EXPECT_EQ(CLng(Value("+7")), 7);
    EXPECT_EQ(CLng(Value("1e3")), 1000);
    EXPECT_EQ(CLng(Value("1.5E+2")), 150);
    EXPECT_EQ(CLng(Value(".5")), 0);
    EXPECT_EQ(CLng(Value("5.")), 5);
    EXPECT_EQ(CLng(Value::Boolean(true)), -1);
    EXPECT_EQ(CLng(Value()), 0);
    EXPECT_EQ(CLng(Value::Date(at(2026, 3, 5, 18, 0, 0))), 46087);
    for (const char* bad : {"", " ", "abc", "12a", "1 2", "$", "-", ".", "1e", ",5", "1.2.3", "--5", "5-"}) {
        EXPECT_EQ(errorOf([&] { CLng(Value(bad)); }), 13) << bad;
    }
    EXPECT_EQ(errorOf([] { CLng(Value::Null()); }), 94);
    EXPECT_EQ(errorOf([] { CLng(Value(TextArray(0))); }), 13);
    EXPECT_EQ(errorOf([] { CLng(Value::Bytes({1})); }), 13);
}

// ------------------------------------------------------- fractional numbers

TEST(ValueCSngCDbl, RangesAndText) {
    EXPECT_FLOAT_EQ(CSng(Value("1.25")), 1.25f);
    EXPECT_EQ(CSng(Value("3.4028235E+38")), FLT_MAX);
    EXPECT_EQ(errorOf([] { CSng(Value::Double(3.5e38)); }), 6);
    EXPECT_EQ(errorOf([] { CSng(Value::Double(-1e39)); }), 6);
    EXPECT_DOUBLE_EQ(CDbl(Value(" -1,234.5e-1 ")), -123.45);
    EXPECT_DOUBLE_EQ(CDbl(Value("1e-400")), 0.0);
    EXPECT_DOUBLE_EQ(CDbl(Value::Cur(Currency{12345})), 1.2345);
    EXPECT_DOUBLE_EQ(CDbl(Value::Date(1.5)), 1.5);
    EXPECT_EQ(errorOf([] { CDbl(Value("1e309")); }), 6);
    EXPECT_EQ(errorOf([] { CDbl(Value("one")); }), 13);
}

TEST(ValueCCur, RoundsHalfToEvenOnTheDecimal) {
    EXPECT_EQ(CCur(Value("0.00005")).scaled, 0);
    EXPECT_EQ(CCur(Value("0.00015")).scaled, 2);
    EXPECT_EQ(CCur(Value("0.000151")).scaled, 2);
    EXPECT_EQ(CCur(Value::Double(2.00005)).scaled, 20000);
    EXPECT_EQ(CCur(Value::Double(2.00015)).scaled, 20002);
    EXPECT_EQ(CCur(Value::Double(-1.23456)).scaled, -12346);
    EXPECT_EQ(CCur(Value::Single(0.1f)).scaled, 1000);
    EXPECT_EQ(CCur(Value::Integer(5)).scaled, 50000);
    EXPECT_EQ(CCur(Value::Boolean(true)).scaled, -10000);
    EXPECT_EQ(CCur(Value("$1,234.56")).scaled, 12345600);
    EXPECT_EQ(Currency::fromDouble(125.5).scaled, 1255000);
}

TEST(ValueCCur, Range) {
    EXPECT_EQ(CCur(Value("922337203685477.5807")).scaled, std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(CCur(Value("-922337203685477.5808")).scaled, std::numeric_limits<std::int64_t>::min());
    EXPECT_EQ(errorOf([] { CCur(Value("922337203685477.5808")); }), 6);
    EXPECT_EQ(errorOf([] { CCur(Value("922337203685477.58075")); }), 6);
    EXPECT_EQ(errorOf([] { CCur(Value("1e20")); }), 6);
    EXPECT_EQ(errorOf([] { Currency::fromDouble(1e15); }), 6);
    EXPECT_EQ(errorOf([] { Currency::fromDouble(INFINITY); }), 6);
    EXPECT_EQ(errorOf([] { CCur(Value("x")); }), 13);
    EXPECT_EQ(errorOf([] { CCur(Value::Null()); }), 94);
}

// ------------------------------------------------------------ CBool, dates

TEST(ValueCBool, TextsAndNumbers) {
    EXPECT_TRUE(CBool(Value("True")));
    EXPECT_TRUE(CBool(Value("TRUE")));
    EXPECT_FALSE(CBool(Value("false")));
    EXPECT_TRUE(CBool(Value("-1")));
    EXPECT_FALSE(CBool(Value(" 0 ")));
    EXPECT_TRUE(CBool(Value("0.5")));
    EXPECT_FALSE(CBool(Value()));
    EXPECT_TRUE(CBool(Value::Double(0.0001)));
    EXPECT_FALSE(CBool(Value::Cur(Currency{0})));
    EXPECT_TRUE(CBool(Value::Integer(2)));
    EXPECT_EQ(errorOf([] { CBool(Value("yes")); }), 13);
    EXPECT_EQ(errorOf([] { CBool(Value("")); }), 13);
    EXPECT_EQ(errorOf([] { CBool(Value::Null()); }), 94);
}

TEST(ValueCDate, Conversions) {
    EXPECT_DOUBLE_EQ(CDate(Value::Date(45000.25)), 45000.25);
    EXPECT_DOUBLE_EQ(CDate(Value::Long(45000)), 45000.0);
    EXPECT_DOUBLE_EQ(CDate(Value("3/5/2026")), DateSerial(2026, 3, 5));
    EXPECT_DOUBLE_EQ(CDate(Value()), 0.0);
    EXPECT_EQ(errorOf([] { CDate(Value("soon")); }), 13);
    EXPECT_EQ(errorOf([] { CDate(Value("5")); }), 13);
    EXPECT_EQ(errorOf([] { CDate(Value::Null()); }), 94);
    EXPECT_EQ(errorOf([] { CDate(Value::Double(1e10)); }), 6);
    EXPECT_TRUE(CVDate(Value::Null()).isNull());
    EXPECT_EQ(CVDate(Value("3/5/2026")), Value::Date(DateSerial(2026, 3, 5)));
}

TEST(ValueTests, IsNumericAndIsDate) {
    EXPECT_TRUE(IsNumeric(Value()));
    EXPECT_TRUE(IsNumeric(Value::Boolean(false)));
    EXPECT_TRUE(IsNumeric(Value::Cur(Currency{1})));
    EXPECT_TRUE(IsNumeric(Value(" 5 ")));
    EXPECT_TRUE(IsNumeric(Value("1,234.5")));
    EXPECT_TRUE(IsNumeric(Value("$5")));
    EXPECT_FALSE(IsNumeric(Value("")));
    EXPECT_FALSE(IsNumeric(Value("12a")));
    EXPECT_FALSE(IsNumeric(Value("1e400")));
    EXPECT_FALSE(IsNumeric(Value::Null()));
    EXPECT_FALSE(IsNumeric(Value::Date(45000)));
    EXPECT_FALSE(IsNumeric(Value(TextArray(0))));

    EXPECT_TRUE(IsDate(Value::Date(0)));
    EXPECT_TRUE(IsDate(Value("3/5/2026")));
    EXPECT_FALSE(IsDate(Value("2/30/2026")));
    EXPECT_FALSE(IsDate(Value::Long(45000)));
    EXPECT_FALSE(IsDate(Value::Null()));
    EXPECT_FALSE(IsDate(Value()));
}

TEST(ValueTests, TextOfAndSameText) {
    EXPECT_EQ(TextOf(Value::Null()), "");
    EXPECT_EQ(TextOf(Value::Integer(7)), "7");
    EXPECT_FALSE(SameText(Value::Null(), ""));
    EXPECT_TRUE(SameText(Value(), ""));
    EXPECT_TRUE(SameText(Value("Reset"), "RESET"));
    EXPECT_TRUE(SameText(Value::Boolean(true), "true"));
    EXPECT_FALSE(SameText(Value("Reset "), "RESET"));
    EXPECT_TRUE(SameTextNoCase("aBc", "AbC"));
    EXPECT_FALSE(SameTextNoCase("ab", "abc"));
}

// ------------------------------------------------------------ text helpers

TEST(ValueText, TrimAndCase) {
    EXPECT_EQ(Trim("  a b  "), "a b");
    EXPECT_EQ(Trim("\ta\t"), "\ta\t");  // only blanks, as the language trims
    EXPECT_EQ(LTrim("  a "), "a ");
    EXPECT_EQ(RTrim("  a "), "  a");
    EXPECT_EQ(Trim("   "), "");
    EXPECT_EQ(UCase("abc-\xC3\xA9"), "ABC-\xC3\xA9");
    EXPECT_EQ(LCase("ABC"), "abc");
}

TEST(ValueText, LeftRightMid) {
    EXPECT_EQ(Left("abcdef", 2), "ab");
    EXPECT_EQ(Left("abc", 10), "abc");
    EXPECT_EQ(Left("abc", 0), "");
    EXPECT_EQ(Right("abcdef", 2), "ef");
    EXPECT_EQ(Right("abc", 10), "abc");
    EXPECT_EQ(errorOf([] { Left("abc", -1); }), 5);
    EXPECT_EQ(errorOf([] { Right("abc", -1); }), 5);
    EXPECT_EQ(Mid("abcdef", 3), "cdef");
    EXPECT_EQ(Mid("abcdef", 3, 2), "cd");
    EXPECT_EQ(Mid("abcdef", 5, 10), "ef");
    EXPECT_EQ(Mid("abc", 4), "");
    EXPECT_EQ(Mid("abc", 99, 1), "");
    EXPECT_EQ(errorOf([] { Mid("abc", 0); }), 5);
    EXPECT_EQ(errorOf([] { Mid("abc", 1, -1); }), 5);
}

TEST(ValueText, InStrReplaceAndCommas) {
    EXPECT_EQ(InStr("abcabc", "c"), 3);
    EXPECT_EQ(InStr(4, "abcabc", "c"), 6);
    EXPECT_EQ(InStr("abc", "x"), 0);
    EXPECT_EQ(InStr(7, "abc", "c"), 0);
    EXPECT_EQ(InStr(2, "abc", ""), 2);
    EXPECT_EQ(InStr("", "a"), 0);
    EXPECT_EQ(errorOf([] { InStr(0, "abc", "a"); }), 5);
    EXPECT_EQ(Replace("a,b,,c", ",", ", "), "a, b, , c");
    EXPECT_EQ(Replace("aaa", "aa", "b"), "ba");
    EXPECT_EQ(Replace("abc", "", "x"), "abc");
    EXPECT_EQ(Replace("O'Neil", "'", "''"), "O''Neil");
    EXPECT_EQ(BeforeFirstComma("LINC, Lincoln High"), "LINC");
    EXPECT_EQ(AfterFirstComma("LINC, Lincoln High"), " Lincoln High");
    EXPECT_EQ(BeforeFirstComma("LINC"), "LINC");
    EXPECT_EQ(AfterFirstComma("LINC"), "");
}

// ------------------------------------------------------------------- dates

TEST(ValueDates, DateSerialKnownDaysAndNormalisation) {
    EXPECT_DOUBLE_EQ(DateSerial(1899, 12, 30), 0.0);
    EXPECT_DOUBLE_EQ(DateSerial(1970, 1, 1), 25569.0);
    EXPECT_DOUBLE_EQ(DateSerial(2000, 2, 29), 36585.0);
    EXPECT_DOUBLE_EQ(DateSerial(1969, 2, 19), kNoDate);
    EXPECT_DOUBLE_EQ(DateSerial(2026, 13, 1), DateSerial(2027, 1, 1));
    EXPECT_DOUBLE_EQ(DateSerial(2026, 3, 0), DateSerial(2026, 2, 28));
    EXPECT_DOUBLE_EQ(DateSerial(2024, 3, 0), DateSerial(2024, 2, 29));
    EXPECT_DOUBLE_EQ(DateSerial(2026, 0, 15), DateSerial(2025, 12, 15));
    EXPECT_DOUBLE_EQ(DateSerial(2026, -1, 1), DateSerial(2025, 11, 1));
    EXPECT_DOUBLE_EQ(DateSerial(2026, 1, 32), DateSerial(2026, 2, 1));
    EXPECT_DOUBLE_EQ(DateSerial(2026, 25, 1), DateSerial(2028, 1, 1));
    EXPECT_DOUBLE_EQ(DateSerial(100, 1, 1), -657434.0);
    EXPECT_DOUBLE_EQ(DateSerial(9999, 12, 31), 2958465.0);
    EXPECT_EQ(errorOf([] { DateSerial(99, 12, 31); }), 5);
    EXPECT_EQ(errorOf([] { DateSerial(10000, 1, 1); }), 5);
    EXPECT_EQ(errorOf([] { DateSerial(9999, 13, 1); }), 5);
    EXPECT_EQ(errorOf([] { DateSerial(2026, std::numeric_limits<int>::max(), 1); }), 5);
}

TEST(ValueDates, PartsOfADate) {
    const double d = at(2026, 3, 5, 21, 15, 42);
    EXPECT_EQ(Year(d), 2026);
    EXPECT_EQ(Month(d), 3);
    EXPECT_EQ(Day(d), 5);
    EXPECT_EQ(Hour(d), 21);
    EXPECT_EQ(Minute(d), 15);
    EXPECT_EQ(Second(d), 42);
    EXPECT_EQ(Weekday(d), 5);  // a Thursday
    EXPECT_EQ(Weekday(0.0), 7);
    EXPECT_EQ(Weekday(-1.0), 6);
    EXPECT_DOUBLE_EQ(DateValueOf(d), DateSerial(2026, 3, 5));
    EXPECT_NEAR(TimeValueOf(d), TimeSerial(21, 15, 42), 1e-12);
    // Before day 0 the time still counts forward from the day.
    EXPECT_EQ(Day(-1.25), 29);
    EXPECT_EQ(Month(-1.25), 12);
    EXPECT_EQ(Year(-1.25), 1899);
    EXPECT_EQ(Hour(-1.25), 6);
    EXPECT_DOUBLE_EQ(DateValueOf(-1.25), -1.0);
    EXPECT_EQ(Day(at(2024, 12, 31, 23, 59, 59)), 31);
    EXPECT_EQ(errorOf([] { Year(-700000.0); }), 6);
}

TEST(ValueDates, TimeSerialArithmetic) {
    EXPECT_DOUBLE_EQ(TimeSerial(12, 0, 0), 0.5);
    EXPECT_DOUBLE_EQ(TimeSerial(0, 90, 0), TimeSerial(1, 30, 0));
    EXPECT_DOUBLE_EQ(TimeSerial(25, 0, 0), 1.0 + TimeSerial(1, 0, 0));
    EXPECT_EQ(DateText(TimeSerial(0, -1, 0)), "12/29/1899 11:59:00 PM");
}

TEST(ValueDates, AddDiffAndNames) {
    const double d = at(2026, 2, 27, 8, 30, 0);
    EXPECT_DOUBLE_EQ(DateAddDays(d, 2), at(2026, 3, 1, 8, 30, 0));
    EXPECT_DOUBLE_EQ(DateAddDays(d, -365), at(2025, 2, 27, 8, 30, 0));
    EXPECT_DOUBLE_EQ(DateAddDays(0.25, -1), -1.25);
    EXPECT_DOUBLE_EQ(DateAddDays(-1.25, 2), 1.25);
    EXPECT_EQ(errorOf([] { DateAddDays(DateSerial(9999, 12, 31), 1); }), 5);
    EXPECT_EQ(DateDiffDays(at(2026, 3, 5, 23, 0, 0), at(2026, 3, 6, 1, 0, 0)), 1);
    EXPECT_EQ(DateDiffDays(at(2026, 3, 6), at(2026, 3, 5, 23, 0, 0)), -1);
    EXPECT_EQ(DateDiffDays(-1.75, 0.5), 1);
    EXPECT_EQ(MonthName(3, true), "Mar");
    EXPECT_EQ(MonthName(9, false), "September");
    EXPECT_EQ(errorOf([] { MonthName(0, false); }), 5);
    EXPECT_EQ(errorOf([] { MonthName(13, true); }), 5);
}

TEST(ValueDates, NowIsLocalTimeToTheSecond) {
    const double today = Today();
    const double now = Now();
    EXPECT_EQ(today, std::trunc(today));
    EXPECT_GE(now, today);
    EXPECT_LT(now, today + 1.0 + 1.0 / 86400);  // allows a midnight between the calls
    const double seconds = (now - std::trunc(now)) * 86400;
    EXPECT_NEAR(seconds, std::round(seconds), 1e-3);
    EXPECT_GT(Year(now), 2020);
}

// --------------------------------------------------------------- ParseDate

TEST(ValueParseDate, DateForms) {
    const double march5 = DateSerial(2026, 3, 5);
    for (const char* text : {"Mar/5/2026", "3/5/2026", "3/5/26", "03-05-2026", "2026-03-05", "2026/3/5",
                             "March 5, 2026", "Mar 5 2026", "5-Mar-2026", "5 Mar 2026", "  mar 5 2026  ",
                             "MARCH 5,2026", "Mar. 5, 2026", "Thursday, March 5, 2026", "\t3/5/2026"}) {
        EXPECT_DOUBLE_EQ(parsed(text), march5) << text;
    }
    EXPECT_DOUBLE_EQ(parsed("Sept 1, 2026"), DateSerial(2026, 9, 1));
    EXPECT_DOUBLE_EQ(parsed("2/29/2024"), DateSerial(2024, 2, 29));
    EXPECT_DOUBLE_EQ(parsed("12/31/1899"), 1.0);
}

TEST(ValueParseDate, TwoDigitYears) {
    EXPECT_EQ(Year(parsed("1/1/00")), 2000);
    EXPECT_EQ(Year(parsed("1/1/29")), 2029);
    EXPECT_EQ(Year(parsed("1/1/30")), 1930);
    EXPECT_EQ(Year(parsed("1/1/99")), 1999);
    EXPECT_EQ(Year(parsed("1/1/5")), 2005);
}

TEST(ValueParseDate, TimesAlone) {
    EXPECT_DOUBLE_EQ(parsed("9:15 PM"), TimeSerial(21, 15, 0));
    EXPECT_DOUBLE_EQ(parsed("9:15PM"), TimeSerial(21, 15, 0));
    EXPECT_DOUBLE_EQ(parsed("9:15 am"), TimeSerial(9, 15, 0));
    EXPECT_DOUBLE_EQ(parsed("12:00:01 AM"), TimeSerial(0, 0, 1));
    EXPECT_DOUBLE_EQ(parsed("12:30 PM"), TimeSerial(12, 30, 0));
    EXPECT_DOUBLE_EQ(parsed("12 AM"), 0.0);
    EXPECT_DOUBLE_EQ(parsed("7 PM"), TimeSerial(19, 0, 0));
    EXPECT_DOUBLE_EQ(parsed("21:15"), TimeSerial(21, 15, 0));
    EXPECT_DOUBLE_EQ(parsed("21:15:00"), TimeSerial(21, 15, 0));
    EXPECT_DOUBLE_EQ(parsed("0:00"), 0.0);
}

TEST(ValueParseDate, DateWithTime) {
    EXPECT_DOUBLE_EQ(parsed("3/1/2004 10:22:13 AM"), at(2004, 3, 1, 10, 22, 13));
    EXPECT_DOUBLE_EQ(parsed("2026-03-05 21:15:00"), at(2026, 3, 5, 21, 15, 0));
    EXPECT_DOUBLE_EQ(parsed("Mar 5 2026 9 PM"), at(2026, 3, 5, 21, 0, 0));
    EXPECT_DOUBLE_EQ(parsed("March 5, 2026 12:00 AM"), DateSerial(2026, 3, 5));
    EXPECT_EQ(DateText(parsed("1/1/1800 6:00 AM")), "1/1/1800 6:00:00 AM");
}

TEST(ValueParseDate, RejectsWhatIsNotADate) {
    for (const char* text : {"",
                             "   ",
                             "5",
                             "2026",
                             "3.5",
                             "2/30/2026",
                             "3/32/2004",
                             "13/1/2026",
                             "2/29/2025",
                             "0/1/2026",
                             "1/0/2026",
                             "25:00",
                             "24:00",
                             "9:61 PM",
                             "13:00 PM",
                             "9:15:60",
                             "3/5",
                             "3/5-2026",
                             "3//5/2026",
                             "Marc 5 2026",
                             "Mar 5",
                             "3/5/2026 extra",
                             "3/5/2026 9:15 XM",
                             "3/5/12345",
                             "1/1/0099",
                             "9:",
                             "9:15:00:00",
                             "PM",
                             "3/5/2026;",
                             "March 5th, 2026",
                             "005/1/2026"}) {
        double out = 0.0;
        EXPECT_FALSE(ParseDate(text, out)) << text;
    }
    EXPECT_FALSE(isDate("3/5/2026 9"));
}

// ------------------------------------------------------------------ Format

TEST(ValueFormat, PagePatterns) {
    EXPECT_EQ(Format(Value::Double(1234.5), "$###,##0.00"), "$1,234.50");
    EXPECT_EQ(Format(Value::Double(-1234.5), "$###,##0.00"), "-$1,234.50");
    EXPECT_EQ(Format(Value::Double(0), "$###,##0.00"), "$0.00");
    EXPECT_EQ(Format(Value::Double(1234567.891), "$###,##0.00"), "$1,234,567.89");
    EXPECT_EQ(Format(Value::Double(125.5), "$###,##0.00"), "$125.50");
    EXPECT_EQ(Format(Value::Double(0.5), "#0.00"), "0.50");
    EXPECT_EQ(Format(Value::Double(12), "#0.00"), "12.00");
    EXPECT_EQ(Format(Value::Long(1234567), "#,###,##0"), "1,234,567");
    EXPECT_EQ(Format(Value::Long(0), "#,###,##0"), "0");
    EXPECT_EQ(Format(Value::Long(999), "#,###,##0"), "999");
    EXPECT_EQ(Format(Value::Long(1000), "#,###,##0"), "1,000");
    EXPECT_EQ(Format(Value::Double(123456789012.0), "#,###,##0"), "123,456,789,012");
}

TEST(ValueFormat, RoundsTheDecimalHalfAwayFromZero) {
    EXPECT_EQ(Format(Value::Double(2.5), "#0"), "3");
    EXPECT_EQ(Format(Value::Double(3.5), "#0"), "4");
    EXPECT_EQ(Format(Value::Double(-2.5), "#0"), "-3");
    EXPECT_EQ(Format(Value::Double(2.675), "#0.00"), "2.68");
    EXPECT_EQ(Format(Value::Double(1.005), "#0.00"), "1.01");
    EXPECT_EQ(Format(Value::Double(999.995), "#0.00"), "1000.00");
    EXPECT_EQ(Format(Value::Double(0.004), "#0.00"), "0.00");
    EXPECT_EQ(Format(Value::Double(-0.004), "#0.00"), "0.00");
    EXPECT_EQ(Format(Value::Single(0.1f), "0.0000000000"), "0.1000000000");
    EXPECT_EQ(Format(Value::Cur(Currency{12345}), "#0.000"), "1.235");
    EXPECT_EQ(Format(Value::Double(1e-20), "#0.00"), "0.00");
}

TEST(ValueFormat, ValueKinds) {
    EXPECT_EQ(Format(Value(), "#0.00"), "0.00");
    EXPECT_EQ(Format(Value::Null(), "#0.00"), "");
    EXPECT_EQ(Format(Value(" 12.5 "), "#0.00"), "12.50");
    EXPECT_EQ(Format(Value("$1,234"), "#,###,##0"), "1,234");
    EXPECT_EQ(Format(Value("N/A"), "#0.00"), "N/A");
    EXPECT_EQ(Format(Value::Boolean(true), "0"), "-1");
    EXPECT_EQ(Format(Value::Date(45000.5), "0.0"), "45000.5");
    EXPECT_EQ(errorOf([] { Format(Value(TextArray(0)), "0"); }), 13);
}

TEST(ValueFormat, GeneralPatterns) {
    EXPECT_EQ(Format(Value::Double(1234.5678), "0.0#"), "1234.57");
    EXPECT_EQ(Format(Value::Double(1.5), "0.0#"), "1.5");
    EXPECT_EQ(Format(Value::Double(1), "#.##"), "1.");
    EXPECT_EQ(Format(Value::Double(0.5), "#.00"), ".50");
    EXPECT_EQ(Format(Value::Double(5), "000"), "005");
    EXPECT_EQ(Format(Value::Double(12.5), ".00"), "12.50");
    EXPECT_EQ(Format(Value::Double(1234567), "#,##0,"), "1,235");
    EXPECT_EQ(Format(Value::Double(0.256), "0.0%"), "25.6%");
    EXPECT_EQ(Format(Value::Double(5), "\"Total: \"0"), "Total: 5");
    EXPECT_EQ(Format(Value::Double(5), "0\\h"), "5h");
    EXPECT_EQ(Format(Value::Double(5), "0 each"), "5 each");
    EXPECT_EQ(Format(Value::Double(1234.5), "Standard"), "1,234.50");
    EXPECT_EQ(Format(Value::Double(1234.5), "currency"), "$1,234.50");
    EXPECT_EQ(Format(Value::Double(0.5), "Percent"), "50.00%");
    EXPECT_EQ(Format(Value::Double(2.5), "Fixed"), "2.50");
    EXPECT_EQ(Format(Value::Double(0.1 + 0.2), ""), "0.3");
    EXPECT_EQ(errorOf([] { Format(Value::Date(45000), "mm/dd/yyyy"); }), 5);
}

TEST(ValueFormat, Sections) {
    const char* accounting = "#,##0.00;(#,##0.00);\"Nil\"";
    EXPECT_EQ(Format(Value::Double(1234.5), accounting), "1,234.50");
    EXPECT_EQ(Format(Value::Double(-1234.5), accounting), "(1,234.50)");
    EXPECT_EQ(Format(Value::Double(0), accounting), "Nil");
    EXPECT_EQ(Format(Value::Double(-5), "0;;\"Nil\""), "-5");  // empty negative section: positive one
    EXPECT_EQ(Format(Value::Double(5), "\"a;b\"0"), "a;b5");
}

TEST(ValueFormat, FormatCurrency) {
    EXPECT_EQ(FormatCurrency(Value::Double(1234.5)), "$1,234.50");
    EXPECT_EQ(FormatCurrency(Value::Double(-1234.5)), "($1,234.50)");
    EXPECT_EQ(FormatCurrency(Value::Double(0.125)), "$0.13");
    EXPECT_EQ(FormatCurrency(Value::Double(-0.001)), "$0.00");
    EXPECT_EQ(FormatCurrency(Value::Cur(Currency{-12345678})), "($1,234.57)");
    EXPECT_EQ(FormatCurrency(Value()), "$0.00");
    EXPECT_EQ(FormatCurrency(Value::Null()), "");
    EXPECT_EQ(FormatCurrency(Value("1500")), "$1,500.00");
    EXPECT_EQ(errorOf([] { FormatCurrency(Value("abc")); }), 13);
}

}  // namespace
}  // namespace excursa
