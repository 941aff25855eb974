#include "formula/FormulaTokenizer.h"

#include "formula/CellRef.h"
#include "formula/ReferenceShifter.h"

#include "support/Corpus.h"
#include "support/Python.h"
#include "support/TestPaths.h"
#include "support/ZipEntries.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

using xlsx::Token;
using xlsx::TokenKind;

const char* kindName(TokenKind kind) {
    static constexpr const char* kNames[] = {"ref", "fn", "name", "num", "str",  "err",
                                             "tab", "op", "sep",  "ws",  "other"};
    return kNames[static_cast<int>(kind)];
}

// "fn(SUM) sep(() ref(A1:B2) sep())": kind and text of every token.
std::string render(const std::vector<Token>& tokens) {
    std::string out;
    for (const auto& token : tokens) {
        if (!out.empty()) out += ' ';
        out += kindName(token.kind);
        out += '(';
        out += token.text;
        out += ')';
    }
    return out;
}

std::string joined(const std::vector<Token>& tokens) {
    std::string out;
    for (const auto& token : tokens)
        out += token.text;
    return out;
}

struct Case {
    std::string formula;
    std::string expected;
};

void expectTokens(const std::vector<Case>& cases) {
    for (const auto& c : cases) {
        auto tokens = xlsx::tokenizeFormula(c.formula);
        EXPECT_EQ(render(tokens), c.expected) << c.formula;
        EXPECT_EQ(joined(tokens), c.formula);
    }
}

TEST(FormulaTokenizer, ReferencesOfEveryShape) {
    expectTokens({
        {"SUM(A1:B2)", "fn(SUM) sep(() ref(A1:B2) sep())"},
        {"$A$1+A$1+$A1+a1", "ref($A$1) op(+) ref(A$1) op(+) ref($A1) op(+) ref(a1)"},
        {"A:A+$B:$D+5:5+$3:$10", "ref(A:A) op(+) ref($B:$D) op(+) ref(5:5) op(+) ref($3:$10)"},
        {"XFD1048576+XFE1+A1048577", "ref(XFD1048576) op(+) name(XFE1) op(+) name(A1048577)"},
        {"'It''s'!A1+'Ark 2'!$B$2:C3", "ref('It''s'!A1) op(+) ref('Ark 2'!$B$2:C3)"},
        {"Ark1!A1:Ark1!B2", "ref(Ark1!A1) op(:) ref(Ark1!B2)"},
        {"SUM(Ark1:Ark3!A1,'Ark 1:Ark 3'!B:B)",
         "fn(SUM) sep(() ref(Ark1:Ark3!A1) sep(,) ref('Ark 1:Ark 3'!B:B) sep())"},
        {"Sh.eet.1!$1:$2+Blå!C3", "ref(Sh.eet.1!$1:$2) op(+) ref(Blå!C3)"},
        {"[1]Sheet1!A1+'[1]Sheet 1'!A1", "ref([1]Sheet1!A1) op(+) ref('[1]Sheet 1'!A1)"},
        {"'/path/[Book.xlsx]Sheet'!A1+[1]Ark1:Ark3!B2",
         "ref('/path/[Book.xlsx]Sheet'!A1) op(+) ref([1]Ark1:Ark3!B2)"},
    });
}

TEST(FormulaTokenizer, NamesAndFunctionsThatLookLikeCells) {
    expectTokens({
        {"LOG10(A1)+ATAN2(B1,C1)",
         "fn(LOG10) sep(() ref(A1) sep()) op(+) fn(ATAN2) sep(() ref(B1) sep(,) ref(C1) sep())"},
        {"DAYS360(A1,B1)", "fn(DAYS360) sep(() ref(A1) sep(,) ref(B1) sep())"},
        {"_xlfn.DAYS(A1,B1)+_xlfn._xlws.SORT(C1:C5)", "fn(_xlfn.DAYS) sep(() ref(A1) sep(,) ref(B1) sep()) "
                                                      "op(+) fn(_xlfn._xlws.SORT) sep(() ref(C1:C5) sep())"},
        {"ABCD1+SUM1_+R1C1+RC+TRUE+FALSE",
         "name(ABCD1) op(+) name(SUM1_) op(+) name(R1C1) op(+) name(RC) op(+) name(TRUE) op(+) name(FALSE)"},
        {"A1B+A1.B2+Pris", "name(A1B) op(+) name(A1.B2) op(+) name(Pris)"},
        {"Ark1!Navn+[1]!Navn", "name(Ark1!Navn) op(+) name([1]!Navn)"},
    });
}

