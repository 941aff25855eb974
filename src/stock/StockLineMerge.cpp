#include "StockLineMerge.h"

#include "TextOrder.h"
#include "sheets/StrToReal.h"

#include <cstdint>
#include <optional>

namespace stock {

namespace {

using C = StockColumn;

// Lengths match as equal texts or as equal numbers: a length cell holding the number 6.5 reads
// "6,5" and must match an order written "6,50" or "6.5", or every booking of it would add a line.
// An order length that is not a number (the empty text too) is written as the number 0, so it
// matches a length of 0, the line an earlier booking of it made.
bool lengthMatches(std::string_view Meter, std::string_view cell) {
    if (Meter == cell) return true;
    auto a = sheets::parseReal(Meter);
    auto b = sheets::parseReal(cell);
    return b && (a ? *a == *b : *b == 0);
}

struct Lookup {
    bool Funnet = false;
    int Row2 = 0;
    int GradeRow = 0;
};

bool lineMatches(StockLines& lines, const OrderLine& L, int Dim, int Row2) {
    bool Funnet = L.Grade == lines.text(Row2, C::Grade) && L.H == lines.text(Row2, C::H) &&
                  L.Overflate == lines.text(Row2, C::Overflate(Dim)) &&
                  lengthMatches(L.Meter, lines.text(Row2, C::Meter(Dim)));
    if (Funnet && Dim >= 2) Funnet = L.B == lines.text(Row2, C::B);
    if (Funnet && Dim == 3) Funnet = L.T == lines.text(Row2, C::T);
    return Funnet;
}

// The row-by-row scan's answer without the scan. Every row before the list end has a grade, so the
// scan stops at the first matching row or at the end, and only the end can match a blank grade.
Lookup findIndexed(StockLines& lines, const OrderLine& L, int Dim) {
    Lookup found;
    const int end = lines.endRow();
    found.Row2 = end;
    if (L.Grade.empty()) {
        found.GradeRow = end;
        found.Funnet = lineMatches(lines, L, Dim, end);
        return found;
    }
    const auto grade = lines.gradeId(L.Grade);
    if (!grade) return found;
    found.GradeRow = lines.firstRowOfGrade(*grade);
    auto visit = [&](int row) {
        if (row < found.Row2 && lineMatches(lines, L, Dim, row)) found.Row2 = row;
    };
    lines.forEachCandidate(StockLines::keyHash(Dim, L.Grade, L.H, L.B, L.T, L.Overflate, L.Meter), visit);
    // A length that is not a number also meets the stock lengths of 0, which hash by their value.
    if (!sheets::parseReal(L.Meter))
        lines.forEachCandidate(StockLines::keyHash(Dim, L.Grade, L.H, L.B, L.T, L.Overflate, "0"), visit);
    found.Funnet = found.Row2 < end;
    return found;
}

Lookup findStockLine(StockLines& lines, const OrderLine& L, int Dim) {
    if (lines.indexed()) return findIndexed(lines, L, Dim);
    Lookup found;
    int& Row2 = found.Row2;
    bool& Funnet = found.Funnet;
    Row2 = 2;
    do {
        ++Row2;
        if (found.GradeRow == 0 && L.Grade == lines.text(Row2, C::Grade)) found.GradeRow = Row2;
        Funnet = lineMatches(lines, L, Dim, Row2);
    } while (!Funnet && !lines.text(Row2, C::Grade).empty());
    return found;
}

// The order line's dimensions and length as numbers, converted once rather than on every row.
struct OrderNumbers {
    double H, B, T, Meter;
    explicit OrderNumbers(const OrderLine& L)
        : H(sheets::StrToReal(L.H)), B(sheets::StrToReal(L.B)), T(sheets::StrToReal(L.T)),
          Meter(sheets::StrToReal(L.Meter)) {}
};

// Whether the new line goes before the stock line at Row2.
bool goesBefore(StockLines& lines, const OrderLine& L, const OrderNumbers& N, int Dim, int Row2) {
    if (L.Grade != lines.text(Row2, C::Grade)) return textLess(L.Grade, lines.text(Row2, C::Grade));
    if (L.H != lines.text(Row2, C::H)) return N.H < lines.number(Row2, C::H);
    bool Funnet = false;
    bool Lik = true;
    if (Dim >= 2) {
        Lik = L.B == lines.text(Row2, C::B);
        Funnet = N.B < lines.number(Row2, C::B);
        if (Lik && Dim == 3) {
            Lik = L.T == lines.text(Row2, C::T);
            Funnet = N.T < lines.number(Row2, C::T);
        }
    }
    if (Lik) {
        if (L.Overflate == lines.text(Row2, C::Overflate(Dim)))
            Funnet = N.Meter <= lines.number(Row2, C::Meter(Dim));
        else
            Funnet = textLess(L.Overflate, lines.text(Row2, C::Overflate(Dim)));
    }
    return Funnet;
}

// The row the new line goes into: from the grade's first row (or row 3) the first row it goes
// before, else the list end.
int placementRow(StockLines& lines, const OrderLine& L, int Dim, int GradeRow) {
    const OrderNumbers N(L);
    int Row2 = GradeRow > 0 ? GradeRow - 1 : 2;
    bool Funnet = false;
    if (!lines.indexed()) {
        do {
            ++Row2;
            Funnet = goesBefore(lines, L, N, Dim, Row2);
        } while (!Funnet && !lines.text(Row2, C::Grade).empty());
        return Row2;
    }
    // A row of another grade is decided by its grade text alone: once per run of equal grades.
    // Likewise a row of the grade whose H differs from the order's is decided by its H alone: once
    // per run of equal H texts, which is most of the rows a long grade is walked through.
    const auto grade = lines.gradeId(L.Grade);
    std::optional<std::uint32_t> decidedGrade;
    bool decided = false;
    const auto orderH = lines.hId(L.H);
    std::optional<std::uint32_t> decidedH;
    bool decidedByH = false;
    const int end = lines.endRow();
    do {
        ++Row2;
        const auto rowGrade = lines.gradeIdAt(Row2);
        if (rowGrade == grade) {
            const auto rowH = lines.hIdAt(Row2);
            if (rowH == orderH) {
                Funnet = goesBefore(lines, L, N, Dim, Row2);
            } else {
                if (rowH != decidedH) {
                    decidedH = rowH;
                    decidedByH = N.H < lines.number(Row2, C::H);
                }
                Funnet = decidedByH;
            }
        } else {
            if (rowGrade != decidedGrade) {
                decidedGrade = rowGrade;
                decided = textLess(L.Grade, lines.text(Row2, C::Grade));
            }
            Funnet = decided;
        }
    } while (!Funnet && Row2 < end);
    return Row2;
}

// Places and writes a new stock line; returns its row and whether a sheet row was inserted.
std::pair<int, bool> createStockLine(StockLines& lines, const OrderLine& L, const StockSheet& stock,
                                     int GradeRow) {
    auto& sheet = stock.OleWorkSheet2;
    const int Dim = stock.Dim;
    const int Row2 = placementRow(lines, L, Dim, GradeRow);
    // The list end takes the new line only when it is empty: a totals row, a note or a lone formula
    // there moves down untouched instead of being written over.
    const bool inserted = !lines.text(Row2, C::Grade).empty() || sheet.rowHasContent(Row2);
    if (inserted) {
        sheet.insertRow(Row2, Row2 == 3 ? sheets::CopyOrigin::FromRightOrBelow
                                        : sheets::CopyOrigin::FromLeftOrAbove);
        lines.rowInserted(Row2);
    }

    sheet.setText(Row2, C::Produkt, L.Produkt);
    sheet.setText(Row2, C::Grade, L.Grade);
    sheet.setText(Row2, C::H, L.H);
    if (Dim >= 2) sheet.setText(Row2, C::B, L.B);
    if (Dim == 3) sheet.setText(Row2, C::T, L.T);
    sheet.setText(Row2, C::Overflate(Dim), L.Overflate);
    sheet.setNumber(Row2, C::Meter(Dim), sheets::StrToReal(L.Meter));
    sheet.setText(Row2, C::Merknad(Dim), "Automatisk opprettet");
    lines.lineWritten(Row2);
    return {Row2, inserted};
}

} // namespace

void mergeStockLine(Run& run, const OrderLine& L, const StockSheet& stock) {
    auto& sheet = stock.OleWorkSheet2;
    const int Dim = stock.Dim;
    Booking booking;
    booking.orderRow = L.Row;
    booking.sheet = sheet.name();

    auto& lines = run.stockLines(stock);
    auto found = findStockLine(lines, L, Dim);
    int Row2 = found.Row2;
    if (!found.Funnet) {
        std::tie(Row2, booking.rowInserted) = createStockLine(lines, L, stock, found.GradeRow);
        booking.created = true;
    }
    booking.stockRow = Row2;
    auto& outcome = run.currentLine();
    outcome.stockSheet = booking.sheet;
    outcome.stockRow = Row2;

    // Booking length 0 or quantity 0 for a text that is not a number is kept, but not silently.
    if (!L.Meter.empty() && !sheets::isNumberText(L.Meter))
        run.warn("Lengde \"" + L.Meter + "\" på rad " + std::to_string(L.Row) + " er ikke et tall! " +
                 L.Produkt + " er bokført med lengde 0.");
    if (!L.A.empty() && !sheets::isNumberText(L.A))
        run.warn("Antall \"" + L.A + "\" på rad " + std::to_string(L.Row) + " er ikke et tall! " + L.Produkt +
                 " er bokført med 0.");
    // A stock quantity that is not a number would be read as 0 and overwritten: the stock count
    // written there by hand would be lost.
    const auto stockQuantity = run.CellStr2(sheet, Row2, C::Antall(Dim));
    outcome.quantityBefore = stockQuantity;
    if (!stockQuantity.empty() && !sheets::isNumberText(stockQuantity)) {
        run.warn("Antall på lager i rad " + std::to_string(Row2) + " på ark " + booking.sheet +
                 " er ikke et tall! Linjen er ikke bokført.");
        return;
    }
    const double R = sheets::StrToReal(L.A) + sheets::StrToReal(stockQuantity);
    sheet.setNumber(Row2, C::Antall(Dim), R);
    sheet.setText(Row2, C::Prosjekt(Dim), L.Prosjekt);
    booking.quantity = R;
    run.record(booking);
    outcome.kind = !booking.created      ? LineOutcome::Kind::Found
                   : booking.rowInserted ? LineOutcome::Kind::CreatedInInsertedRow
                                         : LineOutcome::Kind::Created;
    outcome.quantityAfter = run.numberText(R);
}

} // namespace stock
