#include "formula/ShiftedFormulas.h"

#include <algorithm>
#include <functional>

namespace xlsx {

namespace {

std::uint64_t cellKey(std::uint32_t row, std::uint32_t column) {
    return (std::uint64_t{row} << 32) | column;
}

std::size_t hashOf(std::string_view formula) {
    return std::hash<std::string_view>{}(formula);
}

} // namespace

void ShiftedFormulas::forget() {
    m_sheets.clear();
    m_keeping = false;
}

std::optional<std::string> ShiftedFormulas::shift(int sheet, std::uint32_t originalRow, std::uint32_t column,
                                                  std::string_view formula, const ShiftContext& context) {
    auto shifted = shiftFormula(formula, context);
    keep(sheet, originalRow, column, formula, shifted);
    return shifted;
}

std::optional<std::string> ShiftedFormulas::shift(int sheet, std::uint32_t originalRow, std::uint32_t column,
                                                  std::string_view formula, const ShiftContext& context,
                                                  std::vector<FormulaReference>& references) {
    auto shifted = shiftFormula(formula, context, references);
    keep(sheet, originalRow, column, formula, shifted);
    return shifted;
}

void ShiftedFormulas::keep(int sheet, std::uint32_t originalRow, std::uint32_t column,
                           std::string_view formula, const std::optional<std::string>& shifted) {
    if (!m_keeping || sheet < 0) return;
    auto index = static_cast<std::size_t>(sheet);
    if (m_sheets.size() <= index) m_sheets.resize(index + 1);
    auto& kept = m_sheets[index];
    const std::uint64_t key = cellKey(originalRow, column);
    if (!kept.kept.empty() && kept.kept.back().cell > key) kept.sorted = false;
    kept.kept.push_back({key, hashOf(formula), shifted.has_value(), false, shifted.value_or(std::string())});
}

std::optional<std::string> ShiftedFormulas::take(int sheet, std::uint32_t originalRow, std::uint32_t column,
                                                 std::string_view formula, const ShiftContext& context) {
    auto index = static_cast<std::size_t>(sheet);
    if (sheet >= 0 && index < m_sheets.size()) {
        auto& kept = m_sheets[index];
        auto byCell = [](const Kept& a, const Kept& b) { return a.cell < b.cell; };
        if (!kept.sorted) {
            std::stable_sort(kept.kept.begin(), kept.kept.end(), byCell);
            kept.sorted = true;
        }
        Kept probe{cellKey(originalRow, column), 0, false, false, {}};
        auto [first, last] = std::equal_range(kept.kept.begin(), kept.kept.end(), probe, byCell);
        const std::size_t hash = hashOf(formula);
        for (auto it = first; it != last; ++it) {
            if (it->formulaHash != hash || it->taken) continue;
            it->taken = true; // its text is handed over: a second save of the cell moves it anew
            if (!it->changed) return std::nullopt;
            return std::move(it->text);
        }
    }
    return shiftFormula(formula, context);
}

void ShiftedFormulas::release(int sheet) {
    auto index = static_cast<std::size_t>(sheet);
    if (sheet >= 0 && index < m_sheets.size()) m_sheets[index] = Sheet();
}

} // namespace xlsx
