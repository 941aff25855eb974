#pragma once

// A stock sheet as the booking sees it: the sheet and its dimension count Dim, which fixes where
// each value of a stock line stands.

#include "sheets/Workbook.h"

namespace stock {

struct StockSheet {
    sheets::Worksheet& OleWorkSheet2;
    int Dim; // 1 to 3
};

// The columns of a stock line. Row 1 is the header, whose "overflate" in column Overflate(Dim)
// gives Dim; the lines start at row 3.
struct StockColumn {
    static constexpr int Produkt = 1;
    static constexpr int Grade = 2;
    static constexpr int H = 3;
    static constexpr int B = 4; // only when Dim >= 2
    static constexpr int T = 5; // only when Dim = 3
    static constexpr int Overflate(int Dim) { return Dim + 3; }
    static constexpr int Meter(int Dim) { return Dim + 5; }
    static constexpr int Antall(int Dim) { return Dim + 6; }
    static constexpr int Prosjekt(int Dim) { return Dim + 10; }
    static constexpr int Merknad(int Dim) { return Dim + 15; }
};

} // namespace stock
