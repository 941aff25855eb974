#include "shift/FrameShifter.h"

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
using dom::child;
using dom::localName;
using dom::namespaceUri;
using scan::parseUnsigned;

// The namespace of xm:f and xm:sqref inside extension lists.
constexpr std::string_view kExcelMainNamespace = "http://schemas.microsoft.com/office/excel/2006/main";

// Element, area attribute, and whether the element means nothing once its area has left the sheet.
struct AreaPlace {
    std::string_view element;
    const char* attribute;
    bool dropWhenGone;
};

constexpr AreaPlace kAreaPlaces[] = {
    {"mergeCell", "ref", true},      {"hyperlink", "ref", true},      {"protectedRange", "sqref", true},
    {"ignoredError", "sqref", true}, {"cellWatch", "r", true},        {"autoFilter", "ref", false},
    {"sortState", "ref", false},     {"sortCondition", "ref", false}, {"selection", "activeCell", false},
    {"selection", "sqref", false},   {"inputCells", "r", false},
};

// Containers that the schema does not allow empty (or that are useless empty).
bool prunableWhenEmpty(std::string_view local) {
    return local == "mergeCells" || local == "hyperlinks" || local == "protectedRanges" ||
           local == "ignoredErrors" || local == "dataValidations" || local == "conditionalFormattings" ||
           local == "rowBreaks" || local == "cellWatches" || local == "ext" || local == "extLst";
}

// Corners stay in the order written, so the upper one may be either.
AreaCorner& upperCorner(Area& area) {
    return area.last.row < area.first.row ? area.last : area.first;
}
AreaCorner& lowerCorner(Area& area) {
    return area.last.row < area.first.row ? area.first : area.last;
}

std::optional<std::vector<Area>> parseAreas(std::string_view list) {
    std::vector<Area> areas;
    std::size_t pos = 0;
    for (;;) {
        while (pos < list.size() && list[pos] == ' ')
            ++pos;
        if (pos == list.size()) return areas;
        auto area = parseArea(list, pos);
        if (!area || (pos < list.size() && list[pos] != ' ')) return std::nullopt;
        areas.push_back(*area);
    }
}

// The rows the areas of a list span, top of the highest to bottom of the lowest; nullopt when that is not
// known (whole columns, anything not understood, an empty list).
struct RowSpan {
    std::uint32_t top, bottom;
};

std::optional<RowSpan> rowSpan(std::string_view list) {
    auto areas = parseAreas(list);
    if (!areas || areas->empty()) return std::nullopt;
    RowSpan span{kMaxRow, 0};
    for (auto& area : *areas) {
        if (area.kind == AreaKind::Columns) return std::nullopt;
        span.top = std::min(span.top, upperCorner(area).row);
        span.bottom = std::max(span.bottom, lowerCorner(area).row);
    }
    return span;
}

std::string joinAreas(const std::vector<Area>& areas) {
    std::string list;
    for (const auto& area : areas) {
        if (!list.empty()) list += ' ';
        list += formatArea(area);
    }
    return list;
}

// The inserted row took the origin row's formats, and with them the conditional formats and validations
// lying on it: an area that covers the origin but not the new row takes the new row in.
std::optional<std::string> coverInsertedRow(std::string_view list, const RowInsertion& insertion) {
    auto origin = insertion.originRow();
    if (origin < 1 || origin > kMaxRow) return std::nullopt;
    auto areas = parseAreas(list);
    if (!areas) return std::nullopt;
    bool changed = false;
    for (auto& area : *areas) {
        if (area.kind == AreaKind::Columns) continue;
        auto top = upperCorner(area).row, bottom = lowerCorner(area).row;
        if (origin < top || origin > bottom || (insertion.row >= top && insertion.row <= bottom)) continue;
        if (insertion.row + 1 != top && bottom + 1 != insertion.row) continue;
        if (area.kind == AreaKind::Cell) {
            area.kind = AreaKind::Range;
            area.last = area.first;
        }
        if (insertion.row + 1 == top)
            upperCorner(area).row = insertion.row;
        else
            lowerCorner(area).row = insertion.row;
        changed = true;
    }
    if (!changed) return std::nullopt;
    return joinAreas(*areas);
}

class FrameEditor {
public:
    explicit FrameEditor(const FrameShiftInput& input) : m_input(input) {}

