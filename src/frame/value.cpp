#include "frame/value.h"

#include <array>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <limits>
#include <optional>

namespace excursa {

// ===================================================================== errors

VbError::VbError(long number, std::string description)
    : number_(number), description_(std::move(description)) {}

std::string errorDescription(long number) {
    switch (number) {
        case kErrInvalidCall:
            return "Invalid procedure call or argument";
        case kErrOverflow:
            return "Overflow";
        case kErrSubscript:
            return "Subscript out of range";
        case kErrTypeMismatch:
            return "Type mismatch";
        case kErrObjectNotSet:
            return "Object variable or With block variable not set";
        case kErrInvalidNull:
            return "Invalid use of Null";
        case kErrNoCurrentRecord:
            return "Either BOF or EOF is True, or the current record has been deleted. "
                   "Requested operation requires a current record.";
        case kErrItemNotFound:
            return "Item cannot be found in the collection corresponding to the requested name or ordinal.";
        default:
            return "";
    }
}

void raiseError(long number) { raiseError(number, errorDescription(number)); }

void raiseError(long number, std::string description) {
    if (description.empty()) description = "Application-defined or object-defined error";
    throw VbError(number, std::move(description));
}

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isBlank(char c) { return c == ' ' || c == '\t'; }

// ==================================================================== decimals
// Money and formats round the decimal a person reads, not the binary double,
// so numbers are carried as decimal digits where rounding matters.

// value = digits x 10^(intDigits - digits.size()); digits has no leading or trailing zeros.
struct Decimal {
    bool negative = false;
    std::string digits;
    long long intDigits = 0;
};

void normalize(Decimal& d) {
    const std::size_t lead = d.digits.find_first_not_of('0');
    if (lead == std::string::npos) {
        d = Decimal{};
        return;
    }
    d.digits.erase(0, lead);
    d.intDigits -= static_cast<long long>(lead);
    d.digits.erase(d.digits.find_last_not_of('0') + 1);
}

// From to_chars scientific output: "[-]d[.ddd]e[+|-]xx".
Decimal decimalFromScientific(std::string_view s) {
    Decimal d;
    if (!s.empty() && s.front() == '-') {
        d.negative = true;
        s.remove_prefix(1);
    }
    const std::size_t e = s.find('e');
    for (char c : s.substr(0, e)) {
        if (isDigit(c)) d.digits += c;
    }
    std::string_view exponentText = s.substr(e + 1);
    if (!exponentText.empty() && exponentText.front() == '+') exponentText.remove_prefix(1);
    int exponent = 0;
    std::from_chars(exponentText.data(), exponentText.data() + exponentText.size(), exponent);
    d.intDigits = 1 + exponent;
    normalize(d);
    return d;
}

// The shortest decimal that reads back as the same binary number.
template <typename F>
Decimal shortestDecimal(F x) {
    if (!std::isfinite(x)) raiseError(kErrOverflow);
    std::array<char, 64> buf{};
    const auto result = std::to_chars(buf.data(), buf.data() + buf.size(), x, std::chars_format::scientific);
    return decimalFromScientific(std::string_view(buf.data(), result.ptr - buf.data()));
}

Decimal decimalOfWhole(std::int64_t whole) {
    Decimal d;
    d.negative = whole < 0;
    const std::uint64_t magnitude =
        whole < 0 ? ~static_cast<std::uint64_t>(whole) + 1 : static_cast<std::uint64_t>(whole);
    d.digits = std::to_string(magnitude);
    d.intDigits = static_cast<long long>(d.digits.size());
    normalize(d);
    return d;
}

Decimal decimalOfCurrency(Currency c) {
    Decimal d = decimalOfWhole(c.scaled);
    d.intDigits -= 4;
    return d;
}

enum class Rounding { HalfEven, HalfAwayFromZero };

void incrementDigits(std::string& digits) {
    for (auto it = digits.rbegin(); it != digits.rend(); ++it) {
        if (*it != '9') {
            ++*it;
            return;
        }
        *it = '0';
    }
    digits.insert(digits.begin(), '1');
}

// The digits of |value| x 10^places rounded to a whole number; "" for zero.
std::string roundedScaledDigits(const Decimal& d, int places, Rounding mode) {
    if (d.digits.empty()) return "";
    const long long keep = d.intDigits + places;
    const auto size = static_cast<long long>(d.digits.size());
    if (keep >= size) return d.digits + std::string(static_cast<std::size_t>(keep - size), '0');
    if (keep < 0) return "";
    std::string kept = d.digits.substr(0, static_cast<std::size_t>(keep));
    const char firstDropped = d.digits[static_cast<std::size_t>(keep)];
    const bool moreDropped = keep + 1 < size;  // trailing zeros were stripped, so these are not zero
    bool up = firstDropped > '5';
    if (firstDropped == '5') {
        const bool keptIsOdd = !kept.empty() && (kept.back() - '0') % 2 == 1;
        up = mode == Rounding::HalfAwayFromZero || moreDropped || keptIsOdd;
    }
    if (up) incrementDigits(kept);
    return kept;
}

Currency currencyFromDecimal(const Decimal& d) {
    if (d.intDigits > 15) raiseError(kErrOverflow);
    const std::string digits = roundedScaledDigits(d, 4, Rounding::HalfEven);
    if (digits.size() > 19) raiseError(kErrOverflow);
    std::uint64_t magnitude = 0;
    std::from_chars(digits.data(), digits.data() + digits.size(), magnitude);
    const std::uint64_t limit =
        d.negative ? std::uint64_t{1} << 63 : std::numeric_limits<std::int64_t>::max();
    if (magnitude > limit) raiseError(kErrOverflow);
    Currency c;
    c.scaled = d.negative ? static_cast<std::int64_t>(~magnitude + 1) : static_cast<std::int64_t>(magnitude);
    return c;
}

// ============================================================== numeric text
// The language's numeric parse: blanks around, "$" and a sign in either
// order, thousands commas, decimals and an exponent.

std::optional<Decimal> parseNumberText(std::string_view s) {
    std::size_t i = 0;
    const std::size_t n = s.size();
    while (i < n && isBlank(s[i])) ++i;
    bool negative = false;
    bool signSeen = false;
    bool dollarSeen = false;
    while (i < n) {
        if (!signSeen && (s[i] == '+' || s[i] == '-')) {
            negative = s[i] == '-';
            signSeen = true;
        } else if (!dollarSeen && s[i] == '$') {
            dollarSeen = true;
        } else {
            break;
        }
        ++i;
    }
    std::string intPart;
    for (; i < n && (isDigit(s[i]) || (s[i] == ',' && !intPart.empty())); ++i) {
        if (s[i] != ',') intPart += s[i];
    }
    std::string fracPart;
    if (i < n && s[i] == '.') {
        for (++i; i < n && isDigit(s[i]); ++i) fracPart += s[i];
    }
    if (intPart.empty() && fracPart.empty()) return std::nullopt;
    long long exponent = 0;
    if (i < n && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        bool exponentNegative = false;
        if (i < n && (s[i] == '+' || s[i] == '-')) exponentNegative = s[i++] == '-';
        const std::size_t start = i;
        // Capped: far beyond any double, and the sum below cannot overflow.
        for (; i < n && isDigit(s[i]); ++i) exponent = std::min(exponent * 10 + (s[i] - '0'), 100000LL);
        if (i == start) return std::nullopt;
        if (exponentNegative) exponent = -exponent;
    }
    while (i < n && isBlank(s[i])) ++i;
    if (i != n) return std::nullopt;
    Decimal d;
    d.negative = negative;
    d.digits = intPart + fracPart;
    d.intDigits = static_cast<long long>(intPart.size()) + exponent;
    normalize(d);
    return d;
}

enum class NumberStatus { Ok, NotNumeric, Overflow };

NumberStatus decimalToDouble(const Decimal& d, double& out) {
    if (d.digits.empty()) {
        out = 0.0;
        return NumberStatus::Ok;
    }
    const long long exponent = d.intDigits - static_cast<long long>(d.digits.size());
    const std::string plain = (d.negative ? "-" : "") + d.digits + "e" + std::to_string(exponent);
    const auto result = std::from_chars(plain.data(), plain.data() + plain.size(), out);
    if (result.ec == std::errc::result_out_of_range) {
        if (d.intDigits > 0) return NumberStatus::Overflow;
        out = d.negative ? -0.0 : 0.0;  // too small to hold: the language reads it as zero
        return NumberStatus::Ok;
    }
    return result.ec == std::errc() ? NumberStatus::Ok : NumberStatus::NotNumeric;
}

NumberStatus textToDouble(std::string_view text, double& out) {
    const std::optional<Decimal> d = parseNumberText(text);
    if (!d) return NumberStatus::NotNumeric;
    return decimalToDouble(*d, out);
}

double textNumberOrRaise(std::string_view text) {
    double out = 0.0;
    switch (textToDouble(text, out)) {
        case NumberStatus::Ok:
            return out;
        case NumberStatus::Overflow:
            raiseError(kErrOverflow);
        case NumberStatus::NotNumeric:
            break;
    }
    raiseError(kErrTypeMismatch);
}

// The number a value stands for, by the language's rules for arithmetic.
double numberOf(const Value& v) {
    switch (v.type()) {
        case VarType::Empty:
            return 0.0;
        case VarType::Null:
            raiseError(kErrInvalidNull);
        case VarType::Boolean:
            return v.boolean() ? -1.0 : 0.0;
        case VarType::Integer:
        case VarType::Long:
            return static_cast<double>(v.whole());
        case VarType::Single:
        case VarType::Double:
        case VarType::Date:
            return v.real();
        case VarType::Currency:
            return v.currency().toDouble();
        case VarType::String:
            return textNumberOrRaise(v.text());
        case VarType::Array:
        case VarType::Bytes:
            break;
    }
    raiseError(kErrTypeMismatch);
}

double roundHalfEven(double x) {
    double r = std::round(x);
    if (std::fabs(r - x) == 0.5) r = 2.0 * std::round(x / 2.0);
    return r;
}

std::int64_t currencyToWhole(Currency c) {
    std::int64_t whole = c.scaled / 10000;
    const std::int64_t rest = c.scaled % 10000;
    const std::int64_t away = rest < 0 ? -1 : 1;
    const std::int64_t restMagnitude = rest < 0 ? -rest : rest;
    if (restMagnitude > 5000 || (restMagnitude == 5000 && whole % 2 != 0)) whole += away;
    return whole;
}

// CInt and CLng: banker's rounding, then the range of the target.
std::int64_t roundedWhole(const Value& v, std::int64_t lowest, std::int64_t highest) {
    std::int64_t whole = 0;
    if (v.type() == VarType::Integer || v.type() == VarType::Long) {
        whole = v.whole();
    } else if (v.type() == VarType::Currency) {
        whole = currencyToWhole(v.currency());
    } else {
        const double r = roundHalfEven(numberOf(v));
        if (!(r >= static_cast<double>(lowest) && r <= static_cast<double>(highest)))
            raiseError(kErrOverflow);
        return static_cast<std::int64_t>(r);
    }
    if (whole < lowest || whole > highest) raiseError(kErrOverflow);
    return whole;
}

// ============================================================== number text

// The language's text of a floating number: `precision` significant digits,
// exponent form below 1E-04 or from 10^precision up.
std::string realText(double x, int precision) {
    if (std::isnan(x)) return "NaN";
    if (std::isinf(x)) return x < 0 ? "-Infinity" : "Infinity";
    if (x == 0.0) return "0";
    std::array<char, 64> buf{};
    const auto result =
        std::to_chars(buf.data(), buf.data() + buf.size(), x, std::chars_format::scientific, precision - 1);
    const Decimal d = decimalFromScientific(std::string_view(buf.data(), result.ptr - buf.data()));
    const long long exponent = d.intDigits - 1;
    std::string out = d.negative ? "-" : "";
    if (exponent < -4 || exponent >= precision) {
        out += d.digits.substr(0, 1);
        if (d.digits.size() > 1) out += "." + d.digits.substr(1);
        std::string exponentText = std::to_string(exponent < 0 ? -exponent : exponent);
        if (exponentText.size() < 2) exponentText.insert(0, "0");
        return out + "E" + (exponent < 0 ? "-" : "+") + exponentText;
    }
    if (exponent < 0)
        return out + "0." + std::string(static_cast<std::size_t>(-exponent - 1), '0') + d.digits;
    const auto intLength = static_cast<std::size_t>(exponent + 1);
    if (d.digits.size() <= intLength) return out + d.digits + std::string(intLength - d.digits.size(), '0');
    return out + d.digits.substr(0, intLength) + "." + d.digits.substr(intLength);
}

std::string currencyText(Currency c) {
    const Decimal d = decimalOfCurrency(c);
    if (d.digits.empty()) return "0";
    std::string out = d.negative ? "-" : "";
    if (d.intDigits <= 0) {
        return out + "0." + std::string(static_cast<std::size_t>(-d.intDigits), '0') + d.digits;
    }
    const auto intLength = static_cast<std::size_t>(d.intDigits);
    if (d.digits.size() <= intLength) return out + d.digits + std::string(intLength - d.digits.size(), '0');
    return out + d.digits.substr(0, intLength) + "." + d.digits.substr(intLength);
}

}  // namespace

