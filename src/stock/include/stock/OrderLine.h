#pragma once

#include <string>

namespace stock {

// One order row as cell texts, read from columns 2, 3, 4, 5, 6, 7, 8, 9 and 11. The stock sheet
// selection may rewrite H and B for products whose orders carry the dimensions elsewhere.
struct OrderLine {
    int Row = 0; // the order row it was read from
    std::string Produkt;
    std::string Grade;
    std::string H;
    std::string B;
    std::string T;
    std::string Overflate;
    std::string Meter;
    std::string A;
    std::string Prosjekt;

    bool operator==(const OrderLine&) const = default;
};

} // namespace stock
