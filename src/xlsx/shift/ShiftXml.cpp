#include "shift/ShiftXml.h"

#include "formula/CellRef.h"
#include "sheets/Error.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <sstream>

namespace xlsx::shiftxml {

namespace {

// Everything pugixml can keep goes in: comments, processing instructions and blank text nodes are
// written back as they were instead of vanishing from a part we only meant to touch in a few places.
constexpr unsigned kParseOptions = pugi::parse_default | pugi::parse_declaration | pugi::parse_comments |
                                   pugi::parse_pi | pugi::parse_ws_pcdata;

std::string_view afterColon(const char* name) {
    std::string_view text(name);
    auto colon = text.find(':');
    return colon == std::string_view::npos ? text : text.substr(colon + 1);
}

} // namespace

void parse(pugi::xml_document& document, std::string_view xml, std::string_view what) {
    auto result = document.load_buffer(xml.data(), xml.size(), kParseOptions, pugi::encoding_utf8);
    if (!result)
        throw sheets::Error("Kan ikke lese " + std::string(what) + ": ugyldig XML ved tegn " +
                            std::to_string(result.offset));
}

std::string serialize(const pugi::xml_document& document, std::string_view original) {
    std::size_t root = 0;
    for (;;) {
        auto next = original.find_first_not_of(" \t\r\n", root);
        if (next == std::string_view::npos) break;
        std::size_t close = std::string_view::npos;
        if (original.compare(next, 4, "<!--") == 0) {
            close = original.find("-->", next);
            if (close != std::string_view::npos) close += 3;
        } else if (original.compare(next, 2, "<?") == 0) {
            close = original.find("?>", next);
            if (close != std::string_view::npos) close += 2;
        } else if (original.compare(next, 2, "<!") == 0) {
            close = original.find('>', next);
            if (close != std::string_view::npos) close += 1;
        }
        if (close == std::string_view::npos) {
            root = next;
            break;
        }
        root = close;
    }
    auto last = original.find_last_not_of(" \t\r\n");
    std::ostringstream out;
    out << original.substr(0, root);
    for (auto node = document.document_element(); node; node = node.next_sibling())
        node.print(out, "", pugi::format_raw, pugi::encoding_utf8);
    if (last != std::string_view::npos) out << original.substr(last + 1);
    return std::move(out).str();
}

std::string_view localName(pugi::xml_node node) {
    return afterColon(node.name());
}
std::string_view localName(pugi::xml_attribute attribute) {
    return afterColon(attribute.name());
}

std::string_view namespaceUri(pugi::xml_node element) {
    std::string_view name(element.name());
    auto colon = name.find(':');
    std::string declaration = colon == std::string_view::npos ? std::string("xmlns")
                                                              : "xmlns:" + std::string(name.substr(0, colon));
    for (auto node = element; node; node = node.parent())
        if (auto attribute = node.attribute(declaration.c_str())) return attribute.value();
    return {};
}

pugi::xml_node child(pugi::xml_node parent, std::string_view local) {
    for (auto node : parent.children())
        if (node.type() == pugi::node_element && localName(node) == local) return node;
    return {};
}

std::optional<std::uint32_t> parseUnsigned(std::string_view text) {
    while (!text.empty() &&
           (text.front() == ' ' || text.front() == '\t' || text.front() == '\n' || text.front() == '\r'))
        text.remove_prefix(1);
    while (!text.empty() &&
           (text.back() == ' ' || text.back() == '\t' || text.back() == '\n' || text.back() == '\r'))
        text.remove_suffix(1);
    std::uint32_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

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

} // namespace xlsx::shiftxml
