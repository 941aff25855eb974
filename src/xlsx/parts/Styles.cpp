#include "parts/Styles.h"

#include "sheets/AsciiCase.h"
#include "xml/Dom.h"
#include "xml/XmlScan.h"

#include <unordered_map>

namespace xlsx {

namespace {

// A missing or unreadable number counts as 0, the General format.
std::uint32_t attributeNumber(pugi::xml_node node, const char* name) {
    return scan::parseUnsigned(node.attribute(name).value()).value_or(0);
}

bool isBuiltInDateTime(std::uint32_t id) {
    return (id >= 14 && id <= 22) || (id >= 45 && id <= 47);
}

} // namespace

bool isDateTimeFormatCode(std::string_view code) {
    for (std::size_t i = 0; i < code.size(); ++i) {
        char c = sheets::toLowerAscii(code[i]);
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
                char unit = sheets::toLowerAscii(inside[0]);
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

Styles::Styles(std::string_view xml, const Place& place) {
    pugi::xml_document document;
    dom::parse(document, xml, place);
    pugi::xml_node root = document.document_element();
    std::unordered_map<std::uint32_t, bool> custom;
    for (pugi::xml_node format : dom::child(root, "numFmts").children())
        if (dom::isElement(format, "numFmt"))
            custom[attributeNumber(format, "numFmtId")] =
                isDateTimeFormatCode(format.attribute("formatCode").value());
    for (pugi::xml_node xf : dom::child(root, "cellXfs").children()) {
        if (!dom::isElement(xf, "xf")) continue;
        std::uint32_t id = attributeNumber(xf, "numFmtId");
        auto it = custom.find(id);
        m_isDate.push_back(it != custom.end() ? it->second : isBuiltInDateTime(id));
    }
}

} // namespace xlsx
