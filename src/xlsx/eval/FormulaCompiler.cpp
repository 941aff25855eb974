#include "eval/CompiledFormula.h"

#include "formula/FormulaTokenizer.h"
#include "sheets/AsciiCase.h"

#include <charconv>

namespace xlsx::eval {

namespace {

// Deeper trees than this are not formulas the application would have saved.
constexpr int kMaxDepth = 2000;

std::string unquoteString(std::string_view literal) {
    std::string text;
    auto inner = literal.substr(1, literal.size() - 2);
    for (std::size_t i = 0; i < inner.size(); ++i) {
        text += inner[i];
        if (inner[i] == '"' && i + 1 < inner.size() && inner[i + 1] == '"') ++i;
    }
    return text;
}

std::string functionName(std::string_view written) {
    auto name = sheets::toUpperAscii(written);
    for (bool again = true; again;) {
        again = false;
        for (std::string_view prefix : {"_XLFN.", "_XLWS.", "_XLUDF."}) {
            if (name.starts_with(prefix)) {
                name.erase(0, prefix.size());
                again = true;
            }
        }
    }
    return name;
}

class Compiler {
public:
    Compiler(std::string_view text, const SheetLookup& sheetIndex, std::uint32_t anchorRow,
             std::uint32_t anchorColumn)
        : m_tokens(tokenizeFormula(text)), m_sheetIndex(sheetIndex), m_anchorRow(anchorRow),
          m_anchorColumn(anchorColumn) {
        std::erase_if(m_tokens, [](const Token& t) { return t.kind == TokenKind::Whitespace; });
        m_out.nodes.reserve(m_tokens.size() + 1);
        m_out.children.reserve(m_tokens.size());
    }

    CompiledFormula run() {
        if (m_tokens.empty()) {
            fail();
        } else {
            m_out.root = comparison();
            if (m_pos != m_tokens.size()) fail();
        }
        if (m_failed) {
            CompiledFormula failed;
            failed.problem = "formelen kunne ikke leses";
            return failed;
        }
        return std::move(m_out);
    }

private:
    const Token* peek() const { return m_pos < m_tokens.size() ? &m_tokens[m_pos] : nullptr; }
    bool atOperator(std::string_view text) const {
        auto* t = peek();
        return t && t->kind == TokenKind::Operator && t->text == text;
    }
    bool atSeparator(std::string_view text) const {
        auto* t = peek();
        return t && t->kind == TokenKind::Separator && t->text == text;
    }
    bool atIntersection() const {
        auto* t = peek();
        return t && t->kind == TokenKind::Operator && !t->text.empty() &&
               (t->text[0] == ' ' || t->text[0] == '\t' || t->text[0] == '\r' || t->text[0] == '\n');
    }
    std::uint32_t fail() {
        m_failed = true;
        m_pos = m_tokens.size();
        return add({});
    }

    std::uint32_t add(Node node, std::initializer_list<std::uint32_t> kids = {}) {
        node.first = static_cast<std::uint32_t>(m_out.children.size());
        node.count = static_cast<std::uint16_t>(kids.size());
        m_out.children.insert(m_out.children.end(), kids.begin(), kids.end());
        m_out.nodes.push_back(node);
        return static_cast<std::uint32_t>(m_out.nodes.size() - 1);
    }
    std::uint32_t addWithChildren(Node node, const std::vector<std::uint32_t>& kids) {
        if (kids.size() > 0xFFFF) return fail();
        node.first = static_cast<std::uint32_t>(m_out.children.size());
        node.count = static_cast<std::uint16_t>(kids.size());
        m_out.children.insert(m_out.children.end(), kids.begin(), kids.end());
        m_out.nodes.push_back(node);
        return static_cast<std::uint32_t>(m_out.nodes.size() - 1);
    }
    std::uint32_t unsupported(std::string reason) {
        Node node{Op::Unsupported};
        node.index = static_cast<std::uint32_t>(m_out.strings.size());
        m_out.strings.push_back(std::move(reason));
        return add(node);
    }
    std::uint32_t errorNode(ErrorCode code) {
        Node node{Op::Error};
        node.index = static_cast<std::uint32_t>(code);
        return add(node);
    }

    // Guards the recursion of every level below; a formula nested too deep is not read.
    struct Depth {
        Compiler& c;
        explicit Depth(Compiler& compiler) : c(compiler) {
            if (++c.m_depth > kMaxDepth) c.fail();
        }
        ~Depth() { --c.m_depth; }
    };

