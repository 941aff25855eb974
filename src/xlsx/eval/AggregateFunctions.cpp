// Functions over ranges: SUM, COUNT, AVERAGE, MIN, MAX, PRODUCT, SUMPRODUCT, the *IF and *IFS
// families and SUBTOTAL.

#include "eval/Criteria.h"
#include "eval/Evaluation.h"
#include "eval/NotComputable.h"
#include "eval/NumberArguments.h"
#include "formula/CellRef.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace xlsx::eval {

Numbers collect(Call& c, std::size_t first, Strictness strictness,
                const std::function<bool(const CellSeen&)>& skip) {
    Numbers numbers;
    for (std::size_t i = first; i < c.count() && !numbers.error; ++i) {
        if (c.omitted(i)) {
            numbers.values.push_back(0); // f(1,,2): the empty argument counts as 0
            continue;
        }
        c.ev.forEachCell(
            c.arg(i),
            [&](const CellSeen& seen) {
                if (numbers.error || (skip && skip(seen))) return;
                const Value& v = seen.value;
                if (v.isError()) {
                    if (strictness == Strictness::Propagate) numbers.error = v.error;
                    return;
                }
                if (v.isNumber()) {
                    numbers.values.push_back(v.number);
                } else if (seen.direct && (v.isBoolean() || v.isEmpty())) {
                    numbers.values.push_back(v.number);
                } else if (seen.direct && v.isText()) {
                    auto n = toNumber(v, c.ev.date1904());
                    if (n)
                        numbers.values.push_back(*n);
                    else if (strictness == Strictness::Propagate)
                        numbers.error = *n.error;
                }
            },
            static_cast<bool>(skip));
    }
    return numbers;
}

Numbers collectAll(Call& c, std::size_t first) {
    Numbers numbers;
    for (std::size_t i = first; i < c.count() && !numbers.error; ++i) {
        if (c.omitted(i)) {
            numbers.values.push_back(0);
            continue;
        }
        c.ev.forEachCell(c.arg(i), [&](const CellSeen& seen) {
            if (numbers.error) return;
            const Value& v = seen.value;
            if (v.isError()) {
                numbers.error = v.error;
            } else if (v.isNumber() || v.isBoolean() || (seen.direct && v.isEmpty())) {
                numbers.values.push_back(v.number);
            } else if (v.isText() && !seen.direct) {
                numbers.values.push_back(0);
            } else if (v.isText()) {
                auto n = toNumber(v, c.ev.date1904());
                if (n)
                    numbers.values.push_back(*n);
                else
                    numbers.error = *n.error;
            }
        });
    }
    return numbers;
}

double sum(const std::vector<double>& values) {
    double total = 0;
    for (double v : values)
        total += v;
    return total;
}

std::optional<double> variance(const std::vector<double>& values, bool sample) {
    std::size_t n = values.size();
    if (n == 0 || (sample && n < 2)) return std::nullopt;
    double mean = sum(values) / static_cast<double>(n);
    double squares = 0;
    for (double v : values)
        squares += (v - mean) * (v - mean);
    return squares / static_cast<double>(sample ? n - 1 : n);
}

