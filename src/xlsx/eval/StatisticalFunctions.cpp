// Statistics of the numbers of ranges and arguments: MEDIAN, MODE, the deviations and variances,
// LARGE and SMALL, RANK, PERCENTILE and QUARTILE, the means, the *A variants, PERMUT.

#include "eval/Evaluation.h"
#include "eval/NotComputable.h"
#include "eval/NumberArguments.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace xlsx::eval {

namespace {

using Fold = Operand (*)(std::vector<double>& values);

template <Fold F> Operand overNumbers(Call& c) {
    auto numbers = collect(c, 0, Strictness::Propagate);
    if (numbers.error) return Operand::ofError(*numbers.error);
    return F(numbers.values);
}

template <Fold F> Operand overValues(Call& c) {
    auto numbers = collectAll(c, 0);
    if (numbers.error) return Operand::ofError(*numbers.error);
    return F(numbers.values);
}

Operand median(std::vector<double>& v) {
    if (v.empty()) return Operand::ofError(ErrorCode::Num);
    auto middle = v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2);
    std::nth_element(v.begin(), middle, v.end());
    if (v.size() % 2 == 1) return numberResult(*middle);
    double below = *std::max_element(v.begin(), middle);
    return numberResult(below + (*middle - below) / 2);
}

// The value met most often; of several as often, the one met first.
Operand mode(std::vector<double>& v) {
    std::map<double, std::pair<std::size_t, std::size_t>> seen; // count, first position
    for (std::size_t i = 0; i < v.size(); ++i) {
        auto [entry, added] = seen.try_emplace(v[i], 0, i);
        ++entry->second.first;
    }
    const std::pair<const double, std::pair<std::size_t, std::size_t>>* best = nullptr;
    for (const auto& entry : seen)
        if (entry.second.first > 1 &&
            (!best || entry.second.first > best->second.first ||
             (entry.second.first == best->second.first && entry.second.second < best->second.second)))
            best = &entry;
    if (!best) return Operand::ofError(ErrorCode::NA);
    return numberResult(best->first);
}

template <bool Sample, bool Root> Operand spread(std::vector<double>& v) {
    auto var = variance(v, Sample);
    if (!var) return Operand::ofError(ErrorCode::Div0);
    return numberResult(Root ? std::sqrt(*var) : *var);
}

Operand devsq(std::vector<double>& v) {
    if (v.empty()) return Operand::ofError(ErrorCode::Num);
    double mean = sum(v) / static_cast<double>(v.size());
    double total = 0;
    for (double x : v)
        total += (x - mean) * (x - mean);
    return numberResult(total);
}

Operand avedev(std::vector<double>& v) {
    if (v.empty()) return Operand::ofError(ErrorCode::Num);
    double mean = sum(v) / static_cast<double>(v.size());
    double total = 0;
    for (double x : v)
        total += std::fabs(x - mean);
    return numberResult(total / static_cast<double>(v.size()));
}

Operand geomean(std::vector<double>& v) {
    if (v.empty()) return Operand::ofError(ErrorCode::Num);
    double logs = 0;
    for (double x : v) {
        if (x <= 0) return Operand::ofError(ErrorCode::Num);
        logs += std::log(x);
    }
    return numberResult(std::exp(logs / static_cast<double>(v.size())));
}

Operand harmean(std::vector<double>& v) {
    if (v.empty()) return Operand::ofError(ErrorCode::Num);
    double inverses = 0;
    for (double x : v) {
        if (x <= 0) return Operand::ofError(ErrorCode::Num);
        inverses += 1 / x;
    }
    return numberResult(static_cast<double>(v.size()) / inverses);
}

Operand average(std::vector<double>& v) {
    if (v.empty()) return Operand::ofError(ErrorCode::Div0);
    return numberResult(sum(v) / static_cast<double>(v.size()));
}

Operand largest(std::vector<double>& v) {
    return v.empty() ? Operand::ofNumber(0) : numberResult(*std::max_element(v.begin(), v.end()));
}

Operand smallest(std::vector<double>& v) {
    return v.empty() ? Operand::ofNumber(0) : numberResult(*std::min_element(v.begin(), v.end()));
}

