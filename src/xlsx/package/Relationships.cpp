#include "package/Relationships.h"

#include "package/PartName.h"
#include "xml/Dom.h"

#include <algorithm>
#include <charconv>

namespace xlsx {

namespace {

constexpr const char* kEmpty = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
                               "<Relationships "
                               "xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\"/>";

constexpr std::string_view kWhat = "en liste over relasjoner";

} // namespace

Relationships::Relationships(std::string sourcePart, std::string_view xml, Place place)
    : m_source(std::move(sourcePart)), m_place(std::move(place)), m_xml(xml) {
    if (!m_source.empty() && m_source.front() == '/') m_source.erase(0, 1);
    if (xml.empty()) return;
    pugi::xml_document doc;
    for (auto node : dom::parseRoot(doc, xml, m_place, "Relationships", kWhat).children()) {
        if (!dom::isElement(node, "Relationship")) continue;
        Relationship rel;
        rel.id = dom::attribute(node, "Id").value();
        rel.type = dom::attribute(node, "Type").value();
        rel.target = dom::attribute(node, "Target").value();
        rel.external = std::string_view(dom::attribute(node, "TargetMode").value()) == "External";
        m_all.push_back(std::move(rel));
    }
}

const Relationship* Relationships::byId(std::string_view id) const {
    auto found = std::find_if(m_all.begin(), m_all.end(), [&](const Relationship& r) { return r.id == id; });
    return found == m_all.end() ? nullptr : &*found;
}

const Relationship* Relationships::byType(std::string_view typeSuffix) const {
    auto found = std::find_if(m_all.begin(), m_all.end(), [&](const Relationship& r) {
        std::string_view type = r.type;
        return type.size() > typeSuffix.size() && type.ends_with(typeSuffix) &&
               type[type.size() - typeSuffix.size() - 1] == '/';
    });
    return found == m_all.end() ? nullptr : &*found;
}

std::string Relationships::resolve(const Relationship& rel) const {
    if (rel.external) return rel.target;
    std::vector<std::string_view> segments;
    auto fold = [&](std::string_view path) {
        while (!path.empty()) {
            const auto slash = path.find('/');
            const auto segment = path.substr(0, slash);
            path = slash == std::string_view::npos ? std::string_view() : path.substr(slash + 1);
            if (segment == "..") {
                if (!segments.empty()) segments.pop_back(); // nothing lies above the package root
            } else if (!segment.empty() && segment != ".") {
                segments.push_back(segment);
            }
        }
    };
    // A fragment ("#Sheet1!A1" of an internal hyperlink) is no part of the name; a target that is
    // only a fragment refers to the source part itself.
    const std::string_view target = std::string_view(rel.target).substr(0, rel.target.find('#'));
    if (target.empty()) return m_source;
    if (!target.starts_with('/')) {
        const auto slash = m_source.rfind('/');
        if (slash != std::string::npos) fold(std::string_view(m_source).substr(0, slash));
    }
    fold(target);
    std::string name;
    for (auto segment : segments) {
        if (!name.empty()) name += '/';
        name += segment;
    }
    return name;
}

bool Relationships::removeTarget(std::string_view partName) {
    const auto wanted = partKey(partName);
    const auto before = m_all.size();
    std::erase_if(m_all, [&](const Relationship& rel) {
        if (rel.external || partKey(resolve(rel)) != wanted) return false;
        if (!std::erase(m_addedIds, rel.id)) m_removedIds.push_back(rel.id);
        return true;
    });
    return m_all.size() != before;
}

std::string Relationships::add(std::string type, std::string target, bool external) {
    unsigned long highest = 0;
    for (const auto& rel : m_all) {
        if (!rel.id.starts_with("rId")) continue;
        const auto digits = std::string_view(rel.id).substr(3);
        unsigned long number = 0;
        const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
        if (error == std::errc() && end == digits.data() + digits.size()) highest = std::max(highest, number);
    }
    Relationship rel{"rId" + std::to_string(highest + 1), std::move(type), std::move(target), external};
    m_addedIds.push_back(rel.id);
    m_all.push_back(std::move(rel));
    return m_all.back().id;
}

std::string Relationships::serialize() const {
    if (m_removedIds.empty() && m_addedIds.empty()) return m_xml.empty() ? kEmpty : m_xml;
    auto contains = [](const std::vector<std::string>& ids, std::string_view id) {
        return std::find(ids.begin(), ids.end(), id) != ids.end();
    };
    pugi::xml_document doc;
    auto root = dom::parseRoot(doc, m_xml.empty() ? std::string_view(kEmpty) : std::string_view(m_xml),
                               m_place, "Relationships", kWhat);
    dom::removeChildren(root, [&](pugi::xml_node node) {
        return dom::isElement(node, "Relationship") &&
               contains(m_removedIds, dom::attribute(node, "Id").value());
    });
    for (const auto& rel : m_all) {
        if (!contains(m_addedIds, rel.id)) continue;
        auto node = dom::appendChild(root, "Relationship");
        node.append_attribute("Id").set_value(rel.id.c_str());
        node.append_attribute("Type").set_value(rel.type.c_str());
        node.append_attribute("Target").set_value(rel.target.c_str());
        if (rel.external) node.append_attribute("TargetMode").set_value("External");
    }
    return dom::write(doc);
}

std::string Relationships::partFor(std::string_view sourcePart) {
    if (!sourcePart.empty() && sourcePart.front() == '/') sourcePart.remove_prefix(1);
    const auto slash = sourcePart.rfind('/');
    const auto folder =
        slash == std::string_view::npos ? std::string_view() : sourcePart.substr(0, slash + 1);
    return std::string(folder) + "_rels/" + std::string(sourcePart.substr(folder.size())) + ".rels";
}

} // namespace xlsx
