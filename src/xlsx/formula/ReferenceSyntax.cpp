#include "formula/ReferenceSyntax.h"

#include "formula/CellRef.h"
#include "sheets/AsciiCase.h"

#include <charconv>

namespace xlsx {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Formulas may write column letters in lower case.
std::optional<std::uint32_t> readColumn(std::string_view text, std::size_t& pos) {
    return readColumnLetters(text, pos, true);
}

// A row number at text[pos]: no leading zero, 1 to 1048576.
std::optional<std::uint32_t> readRow(std::string_view text, std::size_t& pos) {
    std::size_t end = pos;
    std::uint32_t row = 0;
    if (end >= text.size() || text[end] == '0') return std::nullopt;
    while (end < text.size() && isDigit(text[end])) {
        row = row * 10 + static_cast<std::uint32_t>(text[end] - '0');
        if (row > kMaxRow) return std::nullopt;
        ++end;
    }
    if (end == pos) return std::nullopt;
    pos = end;
    return row;
}

// An optional '$' and what `read` reads; on success stores both and moves `pos`. A template, so that
// the readers inline: every reference of every formula scanned comes through here.
template <class NumberReader>
bool readPart(std::string_view text, std::size_t& pos, NumberReader read, std::uint32_t& value,
              bool& absolute) {
    std::size_t p = pos;
    bool dollar = p < text.size() && text[p] == '$';
    if (dollar) ++p;
    auto number = read(text, p);
    if (!number) return false;
    value = *number;
    absolute = dollar;
    pos = p;
    return true;
}

std::optional<AreaCorner> readColumnCorner(std::string_view text, std::size_t& pos) {
    AreaCorner corner;
    if (!readPart(text, pos, readColumn, corner.column, corner.absoluteColumn)) return std::nullopt;
    return corner;
}

std::optional<AreaCorner> readRowCorner(std::string_view text, std::size_t& pos) {
    AreaCorner corner;
    if (!readPart(text, pos, readRow, corner.row, corner.absoluteRow)) return std::nullopt;
    return corner;
}

std::optional<AreaCorner> readCell(std::string_view text, std::size_t& pos) {
    std::size_t p = pos;
    AreaCorner corner;
    if (!readPart(text, p, readColumn, corner.column, corner.absoluteColumn) ||
        !readPart(text, p, readRow, corner.row, corner.absoluteRow))
        return std::nullopt;
    pos = p;
    return corner;
}

// Where an area may end: not inside an identifier, a function call, a table or a sheet prefix.
bool atBoundary(std::string_view text, std::size_t pos) {
    if (pos >= text.size()) return true;
    char c = text[pos];
    return !isNameChar(c) && c != '(' && c != '[' && c != '!' && c != '$' && c != '\'';
}

using CornerReader = std::optional<AreaCorner> (*)(std::string_view, std::size_t&);

// first ':' second, both read by `read`, ending at a boundary.
std::optional<Area> readPair(std::string_view text, std::size_t& pos, CornerReader read, AreaKind kind) {
    std::size_t p = pos;
    auto first = read(text, p);
    if (!first || p >= text.size() || text[p] != ':') return std::nullopt;
    ++p;
    auto last = read(text, p);
    if (!last || !atBoundary(text, p)) return std::nullopt;
    pos = p;
    return Area{kind, *first, *last};
}

void appendCorner(std::string& out, const AreaCorner& corner, bool withColumn, bool withRow) {
    // Written into a buffer: rewriting references runs for every formula of a sheet.
    char buffer[24];
    char* at = buffer;
    if (withColumn) {
        if (corner.absoluteColumn) *at++ = '$';
        char letters[8];
        int count = 0;
        for (std::uint32_t column = corner.column; column > 0; column /= 26)
            letters[count++] = static_cast<char>('A' + --column % 26);
        while (count > 0)
            *at++ = letters[--count];
    }
    if (withRow) {
        if (corner.absoluteRow) *at++ = '$';
        at = std::to_chars(at, buffer + sizeof buffer, corner.row).ptr;
    }
    out.append(buffer, at);
}

} // namespace

std::optional<Area> parseArea(std::string_view text, std::size_t& pos) {
    std::size_t p = pos;
    if (auto first = readCell(text, p)) {
        if (p < text.size() && text[p] == ':') {
            std::size_t q = p + 1;
            if (auto last = readCell(text, q); last && atBoundary(text, q)) {
                pos = q;
                return Area{AreaKind::Range, *first, *last};
            }
        }
        if (!atBoundary(text, p)) return std::nullopt;
        pos = p;
        return Area{AreaKind::Cell, *first, *first};
    }
    if (auto columns = readPair(text, pos, readColumnCorner, AreaKind::Columns)) return columns;
    return readPair(text, pos, readRowCorner, AreaKind::Rows);
}

std::string formatArea(const Area& area) {
    std::string out;
    appendArea(out, area);
    return out;
}

void appendArea(std::string& out, const Area& area) {
    bool withColumn = area.kind != AreaKind::Rows;
    bool withRow = area.kind != AreaKind::Columns;
    appendCorner(out, area.first, withColumn, withRow);
    if (area.kind != AreaKind::Cell) {
        out += ':';
        appendCorner(out, area.last, withColumn, withRow);
    }
}

SheetSpan parseSheetPrefix(std::string_view prefix) {
    std::string names;
    if (prefix.size() >= 2 && prefix.front() == '\'' && prefix.back() == '\'') {
        auto inner = prefix.substr(1, prefix.size() - 2);
        for (std::size_t i = 0; i < inner.size(); ++i) {
            names += inner[i];
            if (inner[i] == '\'' && i + 1 < inner.size() && inner[i + 1] == '\'') ++i;
        }
    } else {
        names = prefix;
    }
    SheetSpan span;
    // Sheet names cannot hold '[' or ':', so these mark a workbook and a 3-D span.
    span.external = names.find('[') != std::string::npos;
    auto colon = span.external ? std::string::npos : names.find(':');
    span.first = names.substr(0, colon);
    span.last = colon == std::string::npos ? span.first : names.substr(colon + 1);
    return span;
}

std::optional<ParsedReference> parseReference(std::string_view token) {
    ParsedReference reference;
    std::size_t bodyStart = 0;
    // The area never holds '!' or a quote, so the last '!' ends the prefix.
    if (auto bang = token.rfind('!'); bang != std::string_view::npos) {
        reference.prefix = token.substr(0, bang + 1);
        reference.sheets = parseSheetPrefix(token.substr(0, bang));
        bodyStart = bang + 1;
    }
    std::size_t pos = bodyStart;
    auto area = parseArea(token, pos);
    if (!area || pos != token.size()) return std::nullopt;
    reference.area = *area;
    return reference;
}

} // namespace xlsx
