#pragma once

// The evaluator's inside, shared by its core and the function families: the frame a formula is
// computed in, the call a function sees, and the services functions use to read cells.

#include "eval/CompiledFormula.h"
#include "eval/Conversions.h"
#include "eval/EvalSource.h"
#include "eval/Evaluator.h"
#include "eval/Operand.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace xlsx::eval {

// Where a formula is being computed.
struct Frame {
    int sheet = 0;
    std::uint32_t row = 1, column = 1;            // the cell
    std::int64_t rowOffset = 0, columnOffset = 0; // from the cell the text was written for
    // Operators and scalar functions work element by element on arrays and ranges (array formulas,
    // and arguments that take arrays); otherwise a range gives the cell in the formula's row or
    // column (implicit intersection).
    bool arrayMode = false;
    const CompiledFormula* formula = nullptr;
    int nameDepth = 0;
};

class Evaluation;
class Call;

enum class ParamClass : char {
    Value = 'V',     // one value: a range gives the cell in the formula's row or column
    Reference = 'R', // a range or array as it is (SUM, COUNTIF)
    Array = 'A',     // computed as an array (SUMPRODUCT)
};

struct FunctionDef {
    std::string_view name;
    int minArgs = 0, maxArgs = 0;
    // The class of each argument, the last letter repeating for the rest; letters after a '|' repeat
    // as a group ("R|RV": R, then R V R V ...).
    std::string_view params;
    Operand (*call)(Call& call);
    // In array mode, applied element by element when a value argument is an array or range.
    bool liftable = false;
};

ParamClass paramClass(const FunctionDef& def, std::size_t index);

// A value met while going through an operand: a cell of a range with its current value, an array
// element, or the operand's own value (`direct`: given as an argument, not read from a range or array).
struct CellSeen {
    const Value& value;
    bool direct = false;
    int sheet = -1;
    std::uint32_t row = 0, column = 0;
    bool subtotal = false; // holds a formula with SUBTOTAL or AGGREGATE (only when asked for)
};

class Evaluation {
public:
    explicit Evaluation(EvalSource& source);

    const EvalSource& source() const { return m_source; }
    bool date1904() const { return m_date1904; }
    double now() const { return m_now; }
    void setNow(double serial1900) { m_now = serial1900; }

    // The current value of a cell, computing its formula when its stored result is not current.
    Value cellValue(int sheet, std::uint32_t row, std::uint32_t column);
    EvalResult topValue(int sheet, std::uint32_t row, std::uint32_t column);
    void forgetFailures() { m_failures.clear(); }
    void forgetAll();

    Operand evaluate(const Frame& frame, const Node& node);
    // One value of an operand: a range gives the cell in the frame's row or column, an array its first.
    Value scalar(const Frame& frame, const Operand& operand);
    Value intersect(const Frame& frame, const RefArea& area);
    // A dense array of an operand's values (a range read cell by cell, a value as 1x1).
    Matrix matrix(const Operand& operand);
    // Every value of an operand that is there: for ranges the cells present (empty cells skipped),
    // formulas computed; for arrays every element; a value itself.
    void forEachCell(const Operand& operand, const std::function<void(const CellSeen&)>& visit,
                     bool withSubtotalMark = false);
    // Rows and columns of an operand (a range's own size, 1x1 for a value). Unions and 3-D: 0x0.
    std::pair<std::uint32_t, std::uint32_t> shape(const Operand& operand) const;
    // Element (r, c), 0-based, of a range or array; a value is its own only element.
    Value element(const Operand& operand, std::uint32_t r, std::uint32_t c);
    // How many rows of a range can hold anything (the rest is empty), for lookups over whole columns.
    std::uint32_t usedRows(const RefArea& area) const;
    std::uint32_t usedColumns(const RefArea& area) const;

