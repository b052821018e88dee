// The desktop dialect of the SQL texts, translated to the embedded engine's,
// the functions the translation calls, and the stored form of dates.
#include "data/database.h"

#include <Poco/Unicode.h>
#include <sqlite3.h>

#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>

namespace excursa {
namespace {

// ------------------------------------------------------------ tokenizer ----

enum class TokenKind { Space, Word, Number, Text, Date, Symbol, Open, Close, Comma };

struct Token {
    TokenKind kind;
    std::string text;
};

bool IsWordStart(char c) {
    return std::isalpha(static_cast<unsigned char>(c)) || c == '_' || static_cast<unsigned char>(c) >= 0x80;
}

bool IsWordChar(char c) { return IsWordStart(c) || std::isdigit(static_cast<unsigned char>(c)) || c == '$'; }

[[noreturn]] void SyntaxError(std::string_view what, std::string_view sql) {
    throw VbError(kErrProvider, std::string(what) + " in query expression '" + std::string(sql) + "'.");
}

// Index just past a quoted run starting at `start` (the quote doubled inside stands for itself);
// npos when it is not closed.
std::size_t EndOfQuoted(std::string_view sql, std::size_t start, char quote) {
    std::size_t i = start + 1;
    while (i < sql.size()) {
        if (sql[i] == quote) {
            if (i + 1 < sql.size() && sql[i + 1] == quote) {
                i += 2;
                continue;
            }
            return i + 1;
        }
        ++i;
    }
    return std::string_view::npos;
}

// A double-quoted text is a text literal in the desktop dialect; the embedded engine
// would take it for a name.
std::string DoubleQuotedAsLiteral(std::string_view quoted) {
    const std::string_view body = quoted.substr(1, quoted.size() - 2);
    std::string out = "'";
    for (std::size_t i = 0; i < body.size(); ++i) {
        if (body[i] == '"' && i + 1 < body.size() && body[i + 1] == '"') ++i;
        if (body[i] == '\'') out += '\'';
        out += body[i];
    }
    return out + "'";
}

std::size_t EndOfNumber(std::string_view sql, std::size_t i) {
    auto digit = [&](std::size_t k) {
        return k < sql.size() && std::isdigit(static_cast<unsigned char>(sql[k]));
    };
    while (digit(i)) ++i;
    if (i < sql.size() && sql[i] == '.') {
        ++i;
        while (digit(i)) ++i;
    }
    if (i < sql.size() && (sql[i] == 'e' || sql[i] == 'E')) {
        std::size_t k = i + 1;
        if (k < sql.size() && (sql[k] == '+' || sql[k] == '-')) ++k;
        if (digit(k)) {
            i = k;
            while (digit(i)) ++i;
        }
    }
    return i;
}

std::vector<Token> Tokenize(std::string_view sql) {
    std::vector<Token> tokens;
    std::size_t i = 0;
    auto push = [&](TokenKind kind, std::size_t end) {
        tokens.push_back({kind, std::string(sql.substr(i, end - i))});
        i = end;
    };
    while (i < sql.size()) {
        const char c = sql[i];
        const char next = i + 1 < sql.size() ? sql[i + 1] : '\0';
        if (std::isspace(static_cast<unsigned char>(c))) {
            std::size_t end = i;
            while (end < sql.size() && std::isspace(static_cast<unsigned char>(sql[end]))) ++end;
            push(TokenKind::Space, end);
        } else if (c == '\'') {
            const std::size_t end = EndOfQuoted(sql, i, '\'');
            push(TokenKind::Text, end == std::string_view::npos ? sql.size() : end);  // the engine reports it
        } else if (c == '"') {
            const std::size_t end = EndOfQuoted(sql, i, '"');
            if (end == std::string_view::npos) SyntaxError("Missing closing quote", sql.substr(i));
            tokens.push_back({TokenKind::Text, DoubleQuotedAsLiteral(sql.substr(i, end - i))});
            i = end;
        } else if (c == '[' || c == '`') {
            const std::size_t close = sql.find(c == '[' ? ']' : '`', i + 1);
            push(TokenKind::Word, close == std::string_view::npos ? sql.size() : close + 1);
        } else if (c == '#') {
            const std::size_t close = sql.find('#', i + 1);
            if (close == std::string_view::npos) SyntaxError("Syntax error in date", sql.substr(i));
            push(TokenKind::Date, close + 1);
        } else if (std::isdigit(static_cast<unsigned char>(c)) ||
                   (c == '.' && std::isdigit(static_cast<unsigned char>(next)))) {
            push(TokenKind::Number, EndOfNumber(sql, i));
        } else if (IsWordStart(c)) {
            std::size_t end = i;
            while (end < sql.size() && IsWordChar(sql[end])) ++end;
            push(TokenKind::Word, end);
        } else if (c == '(') {
            push(TokenKind::Open, i + 1);
        } else if (c == ')') {
            push(TokenKind::Close, i + 1);
        } else if (c == ',') {
            push(TokenKind::Comma, i + 1);
        } else {
            static constexpr std::array<std::string_view, 6> kPairs{"<>", "<=", ">=", "!=", "==", "||"};
            bool pair = false;
            for (std::string_view p : kPairs) pair = pair || (c == p[0] && next == p[1]);
            push(TokenKind::Symbol, i + (pair ? 2 : 1));
        }
    }
    return tokens;
}

// ------------------------------------------------------------ the tree ----

// A token, or a parenthesised group holding its inner nodes.
struct Node {
    Token token;
    std::vector<Node> inner;
    bool isGroup = false;
    bool closed = true;
};

// Reads nodes up to the bracket that closes this level; `closed` tells whether there was one.
std::vector<Node> BuildLevel(const std::vector<Token>& tokens, std::size_t& i, bool nested, bool& closed) {
    std::vector<Node> level;
    closed = false;
    while (i < tokens.size()) {
        const Token& t = tokens[i++];
        if (t.kind == TokenKind::Close && nested) {
            closed = true;
            return level;
        }
        if (t.kind == TokenKind::Open) {
            Node group{t, {}, true, true};
            group.inner = BuildLevel(tokens, i, true, group.closed);
            level.push_back(std::move(group));
            continue;
        }
        level.push_back(Node{t, {}, false, true});
    }
    return level;
}

// ------------------------------------------------------ the translation ----

bool IsKeyword(std::string_view word) {
    static constexpr std::array<std::string_view, 48> kKeywords{
        "SELECT", "FROM",     "WHERE",       "AND",    "OR",     "NOT",    "AS",        "ON",
        "JOIN",   "INNER",    "LEFT",        "RIGHT",  "OUTER",  "CROSS",  "FULL",      "GROUP",
        "ORDER",  "BY",       "HAVING",      "LIKE",   "IS",     "IN",     "BETWEEN",   "UNION",
        "ALL",    "DISTINCT", "DISTINCTROW", "TOP",    "ASC",    "DESC",   "CASE",      "WHEN",
        "THEN",   "ELSE",     "END",         "SET",    "VALUES", "INTO",   "INSERT",    "UPDATE",
        "DELETE", "LIMIT",    "OFFSET",      "EXISTS", "ESCAPE", "EXCEPT", "INTERSECT", "GLOB"};
    const std::string upper = UCase(word);
    for (std::string_view k : kKeywords) {
        if (upper == k) return true;
    }
    return false;
}

struct JetFunction {
    std::string_view jetName;  // upper case
    std::string_view sqlName;
    bool returnsText;
};

const JetFunction* FindJetFunction(std::string_view word) {
    static constexpr std::array<JetFunction, 15> kFunctions{{
        // The engine's own trim and case functions do on texts what the desktop ones do (blanks
        // only, ASCII letters), and only a built-in function can stand in an index.
        {"TRIM$", "trim", true},
        {"TRIM", "trim", true},
        {"LTRIM$", "ltrim", true},
        {"LTRIM", "ltrim", true},
        {"RTRIM$", "rtrim", true},
        {"RTRIM", "rtrim", true},
        {"UCASE$", "upper", true},
        {"UCASE", "upper", true},
        {"LCASE$", "lower", true},
        {"LCASE", "lower", true},
        {"STR$", "jet_str", true},
        {"STR", "jet_str", true},
        {"DATEVALUE", "jet_datevalue", false},
        {"CLNG", "jet_clng", false},
        {"ISNULL", "jet_isnull", false},
    }};
    const std::string upper = UCase(word);
    for (const JetFunction& f : kFunctions) {
        if (upper == f.jetName) return &f;
    }
    return nullptr;
}

std::string WithNoCase(const std::string& expression) { return "(" + expression + " COLLATE NOCASE)"; }

// The expression inside one WithNoCase wrapping, or the text as it is. A text function's argument
// needs no collation of its own (the outer call has one), and one there would hide the expression
// from an index on it.
std::string WithoutNoCase(const std::string& text) {
    constexpr std::string_view kTail = " COLLATE NOCASE)";
    if (text.size() < kTail.size() + 1 || text.front() != '(' || !text.ends_with(kTail)) return text;
    int depth = 0;
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == '(') ++depth;
        if (text[i] == ')') --depth;
        if (depth == 0) return text;  // the first bracket closes before the end: not one wrapping
    }
    return text.substr(1, text.size() - kTail.size() - 1);
}

