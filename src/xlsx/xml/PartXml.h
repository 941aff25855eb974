#pragma once

// pugixml helpers for the small package parts that are edited in place (relationships, content types).

#include "sheets/Error.h"

#include <pugixml.hpp>

#include <string>
#include <string_view>

namespace xlsx::partxml {

// Keeps the declaration, comments, processing instructions and whitespace-only text, and leaves line
// ends and whitespace in attributes as written, so that a part written back differs only where edited.
inline constexpr unsigned kParseOptions = pugi::parse_cdata | pugi::parse_escapes | pugi::parse_comments |
                                          pugi::parse_declaration | pugi::parse_doctype | pugi::parse_pi |
                                          pugi::parse_ws_pcdata;

// The name without its namespace prefix: real files use prefixes such as <r:Relationships>.
inline std::string_view localName(const char* qualified) {
    std::string_view name(qualified);
    const auto colon = name.find(':');
    return colon == std::string_view::npos ? name : name.substr(colon + 1);
}

inline pugi::xml_attribute attribute(pugi::xml_node node, std::string_view local) {
    for (auto a : node.attributes())
        if (localName(a.name()) == local) return a;
    return {};
}

inline void parse(pugi::xml_document& doc, std::string_view xml, std::string_view partName) {
    const auto result = doc.load_buffer(xml.data(), xml.size(), kParseOptions, pugi::encoding_auto);
    if (!result)
        throw sheets::Error("Kan ikke lese «" + std::string(partName) + "»: ugyldig XML ved tegn " +
                            std::to_string(result.offset));
}

inline bool isElement(pugi::xml_node node, std::string_view local) {
    return node.type() == pugi::node_element && localName(node.name()) == local;
}

// Parses the part and returns its root element, which must be `rootName` (with any prefix); throws
// sheets::Error naming the part otherwise. `what` says in Norwegian what the part should be.
inline pugi::xml_node parseRoot(pugi::xml_document& doc, std::string_view xml, std::string_view partName,
                                std::string_view rootName, std::string_view what) {
    parse(doc, xml, partName);
    auto root = doc.document_element();
    if (localName(root.name()) != rootName)
        throw sheets::Error("Kan ikke lese «" + std::string(partName) + "»: delen er ikke " +
                            std::string(what));
    return root;
}

// Appends an element named `local` with the parent's namespace prefix, so that it lands in the
// parent's namespace also where the document declares that namespace with a prefix.
inline pugi::xml_node appendChild(pugi::xml_node parent, std::string_view local) {
    const std::string_view name = parent.name();
    const auto prefix = name.substr(0, name.size() - localName(parent.name()).size());
    return parent.append_child((std::string(prefix) + std::string(local)).c_str());
}

// Removes the children of `parent` for which `drop` holds.
template <class Predicate> void removeChildren(pugi::xml_node parent, Predicate drop) {
    for (auto node = parent.first_child(); node;) {
        auto next = node.next_sibling();
        if (drop(node)) parent.remove_child(node);
        node = next;
    }
}

// UTF-8 without indentation; a declaration that named another encoding is corrected to match.
inline std::string serialize(pugi::xml_document& doc) {
    struct Writer : pugi::xml_writer {
        std::string out;
        void write(const void* data, std::size_t size) override {
            out.append(static_cast<const char*>(data), size);
        }
    } writer;
    if (auto declaration = doc.first_child(); declaration.type() == pugi::node_declaration)
        if (auto encoding = declaration.attribute("encoding")) encoding.set_value("UTF-8");
    doc.save(writer, "", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf8);
    return std::move(writer.out);
}

// Part names compare case-insensitively (ASCII) and without the leading '/' of URIs.
inline std::string partKey(std::string_view name) {
    if (!name.empty() && name.front() == '/') name.remove_prefix(1);
    std::string key(name);
    for (char& c : key)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return key;
}

} // namespace xlsx::partxml