    int sheetIndex(std::string_view name);
    // A reference written as text (INDIRECT): A1 or R1C1 style, or a defined name.
    Operand referenceFromText(const Frame& frame, std::string_view text, bool a1);
    Operand resolveRef(const Frame& frame, const RefDef& def) const;

private:
    Value computeFormula(int sheet, std::uint32_t row, std::uint32_t column, const SourceCell& cell);
    Value finalValue(const Frame& frame, const Operand& result);
    // `shape`: the text's relative key when the source gave it, else empty.
    std::shared_ptr<const CompiledFormula> compiled(std::string_view text, std::uint32_t anchorRow,
                                                    std::uint32_t anchorColumn, std::string_view shape = {});
    Operand name(const Frame& frame, const NameDef& def);
    // Table references (TableReferences.cpp).
    Operand structured(const Frame& frame, const StructuredReference& def);
    Operand tableArea(const Frame& frame, const TableView& table, const StructuredReference& def);
    Operand unary(const Frame& frame, const Node& node);
    Operand binary(const Frame& frame, const Node& node);
    Operand referenceOperator(const Frame& frame, const Node& node);
    Operand call(const Frame& frame, const Node& node);
    Operand lifted(Call& call);
    Value valueOf(const SourceCell& cell, int sheet, std::uint32_t row, std::uint32_t column);

    EvalSource& m_source;
    bool m_date1904;
    double m_now;
    // Formulas being computed inside one another (to find circular references, and to keep the stack
    // short), and those that could not be computed.
    std::vector<std::uint64_t> m_running;
    std::unordered_map<std::uint64_t, std::shared_ptr<const class NotComputable>> m_failures;
    struct KeyHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view key) const { return std::hash<std::string_view>{}(key); }
    };
    std::unordered_map<std::string, std::shared_ptr<const CompiledFormula>, KeyHash, std::equal_to<>>
        m_compiled;
    std::string m_key; // the key of the formula looked up last, kept for its buffer
    std::unordered_map<std::string, int> m_sheetIndex; // folded name -> index
    SheetLookup m_lookup;
};

// Scalar arithmetic and comparison of the operators, shared with functions that apply them.
Value applyBinary(Op op, const Value& left, const Value& right, bool date1904);

class Call {
public:
    Call(Evaluation& evaluation, const Frame& frame, const Node& node, const FunctionDef& def);

    Evaluation& ev;
    const Frame& frame;

    std::size_t count() const { return m_count; }
    // Omitted: beyond the arguments given, or left empty (f(1,,2)).
    bool omitted(std::size_t i) const;
    // The argument, computed on first use by its class.
    const Operand& arg(std::size_t i);
    // Sets an argument to a computed operand (element by element application).
    void preset(std::size_t i, Operand operand);

    Value value(std::size_t i);
    Got<double> number(std::size_t i);
    Got<double> number(std::size_t i, double otherwise) {
        return omitted(i) ? Got<double>(otherwise) : number(i);
    }
    Got<std::string> text(std::size_t i);
    Got<bool> boolean(std::size_t i);
    Got<bool> boolean(std::size_t i, bool otherwise) {
        return omitted(i) ? Got<bool>(otherwise) : boolean(i);
    }
    // An integer argument, truncated toward zero as the application does.
    Got<double> integer(std::size_t i);

    const FunctionDef& def() const { return m_def; }
    const Node& node() const { return m_node; }

private:
    const Node& m_node;
    const FunctionDef& m_def;
    std::size_t m_count;
    std::vector<std::optional<Operand>> m_args;
    Operand m_missing;
};

// Function families; each lists its functions.
const std::vector<FunctionDef>& mathFunctions();
const std::vector<FunctionDef>& aggregateFunctions();
const std::vector<FunctionDef>& statisticalFunctions();
const std::vector<FunctionDef>& trigFunctions();
const std::vector<FunctionDef>& logicalFunctions();
const std::vector<FunctionDef>& lookupFunctions();
const std::vector<FunctionDef>& textFunctions();
const std::vector<FunctionDef>& dateFunctions();
const std::vector<FunctionDef>& dateSpanFunctions();
const std::vector<FunctionDef>& infoFunctions();

// Checks a number result: NaN and infinities are #NUM!.
Operand numberResult(double value);

} // namespace xlsx::eval
