#include "ShiftTestSupport.h"

#include "formula/ReferenceSyntax.h"
#include "sheets/AsciiCase.h"
#include "support/ZipEntries.h"

#include <gtest/gtest.h>
#include <pugixml.hpp>
#include <stdexcept>

namespace shifttest {

namespace {

std::string_view localName(const char* name) {
    std::string_view text(name);
    auto colon = text.find(':');
    return colon == std::string_view::npos ? text : text.substr(colon + 1);
}

struct Collector : pugi::xml_tree_walker {
    std::string_view element;
    const char* attribute = nullptr;
    std::vector<std::string> found;
    bool for_each(pugi::xml_node& node) override {
        if (node.type() == pugi::node_element && localName(node.name()) == element)
            found.emplace_back(attribute ? node.attribute(attribute).value() : node.text().get());
        return true;
    }
};

} // namespace

std::string partOf(const std::filesystem::path& workbook, const std::string& entry) {
    auto bytes = testsupport::zipEntry(workbook, entry);
    if (!bytes) throw std::runtime_error("no " + entry + " in " + workbook.string());
    return *bytes;
}

std::vector<std::string> values(const std::string& xml, std::string_view element, const char* attribute) {
    pugi::xml_document document;
    EXPECT_TRUE(document.load_string(xml.c_str())) << xml;
    Collector collector;
    collector.element = element;
    collector.attribute = attribute;
    document.traverse(collector);
    return collector.found;
}

Sheets::Sheets(std::vector<std::pair<std::string, std::vector<std::uint32_t>>> sheets) {
    for (auto& [name, rows] : sheets) {
        m_order.push_back(name);
        for (auto row : rows)
            m_shifts[name].insert(row);
    }
}

const xlsx::RowShift* Sheets::shift(std::string_view sheet) const {
    for (const auto& [name, shift] : m_shifts)
        if (sheets::equalIgnoringAsciiCase(name, sheet)) return &shift;
    return nullptr;
}

xlsx::ShiftContext Sheets::context(std::string_view formulaSheet) const {
    xlsx::ShiftContext context;
    context.formulaSheet = formulaSheet;
    context.sheetOrder = &m_order;
    context.shiftFor = [this](std::string_view sheet) { return shift(sheet); };
    return context;
}

} // namespace shifttest