enum class PieceKind { Space, Boundary, Operand, Concat };

struct Piece {
    PieceKind kind;
    std::string sql;
    bool textLiteral = false;
};

bool IsComparison(std::string_view symbol) {
    return symbol == "=" || symbol == "<" || symbol == ">" || symbol == "<=" || symbol == ">=" ||
           symbol == "<>" || symbol == "!=" || symbol == "==";
}

std::optional<std::size_t> NextSignificant(const std::vector<Piece>& pieces, std::size_t i, int direction) {
    for (auto k = static_cast<long>(i) + direction; k >= 0 && k < static_cast<long>(pieces.size());
         k += direction) {
        if (pieces[static_cast<std::size_t>(k)].kind != PieceKind::Space) return static_cast<std::size_t>(k);
    }
    return std::nullopt;
}

// The desktop engine compares texts without regard to letter case; a text literal that is a whole
// side of a comparison carries that rule into it, whatever the column's own collation.
void CompareLiteralsWithoutCase(std::vector<Piece>& pieces) {
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (pieces[i].kind != PieceKind::Boundary || !IsComparison(pieces[i].sql)) continue;
        for (int direction : {1, -1}) {
            const std::optional<std::size_t> side = NextSignificant(pieces, i, direction);
            if (!side || !pieces[*side].textLiteral) continue;
            const std::optional<std::size_t> beyond = NextSignificant(pieces, *side, direction);
            if (!beyond || pieces[*beyond].kind == PieceKind::Boundary)
                pieces[*side].sql += " COLLATE NOCASE";
        }
    }
}