    template <typename Next>
    std::uint32_t binary(Next next, std::initializer_list<std::pair<std::string_view, Op>> ops) {
        auto left = (this->*next)();
        for (;;) {
            Op op{};
            bool found = false;
            for (auto [text, candidate] : ops)
                if (atOperator(text)) {
                    op = candidate;
                    found = true;
                }
            if (!found || m_failed) return left;
            ++m_pos;
            auto right = (this->*next)();
            left = add({op}, {left, right});
        }
    }

    std::uint32_t comparison() {
        Depth depth(*this);
        return binary(
            &Compiler::concatenation,
            {{"=", Op::Eq}, {"<>", Op::Ne}, {"<", Op::Lt}, {"<=", Op::Le}, {">", Op::Gt}, {">=", Op::Ge}});
    }
    std::uint32_t concatenation() { return binary(&Compiler::additive, {{"&", Op::Concat}}); }
    std::uint32_t additive() { return binary(&Compiler::multiplicative, {{"+", Op::Add}, {"-", Op::Sub}}); }
    std::uint32_t multiplicative() { return binary(&Compiler::power, {{"*", Op::Mul}, {"/", Op::Div}}); }
    // '^' binds looser than a sign: -2^2 is 4.
    std::uint32_t power() { return binary(&Compiler::percent, {{"^", Op::Pow}}); }

    std::uint32_t percent() {
        auto operand = prefix();
        while (atOperator("%") && !m_failed) {
            ++m_pos;
            operand = add({Op::Percent}, {operand});
        }
        return operand;
    }

    std::uint32_t prefix() {
        Depth depth(*this);
        if (atOperator("-")) {
            ++m_pos;
            return add({Op::Negate}, {prefix()});
        }
        if (atOperator("+")) {
            ++m_pos;
            return add({Op::Plus}, {prefix()});
        }
        if (atOperator("@")) {
            ++m_pos;
            return add({Op::Implicit}, {prefix()});
        }
        return intersection();
    }

    std::uint32_t intersection() {
        auto left = range();
        while (atIntersection() && !m_failed) {
            ++m_pos;
            left = add({Op::Intersect}, {left, range()});
        }
        return left;
    }

    std::uint32_t range() {
        auto left = primary();
        while (atOperator(":") && !m_failed) {
            ++m_pos;
            left = add({Op::Range}, {left, primary()});
        }
        return left;
    }

    std::uint32_t primary() {
        Depth depth(*this);
        const Token* token = peek();
        if (!token || m_failed) return fail();
        ++m_pos;
        switch (token->kind) {
        case TokenKind::Number:
            return number(token->text);
        case TokenKind::String: {
            Node node{Op::Text};
            node.index = static_cast<std::uint32_t>(m_out.strings.size());
            m_out.strings.push_back(unquoteString(token->text));
            return add(node);
        }
        case TokenKind::Error: {
            auto hash = token->text.find('#');
            auto literal = token->text.substr(hash);
            if (sheets::toUpperAscii(literal).starts_with("#REF!")) return errorNode(ErrorCode::Ref);
            auto code = parseErrorLiteral(literal);
            return code ? errorNode(*code) : fail();
        }
        case TokenKind::Reference:
            return reference(token->text);
        case TokenKind::Name:
            return name(token->text);
        case TokenKind::Function:
            return call(token->text);
        case TokenKind::Structured:
            return structured(token->text);
        case TokenKind::Separator:
            if (token->text == "(") return parenthesised();
            if (token->text == "{") return arrayConstant();
            return fail();
        default:
            return fail();
        }
    }

    std::uint32_t number(std::string_view text) {
        double value = 0;
        auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
        if (ec == std::errc::result_out_of_range) return errorNode(ErrorCode::Num);
        if (ec != std::errc() || end != text.data() + text.size()) return fail();
        Node node{Op::Number};
        node.number = value;
        return add(node);
    }

    // Sheets of a prefix; false (and a node made) when it leads nowhere this evaluator can go.
    bool sheets(const SheetSpan& span, int& first, int& last) {
        first = m_sheetIndex(span.first);
        last = span.last == span.first ? first : m_sheetIndex(span.last);
        if (first > last) std::swap(first, last);
        return first != kNoSheet && last != kNoSheet;
    }

