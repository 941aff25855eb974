#pragma once

// A formula read once into a tree the evaluator walks: operators in the spreadsheet application's
// precedence, references resolved to sheet indices with their '$' marks kept, so that the same tree
// serves every cell of a shared formula.

#include "eval/Operand.h"
#include "eval/StructuredReference.h"
#include "formula/FormulaTokenizer.h"
#include "formula/ReferenceSyntax.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace xlsx::eval {

struct FunctionDef;

enum class Op : std::uint8_t {
    Number,
    Text,
    Boolean,
    Error,
    Missing, // an omitted argument: f(1,,2)
    Ref,
    Name,
    Structured, // a table reference; `index` into tables
    Array,
    Negate,
    Plus,
    Implicit, // @, implicit intersection
    Percent,
    Add,
    Sub,
    Mul,
    Div,
    Pow,
    Concat,
    Eq,
    Ne,
    Lt,
    Le,
    Gt,
    Ge,
    Range,     // ':' between two reference expressions
    Intersect, // ' '
    Union,     // ',' inside parentheses
    Call,
    Unsupported, // what can never be computed here; `index` names the reason in `strings`
};

inline constexpr int kOwnSheet = -1; // unqualified: the sheet of the cell being computed
inline constexpr int kNoSheet = -2;  // a sheet the workbook does not have: #REF!

// A row or column of a reference: a position where written with '$', else an offset from the cell the
// formula was written for, so that one tree serves every cell that holds the same formula relatively.
struct RefCorner {
    std::int64_t row = 0, column = 0;
    bool absoluteRow = false, absoluteColumn = false;
};

struct RefDef {
    int firstSheet = kOwnSheet, lastSheet = kOwnSheet;
    AreaKind kind = AreaKind::Cell;
    RefCorner first, last;
};

struct NameDef {
    std::string name;
    int sheet = kOwnSheet; // Sheet2!Name: that sheet's scope; kOwnSheet: the formula's own, then the workbook
};

struct FunctionSlot {
    const FunctionDef* def = nullptr; // null: a function this evaluator does not know
    std::string name;                 // upper case, without _xlfn. and similar prefixes
};

struct Node {
    Op op = Op::Number;
    std::uint16_t count = 0; // children
    std::uint32_t first = 0; // first child in CompiledFormula::children
    std::uint32_t index = 0; // into strings, refs, names, tables, arrays or functions; the ErrorCode of Error
    double number = 0;       // Number, Boolean
};

struct CompiledFormula {
    std::vector<Node> nodes;
    std::vector<std::uint32_t> children;
    std::vector<std::string> strings;
    std::vector<RefDef> refs;
    std::vector<NameDef> names;
    std::vector<StructuredReference> tables;
    std::vector<std::shared_ptr<const Matrix>> arrays;
    std::vector<FunctionSlot> functions;
    std::uint32_t root = 0;
    std::string problem; // set when the text could not be read as a formula at all

    const Node& child(const Node& node, std::size_t i) const { return nodes[children[node.first + i]]; }
};

// Sheet index by name (compared as the application compares sheet names), kNoSheet when absent.
using SheetLookup = std::function<int(std::string_view name)>;

// `text` written for the cell (anchorRow, anchorColumn).
CompiledFormula compileFormula(std::string_view text, const SheetLookup& sheetIndex, std::uint32_t anchorRow,
                               std::uint32_t anchorColumn);

// A key equal for two formulas exactly when they compile to the same tree: the text with each
// relative row and column replaced by its offset from the anchor. "G3*H3" in I3 and "G4*H4" in I4
// share one.
std::string relativeKey(std::string_view text, std::uint32_t anchorRow, std::uint32_t anchorColumn);
// The same into `key`, reusing its buffer.
void relativeKey(std::string_view text, std::uint32_t anchorRow, std::uint32_t anchorColumn,
                 std::string& key);
// The same from the references of `text` as findReferences gives them.
void relativeKey(std::string_view text, std::span<const FormulaReference> references, std::uint32_t anchorRow,
                 std::uint32_t anchorColumn, std::string& key);

// The function a name (upper case, prefixes dropped) calls, null when unknown.
const FunctionDef* findFunction(std::string_view upperName);

} // namespace xlsx::eval
