#include "shift/PartShifter.h"

#include "formula/CellRef.h"
#include "formula/ReferenceSyntax.h"
#include "shift/ShiftEdits.h"
#include "xml/Dom.h"
#include "xml/XmlScan.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace xlsx {

namespace {

using namespace shiftedits;
using dom::localName;
using scan::parseUnsigned;

template <typename Visit> void forEachElement(pugi::xml_node parent, const Visit& visit) {
    for (auto node : parent.children()) {
        if (node.type() != pugi::node_element) continue;
        visit(node);
        forEachElement(node, visit);
    }
}

// Parses the part, hands every element to `edit` (which says whether it changed it) and writes the
// part back when one was changed.
template <typename Edit>
std::optional<std::string> editElements(std::string_view xml, const Place& place, const Edit& edit) {
    pugi::xml_document document;
    dom::parse(document, xml, place);
    bool changed = false;
    forEachElement(document, [&](pugi::xml_node node) { changed = edit(node) || changed; });
    if (!changed) return std::nullopt;
    return dom::writeKeepingProlog(document, xml);
}

// For formulas in parts that do not know their sheet's name: references without a sheet name are the
// shifted sheet's; those naming a sheet stay as written.
ShiftContext ownSheetOnly(const RowShift& shift) {
    ShiftContext context;
    context.shiftFor = [&shift](std::string_view sheet) { return sheet.empty() ? &shift : nullptr; };
    return context;
}

// VML is edited as text; these find one element by local name with any prefix.
struct TextElement {
    std::size_t begin = 0;        // '<' of the start tag
    std::size_t contentBegin = 0; // after the start tag
    std::size_t contentEnd = 0;   // '<' of the end tag (== contentBegin when empty)
    std::size_t end = 0;          // after the element
    std::string_view startTag;
};

bool isNameEnd(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '>' || c == '/';
}

std::optional<TextElement> findTextElement(std::string_view text, std::string_view local, std::size_t from,
                                           std::size_t limit) {
    for (auto pos = text.find('<', from); pos != std::string_view::npos && pos < limit;
         pos = text.find('<', pos + 1)) {
        auto nameEnd = pos + 1;
        while (nameEnd < limit && !isNameEnd(text[nameEnd]))
            ++nameEnd;
        auto name = text.substr(pos + 1, nameEnd - pos - 1);
        auto colon = name.find(':');
        if ((colon == std::string_view::npos ? name : name.substr(colon + 1)) != local) continue;
        auto tagEnd = text.find('>', nameEnd);
        if (tagEnd == std::string_view::npos || tagEnd >= limit) return std::nullopt;
        TextElement element;
        element.begin = pos;
        element.startTag = text.substr(pos, tagEnd + 1 - pos);
        element.contentBegin = tagEnd + 1;
        if (text[tagEnd - 1] == '/') {
            element.contentEnd = element.end = element.contentBegin;
            return element;
        }
        auto close = "</" + std::string(name);
        auto closeAt = text.find(close, element.contentBegin);
        if (closeAt == std::string_view::npos || closeAt >= limit) return std::nullopt;
        auto closeEnd = text.find('>', closeAt);
        if (closeEnd == std::string_view::npos || closeEnd >= limit) return std::nullopt;
        element.contentEnd = closeAt;
        element.end = closeEnd + 1;
        return element;
    }
    return std::nullopt;
}

// A flag element such as <x:MoveWithCells/>: true when present without a value or with a true one.
bool flagSet(std::string_view text, std::string_view local, std::size_t from, std::size_t limit) {
    auto element = findTextElement(text, local, from, limit);
    if (!element) return false;
    auto value = text.substr(element->contentBegin, element->contentEnd - element->contentBegin);
    while (!value.empty() && isNameEnd(value.front()))
        value.remove_prefix(1);
    while (!value.empty() && isNameEnd(value.back()))
        value.remove_suffix(1);
    return value.empty() || value == "True" || value == "true" || value == "t" || value == "1";
}

struct Replacement {
    std::size_t begin, end;
    std::string text;
};

// The numbers of an x:Anchor ("col, colOff, row, rowOff, col, colOff, row, rowOff") with their places.
struct AnchorNumber {
    std::size_t begin, end;
    std::uint32_t value;
};

std::optional<std::vector<AnchorNumber>> readAnchor(std::string_view text, std::size_t begin,
                                                    std::size_t end) {
    std::vector<AnchorNumber> numbers;
    std::size_t pos = begin;
    while (pos < end) {
        auto comma = text.find(',', pos);
        if (comma == std::string_view::npos || comma > end) comma = end;
        auto field = text.substr(pos, comma - pos);
        auto value = parseUnsigned(field);
        if (!value) return std::nullopt;
        auto digits = field.find_first_of("0123456789");
        auto last = field.find_last_of("0123456789");
        numbers.push_back({pos + digits, pos + last + 1, *value});
        pos = comma + 1;
    }
    if (numbers.size() != 8) return std::nullopt;
    return numbers;
}

void shiftClientData(std::string_view text, const TextElement& data, const RowShift& shift,
                     std::vector<Replacement>& edits) {
    auto from = data.contentBegin, limit = data.contentEnd;
    bool note = data.startTag.find("\"Note\"") != std::string_view::npos ||
                data.startTag.find("'Note'") != std::string_view::npos;
    std::optional<std::int64_t> noteMove;
    if (auto rowElement = findTextElement(text, "Row", from, limit)) {
        auto row = parseUnsigned(
            text.substr(rowElement->contentBegin, rowElement->contentEnd - rowElement->contentBegin));
        if (row) {
            auto moved = movedRow0(*row, shift);
            if (moved && *moved != *row) {
                edits.push_back({rowElement->contentBegin, rowElement->contentEnd, std::to_string(*moved)});
                noteMove = std::int64_t(*moved) - *row;
            }
        }
    }
    // Form controls name cells by formula (x:FmlaLink $C$3, x:FmlaRange); unqualified ones are this sheet's.
    auto own = ownSheetOnly(shift);
    for (std::string_view name : {"FmlaLink", "FmlaRange"}) {
        auto formula = findTextElement(text, name, from, limit);
        if (!formula) continue;
        auto value = text.substr(formula->contentBegin, formula->contentEnd - formula->contentBegin);
        if (value.find('&') != std::string_view::npos) continue; // escaped text: leave it as written
        if (auto shifted = shiftFormula(value, own))
            edits.push_back({formula->contentBegin, formula->contentEnd, *shifted});
    }
    auto anchorElement = findTextElement(text, "Anchor", from, limit);
    if (!anchorElement) return;
    auto anchor = readAnchor(text, anchorElement->contentBegin, anchorElement->contentEnd);
    if (!anchor) return;
    auto top = (*anchor)[2].value, bottom = (*anchor)[6].value;
    std::optional<RowSpan0> moved;
    if (note) {
        // A note's box belongs to its cell: it goes where the cell went, keeping its shape.
        if (!noteMove || std::int64_t(bottom) + *noteMove >= std::int64_t(kMaxRow)) return;
        moved = RowSpan0{static_cast<std::uint32_t>(top + *noteMove),
                         static_cast<std::uint32_t>(bottom + *noteMove)};
    } else if (flagSet(text, "MoveWithCells", from, limit)) {
        moved = movedObject({top, bottom}, (*anchor)[7].value == 0,
                            flagSet(text, "SizeWithCells", from, limit), shift);
    }
    if (!moved) return;
    auto newTop = moved->top, newBottom = moved->bottom;
    if (newTop != top) edits.push_back({(*anchor)[2].begin, (*anchor)[2].end, std::to_string(newTop)});
    if (newBottom != bottom)
        edits.push_back({(*anchor)[6].begin, (*anchor)[6].end, std::to_string(newBottom)});
}

} // namespace

