#include "eval/StructuredReference.h"

#include "sheets/AsciiCase.h"

#include <array>
#include <utility>
#include <vector>

namespace xlsx::eval {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// A column name as written, with the escapes ('[ '] '# '' '@) taken out.
std::string unescaped(std::string_view written) {
    std::string name;
    for (std::size_t i = 0; i < written.size(); ++i) {
        if (written[i] == '\'' && i + 1 < written.size()) ++i;
        name += written[i];
    }
    return name;
}

std::optional<std::uint8_t> specialItem(std::string_view text) {
    static constexpr std::array<std::pair<std::string_view, std::uint8_t>, 5> kItems = {{
        {"#All", StructuredReference::Headers | StructuredReference::Data | StructuredReference::Totals},
        {"#Data", StructuredReference::Data},
        {"#Headers", StructuredReference::Headers},
        {"#Totals", StructuredReference::Totals},
        {"#This Row", StructuredReference::ThisRow},
    }};
    text = trimmed(text);
    for (auto [word, item] : kItems)
        if (sheets::equalIgnoringAsciiCase(text, word)) return item;
    return std::nullopt;
}

// Past the ']' closing the bracket opened at `open`, the quote escaping the character after it;
// npos when it does not close.
std::size_t closing(std::string_view text, std::size_t open) {
    int depth = 0;
    for (std::size_t i = open; i < text.size(); ++i) {
        if (text[i] == '\'') {
            ++i;
        } else if (text[i] == '[') {
            ++depth;
        } else if (text[i] == ']' && --depth == 0) {
            return i + 1;
        }
    }
    return std::string_view::npos;
}

// The combinations of rows the application accepts.
bool validItems(std::uint8_t items) {
    using R = StructuredReference;
    switch (items) {
    case 0:
    case R::Headers:
    case R::Data:
    case R::Totals:
    case R::ThisRow:
    case R::Headers | R::Data:
    case R::Data | R::Totals:
    case R::Headers | R::Data | R::Totals:
        return true;
    default:
        return false;
    }
}

// "[#This Row],[A]:[B]": bracketed items joined by ',' (and two columns by ':').
bool readList(std::string_view body, StructuredReference& out) {
    std::vector<std::string> columns;
    bool range = false;
    std::size_t pos = 0;
    for (;;) {
        while (pos < body.size() && isBlank(body[pos]))
            ++pos;
        if (pos >= body.size() || body[pos] != '[') return false;
        std::size_t end = closing(body, pos);
        if (end == std::string_view::npos) return false;
        auto inner = body.substr(pos + 1, end - pos - 2);
        if (auto item = specialItem(inner); item && !inner.empty() && trimmed(inner)[0] == '#') {
            if (range || (out.items & *item)) return false;
            out.items |= *item;
        } else {
            if (!columns.empty() && !range) return false; // two columns need ':' between them
            columns.push_back(unescaped(inner));
            range = false;
        }
        pos = end;
        while (pos < body.size() && isBlank(body[pos]))
            ++pos;
        if (pos == body.size()) break;
        if (body[pos] == ':' && !columns.empty() && !range) {
            range = true;
        } else if (body[pos] != ',' || range) {
            return false;
        }
        ++pos;
    }
    if (range || columns.size() > 2) return false;
    if (!columns.empty()) {
        out.firstColumn = columns.front();
        out.lastColumn = columns.back();
    }
    return true;
}

} // namespace

std::optional<StructuredReference> parseStructuredReference(std::string_view text) {
    auto open = text.find('[');
    if (open == std::string_view::npos || text.back() != ']' || closing(text, open) != text.size())
        return std::nullopt;
    StructuredReference out;
    out.table = std::string(text.substr(0, open));
    auto body = trimmed(text.substr(open + 1, text.size() - open - 2));
    bool ok = true;
    if (body.empty()) {
        // Table1[]: the data rows.
    } else if (body.front() == '@') {
        // [@Col], [@[Col name]], [@[A]:[B]], [@]: this row.
        out.items = StructuredReference::ThisRow;
        auto rest = trimmed(body.substr(1));
        if (!rest.empty() && rest.front() == '[')
            ok = readList(rest, out) && out.items == StructuredReference::ThisRow;
        else if (!rest.empty())
            out.firstColumn = out.lastColumn = unescaped(rest);
    } else if (body.front() == '[') {
        ok = readList(body, out);
    } else if (body.front() == '#') {
        auto item = specialItem(body);
        ok = item.has_value();
        if (item) out.items = *item;
    } else {
        out.firstColumn = out.lastColumn = unescaped(body);
    }
    if (!ok || !validItems(out.items)) return std::nullopt;
    return out;
}

} // namespace xlsx::eval
