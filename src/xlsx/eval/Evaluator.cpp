#include "eval/Evaluator.h"

#include "eval/Evaluation.h"
#include "eval/NotComputable.h"
#include "formula/CellRef.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <ctime>

namespace xlsx::eval {

namespace {

// Formulas computed inside one another before the outer ones wait: a running total down 100,000 rows
// must not nest 100,000 deep on the stack.
constexpr int kMaxChain = 192;
constexpr int kMaxNameDepth = 16;
// Ranges larger than this are not turned into arrays.
constexpr std::size_t kMaxMatrixCells = std::size_t{1} << 22;

// Unwinds to the top, which computes `cell` first and then tries again.
struct DeepChain : std::exception {
    int sheet;
    std::uint32_t row, column;
    DeepChain(int s, std::uint32_t r, std::uint32_t c) : sheet(s), row(r), column(c) {}
};

std::string foldSheetName(std::string_view name) {
    std::string folded(name);
    for (auto& c : folded)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return folded;
}

double localNow() {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    // Days from 1899-12-30 (serial 0 of the 1900 system for dates from March 1900).
    std::tm epoch{};
    epoch.tm_year = -1;
    epoch.tm_mon = 11;
    epoch.tm_mday = 30;
    std::tm day = local;
    day.tm_hour = 12;
    day.tm_min = day.tm_sec = 0;
    day.tm_isdst = -1;
    epoch.tm_hour = 12;
    epoch.tm_isdst = -1;
    auto days = std::lround(std::difftime(timegm(&day), timegm(&epoch)) / 86400.0);
    return static_cast<double>(days) + (local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec) / 86400.0;
}

bool mentionsSubtotal(std::string_view formula) {
    auto folded = foldSheetName(formula);
    return folded.find("SUBTOTAL(") != std::string::npos || folded.find("AGGREGATE(") != std::string::npos;
}

// A row or column of a reference seen from the cell at `here`.
std::optional<std::uint32_t> position(std::int64_t value, bool absolute, std::uint32_t here,
                                      std::uint32_t limit) {
    std::int64_t at = absolute ? value : value + here;
    if (at < 1 || at > limit) return std::nullopt;
    return static_cast<std::uint32_t>(at);
}

// Element (r, c) of a shape stretched to a larger one: a single row repeats down, a single column
// across; outside the shape otherwise is #N/A.
Value stretched(const Matrix& m, std::uint32_t r, std::uint32_t c) {
    if (m.rows == 1) r = 0;
    if (m.columns == 1) c = 0;
    if (r >= m.rows || c >= m.columns) return Value::ofError(ErrorCode::NA);
    return m.at(r, c);
}

} // namespace

ParamClass paramClass(const FunctionDef& def, std::size_t index) {
    std::string_view params = def.params;
    if (params.empty()) return ParamClass::Value;
    auto bar = params.find('|');
    if (bar == std::string_view::npos)
        return static_cast<ParamClass>(params[std::min(index, params.size() - 1)]);
    if (index < bar) return static_cast<ParamClass>(params[index]);
    auto group = params.substr(bar + 1);
    return static_cast<ParamClass>(group[(index - bar) % group.size()]);
}

Operand numberResult(double value) {
    if (!std::isfinite(value)) return Operand::ofError(ErrorCode::Num);
    return Operand::ofNumber(value == 0 ? 0.0 : value);
}

// --- Evaluation ----------------------------------------------------------------------------------

Evaluation::Evaluation(EvalSource& source)
    : m_source(source), m_date1904(source.date1904()), m_now(localNow()),
      m_lookup([this](std::string_view name) { return sheetIndex(name); }) {}

void Evaluation::forgetAll() {
    m_failures.clear();
    m_compiled.clear();
    m_sheetIndex.clear();
}

int Evaluation::sheetIndex(std::string_view name) {
    if (m_sheetIndex.empty())
        for (int i = 0; i < m_source.sheetCount(); ++i)
            m_sheetIndex.emplace(foldSheetName(m_source.sheetName(i)), i);
    auto found = m_sheetIndex.find(foldSheetName(name));
    return found == m_sheetIndex.end() ? kNoSheet : found->second;
}

std::shared_ptr<const CompiledFormula> Evaluation::compiled(std::string_view text, std::uint32_t anchorRow,
                                                            std::uint32_t anchorColumn,
                                                            std::string_view shape) {
    std::string_view key = shape;
    if (key.empty()) {
        relativeKey(text, anchorRow, anchorColumn, m_key);
        key = m_key;
    }
    auto found = m_compiled.find(key);
    if (found != m_compiled.end()) return found->second;
    // Formulas of one workbook are few enough; a cap keeps a pathological one bounded.
    if (m_compiled.size() > 1'000'000) m_compiled.clear();
    auto formula =
        std::make_shared<const CompiledFormula>(compileFormula(text, m_lookup, anchorRow, anchorColumn));
    m_compiled.emplace(std::string(key), formula);
    return formula;
}

Value Evaluation::valueOf(const SourceCell& cell, int sheet, std::uint32_t row, std::uint32_t column) {
    switch (cell.kind) {
    case Value::Kind::Empty:
        return Value::empty();
    case Value::Kind::Number:
        return Value::ofNumber(cell.number);
    case Value::Kind::Boolean:
        return Value::ofBoolean(cell.number != 0);
    case Value::Kind::Text:
        return Value::ofText(std::string(cell.text));
    case Value::Kind::Error:
        break;
    }
    if (auto code = parseErrorLiteral(cell.text)) return Value::ofError(*code);
    NotComputable unknown("feilverdien «" + std::string(cell.text) + "»");
    unknown.located = true;
    unknown.sheet = sheet;
    unknown.row = row;
    unknown.column = column;
    throw unknown;
}

Value Evaluation::cellValue(int sheet, std::uint32_t row, std::uint32_t column) {
    SourceCell cell = m_source.cell(sheet, row, column);
    if (!cell.isFormula() || cell.current) return valueOf(cell, sheet, row, column);
    return computeFormula(sheet, row, column, cell);
}

Value Evaluation::computeFormula(int sheet, std::uint32_t row, std::uint32_t column, const SourceCell& cell) {
    auto locate = [&](NotComputable& problem) {
        if (problem.located) return;
        problem.located = true;
        problem.sheet = sheet;
        problem.row = row;
        problem.column = column;
    };
    if (auto failed = m_failures.find(cell.id); failed != m_failures.end()) throw *failed->second;
    if (std::find(m_running.begin(), m_running.end(), cell.id) != m_running.end()) {
        NotComputable cycle("en sirkulær referanse");
        locate(cycle);
        throw cycle;
    }
    auto fail = [&](NotComputable problem) {
        locate(problem);
        m_failures[cell.id] = std::make_shared<const NotComputable>(problem);
        return problem;
    };
    if (!cell.blocker.empty()) throw fail(NotComputable(std::string(cell.blocker)));
    if (m_running.size() >= kMaxChain) throw DeepChain(sheet, row, column);

    // The views in `cell` end with the next read of the source.
    auto formula = compiled(cell.formula, cell.anchorRow, cell.anchorColumn, cell.shape);
    Frame frame;
    frame.sheet = sheet;
    frame.row = row;
    frame.column = column;
    frame.arrayMode = cell.array;
    frame.formula = formula.get();

    m_running.push_back(cell.id);
    struct Unchain {
        std::vector<std::uint64_t>& running;
        ~Unchain() { running.pop_back(); }
    } unchain{m_running};
    try {
        if (!formula->problem.empty()) throw NotComputable(formula->problem);
        Value result = finalValue(frame, evaluate(frame, formula->nodes[formula->root]));
        m_source.storeResult(sheet, row, column, result);
        return result;
    } catch (NotComputable& problem) {
        throw fail(problem);
    }
}

EvalResult Evaluation::topValue(int sheet, std::uint32_t row, std::uint32_t column) {
    struct Cell {
        int sheet;
        std::uint32_t row, column;
    };
    std::vector<Cell> pending{{sheet, row, column}};
    EvalResult result;
    while (!pending.empty()) {
        Cell at = pending.back();
        try {
            Value value = cellValue(at.sheet, at.row, at.column);
            if (pending.size() == 1) {
                result.computed = true;
                result.value = std::move(value);
            }
            pending.pop_back();
        } catch (const DeepChain& deep) {
            pending.push_back({deep.sheet, deep.row, deep.column});
        } catch (const NotComputable& problem) {
            if (pending.size() == 1) {
                result.computed = false;
                result.problem = problem.problem();
                result.sheet = problem.sheet;
                result.row = problem.row;
                result.column = problem.column;
            }
            pending.pop_back(); // the cells waiting on it meet the same failure, remembered
        }
    }
    return result;
}

Value Evaluation::finalValue(const Frame& frame, const Operand& result) {
    Value value;
    if (result.isRef()) {
        if (!result.more.empty() || result.area.is3d())
            value = Value::ofError(ErrorCode::Value);
        else if (frame.arrayMode)
            value = cellValue(result.area.sheet, result.area.top, result.area.left);
        else
            value = intersect(frame, result.area);
    } else if (result.isArray()) {
        value =
            result.array->values.empty() ? Value::ofError(ErrorCode::Value) : result.array->values.front();
    } else {
        value = result.value;
    }
    switch (value.kind) {
    case Value::Kind::Empty:
        return Value::ofNumber(0);
    case Value::Kind::Number:
        return numberResult(value.number).value;
    case Value::Kind::Text:
        if (value.text.size() > kMaxTextLength && utf16Length(value.text) > kMaxTextLength)
            return Value::ofError(ErrorCode::Value);
        return value;
    default:
        return value;
    }
}

Operand Evaluation::resolveRef(const Frame& frame, const RefDef& def) const {
    RefArea area;
    area.sheet = def.firstSheet == kOwnSheet ? frame.sheet : def.firstSheet;
    area.lastSheet = def.lastSheet == kOwnSheet ? frame.sheet : def.lastSheet;
    for (int s = area.sheet; s <= area.lastSheet; ++s)
        if (!m_source.hasCells(s)) return Operand::ofError(ErrorCode::Ref);
    auto rowOf = [&](const RefCorner& c) { return position(c.row, c.absoluteRow, frame.row, kMaxRow); };
    auto columnOf = [&](const RefCorner& c) {
        return position(c.column, c.absoluteColumn, frame.column, kMaxColumn);
    };
    std::optional<std::uint32_t> top = 1, bottom = kMaxRow, left = 1, right = kMaxColumn;
    if (def.kind != AreaKind::Columns) {
        top = rowOf(def.first);
        bottom = rowOf(def.last);
    }
    if (def.kind != AreaKind::Rows) {
        left = columnOf(def.first);
        right = columnOf(def.last);
    }
    if (!top || !bottom || !left || !right) return Operand::ofError(ErrorCode::Ref);
    area.top = std::min(*top, *bottom);
    area.bottom = std::max(*top, *bottom);
    area.left = std::min(*left, *right);
    area.right = std::max(*left, *right);
    return Operand::ofRef(area);
}

Operand Evaluation::evaluate(const Frame& frame, const Node& node) {
    const CompiledFormula& f = *frame.formula;
    switch (node.op) {
    case Op::Number:
        return Operand::ofNumber(node.number);
    case Op::Text:
        return Operand::ofText(f.strings[node.index]);
    case Op::Boolean:
        return Operand::ofBoolean(node.number != 0);
    case Op::Error:
        return Operand::ofError(static_cast<ErrorCode>(node.index));
    case Op::Missing:
        return Operand::of(Value::empty());
    case Op::Ref:
        return resolveRef(frame, f.refs[node.index]);
    case Op::Name:
        return name(frame, f.names[node.index]);
    case Op::Structured:
        return structured(frame, f.tables[node.index]);
    case Op::Array: {
        Operand array;
        array.kind = Operand::Kind::Array;
        array.array = f.arrays[node.index];
        return array;
    }
    case Op::Negate:
    case Op::Plus:
    case Op::Implicit:
    case Op::Percent:
        return unary(frame, node);
    case Op::Range:
    case Op::Intersect:
    case Op::Union:
        return referenceOperator(frame, node);
    case Op::Call:
        return call(frame, node);
    case Op::Unsupported:
        throw NotComputable(f.strings[node.index]);
    default:
        return binary(frame, node);
    }
}

Operand Evaluation::name(const Frame& frame, const NameDef& def) {
    if (frame.nameDepth >= kMaxNameDepth)
        throw NotComputable("navnet " + def.name + ", som viser til seg selv");
    int scope = def.sheet == kOwnSheet ? frame.sheet : def.sheet;
    auto definition = m_source.definedName(def.name, scope);
    if (!definition) definition = m_source.definedName(def.name, -1);
    // A table's name alone stands for its data rows.
    if (!definition && def.sheet == kOwnSheet)
        if (auto table = m_source.table(def.name)) return tableArea(frame, *table, {});
    // An undefined name shows #NAME? in the application.
    if (!definition) throw NotComputable("navnet " + def.name + ", som arbeidsboken ikke definerer");
    // Relative references in a name count from A1.
    auto formula = compiled(definition->formula, 1, 1);
    if (!formula->problem.empty()) throw NotComputable("navnet " + def.name + ": " + formula->problem);
    Frame inner = frame;
    inner.formula = formula.get();
    inner.sheet = definition->scope >= 0 ? definition->scope : frame.sheet;
    inner.nameDepth = frame.nameDepth + 1;
    return evaluate(inner, formula->nodes[formula->root]);
}

Value Evaluation::intersect(const Frame& frame, const RefArea& area) {
    if (area.is3d()) return Value::ofError(ErrorCode::Value);
    if (area.top == area.bottom && area.left == area.right) return cellValue(area.sheet, area.top, area.left);
    if (area.left == area.right) {
        if (frame.row < area.top || frame.row > area.bottom) return Value::ofError(ErrorCode::Value);
        return cellValue(area.sheet, frame.row, area.left);
    }
    if (area.top == area.bottom) {
        if (frame.column < area.left || frame.column > area.right) return Value::ofError(ErrorCode::Value);
        return cellValue(area.sheet, area.top, frame.column);
    }
    return Value::ofError(ErrorCode::Value);
}

Value Evaluation::scalar(const Frame& frame, const Operand& operand) {
    switch (operand.kind) {
    case Operand::Kind::Value:
        return operand.value;
    case Operand::Kind::Array:
        return operand.array->values.empty() ? Value::ofError(ErrorCode::Value)
                                             : operand.array->values.front();
    case Operand::Kind::Ref:
        break;
    }
    if (!operand.more.empty()) return Value::ofError(ErrorCode::Value);
    return intersect(frame, operand.area);
}

Matrix Evaluation::matrix(const Operand& operand) {
    if (operand.isValue()) {
        Matrix single(1, 1);
        single.at(0, 0) = operand.value;
        return single;
    }
    if (operand.isArray()) return *operand.array;
    if (!operand.isSingleArea()) {
        Matrix single(1, 1);
        single.at(0, 0) = Value::ofError(ErrorCode::Value);
        return single;
    }
    const RefArea& area = operand.area;
    if (std::size_t{area.rows()} * area.columns() > kMaxMatrixCells)
        throw NotComputable("et område for stort til å regnes celle for celle");
    Matrix dense(area.rows(), area.columns());
    forEachCell(operand, [&](const CellSeen& seen) {
        dense.at(seen.row - area.top, seen.column - area.left) = seen.value;
    });
    return dense;
}

void Evaluation::forEachCell(const Operand& operand, const std::function<void(const CellSeen&)>& visit,
                             bool withSubtotalMark) {
    if (operand.isValue()) {
        visit(CellSeen{operand.value, true});
        return;
    }
    if (operand.isArray()) {
        const Matrix& m = *operand.array;
        for (std::uint32_t r = 0; r < m.rows; ++r)
            for (std::uint32_t c = 0; c < m.columns; ++c)
                visit(CellSeen{m.at(r, c), false, -1, r + 1, c + 1});
        return;
    }
    auto visitArea = [&](const RefArea& area) {
        for (int sheet = area.sheet; sheet <= area.lastSheet; ++sheet) {
            Extent extent = m_source.extent(sheet);
            std::uint32_t bottom = std::min(area.bottom, extent.rows);
            std::uint32_t right = std::min(area.right, extent.columns);
            if (bottom < area.top || right < area.left) continue;
            m_source.forEachCell(sheet, area.top, area.left, bottom, right, withSubtotalMark,
                                 [&](std::uint32_t row, std::uint32_t column, const SourceCell& cell) {
                                     bool subtotal = withSubtotalMark && cell.isFormula() &&
                                                     mentionsSubtotal(cell.formula);
                                     Value value = cell.isFormula() && !cell.current
                                                       ? computeFormula(sheet, row, column, cell)
                                                       : valueOf(cell, sheet, row, column);
                                     if (value.isEmpty()) return;
                                     visit(CellSeen{value, false, sheet, row, column, subtotal});
                                 });
        }
    };
    visitArea(operand.area);
    for (const auto& area : operand.more)
        visitArea(area);
}

std::pair<std::uint32_t, std::uint32_t> Evaluation::shape(const Operand& operand) const {
    switch (operand.kind) {
    case Operand::Kind::Value:
        return {1, 1};
    case Operand::Kind::Array:
        return {operand.array->rows, operand.array->columns};
    case Operand::Kind::Ref:
        break;
    }
    if (!operand.isSingleArea()) return {0, 0};
    return {operand.area.rows(), operand.area.columns()};
}

Value Evaluation::element(const Operand& operand, std::uint32_t r, std::uint32_t c) {
    switch (operand.kind) {
    case Operand::Kind::Value:
        return operand.value;
    case Operand::Kind::Array:
        return operand.array->at(r, c);
    case Operand::Kind::Ref:
        break;
    }
    return cellValue(operand.area.sheet, operand.area.top + r, operand.area.left + c);
}

std::uint32_t Evaluation::usedRows(const RefArea& area) const {
    Extent extent = m_source.extent(area.sheet);
    if (extent.rows < area.top) return 0;
    return std::min(area.bottom, extent.rows) - area.top + 1;
}

std::uint32_t Evaluation::usedColumns(const RefArea& area) const {
    Extent extent = m_source.extent(area.sheet);
    if (extent.columns < area.left) return 0;
    return std::min(area.right, extent.columns) - area.left + 1;
}

Operand Evaluation::unary(const Frame& frame, const Node& node) {
    Operand operand = evaluate(frame, frame.formula->child(node, 0));
    if (node.op == Op::Plus) return operand;
    if (node.op == Op::Implicit) return Operand::of(scalar(frame, operand));
    auto apply = [&](const Value& v) -> Value {
        auto number = toNumber(v, m_date1904);
        if (!number) return Value::ofError(*number.error);
        return numberResult(node.op == Op::Negate ? -*number : *number / 100).value;
    };
    bool many = operand.isArray() || (operand.isRef() && !operand.area.isCell());
    if (!frame.arrayMode || !many) return Operand::of(apply(scalar(frame, operand)));
    Matrix values = matrix(operand);
    for (auto& v : values.values)
        v = apply(v);
    return Operand::ofArray(std::move(values));
}

Operand Evaluation::binary(const Frame& frame, const Node& node) {
    Operand left = evaluate(frame, frame.formula->child(node, 0));
    Operand right = evaluate(frame, frame.formula->child(node, 1));
    auto many = [](const Operand& o) { return o.isArray() || (o.isRef() && !o.area.isCell()); };
    if (!frame.arrayMode || (!many(left) && !many(right)))
        return Operand::of(applyBinary(node.op, scalar(frame, left), scalar(frame, right), m_date1904));
    Matrix a = matrix(left), b = matrix(right);
    Matrix out(std::max(a.rows, b.rows), std::max(a.columns, b.columns));
    for (std::uint32_t r = 0; r < out.rows; ++r)
        for (std::uint32_t c = 0; c < out.columns; ++c)
            out.at(r, c) = applyBinary(node.op, stretched(a, r, c), stretched(b, r, c), m_date1904);
    return Operand::ofArray(std::move(out));
}

Value applyBinary(Op op, const Value& left, const Value& right, bool date1904) {
    if (left.isError()) return left;
    if (right.isError()) return right;
    switch (op) {
    case Op::Concat: {
        auto a = toText(left), b = toText(right);
        if (!a) return Value::ofError(*a.error);
        if (!b) return Value::ofError(*b.error);
        std::string joined = *a + *b;
        if (joined.size() > kMaxTextLength && utf16Length(joined) > kMaxTextLength)
            return Value::ofError(ErrorCode::Value);
        return Value::ofText(std::move(joined));
    }
    case Op::Eq:
        return Value::ofBoolean(equalValues(left, right));
    case Op::Ne:
        return Value::ofBoolean(!equalValues(left, right));
    case Op::Lt:
        return Value::ofBoolean(compareValues(left, right) < 0);
    case Op::Le:
        return Value::ofBoolean(compareValues(left, right) <= 0);
    case Op::Gt:
        return Value::ofBoolean(compareValues(left, right) > 0);
    case Op::Ge:
        return Value::ofBoolean(compareValues(left, right) >= 0);
    default:
        break;
    }
    auto a = toNumber(left, date1904);
    if (!a) return Value::ofError(*a.error);
    auto b = toNumber(right, date1904);
    if (!b) return Value::ofError(*b.error);
    double x = *a, y = *b;
    switch (op) {
    case Op::Add:
        return numberResult(approxAdd(x, y)).value;
    case Op::Sub:
        return numberResult(approxAdd(x, -y)).value;
    case Op::Mul:
        return numberResult(x * y).value;
    case Op::Div:
        if (y == 0) return Value::ofError(ErrorCode::Div0);
        return numberResult(x / y).value;
    case Op::Pow:
        if (x == 0 && y == 0) return Value::ofError(ErrorCode::Num);
        if (x == 0 && y < 0) return Value::ofError(ErrorCode::Div0);
        if (x < 0 && y != std::floor(y)) return Value::ofError(ErrorCode::Num);
        return numberResult(std::pow(x, y)).value;
    default:
        return Value::ofError(ErrorCode::Value);
    }
}

Operand Evaluation::referenceOperator(const Frame& frame, const Node& node) {
    std::vector<Operand> parts;
    for (std::size_t i = 0; i < node.count; ++i) {
        Operand part = evaluate(frame, frame.formula->child(node, i));
        if (part.isError()) return part;
        if (!part.isRef()) return Operand::ofError(ErrorCode::Value);
        parts.push_back(std::move(part));
    }
    if (node.op == Op::Union) {
        Operand joined = parts.front();
        for (std::size_t i = 1; i < parts.size(); ++i) {
            // A union lies on one sheet.
            if (parts[i].area.sheet != joined.area.sheet || parts[i].area.is3d() || joined.area.is3d())
                return Operand::ofError(ErrorCode::Value);
            joined.more.push_back(parts[i].area);
            joined.more.insert(joined.more.end(), parts[i].more.begin(), parts[i].more.end());
        }
        return joined;
    }
    const Operand& a = parts[0];
    const Operand& b = parts[1];
    if (!a.more.empty() || !b.more.empty() || a.area.sheet != b.area.sheet ||
        a.area.lastSheet != b.area.lastSheet)
        return Operand::ofError(ErrorCode::Value);
    RefArea area = a.area;
    if (node.op == Op::Range) {
        area.top = std::min(a.area.top, b.area.top);
        area.left = std::min(a.area.left, b.area.left);
        area.bottom = std::max(a.area.bottom, b.area.bottom);
        area.right = std::max(a.area.right, b.area.right);
        return Operand::ofRef(area);
    }
    area.top = std::max(a.area.top, b.area.top);
    area.left = std::max(a.area.left, b.area.left);
    area.bottom = std::min(a.area.bottom, b.area.bottom);
    area.right = std::min(a.area.right, b.area.right);
    if (area.top > area.bottom || area.left > area.right) return Operand::ofError(ErrorCode::Null);
    return Operand::ofRef(area);
}

Operand Evaluation::call(const Frame& frame, const Node& node) {
    const FunctionSlot& slot = frame.formula->functions[node.index];
    if (!slot.def) throw NotComputable("funksjonen " + slot.name);
    const FunctionDef& def = *slot.def;
    if (node.count < def.minArgs || node.count > def.maxArgs)
        throw NotComputable("funksjonen " + slot.name + " med " + std::to_string(node.count) + " argumenter");
    Call call(*this, frame, node, def);
    if (frame.arrayMode && def.liftable) return lifted(call);
    return def.call(call);
}

Operand Evaluation::lifted(Call& call) {
    const FunctionDef& def = call.def();
    std::vector<std::optional<Matrix>> spread(call.count());
    std::uint32_t rows = 0, columns = 0;
    for (std::size_t i = 0; i < call.count(); ++i) {
        if (paramClass(def, i) != ParamClass::Value || call.omitted(i)) continue;
        const Operand& operand = call.arg(i);
        bool many = operand.isArray() || (operand.isRef() && !operand.area.isCell());
        if (!many) continue;
        spread[i] = matrix(operand);
        rows = std::max(rows, spread[i]->rows);
        columns = std::max(columns, spread[i]->columns);
    }
    if (rows == 0) return def.call(call);
    // The ranges a chosen branch gives go element by element too: IF(A1:A3>1, B1:B3, 0).
    for (std::size_t i = 0; i < call.count(); ++i) {
        if (paramClass(def, i) != ParamClass::Reference || call.omitted(i)) continue;
        const Operand& operand = call.arg(i);
        if (!(operand.isArray() || (operand.isRef() && !operand.area.isCell()))) continue;
        spread[i] = matrix(operand);
        rows = std::max(rows, spread[i]->rows);
        columns = std::max(columns, spread[i]->columns);
    }
    Matrix out(rows, columns);
    for (std::uint32_t r = 0; r < rows; ++r) {
        for (std::uint32_t c = 0; c < columns; ++c) {
            Call single(*this, call.frame, call.node(), def);
            for (std::size_t i = 0; i < call.count(); ++i) {
                if (spread[i])
                    single.preset(i, Operand::of(stretched(*spread[i], r, c)));
                else if (!call.omitted(i))
                    single.preset(i, call.arg(i));
            }
            out.at(r, c) = scalar(call.frame, def.call(single));
        }
    }
    return Operand::ofArray(std::move(out));
}

Operand Evaluation::referenceFromText(const Frame& frame, std::string_view text, bool a1) {
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    if (text.find('[') != std::string_view::npos && a1) {
        // Table1[Antall] names a table; [1]Ark1!A1 another workbook.
        auto table = parseStructuredReference(text);
        if (table && !table->table.empty() && isNameStart(text.front())) return structured(frame, *table);
        throw NotComputable("INDIRECT til en annen arbeidsbok");
    }
    std::string prefix;
    std::string_view body = text;
    if (auto bang = text.rfind('!'); bang != std::string_view::npos) {
        prefix = std::string(text.substr(0, bang));
        body = text.substr(bang + 1);
    }
    RefDef def;
    if (!prefix.empty()) {
        auto span = parseSheetPrefix(prefix);
        if (span.external) throw NotComputable("INDIRECT til en annen arbeidsbok");
        def.firstSheet = sheetIndex(span.first);
        def.lastSheet = span.last == span.first ? def.firstSheet : sheetIndex(span.last);
        if (def.firstSheet == kNoSheet || def.lastSheet == kNoSheet) return Operand::ofError(ErrorCode::Ref);
    }
    auto absolute = [](std::uint32_t row, std::uint32_t column) {
        return RefCorner{row, column, true, true};
    };
    if (a1) {
        std::size_t pos = 0;
        auto area = parseArea(body, pos);
        if (area && pos == body.size()) {
            def.kind = area->kind;
            def.first = absolute(area->first.row, area->first.column);
            def.last = absolute(area->last.row, area->last.column);
            return resolveRef(frame, def);
        }
        if (prefix.empty() && !body.empty() && isNameStart(body.front())) {
            auto definition = m_source.definedName(body, frame.sheet);
            if (!definition) definition = m_source.definedName(body, -1);
            if (!definition) return Operand::ofError(ErrorCode::Ref);
            NameDef name;
            name.name = std::string(body);
            Operand target = this->name(frame, name);
            return target.isRef() ? target : Operand::ofError(ErrorCode::Ref);
        }
        return Operand::ofError(ErrorCode::Ref);
    }
    // R1C1: R2C3, R[-1]C, RC[2], and two of them joined by ':'; positions count from the formula's cell.
    auto corner = [&](std::string_view part, std::uint32_t& row, std::uint32_t& column) {
        std::size_t pos = 0;
        auto upperAt = [&](char c) { return pos < part.size() && (part[pos] == c || part[pos] == c + 32); };
        auto number = [&](std::uint32_t here, std::uint32_t limit, std::uint32_t& out) {
            if (pos < part.size() && part[pos] == '[') {
                std::size_t close = part.find(']', pos);
                if (close == std::string_view::npos) return false;
                long long offset = 0;
                auto inner = part.substr(pos + 1, close - pos - 1);
                auto [end, ec] = std::from_chars(inner.data(), inner.data() + inner.size(), offset);
                if (ec != std::errc() || end != inner.data() + inner.size()) return false;
                long long target = static_cast<long long>(here) + offset;
                if (target < 1 || target > limit) return false;
                out = static_cast<std::uint32_t>(target);
                pos = close + 1;
                return true;
            }
            std::size_t start = pos;
            unsigned long long value = 0;
            while (pos < part.size() && part[pos] >= '0' && part[pos] <= '9' && value <= limit)
                value = value * 10 + static_cast<unsigned>(part[pos++] - '0');
            if (pos == start) {
                out = here;
                return true;
            }
            if (value < 1 || value > limit) return false;
            out = static_cast<std::uint32_t>(value);
            return true;
        };
        if (!upperAt('R')) return false;
        ++pos;
        if (!number(frame.row, kMaxRow, row) || !upperAt('C')) return false;
        ++pos;
        return number(frame.column, kMaxColumn, column) && pos == part.size();
    };
    auto colon = body.find(':');
    std::uint32_t r1 = 0, c1 = 0, r2 = 0, c2 = 0;
    if (!corner(body.substr(0, colon), r1, c1)) return Operand::ofError(ErrorCode::Ref);
    r2 = r1;
    c2 = c1;
    if (colon != std::string_view::npos && !corner(body.substr(colon + 1), r2, c2))
        return Operand::ofError(ErrorCode::Ref);
    def.kind = AreaKind::Range;
    def.first = absolute(r1, c1);
    def.last = absolute(r2, c2);
    return resolveRef(frame, def);
}

// --- Call ----------------------------------------------------------------------------------------

Call::Call(Evaluation& evaluation, const Frame& f, const Node& node, const FunctionDef& def)
    : ev(evaluation), frame(f), m_node(node), m_def(def), m_count(node.count), m_args(node.count) {}

bool Call::omitted(std::size_t i) const {
    if (i >= m_count) return true;
    if (m_args[i]) return false;
    return frame.formula->child(m_node, i).op == Op::Missing;
}

const Operand& Call::arg(std::size_t i) {
    if (i >= m_count) return m_missing;
    if (!m_args[i]) {
        Frame inner = frame;
        ParamClass kind = paramClass(m_def, i);
        if (kind == ParamClass::Array) inner.arrayMode = true;
        Operand operand = ev.evaluate(inner, frame.formula->child(m_node, i));
        if (kind == ParamClass::Value && !frame.arrayMode && !operand.isValue())
            operand = Operand::of(ev.scalar(frame, operand));
        m_args[i] = std::move(operand);
    }
    return *m_args[i];
}

void Call::preset(std::size_t i, Operand operand) {
    if (i < m_count) m_args[i] = std::move(operand);
}

Value Call::value(std::size_t i) {
    const Operand& operand = arg(i);
    return operand.isValue() ? operand.value : ev.scalar(frame, operand);
}

Got<double> Call::number(std::size_t i) {
    return toNumber(value(i), ev.date1904());
}

Got<double> Call::integer(std::size_t i) {
    auto n = number(i);
    if (!n) return n;
    return std::trunc(*n);
}

Got<std::string> Call::text(std::size_t i) {
    return toText(value(i));
}

Got<bool> Call::boolean(std::size_t i) {
    return toBoolean(value(i));
}

// --- Evaluator -----------------------------------------------------------------------------------

class Evaluator::Impl : public Evaluation {
public:
    using Evaluation::Evaluation;
};

Evaluator::Evaluator(EvalSource& source) : m_impl(std::make_unique<Impl>(source)) {}
Evaluator::~Evaluator() = default;

EvalResult Evaluator::value(int sheet, std::uint32_t row, std::uint32_t column) {
    return m_impl->topValue(sheet, row, column);
}

void Evaluator::forgetFailures() {
    m_impl->forgetFailures();
}

void Evaluator::forgetAll() {
    m_impl->forgetAll();
}

void Evaluator::setNow(double serial1900) {
    m_impl->setNow(serial1900);
}

} // namespace xlsx::eval
