#include "GridSource.h"

#include "formula/CellRef.h"
#include "formula/ReferenceSyntax.h"
#include "sheets/AsciiCase.h"

#include <algorithm>
#include <charconv>
#include <sstream>
#include <stdexcept>

namespace evaltest {

using xlsx::eval::Value;

namespace {

xlsx::CellRef position(std::string_view cell) {
    auto ref = xlsx::CellRef::parse(cell);
    if (!ref) throw std::invalid_argument("not a cell: " + std::string(cell));
    return *ref;
}

// Not std::stod, which reads by the process locale.
double parseDouble(const std::string& text) {
    double value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size())
        throw std::invalid_argument("not a number: " + text);
    return value;
}

} // namespace

GridSource::GridSource(std::vector<std::string> sheetNames) {
    for (auto& name : sheetNames)
        m_sheets.push_back({std::move(name), {}});
}

GridSource::Cell& GridSource::at(int sheet, std::string_view cell) {
    auto ref = position(cell);
    auto& stored = m_sheets.at(static_cast<std::size_t>(sheet)).cells[{ref.row(), ref.column()}];
    stored = Cell{};
    stored.anchorRow = ref.row();
    stored.anchorColumn = ref.column();
    return stored;
}

void GridSource::number(int sheet, std::string_view cell, double value) {
    auto& c = at(sheet, cell);
    c.kind = Value::Kind::Number;
    c.number = value;
}

void GridSource::text(int sheet, std::string_view cell, std::string value) {
    auto& c = at(sheet, cell);
    c.kind = Value::Kind::Text;
    c.text = std::move(value);
}

void GridSource::boolean(int sheet, std::string_view cell, bool value) {
    auto& c = at(sheet, cell);
    c.kind = Value::Kind::Boolean;
    c.number = value ? 1 : 0;
}

void GridSource::error(int sheet, std::string_view cell, std::string literal) {
    auto& c = at(sheet, cell);
    c.kind = Value::Kind::Error;
    c.text = std::move(literal);
}

void GridSource::formula(int sheet, std::string_view cell, std::string text, bool array) {
    auto& c = at(sheet, cell);
    c.formula = std::move(text);
    c.array = array;
}

void GridSource::storedFormula(int sheet, std::string_view cell, std::string text, double stored) {
    auto& c = at(sheet, cell);
    c.formula = std::move(text);
    c.kind = Value::Kind::Number;
    c.number = stored;
    c.current = true;
}

void GridSource::sharedFormula(int sheet, std::string_view cell, std::string text, std::string_view anchor) {
    auto& c = at(sheet, cell);
    c.formula = std::move(text);
    auto ref = position(anchor);
    c.anchorRow = ref.row();
    c.anchorColumn = ref.column();
}

void GridSource::blocked(int sheet, std::string_view cell, std::string text, std::string reason) {
    auto& c = at(sheet, cell);
    c.formula = std::move(text);
    c.blocker = std::move(reason);
}

void GridSource::clear(int sheet, std::string_view cell) {
    auto ref = position(cell);
    m_sheets.at(static_cast<std::size_t>(sheet)).cells.erase({ref.row(), ref.column()});
}

void GridSource::name(std::string name, std::string formula, int scope) {
    m_names.push_back({std::move(name), std::move(formula), scope});
}

namespace {

std::vector<std::string> splitTabs(const std::string& line) {
    std::vector<std::string> fields(1);
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] == '\t') {
            fields.emplace_back();
        } else if (line[i] == '\\' && i + 3 < line.size() && line[i + 1] == 'x') {
            fields.back() += static_cast<char>(std::stoi(line.substr(i + 2, 2), nullptr, 16));
            i += 3;
        } else if (line[i] == '\\' && i + 1 < line.size()) {
            char next = line[++i];
            fields.back() += next == 't' ? '\t' : next == 'n' ? '\n' : next == 'r' ? '\r' : next;
        } else {
            fields.back() += line[i];
        }
    }
    return fields;
}

} // namespace

GridSource GridSource::fromDump(const std::string& dump) {
    GridSource grid(std::vector<std::string>{});
    std::istringstream lines(dump);
    for (std::string line; std::getline(lines, line);) {
        auto f = splitTabs(line);
        if (f[0] == "sheet") {
            grid.m_sheets.push_back({f.at(1), {}});
        } else if (f[0] == "name") {
            grid.name(f.at(1), f.at(3), std::stoi(f.at(2)));
        } else if (f[0] == "cell") {
            int sheet = grid.sheetIndex(f.at(1));
            const std::string& kind = f.at(3);
            const std::string& value = f.at(4);
            if (kind == "n")
                grid.number(sheet, f[2], parseDouble(value));
            else if (kind == "s")
                grid.text(sheet, f[2], value);
            else if (kind == "b")
                grid.boolean(sheet, f[2], value == "1");
            else if (kind == "e")
                grid.error(sheet, f[2], value);
            else
                grid.formula(sheet, f[2], value, kind == "a");
        }
    }
    return grid;
}

