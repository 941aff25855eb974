#pragma once

// An in-memory workbook behind the contract, for fast tests of the booking core. It keeps the
// contract's rules (1-based limits, read-only workbooks refuse writes, row insertion refuses to push
// content past the last row) and records what was done to it.

#include "sheets/Workbook.h"

#include <filesystem>
#include <initializer_list>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

// A value to put into a fake cell: a text ("" leaves the cell empty), a number, or one of the
// other kinds through the named helpers.
struct FakeValue {
    sheets::CellValue::Kind kind = sheets::CellValue::Kind::Empty;
    double number = 0;
    std::string text;

    FakeValue() = default;
    FakeValue(const char* t)
        : kind(*t ? sheets::CellValue::Kind::Text : sheets::CellValue::Kind::Empty), text(t) {}
    FakeValue(std::string t) : FakeValue(t.c_str()) {}
    FakeValue(double n) : kind(sheets::CellValue::Kind::Number), number(n) {}
    FakeValue(int n) : FakeValue(static_cast<double>(n)) {}
    static FakeValue boolean(bool b);
    static FakeValue dateTime(double serial);
    static FakeValue error(std::string literal);
};

class FakeWorkbook;

class FakeSheet : public sheets::Worksheet {
public:
    FakeSheet(FakeWorkbook& book, std::string name, bool holdsCells);

    const std::string& name() const override { return m_name; }
    sheets::CellValue cell(int row, int column) const override;
    bool rowHasContent(int row) const override;
    void setText(int row, int column, std::string_view text) override;
    void setNumber(int row, int column, double value) override;
    void insertRow(int row, sheets::CopyOrigin origin) override;

    // Test set-up and inspection, not bound by the workbook's mode.
    FakeSheet& put(int row, int column, const FakeValue& value);
    // Puts values into columns 1, 2, ... of `row`.
    FakeSheet& row(int row, std::initializer_list<FakeValue> values);
    // One line per non-empty cell, row by row: "Sheet!B12:n:6.5" (s text, n number in shortest
    // round-trip form, b boolean, d date serial, e error).
    std::string dump() const;

    struct Insertion {
        int row;
        sheets::CopyOrigin origin;
        bool operator==(const Insertion&) const = default;
    };
    const std::vector<Insertion>& insertions() const { return m_insertions; }
    int writes() const { return m_writes; }
    int reads() const { return m_reads; } // cell() calls

private:
    void check(int row, int column) const;
    void checkWritable(int row, int column) const;

    FakeWorkbook& m_book;
    std::string m_name;
    bool m_holdsCells;
    std::map<std::pair<int, int>, FakeValue> m_cells;
    std::vector<Insertion> m_insertions;
    int m_writes = 0;
    mutable int m_reads = 0;
};

class FakeWorkbook : public sheets::Workbook {
public:
    explicit FakeWorkbook(std::filesystem::path path);

    FakeSheet& addSheet(std::string name);
    // A sheet without cells, as a chartsheet is.
    FakeSheet& addChartsheet(std::string name);
    void setActive(int index) { m_active = index; }
    FakeSheet& fake(int index);

    const std::filesystem::path& path() const override { return m_path; }
    int sheetCount() const override { return static_cast<int>(m_sheets.size()); }
    sheets::Worksheet& sheet(int index) override { return fake(index); }
    sheets::Worksheet& activeSheet() override { return fake(m_active); }
    void save() override;

    // The mode of the latest open through FakeWorkbookOpener (ReadWrite until then).
    sheets::OpenMode mode = sheets::OpenMode::ReadWrite;
    int saves() const { return m_saves; }
    // Makes save() throw sheets::Error with this message.
    void failSave(std::string message) { m_saveFailure = std::move(message); }
    std::string dump() const;

private:
    std::filesystem::path m_path;
    std::vector<std::unique_ptr<FakeSheet>> m_sheets;
    int m_active = 1;
    int m_saves = 0;
    std::string m_saveFailure;
};

// Serves FakeWorkbooks by path. Each open gives a handle onto the same book, so the test still sees
// the book after the code under test has dropped its handle.
class FakeWorkbookOpener : public sheets::WorkbookOpener {
public:
    void add(FakeWorkbook& book) { m_books[book.path()] = &book; }
    // Throws sheets::Error as the engine does for a file it cannot open.
    std::unique_ptr<sheets::Workbook> open(const std::filesystem::path& path, sheets::OpenMode mode) override;

    struct Opened {
        std::filesystem::path path;
        sheets::OpenMode mode;
    };
    std::vector<Opened> opened;

private:
    std::map<std::filesystem::path, FakeWorkbook*> m_books;
};

} // namespace testsupport
