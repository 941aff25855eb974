#include "support/FakeWorkbook.h"

#include "sheets/Error.h"

#include <charconv>
#include <sstream>

namespace testsupport {

namespace {

using sheets::kMaxColumn;
using sheets::kMaxRow;

std::string columnName(int column) {
    std::string name;
    for (; column > 0; column = (column - 1) / 26)
        name.insert(name.begin(), static_cast<char>('A' + (column - 1) % 26));
    return name;
}

std::string shortest(double value) {
    char buffer[32];
    auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
    std::string text(buffer, end);
    if (text.find_first_of(".en") == std::string::npos) text += ".0";
    return text;
}

class BookHandle : public sheets::Workbook {
public:
    explicit BookHandle(FakeWorkbook& book) : m_book(book) {}
    const std::filesystem::path& path() const override { return m_book.path(); }
    int sheetCount() const override { return m_book.sheetCount(); }
    sheets::Worksheet& sheet(int index) override { return m_book.sheet(index); }
    sheets::Worksheet& activeSheet() override { return m_book.activeSheet(); }
    void save() override { m_book.save(); }

private:
    FakeWorkbook& m_book;
};

} // namespace

FakeValue FakeValue::boolean(bool b) {
    FakeValue v;
    v.kind = sheets::CellValue::Kind::Boolean;
    v.number = b ? 1 : 0;
    return v;
}

FakeValue FakeValue::dateTime(double serial) {
    FakeValue v;
    v.kind = sheets::CellValue::Kind::DateTime;
    v.number = serial;
    return v;
}

FakeValue FakeValue::error(std::string literal) {
    FakeValue v;
    v.kind = sheets::CellValue::Kind::Error;
    v.text = std::move(literal);
    return v;
}

FakeSheet::FakeSheet(FakeWorkbook& book, std::string name, bool holdsCells)
    : m_book(book), m_name(std::move(name)), m_holdsCells(holdsCells) {}

void FakeSheet::check(int row, int column) const {
    if (!m_holdsCells)
        throw sheets::Error("Arket «" + m_name + "» i «" + m_book.path().string() + "» har ingen celler");
    if (row < 1 || row > kMaxRow || column < 1 || column > kMaxColumn)
        throw sheets::Error("Cellen (" + std::to_string(row) + ", " + std::to_string(column) +
                            ") på arket «" + m_name + "» i «" + m_book.path().string() + "» finnes ikke");
}

void FakeSheet::checkWritable(int row, int column) const {
    check(row, column);
    if (m_book.mode == sheets::OpenMode::ReadOnly)
        throw sheets::Error("Kan ikke skrive i «" + m_book.path().string() + "»: åpnet skrivebeskyttet");
}

sheets::CellValue FakeSheet::cell(int row, int column) const {
    ++m_reads;
    check(row, column);
    auto it = m_cells.find({row, column});
    if (it == m_cells.end()) return {};
    const FakeValue& v = it->second;
    return {v.kind, v.number, v.text};
}

bool FakeSheet::rowHasContent(int row) const {
    check(row, 1);
    // Cells are ordered by row, then column; the fake holds no empty cells and no formulas.
    auto it = m_cells.lower_bound({row, 1});
    return it != m_cells.end() && it->first.first == row;
}

void FakeSheet::setText(int row, int column, std::string_view text) {
    checkWritable(row, column);
    ++m_writes;
    if (text.empty()) { // clears the cell, as the engine does
        m_cells.erase({row, column});
        return;
    }
    FakeValue v;
    v.kind = sheets::CellValue::Kind::Text;
    v.text = text;
    m_cells[{row, column}] = std::move(v);
}

void FakeSheet::setNumber(int row, int column, double value) {
    checkWritable(row, column);
    ++m_writes;
    m_cells[{row, column}] = FakeValue(value);
}

void FakeSheet::insertRow(int row, sheets::CopyOrigin origin) {
    checkWritable(row, 1);
    if (!m_cells.empty() && m_cells.rbegin()->first.first == kMaxRow)
        throw sheets::Error("Kan ikke sette inn en rad på arket «" + m_name +
                            "»: innholdet ville gå forbi siste rad");
    std::map<std::pair<int, int>, FakeValue> moved;
    for (auto& [at, value] : m_cells)
        moved.emplace(std::pair{at.first >= row ? at.first + 1 : at.first, at.second}, std::move(value));
    m_cells = std::move(moved);
    m_insertions.push_back({row, origin});
}

FakeSheet& FakeSheet::put(int row, int column, const FakeValue& value) {
    check(row, column);
    if (value.kind == sheets::CellValue::Kind::Empty)
        m_cells.erase({row, column});
    else
        m_cells[{row, column}] = value;
    return *this;
}

FakeSheet& FakeSheet::row(int row, std::initializer_list<FakeValue> values) {
    int column = 1;
    for (const auto& v : values)
        put(row, column++, v);
    return *this;
}

std::string FakeSheet::dump() const {
    std::ostringstream out;
    for (const auto& [at, v] : m_cells) {
        out << m_name << '!' << columnName(at.second) << at.first << ':';
        switch (v.kind) {
        case sheets::CellValue::Kind::Text:
            out << "s:" << v.text;
            break;
        case sheets::CellValue::Kind::Number:
            out << "n:" << shortest(v.number);
            break;
        case sheets::CellValue::Kind::Boolean:
            out << "b:" << (v.number != 0 ? 1 : 0);
            break;
        case sheets::CellValue::Kind::DateTime:
            out << "d:" << shortest(v.number);
            break;
        case sheets::CellValue::Kind::Error:
            out << "e:" << v.text;
            break;
        case sheets::CellValue::Kind::Empty:
            out << "empty";
            break;
        }
        out << '\n';
    }
    return out.str();
}

FakeWorkbook::FakeWorkbook(std::filesystem::path path) : m_path(std::move(path)) {}

FakeSheet& FakeWorkbook::addSheet(std::string name) {
    m_sheets.push_back(std::make_unique<FakeSheet>(*this, std::move(name), true));
    return *m_sheets.back();
}

FakeSheet& FakeWorkbook::addChartsheet(std::string name) {
    m_sheets.push_back(std::make_unique<FakeSheet>(*this, std::move(name), false));
    return *m_sheets.back();
}

FakeSheet& FakeWorkbook::fake(int index) {
    if (index < 1 || index > sheetCount())
        throw sheets::Error("Arket nr. " + std::to_string(index) + " finnes ikke i «" + m_path.string() +
                            "»");
    return *m_sheets[static_cast<std::size_t>(index - 1)];
}

void FakeWorkbook::save() {
    if (mode == sheets::OpenMode::ReadOnly)
        throw sheets::Error("Kan ikke lagre «" + m_path.string() + "»: åpnet skrivebeskyttet");
    if (!m_saveFailure.empty()) throw sheets::Error(m_saveFailure);
    ++m_saves;
}

std::string FakeWorkbook::dump() const {
    std::string all;
    for (const auto& sheet : m_sheets)
        all += sheet->dump();
    return all;
}

std::unique_ptr<sheets::Workbook> FakeWorkbookOpener::open(const std::filesystem::path& path,
                                                           sheets::OpenMode mode) {
    opened.push_back({path, mode});
    auto it = m_books.find(path);
    if (it == m_books.end()) throw sheets::Error("Kan ikke åpne «" + path.string() + "»: filen finnes ikke");
    it->second->mode = mode;
    return std::make_unique<BookHandle>(*it->second);
}

} // namespace testsupport