// Sorting and grouping ignore letter case too: each ORDER BY / GROUP BY term gets NOCASE
// (numbers are not affected by it).
void SortWithoutCase(std::vector<Piece>& pieces) {
    std::vector<std::size_t> termEnds;
    bool inList = false, termHasContent = false, termHasCollation = false;
    std::size_t lastContent = 0;
    std::string previous;
    auto closeTerm = [&] {
        if (inList && termHasContent && !termHasCollation) termEnds.push_back(lastContent);
        termHasContent = termHasCollation = false;
    };
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (pieces[i].kind == PieceKind::Space) continue;
        const std::string upper = UCase(pieces[i].sql);
        if (pieces[i].kind == PieceKind::Boundary) {
            if (upper == "BY" && (previous == "ORDER" || previous == "GROUP")) {
                inList = true;
                termHasContent = termHasCollation = false;
            } else if (inList) {
                closeTerm();
                inList = upper == "," || upper == "ASC" || upper == "DESC";
            }
        } else if (inList) {
            termHasContent = true;
            termHasCollation = termHasCollation || upper == "COLLATE";
            lastContent = i;
        }
        previous = upper;
    }
    closeTerm();
    for (auto end = termEnds.rbegin(); end != termEnds.rend(); ++end) {
        pieces.insert(pieces.begin() + static_cast<long>(*end) + 1,
                      Piece{PieceKind::Boundary, " COLLATE NOCASE"});
    }
}

bool StartsWithSelect(const std::vector<Node>& nodes) {
    for (const Node& n : nodes) {
        if (n.isGroup) return false;
        if (n.token.kind == TokenKind::Space) continue;
        return n.token.kind == TokenKind::Word && UCase(n.token.text) == "SELECT";
    }
    return false;
}

std::string DateLiteralAsStored(std::string_view literal) {
    double day = 0;
    const std::string_view body = literal.substr(1, literal.size() - 2);
    if (!ParseDateLiteral(body, day)) SyntaxError("Syntax error in date", literal);
    try {
        return "'" + StoredDateText(day) + "'";
    } catch (const VbError&) {
        SyntaxError("Syntax error in date", literal);
    }
}