    std::uint32_t reference(std::string_view text) {
        auto parsed = parseReference(text);
        if (!parsed) return fail();
        if (parsed->sheets.external) return unsupported("en referanse til en annen arbeidsbok");
        RefDef def;
        def.kind = parsed->area.kind;
        def.first = corner(parsed->area.first);
        def.last = corner(parsed->area.last);
        if (!parsed->prefix.empty() && !sheets(parsed->sheets, def.firstSheet, def.lastSheet))
            return errorNode(ErrorCode::Ref);
        Node node{Op::Ref};
        node.index = static_cast<std::uint32_t>(m_out.refs.size());
        m_out.refs.push_back(def);
        return add(node);
    }

    RefCorner corner(const AreaCorner& written) const {
        RefCorner c;
        c.absoluteRow = written.absoluteRow;
        c.absoluteColumn = written.absoluteColumn;
        c.row = written.absoluteRow ? written.row : std::int64_t{written.row} - m_anchorRow;
        c.column = written.absoluteColumn ? written.column : std::int64_t{written.column} - m_anchorColumn;
        return c;
    }

    std::uint32_t name(std::string_view text) {
        NameDef def;
        if (auto bang = text.rfind('!'); bang != std::string_view::npos) {
            auto span = parseSheetPrefix(text.substr(0, bang));
            if (span.external) return unsupported("et navn i en annen arbeidsbok");
            int first = 0, last = 0;
            // A name qualified by a sheet the workbook lacks: the application shows #REF!.
            if (!sheets(span, first, last) || first != last) return errorNode(ErrorCode::Ref);
            def.sheet = first;
            def.name = sheets::toUpperAscii(text.substr(bang + 1));
        } else {
            def.name = sheets::toUpperAscii(text);
            if (def.name == "TRUE" || def.name == "FALSE") {
                Node node{Op::Boolean};
                node.number = def.name == "TRUE" ? 1 : 0;
                return add(node);
            }
        }
        Node node{Op::Name};
        node.index = static_cast<std::uint32_t>(m_out.names.size());
        m_out.names.push_back(std::move(def));
        return add(node);
    }

    std::uint32_t structured(std::string_view text) {
        auto parsed = parseStructuredReference(text);
        if (!parsed) return unsupported("tabellreferansen " + std::string(text));
        Node node{Op::Structured};
        node.index = static_cast<std::uint32_t>(m_out.tables.size());
        m_out.tables.push_back(std::move(*parsed));
        return add(node);
    }

    std::uint32_t call(std::string_view written) {
        auto name = functionName(written);
        if (!atSeparator("(")) return fail();
        ++m_pos;
        std::vector<std::uint32_t> args;
        if (atSeparator(")")) {
            ++m_pos;
        } else {
            for (;;) {
                if (atSeparator(",") || atSeparator(")"))
                    args.push_back(add({Op::Missing}));
                else
                    args.push_back(comparison());
                if (m_failed) return fail();
                if (atSeparator(",")) {
                    ++m_pos;
                    continue;
                }
                if (atSeparator(")")) {
                    ++m_pos;
                    break;
                }
                return fail();
            }
        }
        if (name == "SINGLE" && args.size() == 1) return add({Op::Implicit}, {args[0]});
        if (name == "ANCHORARRAY") return unsupported("en referanse til en dynamisk matrise");
        Node node{Op::Call};
        node.index = static_cast<std::uint32_t>(m_out.functions.size());
        m_out.functions.push_back({findFunction(name), name});
        return addWithChildren(node, args);
    }

    std::uint32_t parenthesised() {
        std::vector<std::uint32_t> parts{comparison()};
        while (atSeparator(",") && !m_failed) {
            ++m_pos;
            parts.push_back(comparison());
        }
        if (!atSeparator(")")) return fail();
        ++m_pos;
        return parts.size() == 1 ? parts[0] : addWithChildren({Op::Union}, parts);
    }

