#include "parts/WorkbookPart.h"

#include "xml/Dom.h"
#include "xml/XmlScan.h"

#include <cstring>

namespace xlsx {

namespace {

using dom::attribute;
using dom::child;

} // namespace

struct WorkbookPart::Document {
    pugi::xml_document xml;
};

WorkbookPart::WorkbookPart(std::string_view xml, Place place)
    : m_place(std::move(place)), m_doc(std::make_unique<Document>()) {
    auto workbook = dom::parseRoot(m_doc->xml, xml, m_place, "workbook", "en arbeidsbok");

    for (auto sheet : child(workbook, "sheets").children()) {
        if (!dom::isElement(sheet, "sheet")) continue;
        // The relationship id is r:id in the relationships namespace, whatever its prefix.
        std::string id;
        for (auto attr : sheet.attributes())
            if (std::strchr(attr.name(), ':') && dom::localName(attr) == "id") id = attr.value();
        m_sheets.push_back({sheet.attribute("name").value(), id});
    }
    if (auto view = child(child(workbook, "bookViews"), "workbookView")) {
        auto tab = scan::parseUnsigned(attribute(view, "activeTab").value());
        m_activeTab = tab && *tab < m_sheets.size() ? static_cast<int>(*tab) : 0;
    }
    m_date1904 = scan::isTrue(attribute(child(workbook, "workbookPr"), "date1904").value());
    m_fullCalculation = scan::isTrue(attribute(child(workbook, "calcPr"), "fullCalcOnLoad").value());
    for (auto name : child(workbook, "definedNames").children()) {
        if (!dom::isElement(name, "definedName")) continue;
        auto local = attribute(name, "localSheetId");
        auto sheet = local ? scan::parseUnsigned(local.value()) : std::nullopt;
        int scope = sheet && *sheet < 0x7FFFFFFF ? static_cast<int>(*sheet) : -1;
        m_definedNames.push_back({attribute(name, "name").value(), name.text().get(), scope});
    }
}

WorkbookPart::~WorkbookPart() = default;

void WorkbookPart::setDefinedNameFormula(std::size_t index, std::string formula) {
    std::size_t seen = 0;
    auto workbook = m_doc->xml.document_element();
    for (auto name : child(workbook, "definedNames").children()) {
        if (!dom::isElement(name, "definedName")) continue;
        if (seen++ != index) continue;
        name.text().set(formula.c_str());
        m_definedNames.at(index).formula = std::move(formula);
        m_dirty = true;
        return;
    }
}

void WorkbookPart::requestFullCalculationOnLoad() {
    auto workbook = m_doc->xml.document_element();
    auto calcPr = child(workbook, "calcPr");
    if (!calcPr) {
        // calcPr follows these in the schema's sequence; everything after them comes after it.
        static const char* const before[] = {"fileVersion",        "fileSharing",        "workbookPr",
                                             "workbookProtection", "bookViews",          "sheets",
                                             "functionGroups",     "externalReferences", "definedNames"};
        pugi::xml_node last;
        for (auto node : workbook.children()) {
            if (node.type() != pugi::node_element) continue;
            for (const char* name : before)
                if (dom::localName(node) == name) last = node;
        }
        const auto qualified = dom::qualifiedName(workbook, "calcPr");
        calcPr = last ? workbook.insert_child_after(qualified.c_str(), last)
                      : workbook.prepend_child(qualified.c_str());
    }
    auto flag = attribute(calcPr, "fullCalcOnLoad");
    m_fullCalculation = true;
    if (flag && scan::isTrue(flag.value())) return;
    if (!flag) flag = calcPr.append_attribute("fullCalcOnLoad");
    flag.set_value("1");
    m_dirty = true;
}

void WorkbookPart::clearFullCalculationOnLoad() {
    m_fullCalculation = false;
    auto calcPr = child(m_doc->xml.document_element(), "calcPr");
    if (auto flag = attribute(calcPr, "fullCalcOnLoad")) {
        calcPr.remove_attribute(flag);
        m_dirty = true;
    }
}

std::string WorkbookPart::serialize() const {
    return dom::write(m_doc->xml);
}

} // namespace xlsx
