#include "xml/XmlText.h"

#include <cstdint>
#include <cstring>

namespace xlsx {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// "_xHHHH_" at `p` (the underscore); the code unit or -1.
int ooxmlEscapeAt(const char* p, const char* end) {
    if (end - p < 7 || p[0] != '_' || p[1] != 'x' || p[6] != '_') return -1;
    int value = 0;
    for (int i = 2; i < 6; ++i) {
        int digit = hexValue(p[i]);
        if (digit < 0) return -1;
        value = value * 16 + digit;
    }
    return value;
}

// One code point from UTF-8 at `p`, advancing it; malformed, overlong and surrogate sequences give
// U+FFFD after one byte.
char32_t nextCodePoint(const char*& p, const char* end) {
    auto byte = [](char c) { return static_cast<unsigned char>(c); };
    unsigned char lead = byte(*p);
    if (lead < 0x80) {
        ++p;
        return lead;
    }
    int length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (length == 0 || lead > 0xF4 || end - p < length) {
        ++p;
        return kReplacement;
    }
    char32_t cp = lead & (0x7F >> length);
    for (int i = 1; i < length; ++i) {
        unsigned char next = byte(p[i]);
        if ((next & 0xC0) != 0x80) {
            ++p;
            return kReplacement;
        }
        cp = (cp << 6) | (next & 0x3F);
    }
    static constexpr char32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kMinimum[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++p;
        return kReplacement;
    }
    p += length;
    return cp;
}

void appendHexEscape(std::string& out, char32_t unit) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    char buffer[7] = {'_',
                      'x',
                      kDigits[(unit >> 12) & 15],
                      kDigits[(unit >> 8) & 15],
                      kDigits[(unit >> 4) & 15],
                      kDigits[unit & 15],
                      '_'};
    out.append(buffer, 7);
}

bool isXmlChar(char32_t cp) {
    return cp == 0x9 || cp == 0xA || cp == 0xD || (cp >= 0x20 && cp != 0xFFFE && cp != 0xFFFF);
}

bool appendReference(std::string& out, std::string_view name) {
    if (name == "amp")
        out += '&';
    else if (name == "lt")
        out += '<';
    else if (name == "gt")
        out += '>';
    else if (name == "quot")
        out += '"';
    else if (name == "apos")
        out += '\'';
    else if (name.size() >= 2 && name[0] == '#') {
        std::uint32_t cp = 0;
        bool hex = name[1] == 'x';
        std::size_t i = hex ? 2 : 1;
        if (i == name.size()) return false;
        for (; i < name.size(); ++i) {
            int digit = hex ? hexValue(name[i]) : (name[i] >= '0' && name[i] <= '9' ? name[i] - '0' : -1);
            if (digit < 0) return false;
            cp = cp * (hex ? 16 : 10) + static_cast<std::uint32_t>(digit);
            if (cp > 0x10FFFF) return false;
        }
        if (cp >= 0xD800 && cp <= 0xDFFF) cp = kReplacement;
        appendUtf8(out, cp);
    } else
        return false;
    return true;
}

} // namespace

void appendEscapedText(std::string& out, std::string_view text) {
    const char* p = text.data();
    const char* end = p + text.size();
    while (p < end) {
        const char* start = p;
        char c = *p;
        if (static_cast<unsigned char>(c) >= 0x80) {
            char32_t cp = nextCodePoint(p, end);
            if (cp == kReplacement && !(p - start == 3 && static_cast<unsigned char>(*start) == 0xEF))
                appendUtf8(out, kReplacement);
            else if (!isXmlChar(cp))
                appendHexEscape(out, cp);
            else
                out.append(start, static_cast<std::size_t>(p - start));
            continue;
        }
        ++p;
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '\r':
            out += "&#13;";
            break;
        case '_':
            if (ooxmlEscapeAt(start, end) >= 0)
                out += "_x005F_";
            else
                out += c;
            break;
        default:
            // Tabs and line feeds are content as they are; other controls XML 1.0 cannot carry.
            if (static_cast<unsigned char>(c) < 0x20 && c != '\t' && c != '\n')
                appendHexEscape(out, static_cast<unsigned char>(c));
            else
                out += c;
        }
    }
}

bool needsDecoding(std::string_view raw) {
    for (std::size_t i = 0; i < raw.size(); ++i) {
        char c = raw[i];
        if (c == '&' || c == '<' || c == '\r' || (c == '_' && i + 1 < raw.size() && raw[i + 1] == 'x'))
            return true;
    }
    return false;
}

bool appendDecodedText(std::string& out, std::string_view raw, bool ooxmlEscapes) {
    std::size_t from = out.size();
    const char* p = raw.data();
    const char* end = p + raw.size();
    auto skipPast = [&](std::string_view terminator) {
        std::size_t hit = std::string_view(p, static_cast<std::size_t>(end - p)).find(terminator);
        if (hit == std::string_view::npos) return false;
        p += hit + terminator.size();
        return true;
    };
    while (p < end) {
        char c = *p;
        if (c == '&') {
            const char* semicolon =
                static_cast<const char*>(std::memchr(p, ';', static_cast<std::size_t>(end - p)));
            if (!semicolon ||
                !appendReference(out, std::string_view(p + 1, static_cast<std::size_t>(semicolon - p - 1))))
                return false;
            p = semicolon + 1;
        } else if (c == '\r') {
            out += '\n';
            ++p;
            if (p < end && *p == '\n') ++p;
        } else if (c == '<') {
            std::string_view rest(p, static_cast<std::size_t>(end - p));
            if (rest.starts_with("<![CDATA[")) {
                const char* body = p + 9;
                p = body;
                if (!skipPast("]]>")) return false;
                for (const char* q = body; q < p - 3; ++q) {
                    if (*q == '\r') {
                        out += '\n';
                        if (q + 1 < p - 3 && q[1] == '\n') ++q;
                    } else
                        out += *q;
                }
            } else if (rest.starts_with("<!--")) {
                p += 4;
                if (!skipPast("-->")) return false;
            } else if (rest.starts_with("<?")) {
                p += 2;
                if (!skipPast("?>")) return false;
            } else
                return false;
        } else {
            const char* next = p + 1;
            while (next < end && *next != '&' && *next != '\r' && *next != '<')
                ++next;
            out.append(p, static_cast<std::size_t>(next - p));
            p = next;
        }
    }
    if (ooxmlEscapes) decodeOoxmlEscapes(out, from);
    return true;
}

void decodeOoxmlEscapes(std::string& text, std::size_t from) {
    std::size_t underscore = text.find("_x", from);
    if (underscore == std::string::npos) return;
    std::string decoded(text, from, underscore - from);
    const char* p = text.data() + underscore;
    const char* end = text.data() + text.size();
    while (p < end) {
        int unit = ooxmlEscapeAt(p, end);
        if (unit < 0) {
            decoded += *p++;
            continue;
        }
        p += 7;
        char32_t cp = static_cast<char32_t>(unit);
        if (cp >= 0xD800 && cp <= 0xDBFF) {
            int low = ooxmlEscapeAt(p, end);
            if (low >= 0xDC00 && low <= 0xDFFF) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (static_cast<char32_t>(low) - 0xDC00);
                p += 7;
            } else
                cp = kReplacement;
        } else if (cp >= 0xDC00 && cp <= 0xDFFF)
            cp = kReplacement;
        appendUtf8(decoded, cp);
    }
    text.replace(from, std::string::npos, decoded);
}

} // namespace xlsx