    std::uint32_t arrayConstant() {
        Matrix matrix;
        std::vector<Value> row;
        for (;;) {
            auto element = arrayElement();
            if (!element) return fail();
            row.push_back(std::move(*element));
            if (atSeparator(",")) {
                ++m_pos;
                continue;
            }
            bool end = atSeparator("}");
            if (!end && !atSeparator(";")) return fail();
            ++m_pos;
            if (matrix.rows == 0) matrix.columns = static_cast<std::uint32_t>(row.size());
            if (row.size() != matrix.columns) return fail();
            for (auto& v : row)
                matrix.values.push_back(std::move(v));
            row.clear();
            ++matrix.rows;
            if (end) break;
        }
        Node node{Op::Array};
        node.index = static_cast<std::uint32_t>(m_out.arrays.size());
        m_out.arrays.push_back(std::make_shared<const Matrix>(std::move(matrix)));
        return add(node);
    }

    std::optional<Value> arrayElement() {
        bool negative = false;
        if (atOperator("-") || atOperator("+")) {
            negative = peek()->text == "-";
            ++m_pos;
            if (!peek() || peek()->kind != TokenKind::Number) return std::nullopt;
        }
        const Token* token = peek();
        if (!token) return std::nullopt;
        ++m_pos;
        switch (token->kind) {
        case TokenKind::Number: {
            double value = 0;
            auto [end, ec] =
                std::from_chars(token->text.data(), token->text.data() + token->text.size(), value);
            if (ec != std::errc() || end != token->text.data() + token->text.size()) return std::nullopt;
            return Value::ofNumber(negative ? -value : value);
        }
        case TokenKind::String:
            return Value::ofText(unquoteString(token->text));
        case TokenKind::Name: {
            auto word = sheets::toUpperAscii(token->text);
            if (word == "TRUE" || word == "FALSE") return Value::ofBoolean(word == "TRUE");
            return std::nullopt;
        }
        case TokenKind::Error:
            if (auto code = parseErrorLiteral(token->text)) return Value::ofError(*code);
            return std::nullopt;
        default:
            return std::nullopt;
        }
    }

    std::vector<Token> m_tokens;
    const SheetLookup& m_sheetIndex;
    std::uint32_t m_anchorRow, m_anchorColumn;
    std::size_t m_pos = 0;
    int m_depth = 0;
    bool m_failed = false;
    CompiledFormula m_out;
};

} // namespace

CompiledFormula compileFormula(std::string_view text, const SheetLookup& sheetIndex, std::uint32_t anchorRow,
                               std::uint32_t anchorColumn) {
    return Compiler(text, sheetIndex, anchorRow, anchorColumn).run();
}

std::string relativeKey(std::string_view text, std::uint32_t anchorRow, std::uint32_t anchorColumn) {
    std::string key;
    relativeKey(text, anchorRow, anchorColumn, key);
    return key;
}

void relativeKey(std::string_view text, std::uint32_t anchorRow, std::uint32_t anchorColumn,
                 std::string& key) {
    // Asked for every formula computed: the references alone are found, into a buffer kept.
    thread_local std::vector<FormulaReference> references;
    findReferences(text, references);
    relativeKey(text, references, anchorRow, anchorColumn, key);
}

void relativeKey(std::string_view text, std::span<const FormulaReference> references, std::uint32_t anchorRow,
                 std::uint32_t anchorColumn, std::string& key) {
    // Written straight into the key's buffer. Each reference becomes at most its prefix, three marks
    // and two corners of two 20-digit numbers with their marks.
    key.resize(text.size() + references.size() * 90);
    char* out = key.data();
    char* const end = out + key.size();
    auto append = [&](std::string_view part) {
        part.copy(out, part.size());
        out += part.size();
    };
    auto number = [&](std::int64_t value) { out = std::to_chars(out, end, value).ptr; };
    std::size_t copied = 0;
    for (const auto& reference : references) {
        append(text.substr(copied, reference.begin - copied));
        copied = reference.begin + reference.size;
        // Control characters cannot stand in a formula, so they mark the rewritten references.
        *out++ = '\x01';
        append(reference.prefix(text));
        *out++ = static_cast<char>('0' + static_cast<int>(reference.area.kind));
        for (const AreaCorner* c : {&reference.area.first, &reference.area.last}) {
            *out++ = c->absoluteRow ? '$' : '~';
            number(c->absoluteRow ? c->row : std::int64_t{c->row} - anchorRow);
            *out++ = c->absoluteColumn ? '$' : '~';
            number(c->absoluteColumn ? c->column : std::int64_t{c->column} - anchorColumn);
        }
        *out++ = '\x01';
    }
    append(text.substr(copied));
    key.resize(static_cast<std::size_t>(out - key.data()));
}

} // namespace xlsx::eval
