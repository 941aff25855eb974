#pragma once

// pugixml for the parts that are read as a whole or edited in place. One set of parse options for
// all of them: everything that can be written back is kept (declaration, comments, processing
// instructions, whitespace-only text), and values read are what any XML parser reads (line ends and
// attribute whitespace normalized). Elements and attributes are matched by local name, so any
// namespace prefix and the strict namespace work alike.

#include "xml/Place.h"

#include <pugixml.hpp>

#include <string>
#include <string_view>

namespace xlsx::dom {

inline constexpr unsigned kParseOptions = pugi::parse_default | pugi::parse_declaration |
                                          pugi::parse_doctype | pugi::parse_comments | pugi::parse_pi |
                                          pugi::parse_ws_pcdata;

// Throws sheets::Error naming the place when `xml` has a document type declaration before its root.
// No workbook writer puts one in a part; its entities can expand a few bytes into gigabytes or name
// other files, so a part with one is refused rather than read with the entities left alone.
void refuseDocumentType(std::string_view xml, const Place& place);
// Throws sheets::Error naming the place when `xml` is not well-formed or has a document type
// declaration.
void parse(pugi::xml_document& document, std::string_view xml, const Place& place);
// Parses and returns the root element, which must be `rootName`; otherwise fails naming the place
// and saying what the part should have been (`what`, in Norwegian: "en arbeidsbok").
pugi::xml_node parseRoot(pugi::xml_document& document, std::string_view xml, const Place& place,
                         std::string_view rootName, std::string_view what);

std::string_view localName(pugi::xml_node node);
std::string_view localName(pugi::xml_attribute attribute);
bool isElement(pugi::xml_node node, std::string_view local);
// The first child element with that local name.
pugi::xml_node child(pugi::xml_node parent, std::string_view local);
// The first attribute with that local name.
pugi::xml_attribute attribute(pugi::xml_node node, std::string_view local);
// The namespace URI of the element's prefix (or of the default namespace), found on it or its ancestors.
std::string_view namespaceUri(pugi::xml_node element);

// `local` with the namespace prefix of `element` ("x:" + local), so that an element made with that
// name lands in the element's namespace also where the document declares it with a prefix.
std::string qualifiedName(pugi::xml_node element, std::string_view local);
// Appends a child element named qualifiedName(parent, local).
pugi::xml_node appendChild(pugi::xml_node parent, std::string_view local);

// Removes the children of `parent` for which `drop` holds.
template <class Predicate> void removeChildren(pugi::xml_node parent, Predicate drop) {
    for (auto node = parent.first_child(); node;) {
        auto next = node.next_sibling();
        if (drop(node)) parent.remove_child(node);
        node = next;
    }
}

// The whole document without indentation, in UTF-8 where parsing converted it (UTF-16, UTF-32,
// Latin-1: the declaration is corrected to match), else byte for byte as it was read.
std::string write(pugi::xml_document& document);
// The document written back raw, with what stood before its root element in `original`
// (declaration, comments, line breaks) and the blanks after it kept byte for byte. An original that
// parsing converted to UTF-8 is written as write() does.
std::string writeKeepingProlog(pugi::xml_document& document, std::string_view original);

} // namespace xlsx::dom