Operand sumOfSquares(std::vector<double>& v) {
    double total = 0;
    for (double x : v)
        total += x * x;
    return numberResult(total);
}

// The numbers of the first argument only (the array of LARGE, PERCENTILE ...).
Got<std::vector<double>> arrayNumbers(Call& c) {
    Numbers numbers;
    c.ev.forEachCell(c.arg(0), [&](const CellSeen& seen) {
        if (numbers.error) return;
        if (seen.value.isError())
            numbers.error = seen.value.error;
        else if (seen.value.isNumber())
            numbers.values.push_back(seen.value.number);
        else if (seen.direct && !seen.value.isText())
            numbers.values.push_back(seen.value.number);
        else if (seen.direct) {
            auto n = toNumber(seen.value, c.ev.date1904());
            if (!n)
                numbers.error = *n.error;
            else
                numbers.values.push_back(*n);
        }
    });
    if (numbers.error) return *numbers.error;
    return std::move(numbers.values);
}

Operand nth(Call& c, bool fromLargest) {
    auto values = arrayNumbers(c);
    if (!values) return Operand::ofError(*values.error);
    auto k = c.number(1);
    if (!k) return Operand::ofError(*k.error);
    // Sources disagree on whether a k of 1.5 is the first or the second; it is not guessed.
    if (*k != std::floor(*k))
        throw NotComputable(std::string(c.def().name) + " med en k som ikke er et heltall");
    double rank = *k;
    std::vector<double> v = *values;
    if (rank < 1 || rank > static_cast<double>(v.size())) return Operand::ofError(ErrorCode::Num);
    auto at = static_cast<std::size_t>(rank) - 1;
    if (fromLargest)
        std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(at), v.end(), std::greater<>());
    else
        std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(at), v.end());
    return numberResult(v[at]);
}

Operand fnLarge(Call& c) {
    return nth(c, true);
}
Operand fnSmall(Call& c) {
    return nth(c, false);
}

// PERCENTILE.INC and .EXC at fraction k of the sorted numbers, between neighbours linearly.
Operand percentile(std::vector<double> v, double k, bool exclusive) {
    if (v.empty()) return Operand::ofError(ErrorCode::Num);
    std::sort(v.begin(), v.end());
    const double n = static_cast<double>(v.size());
    double position = 0; // 0-based
    if (exclusive) {
        if (k <= 0 || k >= 1) return Operand::ofError(ErrorCode::Num);
        position = k * (n + 1) - 1;
        if (position < 0 || position > n - 1) return Operand::ofError(ErrorCode::Num);
    } else {
        if (k < 0 || k > 1) return Operand::ofError(ErrorCode::Num);
        position = k * (n - 1);
    }
    double whole = std::floor(position);
    auto low = static_cast<std::size_t>(whole);
    double fraction = position - whole;
    if (fraction == 0 || low + 1 >= v.size()) return numberResult(v[low]);
    return numberResult(v[low] + fraction * (v[low + 1] - v[low]));
}

template <bool Exclusive> Operand fnPercentile(Call& c) {
    auto values = arrayNumbers(c);
    if (!values) return Operand::ofError(*values.error);
    auto k = c.number(1);
    if (!k) return Operand::ofError(*k.error);
    return percentile(*values, *k, Exclusive);
}

template <bool Exclusive> Operand fnQuartile(Call& c) {
    auto values = arrayNumbers(c);
    if (!values) return Operand::ofError(*values.error);
    auto quart = c.integer(1);
    if (!quart) return Operand::ofError(*quart.error);
    if (*quart < (Exclusive ? 1 : 0) || *quart > (Exclusive ? 3 : 4)) return Operand::ofError(ErrorCode::Num);
    return percentile(*values, *quart / 4, Exclusive);
}

