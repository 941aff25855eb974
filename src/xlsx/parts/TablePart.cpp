#include "parts/TablePart.h"

#include "formula/ReferenceSyntax.h"
#include "xml/Dom.h"
#include "xml/XmlScan.h"

#include <algorithm>

namespace xlsx {

TableDefinition readTablePart(std::string_view xml, const Place& place) {
    pugi::xml_document document;
    auto table = dom::parseRoot(document, xml, place, "table", "en tabell");
    TableDefinition out;
    out.name = dom::attribute(table, "displayName").value();
    if (out.name.empty()) out.name = dom::attribute(table, "name").value();
    std::string_view ref = dom::attribute(table, "ref").value();
    std::size_t pos = 0;
    auto area = parseArea(ref, pos);
    if (!area || pos != ref.size() || area->kind == AreaKind::Columns || area->kind == AreaKind::Rows)
        place.fail(kCannotRead, "tabellen har et ugyldig område «" + std::string(ref) + "»");
    out.top = std::min(area->first.row, area->last.row);
    out.bottom = std::max(area->first.row, area->last.row);
    out.left = std::min(area->first.column, area->last.column);
    out.right = std::max(area->first.column, area->last.column);
    auto count = [&](std::string_view attribute, std::uint32_t otherwise) {
        auto value = dom::attribute(table, attribute);
        if (!value) return otherwise;
        auto parsed = scan::parseUnsigned(value.value());
        if (!parsed || *parsed > 1)
            place.fail(kCannotRead,
                       "tabellen har en ugyldig " + std::string(attribute) + " «" + value.value() + "»");
        return *parsed;
    };
    out.headerRows = count("headerRowCount", 1);
    out.totalsRows = count("totalsRowCount", 0);
    for (auto column : dom::child(table, "tableColumns").children())
        if (dom::isElement(column, "tableColumn"))
            out.columns.emplace_back(dom::attribute(column, "name").value());
    if (out.columns.size() != out.right - out.left + 1 ||
        out.bottom - out.top + 1 < out.headerRows + out.totalsRows)
        place.fail(kCannotRead, "tabellens kolonner passer ikke til området «" + std::string(ref) + "»");
    return out;
}

} // namespace xlsx