int GridSource::sheetIndex(std::string_view name) const {
    for (std::size_t i = 0; i < m_sheets.size(); ++i)
        if (m_sheets[i].name == name) return static_cast<int>(i);
    throw std::invalid_argument("no sheet " + std::string(name));
}

bool GridSource::hasCells(int sheet) const {
    return std::find(m_noCells.begin(), m_noCells.end(), sheet) == m_noCells.end();
}

xlsx::eval::Extent GridSource::extent(int sheet) const {
    xlsx::eval::Extent extent;
    for (const auto& [key, cell] : m_sheets[static_cast<std::size_t>(sheet)].cells) {
        extent.rows = std::max(extent.rows, key.first);
        extent.columns = std::max(extent.columns, key.second);
    }
    return extent;
}

xlsx::eval::SourceCell GridSource::view(int sheet, std::uint32_t row, std::uint32_t column,
                                        const Cell& cell) const {
    xlsx::eval::SourceCell out;
    out.kind = cell.kind;
    out.number = cell.number;
    out.text = cell.text;
    out.formula = cell.formula;
    out.anchorRow = cell.anchorRow;
    out.anchorColumn = cell.anchorColumn;
    out.array = cell.array;
    out.blocker = cell.blocker;
    out.current = cell.current;
    out.id = (static_cast<std::uint64_t>(sheet) << 40) | (std::uint64_t{row} << 14) | column;
    return out;
}

xlsx::eval::SourceCell GridSource::cell(int sheet, std::uint32_t row, std::uint32_t column) const {
    ++m_reads;
    const auto& cells = m_sheets.at(static_cast<std::size_t>(sheet)).cells;
    auto found = cells.find({row, column});
    if (found == cells.end()) return {};
    return view(sheet, row, column, found->second);
}

void GridSource::forEachCell(
    int sheet, std::uint32_t top, std::uint32_t left, std::uint32_t bottom, std::uint32_t right, bool,
    const std::function<void(std::uint32_t, std::uint32_t, const xlsx::eval::SourceCell&)>& visit) const {
    ++m_reads;
    const auto& cells = m_sheets.at(static_cast<std::size_t>(sheet)).cells;
    for (auto it = cells.lower_bound({top, 0}); it != cells.end() && it->first.first <= bottom; ++it) {
        auto [row, column] = it->first;
        if (column < left || column > right) continue;
        visit(row, column, view(sheet, row, column, it->second));
    }
}

void GridSource::storeResult(int sheet, std::uint32_t row, std::uint32_t column, const Value& value) {
    auto& cell = m_sheets.at(static_cast<std::size_t>(sheet)).cells.at({row, column});
    cell.kind = value.kind;
    cell.number = value.number;
    cell.text = value.isError() ? std::string(xlsx::eval::errorLiteral(value.error)) : value.text;
    cell.current = true;
    ++m_stored;
}

xlsx::eval::RowState GridSource::rowState(int sheet, std::uint32_t row) const {
    auto found = m_rowStates.find({sheet, row});
    return found == m_rowStates.end() ? xlsx::eval::RowState::Visible : found->second;
}

std::optional<xlsx::eval::NameDefinition> GridSource::definedName(std::string_view name, int scope) const {
    for (const auto& n : m_names)
        if (n.scope == scope && sheets::equalIgnoringAsciiCase(n.name, name))
            return xlsx::eval::NameDefinition{n.formula, n.scope};
    return std::nullopt;
}

void GridSource::table(int sheet, std::string name, std::string_view area, std::vector<std::string> columns,
                       std::uint32_t headerRows, std::uint32_t totalsRows) {
    auto colon = area.find(':');
    auto first = position(area.substr(0, colon)), last = position(area.substr(colon + 1));
    m_tables.push_back({std::move(name), sheet, first.row(), first.column(), last.row(), last.column(),
                        headerRows, totalsRows, std::move(columns)});
}

std::optional<xlsx::eval::TableView> GridSource::table(std::string_view name) const {
    for (const auto& table : m_tables)
        if (sheets::equalIgnoringAsciiCase(table.name, name)) return table.view();
    return std::nullopt;
}

std::optional<xlsx::eval::TableView> GridSource::tableAt(int sheet, std::uint32_t row,
                                                         std::uint32_t column) const {
    for (const auto& table : m_tables)
        if (table.sheet == sheet && row >= table.top && row <= table.bottom && column >= table.left &&
            column <= table.right)
            return table.view();
    return std::nullopt;
}

} // namespace evaltest
