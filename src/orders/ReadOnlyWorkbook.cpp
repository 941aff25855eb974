#include "ReadOnlyWorkbook.h"

#include "sheets/Error.h"

#include <algorithm>

namespace orders {

namespace {

// No format has larger sheets than the newest spreadsheet's.
constexpr int kMaxRow = 1048576;
constexpr int kMaxColumn = 16384;

} // namespace

std::string quoted(const std::filesystem::path& path) {
    return "«" + path.string() + "»";
}

void failOpen(const std::filesystem::path& path, const std::string& cause) {
    throw sheets::Error("Kan ikke åpne " + quoted(path) + ": " + cause);
}

void ReadOnlySheet::check(int row, int column) const {
    if (m_kind != SheetKind::Worksheet) {
        const char* what = m_kind == SheetKind::Chartsheet   ? "et diagramark"
                           : m_kind == SheetKind::Macrosheet ? "et makroark"
                                                             : "ikke et regneark";
        throw sheets::Error("Arket «" + m_name + "» i " + m_book.fileName() + " er " + what +
                            " og har ingen celler");
    }
    if (row < 1 || row > m_maxRow || column < 1 || column > m_maxColumn)
        throw sheets::Error("Ugyldig celle (rad " + std::to_string(row) + ", kolonne " +
                            std::to_string(column) + ") på arket «" + m_name + "» i " + m_book.fileName());
}

sheets::CellValue ReadOnlySheet::cell(int row, int column) const {
    check(row, column);
    auto rows = std::upper_bound(m_rows.begin(), m_rows.end(), row,
                                 [](int r, const RowRun& run) { return r < run.first; });
    if (rows == m_rows.begin() || (--rows)->last < row) return sheets::CellValue::empty();
    auto runs = std::upper_bound(rows->columns.begin(), rows->columns.end(), column,
                                 [](int c, const ColumnRun& run) { return c < run.first; });
    if (runs == rows->columns.begin() || (--runs)->last < column) return sheets::CellValue::empty();
    return runs->value;
}

bool ReadOnlySheet::rowHasContent(int row) const {
    check(row, 1);
    auto rows = std::upper_bound(m_rows.begin(), m_rows.end(), row,
                                 [](int r, const RowRun& run) { return r < run.first; });
    if (rows == m_rows.begin() || (--rows)->last < row) return false;
    return std::any_of(rows->columns.begin(), rows->columns.end(), [](const ColumnRun& run) {
        return !(run.value.kind == sheets::CellValue::Kind::Empty ||
                 (run.value.kind == sheets::CellValue::Kind::Text && run.value.text.empty()));
    });
}

void ReadOnlySheet::addRows(int first, int last, std::vector<ColumnRun> runs) {
    if (runs.empty()) return;
    m_rows.push_back({first, last, std::move(runs)});
}

void ReadOnlySheet::refuseChange() const {
    m_book.refuseChange();
}

sheets::Worksheet& ReadOnlyWorkbook::sheet(int index) {
    if (index < 1 || index > sheetCount())
        throw sheets::Error("Arbeidsboken " + fileName() + " har ikke noe ark nummer " +
                            std::to_string(index));
    return *m_sheets[static_cast<std::size_t>(index - 1)];
}

ReadOnlySheet& ReadOnlyWorkbook::addSheet(std::string name, SheetKind kind, int maxRow, int maxColumn) {
    return *m_sheets.emplace_back(std::make_unique<ReadOnlySheet>(
        *this, std::move(name), kind, std::min(maxRow, kMaxRow), std::min(maxColumn, kMaxColumn)));
}

std::string ReadOnlyWorkbook::fileName() const {
    return quoted(m_path);
}

void ReadOnlyWorkbook::refuseChange() const {
    throw sheets::Error("Arbeidsboken " + fileName() + " er i " + m_formatName +
                        "-formatet og er åpnet bare for lesing; den kan ikke endres");
}

} // namespace orders