class Translator {
public:
    explicit Translator(std::string_view sql) : sql_(sql) {}

    std::string level(const std::vector<Node>& nodes) const {
        std::vector<Piece> pieces;
        std::string previous;  // last significant token text, to tell "T.TRUE" from TRUE
        for (std::size_t i = 0; i < nodes.size(); ++i) {
            const Node& n = nodes[i];
            if (n.isGroup) {
                pieces.push_back({PieceKind::Operand,
                                  std::string("(").append(level(n.inner)).append(n.closed ? ")" : "")});
                previous = ")";
                continue;
            }
            const Token& t = n.token;
            if (t.kind == TokenKind::Word && previous != ".") {
                const std::size_t call = GroupAfter(nodes, i);
                if (call != 0 && !IsKeyword(t.text)) {
                    pieces.push_back({PieceKind::Operand, functionCall(t.text, nodes[call])});
                    i = call;
                    previous = ")";
                    continue;
                }
            }
            pieces.push_back(piece(t, previous));
            if (t.kind != TokenKind::Space) previous = t.text;
        }
        CompareLiteralsWithoutCase(pieces);
        SortWithoutCase(pieces);
        return joinConcatenations(pieces);
    }

private:
    // Index of the group right after the word at i (blanks between allowed), 0 when none.
    static std::size_t GroupAfter(const std::vector<Node>& nodes, std::size_t i) {
        std::size_t j = i + 1;
        while (j < nodes.size() && !nodes[j].isGroup && nodes[j].token.kind == TokenKind::Space) ++j;
        return j < nodes.size() && nodes[j].isGroup ? j : 0;
    }

    std::string functionCall(const std::string& name, const Node& group) const {
        std::string arguments = level(group.inner);
        // An aggregate over a scalar sub-select: the embedded engine wants the sub-select in its own
        // brackets.
        if (StartsWithSelect(group.inner)) arguments = "(" + arguments + ")";
        const std::string close = group.closed ? ")" : "";
        const JetFunction* jet = FindJetFunction(name);
        if (!jet) return name + "(" + arguments + close;
        if (!jet->returnsText) return std::string(jet->sqlName) + "(" + arguments + close;
        return WithNoCase(std::string(jet->sqlName) + "(" + WithoutNoCase(arguments) + close);
    }

    Piece piece(const Token& t, const std::string& previous) const {
        switch (t.kind) {
            case TokenKind::Space:
                return {PieceKind::Space, t.text};
            case TokenKind::Comma:
                return {PieceKind::Boundary, t.text};
            case TokenKind::Text:
                return {PieceKind::Operand, t.text, true};
            case TokenKind::Date:
                return {PieceKind::Operand, DateLiteralAsStored(t.text)};
            case TokenKind::Symbol:
                if (t.text == "&") return {PieceKind::Concat, t.text};
                if (IsComparison(t.text) || t.text == ";") return {PieceKind::Boundary, t.text};
                // A parameter compares like the text literal it stands for.
                if (t.text == "?") return {PieceKind::Operand, t.text, true};
                return {PieceKind::Operand, t.text};
            case TokenKind::Word: {
                if (previous == ".") return {PieceKind::Operand, t.text};
                if (IsKeyword(t.text)) return {PieceKind::Boundary, t.text};
                const std::string upper = UCase(t.text);
                if (upper == "TRUE") return {PieceKind::Operand, "1"};
                if (upper == "FALSE") return {PieceKind::Operand, "0"};
                return {PieceKind::Operand, t.text};
            }
            default:
                return {PieceKind::Operand, t.text};
        }
    }

    // Between two boundaries, "a & b & c" becomes one call that treats Null as "".
    std::string joinConcatenations(const std::vector<Piece>& pieces) const {
        std::string out;
        std::size_t i = 0;
        while (i < pieces.size()) {
            if (pieces[i].kind == PieceKind::Boundary) {
                out += pieces[i++].sql;
                continue;
            }
            std::size_t end = i;
            bool hasConcat = false;
            while (end < pieces.size() && pieces[end].kind != PieceKind::Boundary) {
                hasConcat = hasConcat || pieces[end].kind == PieceKind::Concat;
                ++end;
            }
            out += hasConcat ? concatenation(pieces, i, end) : plain(pieces, i, end);
            i = end;
        }
        return out;
    }

