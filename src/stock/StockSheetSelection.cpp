#include "StockSheetSelection.h"

#include "sheets/AsciiCase.h"

namespace stock {

std::optional<StockSheet> selectStockSheet(Run& run, OrderLine& line) {
    sheets::Worksheet* OleWorkSheet2 = nullptr;
    for (int i = 1; i <= run.OleWorkBook2->sheetCount(); ++i) {
        auto& sheet = run.OleWorkBook2->sheet(i);
        if (sheets::equalIgnoringAsciiCase(line.Produkt, sheet.name())) {
            OleWorkSheet2 = &sheet;
            break;
        }
    }
    if (!OleWorkSheet2) {
        run.warn("Ark " + line.Produkt + " ikke funnet i tulverkan!");
        return std::nullopt;
    }

    // The first of columns 4, 5 and 6 whose header says "overflate" is the surface column.
    int Dim = 0;
    for (int candidate = 1; candidate <= 3 && Dim == 0; ++candidate)
        if (run.CellStr2(*OleWorkSheet2, 1, StockColumn::Overflate(candidate)) == "overflate")
            Dim = candidate;

    if (Dim == 2) {
        if (line.Produkt == "\u00D8") {
            line.B = line.T;
        } else if (line.Produkt == "Kranbane skinner") {
            line.H = line.B;
            line.B = line.T;
        }
    }
    if (Dim < 1) {
        run.warn("Kolonne \"overflate\" ikke funnet for " + line.Produkt + "!");
        return std::nullopt;
    }
    return StockSheet{*OleWorkSheet2, Dim};
}

} // namespace stock
