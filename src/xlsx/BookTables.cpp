// The tables of a worksheet, found through the sheet's relationships, for formulas that name them.

#include "Book.h"

namespace xlsx {

std::vector<TableDefinition> Book::readTables(const Sheet& sheet) const {
    std::vector<TableDefinition> tables;
    for (const auto& part : sheetParts(sheet, "table"))
        tables.push_back(readTablePart(package().read(part), sheet.place().withPart(part)));
    return tables;
}

} // namespace xlsx
