#pragma once

// openpyxl's view of a workbook, as tests/support/dump_workbook.py --exact prints it: the sheets
// in order with their kinds and extents, the active tab and every non-empty cell's cached value.

#include <filesystem>
#include <map>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace testsupport {

struct SheetView {
    std::string kind; // worksheet, chartsheet, dialogsheet ...
    int maxRow = 0;
    int maxColumn = 0;
    std::string name;
};

struct CellView {
    char kind = 0; // n s b d e
    std::string text;
    bool operator==(const CellView&) const = default;
};

struct Position {
    int sheet, row, column;
    auto operator<=>(const Position&) const = default;
};

struct BookView {
    std::vector<SheetView> sheets;
    int active = 0;
    std::map<Position, CellView> cells;
};

// Runs openpyxl on the workbook; throws std::runtime_error when openpyxl fails.
BookView openpyxlView(const std::filesystem::path& book);

// "B12" -> {12, 2}, and back.
std::pair<int, int> parseRef(std::string_view ref);
std::string cellRef(int row, int column);

} // namespace testsupport