    bool edit(pugi::xml_node root) {
        walk(root);
        for (auto node : m_doomed) {
            auto parent = node.parent();
            parent.remove_child(node);
            settle(parent);
        }
        return m_changed;
    }

private:
    void walk(pugi::xml_node parent) {
        for (auto node : parent.children()) {
            if (node.type() != pugi::node_element) continue;
            auto local = localName(node);
            if (local == "conditionalFormatting" || local == "dataValidation") {
                shiftFormatted(node);
                continue;
            }
            if (local == "sheetData") continue;
            for (const auto& place : kAreaPlaces) {
                if (place.element != local) continue;
                auto outcome = shiftAreaAttribute(node, place.attribute, m_input.shift);
                if (outcome == Outcome::Changed) m_changed = true;
                if (outcome == Outcome::Gone && place.dropWhenGone) doom(node);
            }
            if (local == "pane") shiftPane(node);
            if (local == "anchor") shiftObjectAnchor(node);
            if (local == "controlPr") {
                // The cell a form control writes to and the range it lists.
                for (const char* name : {"linkedCell", "listFillRange"}) {
                    auto attribute = node.attribute(name);
                    if (auto shifted =
                            attribute ? shiftFormula(attribute.value(), m_input.formulas) : std::nullopt) {
                        attribute.set_value(shifted->c_str());
                        m_changed = true;
                    }
                }
            }
            if (local == "brk" && localName(node.parent()) == "rowBreaks") shiftBreak(node);
            if (local == "sqref" && namespaceUri(node) == kExcelMainNamespace) shiftAreaText(node);
            if (local == "f" && namespaceUri(node) == kExcelMainNamespace &&
                shiftFormulaText(node, m_input.formulas))
                m_changed = true;
            walk(node);
        }
    }

    // A conditional format or validation: the range (sqref attribute, or an xm:sqref child in the
    // extension form) with the origin rule, then the formulas of its rules.
    void shiftFormatted(pugi::xml_node element) {
        auto attribute = element.attribute("sqref");
        auto sqrefElement = attribute ? pugi::xml_node() : child(element, "sqref");
        std::string before = attribute ? attribute.value() : sqrefElement.text().get();
        auto after = shiftWithOrigins(before);
        if (after && after->empty()) {
            doom(element);
            return;
        }
        int anchorMove = 0;
        if (after) {
            if (attribute)
                attribute.set_value(after->c_str());
            else
                sqrefElement.text().set(after->c_str());
            m_changed = true;
            anchorMove = anchorDelta(before, *after);
        }
        shiftRuleFormulas(element, anchorMove);
    }

    std::optional<std::string> shiftWithOrigins(const std::string& before) const {
        std::string current = before;
        auto span = rowSpan(current);
        // Insertions above every area only move it: they are gathered and applied at once.
        RowShift pending;
        auto flush = [&] {
            if (pending.empty()) return;
            if (auto shifted = shiftAreaList(current, pending)) current = std::move(*shifted);
            pending = RowShift();
        };
        for (const auto& insertion : m_input.insertions) {
            // Rows inserted more than one below every area neither move nor cover anything here.
            if (span && insertion.row > span->bottom + 1) continue;
            if (span && insertion.row < span->top && span->bottom < kMaxRow) {
                pending.insert(insertion.row);
                ++span->top;
                ++span->bottom;
                continue;
            }
            flush();
            RowShift one;
            one.insert(insertion.row);
            if (auto shifted = shiftAreaList(current, one)) current = std::move(*shifted);
            if (current.empty()) break;
            if (auto covered = coverInsertedRow(current, insertion)) current = std::move(*covered);
            span = rowSpan(current);
        }
        flush();
        if (current == before) return std::nullopt;
        return current;
    }

    // Relative references in rule formulas are written as seen from the top-left cell of the first
    // area. When that cell is no longer where its row moved to (the area took in a new row above it),
    // the formula text must be re-seen from the new corner.
    int anchorDelta(std::string_view before, std::string_view after) const {
        auto old = parseAreas(before), now = parseAreas(after);
        if (!old || !now || old->empty() || old->size() != now->size() ||
            old->front().kind == AreaKind::Columns)
            return 0;
        auto expected = m_input.shift.map(upperCorner(old->front()).row);
        return static_cast<int>(static_cast<std::int64_t>(upperCorner(now->front()).row) - expected);
    }

    void shiftRuleFormulas(pugi::xml_node parent, int anchorMove) {
        for (auto node : parent.children()) {
            if (node.type() != pugi::node_element) continue;
            auto local = localName(node);
            bool ownFormula =
                (local == "formula" || local == "formula1" || local == "formula2") &&
                !node.find_child([](pugi::xml_node n) { return n.type() == pugi::node_element; });
            bool extensionFormula = local == "f" && namespaceUri(node) == kExcelMainNamespace;
            if (ownFormula || extensionFormula) {
                if (auto text = node.text()) {
                    if (auto shifted = shiftRuleFormula(text.get(), anchorMove)) text.set(shifted->c_str());
                }
            } else if (local == "cfvo") {
                // A cfvo value may be a formula ("$B$1"); numbers come back unchanged.
                if (auto value = node.attribute("val")) {
                    if (auto shifted = shiftRuleFormula(value.value(), anchorMove))
                        value.set_value(shifted->c_str());
                }
            }
            shiftRuleFormulas(node, anchorMove);
        }
    }

