#!/usr/bin/python3
"""Writes the booking benchmark's workloads, each an inventory and an order workbook.

usage: make_stock_workloads.py DIR
  DIR/a/Tulverkan.xlsx, DIR/a/Bestilling.xlsx: 20 product sheets of 2,000 stock lines each;
      200 marked order lines, a third of them new stock lines, and some unmarked lines
  DIR/b/Tulverkan.xlsx, DIR/b/Bestilling.xlsx: one sheet of 100,000 stock lines;
      1,000 marked order lines, half of them new

Made with xlsxwriter (shared strings, cached formula results, as Excel writes them). Product sheets
have the inventory layout: header with "overflate" at column Dim+3, a units row, stock lines from
row 3 sorted by grade, dimensions, surface and length, a weight formula, a spare row and totals.
Run it with a fixed seed, so the same workload comes out every time.
"""
import itertools
import os
import random
import sys

import xlsxwriter
from xlsxwriter.utility import xl_rowcol_to_cell

SURFACES = ["Blank", "Grunnet", "Sandblåst", "Varmforsinket"]
GRADES = ["S235JR", "S275J2", "S355J2", "S355K2", "S420M"]
LENGTHS = [6, 8, 10, 12, 15]
NEW_LENGTHS = [5.5, 7, 9, 11, 13.5, 14, 16, 18]

# name, dimension values per dimension column
PRODUCTS_A = [
    ("HEA", [list(range(100, 500, 20))]),
    ("HEB", [list(range(100, 500, 20))]),
    ("HEM", [list(range(100, 500, 20))]),
    ("IPE", [list(range(80, 480, 20))]),
    ("UNP", [list(range(50, 450, 20))]),
    ("UPE", [list(range(80, 480, 20))]),
    ("Rundstål", [list(range(10, 210, 10))]),
    ("Firkantstål", [list(range(10, 210, 10))]),
    ("T-profil", [list(range(20, 220, 10))]),
    ("Ø", [[21.3, 26.9, 33.7, 42.4, 48.3, 60.3, 76.1, 88.9, 114.3, 139.7], [2.6, 4]]),
    ("Kranbane skinner", [list(range(40, 140, 10)), [30, 40]]),
    ("Flattstål", [list(range(20, 220, 20)), [5, 10]]),
    ("Kvadratrør", [list(range(20, 220, 20)), [3, 5]]),
    ("Gitterrist", [list(range(200, 1200, 100)), [30, 40]]),
    ("Rustfri flat", [list(range(20, 220, 20)), [4, 8]]),
    ("RHS", [[60, 80, 100, 120, 150], [40, 60], [4, 6]]),
    ("Vinkelstål", [[40, 50, 60, 80, 100], [40, 60], [5, 8]]),
    ("Plater", [[5, 6, 8, 10, 12], [1500, 2000], [3000, 6000]]),
    ("Rustfri plate", [[2, 3, 4, 5, 6], [1250, 1500], [2500, 3000]]),
    ("Z-profil", [[100, 120, 140, 160, 180], [50, 60], [2, 3]]),
]


def stock_key(line):
    grade, dims, surface, length = line
    # Python orders these texts by code point; for them that is the UTF-16 code unit order.
    return (grade, dims, surface, length)


def all_lines(dim_values):
    return [(g, dims, s, m) for g in GRADES for dims in itertools.product(*dim_values) for s in SURFACES
            for m in LENGTHS]


class Formats:
    def __init__(self, book):
        self.head = book.add_format({"bold": True, "bg_color": "#1F4E78", "font_color": "#FFFFFF"})
        self.units = book.add_format({"italic": True, "bg_color": "#DDEBF7"})
        self.metres = book.add_format({"num_format": "0.00"})
        self.count = book.add_format({"num_format": "0"})
        self.weight = book.add_format({"num_format": "#,##0.0"})
        self.date = book.add_format({"num_format": "dd.mm.yyyy"})
        self.total = book.add_format({"bold": True, "top": 2, "num_format": "#,##0.0"})


