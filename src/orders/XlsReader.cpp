#include "XlsReader.h"

#include "DateText.h"
#include "ReadOnlyWorkbook.h"

#include <freexl.h>

#include <algorithm>

namespace orders {

namespace {

std::string causeOf(int code) {
    switch (code) {
    case FREEXL_INSUFFICIENT_MEMORY:
        return "et ark er for stort til å leses";
    case FREEXL_INVALID_CHARACTER:
    case FREEXL_UNSUPPORTED_CHARSET:
        return "teksten er lagret i et tegnsett som ikke kan leses";
    default:
        return "filen er skadet (feil " + std::to_string(code) + " fra .xls-leseren)";
    }
}

class FreeXlWorkbook {
public:
    explicit FreeXlWorkbook(const std::filesystem::path& path) : m_path(path) {
        const int code = freexl_open(path.c_str(), &m_handle);
        // FreeXL reports some records it refuses as success with no workbook.
        if (code != FREEXL_OK || !m_handle) {
            close();
            fail(code != FREEXL_OK ? code : FREEXL_NULL_HANDLE);
        }
    }
    ~FreeXlWorkbook() { close(); }
    FreeXlWorkbook(const FreeXlWorkbook&) = delete;
    FreeXlWorkbook& operator=(const FreeXlWorkbook&) = delete;

    unsigned info(unsigned short what) const {
        unsigned value = 0;
        check(freexl_get_info(m_handle, what, &value));
        return value;
    }
    std::string sheetName(unsigned index) const {
        const char* name = nullptr;
        check(freexl_get_worksheet_name(m_handle, static_cast<unsigned short>(index), &name));
        return name ? name : "";
    }
    // Calls `visit(row, column, value)` (0-based) for every cell that is not empty.
    template <typename Visit> void forEachCell(unsigned sheet, Visit visit) const {
        check(freexl_select_active_worksheet(m_handle, static_cast<unsigned short>(sheet)));
        unsigned rows = 0;
        unsigned short columns = 0;
        check(freexl_worksheet_dimensions(m_handle, &rows, &columns));
        for (unsigned row = 0; row < rows; ++row)
            for (unsigned short column = 0; column < columns; ++column) {
                FreeXL_CellValue value;
                check(freexl_get_cell_value(m_handle, row, column, &value));
                if (value.type != FREEXL_CELL_NULL) visit(row, column, value);
            }
    }

private:
    void close() {
        if (m_handle) freexl_close(m_handle);
        m_handle = nullptr;
    }
    void check(int code) const {
        if (code != FREEXL_OK) fail(code);
    }
    [[noreturn]] void fail(int code) const { sheets::Place{m_path}.fail(sheets::kCannotRead, causeOf(code)); }

    std::filesystem::path m_path;
    const void* m_handle = nullptr;
};

// Cells in any order into row blocks, the later of two at one position winning.
void addCells(ReadOnlySheet& sheet, std::vector<BiffCell>& cells) {
    std::stable_sort(cells.begin(), cells.end(), [](const BiffCell& a, const BiffCell& b) {
        return a.row != b.row ? a.row < b.row : a.column < b.column;
    });
    for (std::size_t i = 0; i < cells.size();) {
        const int row = cells[i].row;
        std::vector<ColumnRun> runs;
        for (; i < cells.size() && cells[i].row == row; ++i) {
            if (!runs.empty() && runs.back().first == cells[i].column)
                runs.back().value = cells[i].value;
            else
                runs.push_back({cells[i].column, cells[i].column, cells[i].value});
        }
        sheet.addRows(row, row, std::move(runs));
    }
}

SheetKind kindOf(std::uint8_t type) {
    switch (type) {
    case 0:
        return SheetKind::Worksheet;
    case 1:
        return SheetKind::Macrosheet;
    case 2:
        return SheetKind::Chartsheet;
    default:
        return SheetKind::Other;
    }
}

constexpr int kMaxColumn = 256;

} // namespace

std::unique_ptr<sheets::Workbook> readXls(const std::filesystem::path& path, BiffWorkbook biff) {
    auto book = std::make_unique<ReadOnlyWorkbook>(path, ".xls");
    std::vector<std::string_view> texts;
    texts.reserve(biff.texts.size());
    for (auto& text : biff.texts)
        texts.push_back(book->keep(std::move(text)));
    for (auto& source : biff.sheets) {
        const auto kind = kindOf(source.type);
        auto& sheet =
            book->addSheet(std::move(source.name), kind, biff.version == 8 ? 65536 : 16384, kMaxColumn);
        if (kind != SheetKind::Worksheet) continue;
        for (auto& cell : source.cells)
            if (cell.value.kind == sheets::CellValue::Kind::Text) cell.value.text = texts[cell.text];
        addCells(sheet, source.cells);
        source.cells = {};
    }
    book->setActiveSheet(static_cast<std::size_t>(biff.activeTab));
    return book;
}

std::unique_ptr<sheets::Workbook> readLegacyXls(const std::filesystem::path& path) {
    FreeXlWorkbook freexl(path);
    auto book = std::make_unique<ReadOnlyWorkbook>(path, ".xls");
    const unsigned count = freexl.info(FREEXL_BIFF_SHEET_COUNT);
    for (unsigned index = 0; index < count; ++index) {
        auto& sheet = book->addSheet(freexl.sheetName(index), SheetKind::Worksheet, 16384, kMaxColumn);
        std::vector<BiffCell> cells;
        freexl.forEachCell(index, [&](unsigned row, unsigned short column, const FreeXL_CellValue& value) {
            sheets::CellValue cell;
            switch (value.type) {
            case FREEXL_CELL_INT:
                cell = sheets::CellValue::ofNumber(value.value.int_value);
                break;
            case FREEXL_CELL_DOUBLE:
                cell = sheets::CellValue::ofNumber(value.value.double_value);
                break;
            case FREEXL_CELL_DATE:
            case FREEXL_CELL_DATETIME:
            case FREEXL_CELL_TIME:
                if (auto serial = serialOfDateTimeText(value.value.text_value)) {
                    cell = sheets::CellValue::ofDateTime(*serial);
                    break;
                }
                [[fallthrough]];
            default:
                cell = sheets::CellValue::ofText(book->keep(value.value.text_value));
                break;
            }
            cells.push_back({static_cast<int>(row) + 1, column + 1, cell, 0});
        });
        addCells(sheet, cells);
    }
    return book;
}

} // namespace orders
