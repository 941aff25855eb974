#include "formula/FormulaTokenizer.h"

#include "formula/ReferenceSyntax.h"
#include "sheets/AsciiCase.h"

#include <array>

namespace xlsx {

namespace {

constexpr std::size_t npos = std::string_view::npos;

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::size_t scanName(std::string_view f, std::size_t pos) {
    if (pos >= f.size() || !isNameStart(f[pos])) return pos;
    while (pos < f.size() && isNameChar(f[pos]))
        ++pos;
    return pos;
}

// Past the ']' that closes the '[' at pos; npos when unbalanced. In table references "'" escapes
// the next character ('[ '] '# '').
std::size_t skipBrackets(std::string_view f, std::size_t pos) {
    int depth = 0;
    for (; pos < f.size(); ++pos) {
        char c = f[pos];
        if (c == '\'') {
            ++pos;
        } else if (c == '[') {
            ++depth;
        } else if (c == ']') {
            if (--depth == 0) return pos + 1;
        }
    }
    return npos;
}

// Past the closing quote of a literal opened at pos (quote doubled inside); npos when unterminated.
std::size_t skipQuoted(std::string_view f, std::size_t pos, char quote) {
    for (std::size_t i = pos + 1; i < f.size(); ++i) {
        if (f[i] != quote) continue;
        if (i + 1 < f.size() && f[i + 1] == quote) {
            ++i;
            continue;
        }
        return i + 1;
    }
    return npos;
}

// An unquoted sheet name or 3-D span at pos ending in '!': the position after the '!', else npos.
// `end` is where the name at pos ends (scanName).
std::size_t skipUnquotedPrefix(std::string_view f, std::size_t pos, std::size_t end) {
    if (end == pos || end >= f.size()) return npos;
    if (f[end] == '!') return end + 1;
    if (f[end] != ':') return npos;
    std::size_t second = scanName(f, end + 1);
    // Read as a 3-D span even when the left looks like a cell: sheet names such as Ark1 do.
    if (second == end + 1 || second >= f.size() || f[second] != '!') return npos;
    return second + 1;
}

constexpr std::array<std::string_view, 15> kErrors = {
    "#NULL!",  "#DIV/0!", "#VALUE!", "#REF!",     "#NAME?",    "#NUM!",     "#N/A",   "#GETTING_DATA",
    "#SPILL!", "#CALC!",  "#FIELD!", "#BLOCKED!", "#CONNECT!", "#UNKNOWN!", "#BUSY!",
};

std::size_t errorLength(std::string_view f, std::size_t pos) {
    for (auto error : kErrors)
        if (sheets::equalIgnoringAsciiCase(f.substr(pos, error.size()), error)) return error.size();
    return 0;
}

class Tokenizer {
public:
    explicit Tokenizer(std::string_view formula, std::vector<FormulaReference>* references = nullptr)
        : m_f(formula), m_references(references) {}

    std::vector<Token> run() {
        m_tokens.reserve(8 + m_f.size() / 3);
        while (m_pos < m_f.size())
            step();
        markIntersections();
        return std::move(m_tokens);
    }

    // References only: no token list, no intersections marked (they never turn into references).
    void runForReferences() {
        while (m_pos < m_f.size())
            step();
    }

private:
    void push(TokenKind kind, std::size_t end) {
        if (!m_references) m_tokens.push_back({kind, m_f.substr(m_pos, end - m_pos)});
        m_pos = end;
    }

    void step() {
        char c = m_f[m_pos];
        std::size_t next = m_pos + 1;
        if (isSpace(c)) {
            while (next < m_f.size() && isSpace(m_f[next]))
                ++next;
            return push(TokenKind::Whitespace, next);
        }
        switch (c) {
        case '"': {
            auto end = skipQuoted(m_f, m_pos, '"');
            return end == npos ? push(TokenKind::Other, m_f.size()) : push(TokenKind::String, end);
        }
        case '\'':
            return quotedPrefix();
        case '#':
            return error(m_pos);
        case '[':
            return bracket();
        case '{':
            ++m_braces;
            return push(TokenKind::Separator, next);
        case '}':
            if (m_braces > 0) --m_braces;
            return push(TokenKind::Separator, next);
        case ',':
        case ';':
        case '(':
        case ')':
            return push(TokenKind::Separator, next);
        case '<':
            if (next < m_f.size() && (m_f[next] == '=' || m_f[next] == '>')) ++next;
            return push(TokenKind::Operator, next);
        case '>':
            if (next < m_f.size() && m_f[next] == '=') ++next;
            return push(TokenKind::Operator, next);
        case '+':
        case '-':
        case '*':
        case '/':
        case '^':
        case '&':
        case '=':
        case '%':
        case ':':
        case '@':
            return push(TokenKind::Operator, next);
        default:
            break;
        }
        if (isDigit(c) || (c == '.' && next < m_f.size() && isDigit(m_f[next]))) {
            if (reference(m_pos)) return;
            return number();
        }
        if (c == '$') {
            if (reference(m_pos)) return;
            return push(TokenKind::Other, next);
        }
        if (isNameStart(c)) return identifier();
        push(TokenKind::Other, next);
    }

