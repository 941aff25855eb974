#include "parts/Styles.h"

#include "sheets/Error.h"

#include <pugixml.hpp>

#include <charconv>
#include <cstring>
#include <unordered_map>

namespace xlsx {

namespace {

std::string_view localName(const char* name) {
    const char* colon = std::strrchr(name, ':');
    return colon ? colon + 1 : name;
}

pugi::xml_node child(pugi::xml_node parent, std::string_view local) {
    for (pugi::xml_node node : parent.children())
        if (node.type() == pugi::node_element && localName(node.name()) == local) return node;
    return {};
}

std::uint32_t attributeNumber(pugi::xml_node node, const char* name) {
    std::string_view text = node.attribute(name).value();
    std::uint32_t value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

bool isBuiltInDateTime(std::uint32_t id) {
    return (id >= 14 && id <= 22) || (id >= 45 && id <= 47);
}

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

bool isDateTimeFormatCode(std::string_view code) {
    for (std::size_t i = 0; i < code.size(); ++i) {
        char c = lower(code[i]);
        switch (c) {
        case '"': {
            std::size_t close = code.find('"', i + 1);
            if (close == std::string_view::npos) return false;
            i = close;
            break;
        }
        case '\\':
        case '_':
        case '*':
            ++i;
            break; // the next character is literal, a space width or a fill
        case '[': {
            std::size_t close = code.find(']', i + 1);
            if (close == std::string_view::npos) return false;
            std::string_view inside = code.substr(i + 1, close - i - 1);
            // Elapsed time: [h], [mm], [ss]. Colours, conditions and locales are not dates.
            if (!inside.empty() && inside.find_first_not_of(inside[0]) == std::string_view::npos) {
                char unit = lower(inside[0]);
                if (unit == 'h' || unit == 'm' || unit == 's') return true;
            }
            i = close;
            break;
        }
        case 'd':
        case 'm':
        case 'y':
        case 'h':
        case 's':
            return true;
        default:
            break;
        }
    }
    return false;
}

Styles::Styles(std::string_view xml, std::string_view partName) {
    pugi::xml_document document;
    pugi::xml_parse_result result = document.load_buffer(xml.data(), xml.size());
    if (!result)
        throw sheets::Error("Kan ikke lese «" + std::string(partName) + "»: ugyldig XML (" +
                            result.description() + ", posisjon " + std::to_string(result.offset) + ")");
    pugi::xml_node root = document.document_element();
    std::unordered_map<std::uint32_t, bool> custom;
    for (pugi::xml_node format : child(root, "numFmts").children())
        if (localName(format.name()) == "numFmt")
            custom[attributeNumber(format, "numFmtId")] =
                isDateTimeFormatCode(format.attribute("formatCode").value());
    for (pugi::xml_node xf : child(root, "cellXfs").children()) {
        if (localName(xf.name()) != "xf") continue;
        std::uint32_t id = attributeNumber(xf, "numFmtId");
        auto it = custom.find(id);
        m_isDate.push_back(it != custom.end() ? it->second : isBuiltInDateTime(id));
    }
}

} // namespace xlsx
