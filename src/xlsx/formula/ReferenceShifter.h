#pragma once

// Rewrites references after rows were inserted, the way a spreadsheet application does: a row at or
// below an insertion moves down; a range grows when the insertion falls inside it (first < R <= last)
// and moves when R <= first; whole columns never change; absolute and relative references alike.
// A reference pushed past the last row becomes #REF! (Sheet1!#REF! when qualified); a range whose
// end alone is pushed past ends at the last row. References into other workbooks never change.
// Whatever is not understood stays as written.

#include "formula/RowShift.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace xlsx {

struct FormulaReference;

struct ShiftContext {
    // The sheet that holds the formula: unqualified references point at it.
    std::string_view formulaSheet;
    // All sheet names in workbook order, for 3-D references (Ark1:Ark3!A1 spans every sheet between).
    const std::vector<std::string>* sheetOrder = nullptr;
    // The shift of a sheet by name (compared case-insensitively for a-z, as the application does);
    // nullptr when nothing was inserted there.
    std::function<const RowShift*(std::string_view sheetName)> shiftFor;
};

// The formula with its references rewritten; nullopt when nothing changed. A 3-D reference takes
// the shifts of every sheet it spans, one after another in workbook order.
std::optional<std::string> shiftFormula(std::string_view formula, const ShiftContext& context);
// The same, leaving in `references` those of the result (of `formula` when nothing changed) as
// findReferences would find them there.
std::optional<std::string> shiftFormula(std::string_view formula, const ShiftContext& context,
                                        std::vector<FormulaReference>& references);

// A space-separated list of areas without sheet names ("A1:B3 C5", as in sqref and ref attributes)
// shifted by one sheet's insertions; nullopt when nothing changed. An area pushed wholly past the last
// row is dropped from the list; the result may then be empty.
std::optional<std::string> shiftAreaList(std::string_view areas, const RowShift& shift);

// A formula of a shared-formula child: relative references move by the child's offset from the
// master cell (as copying the formula does); absolute parts stay.
std::string translateFormula(std::string_view formula, int rowOffset, int columnOffset);

// What a formula reads, for deciding whether its cached result can have changed.
struct FormulaArea {
    std::string firstSheet; // empty: the formula's own sheet
    std::string lastSheet;  // differs from firstSheet for 3-D references
    std::uint32_t firstRow = 1, lastRow = 1, firstColumn = 1, lastColumn = 1;
};

struct FormulaDependencies {
    std::vector<FormulaArea> areas;
    std::vector<std::string> names;      // defined names used (or identifiers that may be one, functions too)
    std::vector<std::string> valueNames; // those of them not called: a table's name may be among them
    bool isVolatile = false;             // NOW, TODAY, RAND, RANDBETWEEN, OFFSET, INDIRECT, CELL, INFO
    bool opaque = false; // external references, structured references, anything not understood
};

FormulaDependencies analyzeFormula(std::string_view formula);

// Whether a function of this name (any case, with or without "_xlfn.") gives a new result at every
// calculation, whatever its arguments.
bool isVolatileFunction(std::string_view name);

} // namespace xlsx
