#pragma once

// pugixml plumbing shared by the frame and part shifters: parse a part keeping everything that can be
// written back, write it back raw, match elements by local name whatever their prefix, and edit area
// attributes and formula texts in place.

#include "formula/ReferenceShifter.h"
#include "formula/RowShift.h"

#include <cstdint>
#include <optional>
#include <pugixml.hpp>
#include <string>
#include <string_view>

namespace xlsx::shiftxml {

// Throws sheets::Error naming `what` (a Norwegian description of the part) when `xml` is not well-formed.
void parse(pugi::xml_document& document, std::string_view xml, std::string_view what);
// The document written back raw; what stood before the root element in `original` (declaration, line
// breaks) and the blanks after it are kept byte for byte.
std::string serialize(const pugi::xml_document& document, std::string_view original);

std::string_view localName(pugi::xml_node node);
std::string_view localName(pugi::xml_attribute attribute);
// The namespace URI of the element's prefix (or of the default namespace), found on it or its ancestors.
std::string_view namespaceUri(pugi::xml_node element);
// The first child element with that local name.
pugi::xml_node child(pugi::xml_node parent, std::string_view local);

// Decimal digits only (surrounding blanks allowed); nullopt for anything else.
std::optional<std::uint32_t> parseUnsigned(std::string_view text);

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

} // namespace xlsx::shiftxml
