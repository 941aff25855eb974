#include "shift/ShiftEdits.h"

#include "formula/CellRef.h"
#include "xml/Dom.h"
#include "xml/XmlScan.h"

#include <algorithm>

namespace xlsx::shiftedits {

using dom::child;
using scan::parseUnsigned;

Outcome shiftAreaAttribute(pugi::xml_node element, const char* attribute, const RowShift& shift) {
    auto value = element.attribute(attribute);
    if (!value) return Outcome::Same;
    auto shifted = shiftAreaList(value.value(), shift);
    if (!shifted) return Outcome::Same;
    if (shifted->empty()) return Outcome::Gone;
    value.set_value(shifted->c_str());
    return Outcome::Changed;
}

bool shiftFormulaText(pugi::xml_node element, const ShiftContext& context) {
    auto text = element.text();
    if (!text) return false;
    auto shifted = shiftFormula(text.get(), context);
    if (!shifted) return false;
    text.set(shifted->c_str());
    return true;
}

std::optional<std::uint32_t> movedRow0(std::uint32_t row0, const RowShift& shift) {
    if (row0 >= kMaxRow) return std::nullopt;
    auto moved = shift.map(row0 + 1) - 1;
    if (moved >= kMaxRow) return std::nullopt;
    return moved;
}

std::optional<RowSpan0> movedObject(RowSpan0 rows, bool bottomOnBoundary, bool size, const RowShift& shift) {
    auto top = movedRow0(rows.top, shift);
    if (!top) return std::nullopt;
    std::optional<std::uint32_t> bottom;
    if (!size) {
        auto kept = std::int64_t(rows.bottom) + (std::int64_t(*top) - rows.top);
        if (kept < std::int64_t(kMaxRow)) bottom = static_cast<std::uint32_t>(kept);
    } else if (bottomOnBoundary && rows.bottom > 0) {
        // A lower edge on a row boundary belongs to the row above it: a row inserted at the boundary
        // is below the object and must not stretch it.
        if (auto above = movedRow0(rows.bottom - 1, shift)) bottom = *above + 1;
    } else {
        bottom = movedRow0(rows.bottom, shift);
    }
    if (!bottom) return std::nullopt;
    // An object of no height on a boundary moves as one point.
    return RowSpan0{*top, std::max(*top, *bottom)};
}

namespace {

struct Marker {
    pugi::xml_node rowElement;
    std::uint32_t row = 0;
    bool onBoundary = false;

    bool set(std::uint32_t now) const {
        if (now == row) return false;
        rowElement.text().set(now);
        return true;
    }
};

std::optional<Marker> readMarker(pugi::xml_node anchor, std::string_view name) {
    auto marker = child(anchor, name);
    auto rowElement = child(marker, "row");
    auto row = parseUnsigned(rowElement.text().get());
    if (!row) return std::nullopt;
    auto offset = parseUnsigned(child(marker, "rowOff").text().get());
    return Marker{rowElement, *row, offset && *offset == 0};
}

} // namespace

bool shiftMarkers(pugi::xml_node anchor, bool size, const RowShift& shift) {
    auto from = readMarker(anchor, "from"), to = readMarker(anchor, "to");
    if (!from || !to) return false;
    auto moved = movedObject({from->row, to->row}, to->onBoundary, size, shift);
    if (!moved) return false;
    bool changed = from->set(moved->top);
    return to->set(moved->bottom) || changed;
}

bool shiftFromMarker(pugi::xml_node anchor, const RowShift& shift) {
    auto from = readMarker(anchor, "from");
    if (!from) return false;
    auto moved = movedRow0(from->row, shift);
    return moved && from->set(*moved);
}

} // namespace xlsx::shiftedits
