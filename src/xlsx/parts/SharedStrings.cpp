#include "parts/SharedStrings.h"

#include "xml/Dom.h"
#include "xml/XmlScan.h"
#include "xml/XmlText.h"

#include <cstring>

namespace xlsx {

namespace {

void appendNodeText(std::string& out, pugi::xml_node t) {
    for (pugi::xml_node text : t.children())
        if (text.type() == pugi::node_pcdata || text.type() == pugi::node_cdata) out += text.value();
}

bool needsPreserve(std::string_view text) {
    return !text.empty() && (scan::isSpace(text.front()) || scan::isSpace(text.back()));
}

} // namespace

SharedStrings::SharedStrings(std::string xml, Place place)
    : m_place(std::move(place)), m_xml(std::move(xml)) {
    pugi::xml_document document;
    // Whitespace-only text is kept: <t xml:space="preserve"> </t> is a string of one blank.
    dom::parse(document, m_xml, m_place);
    m_buffer.reserve(m_xml.size() / 2);
    for (pugi::xml_node item : document.document_element().children()) {
        if (!dom::isElement(item, "si")) continue;
        std::size_t start = m_buffer.size();
        bool rich = false;
        for (pugi::xml_node part : item.children()) {
            std::string_view name = dom::localName(part);
            if (name == "t") {
                appendNodeText(m_buffer, part);
            } else if (name == "r") {
                rich = true;
                for (pugi::xml_node run : part.children())
                    if (dom::localName(run) == "t") appendNodeText(m_buffer, run);
            }
            // rPh (phonetic runs) and phoneticPr are not part of the text.
        }
        decodeOoxmlEscapes(m_buffer, start);
        m_offsets.emplace_back(static_cast<std::uint32_t>(start),
                               static_cast<std::uint32_t>(m_buffer.size() - start));
        m_rich.push_back(rich);
    }
}

SharedStrings& SharedStrings::operator=(const SharedStrings& other) {
    if (this == &other) return *this;
    m_place = other.m_place;
    m_xml = other.m_xml;
    m_buffer = other.m_buffer;
    m_offsets = other.m_offsets;
    m_rich = other.m_rich;
    m_added = other.m_added;
    m_index.clear();
    m_indexed = false;
    return *this;
}

SharedStrings& SharedStrings::operator=(SharedStrings&& other) noexcept {
    if (this == &other) return *this;
    m_place = std::move(other.m_place);
    m_xml = std::move(other.m_xml);
    m_buffer = std::move(other.m_buffer);
    m_offsets = std::move(other.m_offsets);
    m_rich = std::move(other.m_rich);
    m_added = std::move(other.m_added);
    m_index.clear();
    m_indexed = false;
    other.m_index.clear();
    other.m_indexed = false;
    return *this;
}

std::string_view SharedStrings::at(std::uint32_t index) const {
    if (index < m_offsets.size())
        return std::string_view(m_buffer).substr(m_offsets[index].first, m_offsets[index].second);
    if (index < size()) return m_added[index - m_offsets.size()];
    m_place.fail(kCannotRead, "delt tekst nummer " + std::to_string(index) + " finnes ikke (delen har " +
                                  std::to_string(size()) + ")");
}

std::uint32_t SharedStrings::add(std::string_view text) {
    if (!m_indexed) {
        m_index.reserve(size() + 16);
        for (std::uint32_t i = 0; i < m_offsets.size(); ++i)
            if (!m_rich[i]) m_index.try_emplace(at(i), i);
        for (std::size_t i = 0; i < m_added.size(); ++i)
            m_index.try_emplace(m_added[i], static_cast<std::uint32_t>(m_offsets.size() + i));
        m_indexed = true;
    }
    if (auto it = m_index.find(text); it != m_index.end()) return it->second;
    auto index = static_cast<std::uint32_t>(size());
    m_added.emplace_back(text);
    m_index.emplace(m_added.back(), index);
    return index;
}

std::string SharedStrings::serialize() const {
    if (!dirty() && !m_xml.empty()) return m_xml;
    std::string items;
    std::string prefix;
    std::string out;
    std::size_t rootBegin = 0, rootEnd = 0;
    scan::StartTag root;
    if (!m_xml.empty()) {
        // The root element's start tag: the first start tag that is no declaration or comment.
        const char* begin = m_xml.data();
        const char* end = begin + m_xml.size();
        const char* p = begin;
        for (;;) {
            const char* lt = static_cast<const char*>(std::memchr(p, '<', static_cast<std::size_t>(end - p)));
            if (!lt) m_place.fail(kCannotSave, "fant ikke rotelementet");
            if (scan::isSpecial(lt, end)) {
                p = scan::skipSpecial(lt, end);
                if (!p) m_place.fail(kCannotSave, "ugyldig XML");
                continue;
            }
            p = scan::readStartTag(lt, end, root);
            if (!p) m_place.fail(kCannotSave, "ugyldig XML");
            rootBegin = static_cast<std::size_t>(lt - begin);
            rootEnd = static_cast<std::size_t>(p - begin);
            break;
        }
        prefix = scan::prefixOf(root.qname);
    }
    for (const std::string& text : m_added) {
        items += '<' + prefix + "si><" + prefix + 't';
        if (needsPreserve(text)) items += " xml:space=\"preserve\"";
        items += '>';
        appendEscapedText(items, text);
        items += "</" + prefix + "t></" + prefix + "si>";
    }
    std::string count = std::to_string(size());
    if (m_xml.empty()) {
        return "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
               "<sst xmlns=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" uniqueCount=\"" +
               count + "\">" + items + "</sst>";
    }
    out.reserve(m_xml.size() + items.size() + 64);
    out.append(m_xml, 0, rootBegin);
    out += '<';
    out.append(root.qname);
    bool wroteUnique = false;
    // count (references in the whole workbook) is not known here and is optional: it goes; uniqueCount
    // is set to what the part now holds.
    scan::readStartTag(m_xml.data() + rootBegin, m_xml.data() + rootEnd, root,
                       [&](std::string_view name, std::string_view value, char quote) {
                           if (name == "count") return;
                           out += ' ';
                           out.append(name);
                           out += '=';
                           out += quote;
                           if (name == "uniqueCount") {
                               out += count;
                               wroteUnique = true;
                           } else
                               out.append(value);
                           out += quote;
                       });
    if (!wroteUnique) out += " uniqueCount=\"" + count + "\"";
    out += '>';
    if (root.selfClosing) {
        out += items;
        out += "</";
        out.append(root.qname);
        out += '>';
        out.append(m_xml, rootEnd);
        return out;
    }
    std::string closing = "</" + std::string(root.qname);
    std::size_t close = m_xml.rfind(closing);
    if (close == std::string::npos || close < rootEnd)
        m_place.fail(kCannotSave, "fant ikke slutten av rotelementet");
    out.append(m_xml, rootEnd, close - rootEnd);
    out += items;
    out.append(m_xml, close);
    return out;
}

} // namespace xlsx
