#include "parts/Styles.h"

#include "sheets/DateFormat.h"
#include "xml/Dom.h"
#include "xml/XmlScan.h"

#include <unordered_map>

namespace xlsx {

namespace {

// A missing or unreadable number counts as 0, the General format.
std::uint32_t attributeNumber(pugi::xml_node node, const char* name) {
    return scan::parseUnsigned(node.attribute(name).value()).value_or(0);
}

} // namespace

Styles::Styles(std::string_view xml, const Place& place) {
    pugi::xml_document document;
    dom::parse(document, xml, place);
    pugi::xml_node root = document.document_element();
    std::unordered_map<std::uint32_t, bool> custom;
    for (pugi::xml_node format : dom::child(root, "numFmts").children())
        if (dom::isElement(format, "numFmt"))
            custom[attributeNumber(format, "numFmtId")] =
                sheets::isDateTimeFormatCode(format.attribute("formatCode").value());
    for (pugi::xml_node xf : dom::child(root, "cellXfs").children()) {
        if (!dom::isElement(xf, "xf")) continue;
        std::uint32_t id = attributeNumber(xf, "numFmtId");
        auto it = custom.find(id);
        m_isDate.push_back(it != custom.end() ? it->second : sheets::isBuiltInDateTimeFormat(id));
    }
}

} // namespace xlsx
