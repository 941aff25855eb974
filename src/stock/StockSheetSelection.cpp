#include "StockSheetSelection.h"

#include "sheets/AsciiCase.h"

namespace stock {

int selectStockSheet(Run& run, OrderLine& line) {
    sheets::Worksheet* found = nullptr;
    for (int i = 1; i <= run.OleWorkBook2->sheetCount(); ++i) {
        auto& sheet = run.OleWorkBook2->sheet(i);
        if (sheets::equalIgnoringAsciiCase(line.Produkt, sheet.name())) {
            found = &sheet;
            break;
        }
    }
    if (!found) {
        run.warn("Ark " + line.Produkt + " ikke funnet i tulverkan!");
        return 0;
    }
    run.OleWorkSheet2 = found;

    int Dim = 0;
    if (run.CellStr2(1, 4) == "overflate")
        Dim = 1;
    else if (run.CellStr2(1, 5) == "overflate")
        Dim = 2;
    else if (run.CellStr2(1, 6) == "overflate")
        Dim = 3;

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
        return 0;
    }
    return Dim;
}

} // namespace stock
