#include "parts/WorkbookPart.h"

#include "sheets/Error.h"

#include <cstring>
#include <pugixml.hpp>
#include <sstream>

namespace xlsx {

namespace {

// Producers use any prefix (x:sheet) and the strict namespace as well as the transitional one:
// elements are matched on their local names.
std::string_view localName(const char* qualified) {
    const char* colon = std::strrchr(qualified, ':');
    return colon ? std::string_view(colon + 1) : std::string_view(qualified);
}

pugi::xml_node child(pugi::xml_node parent, std::string_view name) {
    for (auto node : parent.children())
        if (node.type() == pugi::node_element && localName(node.name()) == name) return node;
    return {};
}

pugi::xml_attribute attribute(pugi::xml_node node, std::string_view name) {
    for (auto attr : node.attributes())
        if (localName(attr.name()) == name) return attr;
    return {};
}

bool isTrue(std::string_view value) {
    return value == "1" || value == "true";
}

} // namespace

struct WorkbookPart::Document {
    pugi::xml_document xml;
};

WorkbookPart::WorkbookPart(std::string_view xml, std::string_view fileName, std::string partName)
    : m_partName(std::move(partName)), m_doc(std::make_unique<Document>()) {
    auto parsed =
        m_doc->xml.load_buffer(xml.data(), xml.size(), pugi::parse_default | pugi::parse_declaration);
    if (!parsed)
        throw sheets::Error("Arbeidsboken «" + std::string(fileName) + "» er skadet: delen " + m_partName +
                            " er ikke gyldig XML (" + parsed.description() + ")");
    auto workbook = m_doc->xml.document_element();
    if (localName(workbook.name()) != "workbook")
        throw sheets::Error("Arbeidsboken «" + std::string(fileName) + "» er skadet: delen " + m_partName +
                            " er ikke en arbeidsbok");

    for (auto sheet : child(workbook, "sheets").children()) {
        if (sheet.type() != pugi::node_element || localName(sheet.name()) != "sheet") continue;
        // The relationship id is r:id in the relationships namespace, whatever its prefix.
        std::string id;
        for (auto attr : sheet.attributes())
            if (std::strchr(attr.name(), ':') && localName(attr.name()) == "id") id = attr.value();
        m_sheets.push_back({sheet.attribute("name").value(), id});
    }
    if (auto view = child(child(workbook, "bookViews"), "workbookView")) {
        int tab = attribute(view, "activeTab").as_int(0);
        m_activeTab = tab >= 0 && tab < static_cast<int>(m_sheets.size()) ? tab : 0;
    }
    m_date1904 = isTrue(attribute(child(workbook, "workbookPr"), "date1904").value());
    for (auto name : child(workbook, "definedNames").children()) {
        if (name.type() != pugi::node_element || localName(name.name()) != "definedName") continue;
        auto local = attribute(name, "localSheetId");
        m_definedNames.push_back(
            {attribute(name, "name").value(), name.text().get(), local ? local.as_int(-1) : -1});
    }
}

WorkbookPart::~WorkbookPart() = default;

void WorkbookPart::setDefinedNameFormula(std::size_t index, std::string formula) {
    std::size_t seen = 0;
    auto workbook = m_doc->xml.document_element();
    for (auto name : child(workbook, "definedNames").children()) {
        if (name.type() != pugi::node_element || localName(name.name()) != "definedName") continue;
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
                if (localName(node.name()) == name) last = node;
        }
        std::string qualified = "calcPr";
        if (const char* colon = std::strrchr(workbook.name(), ':'))
            qualified = std::string(workbook.name(), colon + 1) + qualified;
        calcPr = last ? workbook.insert_child_after(qualified.c_str(), last)
                      : workbook.prepend_child(qualified.c_str());
    }
    auto flag = attribute(calcPr, "fullCalcOnLoad");
    if (flag && isTrue(flag.value())) return;
    if (!flag) flag = calcPr.append_attribute("fullCalcOnLoad");
    flag.set_value("1");
    m_dirty = true;
}

std::string WorkbookPart::serialize() const {
    std::ostringstream out;
    m_doc->xml.save(out, "", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf8);
    return out.str();
}

} // namespace xlsx
