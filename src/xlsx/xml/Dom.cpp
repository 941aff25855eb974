#include "xml/Dom.h"

#include "sheets/AsciiCase.h"
#include "xml/XmlScan.h"

#include <cstring>
#include <sstream>

namespace xlsx::dom {

namespace {

struct StringWriter : pugi::xml_writer {
    std::string out;
    void write(const void* data, std::size_t size) override {
        out.append(static_cast<const char*>(data), size);
    }
};

pugi::xml_attribute declaredEncoding(pugi::xml_document& document) {
    auto declaration = document.first_child();
    return declaration.type() == pugi::node_declaration ? declaration.attribute("encoding")
                                                        : pugi::xml_attribute();
}

// pugixml reads UTF-16 and UTF-32 (known by a byte order mark or zero bytes) and Latin-1 (known by
// the declaration) into UTF-8; any other encoding it reads, and writes back, byte for byte.
bool wide(std::string_view xml) {
    return xml.starts_with("\xFE\xFF") || xml.starts_with("\xFF\xFE") ||
           xml.substr(0, 4).find('\0') != std::string_view::npos;
}

bool convertedEncoding(std::string_view name) {
    const auto upper = sheets::toUpperAscii(name);
    return upper.starts_with("UTF-16") || upper.starts_with("UTF-32") ||
           upper.find("UCS-") != std::string::npos || upper == "ISO-8859-1" || upper == "LATIN1";
}

} // namespace

void refuseDocumentType(std::string_view xml, const Place& place) {
    const char* p = xml.data();
    const char* end = p + xml.size();
    while (p) {
        p = static_cast<const char*>(std::memchr(p, '<', static_cast<std::size_t>(end - p)));
        if (!p || !scan::isSpecial(p, end)) return; // the root element, or no markup at all
        if (std::string_view(p, static_cast<std::size_t>(end - p)).starts_with("<!DOCTYPE"))
            place.fail(kCannotRead, "delen har en dokumenttypedeklarasjon (DTD), som arbeidsbøker ikke har; "
                                    "filen er skadet eller laget for å angripe");
        p = scan::skipSpecial(p, end);
    }
}

void parse(pugi::xml_document& document, std::string_view xml, const Place& place) {
    refuseDocumentType(xml, place);
    const auto result = document.load_buffer(xml.data(), xml.size(), kParseOptions, pugi::encoding_auto);
    if (!result)
        place.fail(kCannotRead, "ugyldig XML (" + std::string(result.description()) + ", posisjon " +
                                    std::to_string(result.offset) + ")");
}

pugi::xml_node parseRoot(pugi::xml_document& document, std::string_view xml, const Place& place,
                         std::string_view rootName, std::string_view what) {
    parse(document, xml, place);
    auto root = document.document_element();
    if (localName(root) != rootName) place.fail(kCannotRead, "delen er ikke " + std::string(what));
    return root;
}

std::string_view localName(pugi::xml_node node) {
    return scan::localName(node.name());
}

std::string_view localName(pugi::xml_attribute attribute) {
    return scan::localName(attribute.name());
}

bool isElement(pugi::xml_node node, std::string_view local) {
    return node.type() == pugi::node_element && localName(node) == local;
}

pugi::xml_node child(pugi::xml_node parent, std::string_view local) {
    for (auto node : parent.children())
        if (isElement(node, local)) return node;
    return {};
}

pugi::xml_attribute attribute(pugi::xml_node node, std::string_view local) {
    for (auto a : node.attributes())
        if (localName(a) == local) return a;
    return {};
}

std::string_view namespaceUri(pugi::xml_node element) {
    const auto prefix = scan::prefixOf(element.name());
    const std::string declaration =
        prefix.empty() ? std::string("xmlns") : "xmlns:" + std::string(prefix.substr(0, prefix.size() - 1));
    for (auto node = element; node; node = node.parent())
        if (auto a = node.attribute(declaration.c_str())) return a.value();
    return {};
}

std::string qualifiedName(pugi::xml_node element, std::string_view local) {
    return std::string(scan::prefixOf(element.name())) + std::string(local);
}

pugi::xml_node appendChild(pugi::xml_node parent, std::string_view local) {
    return parent.append_child(qualifiedName(parent, local).c_str());
}

std::string write(pugi::xml_document& document) {
    StringWriter writer;
    if (auto encoding = declaredEncoding(document); encoding && convertedEncoding(encoding.value()))
        encoding.set_value("UTF-8");
    document.save(writer, "", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf8);
    return std::move(writer.out);
}

std::string writeKeepingProlog(pugi::xml_document& document, std::string_view original) {
    // The original prolog cannot stand before a body the parser turned into UTF-8.
    if (wide(original) || convertedEncoding(declaredEncoding(document).value())) return write(document);
    std::size_t root = 0;
    for (;;) {
        auto next = original.find_first_not_of(" \t\r\n", root);
        if (next == std::string_view::npos) break;
        std::size_t close = std::string_view::npos;
        if (original.compare(next, 4, "<!--") == 0) {
            close = original.find("-->", next);
            if (close != std::string_view::npos) close += 3;
        } else if (original.compare(next, 2, "<?") == 0) {
            close = original.find("?>", next);
            if (close != std::string_view::npos) close += 2;
        } else if (original.compare(next, 2, "<!") == 0) {
            close = original.find('>', next);
            if (close != std::string_view::npos) close += 1;
        }
        if (close == std::string_view::npos) {
            root = next;
            break;
        }
        root = close;
    }
    auto last = original.find_last_not_of(" \t\r\n");
    std::ostringstream out;
    out << original.substr(0, root);
    for (auto node = document.document_element(); node; node = node.next_sibling())
        node.print(out, "", pugi::format_raw, pugi::encoding_utf8);
    if (last != std::string_view::npos) out << original.substr(last + 1);
    return std::move(out).str();
}

} // namespace xlsx::dom
