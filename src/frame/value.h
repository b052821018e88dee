// The variant value of the legacy page language: one type for everything a
// page reads from a form, a store or a database field, with that language's
// conversion rules and numbered run-time errors.
#pragma once

#include "frame/nocase.h"

#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace excursa {

// A run-time error of the page language: a number and its description.
class VbError : public std::exception {
public:
    VbError(long number, std::string description);
    long number() const { return number_; }
    const std::string& description() const { return description_; }
    const char* what() const noexcept override { return description_.c_str(); }

private:
    long number_;
    std::string description_;
};

// Well-known error numbers.
enum VbErrorNumber : long {
    kErrInvalidCall = 5,
    kErrOverflow = 6,
    kErrSubscript = 9,
    kErrTypeMismatch = 13,
    kErrObjectNotSet = 91,
    kErrInvalidNull = 94,
    kErrNoCurrentRecord = 3021,
    kErrItemNotFound = 3265,
};

// The language's own description of a numbered error ("" when unknown).
std::string errorDescription(long number);
// An error without a known or given description carries the language's
// "Application-defined or object-defined error".
[[noreturn]] void raiseError(long number);
[[noreturn]] void raiseError(long number, std::string description);

enum class VarType {
    Empty,
    Null,
    Boolean,
    Integer,
    Long,
    Single,
    Double,
    Currency,
    Date,
    String,
    Array,
    Bytes
};

// Currency: a fixed-point number with four decimals, held scaled by 10000.
struct Currency {
    std::int64_t scaled = 0;
    static Currency fromDouble(double d);  // rounds half to even, error 6 out of range
    double toDouble() const { return static_cast<double>(scaled) / 10000.0; }
    friend bool operator==(Currency a, Currency b) { return a.scaled == b.scaled; }
};

// An array of texts with lower bound 0: one dimension (0..upper1) or two
// (0..upper1, 0..upper2), as the pick lists are dimensioned.
class TextArray {
public:
    explicit TextArray(int upper1);
    TextArray(int upper1, int upper2);
    int dimensions() const { return upper2_ < 0 ? 1 : 2; }
    int upperBound(int dimension = 1) const;  // error 9 for a dimension it lacks
    const std::string& at(int i) const;       // error 9 outside the bounds
    std::string& at(int i);
    const std::string& at(int i, int j) const;
    std::string& at(int i, int j);
    friend bool operator==(const TextArray&, const TextArray&) = default;

private:
    std::size_t index(int i, int j) const;
    int upper1_;
    int upper2_ = -1;
    std::vector<std::string> cells_;
};

class Value {
public:
    Value() = default;  // Empty
    Value(std::string text);
    Value(const char* text);
    Value(std::string_view text);
    Value(TextArray array);

    static Value Null();
    static Value Boolean(bool b);
    static Value Integer(std::int16_t i);
    static Value Long(std::int32_t l);
    static Value Single(float f);
    static Value Double(double d);
    static Value Cur(Currency c);
    static Value Date(double dayNumber);                  // days from 30 December 1899, time as fraction
    static Value Bytes(std::vector<std::uint8_t> bytes);  // a byte array (binary registry values)

    VarType type() const { return type_; }
    bool isEmpty() const { return type_ == VarType::Empty; }
    bool isNull() const { return type_ == VarType::Null; }
    bool isString() const { return type_ == VarType::String; }
    bool isArray() const { return type_ == VarType::Array; }
    bool isNumber() const;  // Boolean, Integer, Long, Single, Double, Currency

    // Raw access without conversion; error 13 when the type does not match.
    const std::string& text() const;
    bool boolean() const;
    std::int64_t whole() const;  // Integer, Long
    double real() const;         // Single, Double, Date
    Currency currency() const;
    const TextArray& array() const;                  // error 13 when not an array
    const std::vector<std::uint8_t>& bytes() const;  // error 13 when not a byte array
    // Copy-on-write: an array shared with another value (a store's copy) is
    // cloned first, so changing a copy never changes the stored one. Do not
    // keep the reference across a copy of this value.
    TextArray& array();

    // Same type and same contents; arrays and bytes compare element by element.
    friend bool operator==(const Value& a, const Value& b);

private:
    using Data = std::variant<std::monostate, bool, std::int64_t, double, Currency, std::string,
                              std::shared_ptr<TextArray>, std::shared_ptr<const std::vector<std::uint8_t>>>;
    Value(VarType t, Data d) : type_(t), data_(std::move(d)) {}
    VarType type_ = VarType::Empty;
    Data data_;
};