    std::optional<std::string> shiftRuleFormula(std::string_view formula, int anchorMove) {
        auto shifted = shiftFormula(formula, m_input.formulas);
        std::string result = shifted ? std::move(*shifted) : std::string(formula);
        if (anchorMove != 0) result = translateFormula(result, anchorMove, 0);
        if (result == formula) return std::nullopt;
        m_changed = true;
        return result;
    }

    void shiftAreaText(pugi::xml_node element) {
        auto text = element.text();
        if (!text) return;
        auto shifted = shiftAreaList(text.get(), m_input.shift);
        if (!shifted || shifted->empty()) return;
        text.set(shifted->c_str());
        m_changed = true;
    }

    // A frozen split counts rows: it grows with insertions among the frozen rows, and a pane scrolled
    // to its start stays there. Elsewhere the top-left cell moves like any reference.
    void shiftPane(pugi::xml_node pane) {
        std::string_view state = pane.attribute("state").value();
        // 0: no frozen split. A plain number, not an optional: GCC 12 at -Os reports a false
        // maybe-uninitialized for the optional.
        const std::uint32_t split = (state == "frozen" || state == "frozenSplit")
                                        ? parseUnsigned(pane.attribute("ySplit").value()).value_or(0)
                                        : 0;
        std::optional<std::uint32_t> newSplit;
        if (split >= 1 && split < kMaxRow) {
            newSplit = m_input.shift.map(split);
            if (*newSplit >= kMaxRow) newSplit.reset();
            if (newSplit && *newSplit != split) {
                pane.attribute("ySplit").set_value(std::to_string(*newSplit).c_str());
                m_changed = true;
            }
        }
        auto topLeft = pane.attribute("topLeftCell");
        auto cell = CellRef::parse(topLeft.value());
        if (!cell) return;
        auto row = (newSplit && cell->row() == split + 1) ? *newSplit + 1 : m_input.shift.map(cell->row());
        if (row == cell->row() || row > kMaxRow) return;
        topLeft.set_value(CellRef(row, cell->column()).toString().c_str());
        m_changed = true;
    }

    // Embedded objects and form controls: <anchor moveWithCells sizeWithCells> with from/to markers.
    void shiftObjectAnchor(pugi::xml_node anchor) {
        auto flag = [&](const char* name) {
            std::string_view value = anchor.attribute(name).value();
            return value == "1" || value == "true";
        };
        if (flag("moveWithCells") && shiftMarkers(anchor, flag("sizeWithCells"), m_input.shift))
            m_changed = true;
    }

    // brk id is the 0-based index of the row below the break (1-based: the last row before it); the
    // break goes with the row below it.
    void shiftBreak(pugi::xml_node brk) {
        auto attribute = brk.attribute("id");
        auto id = parseUnsigned(attribute.value());
        if (!id || *id >= kMaxRow) return;
        auto moved = m_input.shift.map(*id + 1) - 1;
        if (moved == *id) return;
        if (moved >= kMaxRow)
            doom(brk);
        else
            attribute.set_value(std::to_string(moved).c_str());
        m_changed = true;
    }

    void doom(pugi::xml_node node) {
        m_doomed.push_back(node);
        m_changed = true;
    }

    // After a removal: drop containers left empty, keep counts right.
    void settle(pugi::xml_node container) {
        while (container && container.type() == pugi::node_element) {
            unsigned elements = 0, manual = 0;
            for (auto node : container.children()) {
                if (node.type() != pugi::node_element) continue;
                ++elements;
                std::string_view man = node.attribute("man").value();
                if (man == "1" || man == "true") ++manual;
            }
            if (elements == 0 && prunableWhenEmpty(localName(container))) {
                auto parent = container.parent();
                parent.remove_child(container);
                container = parent;
                continue;
            }
            if (auto count = container.attribute("count")) count.set_value(elements);
            if (auto count = container.attribute("manualBreakCount")) count.set_value(manual);
            return;
        }
    }

    const FrameShiftInput& m_input;
    bool m_changed = false;
    std::vector<pugi::xml_node> m_doomed;
};

} // namespace

std::optional<std::string> shiftWorksheetFrame(std::string_view frame, const FrameShiftInput& input,
                                               const Place& place) {
    pugi::xml_document document;
    dom::parse(document, frame, place);
    if (!FrameEditor(input).edit(document)) return std::nullopt;
    return dom::writeKeepingProlog(document, frame);
}

} // namespace xlsx
