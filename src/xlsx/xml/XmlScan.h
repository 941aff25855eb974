#pragma once

// The few pieces of a hand-written XML scanner the engine needs where a DOM would cost too much
// (worksheet cell data) or where bytes must stay exactly as they are (the frame around it). Names are
// matched by local name, so any namespace prefix and the strict namespace work alike. Entities in
// attribute values are not resolved here; the callers decode the few values that can hold them.

#include <charconv>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string_view>

namespace xlsx::scan {

inline bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// The text without the XML blanks (space, tab, CR, LF) around it.
inline std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

// A number as attribute values and element texts write it: decimal digits only, blanks around
// allowed; nullopt for anything else, the empty text included.
template <class T = std::uint32_t> std::optional<T> parseUnsigned(std::string_view text) {
    text = trimmed(text);
    T value{};
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

// The name without its namespace prefix: real files use prefixes such as <x:row> or <r:Relationships>.
inline std::string_view localName(std::string_view qname) {
    std::size_t colon = qname.rfind(':');
    return colon == std::string_view::npos ? qname : qname.substr(colon + 1);
}

// The prefix with its colon ("x:"), or empty.
inline std::string_view prefixOf(std::string_view qname) {
    std::size_t colon = qname.rfind(':');
    return colon == std::string_view::npos ? std::string_view() : qname.substr(0, colon + 1);
}

struct StartTag {
    std::string_view qname;
    const char* attributesBegin = nullptr; // after the name
    const char* attributesEnd = nullptr;   // at '>' or "/>"
    bool selfClosing = false;
};

// Reads the start tag at `p` ('<' followed by a name), calling onAttribute(name, rawValue, quote) for
// each attribute. Returns the position after '>', or nullptr when the tag is malformed.
template <class OnAttribute>
const char* readStartTag(const char* p, const char* end, StartTag& tag, OnAttribute&& onAttribute) {
    const char* name = ++p;
    while (p < end && !isSpace(*p) && *p != '>' && *p != '/')
        ++p;
    if (p == name || p >= end) return nullptr;
    tag.qname = std::string_view(name, static_cast<std::size_t>(p - name));
    tag.attributesBegin = p;
    for (;;) {
        while (p < end && isSpace(*p))
            ++p;
        if (p >= end) return nullptr;
        if (*p == '>') {
            tag.attributesEnd = p;
            tag.selfClosing = false;
            return p + 1;
        }
        if (*p == '/') {
            if (p + 1 >= end || p[1] != '>') return nullptr;
            tag.attributesEnd = p;
            tag.selfClosing = true;
            return p + 2;
        }
        const char* attribute = p;
        while (p < end && *p != '=' && !isSpace(*p) && *p != '>' && *p != '/')
            ++p;
        if (p == attribute) return nullptr;
        std::string_view attributeName(attribute, static_cast<std::size_t>(p - attribute));
        while (p < end && isSpace(*p))
            ++p;
        if (p >= end || *p != '=') return nullptr;
        ++p;
        while (p < end && isSpace(*p))
            ++p;
        if (p >= end || (*p != '"' && *p != '\'')) return nullptr;
        char quote = *p++;
        const char* value = p;
        p = static_cast<const char*>(std::memchr(p, quote, static_cast<std::size_t>(end - p)));
        if (!p) return nullptr;
        onAttribute(attributeName, std::string_view(value, static_cast<std::size_t>(p - value)), quote);
        ++p;
    }
}

inline const char* readStartTag(const char* p, const char* end, StartTag& tag) {
    return readStartTag(p, end, tag, [](std::string_view, std::string_view, char) {});
}

// Reads the end tag at `p` ("</"); returns the position after '>' or nullptr.
inline const char* readEndTag(const char* p, const char* end, std::string_view& qname) {
    const char* name = p + 2;
    const char* q = name;
    while (q < end && !isSpace(*q) && *q != '>')
        ++q;
    qname = std::string_view(name, static_cast<std::size_t>(q - name));
    while (q < end && isSpace(*q))
        ++q;
    if (q >= end || *q != '>' || qname.empty()) return nullptr;
    return q + 1;
}

// At '<' of a comment, CDATA section, processing instruction or declaration: the position after it,
// or nullptr when it does not end.
inline const char* skipSpecial(const char* p, const char* end) {
    std::string_view rest(p, static_cast<std::size_t>(end - p));
    std::string_view terminator = rest.starts_with("<!--")        ? "-->"
                                  : rest.starts_with("<![CDATA[") ? "]]>"
                                  : rest.starts_with("<?")        ? "?>"
                                                                  : ">";
    std::size_t hit = rest.find(terminator, 2);
    return hit == std::string_view::npos ? nullptr : p + hit + terminator.size();
}

// An xsd:boolean attribute value that is true.
inline bool isTrue(std::string_view value) {
    return value == "1" || value == "true";
}

inline bool isSpecial(const char* p, const char* end) {
    return p + 1 < end && (p[1] == '!' || p[1] == '?');
}

// Element content up to its end tag, for elements that hold text only (CDATA, comments and
// processing instructions may occur in it). `p` is after the start tag's '>'. Sets `content` to the
// raw bytes and returns the position after the end tag, or nullptr (a child element, no end).
inline const char* readTextContent(const char* p, const char* end, std::string_view& content) {
    const char* begin = p;
    for (;;) {
        p = static_cast<const char*>(std::memchr(p, '<', static_cast<std::size_t>(end - p)));
        if (!p || p + 1 >= end) return nullptr;
        if (p[1] == '/') {
            content = std::string_view(begin, static_cast<std::size_t>(p - begin));
            std::string_view qname;
            return readEndTag(p, end, qname);
        }
        if (!isSpecial(p, end)) return nullptr;
        p = skipSpecial(p, end);
        if (!p) return nullptr;
    }
}

// Skips the element whose start tag was just read (`p` after it, `selfClosing` from it); returns the
// position after its end tag, or nullptr.
inline const char* skipElementContent(const char* p, const char* end, bool selfClosing) {
    if (selfClosing) return p;
    int depth = 1;
    while (depth > 0) {
        p = static_cast<const char*>(std::memchr(p, '<', static_cast<std::size_t>(end - p)));
        if (!p || p + 1 >= end) return nullptr;
        if (p[1] == '/') {
            std::string_view qname;
            p = readEndTag(p, end, qname);
            --depth;
        } else if (isSpecial(p, end)) {
            p = skipSpecial(p, end);
        } else {
            StartTag tag;
            p = readStartTag(p, end, tag);
            if (p && !tag.selfClosing) ++depth;
        }
        if (!p) return nullptr;
    }
    return p;
}

} // namespace xlsx::scan