// ---- Conversions (the language's CStr, CInt, ... with its errors) ----
std::string CStr(const Value& v);   // Null: error 94
std::int16_t CInt(const Value& v);  // banker's rounding; error 6, 13, 94
std::int32_t CLng(const Value& v);
float CSng(const Value& v);
double CDbl(const Value& v);
Currency CCur(const Value& v);
bool CBool(const Value& v);
double CDate(const Value& v);  // day number; error 13 when not a date, 6 out of the date range
Value CVDate(const Value& v);  // as CDate but keeps Null

bool IsNumeric(const Value& v);
bool IsDate(const Value& v);

// Text of a value where Null counts as "" (the language's `v & ""`).
std::string TextOf(const Value& v);
// Database values: a Null gives one blank " ", anything else its text.
std::string NullToSpace(const Value& v);
// Database values: a Null or "" gives 0, anything else CLng (whose errors reach the caller).
std::int32_t NullToZero(const Value& v);
// Text comparison without regard to letter case; Empty is "", Null equals nothing.
bool SameText(const Value& v, std::string_view text);

// ---- Text helpers ----
std::string Trim(std::string_view s);
std::string_view TrimmedView(std::string_view s);  // Trim without a copy
std::string LTrim(std::string_view s);
std::string RTrim(std::string_view s);
std::string UCase(std::string_view s);
std::string LCase(std::string_view s);
std::string Left(std::string_view s, long length);  // error 5 when negative
std::string Right(std::string_view s, long length);
std::string Mid(std::string_view s, long start);  // start is 1-based; error 5 when < 1
std::string Mid(std::string_view s, long start, long length);
long InStr(std::string_view s, std::string_view find);  // 1-based, 0 when absent
long InStr(long start, std::string_view s, std::string_view find);
std::string Replace(std::string_view s, std::string_view find, std::string_view with);
// How many characters a UTF-8 text holds.
std::size_t CharacterCount(std::string_view utf8);
// The first `count` characters of a UTF-8 text, never splitting one.
std::string_view LeftCharacters(std::string_view text, std::size_t count);
std::string BeforeFirstComma(std::string_view s);  // whole text when there is no comma
std::string AfterFirstComma(std::string_view s);   // "" when there is no comma

// ---- Dates (day numbers from 30 December 1899; time as the fraction) ----
constexpr double kNoDate = 25253.0;  // 19 February 1969: an empty date or time on the form

double DateSerial(int year, int month, int day);  // error 5 out of range
double TimeSerial(int hour, int minute, int second);
int Year(double date);
int Month(double date);
int Day(double date);
int Hour(double date);
int Minute(double date);
int Second(double date);
int Weekday(double date);  // 1 = Sunday
// The date functions raise error 6 for a day number outside 1 January 100 .. 31 December 9999.
double DateValueOf(double date);  // the date part
double TimeValueOf(double date);  // the time part
double DateAddDays(double date, long days);
long DateDiffDays(double from, double to);
double Now();
double Today();
std::string MonthName(int month, bool abbreviate);  // "Mar" / "March"
// Parses the date and time texts the pages produce and users type; false when not a date.
bool ParseDate(std::string_view text, double& out);
std::string DateText(double date);  // the language's general date form

// The stored form of dates in the database files: "YYYY-MM-DD HH:MM:SS" (error 6 outside the date range).
std::string StoredDateText(double date);
// The stored form, also with a 'T' before the time, without seconds or with a fraction of a second.
std::optional<double> ParseStoredDate(std::string_view text);
// A date literal of the SQL texts (the text between # signs): the stored form, the forms ParseDate
// reads, and day/month/year when only that reading is a date.
bool ParseDateLiteral(std::string_view text, double& out);

// ---- Number formats ----
// Format(value, pattern) for number patterns such as "$###,##0.00", "#0.00", "#,###,##0": digit
// placeholders 0 and #, grouping ",", point ".", "%", literals (quoted, escaped or plain), the
// sections "positive;negative;zero"; also "" and the names "General Number", "Currency", "Fixed",
// "Standard", "Percent". Halves round away from zero. A pattern without digit placeholders (date
// patterns) is error 5.
std::string Format(const Value& v, std::string_view pattern);
std::string FormatCurrency(const Value& v);  // "$1,234.50", negatives "($1,234.50)"

}  // namespace excursa