namespace {

Operand fnSum(Call& c) {
    auto numbers = collect(c, 0, Strictness::Propagate);
    if (numbers.error) return Operand::ofError(*numbers.error);
    return numberResult(sum(numbers.values));
}

Operand fnProduct(Call& c) {
    auto numbers = collect(c, 0, Strictness::Propagate);
    if (numbers.error) return Operand::ofError(*numbers.error);
    if (numbers.values.empty()) return Operand::ofNumber(0);
    double product = 1;
    for (double v : numbers.values)
        product *= v;
    return numberResult(product);
}

Operand fnAverage(Call& c) {
    auto numbers = collect(c, 0, Strictness::Propagate);
    if (numbers.error) return Operand::ofError(*numbers.error);
    if (numbers.values.empty()) return Operand::ofError(ErrorCode::Div0);
    return numberResult(sum(numbers.values) / static_cast<double>(numbers.values.size()));
}

Operand extreme(Call& c, bool wantMax) {
    auto numbers = collect(c, 0, Strictness::Propagate);
    if (numbers.error) return Operand::ofError(*numbers.error);
    if (numbers.values.empty()) return Operand::ofNumber(0);
    return numberResult(wantMax ? *std::max_element(numbers.values.begin(), numbers.values.end())
                                : *std::min_element(numbers.values.begin(), numbers.values.end()));
}

Operand fnMin(Call& c) {
    return extreme(c, false);
}
Operand fnMax(Call& c) {
    return extreme(c, true);
}

Operand fnCount(Call& c) {
    return Operand::ofNumber(static_cast<double>(collect(c, 0, Strictness::Skip).values.size()));
}

Operand fnCountA(Call& c) {
    double count = 0;
    for (std::size_t i = 0; i < c.count(); ++i) {
        if (c.omitted(i)) {
            ++count;
            continue;
        }
        c.ev.forEachCell(c.arg(i), [&](const CellSeen& seen) {
            if (seen.direct || !seen.value.isEmpty()) ++count;
        });
    }
    return Operand::ofNumber(count);
}

const RefArea* singleArea(const Operand& operand) {
    return operand.isSingleArea() ? &operand.area : nullptr;
}

Operand fnCountBlank(Call& c) {
    const Operand& range = c.arg(0);
    if (!range.isSingleArea()) return Operand::ofError(ErrorCode::Value);
    double total = static_cast<double>(range.area.rows()) * range.area.columns();
    double filled = 0;
    c.ev.forEachCell(range, [&](const CellSeen& seen) {
        if (!(seen.value.isText() && seen.value.text.empty())) ++filled;
    });
    return Operand::ofNumber(total - filled);
}

Operand fnSumProduct(Call& c) {
    std::vector<Matrix> arrays;
    for (std::size_t i = 0; i < c.count(); ++i) {
        if (c.omitted(i)) return Operand::ofError(ErrorCode::Value);
        const Operand& operand = c.arg(i);
        if (operand.isRef() && !operand.isSingleArea()) return Operand::ofError(ErrorCode::Value);
        arrays.push_back(c.ev.matrix(operand));
        if (arrays.back().rows != arrays.front().rows || arrays.back().columns != arrays.front().columns)
            return Operand::ofError(ErrorCode::Value);
    }
    double total = 0;
    const std::size_t size = arrays.front().values.size();
    for (std::size_t k = 0; k < size; ++k) {
        double product = 1;
        for (const auto& array : arrays) {
            const Value& v = array.values[k];
            if (v.isError()) return Operand::ofError(v.error);
            product *= v.isNumber() ? v.number : 0;
        }
        total += product;
    }
    return numberResult(total);
}

// --- criteria ---------------------------------------------------------------------------------------

struct CriteriaPair {
    const RefArea* range;
    Criterion criterion;
    bool matchesEmpty;
};

// Calls take(r, c) for every position (relative to the ranges' top left) where all criteria hold, and
// returns how many positions of empty cells past every range's content matched without being visited.
std::optional<double> forMatches(Call& c, const std::vector<CriteriaPair>& pairs, std::uint32_t rows,
                                 std::uint32_t columns,
                                 const std::function<void(std::uint32_t, std::uint32_t)>& take) {
    auto holdsAt = [&](std::size_t except, std::uint32_t r, std::uint32_t col) {
        for (std::size_t k = 0; k < pairs.size(); ++k) {
            if (k == except) continue;
            const RefArea& area = *pairs[k].range;
            if (!pairs[k].criterion.matches(c.ev.cellValue(area.sheet, area.top + r, area.left + col)))
                return false;
        }
        return true;
    };
    // Walk the cells of a range whose criterion needs a cell there: far fewer than the positions.
    for (std::size_t k = 0; k < pairs.size(); ++k) {
        if (pairs[k].matchesEmpty) continue;
        const RefArea& area = *pairs[k].range;
        c.ev.forEachCell(Operand::ofRef(area), [&](const CellSeen& seen) {
            std::uint32_t r = seen.row - area.top, col = seen.column - area.left;
            if (pairs[k].criterion.matches(seen.value) && holdsAt(k, r, col)) take(r, col);
        });
        return 0.0;
    }
    // Every criterion takes empty cells: go through the positions up to the last row and column any
    // range uses; past them all cells are empty and all match.
    std::uint32_t usedRows = 0, usedColumns = 0;
    for (const auto& pair : pairs) {
        usedRows = std::max(usedRows, c.ev.usedRows(*pair.range));
        usedColumns = std::max(usedColumns, c.ev.usedColumns(*pair.range));
    }
    usedRows = std::min(usedRows, rows);
    usedColumns = std::min(usedColumns, columns);
    if (std::size_t{usedRows} * usedColumns > (std::size_t{1} << 24))
        throw NotComputable("et kriterieområde for stort til å gås gjennom celle for celle");
    for (std::uint32_t r = 0; r < usedRows; ++r)
        for (std::uint32_t col = 0; col < usedColumns; ++col)
            if (holdsAt(pairs.size(), r, col)) take(r, col);
    return static_cast<double>(rows) * columns - static_cast<double>(usedRows) * usedColumns;
}

// (range, criterion) pairs from the arguments at `first`, `first` + 2 ...; all ranges of one shape.
std::optional<std::vector<CriteriaPair>> criteriaPairs(Call& c, std::size_t first) {
    std::vector<CriteriaPair> pairs;
    for (std::size_t i = first; i + 1 < c.count(); i += 2) {
        const RefArea* area = singleArea(c.arg(i));
        if (!area) return std::nullopt;
        Criterion criterion(c.value(i + 1), c.ev.date1904());
        bool empty = criterion.matches(Value::empty());
        pairs.push_back({area, std::move(criterion), empty});
        if (area->rows() != pairs.front().range->rows() || area->columns() != pairs.front().range->columns())
            return std::nullopt;
    }
    return pairs;
}

enum class Fold { Sum, Average, Min, Max };

// Folds the numbers of `target` at the matching positions.
Operand foldMatches(Call& c, const std::vector<CriteriaPair>& pairs, const RefArea& target, Fold fold) {
    const RefArea& shape = *pairs.front().range;
    std::vector<double> values;
    std::optional<ErrorCode> error;
    forMatches(c, pairs, shape.rows(), shape.columns(), [&](std::uint32_t r, std::uint32_t col) {
        if (error || target.top + r > kMaxRow || target.left + col > kMaxColumn) return;
        Value v = c.ev.cellValue(target.sheet, target.top + r, target.left + col);
        if (v.isError())
            error = v.error;
        else if (v.isNumber())
            values.push_back(v.number);
    });
    if (error) return Operand::ofError(*error);
    switch (fold) {
    case Fold::Sum:
        return numberResult(sum(values));
    case Fold::Average:
        if (values.empty()) return Operand::ofError(ErrorCode::Div0);
        return numberResult(sum(values) / static_cast<double>(values.size()));
    case Fold::Min:
        return values.empty() ? Operand::ofNumber(0)
                              : numberResult(*std::min_element(values.begin(), values.end()));
    case Fold::Max:
        return values.empty() ? Operand::ofNumber(0)
                              : numberResult(*std::max_element(values.begin(), values.end()));
    }
    return Operand::ofError(ErrorCode::Value);
}

// SUMIF(range, criterion, [sum_range]): the sum range takes the criteria range's shape from its own
// top left cell, whatever size it was written with.
Operand singleCriterion(Call& c, Fold fold) {
    auto pairs = criteriaPairs(c, 0);
    if (!pairs) return Operand::ofError(ErrorCode::Value);
    RefArea target = *pairs->front().range;
    if (!c.omitted(2)) {
        const RefArea* given = singleArea(c.arg(2));
        if (!given) return Operand::ofError(ErrorCode::Value);
        target.sheet = target.lastSheet = given->sheet;
        target.top = given->top;
        target.left = given->left;
    }
    return foldMatches(c, *pairs, target, fold);
}

Operand fnSumIf(Call& c) {
    return singleCriterion(c, Fold::Sum);
}
Operand fnAverageIf(Call& c) {
    return singleCriterion(c, Fold::Average);
}

// SUMIFS(target, range1, criterion1, ...): the target must have the ranges' shape.
Operand multipleCriteria(Call& c, Fold fold) {
    if (c.count() % 2 == 0)
        throw NotComputable("funksjonen " + std::string(c.def().name) + " med et ulikt antall kriterier");
    const RefArea* target = singleArea(c.arg(0));
    auto pairs = criteriaPairs(c, 1);
    if (!target || !pairs) return Operand::ofError(ErrorCode::Value);
    const RefArea& shape = *pairs->front().range;
    if (target->rows() != shape.rows() || target->columns() != shape.columns())
        return Operand::ofError(ErrorCode::Value);
    return foldMatches(c, *pairs, *target, fold);
}

Operand fnSumIfs(Call& c) {
    return multipleCriteria(c, Fold::Sum);
}
Operand fnAverageIfs(Call& c) {
    return multipleCriteria(c, Fold::Average);
}
Operand fnMinIfs(Call& c) {
    return multipleCriteria(c, Fold::Min);
}
Operand fnMaxIfs(Call& c) {
    return multipleCriteria(c, Fold::Max);
}

Operand countMatches(Call& c, std::size_t first) {
    if ((c.count() - first) % 2 != 0)
        throw NotComputable("funksjonen " + std::string(c.def().name) + " med et ulikt antall kriterier");
    auto pairs = criteriaPairs(c, first);
    if (!pairs) return Operand::ofError(ErrorCode::Value);
    const RefArea& shape = *pairs->front().range;
    double count = 0;
    auto unvisited =
        forMatches(c, *pairs, shape.rows(), shape.columns(), [&](std::uint32_t, std::uint32_t) { ++count; });
    return Operand::ofNumber(count + unvisited.value_or(0));
}

Operand fnCountIf(Call& c) {
    return countMatches(c, 0);
}
Operand fnCountIfs(Call& c) {
    return countMatches(c, 0);
}

// --- SUBTOTAL -------------------------------------------------------------------------------------

Operand fnSubtotal(Call& c) {
    auto code = c.integer(0);
    if (!code) return Operand::ofError(*code.error);
    int function = static_cast<int>(*code);
    bool skipHidden = function > 100;
    if (skipHidden) function -= 100;
    if (function < 1 || function > 11) return Operand::ofError(ErrorCode::Value);
    for (std::size_t i = 1; i < c.count(); ++i) {
        if (c.omitted(i)) return Operand::ofError(ErrorCode::Value);
        const Operand& operand = c.arg(i);
        if (operand.isError()) return operand;
        if (!operand.isRef() || operand.area.is3d()) return Operand::ofError(ErrorCode::Value);
    }
    const EvalSource& source = c.ev.source();
    // Rows a filter hides are always left out, rows the user hid only by 101-111; so are cells that
    // hold subtotals themselves, so that nothing is counted twice.
    auto skip = [&](const CellSeen& seen) {
        if (seen.subtotal) return true;
        if (seen.sheet < 0) return false;
        RowState state = source.rowState(seen.sheet, seen.row);
        return state == RowState::FilteredOut || (skipHidden && state == RowState::Hidden);
    };
    if (function == 3) {
        double count = 0;
        for (std::size_t i = 1; i < c.count(); ++i)
            c.ev.forEachCell(
                c.arg(i),
                [&](const CellSeen& seen) {
                    if (!skip(seen)) ++count;
                },
                true);
        return Operand::ofNumber(count);
    }
    auto numbers = collect(c, 1, function == 2 ? Strictness::Skip : Strictness::Propagate, skip);
    if (numbers.error) return Operand::ofError(*numbers.error);
    const auto& v = numbers.values;
    switch (function) {
    case 1:
        if (v.empty()) return Operand::ofError(ErrorCode::Div0);
        return numberResult(sum(v) / static_cast<double>(v.size()));
    case 2:
        return Operand::ofNumber(static_cast<double>(v.size()));
    case 4:
        return v.empty() ? Operand::ofNumber(0) : numberResult(*std::max_element(v.begin(), v.end()));
    case 5:
        return v.empty() ? Operand::ofNumber(0) : numberResult(*std::min_element(v.begin(), v.end()));
    case 6: {
        if (v.empty()) return Operand::ofNumber(0);
        double product = 1;
        for (double x : v)
            product *= x;
        return numberResult(product);
    }
    case 7:
    case 8:
    case 10:
    case 11: {
        auto var = variance(v, function == 7 || function == 10);
        if (!var) return Operand::ofError(ErrorCode::Div0);
        return numberResult(function <= 8 ? std::sqrt(*var) : *var);
    }
    default:
        return numberResult(sum(v));
    }
}

} // namespace