std::optional<std::string> shiftTablePart(std::string_view xml, const RowShift& shift, const Place& place) {
    auto own = ownSheetOnly(shift);
    return editElements(xml, place, [&](pugi::xml_node node) {
        auto local = localName(node);
        if (local == "table" || local == "autoFilter" || local == "sortState" || local == "sortCondition")
            return shiftAreaAttribute(node, "ref", shift) == Outcome::Changed;
        if (local == "calculatedColumnFormula" || local == "totalsRowFormula")
            return shiftFormulaText(node, own);
        return false;
    });
}

std::optional<std::string> shiftCommentsPart(std::string_view xml, const RowShift& shift,
                                             const Place& place) {
    return editElements(xml, place, [&](pugi::xml_node node) {
        auto local = localName(node);
        if (local != "comment" && local != "threadedComment") return false;
        auto outcome = shiftAreaAttribute(node, "ref", shift);
        // The cell store refuses to push content past the last row but does not see notes: dropping
        // one would lose the user's text silently.
        if (outcome == Outcome::Gone)
            place.withPart({}).fail("Kan ikke sette inn rader i", "merknaden ville bli skjøvet ut av arket",
                                    node.attribute("ref").value());
        return outcome == Outcome::Changed;
    });
}

std::optional<std::string> shiftVmlDrawing(std::string_view xml, const RowShift& shift) {
    std::vector<Replacement> edits;
    std::size_t pos = 0;
    while (auto data = findTextElement(xml, "ClientData", pos, xml.size())) {
        shiftClientData(xml, *data, shift, edits);
        pos = data->end;
    }
    if (edits.empty()) return std::nullopt;
    // Edits were gathered element by element, not in the order they stand.
    std::sort(edits.begin(), edits.end(),
              [](const Replacement& a, const Replacement& b) { return a.begin < b.begin; });
    std::string out;
    out.reserve(xml.size() + edits.size() * 2);
    std::size_t copied = 0;
    for (const auto& edit : edits) {
        out.append(xml.substr(copied, edit.begin - copied));
        out += edit.text;
        copied = edit.end;
    }
    out.append(xml.substr(copied));
    return out;
}