Currency Currency::fromDouble(double d) {
    if (!std::isfinite(d)) raiseError(kErrOverflow);
    return currencyFromDecimal(shortestDecimal(d));
}

// ================================================================ TextArray

TextArray::TextArray(int upper1) : upper1_(upper1) {
    if (upper1 < 0) raiseError(kErrSubscript);
    cells_.resize(static_cast<std::size_t>(upper1) + 1);
}

TextArray::TextArray(int upper1, int upper2) : upper1_(upper1), upper2_(upper2) {
    if (upper1 < 0 || upper2 < 0) raiseError(kErrSubscript);
    cells_.resize((static_cast<std::size_t>(upper1) + 1) * (static_cast<std::size_t>(upper2) + 1));
}

int TextArray::upperBound(int dimension) const {
    if (dimension == 1) return upper1_;
    if (dimension == 2 && dimensions() == 2) return upper2_;
    raiseError(kErrSubscript);
}

std::size_t TextArray::index(int i, int j) const {
    if (i < 0 || i > upper1_) raiseError(kErrSubscript);
    if (dimensions() == 1) {
        if (j != -1) raiseError(kErrSubscript);
        return static_cast<std::size_t>(i);
    }
    if (j < 0 || j > upper2_) raiseError(kErrSubscript);
    return static_cast<std::size_t>(i) * (static_cast<std::size_t>(upper2_) + 1) +
           static_cast<std::size_t>(j);
}

