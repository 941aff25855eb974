#include "parts/Styles.h"

#include "sheets/DateFormat.h"
#include "xml/Dom.h"
#include "xml/XmlScan.h"

#include <optional>
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
    // The locked mark of an xf, when it has one.
    auto lockedMark = [](pugi::xml_node xf) -> std::optional<bool> {
        auto locked = dom::attribute(dom::child(xf, "protection"), "locked");
        if (!locked) return std::nullopt;
        return scan::isTrue(locked.value());
    };
    std::vector<bool> styleLocked;
    for (pugi::xml_node xf : dom::child(root, "cellStyleXfs").children())
        if (dom::isElement(xf, "xf")) styleLocked.push_back(lockedMark(xf).value_or(true));
    for (pugi::xml_node xf : dom::child(root, "cellXfs").children()) {
        if (!dom::isElement(xf, "xf")) continue;
        const std::uint32_t parent = attributeNumber(xf, "xfId");
        const bool inherited = parent < styleLocked.size() ? styleLocked[parent] : true;
        m_unlocked.push_back(!lockedMark(xf).value_or(inherited));
        std::uint32_t id = attributeNumber(xf, "numFmtId");
        auto it = custom.find(id);
        m_isDate.push_back(it != custom.end() ? it->second : sheets::isBuiltInDateTimeFormat(id));
    }
}

} // namespace xlsx
