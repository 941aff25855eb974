#pragma once

// A formula read once into a tree the evaluator walks: operators in the spreadsheet application's
// precedence, references resolved to sheet indices with their '$' marks kept, so that the same tree
// serves every cell of a shared formula.

#include "formula/ReferenceSyntax.h"
#include "eval/Operand.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace xlsx::eval {

struct FunctionSpec;

enum class Op : std::uint8_t {
    Number,
    Text,
    Boolean,
    Error,
    Missing, // an omitted argument: f(1,,2)
    Ref,
    Name,
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

struct RefSpec {
    int firstSheet = kOwnSheet, lastSheet = kOwnSheet;
    Area area; // as written: '$' marks say which parts stay when the formula is used elsewhere
};

struct NameSpec {
    std::string name;
    int sheet = kOwnSheet; // Sheet2!Name: that sheet's scope; kOwnSheet: the formula's own, then the workbook
};

struct FunctionSlot {
    const FunctionSpec* spec = nullptr; // null: a function this evaluator does not know
    std::string name;                   // upper case, without _xlfn. and similar prefixes
};

struct Node {
    Op op = Op::Number;
    std::uint16_t count = 0; // children
    std::uint32_t first = 0; // first child in CompiledFormula::children
    std::uint32_t index = 0; // into strings, refs, names, arrays or functions; the ErrorCode of Error
    double number = 0;       // Number, Boolean
};

struct CompiledFormula {
    std::vector<Node> nodes;
    std::vector<std::uint32_t> children;
    std::vector<std::string> strings;
    std::vector<RefSpec> refs;
    std::vector<NameSpec> names;
    std::vector<std::shared_ptr<const Matrix>> arrays;
    std::vector<FunctionSlot> functions;
    std::uint32_t root = 0;
    std::string problem; // set when the text could not be read as a formula at all

    const Node& child(const Node& node, std::size_t i) const { return nodes[children[node.first + i]]; }
};

// Sheet index by name (compared as the application compares sheet names), kNoSheet when absent.
using SheetLookup = std::function<int(std::string_view name)>;

CompiledFormula compileFormula(std::string_view text, const SheetLookup& sheetIndex);

// The function a name (upper case, prefixes dropped) calls, null when unknown.
const FunctionSpec* findFunction(std::string_view upperName);

} // namespace xlsx::eval