    static std::string plain(const std::vector<Piece>& pieces, std::size_t begin, std::size_t end) {
        std::string out;
        for (std::size_t k = begin; k < end; ++k) out += pieces[k].sql;
        return out;
    }

    std::string concatenation(const std::vector<Piece>& pieces, std::size_t begin, std::size_t end) const {
        std::string leading, trailing;
        while (begin < end && pieces[begin].kind == PieceKind::Space) leading += pieces[begin++].sql;
        while (end > begin && pieces[end - 1].kind == PieceKind::Space)
            trailing = pieces[--end].sql + trailing;
        std::vector<std::string> operands(1);
        for (std::size_t k = begin; k < end; ++k) {
            if (pieces[k].kind == PieceKind::Concat) {
                operands.emplace_back();
            } else if (pieces[k].kind != PieceKind::Space || !operands.back().empty()) {
                operands.back() += pieces[k].sql;
            }
        }
        std::string call = "jet_concat(";
        for (std::size_t k = 0; k < operands.size(); ++k) {
            std::string& operand = operands[k];
            while (!operand.empty() && std::isspace(static_cast<unsigned char>(operand.back())))
                operand.pop_back();
            if (operand.empty()) SyntaxError("Syntax error (missing operand)", sql_);
            call += (k ? ", " : "") + operand;
        }
        return leading + WithNoCase(call + ")") + trailing;
    }

    std::string_view sql_;
};

// ------------------------------------------------------- the functions ----

std::string SqlText(sqlite3_value* v) {
    const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
    return p ? std::string(p, static_cast<std::size_t>(sqlite3_value_bytes(v))) : std::string();
}

Value ValueOfSql(sqlite3_value* v) {
    switch (sqlite3_value_type(v)) {
        case SQLITE_NULL:
            return Value::Null();
        case SQLITE_INTEGER: {
            const sqlite3_int64 n = sqlite3_value_int64(v);
            if (n >= std::numeric_limits<std::int32_t>::min() &&
                n <= std::numeric_limits<std::int32_t>::max()) {
                return Value::Long(static_cast<std::int32_t>(n));
            }
            return Value::Double(static_cast<double>(n));
        }
        case SQLITE_FLOAT:
            return Value::Double(sqlite3_value_double(v));
        default:
            return Value(SqlText(v));
    }
}

// The text a value gives in a concatenation: numbers as the page language writes them.
std::string TextOfSql(sqlite3_value* v) {
    switch (sqlite3_value_type(v)) {
        case SQLITE_NULL:
            return "";
        case SQLITE_INTEGER:
            return std::to_string(sqlite3_value_int64(v));
        case SQLITE_FLOAT:
            return CStr(Value::Double(sqlite3_value_double(v)));
        default:
            return SqlText(v);
    }
}

void ResultText(sqlite3_context* ctx, const std::string& text) {
    sqlite3_result_text(ctx, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
}

// A failure inside a function becomes the statement's error, never an exception through the engine.
template <typename Body>
void Guarded(sqlite3_context* ctx, Body body) {
    try {
        body();
    } catch (const VbError& e) {
        sqlite3_result_error(ctx, e.description().c_str(), -1);
    } catch (const std::exception& e) {
        sqlite3_result_error(ctx, e.what(), -1);
    }
}

void ConcatFunction(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
    Guarded(ctx, [&] {
        std::string out;
        for (int k = 0; k < argc; ++k) out += TextOfSql(argv[k]);
        ResultText(ctx, out);
    });
}

// Str(): a blank in the sign's place for numbers that are not negative, and no 0 before the point.
std::string NumberWithSignPlace(double d) {
    std::string text = CStr(Value::Double(d));
    const bool negative = !text.empty() && text[0] == '-';
    std::string digits = negative ? text.substr(1) : text;
    if (digits.size() > 1 && digits[0] == '0' && digits[1] == '.') digits.erase(0, 1);
    return (negative ? "-" : " ") + digits;
}

void StrFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
    sqlite3_value* v = argv[0];
    if (sqlite3_value_type(v) == SQLITE_NULL) return sqlite3_result_null(ctx);
    Guarded(ctx, [&] {
        if (sqlite3_value_type(v) == SQLITE_INTEGER) {
            const sqlite3_int64 n = sqlite3_value_int64(v);
            return ResultText(ctx, (n < 0 ? "" : " ") + std::to_string(n));
        }
        const double d =
            sqlite3_value_type(v) == SQLITE_FLOAT ? sqlite3_value_double(v) : CDbl(Value(SqlText(v)));
        ResultText(ctx, NumberWithSignPlace(d));
    });
}

void ClngFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
    Guarded(ctx, [&] { sqlite3_result_int64(ctx, CLng(ValueOfSql(argv[0]))); });
}

void IsNullFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
    sqlite3_result_int(ctx, sqlite3_value_type(argv[0]) == SQLITE_NULL ? 1 : 0);
}

void DateValueFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
    sqlite3_value* v = argv[0];
    if (sqlite3_value_type(v) == SQLITE_NULL) return sqlite3_result_null(ctx);
    Guarded(ctx, [&] {
        double day = 0;
        const int type = sqlite3_value_type(v);
        if (type == SQLITE_INTEGER || type == SQLITE_FLOAT) {
            day = sqlite3_value_double(v);
        } else if (!ParseDateLiteral(SqlText(v), day)) {
            throw VbError(kErrProvider, "Data type mismatch in criteria expression.");
        }
        ResultText(ctx, StoredDateText(std::trunc(day)));
    });
}

// Code points of a UTF-8 text folded to lower case. A byte that begins no character stands for
// itself, beyond the code points, so that any text can be matched.
std::u32string FoldedCodePoints(std::string_view text) {
    constexpr char32_t kLastCodePoint = 0x10FFFF;
    std::u32string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80             ? 1
                                   : (lead & 0xE0) == 0xC0 ? 2
                                   : (lead & 0xF0) == 0xE0 ? 3
                                   : (lead & 0xF8) == 0xF0 ? 4
                                                           : 0;
        bool valid = length > 0 && i + length <= text.size();
        char32_t point = length == 1 ? lead : lead & (0x7F >> length);
        for (std::size_t k = 1; valid && k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            valid = (next & 0xC0) == 0x80;
            point = (point << 6) | (next & 0x3F);
        }
        if (!valid || point > kLastCodePoint) {
            out.push_back(kLastCodePoint + 1 + lead);
            ++i;
            continue;
        }
        out.push_back(static_cast<char32_t>(Poco::Unicode::toLower(static_cast<int>(point))));
        i += length;
    }
    return out;
}

// `%` any run of characters, `_` one character, letters of any alphabet without regard to case.
bool LikeMatches(const std::u32string& pattern, const std::u32string& text) {
    std::size_t p = 0, t = 0;
    std::size_t lastRun = std::u32string::npos, runFrom = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == U'%') {
            lastRun = p++;
            runFrom = t;
        } else if (p < pattern.size() && (pattern[p] == U'_' || pattern[p] == text[t])) {
            ++p;
            ++t;
        } else if (lastRun != std::u32string::npos) {
            p = lastRun + 1;
            t = ++runFrom;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == U'%') ++p;
    return p == pattern.size();
}

// LIKE ignores letter case as the page language does, for accented letters too: the engine's own
// ignores it for A to Z only. `x LIKE y` calls like(y, x).
void LikeFunction(sqlite3_context* ctx, int, sqlite3_value** argv) {
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
        return sqlite3_result_null(ctx);
    }
    Guarded(ctx, [&] {
        sqlite3_result_int(
            ctx, LikeMatches(FoldedCodePoints(SqlText(argv[0])), FoldedCodePoints(SqlText(argv[1]))));
    });
}

}  // namespace

// ------------------------------------------------------------ public ----

std::string TranslateJetSql(std::string_view jetSql) {
    const std::vector<Token> tokens = Tokenize(jetSql);
    std::size_t i = 0;
    bool closed = false;
    return Translator(jetSql).level(BuildLevel(tokens, i, false, closed));
}

