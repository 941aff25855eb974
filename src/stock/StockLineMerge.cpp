#include "stock/StockLineMerge.h"

#include "sheets/StrToReal.h"
#include "stock/TextOrder.h"

namespace stock {

namespace {

// Lengths match as equal texts or as equal numbers: a length cell holding the number 6.5 reads
// "6,5" and must match an order written "6,50" or "6.5", or every booking of it would add a line.
bool lengthMatches(std::string_view Meter, std::string_view cell) {
    if (Meter == cell) return true;
    auto a = sheets::parseReal(Meter);
    auto b = sheets::parseReal(cell);
    return a && b && *a == *b;
}

struct Lookup {
    bool Funnet = false;
    int Row2 = 0;
    int GradeRow = 0;
};

Lookup findStockLine(Run& run, const OrderLine& L, int Dim) {
    Lookup found;
    int& Row2 = found.Row2;
    bool& Funnet = found.Funnet;
    Row2 = 2;
    do {
        ++Row2;
        if (found.GradeRow == 0 && L.Grade == run.CellStr2(Row2, 2)) found.GradeRow = Row2;
        Funnet = L.Grade == run.CellStr2(Row2, 2) && L.H == run.CellStr2(Row2, 3) &&
                 L.Overflate == run.CellStr2(Row2, Dim + 3) &&
                 lengthMatches(L.Meter, run.CellStr2(Row2, Dim + 5));
        if (Funnet && Dim >= 2) Funnet = L.B == run.CellStr2(Row2, 4);
        if (Funnet && Dim == 3) Funnet = L.T == run.CellStr2(Row2, 5);
    } while (!Funnet && !run.CellStr2(Row2, 2).empty());
    return found;
}

// Whether the new line goes before the stock line at Row2.
bool goesBefore(Run& run, const OrderLine& L, int Dim, int Row2) {
    using sheets::StrToReal;
    if (L.Grade != run.CellStr2(Row2, 2)) return textLess(L.Grade, run.CellStr2(Row2, 2));
    if (L.H != run.CellStr2(Row2, 3)) return StrToReal(L.H) < run.CellReal2(Row2, 3);
    bool Funnet = false;
    bool Lik = true;
    if (Dim >= 2) {
        Lik = L.B == run.CellStr2(Row2, 4);
        Funnet = StrToReal(L.B) < run.CellReal2(Row2, 4);
        if (Lik && Dim == 3) {
            Lik = L.T == run.CellStr2(Row2, 5);
            Funnet = StrToReal(L.T) < run.CellReal2(Row2, 5);
        }
    }
    if (Lik) {
        if (L.Overflate == run.CellStr2(Row2, Dim + 3))
            Funnet = StrToReal(L.Meter) <= run.CellReal2(Row2, Dim + 5);
        else
            Funnet = textLess(L.Overflate, run.CellStr2(Row2, Dim + 3));
    }
    return Funnet;
}

// Places and writes a new stock line; returns its row and whether a sheet row was inserted.
std::pair<int, bool> createStockLine(Run& run, const OrderLine& L, int Dim, int GradeRow) {
    auto& sheet = *run.OleWorkSheet2;
    int Row2 = GradeRow > 0 ? GradeRow - 1 : 2;
    bool Funnet = false;
    do {
        ++Row2;
        Funnet = goesBefore(run, L, Dim, Row2);
    } while (!Funnet && !run.CellStr2(Row2, 2).empty());

    const bool inserted = !run.CellStr2(Row2, 2).empty();
    if (inserted)
        sheet.insertRow(Row2, Row2 == 3 ? sheets::CopyOrigin::FromRightOrBelow
                                        : sheets::CopyOrigin::FromLeftOrAbove);

    sheet.setText(Row2, 1, L.Produkt);
    sheet.setText(Row2, 2, L.Grade);
    sheet.setText(Row2, 3, L.H);
    if (Dim >= 2) sheet.setText(Row2, 4, L.B);
    if (Dim == 3) sheet.setText(Row2, 5, L.T);
    sheet.setText(Row2, Dim + 3, L.Overflate);
    sheet.setNumber(Row2, Dim + 5, sheets::StrToReal(L.Meter));
    sheet.setText(Row2, Dim + 15, "Automatisk opprettet");
    return {Row2, inserted};
}

} // namespace

void mergeStockLine(Run& run, const OrderLine& L, int Dim) {
    Booking booking;
    booking.orderRow = run.Row;
    booking.sheet = run.OleWorkSheet2->name();

    auto found = findStockLine(run, L, Dim);
    int Row2 = found.Row2;
    if (!found.Funnet) {
        std::tie(Row2, booking.rowInserted) = createStockLine(run, L, Dim, found.GradeRow);
        booking.created = true;
    }
    booking.stockRow = Row2;

    // Booking 0 for a quantity that is not a number is kept, but not silently.
    if (!L.A.empty() && !sheets::isNumberText(L.A))
        run.warn("Antall \"" + L.A + "\" på rad " + std::to_string(run.Row) + " er ikke et tall! " +
                 L.Produkt + " er bokført med 0.");
    // A stock quantity that is not a number would be read as 0 and overwritten: the stock count
    // written there by hand would be lost.
    const auto stockQuantity = run.CellStr2(Row2, Dim + 6);
    if (!stockQuantity.empty() && !sheets::isNumberText(stockQuantity)) {
        run.warn("Antall på lager i rad " + std::to_string(Row2) + " på ark " + booking.sheet +
                 " er ikke et tall! Linjen er ikke bokført.");
        return;
    }
    const double R = sheets::StrToReal(L.A) + sheets::StrToReal(stockQuantity);
    run.OleWorkSheet2->setNumber(Row2, Dim + 6, R);
    run.OleWorkSheet2->setText(Row2, Dim + 10, L.Prosjekt);
    booking.quantity = R;
    run.record(booking);
}

} // namespace stock