TEST(FormulaTokenizer, LiteralsAndTables) {
    expectTokens({
        {"\"a\"\"b A1\"&A1", "str(\"a\"\"b A1\") op(&) ref(A1)"},
        {"1E+5+1.5E-3+.5*50%", "num(1E+5) op(+) num(1.5E-3) op(+) num(.5) op(*) num(50) op(%)"},
        {"#REF!+#N/A+#DIV/0!+#NULL!+#NUM!",
         "err(#REF!) op(+) err(#N/A) op(+) err(#DIV/0!) op(+) err(#NULL!) op(+) err(#NUM!)"},
        {"#VALUE!&#NAME?&#GETTING_DATA&#SPILL!",
         "err(#VALUE!) op(&) err(#NAME?) op(&) err(#GETTING_DATA) op(&) err(#SPILL!)"},
        {"Ark1!#REF!+#REF!A1", "err(Ark1!#REF!) op(+) err(#REF!A1)"},
        {"{1,2;3,-4.5}", "sep({) num(1) sep(,) num(2) sep(;) num(3) sep(,) op(-) num(4.5) sep(})"},
        {"{\"A1\",TRUE;#N/A,A1}",
         "sep({) str(\"A1\") sep(,) name(TRUE) sep(;) err(#N/A) sep(,) other(A1) sep(})"},
        {"Table1[Col]+Table1[[#This Row],[Col]]", "tab(Table1[Col]) op(+) tab(Table1[[#This Row],[Col]])"},
        {"SUM(Table1[[#Headers],[A]:[B]])*[@Col]",
         "fn(SUM) sep(() tab(Table1[[#Headers],[A]:[B]]) sep()) op(*) tab([@Col])"},
        {"T['[x']]+[@[Col 1]]", "tab(T['[x']]) op(+) tab([@[Col 1]])"},
    });
}

TEST(FormulaTokenizer, OperatorsAndBlanks) {
    expectTokens({
        {"A1<>B1<=C1>=D1", "ref(A1) op(<>) ref(B1) op(<=) ref(C1) op(>=) ref(D1)"},
        {"SUM(A1:B5 B2:C3)", "fn(SUM) sep(() ref(A1:B5) op( ) ref(B2:C3) sep())"},
        {"(A:A) (3:3)", "sep(() ref(A:A) sep()) op( ) sep(() ref(3:3) sep())"},
        {"SUM( A1 ,\n B1 ) + 1",
         "fn(SUM) sep(() ws( ) ref(A1) ws( ) sep(,) ws(\n ) ref(B1) ws( ) sep()) ws( ) op(+) ws( ) num(1)"},
        {"@A1:A5+A1#", "op(@) ref(A1:A5) op(+) ref(A1) other(#)"},
    });
}

TEST(FormulaTokenizer, KeepsWhatItDoesNotUnderstand) {
    expectTokens({
        {"\"open", "other(\"open)"},
        {"'Ark 1", "other('Ark 1)"},
        {"'Ark 1'+1", "other('Ark 1') op(+) num(1)"},
        {"Table1[Col", "other(Table1[Col)"},
        {"$+!~", "other($) op(+) other(!) other(~)"},
        {"Ark1!(", "other(Ark1!) sep(()"},
        {"", ""},
    });
}

// 20,000 short texts of the characters formulas are made of, in every order.
std::vector<std::string> randomFormulas(unsigned seed) {
    const std::string alphabet = "A1$:!'\"[]{}#(),; .E+-B9Z0_xXFDlog(@%&\\\xc3\xa5";
    std::mt19937 random(seed);
    std::vector<std::string> formulas(20000);
    for (auto& formula : formulas)
        for (auto n = random() % 24; n > 0; --n)
            formula += alphabet[random() % alphabet.size()];
    return formulas;
}

