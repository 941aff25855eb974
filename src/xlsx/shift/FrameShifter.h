#pragma once

// Rewrites the references in a worksheet part outside <sheetData> after rows were inserted: merged
// cells, conditional formats (ranges and rule formulas), data validations (ranges and formulas),
// hyperlinks, autofilter and sort state, row page breaks, sheet views (pane and selection), protected
// ranges, ignored errors, and the same inside extension lists (x14 conditional formats and validations
// with xm:sqref / xm:f, sparklines), anchors and linked cells of form controls and embedded objects.
// A merge, conditional format, validation or hyperlink pushed wholly past the last row is dropped.
// The dimension is the cell store's business.

#include "formula/ReferenceShifter.h"
#include "formula/RowShift.h"
#include "shift/RowInsertion.h"
#include "xml/Place.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace xlsx {

struct FrameShiftInput {
    // This sheet's insertions in the order they were made (may be empty when only other sheets changed).
    std::vector<RowInsertion> insertions;
    // The same insertions composed.
    RowShift shift;
    // For formulas inside the frame, which may also refer to other sheets that got rows.
    ShiftContext formulas;
};

// `frame` is a whole worksheet part with an empty <sheetData/> (any namespace prefix). Returns the
// edited part, or nullopt when nothing changed. A conditional format or validation whose range covers
// an insertion's origin row covers the inserted row too (as the application copies them with the
// formats). Throws sheets::Error naming `place` (the sheet's) on XML that cannot be parsed.
std::optional<std::string> shiftWorksheetFrame(std::string_view frame, const FrameShiftInput& input,
                                               const Place& place);

} // namespace xlsx
