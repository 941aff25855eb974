#pragma once

// The booking done the plain way, to compare the update run with.

#include "StockSheet.h"
#include "TextOrder.h"
#include "sheets/AsciiCase.h"
#include "sheets/CellText.h"
#include "sheets/StrToReal.h"
#include "sheets/Workbook.h"
#include "stock/OrderLine.h"
#include "stock/UpdateRun.h"

#include <sstream>
#include <string>
#include <vector>

namespace stocktest {

// The booking done the plain way: every comparison reads its cell from the sheet, row by row from
// row 3, for every order line. The update run must come out the same in everything: the sheets, the
// rows inserted with their origins, the bookings, the messages and the failures.
class PlainBooking {
public:
    std::vector<std::string> warnings;
    std::vector<stock::Booking> bookings;

    void run(const sheets::Worksheet& order, sheets::Workbook& inventory) {
        for (int row = 10; !text(order, row, 2).empty(); ++row) {
            if (text(order, row, 14).empty()) continue;
            stock::OrderLine L;
            L.Produkt = text(order, row, 2);
            L.Grade = text(order, row, 3);
            L.H = text(order, row, 4);
            L.B = text(order, row, 5);
            L.T = text(order, row, 6);
            L.Overflate = text(order, row, 7);
            L.Meter = text(order, row, 8);
            L.A = text(order, row, 9);
            L.Prosjekt = text(order, row, 11);
            sheets::Worksheet* sheet = nullptr;
            for (int i = 1; i <= inventory.sheetCount() && !sheet; ++i)
                if (sheets::equalIgnoringAsciiCase(L.Produkt, inventory.sheet(i).name()))
                    sheet = &inventory.sheet(i);
            if (!sheet) {
                warnings.push_back("Ark " + L.Produkt + " ikke funnet i tulverkan!");
                continue;
            }
            int Dim = 0;
            for (int d = 1; d <= 3 && Dim == 0; ++d)
                if (text(*sheet, 1, C::Overflate(d)) == "overflate") Dim = d;
            if (Dim == 2 && L.Produkt == "\u00D8") {
                L.B = L.T;
            } else if (Dim == 2 && L.Produkt == "Kranbane skinner") {
                L.H = L.B;
                L.B = L.T;
            }
            if (Dim == 0) {
                warnings.push_back("Kolonne \"overflate\" ikke funnet for " + L.Produkt + "!");
                continue;
            }
            book(*sheet, L, Dim, row);
        }
    }

private:
    using C = stock::StockColumn;

    std::string text(const sheets::Worksheet& sheet, int row, int column) {
        return sheets::cellText(sheet.cell(row, column), m_format);
    }
    double number(const sheets::Worksheet& sheet, int row, int column) {
        return sheets::StrToReal(text(sheet, row, column));
    }

    static bool sameLength(const std::string& a, const std::string& b) {
        auto x = sheets::parseReal(a);
        auto y = sheets::parseReal(b);
        return a == b || (y && (x ? *x == *y : *y == 0));
    }

    bool before(const sheets::Worksheet& s, const stock::OrderLine& L, int Dim, int row) {
        using sheets::StrToReal;
        if (L.Grade != text(s, row, C::Grade)) return stock::textLess(L.Grade, text(s, row, C::Grade));
        if (L.H != text(s, row, C::H)) return StrToReal(L.H) < number(s, row, C::H);
        bool result = false;
        bool same = true;
        if (Dim >= 2) {
            same = L.B == text(s, row, C::B);
            result = StrToReal(L.B) < number(s, row, C::B);
            if (same && Dim == 3) {
                same = L.T == text(s, row, C::T);
                result = StrToReal(L.T) < number(s, row, C::T);
            }
        }
        if (!same) return result;
        if (L.Overflate == text(s, row, C::Overflate(Dim)))
            return StrToReal(L.Meter) <= number(s, row, C::Meter(Dim));
        return stock::textLess(L.Overflate, text(s, row, C::Overflate(Dim)));
    }

    void book(sheets::Worksheet& s, const stock::OrderLine& L, int Dim, int orderRow) {
        stock::Booking booking{orderRow, s.name()};
        int row = 3;
        int gradeRow = 0;
        bool found = false;
        for (;; ++row) {
            if (gradeRow == 0 && text(s, row, C::Grade) == L.Grade) gradeRow = row;
            found = text(s, row, C::Grade) == L.Grade && text(s, row, C::H) == L.H &&
                    text(s, row, C::Overflate(Dim)) == L.Overflate &&
                    sameLength(L.Meter, text(s, row, C::Meter(Dim))) &&
                    (Dim < 2 || text(s, row, C::B) == L.B) && (Dim < 3 || text(s, row, C::T) == L.T);
            if (found || text(s, row, C::Grade).empty()) break;
        }
        if (!found) {
            for (row = gradeRow > 0 ? gradeRow : 3;
                 !before(s, L, Dim, row) && !text(s, row, C::Grade).empty(); ++row) {
            }
            booking.created = true;
            booking.rowInserted = !text(s, row, C::Grade).empty() || s.rowHasContent(row);
            if (booking.rowInserted)
                s.insertRow(row, row == 3 ? sheets::CopyOrigin::FromRightOrBelow
                                          : sheets::CopyOrigin::FromLeftOrAbove);
            s.setText(row, C::Produkt, L.Produkt);
            s.setText(row, C::Grade, L.Grade);
            s.setText(row, C::H, L.H);
            if (Dim >= 2) s.setText(row, C::B, L.B);
            if (Dim == 3) s.setText(row, C::T, L.T);
            s.setText(row, C::Overflate(Dim), L.Overflate);
            s.setNumber(row, C::Meter(Dim), sheets::StrToReal(L.Meter));
            s.setText(row, C::Merknad(Dim), "Automatisk opprettet");
        }
        booking.stockRow = row;
        if (!L.Meter.empty() && !sheets::isNumberText(L.Meter))
            warnings.push_back("Lengde \"" + L.Meter + "\" på rad " + std::to_string(orderRow) +
                               " er ikke et tall! " + L.Produkt + " er bokført med lengde 0.");
        if (!L.A.empty() && !sheets::isNumberText(L.A))
            warnings.push_back("Antall \"" + L.A + "\" på rad " + std::to_string(orderRow) +
                               " er ikke et tall! " + L.Produkt + " er bokført med 0.");
        const auto stocked = text(s, row, C::Antall(Dim));
        if (!stocked.empty() && !sheets::isNumberText(stocked)) {
            warnings.push_back("Antall på lager i rad " + std::to_string(row) + " på ark " + s.name() +
                               " er ikke et tall! Linjen er ikke bokført.");
            return;
        }
        booking.quantity = sheets::StrToReal(L.A) + sheets::StrToReal(stocked);
        s.setNumber(row, C::Antall(Dim), booking.quantity);
        s.setText(row, C::Prosjekt(Dim), L.Prosjekt);
        bookings.push_back(booking);
    }

    sheets::TextFormat m_format;
};

// The bookings one a line, for comparing.
inline std::string describe(const std::vector<stock::Booking>& bookings) {
    std::ostringstream out;
    for (const auto& b : bookings)
        out << b.orderRow << ' ' << b.sheet << '!' << b.stockRow << (b.created ? " new" : "")
            << (b.rowInserted ? " inserted" : "") << ' ' << b.quantity << '\n';
    return out.str();
}

} // namespace stocktest