namespace {

bool IsWord(const Token& t, std::string_view word) {
    return t.kind == TokenKind::Word && UCase(t.text) == word;
}

// Index of the next token that is not a blank, or the end.
std::size_t NextSignificantToken(const std::vector<Token>& tokens, std::size_t i) {
    while (i < tokens.size() && tokens[i].kind == TokenKind::Space) ++i;
    return i;
}

std::string Joined(const std::vector<Token>& tokens, std::size_t from, std::size_t to) {
    std::string out;
    for (std::size_t i = from; i < to; ++i) out += tokens[i].text;
    return out;
}

// Where the closing ORDER BY of the query begins (the end when it has none).
std::size_t OrderByStart(const std::vector<Token>& tokens) {
    std::size_t start = tokens.size();
    int depth = 0;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        depth += tokens[i].kind == TokenKind::Open ? 1 : tokens[i].kind == TokenKind::Close ? -1 : 0;
        if (depth != 0 || !IsWord(tokens[i], "ORDER")) continue;
        const std::size_t next = NextSignificantToken(tokens, i + 1);
        if (next < tokens.size() && IsWord(tokens[next], "BY")) start = i;
    }
    return start;
}

// A query whose rows are the rows of its FROM and WHERE: no grouping, no DISTINCT, no
// compound, no aggregate in its columns. Gives where its column list begins and ends.
bool PlainSelect(const std::vector<Token>& tokens, std::size_t end, std::size_t& columns, std::size_t& from) {
    static constexpr std::array<std::string_view, 10> kNotPlain{
        "DISTINCT", "DISTINCTROW", "TOP", "GROUP", "HAVING", "UNION", "INTERSECT", "EXCEPT", "LIMIT", "INTO"};
    static constexpr std::array<std::string_view, 9> kAggregates{"COUNT", "SUM",  "AVG",   "MIN", "MAX",
                                                                 "FIRST", "LAST", "STDEV", "VAR"};
    const std::size_t select = NextSignificantToken(tokens, 0);
    if (select >= end || !IsWord(tokens[select], "SELECT")) return false;
    columns = select + 1;
    from = end;
    int depth = 0;
    for (std::size_t i = columns; i < end; ++i) {
        depth += tokens[i].kind == TokenKind::Open ? 1 : tokens[i].kind == TokenKind::Close ? -1 : 0;
        // A parameter among the columns must stay: the values are bound by position.
        if (from == end && tokens[i].kind == TokenKind::Symbol && tokens[i].text == "?") return false;
        if (depth != 0 || tokens[i].kind != TokenKind::Word) continue;
        const std::string word = UCase(tokens[i].text);
        for (std::string_view refused : kNotPlain) {
            if (word == refused) return false;
        }
        if (from == end && word == "FROM") from = i;
        const std::size_t next = NextSignificantToken(tokens, i + 1);
        const bool call = next < end && tokens[next].kind == TokenKind::Open;
        for (std::string_view aggregate : kAggregates) {
            if (from == end && call && word == aggregate) return false;
        }
    }
    return from < end;
}

}  // namespace

std::string WithoutOrderBy(std::string_view jetSql) {
    const std::vector<Token> tokens = Tokenize(jetSql);
    return RTrim(Joined(tokens, 0, OrderByStart(tokens)));
}

RowsToCount ForCounting(std::string_view jetSql) {
    const std::vector<Token> tokens = Tokenize(jetSql);
    const std::size_t end = OrderByStart(tokens);
    std::size_t columns = 0;
    std::size_t from = 0;
    if (!PlainSelect(tokens, end, columns, from)) return {RTrim(Joined(tokens, 0, end)), false};
    bool joins = false;
    for (std::size_t i = from; i < end; ++i) joins = joins || IsWord(tokens[i], "JOIN");
    return {RTrim(Joined(tokens, 0, columns) + " 1 " + Joined(tokens, from, end)), joins};
}

std::string SqlQuote(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c == '\'') out += '\'';
        out += c;
    }
    return out;
}

void RegisterJetFunctions(sqlite3* db) {
    struct Registration {
        const char* name;
        int arguments;
        void (*function)(sqlite3_context*, int, sqlite3_value**);
    };
    static constexpr std::array<Registration, 6> kRegistrations{{
        {"like", 2, LikeFunction},
        {"jet_str", 1, StrFunction},
        {"jet_clng", 1, ClngFunction},
        {"jet_isnull", 1, IsNullFunction},
        {"jet_datevalue", 1, DateValueFunction},
        {"jet_concat", -1, ConcatFunction},
    }};
    for (const Registration& r : kRegistrations) {
        const int rc = sqlite3_create_function_v2(db, r.name, r.arguments, SQLITE_UTF8 | SQLITE_DETERMINISTIC,
                                                  nullptr, r.function, nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK) throw VbError(kErrProvider, sqlite3_errmsg(db));
    }
}

}  // namespace excursa