TEST(FormulaTokenizer, AnyTextComesBackWhole) {
    for (const auto& formula : randomFormulas(1209))
        ASSERT_EQ(joined(xlsx::tokenizeFormula(formula)), formula);
}

// The references-only scan used when formulas are moved or keyed must find exactly the Reference
// tokens, split as parseReference splits them, or a moved formula or a shared tree goes wrong.
void expectSameReferences(const std::string& formula, std::vector<xlsx::FormulaReference>& found) {
    xlsx::findReferences(formula, found);
    std::size_t i = 0;
    for (const auto& token : xlsx::tokenizeFormula(formula)) {
        if (token.kind != TokenKind::Reference) continue;
        ASSERT_LT(i, found.size()) << formula;
        const auto& reference = found[i++];
        auto parsed = xlsx::parseReference(token.text);
        ASSERT_TRUE(parsed) << formula;
        EXPECT_EQ(reference.text(formula).data(), token.text.data()) << formula;
        EXPECT_EQ(reference.text(formula), token.text) << formula;
        EXPECT_EQ(reference.prefix(formula), parsed->prefix) << formula;
        EXPECT_EQ(xlsx::formatArea(reference.area), xlsx::formatArea(parsed->area)) << formula;
        EXPECT_EQ(reference.area.kind, parsed->area.kind) << formula;
    }
    EXPECT_EQ(i, found.size()) << formula;
}

TEST(FormulaTokenizer, FindsTheReferencesItsTokensHold) {
    std::vector<xlsx::FormulaReference> found;
    for (std::string formula :
         {"SUM(A1:B2)+LOG10(A1)*ATAN2(1,B$2)", "'It''s'!A1+'Ark 2'!$B$2:C3+Ark1:Ark3!A1",
          "[1]Sheet1!A1+{1,A1;B2,3}+#REF!A1+Ark1!#REF!", "A:A+$3:$10+a1:b2 B1:C3",
          "Table1[[#This Row],[Col]]+[@Col]+XFE1+R1C1"})
        expectSameReferences(formula, found);
    for (const auto& formula : randomFormulas(2603))
        expectSameReferences(formula, found);
}

