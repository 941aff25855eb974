#pragma once

// Formula texts moved to the current rows, kept from the save's computation to its writing. After
// insertions a formula is moved so that the evaluator can compute it, and the save would move the same
// text by the same insertions again to write it; the second move is looked up instead. Kept compactly
// per cell and let go sheet by sheet, since a workbook may hold a formula on every row.

#include "formula/ReferenceShifter.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace xlsx {

class ShiftedFormulas {
public:
    // From now until forget(), formulas moved through shift() are kept.
    void startKeeping() { m_keeping = true; }
    // Rows were inserted or the workbook starts again: every kept text is out of date.
    void forget();

    // The formula of the cell (its row as read) moved by the insertions made so far: nullopt when no
    // reference moves. Kept while keeping.
    std::optional<std::string> shift(int sheet, std::uint32_t originalRow, std::uint32_t column,
                                     std::string_view formula, const ShiftContext& context);
    // The same, leaving in `references` those of the result (see shiftFormula).
    std::optional<std::string> shift(int sheet, std::uint32_t originalRow, std::uint32_t column,
                                     std::string_view formula, const ShiftContext& context,
                                     std::vector<FormulaReference>& references);
    // The same, taken from what was kept when the cell's formula is the one moved then; else moved now.
    std::optional<std::string> take(int sheet, std::uint32_t originalRow, std::uint32_t column,
                                    std::string_view formula, const ShiftContext& context);
    // The sheet is written: what was kept for it is let go.
    void release(int sheet);

private:
    void keep(int sheet, std::uint32_t originalRow, std::uint32_t column, std::string_view formula,
              const std::optional<std::string>& shifted);

    struct Kept {
        std::uint64_t cell;
        std::size_t formulaHash; // of the text moved, so that a cell whose formula changed is moved anew
        bool changed;
        bool taken = false;
        std::string text;
    };
    struct Sheet {
        std::vector<Kept> kept;
        bool sorted = true;
    };
    std::vector<Sheet> m_sheets;
    bool m_keeping = false;
};

} // namespace xlsx