std::optional<std::string> shiftDrawingPart(std::string_view xml, const RowShift& shift, const Place& place) {
    return editElements(xml, place, [&](pugi::xml_node node) {
        auto local = localName(node);
        if (local == "twoCellAnchor") {
            // editAs: twoCell (the default) moves and stretches, oneCell moves, absolute stays.
            std::string_view editAs = node.attribute("editAs").value();
            return editAs != "absolute" && shiftMarkers(node, editAs != "oneCell", shift);
        }
        return local == "oneCellAnchor" && shiftFromMarker(node, shift);
    });
}

std::optional<std::string> shiftChartPart(std::string_view xml, const ShiftContext& context,
                                          const Place& place) {
    return editElements(xml, place, [&](pugi::xml_node node) {
        auto local = localName(node);
        // c:f, c15:f and the c15:sqref of full references all hold sheet-qualified formulas.
        return (local == "f" || local == "sqref") && shiftFormulaText(node, context);
    });
}

std::string pivotTableLocation(std::string_view xml, const Place& place) {
    pugi::xml_document document;
    dom::parse(document, xml, place);
    return dom::attribute(dom::child(document.document_element(), "location"), "ref").value();
}

bool insertsInside(const RowShift& shift, std::string_view area) {
    std::size_t pos = 0;
    auto parsed = parseArea(area, pos);
    if (!parsed || pos != area.size()) return false;
    auto [top, bottom] = std::minmax(parsed->first.row, parsed->last.row);
    return shift.map(bottom) - shift.map(top) != bottom - top;
}

std::string pivotTableSplit(std::string_view area) {
    return "pivottabellen i " + std::string(area) +
           " ville bli delt; den må ligge helt over eller under de nye radene";
}

std::optional<std::string> shiftPivotTablePart(std::string_view xml, const RowShift& shift,
                                               const Place& place) {
    return editElements(xml, place, [&](pugi::xml_node node) {
        if (localName(node) != "location") return false;
        // Refused when the row is inserted; this catches a caller that got past that.
        std::string_view ref = node.attribute("ref").value();
        if (insertsInside(shift, ref))
            place.withPart({}).fail("Kan ikke sette inn rader i", pivotTableSplit(ref));
        return shiftAreaAttribute(node, "ref", shift) == Outcome::Changed;
    });
}

std::optional<std::string> shiftPivotCacheDefinition(std::string_view xml, const ShiftContext& context,
                                                     const Place& place) {
    return editElements(xml, place, [&](pugi::xml_node node) {
        if (localName(node) != "worksheetSource" || !context.shiftFor) return false;
        // A named source follows its defined name; an r:id source lies in another workbook.
        for (auto attribute : node.attributes())
            if (localName(attribute) == "id" || std::string_view(attribute.name()) == "name") return false;
        auto sheet = node.attribute("sheet");
        const RowShift* shift = sheet ? context.shiftFor(sheet.value()) : nullptr;
        return shift && shiftAreaAttribute(node, "ref", *shift) == Outcome::Changed;
    });
}

} // namespace xlsx
