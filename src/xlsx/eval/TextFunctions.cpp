// Text functions. Positions and lengths count UTF-16 code units, as the application does.

#include "eval/Criteria.h"
#include "eval/Evaluation.h"
#include "eval/NotComputable.h"
#include "eval/NumberFormat.h"
#include "eval/Utf8.h"

#include <cmath>

namespace xlsx::eval {

namespace {

Operand textResult(std::string text) {
    if (text.size() > kMaxTextLength && utf16Length(text) > kMaxTextLength)
        return Operand::ofError(ErrorCode::Value);
    return Operand::ofText(std::move(text));
}

Operand fnConcatenate(Call& c) {
    std::string out;
    for (std::size_t i = 0; i < c.count(); ++i) {
        auto part = c.text(i);
        if (!part) return Operand::ofError(*part.error);
        out += *part;
    }
    return textResult(std::move(out));
}

// The values of ranges and arrays in row order, as CONCAT and TEXTJOIN take them.
std::optional<ErrorCode> eachText(Call& c, std::size_t first,
                                  const std::function<void(const std::string&)>& take) {
    std::optional<ErrorCode> error;
    for (std::size_t i = first; i < c.count() && !error; ++i) {
        if (c.omitted(i)) {
            take("");
            continue;
        }
        const Operand& operand = c.arg(i);
        auto visit = [&](const Value& v) {
            if (error) return;
            auto text = toText(v);
            if (!text)
                error = *text.error;
            else
                take(*text);
        };
        if (operand.isSingleArea()) {
            // Empty cells count too (TEXTJOIN puts delimiters between them unless told not to).
            Matrix values = c.ev.matrix(operand);
            for (const auto& v : values.values)
                visit(v);
        } else if (operand.isRef()) {
            c.ev.forEachCell(operand, [&](const CellSeen& seen) { visit(seen.value); });
        } else {
            for (const auto& v : c.ev.matrix(operand).values)
                visit(v);
        }
    }
    return error;
}

Operand fnConcat(Call& c) {
    std::string out;
    if (auto error = eachText(c, 0, [&](const std::string& t) { out += t; })) return Operand::ofError(*error);
    return textResult(std::move(out));
}

Operand fnTextJoin(Call& c) {
    auto delimiter = c.text(0);
    if (!delimiter) return Operand::ofError(*delimiter.error);
    auto skipEmpty = c.boolean(1);
    if (!skipEmpty) return Operand::ofError(*skipEmpty.error);
    std::string out;
    bool first = true;
    auto error = eachText(c, 2, [&](const std::string& t) {
        if (*skipEmpty && t.empty()) return;
        if (!first) out += *delimiter;
        out += t;
        first = false;
    });
    if (error) return Operand::ofError(*error);
    return textResult(std::move(out));
}

Got<std::size_t> count(Call& c, std::size_t i, double otherwise) {
    auto n = c.number(i, otherwise);
    if (!n) return *n.error;
    if (*n < 0) return ErrorCode::Value;
    return static_cast<std::size_t>(std::min(*n, 1e9));
}

Operand fnLeft(Call& c) {
    auto text = c.text(0);
    if (!text) return Operand::ofError(*text.error);
    auto n = count(c, 1, 1);
    if (!n) return Operand::ofError(*n.error);
    return Operand::ofText(std::string(utf16Slice(*text, 0, *n)));
}

Operand fnRight(Call& c) {
    auto text = c.text(0);
    if (!text) return Operand::ofError(*text.error);
    auto n = count(c, 1, 1);
    if (!n) return Operand::ofError(*n.error);
    std::size_t length = utf16Length(*text);
    std::size_t take = std::min(*n, length);
    return Operand::ofText(std::string(utf16Slice(*text, length - take, take)));
}

Operand fnMid(Call& c) {
    auto text = c.text(0);
    if (!text) return Operand::ofError(*text.error);
    auto start = c.number(1);
    if (!start) return Operand::ofError(*start.error);
    auto n = count(c, 2, 0);
    if (!n) return Operand::ofError(*n.error);
    if (*start < 1) return Operand::ofError(ErrorCode::Value);
    auto first = static_cast<std::size_t>(std::min(std::trunc(*start), 1e9)) - 1;
    return Operand::ofText(std::string(utf16Slice(*text, first, *n)));
}

Operand fnLen(Call& c) {
    auto text = c.text(0);
    if (!text) return Operand::ofError(*text.error);
    return Operand::ofNumber(static_cast<double>(utf16Length(*text)));
}

enum class Case { Upper, Lower, Proper };

Operand changeCase(Call& c, Case mode) {
    auto text = c.text(0);
    if (!text) return Operand::ofError(*text.error);
    auto points = codePoints(*text);
    bool afterLetter = false;
    for (auto& cp : points) {
        bool letter = isLetter(cp);
        bool upper = mode == Case::Upper || (mode == Case::Proper && !afterLetter);
        cp = upper ? upperCase(cp) : lowerCase(cp);
        afterLetter = letter;
    }
    return Operand::ofText(toUtf8(points));
}

Operand fnUpper(Call& c) {
    return changeCase(c, Case::Upper);
}
Operand fnLower(Call& c) {
    return changeCase(c, Case::Lower);
}
Operand fnProper(Call& c) {
    return changeCase(c, Case::Proper);
}

// Blanks (U+0020) at both ends removed, runs inside made one.
Operand fnTrim(Call& c) {
    auto text = c.text(0);
    if (!text) return Operand::ofError(*text.error);
    std::string out;
    bool pendingSpace = false;
    for (char ch : *text) {
        if (ch == ' ') {
            pendingSpace = !out.empty();
            continue;
        }
        if (pendingSpace) out += ' ';
        pendingSpace = false;
        out += ch;
    }
    return Operand::ofText(std::move(out));
}

Operand fnSubstitute(Call& c) {
    auto text = c.text(0), from = c.text(1), to = c.text(2);
    if (!text) return Operand::ofError(*text.error);
    if (!from) return Operand::ofError(*from.error);
    if (!to) return Operand::ofError(*to.error);
    std::optional<double> instance;
    if (!c.omitted(3)) {
        auto n = c.integer(3);
        if (!n) return Operand::ofError(*n.error);
        if (*n < 1) return Operand::ofError(ErrorCode::Value);
        instance = *n;
    }
    if (from->empty()) return Operand::ofText(*text);
    std::string out;
    std::size_t pos = 0;
    double seen = 0;
    while (true) {
        auto found = text->find(*from, pos);
        if (found == std::string::npos) break;
        ++seen;
        out += text->substr(pos, found - pos);
        out += (!instance || seen == *instance) ? *to : *from;
        pos = found + from->size();
    }
    out += text->substr(pos);
    return textResult(std::move(out));
}

Operand fnReplace(Call& c) {
    auto text = c.text(0);
    if (!text) return Operand::ofError(*text.error);
    auto start = c.number(1);
    if (!start) return Operand::ofError(*start.error);
    auto n = count(c, 2, 0);
    if (!n) return Operand::ofError(*n.error);
    auto with = c.text(3);
    if (!with) return Operand::ofError(*with.error);
    if (*start < 1) return Operand::ofError(ErrorCode::Value);
    auto first = static_cast<std::size_t>(std::min(std::trunc(*start), 1e9)) - 1;
    auto begin = utf16ToByte(*text, first);
    auto end = begin + utf16ToByte(std::string_view(*text).substr(begin), *n);
    return textResult(text->substr(0, begin) + *with + text->substr(end));
}

// FIND (case-sensitive, no wildcards) and SEARCH (neither).
Operand locate(Call& c, bool search) {
    auto needle = c.text(0), haystack = c.text(1);
    if (!needle) return Operand::ofError(*needle.error);
    if (!haystack) return Operand::ofError(*haystack.error);
    auto start = c.number(2, 1);
    if (!start) return Operand::ofError(*start.error);
    std::size_t length = utf16Length(*haystack);
    if (*start < 1 || *start > static_cast<double>(length) + (needle->empty() ? 1 : 0))
        return Operand::ofError(ErrorCode::Value);
    auto from = static_cast<std::size_t>(std::trunc(*start)) - 1;
    if (needle->empty()) return Operand::ofNumber(*start);
    if (!search) {
        auto found = haystack->find(*needle, utf16ToByte(*haystack, from));
        if (found == std::string::npos) return Operand::ofError(ErrorCode::Value);
        return Operand::ofNumber(static_cast<double>(byteToUtf16(*haystack, found)) + 1);
    }
    // SEARCH: the first position from which the pattern matches some prefix of the rest.
    std::string pattern = *needle + "*";
    for (std::size_t unit = from; unit < length; ++unit) {
        auto rest = std::string_view(*haystack).substr(utf16ToByte(*haystack, unit));
        if (wildcardMatch(pattern, rest)) return Operand::ofNumber(static_cast<double>(unit) + 1);
    }
    return Operand::ofError(ErrorCode::Value);
}

Operand fnFind(Call& c) {
    return locate(c, false);
}
Operand fnSearch(Call& c) {
    return locate(c, true);
}

Operand fnRept(Call& c) {
    auto text = c.text(0);
    if (!text) return Operand::ofError(*text.error);
    auto n = c.integer(1);
    if (!n) return Operand::ofError(*n.error);
    if (*n < 0) return Operand::ofError(ErrorCode::Value);
    if (text->empty() || *n == 0) return Operand::ofText("");
    if (*n * static_cast<double>(utf16Length(*text)) > kMaxTextLength)
        return Operand::ofError(ErrorCode::Value);
    std::string out;
    for (int i = 0; i < static_cast<int>(*n); ++i)
        out += *text;
    return Operand::ofText(std::move(out));
}

Operand fnExact(Call& c) {
    auto a = c.text(0), b = c.text(1);
    if (!a) return Operand::ofError(*a.error);
    if (!b) return Operand::ofError(*b.error);
    return Operand::ofBoolean(*a == *b);
}

Operand fnValue(Call& c) {
    Value v = c.value(0);
    if (v.isText() && v.text.empty()) return Operand::ofError(ErrorCode::Value);
    if (v.isBoolean()) return Operand::ofError(ErrorCode::Value);
    auto n = toNumber(v, c.ev.date1904());
    if (!n) return Operand::ofError(*n.error);
    return numberResult(*n);
}

Operand fnText(Call& c) {
    Value v = c.value(0);
    if (v.isError()) return Operand::of(v);
    auto code = c.text(1);
    if (!code) return Operand::ofError(*code.error);
    double number = 0;
    if (v.isNumber() || v.isEmpty()) {
        number = v.number;
    } else if (v.isBoolean()) {
        return Operand::ofText(v.number != 0 ? "TRUE" : "FALSE");
    } else {
        // A text that reads as a number is formatted as one; any other text goes through as it is.
        auto parsed = parseNumberText(v.text, c.ev.date1904());
        if (!parsed) return Operand::ofText(formatText(v.text, *code));
        number = *parsed;
    }
    auto formatted = formatNumber(number, *code, c.ev.date1904());
    if (!formatted) return Operand::ofError(*formatted.error);
    return textResult(*formatted);
}

// CHAR and CODE go by the system's code page above 127, which differs between the application's
// platforms and languages; only ASCII is the same everywhere.
Operand fnChar(Call& c) {
    auto n = c.integer(0);
    if (!n) return Operand::ofError(*n.error);
    if (*n < 1 || *n > 255) return Operand::ofError(ErrorCode::Value);
    if (*n > 127) throw NotComputable("CHAR over 127, som avhenger av språkinnstillingene");
    return Operand::ofText(std::string(1, static_cast<char>(*n)));
}

Operand fnCode(Call& c) {
    auto text = c.text(0);
    if (!text) return Operand::ofError(*text.error);
    if (text->empty()) return Operand::ofError(ErrorCode::Value);
    auto first = static_cast<unsigned char>(text->front());
    if (first > 127)
        throw NotComputable("CODE av et tegn utenfor ASCII, som avhenger av språkinnstillingene");
    return Operand::ofNumber(first);
}

Operand fnUnichar(Call& c) {
    auto n = c.integer(0);
    if (!n) return Operand::ofError(*n.error);
    if (*n < 1 || *n > 0x10FFFF) return Operand::ofError(ErrorCode::Value);
    if (*n >= 0xD800 && *n <= 0xDFFF) return Operand::ofError(ErrorCode::NA);
    return Operand::ofText(toUtf8(std::u32string(1, static_cast<char32_t>(*n))));
}

Operand fnUnicode(Call& c) {
    auto text = c.text(0);
    if (!text) return Operand::ofError(*text.error);
    if (text->empty()) return Operand::ofError(ErrorCode::Value);
    std::size_t pos = 0;
    return Operand::ofNumber(static_cast<double>(nextCodePoint(*text, pos)));
}

// Without the control characters 0-31.
Operand fnClean(Call& c) {
    auto text = c.text(0);
    if (!text) return Operand::ofError(*text.error);
    std::string out;
    for (char ch : *text)
        if (static_cast<unsigned char>(ch) >= 32) out += ch;
    return Operand::ofText(std::move(out));
}

// FIXED(number, [decimals], [no_commas]): rounded, with thousands separators unless told not to.
Operand fnFixed(Call& c) {
    auto value = c.number(0);
    if (!value) return Operand::ofError(*value.error);
    auto decimals = c.number(1, 2);
    if (!decimals) return Operand::ofError(*decimals.error);
    auto plain = c.boolean(2, false);
    if (!plain) return Operand::ofError(*plain.error);
    double places = std::trunc(*decimals);
    if (places > 127) return Operand::ofError(ErrorCode::Value);
    double scale = std::pow(10.0, std::fabs(places));
    double rounded = places >= 0 ? std::round(round15(*value * scale)) / scale
                                 : std::round(round15(*value / scale)) * scale;
    std::string code = *plain ? "0" : "#,##0";
    if (places > 0) code += "." + std::string(static_cast<std::size_t>(places), '0');
    auto formatted = formatNumber(rounded, code, c.ev.date1904());
    if (!formatted) return Operand::ofError(*formatted.error);
    return textResult(*formatted);
}

// NUMBERVALUE(text, decimal separator, group separator): without the separators the user's settings
// would decide, which is not guessed.
Operand fnNumbervalue(Call& c) {
    auto text = c.text(0);
    if (!text) return Operand::ofError(*text.error);
    if (c.omitted(1) || c.omitted(2))
        throw NotComputable("NUMBERVALUE uten skilletegn, som avhenger av språkinnstillingene");
    auto point = c.text(1), group = c.text(2);
    if (!point) return Operand::ofError(*point.error);
    if (!group) return Operand::ofError(*group.error);
    if (point->empty() || group->empty() || point->front() == group->front())
        return Operand::ofError(ErrorCode::Value);
    std::string plain;
    int percents = 0;
    bool seenPoint = false;
    for (char ch : *text) {
        if (ch == ' ' || ch == '\t' || ch == '\n' || ch == '\r') continue;
        if (percents > 0 && ch != '%') return Operand::ofError(ErrorCode::Value);
        if (ch == '%') {
            ++percents;
        } else if (ch == point->front()) {
            if (seenPoint) return Operand::ofError(ErrorCode::Value);
            seenPoint = true;
            plain += '.';
        } else if (ch == group->front()) {
            if (seenPoint) return Operand::ofError(ErrorCode::Value);
        } else {
            plain += ch;
        }
    }
    if (plain.empty()) return Operand::ofNumber(0);
    auto number = parseNumberText(plain, c.ev.date1904());
    bool plainNumber = plain.find_first_not_of("0123456789.+-eE") == std::string::npos;
    if (!number || !plainNumber) return Operand::ofError(ErrorCode::Value);
    return numberResult(*number / std::pow(100.0, percents));
}

// HYPERLINK(link, [name]): what the cell shows, the name or else the link.
Operand fnHyperlink(Call& c) {
    return Operand::of(c.omitted(1) ? c.value(0) : c.value(1));
}

} // namespace

const std::vector<FunctionDef>& textFunctions() {
    static const std::vector<FunctionDef> functions = {
        {"CONCATENATE", 1, 255, "V", fnConcatenate, true},
        {"CONCAT", 1, 254, "R", fnConcat, false},
        {"TEXTJOIN", 3, 252, "VVR", fnTextJoin, false},
        {"LEFT", 1, 2, "V", fnLeft, true},
        {"RIGHT", 1, 2, "V", fnRight, true},
        {"MID", 3, 3, "V", fnMid, true},
        {"LEN", 1, 1, "V", fnLen, true},
        {"UPPER", 1, 1, "V", fnUpper, true},
        {"LOWER", 1, 1, "V", fnLower, true},
        {"PROPER", 1, 1, "V", fnProper, true},
        {"TRIM", 1, 1, "V", fnTrim, true},
        {"SUBSTITUTE", 3, 4, "V", fnSubstitute, true},
        {"REPLACE", 4, 4, "V", fnReplace, true},
        {"FIND", 2, 3, "V", fnFind, true},
        {"SEARCH", 2, 3, "V", fnSearch, true},
        {"REPT", 2, 2, "V", fnRept, true},
        {"EXACT", 2, 2, "V", fnExact, true},
        {"VALUE", 1, 1, "V", fnValue, true},
        {"TEXT", 2, 2, "V", fnText, true},
        {"CHAR", 1, 1, "V", fnChar, true},
        {"CODE", 1, 1, "V", fnCode, true},
        {"UNICHAR", 1, 1, "V", fnUnichar, true},
        {"UNICODE", 1, 1, "V", fnUnicode, true},
        {"CLEAN", 1, 1, "V", fnClean, true},
        {"FIXED", 1, 3, "V", fnFixed, true},
        {"NUMBERVALUE", 1, 3, "V", fnNumbervalue, true},
        {"HYPERLINK", 1, 2, "V", fnHyperlink, true},
    };
    return functions;
}

} // namespace xlsx::eval