// A one-index access to a two-dimensional array, or the reverse, is error 9 as in the language.
const std::string& TextArray::at(int i) const {
    if (dimensions() != 1) raiseError(kErrSubscript);
    return cells_[index(i, -1)];
}

std::string& TextArray::at(int i) {
    if (dimensions() != 1) raiseError(kErrSubscript);
    return cells_[index(i, -1)];
}

const std::string& TextArray::at(int i, int j) const {
    if (dimensions() != 2) raiseError(kErrSubscript);
    return cells_[index(i, j)];
}

std::string& TextArray::at(int i, int j) {
    if (dimensions() != 2) raiseError(kErrSubscript);
    return cells_[index(i, j)];
}

// ===================================================================== Value

Value::Value(std::string text) : type_(VarType::String), data_(std::move(text)) {}
Value::Value(const char* text) : Value(std::string(text ? text : "")) {}
Value::Value(std::string_view text) : Value(std::string(text)) {}
Value::Value(TextArray array) : type_(VarType::Array), data_(std::make_shared<TextArray>(std::move(array))) {}

Value Value::Null() { return Value(VarType::Null, std::monostate{}); }
Value Value::Boolean(bool b) { return Value(VarType::Boolean, b); }
Value Value::Integer(std::int16_t i) { return Value(VarType::Integer, std::int64_t{i}); }
Value Value::Long(std::int32_t l) { return Value(VarType::Long, std::int64_t{l}); }
Value Value::Single(float f) { return Value(VarType::Single, static_cast<double>(f)); }
Value Value::Double(double d) { return Value(VarType::Double, d); }
Value Value::Cur(Currency c) { return Value(VarType::Currency, c); }
Value Value::Date(double dayNumber) { return Value(VarType::Date, dayNumber); }
Value Value::Bytes(std::vector<std::uint8_t> bytes) {
    return Value(VarType::Bytes, std::make_shared<const std::vector<std::uint8_t>>(std::move(bytes)));
}

bool Value::isNumber() const {
    switch (type_) {
        case VarType::Boolean:
        case VarType::Integer:
        case VarType::Long:
        case VarType::Single:
        case VarType::Double:
        case VarType::Currency:
            return true;
        default:
            return false;
    }
}

const std::string& Value::text() const {
    if (type_ != VarType::String) raiseError(kErrTypeMismatch);
    return std::get<std::string>(data_);
}

bool Value::boolean() const {
    if (type_ != VarType::Boolean) raiseError(kErrTypeMismatch);
    return std::get<bool>(data_);
}

std::int64_t Value::whole() const {
    if (type_ != VarType::Integer && type_ != VarType::Long) raiseError(kErrTypeMismatch);
    return std::get<std::int64_t>(data_);
}

double Value::real() const {
    if (type_ != VarType::Single && type_ != VarType::Double && type_ != VarType::Date) {
        raiseError(kErrTypeMismatch);
    }
    return std::get<double>(data_);
}

Currency Value::currency() const {
    if (type_ != VarType::Currency) raiseError(kErrTypeMismatch);
    return std::get<Currency>(data_);
}

const TextArray& Value::array() const {
    if (type_ != VarType::Array) raiseError(kErrTypeMismatch);
    return *std::get<std::shared_ptr<TextArray>>(data_);
}

TextArray& Value::array() {
    if (type_ != VarType::Array) raiseError(kErrTypeMismatch);
    auto& shared = std::get<std::shared_ptr<TextArray>>(data_);
    if (shared.use_count() > 1) shared = std::make_shared<TextArray>(*shared);
    return *shared;
}

const std::vector<std::uint8_t>& Value::bytes() const {
    if (type_ != VarType::Bytes) raiseError(kErrTypeMismatch);
    return *std::get<std::shared_ptr<const std::vector<std::uint8_t>>>(data_);
}

bool operator==(const Value& a, const Value& b) {
    if (a.type_ != b.type_) return false;
    if (a.type_ == VarType::Array) return a.array() == b.array();
    if (a.type_ == VarType::Bytes) return a.bytes() == b.bytes();
    return a.data_ == b.data_;
}

// =============================================================== conversions

std::string CStr(const Value& v) {
    switch (v.type()) {
        case VarType::Empty:
            return "";
        case VarType::Null:
            raiseError(kErrInvalidNull);
        case VarType::Boolean:
            return v.boolean() ? "True" : "False";
        case VarType::Integer:
        case VarType::Long:
            return std::to_string(v.whole());
        case VarType::Single:
            return realText(v.real(), 7);
        case VarType::Double:
            return realText(v.real(), 15);
        case VarType::Currency:
            return currencyText(v.currency());
        case VarType::Date:
            return DateText(v.real());
        case VarType::String:
            return v.text();
        case VarType::Bytes:
            return std::string(v.bytes().begin(), v.bytes().end());
        case VarType::Array:
            break;
    }
    raiseError(kErrTypeMismatch);
}

std::int16_t CInt(const Value& v) {
    return static_cast<std::int16_t>(
        roundedWhole(v, std::numeric_limits<std::int16_t>::min(), std::numeric_limits<std::int16_t>::max()));
}

