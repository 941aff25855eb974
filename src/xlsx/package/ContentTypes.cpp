#include "package/ContentTypes.h"

#include "xml/PartXml.h"

namespace xlsx {

namespace {

constexpr std::string_view kPartName = "[Content_Types].xml";

constexpr std::string_view kWhat = "en liste over innholdstyper";

} // namespace

ContentTypes::ContentTypes(std::string_view xml) : m_xml(xml) {
    pugi::xml_document doc;
    for (auto node : partxml::parseRoot(doc, xml, kPartName, "Types", kWhat).children()) {
        const std::string type = partxml::attribute(node, "ContentType").value();
        if (partxml::isElement(node, "Override"))
            m_overrides.emplace(partxml::partKey(partxml::attribute(node, "PartName").value()), type);
        else if (partxml::isElement(node, "Default"))
            m_defaults.emplace(partxml::partKey(partxml::attribute(node, "Extension").value()), type);
    }
}

bool ContentTypes::removeOverride(std::string_view partName) {
    const auto wanted = partxml::partKey(partName);
    if (!m_overrides.erase(wanted)) return false;
    pugi::xml_document doc;
    partxml::removeChildren(
        partxml::parseRoot(doc, m_xml, kPartName, "Types", kWhat), [&](pugi::xml_node node) {
            return partxml::isElement(node, "Override") &&
                   partxml::partKey(partxml::attribute(node, "PartName").value()) == wanted;
        });
    m_xml = partxml::serialize(doc);
    return true;
}

void ContentTypes::setOverride(std::string_view partName, const std::string& contentType) {
    const auto wanted = partxml::partKey(partName);
    pugi::xml_document doc;
    auto root = partxml::parseRoot(doc, m_xml, kPartName, "Types", kWhat);
    pugi::xml_node found;
    for (auto node : root.children())
        if (partxml::isElement(node, "Override") &&
            partxml::partKey(partxml::attribute(node, "PartName").value()) == wanted)
            found = node;
    if (!found) {
        found = partxml::appendChild(root, "Override");
        std::string name(partName);
        if (!name.starts_with('/')) name.insert(0, 1, '/');
        found.append_attribute("PartName").set_value(name.c_str());
    }
    auto type = partxml::attribute(found, "ContentType");
    if (!type) type = found.append_attribute("ContentType");
    type.set_value(contentType.c_str());
    m_xml = partxml::serialize(doc);
    m_overrides[wanted] = contentType;
}

std::string ContentTypes::typeOf(std::string_view partName) const {
    const auto key = partxml::partKey(partName);
    if (auto found = m_overrides.find(key); found != m_overrides.end()) return found->second;
    const auto slash = key.rfind('/');
    const auto dot = key.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
    auto found = m_defaults.find(key.substr(dot + 1));
    return found == m_defaults.end() ? std::string() : found->second;
}

} // namespace xlsx
