#include "package/ContentTypes.h"

#include "package/PartName.h"
#include "xml/Dom.h"

namespace xlsx {

namespace {

constexpr std::string_view kWhat = "en liste over innholdstyper";

} // namespace

ContentTypes::ContentTypes(std::string_view xml, Place place) : m_place(std::move(place)), m_xml(xml) {
    pugi::xml_document doc;
    for (auto node : dom::parseRoot(doc, xml, m_place, "Types", kWhat).children()) {
        const std::string type = dom::attribute(node, "ContentType").value();
        if (dom::isElement(node, "Override"))
            m_overrides.emplace(partKey(dom::attribute(node, "PartName").value()), type);
        else if (dom::isElement(node, "Default"))
            m_defaults.emplace(partKey(dom::attribute(node, "Extension").value()), type);
    }
}

bool ContentTypes::removeOverride(std::string_view partName) {
    const auto wanted = partKey(partName);
    if (!m_overrides.erase(wanted)) return false;
    pugi::xml_document doc;
    dom::removeChildren(dom::parseRoot(doc, m_xml, m_place, "Types", kWhat), [&](pugi::xml_node node) {
        return dom::isElement(node, "Override") &&
               partKey(dom::attribute(node, "PartName").value()) == wanted;
    });
    m_xml = dom::write(doc);
    return true;
}

void ContentTypes::setOverride(std::string_view partName, const std::string& contentType) {
    const auto wanted = partKey(partName);
    pugi::xml_document doc;
    auto root = dom::parseRoot(doc, m_xml, m_place, "Types", kWhat);
    pugi::xml_node found;
    for (auto node : root.children())
        if (dom::isElement(node, "Override") && partKey(dom::attribute(node, "PartName").value()) == wanted)
            found = node;
    if (!found) {
        found = dom::appendChild(root, "Override");
        std::string name(partName);
        if (!name.starts_with('/')) name.insert(0, 1, '/');
        found.append_attribute("PartName").set_value(name.c_str());
    }
    auto type = dom::attribute(found, "ContentType");
    if (!type) type = found.append_attribute("ContentType");
    type.set_value(contentType.c_str());
    m_xml = dom::write(doc);
    m_overrides[wanted] = contentType;
}

std::string ContentTypes::typeOf(std::string_view partName) const {
    const auto key = partKey(partName);
    if (auto found = m_overrides.find(key); found != m_overrides.end()) return found->second;
    const auto slash = key.rfind('/');
    const auto dot = key.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    auto found = m_defaults.find(key.substr(dot + 1));
    return found == m_defaults.end() ? std::string() : found->second;
}

} // namespace xlsx