def write_stock_sheet(book, formats, name, dim_count, lines, rng):
    sheet = book.add_worksheet(name)
    d = dim_count
    heads = ["produkt", "grade"] + ["h", "b", "t"][:d] + [
        "overflate", "standard", "meter", "antall", "kg/m", "vekt", "pris", "prosjekt", "lokasjon",
        "sertifikat", "innkjøpt", "leverandør", "merknad"]
    sheet.write_row(0, 0, heads, formats.head)
    sheet.write_row(1, 0, ["", ""] + ["mm"] * d + ["", "", "m", "stk", "kg/m", "kg", "kr/kg"], formats.units)
    sheet.freeze_panes(2, 2)
    c_metres, c_count, c_kgm, c_weight = d + 4, d + 5, d + 6, d + 7
    weight_sum = 0.0
    for i, (grade, dims, surface, length) in enumerate(lines):
        row = 2 + i
        quantity = rng.randint(0, 40)
        per_metre = round(rng.uniform(2, 200), 1)
        sheet.write_string(row, 0, name)
        sheet.write_string(row, 1, grade)
        for j, value in enumerate(dims):
            sheet.write_number(row, 2 + j, value)
        sheet.write_string(row, d + 2, surface)
        sheet.write_string(row, d + 3, "EN 10025-2")
        sheet.write_number(row, c_metres, length, formats.metres)
        sheet.write_number(row, c_count, quantity, formats.count)
        sheet.write_number(row, c_kgm, per_metre)
        weight = length * quantity * per_metre
        weight_sum += weight
        sheet.write_formula(row, c_weight, "=%s*%s*%s" % (xl_rowcol_to_cell(row, c_metres),
                                                       xl_rowcol_to_cell(row, c_count),
                                                       xl_rowcol_to_cell(row, c_kgm)), formats.weight, weight)
        sheet.write_number(row, d + 8, 15.9)
        if rng.random() < 0.3:
            sheet.write_string(row, d + 9, "P-%d" % rng.randint(2000, 2400))
        sheet.write_string(row, d + 10, "Hall %d, reol %d" % (rng.randint(1, 4), rng.randint(1, 30)))
        sheet.write_string(row, d + 11, "3.1")
        sheet.write_number(row, d + 12, 45000 + rng.randint(0, 400), formats.date)
        sheet.write_string(row, d + 13, rng.choice(["Fjordprofil AS", "Bjørnevik Stål AS", "Vestrør AS"]))
    spare = 2 + len(lines)
    sheet.write_string(spare + 1, 0, "Sum")
    sheet.write_formula(spare + 1, c_weight, "=SUM(%s:%s)" % (xl_rowcol_to_cell(2, c_weight),
                                                            xl_rowcol_to_cell(spare, c_weight)),
                        formats.total, weight_sum)


def order_line(name, dim_count, line, quantity, rng):
    grade, dims, surface, length = line
    h, b, t = (list(dims) + [None, None])[:3]
    # The order carries these products' dimensions in other columns than the stock sheet.
    if dim_count == 2 and name == "Ø":
        h, b, t = h, None, b
    elif dim_count == 2 and name == "Kranbane skinner":
        h, b, t = "F", h, b
    return [name, grade, h, b, t, surface, length, quantity, "P-%d" % rng.randint(2400, 2500)]


def write_order(path, lines, rng):
    book = xlsxwriter.Workbook(path)
    sheet = book.add_worksheet("Bestilling")
    sheet.write_string(0, 0, "Innkjøpsordre")
    sheet.write_row(8, 0, ["Pos", "Produkt", "Grade", "H", "B", "T", "Overflate", "Meter", "Antall", "Enhet",
                           "Prosjekt", "Levering", "Merknad", "Bokført"])
    for i, (fields, marked) in enumerate(lines):
        row = 9 + i
        product, grade, h, b, t, surface, length, quantity, project = fields
        sheet.write_row(row, 0, [i + 1, product, grade, h, b, t, surface, length, quantity, "stk", project])
        if marked:
            sheet.write_string(row, 13, "x")
    book.close()


def workload(folder, products, per_sheet, marked, new_share, rng):
    """products: (name, dim values); per_sheet: stock lines per sheet or None for all combinations."""
    os.makedirs(folder, exist_ok=True)
    book = xlsxwriter.Workbook(os.path.join(folder, "Tulverkan.xlsx"))
    formats = Formats(book)
    stock = {}
    for name, dim_values in products:
        candidates = all_lines(dim_values)
        lines = sorted(rng.sample(candidates, per_sheet) if per_sheet < len(candidates) else candidates,
                       key=stock_key)
        stock[name] = (len(dim_values), lines, dim_values)
        write_stock_sheet(book, formats, name, len(dim_values), lines, rng)
    book.close()

    new_count = round(marked * new_share)
    order = []
    names = [name for name, _ in products]
    for _ in range(marked - new_count):
        name = rng.choice(names)
        d, lines, _ = stock[name]
        order.append(order_line(name, d, rng.choice(lines), rng.randint(1, 10), rng))
    seen = set()
    while len(seen) < new_count:
        name = rng.choice(names)
        d, _, dim_values = stock[name]
        line = (rng.choice(GRADES), tuple(rng.choice(v) for v in dim_values), rng.choice(SURFACES),
                rng.choice(NEW_LENGTHS))
        if (name, line) not in seen:
            seen.add((name, line))
            order.append(order_line(name, d, line, rng.randint(1, 10), rng))
    rng.shuffle(order)
    # One unmarked line in ten, as an order that is partly delivered.
    with_unmarked = []
    for fields in order:
        if rng.random() < 0.1:
            with_unmarked.append((order_line(fields[0], stock[fields[0]][0], rng.choice(stock[fields[0]][1]), 1,
                                             rng), False))
        with_unmarked.append((fields, True))
    write_order(os.path.join(folder, "Bestilling.xlsx"), with_unmarked, rng)


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_stock_workloads.py DIR")
    rng = random.Random(20240311)
    workload(os.path.join(sys.argv[1], "a"), PRODUCTS_A, 2000, 200, 1 / 3, rng)
    big = [("Flattstål", [list(range(10, 1010, 10)), [3, 4, 5, 6, 8, 10, 12, 15, 20, 25]])]
    workload(os.path.join(sys.argv[1], "b"), big, 100_000, 1000, 1 / 2, rng)


if __name__ == "__main__":
    main()
