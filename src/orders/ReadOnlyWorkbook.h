#pragma once

// A workbook read whole from a file of another format and served read-only through the contract.
// Cells are held as runs: a value repeated over many rows or columns is held once.

#include "sheets/Place.h"
#include "sheets/Workbook.h"

#include <deque>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace orders {

enum class SheetKind { Worksheet, Chartsheet, Macrosheet, Other };

// A value over the columns first..last of a block of rows.
struct ColumnRun {
    int first;
    int last;
    sheets::CellValue value;
};

class ReadOnlyWorkbook;

class ReadOnlySheet final : public sheets::Worksheet {
public:
    ReadOnlySheet(const ReadOnlyWorkbook& book, std::string name, SheetKind kind, int maxRow, int maxColumn)
        : m_book(book), m_name(std::move(name)), m_kind(kind), m_maxRow(maxRow), m_maxColumn(maxColumn) {}

    const std::string& name() const override { return m_name; }
    sheets::CellValue cell(int row, int column) const override;
    bool rowHasContent(int row) const override;
    void setText(int, int, std::string_view) override { refuseChange(); }
    void setNumber(int, int, double) override { refuseChange(); }
    void insertRow(int, sheets::CopyOrigin) override { refuseChange(); }

    sheets::Place place() const;

    // Rows first..last hold the runs, in increasing column order without overlap. Blocks are added
    // in increasing row order without overlap.
    void addRows(int first, int last, std::vector<ColumnRun> runs);

private:
    [[noreturn]] void refuseChange() const;
    // Refuses a sheet without cells and a position outside the sheet.
    void check(int row, int column) const;

    struct RowRun {
        int first;
        int last;
        std::vector<ColumnRun> columns;
    };

    const ReadOnlyWorkbook& m_book;
    std::string m_name;
    SheetKind m_kind;
    int m_maxRow;
    int m_maxColumn;
    std::vector<RowRun> m_rows;
};

class ReadOnlyWorkbook final : public sheets::Workbook {
public:
    ReadOnlyWorkbook(std::filesystem::path path, std::string formatName)
        : m_path(std::move(path)), m_formatName(std::move(formatName)) {}

    const std::filesystem::path& path() const override { return m_path; }
    int sheetCount() const override { return static_cast<int>(m_sheets.size()); }
    sheets::Worksheet& sheet(int index) override;
    sheets::Worksheet& activeSheet() override { return *m_sheets.at(m_active); }
    void save() override { refuseChange(place(), sheets::kCannotSave); }

    ReadOnlySheet& addSheet(std::string name, SheetKind kind, int maxRow, int maxColumn);
    // 0-based; an index past the sheets leaves the first one active.
    void setActiveSheet(std::size_t index) {
        if (index < m_sheets.size()) m_active = index;
    }
    // Keeps a text for the life of the workbook; cell values point into it.
    std::string_view keep(std::string text) { return m_texts.emplace_back(std::move(text)); }

    sheets::Place place() const { return sheets::Place{m_path}; }
    // Throws sheets::Error: a workbook of this format is read-only.
    [[noreturn]] void refuseChange(const sheets::Place& where, std::string_view action) const;

private:
    std::filesystem::path m_path;
    std::string m_formatName;
    std::vector<std::unique_ptr<ReadOnlySheet>> m_sheets;
    std::size_t m_active = 0;
    std::deque<std::string> m_texts;
};

} // namespace orders