const std::vector<FunctionDef>& aggregateFunctions() {
    static const std::vector<FunctionDef> functions = {
        {"SUM", 1, 255, "R", fnSum},
        {"PRODUCT", 1, 255, "R", fnProduct},
        {"AVERAGE", 1, 255, "R", fnAverage},
        {"MIN", 1, 255, "R", fnMin},
        {"MAX", 1, 255, "R", fnMax},
        {"COUNT", 1, 255, "R", fnCount},
        {"COUNTA", 1, 255, "R", fnCountA},
        {"COUNTBLANK", 1, 1, "R", fnCountBlank},
        {"SUMPRODUCT", 1, 255, "A", fnSumProduct},
        {"SUMIF", 2, 3, "RVR", fnSumIf},
        {"AVERAGEIF", 2, 3, "RVR", fnAverageIf},
        {"COUNTIF", 2, 2, "RV", fnCountIf},
        {"SUMIFS", 3, 255, "R|RV", fnSumIfs},
        {"AVERAGEIFS", 3, 255, "R|RV", fnAverageIfs},
        {"MINIFS", 3, 255, "R|RV", fnMinIfs},
        {"MAXIFS", 3, 255, "R|RV", fnMaxIfs},
        {"COUNTIFS", 2, 255, "|RV", fnCountIfs},
        {"SUBTOTAL", 2, 255, "VR", fnSubtotal},
    };
    return functions;
}

} // namespace xlsx::eval