std::int32_t CLng(const Value& v) {
    return static_cast<std::int32_t>(
        roundedWhole(v, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

float CSng(const Value& v) {
    const double d = numberOf(v);
    if (std::fabs(d) > FLT_MAX) {
        // Between FLT_MAX and half a unit above it the value still rounds to FLT_MAX.
        const double roundsToMax = static_cast<double>(FLT_MAX) + std::ldexp(1.0, 103);
        if (!(std::fabs(d) < roundsToMax)) raiseError(kErrOverflow);
        return d < 0 ? -FLT_MAX : FLT_MAX;
    }
    return static_cast<float>(d);
}

double CDbl(const Value& v) { return numberOf(v); }

Currency CCur(const Value& v) {
    switch (v.type()) {
        case VarType::Currency:
            return v.currency();
        case VarType::Integer:
        case VarType::Long:
            return currencyFromDecimal(decimalOfWhole(v.whole()));
        case VarType::Single:
            return currencyFromDecimal(shortestDecimal(static_cast<float>(v.real())));
        case VarType::String: {
            const std::optional<Decimal> d = parseNumberText(v.text());
            if (!d) raiseError(kErrTypeMismatch);
            return currencyFromDecimal(*d);
        }
        default:
            return Currency::fromDouble(numberOf(v));
    }
}

bool CBool(const Value& v) {
    switch (v.type()) {
        case VarType::Boolean:
            return v.boolean();
        case VarType::Currency:
            return v.currency().scaled != 0;
        case VarType::String: {
            const std::string trimmed = Trim(v.text());
            if (SameTextNoCase(trimmed, "True")) return true;
            if (SameTextNoCase(trimmed, "False")) return false;
            return textNumberOrRaise(trimmed) != 0.0;
        }
        default:
            return numberOf(v) != 0.0;
    }
}

namespace {

constexpr double kFirstDay = -657434.0;  // 1 January 100
constexpr double kLastDay = 2958465.0;   // 31 December 9999

bool inDateRange(double d) { return d > kFirstDay - 1.0 && d < kLastDay + 1.0; }

}  // namespace

double CDate(const Value& v) {
    switch (v.type()) {
        case VarType::Date:
            return v.real();
        case VarType::Empty:
            return 0.0;
        case VarType::String: {
            double date = 0.0;
            if (!ParseDate(v.text(), date)) raiseError(kErrTypeMismatch);
            return date;
        }
        default: {
            const double d = numberOf(v);
            if (!inDateRange(d)) raiseError(kErrOverflow);
            return d;
        }
    }
}

Value CVDate(const Value& v) { return v.isNull() ? Value::Null() : Value::Date(CDate(v)); }

bool IsNumeric(const Value& v) {
    if (v.isEmpty() || v.isNumber()) return true;
    double unused = 0.0;
    return v.isString() && textToDouble(v.text(), unused) == NumberStatus::Ok;
}

bool IsDate(const Value& v) {
    if (v.type() == VarType::Date) return true;
    double unused = 0.0;
    return v.isString() && ParseDate(v.text(), unused);
}

std::string TextOf(const Value& v) { return v.isNull() ? std::string() : CStr(v); }

std::string NullToSpace(const Value& v) {
    if (v.isNull()) return " ";
    return CStr(v);
}

std::int32_t NullToZero(const Value& v) {
    if (v.isNull() || v.isEmpty() || (v.isString() && v.text().empty())) return 0;
    return CLng(v);
}

bool SameText(const Value& v, std::string_view text) { return !v.isNull() && SameTextNoCase(CStr(v), text); }

// ============================================================== text helpers

std::string LTrim(std::string_view s) {
    const std::size_t first = s.find_first_not_of(' ');
    return first == std::string_view::npos ? std::string() : std::string(s.substr(first));
}

std::string RTrim(std::string_view s) {
    const std::size_t last = s.find_last_not_of(' ');
    return last == std::string_view::npos ? std::string() : std::string(s.substr(0, last + 1));
}

std::string Trim(std::string_view s) { return std::string(TrimmedView(s)); }

std::string_view TrimmedView(std::string_view s) {
    const std::size_t first = s.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return s.substr(first, s.find_last_not_of(' ') - first + 1);
}

namespace {

bool IsUtf8Continuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

}  // namespace

std::size_t CharacterCount(std::string_view utf8) {
    std::size_t count = 0;
    for (const char c : utf8) count += !IsUtf8Continuation(c);
    return count;
}

std::string_view LeftCharacters(std::string_view text, std::size_t count) {
    std::size_t bytes = 0;
    for (std::size_t characters = 0; bytes < text.size() && characters < count; ++characters) {
        ++bytes;
        while (bytes < text.size() && IsUtf8Continuation(text[bytes])) ++bytes;
    }
    return text.substr(0, bytes);
}

std::string UCase(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = UpperAscii(c);
    return out;
}

std::string LCase(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = LowerAscii(c);
    return out;
}

std::string Left(std::string_view s, long length) {
    if (length < 0) raiseError(kErrInvalidCall);
    return std::string(s.substr(0, static_cast<std::size_t>(length)));
}

std::string Right(std::string_view s, long length) {
    if (length < 0) raiseError(kErrInvalidCall);
    const auto n = static_cast<std::size_t>(length);
    return n >= s.size() ? std::string(s) : std::string(s.substr(s.size() - n));
}

std::string Mid(std::string_view s, long start) {
    if (start < 1) raiseError(kErrInvalidCall);
    const auto from = static_cast<std::size_t>(start - 1);
    return from >= s.size() ? std::string() : std::string(s.substr(from));
}

std::string Mid(std::string_view s, long start, long length) {
    if (length < 0) raiseError(kErrInvalidCall);
    return Left(Mid(s, start), length);
}

long InStr(std::string_view s, std::string_view find) { return InStr(1, s, find); }

// The language's order of rules: an empty text finds nothing, an empty `find` is found at `start`.
long InStr(long start, std::string_view s, std::string_view find) {
    if (start < 1) raiseError(kErrInvalidCall);
    if (s.empty()) return 0;
    if (find.empty()) return start;
    const auto from = static_cast<std::size_t>(start - 1);
    if (from >= s.size()) return 0;
    const std::size_t at = s.find(find, from);
    return at == std::string_view::npos ? 0 : static_cast<long>(at) + 1;
}

std::string Replace(std::string_view s, std::string_view find, std::string_view with) {
    if (find.empty()) return std::string(s);
    std::string out;
    std::size_t from = 0;
    for (std::size_t at = s.find(find); at != std::string_view::npos; at = s.find(find, from)) {
        out.append(s.substr(from, at - from));
        out.append(with);
        from = at + find.size();
    }
    out.append(s.substr(from));
    return out;
}

std::string BeforeFirstComma(std::string_view s) { return std::string(s.substr(0, s.find(','))); }

std::string AfterFirstComma(std::string_view s) {
    const std::size_t comma = s.find(',');
    return comma == std::string_view::npos ? std::string() : std::string(s.substr(comma + 1));
}

// ===================================================================== dates

namespace {

constexpr long long kUnixEpochDay = 25569;  // 1 January 1970
constexpr int kSecondsPerDay = 86400;

long long floorDiv(long long a, long long b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

// Days from 1 January 1970 in the proleptic Gregorian calendar.
long long daysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const auto yearOfEra = static_cast<unsigned>(y - era * 400);
    const unsigned dayOfYear = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + static_cast<long long>(dayOfEra) - 719468;
}

struct CivilDate {
    long long year;
    unsigned month;
    unsigned day;
};

CivilDate civilFromDays(long long z) {
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const auto dayOfEra = static_cast<unsigned>(z - era * 146097);
    const unsigned yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned mp = (5 * dayOfYear + 2) / 153;
    const unsigned day = dayOfYear - (153 * mp + 2) / 5 + 1;
    const unsigned month = mp < 10 ? mp + 3 : mp - 9;
    return {static_cast<long long>(yearOfEra) + era * 400 + (month <= 2), month, day};
}

long long dayNumber(long long year, unsigned month, unsigned day) {
    return daysFromCivil(year, month, day) + kUnixEpochDay;
}

bool isLeapYear(long long y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

unsigned daysInMonth(long long year, unsigned month) {
    static constexpr std::array<unsigned, 12> kDays{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && isLeapYear(year) ? 29 : kDays[month - 1];
}

bool isValidDate(long long year, long long month, long long day) {
    if (year < 100 || year > 9999 || month < 1 || month > 12 || day < 1) return false;
    return day <= daysInMonth(year, static_cast<unsigned>(month));
}

// A day before 30 December 1899 is negative while its time still counts forward.
double composeDate(long long day, double timeFraction) {
    const auto d = static_cast<double>(day);
    return day >= 0 ? d + timeFraction : d - timeFraction;
}

// The calendar day and the time of day rounded to the second.
struct DayAndSeconds {
    long long day;
    int seconds;
};

DayAndSeconds splitDate(double date) {
    if (!inDateRange(date)) raiseError(kErrOverflow);
    const double whole = std::trunc(date);
    const double fraction = std::fabs(date - whole);
    DayAndSeconds parts{static_cast<long long>(whole),
                        static_cast<int>(std::llround(fraction * kSecondsPerDay))};
    if (parts.seconds >= kSecondsPerDay) {
        parts.seconds -= kSecondsPerDay;
        ++parts.day;
    }
    return parts;
}

CivilDate civilOf(double date) { return civilFromDays(splitDate(date).day - kUnixEpochDay); }

const std::array<const char*, 12> kMonthNames{"January",   "February", "March",    "April",
                                              "May",       "June",     "July",     "August",
                                              "September", "October",  "November", "December"};
const std::array<const char*, 7> kWeekdayNames{"sunday",   "monday", "tuesday", "wednesday",
                                               "thursday", "friday", "saturday"};

std::string dayText(long long day) {
    const CivilDate c = civilFromDays(day - kUnixEpochDay);
    std::string year = std::to_string(c.year);
    if (year.size() < 4) year.insert(0, 4 - year.size(), '0');
    return std::to_string(c.month) + "/" + std::to_string(c.day) + "/" + year;
}

std::string timeText(int seconds) {
    const int hour = seconds / 3600;
    const int minute = seconds / 60 % 60;
    const int second = seconds % 60;
    const int clockHour = hour % 12 == 0 ? 12 : hour % 12;
    auto twoDigits = [](int n) { return std::string(n < 10 ? "0" : "") + std::to_string(n); };
    return std::to_string(clockHour) + ":" + twoDigits(minute) + ":" + twoDigits(second) +
           (hour < 12 ? " AM" : " PM");
}

}  // namespace

double DateSerial(int year, int month, int day) {
    const long long monthIndex = static_cast<long long>(month) - 1;
    const long long wholeYear = year + floorDiv(monthIndex, 12);
    const auto monthOfYear = static_cast<unsigned>(monthIndex - floorDiv(monthIndex, 12) * 12 + 1);
    if (wholeYear < 0 || wholeYear > 100000) raiseError(kErrInvalidCall);
    const long long result = dayNumber(wholeYear, monthOfYear, 1) + day - 1;
    const auto d = static_cast<double>(result);
    if (d < kFirstDay || d > kLastDay) raiseError(kErrInvalidCall);
    return d;
}

double TimeSerial(int hour, int minute, int second) {
    const long long total =
        static_cast<long long>(hour) * 3600 + static_cast<long long>(minute) * 60 + second;
    const long long day = floorDiv(total, kSecondsPerDay);
    const auto seconds = static_cast<double>(total - day * kSecondsPerDay);
    const double result = composeDate(day, seconds / kSecondsPerDay);
    if (!inDateRange(result)) raiseError(kErrInvalidCall);
    return result;
}

int Year(double date) { return static_cast<int>(civilOf(date).year); }
int Month(double date) { return static_cast<int>(civilOf(date).month); }
int Day(double date) { return static_cast<int>(civilOf(date).day); }
int Hour(double date) { return splitDate(date).seconds / 3600; }
int Minute(double date) { return splitDate(date).seconds / 60 % 60; }
int Second(double date) { return splitDate(date).seconds % 60; }

int Weekday(double date) {
    const long long day = splitDate(date).day;  // day 0 was a Saturday
    return static_cast<int>(((day + 6) % 7 + 7) % 7) + 1;
}

double DateValueOf(double date) { return static_cast<double>(splitDate(date).day); }

double TimeValueOf(double date) { return splitDate(date).seconds / static_cast<double>(kSecondsPerDay); }

double DateAddDays(double date, long days) {
    if (!inDateRange(date)) raiseError(kErrOverflow);
    const double whole = std::trunc(date);
    const double result = composeDate(static_cast<long long>(whole) + days, std::fabs(date - whole));
    if (!inDateRange(result)) raiseError(kErrInvalidCall);
    return result;
}

long DateDiffDays(double from, double to) {
    return static_cast<long>(splitDate(to).day - splitDate(from).day);
}

double Now() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    const long long day = dayNumber(local.tm_year + 1900LL, static_cast<unsigned>(local.tm_mon + 1),
                                    static_cast<unsigned>(local.tm_mday));
    const int seconds = local.tm_hour * 3600 + local.tm_min * 60 + std::min(local.tm_sec, 59);
    return composeDate(day, seconds / static_cast<double>(kSecondsPerDay));
}

double Today() { return std::trunc(Now()); }

std::string MonthName(int month, bool abbreviate) {
    if (month < 1 || month > 12) raiseError(kErrInvalidCall);
    const std::string name = kMonthNames[static_cast<std::size_t>(month - 1)];
    return abbreviate ? name.substr(0, 3) : name;
}

std::string DateText(double date) {
    const DayAndSeconds parts = splitDate(date);
    if (parts.day == 0) return timeText(parts.seconds);
    if (parts.seconds == 0) return dayText(parts.day);
    return dayText(parts.day) + " " + timeText(parts.seconds);
}

// ================================================================ ParseDate

namespace {

struct DateToken {
    enum Kind { Number, Word, Separator } kind;
    std::string text;  // digits, or a word in lower case
    char separator = 0;
};

bool isSeparator(const DateToken& t, char c) { return t.kind == DateToken::Separator && t.separator == c; }
bool isMeridiem(const DateToken& t) {
    return t.kind == DateToken::Word && (t.text == "am" || t.text == "pm");
}

// Blanks next to a punctuation mark belong to it; a blank alone separates.
bool tokenizeDate(std::string_view s, std::vector<DateToken>& tokens) {
    std::size_t i = 0;
    while (i < s.size()) {
        const char c = s[i];
        if (isDigit(c) || isAlpha(c)) {
            std::size_t j = i;
            while (j < s.size() && (isDigit(c) ? isDigit(s[j]) : isAlpha(s[j]))) ++j;
            tokens.push_back({isDigit(c) ? DateToken::Number : DateToken::Word, LCase(s.substr(i, j - i))});
            i = j;
        } else if (isBlank(c)) {
            if (!tokens.empty() && tokens.back().kind != DateToken::Separator) {
                tokens.push_back({DateToken::Separator, "", ' '});
            }
            ++i;
        } else if (c == '/' || c == '-' || c == ',' || c == ':' || c == '.') {
            if (!tokens.empty() && isSeparator(tokens.back(), ' ')) {
                tokens.back().separator = c;
            } else {
                tokens.push_back({DateToken::Separator, "", c});
            }
            ++i;
        } else {
            return false;
        }
    }
    return true;
}

bool numberOfToken(const DateToken& t, std::size_t maxDigits, int& out) {
    if (t.kind != DateToken::Number || t.text.size() > maxDigits) return false;
    out = std::stoi(t.text);
    return true;
}

// Two-digit years: 00-29 are in the 2000s, 30-99 in the 1900s.
bool yearOfToken(const DateToken& t, int& year) {
    if (!numberOfToken(t, 4, year)) return false;
    if (t.text.size() <= 2) year += year < 30 ? 2000 : 1900;
    return true;
}

bool monthOfWord(const DateToken& t, int& month) {
    if (t.kind != DateToken::Word) return false;
    for (std::size_t m = 0; m < kMonthNames.size(); ++m) {
        const std::string name = LCase(kMonthNames[m]);
        if (t.text == name || t.text == name.substr(0, 3) || (m == 8 && t.text == "sept")) {
            month = static_cast<int>(m) + 1;
            return true;
        }
    }
    return false;
}

bool isWeekdayWord(const DateToken& t) {
    if (t.kind != DateToken::Word) return false;
    for (const std::string name : kWeekdayNames) {
        if (t.text == name || t.text == name.substr(0, 3)) return true;
    }
    return false;
}

// The first token of a trailing time: "9:15", "9 PM", "9PM".
std::size_t findTimeStart(const std::vector<DateToken>& t) {
    for (std::size_t i = 0; i < t.size(); ++i) {
        if (t[i].kind != DateToken::Number || (i > 0 && !isSeparator(t[i - 1], ' '))) continue;
        if (i + 1 < t.size() && (isSeparator(t[i + 1], ':') || isMeridiem(t[i + 1]))) return i;
        if (i + 2 < t.size() && isSeparator(t[i + 1], ' ') && isMeridiem(t[i + 2])) return i;
    }
    return t.size();
}

bool parseTime(const std::vector<DateToken>& t, std::size_t i, int& seconds) {
    std::array<int, 3> parts{0, 0, 0};
    if (!numberOfToken(t[i++], 2, parts[0])) return false;
    std::size_t count = 1;
    while (count < 3 && i + 1 < t.size() && isSeparator(t[i], ':')) {
        if (!numberOfToken(t[i + 1], 2, parts[count++])) return false;
        i += 2;
    }
    if (i < t.size() && isSeparator(t[i], ' ')) ++i;
    const bool hasMeridiem = i < t.size() && isMeridiem(t[i]);
    const bool pm = hasMeridiem && t[i].text == "pm";
    if (hasMeridiem) ++i;
    if (i != t.size() || (count == 1 && !hasMeridiem)) return false;
    int hour = parts[0];
    if (hasMeridiem) {
        if (hour > 12) return false;
        hour = hour % 12 + (pm ? 12 : 0);  // 12 AM is midnight, 12 PM noon
    }
    if (hour > 23 || parts[1] > 59 || parts[2] > 59) return false;
    seconds = hour * 3600 + parts[1] * 60 + parts[2];
    return true;
}

bool isOneOf(const DateToken& t, std::string_view separators) {
    return t.kind == DateToken::Separator && separators.find(t.separator) != std::string_view::npos;
}

// Numeric m/d/y or m-d-y (US order), or y-m-d / y/m/d when the first number has 3 or 4 digits.
// SQL date literals also read d/m/y when only that reading is a date, as the desktop engine does.
bool parseNumericDate(const std::vector<DateToken>& t, bool dayFirstWhenOnlyReading, int& year, int& month,
                      int& day) {
    if (!isOneOf(t[1], "/-") || t[3].separator != t[1].separator) return false;
    if (t[0].kind == DateToken::Number && t[0].text.size() >= 3) {
        return yearOfToken(t[0], year) && numberOfToken(t[2], 2, month) && numberOfToken(t[4], 2, day);
    }
    if (!numberOfToken(t[0], 2, month) || !numberOfToken(t[2], 2, day) || !yearOfToken(t[4], year))
        return false;
    if (dayFirstWhenOnlyReading && month > 12 && day <= 12) std::swap(month, day);
    return true;
}

// "March 5, 2026", "Mar 5 2026", "Mar/5/2026", "Mar-5-2026".
bool parseMonthFirstDate(const std::vector<DateToken>& t, int& year, int& month, int& day) {
    return monthOfWord(t[0], month) && isOneOf(t[1], "/- .") && numberOfToken(t[2], 2, day) &&
           isOneOf(t[3], "/- ,") && yearOfToken(t[4], year);
}

// "5-Mar-2026", "5 Mar 2026", "5/Mar/2026".
bool parseDayFirstDate(const std::vector<DateToken>& t, int& year, int& month, int& day) {
    return numberOfToken(t[0], 2, day) && isOneOf(t[1], "/- ") && monthOfWord(t[2], month) &&
           isOneOf(t[3], "/- ") && yearOfToken(t[4], year);
}

bool parseDayPart(std::vector<DateToken> t, bool dayFirstWhenOnlyReading, long long& dayNumberOut) {
    if (t.size() >= 2 && isWeekdayWord(t[0]) && isOneOf(t[1], ", ")) t.erase(t.begin(), t.begin() + 2);
    if (t.size() != 5 || t[1].kind != DateToken::Separator || t[3].kind != DateToken::Separator) return false;
    int year = 0;
    int month = 0;
    int day = 0;
    const bool parsed =
        (t[0].kind == DateToken::Number && t[2].kind == DateToken::Number)
            ? parseNumericDate(t, dayFirstWhenOnlyReading, year, month, day)
            : parseMonthFirstDate(t, year, month, day) || parseDayFirstDate(t, year, month, day);
    if (!parsed || !isValidDate(year, month, day)) return false;
    dayNumberOut = dayNumber(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
    return true;
}

bool parseDateText(std::string_view text, bool dayFirstWhenOnlyReading, double& out) {
    std::vector<DateToken> tokens;
    if (!tokenizeDate(Trim(Replace(text, "\t", " ")), tokens) || tokens.empty()) return false;
    const std::size_t timeStart = findTimeStart(tokens);
    int seconds = 0;
    const bool hasTime = timeStart < tokens.size();
    if (hasTime && !parseTime(tokens, timeStart, seconds)) return false;
    long long day = 0;
    if (timeStart > 0) {
        // Before a time the date ends with the blank that findTimeStart required.
        const std::size_t dateEnd = hasTime ? timeStart - 1 : timeStart;
        const std::vector<DateToken> dateTokens(tokens.begin(), tokens.begin() + static_cast<long>(dateEnd));
        if (!parseDayPart(dateTokens, dayFirstWhenOnlyReading, day)) return false;
    }
    out = composeDate(day, seconds / static_cast<double>(kSecondsPerDay));
    return true;
}

// Two digits at `at`, or -1.
int twoDigitsAt(std::string_view s, std::size_t at) {
    if (at + 2 > s.size() || !isDigit(s[at]) || !isDigit(s[at + 1])) return -1;
    return (s[at] - '0') * 10 + (s[at + 1] - '0');
}

// "HH:MM" or "HH:MM:SS", seconds optionally with a fraction (rounded); the seconds of the day.
std::optional<int> storedTimeOfDay(std::string_view s) {
    const int hour = twoDigitsAt(s, 0);
    const int minute = twoDigitsAt(s, 3);
    if (hour < 0 || minute < 0 || s[2] != ':' || hour > 23 || minute > 59) return std::nullopt;
    int second = 0;
    bool roundUp = false;
    if (s.size() > 5) {
        second = twoDigitsAt(s, 6);
        if (s[5] != ':' || second < 0 || second > 59) return std::nullopt;
        std::string_view fraction = s.substr(8);
        if (!fraction.empty()) {
            if (fraction.size() < 2 || fraction[0] != '.') return std::nullopt;
            for (char c : fraction.substr(1)) {
                if (!isDigit(c)) return std::nullopt;
            }
            roundUp = fraction[1] >= '5';
        }
    } else if (s.size() != 5) {
        return std::nullopt;
    }
    const int seconds = hour * 3600 + minute * 60 + second + (roundUp ? 1 : 0);
    if (seconds >= kSecondsPerDay) return std::nullopt;
    return seconds;
}

}  // namespace

bool ParseDate(std::string_view text, double& out) { return parseDateText(text, false, out); }

std::string StoredDateText(double date) {
    const DayAndSeconds parts = splitDate(date);
    const CivilDate c = civilFromDays(parts.day - kUnixEpochDay);
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04lld-%02u-%02u %02d:%02d:%02d", c.year, c.month, c.day,
                  parts.seconds / 3600, parts.seconds / 60 % 60, parts.seconds % 60);
    return buffer;
}

std::optional<double> ParseStoredDate(std::string_view text) {
    constexpr std::size_t kDateLength = 10;  // YYYY-MM-DD
    if (text.size() < kDateLength || text[4] != '-' || text[7] != '-') return std::nullopt;
    const int century = twoDigitsAt(text, 0);
    const int yearOfCentury = twoDigitsAt(text, 2);
    const int month = twoDigitsAt(text, 5);
    const int day = twoDigitsAt(text, 8);
    if (century < 0 || yearOfCentury < 0 || month < 0 || day < 0) return std::nullopt;
    const int year = century * 100 + yearOfCentury;
    if (!isValidDate(year, month, day)) return std::nullopt;
    const long long dayNumberOfDate =
        dayNumber(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
    if (text.size() == kDateLength) return composeDate(dayNumberOfDate, 0);
    if (text[kDateLength] != ' ' && text[kDateLength] != 'T') return std::nullopt;
    const std::optional<int> seconds = storedTimeOfDay(text.substr(kDateLength + 1));
    if (!seconds) return std::nullopt;
    return composeDate(dayNumberOfDate, *seconds / static_cast<double>(kSecondsPerDay));
}

bool ParseDateLiteral(std::string_view text, double& out) {
    if (const std::optional<double> stored = ParseStoredDate(Trim(text))) {
        out = *stored;
        return true;
    }
    return parseDateText(text, true, out);
}

// ==================================================================== Format

namespace {

struct PatternItem {
    char placeholder = 0;  // '0' or '#'; 0 for a literal
    std::string literal;
};

struct NumberPattern {
    std::vector<PatternItem> integerItems;
    std::vector<PatternItem> decimalItems;
    bool hasPoint = false;
    bool grouping = false;
    int thousandsScale = 0;  // commas right before the point divide by 1000 each
    bool percent = false;
};

std::size_t placeholderCount(const std::vector<PatternItem>& items) {
    std::size_t count = 0;
    for (const PatternItem& item : items) count += item.placeholder != 0;
    return count;
}

NumberPattern parsePattern(std::string_view pattern) {
    NumberPattern p;
    std::vector<std::size_t> commaPositions;  // index into integerItems where a comma stood
    auto literal = [&](std::string text) {
        (p.hasPoint ? p.decimalItems : p.integerItems).push_back({0, std::move(text)});
    };
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (c == '0' || c == '#') {
            (p.hasPoint ? p.decimalItems : p.integerItems).push_back({c, ""});
        } else if (c == '.' && !p.hasPoint) {
            p.hasPoint = true;
        } else if (c == ',') {
            if (!p.hasPoint) commaPositions.push_back(p.integerItems.size());
        } else if (c == '\\' && i + 1 < pattern.size()) {
            literal(std::string(1, pattern[++i]));
        } else if (c == '"') {
            const std::size_t close = pattern.find('"', i + 1);
            const std::size_t end = close == std::string_view::npos ? pattern.size() : close;
            literal(std::string(pattern.substr(i + 1, end - i - 1)));
            i = end;
        } else {
            if (c == '%') p.percent = true;
            literal(std::string(1, c));
        }
    }
    for (std::size_t position : commaPositions) {
        bool digitFollows = false;
        for (std::size_t k = position; k < p.integerItems.size(); ++k)
            digitFollows |= p.integerItems[k].placeholder != 0;
        if (digitFollows) {
            p.grouping = true;
        } else {
            ++p.thousandsScale;
        }
    }
    return p;
}

// Digits fill the placeholders from the right; the leftmost placeholder takes all that remain.
std::string integerText(const std::string& digits, const NumberPattern& p) {
    const std::vector<PatternItem>& items = p.integerItems;
    std::size_t leftmost = items.size();
    for (std::size_t k = 0; k < items.size(); ++k) {
        if (items[k].placeholder) {
            leftmost = k;
            break;
        }
    }
    std::string reversed;
    std::size_t remaining = digits.size();
    std::size_t emitted = 0;
    auto emit = [&](char digit) {
        if (p.grouping && emitted > 0 && emitted % 3 == 0) reversed += ',';
        reversed += digit;
        ++emitted;
    };
    auto emitRemaining = [&] {
        while (remaining > 0) emit(digits[--remaining]);
    };
    if (leftmost == items.size()) emitRemaining();  // no placeholder: the digits go before the point
    for (std::size_t k = items.size(); k-- > 0;) {
        const PatternItem& item = items[k];
        if (!item.placeholder) {
            reversed.append(item.literal.rbegin(), item.literal.rend());
        } else if (k == leftmost && remaining > 0) {
            emitRemaining();
        } else if (remaining > 0) {
            emit(digits[--remaining]);
        } else if (item.placeholder == '0') {
            emit('0');
        }
    }
    return std::string(reversed.rbegin(), reversed.rend());
}

// Trailing # places drop their zeros; the point itself stays, as the language writes "1.".
std::string decimalText(const std::string& digits, const std::vector<PatternItem>& items) {
    std::vector<bool> shown(items.size(), true);
    std::size_t digitIndex = digits.size();
    for (std::size_t k = items.size(); k-- > 0;) {
        if (!items[k].placeholder) continue;
        --digitIndex;
        if (items[k].placeholder != '#' || digits[digitIndex] != '0') break;
        shown[k] = false;
    }
    std::string out;
    digitIndex = 0;
    for (std::size_t k = 0; k < items.size(); ++k) {
        if (!items[k].placeholder) {
            out += items[k].literal;
            continue;
        }
        if (shown[k]) out += digits[digitIndex];
        ++digitIndex;
    }
    return out;
}

std::string formatDecimal(Decimal value, const NumberPattern& p) {
    if (p.percent) value.intDigits += 2;
    value.intDigits -= 3LL * p.thousandsScale;
    const std::size_t places = placeholderCount(p.decimalItems);
    std::string scaled = roundedScaledDigits(value, static_cast<int>(places), Rounding::HalfAwayFromZero);
    // A value that rounds to zero shows no sign: "-0.00" would be a plain wrong amount.
    const bool negative = value.negative && !scaled.empty();
    if (scaled.size() < places) scaled.insert(0, places - scaled.size(), '0');
    const std::string wholeDigits = scaled.substr(0, scaled.size() - places);
    std::string out = integerText(wholeDigits, p);
    if (p.hasPoint) out += "." + decimalText(scaled.substr(scaled.size() - places), p.decimalItems);
    return negative ? "-" + out : out;
}

Decimal decimalOfValue(const Value& v) {
    switch (v.type()) {
        case VarType::Empty:
            return Decimal{};
        case VarType::Boolean:
            return decimalOfWhole(v.boolean() ? -1 : 0);
        case VarType::Integer:
        case VarType::Long:
            return decimalOfWhole(v.whole());
        case VarType::Single:
            return shortestDecimal(static_cast<float>(v.real()));
        case VarType::Double:
        case VarType::Date:
            return shortestDecimal(v.real());
        case VarType::Currency:
            return decimalOfCurrency(v.currency());
        case VarType::String: {
            textNumberOrRaise(v.text());  // error 13 or 6 as the language's conversion gives
            return *parseNumberText(v.text());
        }
        case VarType::Null:
            raiseError(kErrInvalidNull);
        case VarType::Array:
        case VarType::Bytes:
            break;
    }
    raiseError(kErrTypeMismatch);
}

// "positive;negative;zero": the semicolons that are not quoted or escaped.
std::vector<std::string_view> patternSections(std::string_view pattern) {
    std::vector<std::string_view> sections;
    std::size_t start = 0;
    bool quoted = false;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '"') {
            quoted = !quoted;
        } else if (pattern[i] == '\\' && !quoted) {
            ++i;
        } else if (pattern[i] == ';' && !quoted) {
            sections.push_back(pattern.substr(start, i - start));
            start = i + 1;
        }
    }
    sections.push_back(pattern.substr(start));
    return sections;
}

const NumberPattern& currencyPattern() {
    static const NumberPattern pattern = parsePattern("$#,##0.00");
    return pattern;
}

}  // namespace

std::string Format(const Value& v, std::string_view pattern) {
    if (v.isNull()) return "";
    if (v.isString() && !IsNumeric(v)) return v.text();
    if (pattern.empty()) return TextOf(v);
    if (SameTextNoCase(pattern, "General Number")) return realText(CDbl(v), 15);
    if (SameTextNoCase(pattern, "Currency")) return FormatCurrency(v);
    if (SameTextNoCase(pattern, "Fixed")) return Format(v, "0.00");
    if (SameTextNoCase(pattern, "Standard")) return Format(v, "#,##0.00");
    if (SameTextNoCase(pattern, "Percent")) return Format(v, "0.00%");
    Decimal value = decimalOfValue(v);
    const std::vector<std::string_view> sections = patternSections(pattern);
    std::string_view chosen = sections[0];
    const bool useNegative = value.negative && sections.size() > 1 && !sections[1].empty();
    const bool useZero = value.digits.empty() && sections.size() > 2 && !sections[2].empty();
    if (useNegative) {
        chosen = sections[1];
        value.negative = false;  // the negative section shows its own sign, if any
    } else if (useZero) {
        chosen = sections[2];
    }
    const NumberPattern parsed = parsePattern(chosen);
    if (!useZero && placeholderCount(parsed.integerItems) + placeholderCount(parsed.decimalItems) == 0) {
        raiseError(kErrInvalidCall);
    }
    return formatDecimal(value, parsed);
}

std::string FormatCurrency(const Value& v) {
    if (v.isNull()) return "";
    Decimal value = decimalOfValue(v);
    const bool negative = value.negative;
    value.negative = false;
    const std::string text = formatDecimal(value, currencyPattern());
    return negative && text != "$0.00" ? "(" + text + ")" : text;
}

}  // namespace excursa