    // An area at `from` (after any prefix that starts at m_pos) as one Reference token.
    bool reference(std::size_t from) {
        std::size_t end = from;
        auto area = parseArea(m_f, end);
        if (!area) return false;
        if (m_references && m_braces == 0) m_references->push_back({m_pos, end - m_pos, from - m_pos, *area});
        // Array constants hold only constants; whatever looks like a cell there is left alone.
        push(m_braces > 0 ? TokenKind::Other : TokenKind::Reference, end);
        return true;
    }

    void number() {
        std::size_t end = m_pos;
        while (end < m_f.size() && isDigit(m_f[end]))
            ++end;
        if (end < m_f.size() && m_f[end] == '.') {
            ++end;
            while (end < m_f.size() && isDigit(m_f[end]))
                ++end;
        }
        if (end < m_f.size() && (m_f[end] == 'E' || m_f[end] == 'e')) {
            std::size_t exponent = end + 1;
            if (exponent < m_f.size() && (m_f[exponent] == '+' || m_f[exponent] == '-')) ++exponent;
            if (exponent < m_f.size() && isDigit(m_f[exponent])) {
                while (exponent < m_f.size() && isDigit(m_f[exponent]))
                    ++exponent;
                end = exponent;
            }
        }
        push(TokenKind::Number, end);
    }

    // An error literal at `from`. "#REF!" directly followed by an area (what is left of a reference
    // to a deleted sheet) is kept as one token so that the area is not taken for a live one.
    void error(std::size_t from) {
        std::size_t length = errorLength(m_f, from);
        if (length == 0) return push(TokenKind::Other, from + 1);
        std::size_t end = from + length;
        if (m_f.substr(from, length) == "#REF!") {
            std::size_t area = end;
            if (parseArea(m_f, area)) end = area;
        }
        push(TokenKind::Error, end);
    }

    // What follows a sheet prefix that ends just before `from`.
    void afterPrefix(std::size_t from) {
        if (from < m_f.size() && m_f[from] == '#' && errorLength(m_f, from) > 0) return error(from);
        if (reference(from)) return;
        std::size_t end = scanName(m_f, from);
        if (end > from && (end >= m_f.size() || (m_f[end] != '(' && m_f[end] != '[')))
            return push(TokenKind::Name, end); // a sheet-level or external defined name
        push(TokenKind::Other, from);
    }

    void quotedPrefix() {
        auto end = skipQuoted(m_f, m_pos, '\'');
        if (end == npos) return push(TokenKind::Other, m_f.size());
        if (end < m_f.size() && m_f[end] == '!') return afterPrefix(end + 1);
        push(TokenKind::Other, end);
    }

    // "[1]Sheet1!A1", "[1]!Name" (another workbook), else a table reference of the formula's own
    // table ("[@Col]", "[[#This Row],[Col]]").
    void bracket() {
        auto end = skipBrackets(m_f, m_pos);
        if (end == npos) return push(TokenKind::Other, m_f.size());
        if (end < m_f.size() && m_f[end] == '!') return afterPrefix(end + 1);
        if (auto prefixEnd = skipUnquotedPrefix(m_f, end, scanName(m_f, end)); prefixEnd != npos)
            return afterPrefix(prefixEnd);
        push(TokenKind::Structured, end);
    }

    void identifier() {
        std::size_t end = scanName(m_f, m_pos);
        if (auto prefixEnd = skipUnquotedPrefix(m_f, m_pos, end); prefixEnd != npos)
            return afterPrefix(prefixEnd);
        if (end < m_f.size() && m_f[end] == '(') return push(TokenKind::Function, end);
        if (end < m_f.size() && m_f[end] == '[') {
            auto close = skipBrackets(m_f, end);
            return close == npos ? push(TokenKind::Other, m_f.size()) : push(TokenKind::Structured, close);
        }
        if (reference(m_pos)) return;
        push(TokenKind::Name, end);
    }

    // A blank between two operands is the intersection operator ("A1:B5 B2:C3"), elsewhere layout.
    void markIntersections() {
        auto endsOperand = [](const Token& t) {
            return t.kind == TokenKind::Reference || t.kind == TokenKind::Name ||
                   t.kind == TokenKind::Structured || (t.kind == TokenKind::Separator && t.text == ")");
        };
        auto startsOperand = [](const Token& t) {
            return t.kind == TokenKind::Reference || t.kind == TokenKind::Name ||
                   t.kind == TokenKind::Structured || t.kind == TokenKind::Function ||
                   (t.kind == TokenKind::Separator && t.text == "(");
        };
        for (std::size_t i = 1; i + 1 < m_tokens.size(); ++i) {
            if (m_tokens[i].kind == TokenKind::Whitespace && endsOperand(m_tokens[i - 1]) &&
                startsOperand(m_tokens[i + 1]))
                m_tokens[i].kind = TokenKind::Operator;
        }
    }

    std::string_view m_f;
    std::size_t m_pos = 0;
    int m_braces = 0;
    std::vector<Token> m_tokens;
    std::vector<FormulaReference>* m_references;
};

} // namespace

std::vector<Token> tokenizeFormula(std::string_view formula) {
    return Tokenizer(formula).run();
}

void findReferences(std::string_view formula, std::vector<FormulaReference>& out) {
    out.clear();
    Tokenizer(formula, &out).runForReferences();
}

} // namespace xlsx
