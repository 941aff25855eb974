// VLOOKUP, HLOOKUP, LOOKUP, MATCH, XLOOKUP, INDEX and the reference functions ROW, COLUMN, ROWS,
// COLUMNS, OFFSET and INDIRECT.

#include "eval/Criteria.h"
#include "eval/Evaluation.h"
#include "eval/NotComputable.h"
#include "formula/CellRef.h"
#include "formula/ReferenceSyntax.h"

#include <cmath>

namespace xlsx::eval {

namespace {

// One row or column of a range or array, read as needed. Past the last used row or column of a range
// every cell is empty, so a search stops there.
class Line {
public:
    Line(Evaluation& ev, const Operand& source, bool vertical, std::uint32_t fixed)
        : m_ev(ev), m_source(source), m_vertical(vertical), m_fixed(fixed) {
        auto [rows, columns] = ev.shape(source);
        m_length = vertical ? rows : columns;
        m_searchable = m_length;
        if (source.isRef())
            m_searchable =
                std::min(m_length, vertical ? ev.usedRows(source.area) : ev.usedColumns(source.area));
    }
    std::uint32_t length() const { return m_length; }
    std::uint32_t searchable() const { return m_searchable; }
    Value at(std::uint32_t i) const {
        return m_vertical ? m_ev.element(m_source, i, m_fixed) : m_ev.element(m_source, m_fixed, i);
    }

private:
    Evaluation& m_ev;
    const Operand& m_source;
    bool m_vertical;
    std::uint32_t m_fixed;
    std::uint32_t m_length = 0, m_searchable = 0;
};

bool sameKind(const Value& a, const Value& b) {
    return a.kind == b.kind;
}

bool exactMatch(const Value& lookup, const Value& candidate, bool wildcards) {
    if (!sameKind(lookup, candidate)) return false;
    if (lookup.isText()) {
        if (wildcards && hasWildcards(lookup.text)) return wildcardMatch(lookup.text, candidate.text);
        return equalFolded(lookup.text, candidate.text);
    }
    return compareValues(lookup, candidate) == 0;
}

std::optional<std::uint32_t> findExact(const Line& line, const Value& lookup, bool wildcards,
                                       bool fromEnd = false) {
    std::uint32_t n = line.searchable();
    for (std::uint32_t k = 0; k < n; ++k) {
        std::uint32_t i = fromEnd ? n - 1 - k : k;
        if (exactMatch(lookup, line.at(i), wildcards)) return i;
    }
    return std::nullopt;
}

// The last position whose value is at most (ascending) or at least (descending) the lookup value,
// among the values of its own kind. Only sorted data gives an answer independent of how the search
// goes, so unsorted data is not computed.
std::optional<std::uint32_t> findSorted(const Line& line, const Value& lookup, bool descending) {
    std::optional<std::uint32_t> found;
    std::optional<Value> previous;
    std::uint32_t n = line.searchable();
    bool passed = false;
    for (std::uint32_t i = 0; i < n; ++i) {
        Value v = line.at(i);
        if (!sameKind(v, lookup)) continue;
        if (previous) {
            int order = compareValues(*previous, v);
            if (descending ? order < 0 : order > 0)
                throw NotComputable("et oppslag med omtrentlig treff i data som ikke er sortert");
        }
        int against = compareValues(v, lookup);
        bool fits = descending ? against >= 0 : against <= 0;
        if (fits && !passed) found = i;
        if (!fits) passed = true;
        previous = std::move(v);
    }
    return found;
}

// An empty lookup value is looked for as 0; whether the application does that or finds nothing is
// not settled, so a lookup of an empty value that finds something is not computed.
Value lookupValue(Call& c) {
    Value v = c.value(0);
    return v.isEmpty() ? Value::ofNumber(0) : v;
}

Operand unlessEmptyLookup(Call& c, Operand found) {
    if (found.isError() && found.value.error == ErrorCode::NA) return found;
    if (c.value(0).isEmpty()) throw NotComputable("et oppslag etter en tom celle");
    return found;
}

bool isTable(const Operand& operand) {
    return operand.isArray() || operand.isSingleArea();
}

Operand tableLookup(Call& c, bool vertical) {
    Value lookup = lookupValue(c);
    if (lookup.isError()) return Operand::of(lookup);
    const Operand& table = c.arg(1);
    if (table.isError()) return table;
    if (!isTable(table)) return Operand::ofError(ErrorCode::Value);
    auto index = c.integer(2);
    if (!index) return Operand::ofError(*index.error);
    auto approximate = c.boolean(3, true);
    if (!approximate) return Operand::ofError(*approximate.error);
    auto [rows, columns] = c.ev.shape(table);
    if (*index < 1) return Operand::ofError(ErrorCode::Value);
    if (*index > (vertical ? columns : rows)) return Operand::ofError(ErrorCode::Ref);
    Line keys(c.ev, table, vertical, 0);
    auto found = *approximate ? findSorted(keys, lookup, false) : findExact(keys, lookup, true);
    if (!found) return Operand::ofError(ErrorCode::NA);
    auto other = static_cast<std::uint32_t>(*index - 1);
    return Operand::of(vertical ? c.ev.element(table, *found, other) : c.ev.element(table, other, *found));
}

Operand fnVLookup(Call& c) {
    return unlessEmptyLookup(c, tableLookup(c, true));
}
Operand fnHLookup(Call& c) {
    return unlessEmptyLookup(c, tableLookup(c, false));
}

Operand matchPosition(Call& c) {
    Value lookup = lookupValue(c);
    if (lookup.isError()) return Operand::of(lookup);
    const Operand& array = c.arg(1);
    if (array.isError()) return array;
    if (!isTable(array)) return Operand::ofError(ErrorCode::NA);
    auto type = c.number(2, 1);
    if (!type) return Operand::ofError(*type.error);
    auto [rows, columns] = c.ev.shape(array);
    if (rows != 1 && columns != 1) return Operand::ofError(ErrorCode::NA);
    Line line(c.ev, array, columns == 1 && rows > 1, 0);
    std::optional<std::uint32_t> found;
    if (*type == 0)
        found = findExact(line, lookup, true);
    else
        found = findSorted(line, lookup, *type < 0);
    if (!found) return Operand::ofError(ErrorCode::NA);
    return Operand::ofNumber(*found + 1.0);
}

// The part of a range or array at (row, column), 1-based, 0 meaning all of them.
Operand slice(Evaluation& ev, const Operand& source, std::uint32_t row, std::uint32_t column) {
    auto [rows, columns] = ev.shape(source);
    std::uint32_t top = row == 0 ? 0 : row - 1, height = row == 0 ? rows : 1;
    std::uint32_t left = column == 0 ? 0 : column - 1, width = column == 0 ? columns : 1;
    if (source.isRef()) {
        RefArea area = source.area;
        area.top += top;
        area.left += left;
        area.bottom = area.top + height - 1;
        area.right = area.left + width - 1;
        return Operand::ofRef(area);
    }
    if (source.isValue()) return source;
    Matrix part(height, width);
    for (std::uint32_t r = 0; r < height; ++r)
        for (std::uint32_t col = 0; col < width; ++col)
            part.at(r, col) = source.array->at(top + r, left + col);
    if (height == 1 && width == 1) return Operand::of(part.at(0, 0));
    return Operand::ofArray(std::move(part));
}

Operand fnIndex(Call& c) {
    Operand source = c.arg(0);
    if (source.isError()) return source;
    if (source.isRef()) {
        auto area = c.integer(3);
        if (c.omitted(3)) area = 1.0;
        if (!area) return Operand::ofError(*area.error);
        if (*area < 1 || *area > 1.0 + static_cast<double>(source.more.size()))
            return Operand::ofError(ErrorCode::Ref);
        if (*area > 1) source = Operand::ofRef(source.more[static_cast<std::size_t>(*area) - 2]);
        source.more.clear();
        if (source.area.is3d()) return Operand::ofError(ErrorCode::Value);
    }
    auto [rows, columns] = c.ev.shape(source);
    auto rowIndex = c.integer(1);
    if (c.omitted(1)) rowIndex = 0.0;
    if (!rowIndex) return Operand::ofError(*rowIndex.error);
    Got<double> columnIndex = 0.0;
    if (!c.omitted(2)) {
        columnIndex = c.integer(2);
        if (!columnIndex) return Operand::ofError(*columnIndex.error);
    } else if (rows == 1 && columns > 1) {
        // A single row is indexed by its one number.
        columnIndex = *rowIndex;
        rowIndex = 0.0;
    }
    if (*rowIndex < 0 || *columnIndex < 0 || *rowIndex > rows || *columnIndex > columns)
        return Operand::ofError(ErrorCode::Ref);
    return slice(c.ev, source, static_cast<std::uint32_t>(*rowIndex),
                 static_cast<std::uint32_t>(*columnIndex));
}

Operand vectorLookup(Call& c) {
    Value lookup = lookupValue(c);
    if (lookup.isError()) return Operand::of(lookup);
    const Operand& keys = c.arg(1);
    if (keys.isError()) return keys;
    if (!isTable(keys)) return Operand::ofError(ErrorCode::NA);
    auto [rows, columns] = c.ev.shape(keys);
    bool vertical = rows >= columns;
    if (c.omitted(2)) {
        Line line(c.ev, keys, vertical, 0);
        auto found = findSorted(line, lookup, false);
        if (!found) return Operand::ofError(ErrorCode::NA);
        return Operand::of(vertical ? c.ev.element(keys, *found, columns - 1)
                                    : c.ev.element(keys, rows - 1, *found));
    }
    if (rows != 1 && columns != 1) return Operand::ofError(ErrorCode::NA);
    Line line(c.ev, keys, vertical, 0);
    auto found = findSorted(line, lookup, false);
    if (!found) return Operand::ofError(ErrorCode::NA);
    const Operand& results = c.arg(2);
    if (!isTable(results)) return Operand::ofError(ErrorCode::NA);
    auto [resultRows, resultColumns] = c.ev.shape(results);
    if (resultRows != 1 && resultColumns != 1) return Operand::ofError(ErrorCode::NA);
    bool resultVertical = resultRows >= resultColumns;
    // A result range shorter than the keys is read on past its end, as the application does.
    if (results.isRef()) {
        std::uint64_t row = std::uint64_t{results.area.top} + (resultVertical ? *found : 0);
        std::uint64_t column = std::uint64_t{results.area.left} + (resultVertical ? 0 : *found);
        if (row > kMaxRow || column > kMaxColumn) return Operand::ofError(ErrorCode::Ref);
        return Operand::of(c.ev.cellValue(results.area.sheet, static_cast<std::uint32_t>(row),
                                          static_cast<std::uint32_t>(column)));
    }
    if (*found >= (resultVertical ? resultRows : resultColumns)) return Operand::ofError(ErrorCode::NA);
    return Operand::of(resultVertical ? c.ev.element(results, *found, 0) : c.ev.element(results, 0, *found));
}

Operand fnXLookup(Call& c) {
    Value lookup = c.value(0);
    if (lookup.isError()) return Operand::of(lookup);
    if (lookup.isEmpty()) throw NotComputable("et oppslag etter en tom celle");
    const Operand& keys = c.arg(1);
    const Operand& results = c.arg(2);
    if (keys.isError()) return keys;
    if (results.isError()) return results;
    if (!isTable(keys) || !isTable(results)) return Operand::ofError(ErrorCode::Value);
    auto mode = c.integer(4);
    if (c.omitted(4)) mode = 0.0;
    if (!mode) return Operand::ofError(*mode.error);
    auto search = c.integer(5);
    if (c.omitted(5)) search = 1.0;
    if (!search) return Operand::ofError(*search.error);
    if (*mode < -1 || *mode > 2 || !(*search == 1 || *search == -1 || *search == 2 || *search == -2))
        return Operand::ofError(ErrorCode::Value);
    auto [rows, columns] = c.ev.shape(keys);
    if (rows != 1 && columns != 1) return Operand::ofError(ErrorCode::Value);
    bool vertical = columns == 1 && rows > 1;
    auto [resultRows, resultColumns] = c.ev.shape(results);
    if ((vertical ? resultRows : resultColumns) != (vertical ? rows : columns))
        return Operand::ofError(ErrorCode::Value);
    Line line(c.ev, keys, vertical, 0);
    bool binary = *search == 2 || *search == -2;
    if (binary && *mode == 2) return Operand::ofError(ErrorCode::Value);
    // A binary search lands where the data lets it: on sorted data without repeated keys that is the
    // one answer a search from the start gives too; other data is not computed.
    if (binary) (void)findSorted(line, lookup, *search < 0);
    bool fromEnd = *search == -1;
    std::optional<std::uint32_t> found = findExact(line, lookup, *mode == 2, fromEnd);
    if (!found && (*mode == -1 || *mode == 1)) {
        // The nearest smaller (or larger) value of the same kind; the first of equals in search order.
        std::optional<Value> best;
        std::uint32_t n = line.searchable();
        for (std::uint32_t k = 0; k < n; ++k) {
            std::uint32_t i = fromEnd ? n - 1 - k : k;
            Value v = line.at(i);
            if (!sameKind(v, lookup)) continue;
            int side = compareValues(v, lookup);
            if ((*mode == -1 && side > 0) || (*mode == 1 && side < 0)) continue;
            if (!best || (*mode == -1 ? compareValues(v, *best) > 0 : compareValues(v, *best) < 0)) {
                best = v;
                found = i;
            }
        }
    }
    if (binary && found) {
        Value key = line.at(*found);
        int equal = 0;
        for (std::uint32_t i = 0; i < line.searchable(); ++i)
            equal += exactMatch(key, line.at(i), false);
        if (equal > 1) throw NotComputable("et binært søk blant like nøkler");
    }
    if (!found) {
        if (c.count() > 3 && !c.omitted(3)) return c.arg(3);
        return Operand::ofError(ErrorCode::NA);
    }
    return vertical ? slice(c.ev, results, *found + 1, resultColumns == 1 ? 1 : 0)
                    : slice(c.ev, results, resultRows == 1 ? 1 : 0, *found + 1);
}

Operand fnMatch(Call& c) {
    return unlessEmptyLookup(c, matchPosition(c));
}
Operand fnLookup(Call& c) {
    return unlessEmptyLookup(c, vectorLookup(c));
}

Operand position(Call& c, bool row) {
    if (c.omitted(0)) return Operand::ofNumber(row ? c.frame.row : c.frame.column);
    const Operand& ref = c.arg(0);
    if (ref.isError()) return ref;
    if (!ref.isRef()) return Operand::ofError(ErrorCode::Value);
    if (!ref.more.empty()) return Operand::ofError(ErrorCode::Ref);
    std::uint32_t first = row ? ref.area.top : ref.area.left;
    std::uint32_t count = row ? ref.area.rows() : ref.area.columns();
    if (!c.frame.arrayMode || count == 1) return Operand::ofNumber(first);
    Matrix numbers(row ? count : 1, row ? 1 : count);
    for (std::uint32_t i = 0; i < count; ++i)
        numbers.values[i] = Value::ofNumber(first + i);
    return Operand::ofArray(std::move(numbers));
}

Operand fnRow(Call& c) {
    return position(c, true);
}
Operand fnColumn(Call& c) {
    return position(c, false);
}

Operand extentOf(Call& c, bool rows) {
    const Operand& operand = c.arg(0);
    if (operand.isError()) return operand;
    if (operand.isRef() && !operand.more.empty()) return Operand::ofError(ErrorCode::Ref);
    auto [r, col] = c.ev.shape(operand);
    if (r == 0) return Operand::ofError(ErrorCode::Value);
    return Operand::ofNumber(rows ? r : col);
}

Operand fnRows(Call& c) {
    return extentOf(c, true);
}
Operand fnColumns(Call& c) {
    return extentOf(c, false);
}

Operand fnOffset(Call& c) {
    const Operand& base = c.arg(0);
    if (base.isError()) return base;
    if (!base.isSingleArea()) return Operand::ofError(ErrorCode::Value);
    auto down = c.integer(1), across = c.integer(2);
    if (!down) return Operand::ofError(*down.error);
    if (!across) return Operand::ofError(*across.error);
    double height = base.area.rows(), width = base.area.columns();
    for (auto [index, target] : {std::pair{std::size_t{3}, &height}, std::pair{std::size_t{4}, &width}}) {
        if (c.omitted(index)) continue;
        auto given = c.integer(index);
        if (!given) return Operand::ofError(*given.error);
        *target = *given;
    }
    if (height < 1 || width < 1) return Operand::ofError(ErrorCode::Ref);
    double top = base.area.top + *down, left = base.area.left + *across;
    double bottom = top + height - 1, right = left + width - 1;
    if (top < 1 || left < 1 || bottom > kMaxRow || right > kMaxColumn)
        return Operand::ofError(ErrorCode::Ref);
    RefArea area = base.area;
    area.top = static_cast<std::uint32_t>(top);
    area.left = static_cast<std::uint32_t>(left);
    area.bottom = static_cast<std::uint32_t>(bottom);
    area.right = static_cast<std::uint32_t>(right);
    return Operand::ofRef(area);
}

Operand fnIndirect(Call& c) {
    auto text = c.text(0);
    if (!text) return Operand::ofError(*text.error);
    auto a1 = c.boolean(1, true);
    if (!a1) return Operand::ofError(*a1.error);
    return c.ev.referenceFromText(c.frame, *text, *a1);
}

// A sheet name as a reference writes it: quoted when it holds anything but letters, digits, '_' and
// '.'. A plain name that starts with a digit or reads as a cell (A1, R1C1) may or may not be quoted
// by the application: that is not guessed.
std::string sheetPrefix(std::string_view name) {
    bool plain = true;
    for (char ch : name)
        plain = plain && ((ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9') ||
                          ch == '_' || ch == '.' || static_cast<unsigned char>(ch) >= 0x80);
    if (plain) {
        std::size_t pos = 0;
        bool cellLike = parseArea(name, pos).has_value() && pos == name.size();
        char first = name.front();
        bool r1c1 =
            (first == 'R' || first == 'r' || first == 'C' || first == 'c') &&
            (name.size() == 1 || (name[1] >= '0' && name[1] <= '9') || name[1] == 'C' || name[1] == 'c');
        if (cellLike || r1c1 || (first >= '0' && first <= '9') || first == '.')
            throw NotComputable("ADDRESS med arknavnet «" + std::string(name) +
                                "», som ligner en cellereferanse");
        return std::string(name) + "!";
    }
    std::string quoted = "'";
    for (char ch : name) {
        quoted += ch;
        if (ch == '\'') quoted += '\'';
    }
    return quoted + "'!";
}

// ADDRESS(row, column, [abs], [a1], [sheet]): the reference as text.
Operand fnAddress(Call& c) {
    auto row = c.integer(0), column = c.integer(1);
    if (!row) return Operand::ofError(*row.error);
    if (!column) return Operand::ofError(*column.error);
    auto mode = c.integer(2);
    if (c.omitted(2)) mode = 1.0;
    if (!mode) return Operand::ofError(*mode.error);
    auto a1 = c.boolean(3, true);
    if (!a1) return Operand::ofError(*a1.error);
    if (*row < 1 || *row > kMaxRow || *column < 1 || *column > kMaxColumn || *mode < 1 || *mode > 4)
        return Operand::ofError(ErrorCode::Value);
    bool absoluteRow = *mode == 1 || *mode == 2, absoluteColumn = *mode == 1 || *mode == 3;
    auto r = static_cast<std::uint32_t>(*row), col = static_cast<std::uint32_t>(*column);
    std::string out;
    if (!c.omitted(4)) {
        auto sheet = c.text(4);
        if (!sheet) return Operand::ofError(*sheet.error);
        out = sheet->empty() ? "!" : sheetPrefix(*sheet);
    }
    if (*a1) {
        out += (absoluteColumn ? "$" : "") + columnName(col) + (absoluteRow ? "$" : "") + std::to_string(r);
    } else {
        out += absoluteRow ? "R" + std::to_string(r) : "R[" + std::to_string(r) + "]";
        out += absoluteColumn ? "C" + std::to_string(col) : "C[" + std::to_string(col) + "]";
    }
    return Operand::ofText(std::move(out));
}

Operand fnAreas(Call& c) {
    const Operand& operand = c.arg(0);
    if (operand.isError()) return operand;
    if (!operand.isRef()) return Operand::ofError(ErrorCode::Value);
    return Operand::ofNumber(static_cast<double>(1 + operand.more.size()));
}

} // namespace

const std::vector<FunctionDef>& lookupFunctions() {
    static const std::vector<FunctionDef> functions = {
        {"VLOOKUP", 3, 4, "VRVV", fnVLookup, false},
        {"HLOOKUP", 3, 4, "VRVV", fnHLookup, false},
        {"LOOKUP", 2, 3, "VAA", fnLookup, false},
        {"MATCH", 2, 3, "VAV", fnMatch, false},
        {"XLOOKUP", 3, 6, "VAARVV", fnXLookup, false},
        {"INDEX", 2, 4, "AV", fnIndex, false},
        {"ROW", 0, 1, "R", fnRow, false},
        {"COLUMN", 0, 1, "R", fnColumn, false},
        {"ROWS", 1, 1, "R", fnRows, false},
        {"COLUMNS", 1, 1, "R", fnColumns, false},
        {"OFFSET", 3, 5, "RV", fnOffset, false},
        {"INDIRECT", 1, 2, "V", fnIndirect, false},
        {"ADDRESS", 2, 5, "V", fnAddress, true},
        {"AREAS", 1, 1, "R", fnAreas, false},
    };
    return functions;
}

} // namespace xlsx::eval