// RANK(number, ref, [order]): the ref must be cells; 1 + how many numbers there come before it.
template <bool Average> Operand fnRank(Call& c) {
    auto number = c.number(0);
    if (!number) return Operand::ofError(*number.error);
    const Operand& ref = c.arg(1);
    if (ref.isError()) return ref;
    if (!ref.isRef()) return Operand::ofError(ErrorCode::Value);
    auto order = c.number(2, 0);
    if (!order) return Operand::ofError(*order.error);
    bool ascending = *order != 0;
    double before = 0, equal = 0;
    std::optional<ErrorCode> error;
    c.ev.forEachCell(ref, [&](const CellSeen& seen) {
        if (error) return;
        if (seen.value.isError()) {
            error = seen.value.error;
            return;
        }
        if (!seen.value.isNumber()) return;
        double x = seen.value.number;
        if (x == *number)
            ++equal;
        else if (ascending ? x < *number : x > *number)
            ++before;
    });
    if (error) return Operand::ofError(*error);
    if (equal == 0) return Operand::ofError(ErrorCode::NA);
    return numberResult(Average ? before + (equal + 1) / 2 : before + 1);
}

Operand fnPermut(Call& c) {
    auto n = c.integer(0), k = c.integer(1);
    if (!n) return Operand::ofError(*n.error);
    if (!k) return Operand::ofError(*k.error);
    if (*n < 0 || *k < 0 || *n < *k) return Operand::ofError(ErrorCode::Num);
    double result = 1;
    for (double i = 0; i < *k && std::isfinite(result); ++i)
        result *= *n - i;
    return numberResult(result);
}

} // namespace

const std::vector<FunctionDef>& statisticalFunctions() {
    static const std::vector<FunctionDef> functions = {
        {"MEDIAN", 1, 255, "R", overNumbers<median>},
        {"MODE", 1, 255, "R", overNumbers<mode>},
        {"MODE.SNGL", 1, 255, "R", overNumbers<mode>},
        {"STDEV", 1, 255, "R", overNumbers<spread<true, true>>},
        {"STDEV.S", 1, 255, "R", overNumbers<spread<true, true>>},
        {"STDEVP", 1, 255, "R", overNumbers<spread<false, true>>},
        {"STDEV.P", 1, 255, "R", overNumbers<spread<false, true>>},
        {"VAR", 1, 255, "R", overNumbers<spread<true, false>>},
        {"VAR.S", 1, 255, "R", overNumbers<spread<true, false>>},
        {"VARP", 1, 255, "R", overNumbers<spread<false, false>>},
        {"VAR.P", 1, 255, "R", overNumbers<spread<false, false>>},
        {"STDEVA", 1, 255, "R", overValues<spread<true, true>>},
        {"STDEVPA", 1, 255, "R", overValues<spread<false, true>>},
        {"VARA", 1, 255, "R", overValues<spread<true, false>>},
        {"VARPA", 1, 255, "R", overValues<spread<false, false>>},
        {"AVERAGEA", 1, 255, "R", overValues<average>},
        {"MAXA", 1, 255, "R", overValues<largest>},
        {"MINA", 1, 255, "R", overValues<smallest>},
        {"DEVSQ", 1, 255, "R", overNumbers<devsq>},
        {"AVEDEV", 1, 255, "R", overNumbers<avedev>},
        {"GEOMEAN", 1, 255, "R", overNumbers<geomean>},
        {"HARMEAN", 1, 255, "R", overNumbers<harmean>},
        {"SUMSQ", 1, 255, "R", overNumbers<sumOfSquares>},
        {"LARGE", 2, 2, "RV", fnLarge},
        {"SMALL", 2, 2, "RV", fnSmall},
        {"PERCENTILE", 2, 2, "RV", fnPercentile<false>},
        {"PERCENTILE.INC", 2, 2, "RV", fnPercentile<false>},
        {"PERCENTILE.EXC", 2, 2, "RV", fnPercentile<true>},
        {"QUARTILE", 2, 2, "RV", fnQuartile<false>},
        {"QUARTILE.INC", 2, 2, "RV", fnQuartile<false>},
        {"QUARTILE.EXC", 2, 2, "RV", fnQuartile<true>},
        {"RANK", 2, 3, "VRV", fnRank<false>},
        {"RANK.EQ", 2, 3, "VRV", fnRank<false>},
        {"RANK.AVG", 2, 3, "VRV", fnRank<true>},
        {"PERMUT", 2, 2, "V", fnPermut, true},
    };
    return functions;
}

} // namespace xlsx::eval