// Operand boundaries and kinds as openpyxl's own formula tokenizer reads them, one line per formula.
std::vector<std::string> openpyxlOperands(const std::vector<std::string>& formulas) {
    const std::string script = "import sys\n"
                               "from openpyxl.formula import Tokenizer\n"
                               "for f in sys.argv[1:]:\n"
                               "    ops = [t.subtype + ':' + t.value for t in Tokenizer('=' + f).items\n"
                               "           if t.type == 'OPERAND']\n"
                               "    print('\\x1f'.join(ops))\n";
    std::vector<std::string> argv{TULVERKAN_PYTHON, "-c", script};
    argv.insert(argv.end(), formulas.begin(), formulas.end());
    auto result = testsupport::runProcess(argv);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    std::vector<std::string> lines;
    std::istringstream in(result.out);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::string ourOperands(std::string_view formula) {
    std::string out;
    for (const auto& token : xlsx::tokenizeFormula(formula)) {
        // openpyxl has no kind for names: they are ranges to it, as is a sheet-qualified #REF!.
        bool logical = token.text == "TRUE" || token.text == "FALSE";
        auto kind = token.kind;
        const char* subtype = kind == TokenKind::Number   ? "NUMBER"
                              : kind == TokenKind::String ? "TEXT"
                              : kind == TokenKind::Error  ? (token.text.front() == '#' ? "ERROR" : "RANGE")
                              : kind == TokenKind::Name   ? (logical ? "LOGICAL" : "RANGE")
                              : kind == TokenKind::Reference || kind == TokenKind::Structured ? "RANGE"
                                                                                              : nullptr;
        if (!subtype) continue;
        if (!out.empty()) out += '\x1f';
        out += subtype;
        out += ':';
        out += token.text;
    }
    return out;
}

// Every formula in the workbooks Excel saved: cells, conditional formats, charts, defined names.
std::vector<std::string> corpusFormulas() {
    std::vector<std::string> formulas;
    for (const auto& entry : std::filesystem::directory_iterator(testsupport::corpusFolder())) {
        if (entry.path().extension() != ".xlsx") continue;
        for (const auto& name : testsupport::zipEntryNames(entry.path())) {
            if (!name.ends_with(".xml")) continue;
            auto xml = testsupport::zipEntry(entry.path(), name);
            pugi::xml_document doc;
            if (!xml || !doc.load_buffer(xml->data(), xml->size())) continue;
            for (auto node : doc.select_nodes("//*")) {
                std::string local = node.node().name();
                local = local.substr(local.find(':') + 1);
                bool formula = local == "f" || local == "formula" || local == "formula1" ||
                               local == "formula2" || local == "definedName";
                if (formula && *node.node().child_value()) formulas.emplace_back(node.node().child_value());
            }
        }
    }
    return formulas;
}

TEST(FormulaTokenizer, AgreesWithOpenpyxlOnOperands) {
    TULVERKAN_NEEDS_CORPUS();
    std::vector<std::string> formulas = {
        "SUM(A1:B2)+LOG10(A1)*ATAN2(1,B$2)",
        "'It''s'!A1+'Ark 2'!$B$2:C3+Ark1:Ark3!A1",
        "[1]Sheet1!A1+'[1]Sheet 1'!A1+[1]!Navn+Ark1!Navn",
        "Table1[[#This Row],[Col]]+[@Col]+Table1[Col]",
        "1E+5+1.5E-3+{1,2;3,4}",
        "IF(A1=\"A1\",TRUE,#N/A)&Ark1!#REF!",
        "ABCD1+SUM1_+R1C1+XFE1+A:A+$3:$10",
        "_xlfn.DAYS(A1,B1)*50%",
    };
    auto corpus = corpusFormulas();
    ASSERT_GT(corpus.size(), 100u);
    formulas.insert(formulas.end(), corpus.begin(), corpus.end());
    auto theirs = openpyxlOperands(formulas);
    ASSERT_EQ(theirs.size(), formulas.size());
    for (std::size_t i = 0; i < formulas.size(); ++i)
        EXPECT_EQ(ourOperands(formulas[i]), theirs[i]) << formulas[i];
}

// Each formula Excel saved is understood whole, and a row inserted at the top of every sheet moves
// every area it reads down by one, as its dependencies before and after show.
TEST(FormulaTokenizer, ReadsEveryFormulaExcelSaved) {
    TULVERKAN_NEEDS_CORPUS();
    xlsx::RowShift top;
    top.insert(1);
    xlsx::ShiftContext everywhere{"Sheet1", nullptr, [&](std::string_view) { return &top; }};
    std::vector<xlsx::FormulaReference> found;
    for (const auto& formula : corpusFormulas()) {
        expectSameReferences(formula, found);
        auto tokens = xlsx::tokenizeFormula(formula);
        EXPECT_EQ(joined(tokens), formula);
        for (const auto& token : tokens)
            EXPECT_NE(token.kind, TokenKind::Other) << formula;

        auto before = xlsx::analyzeFormula(formula);
        auto after = xlsx::analyzeFormula(xlsx::shiftFormula(formula, everywhere).value_or(formula));
        ASSERT_EQ(after.areas.size(), before.areas.size()) << formula;
        for (std::size_t i = 0; i < before.areas.size(); ++i) {
            bool columns = before.areas[i].lastRow == xlsx::kMaxRow && before.areas[i].firstRow == 1;
            EXPECT_EQ(after.areas[i].firstRow, before.areas[i].firstRow + (columns ? 0 : 1)) << formula;
            EXPECT_EQ(after.areas[i].firstColumn, before.areas[i].firstColumn) << formula;
            EXPECT_EQ(after.areas[i].firstSheet, before.areas[i].firstSheet) << formula;
        }
    }
}

} // namespace
