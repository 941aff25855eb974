#pragma once

// pugixml plumbing shared by the frame and part shifters: parse a part keeping everything that can be
// written back, write it back raw, match elements by local name whatever their prefix, and edit area
// attributes and formula texts in place.

#include "xlsx/ReferenceShifter.h"
#include "xlsx/RowShift.h"

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

} // namespace xlsx::shiftxml
