#pragma once

// The edits the frame and part shifters share: area attributes, formula texts and drawing anchors
// moved in place in a parsed part.

#include "formula/ReferenceShifter.h"
#include "formula/RowShift.h"

#include <cstdint>
#include <optional>
#include <pugixml.hpp>

namespace xlsx::shiftedits {

enum class Outcome { Same, Changed, Gone };

// Shifts the area list in `attribute` of `element`. Gone: every area was pushed past the last row; the
// attribute is then left as it was and the caller decides.
Outcome shiftAreaAttribute(pugi::xml_node element, const char* attribute, const RowShift& shift);
// Shifts the formula held as the text of `element`.
bool shiftFormulaText(pugi::xml_node element, const ShiftContext& context);

// Drawing and VML rows count from 0. Where such a row is now; nullopt when it left the sheet.
std::optional<std::uint32_t> movedRow0(std::uint32_t row0, const RowShift& shift);

// An object on rows top..bottom (0-based; `bottomOnBoundary`: its lower edge lies on the top of row
// `bottom`) moved with its top-left cell, stretched by rows inserted inside it when `size` or else
// keeping its span of rows. nullopt when it would leave the sheet.
struct RowSpan0 {
    std::uint32_t top, bottom;
};
std::optional<RowSpan0> movedObject(RowSpan0 rows, bool bottomOnBoundary, bool size, const RowShift& shift);

// An anchor with from/to markers (<xdr:from><xdr:row>..<xdr:rowOff>..), moved as movedObject says.
bool shiftMarkers(pugi::xml_node anchor, bool size, const RowShift& shift);
// A single from marker (one-cell anchors): it moves with its cell.
bool shiftFromMarker(pugi::xml_node anchor, const RowShift& shift);

} // namespace xlsx::shiftedits
