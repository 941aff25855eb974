#!/usr/bin/python3
"""Writes a sample inventory workbook and a sample order workbook into a folder.

    make_samples.py DIR    ->  DIR/Tulverkan.xlsx (xlsxwriter), DIR/Bestilling.xlsx (openpyxl)

The inventory has one sheet per product after an overview sheet. On a product sheet with Dim
dimension columns: row 1 the header with "overflate" at column Dim+3, row 2 units, stock lines from
row 3 sorted by grade, dimensions, surface and length, then a row that marks the end of the list and
a totals row. The weight column is a formula; the overview sheet refers to the totals of every
product sheet.

The order's active sheet lists lines from row 10 and marks the lines to book in column 14: lines
that meet existing stock lines, new lines (one into an empty sheet, the others by inserting a row,
two of them at the end of a list with totals), an unmarked line, and a product without a sheet,
which draws a warning. Booked again, the same order adds to the lines the first booking made.
"""
import datetime
import os
import sys

import openpyxl
import xlsxwriter
from openpyxl.styles import Alignment, Border, Font, PatternFill, Side
from openpyxl.utils import get_column_letter
from xlsxwriter.utility import xl_rowcol_to_cell

STEEL_DENSITY = 7.85  # kg/dm3


def hea_weight(h):
    return {100: 16.7, 120: 19.9, 140: 24.7, 160: 30.4, 180: 35.5, 200: 42.3, 220: 50.5, 240: 60.3,
            260: 68.2, 280: 76.4, 300: 88.3}[h]


def ipe_weight(h):
    return {100: 8.1, 120: 10.4, 140: 12.9, 160: 15.8, 180: 18.8, 200: 22.4}[h]


def tube_weight(d, t):
    return round((d - t) * t * 0.02466, 2)


def flat_weight(b, t):
    return round(b * t * STEEL_DENSITY / 1000, 2)


def hollow_weight(h, b, t):
    return round((2 * (h + b) - 4 * t) * t * STEEL_DENSITY / 1000, 2)


PURCHASED = datetime.date(2024, 3, 14)

# name, dimension headers, lines (grade, dims, surface, metres, quantity, kg/m, location, supplier)
FJORD, BJORNEVIK, VESTROR = "Fjordprofil AS", "Bjørnevik Stål AS", "Vestrør AS"

PRODUCTS = [
    ("HEA", ["profil"], [
        ("S235JR", [100], "Blank", 6, 4, hea_weight(100), "Hall 1, reol 2", FJORD),
        ("S235JR", [140], "Blank", 12, 2, hea_weight(140), "Hall 1, reol 2", FJORD),
        ("S235JR", [200], "Grunnet", 12, 3, hea_weight(200), "Hall 1, reol 3", BJORNEVIK),
        ("S355J2", [160], "Blank", 6, 5, hea_weight(160), "Hall 1, reol 4", BJORNEVIK),
        ("S355J2", [200], "Blank", 6.5, 3, hea_weight(200), "Hall 1, reol 4", BJORNEVIK),
        ("S355J2", [200], "Blank", 12, 8, hea_weight(200), "Hall 1, reol 5", BJORNEVIK),
        ("S355J2", [200], "Sandblåst", 12, 2, hea_weight(200), "Hall 1, reol 5", BJORNEVIK),
        ("S355J2", [260], "Blank", 12, 4, hea_weight(260), "Hall 1, reol 6", BJORNEVIK),
        ("S355J2", [300], "Blank", 15, 1, hea_weight(300), "Utelager", BJORNEVIK),
    ]),
    ("IPE", ["profil"], []),
    ("Ø", ["d", "t"], [
        ("S235JRH", [42.4, 2.6], "Blank", 6, 12, tube_weight(42.4, 2.6), "Hall 2, reol 1", VESTROR),
        ("S235JRH", [60.3, 4], "Blank", 6, 8, tube_weight(60.3, 4), "Hall 2, reol 1", VESTROR),
        ("S355J2H", [88.9, 5], "Blank", 12, 6, tube_weight(88.9, 5), "Hall 2, reol 2", VESTROR),
        ("S355J2H", [114.3, 6.3], "Sandblåst", 12, 3, tube_weight(114.3, 6.3), "Hall 2, reol 2", VESTROR),
    ]),
    ("Kranbane skinner", ["bredde", "høyde"], [
        ("S355J2", [50, 30], "Blank", 6, 4, flat_weight(50, 30), "Utelager", BJORNEVIK),
        ("S355J2", [60, 40], "Blank", 12, 2, flat_weight(60, 40), "Utelager", BJORNEVIK),
        ("S355J2", [70, 50], "Blank", 12, 2, flat_weight(70, 50), "Utelager", BJORNEVIK),
    ]),
    ("RHS", ["h", "b", "t"], [
        ("S355J2H", [100, 50, 4], "Blank", 12, 6, hollow_weight(100, 50, 4), "Hall 2, reol 5", VESTROR),
        ("S355J2H", [100, 100, 5], "Blank", 12, 4, hollow_weight(100, 100, 5), "Hall 2, reol 5", VESTROR),
        ("S355J2H", [150, 100, 6], "Grunnet", 12, 2, hollow_weight(150, 100, 6), "Hall 2, reol 6", VESTROR),
        ("S355J2H", [200, 100, 8], "Blank", 12, 2, hollow_weight(200, 100, 8), "Hall 2, reol 6", VESTROR),
    ]),
    ("Flattstål", ["bredde", "tykkelse"], [
        ("S235JR", [50, 5], "Blank", 6, 20, flat_weight(50, 5), "Hall 3, reol 1", BJORNEVIK),
        ("S235JR", [60, 8], "Blank", 6, 15, flat_weight(60, 8), "Hall 3, reol 1", BJORNEVIK),
        ("S235JR", [100, 10], "Varmforsinket", 6, 6, flat_weight(100, 10), "Hall 3, reol 2", BJORNEVIK),
        ("S355J2", [120, 15], "Blank", 6, 4, flat_weight(120, 15), "Hall 3, reol 2", BJORNEVIK),
    ]),
]

AFTER_DIMS = ["overflate", "standard", "meter", "antall", "kg/m", "vekt", "pris", "prosjekt", "lokasjon",
              "sertifikat", "innkjøpt", "leverandør", "merknad"]
AFTER_DIMS_UNITS = ["", "", "m", "stk", "kg/m", "kg", "kr/kg", "siste bestilling", "", "EN 10204",
                    "dato", "", ""]
PRICE = {"S235JR": 14.9, "S235JRH": 17.5, "S355J2": 16.4, "S355J2H": 19.2}


def write_inventory(path):
    book = xlsxwriter.Workbook(path)
    book.set_properties({"title": "Lagerbeholdning", "company": "Tverrlia Stål AS"})
    head = book.add_format({"bold": True, "bg_color": "#1F4E78", "font_color": "#FFFFFF", "border": 1})
    units = book.add_format({"italic": True, "bg_color": "#DDEBF7", "border": 1})
    text = book.add_format({"border": 1})
    dim = text
    metres = book.add_format({"border": 1, "num_format": "0.00"})
    count = book.add_format({"border": 1, "num_format": "0"})
    kgm = book.add_format({"border": 1, "num_format": "0.00"})
    weight = book.add_format({"border": 1, "num_format": "#,##0.0"})
    price = book.add_format({"border": 1, "num_format": '#,##0.00 "kr"'})
    date = book.add_format({"border": 1, "num_format": "dd.mm.yyyy"})
    end_note = book.add_format({"italic": True, "font_color": "#808080"})
    total_label = book.add_format({"bold": True, "top": 2})
    total_count = book.add_format({"bold": True, "top": 2, "num_format": "0"})
    total_weight = book.add_format({"bold": True, "top": 2, "num_format": "#,##0.0"})

    overview = book.add_worksheet("Oversikt")
    totals = []  # (product, line count formula, its value, weight formula, its value)
    for name, dim_heads, lines in PRODUCTS:
        sheet = book.add_worksheet(name)
        d = len(dim_heads)
        c_surface, c_metres, c_count, c_kgm, c_weight = d + 2, d + 4, d + 5, d + 6, d + 7
        heads = ["produkt", "grade"] + dim_heads + AFTER_DIMS
        sheet.write_row(0, 0, heads, head)
        sheet.write_row(1, 0, ["", ""] + ["mm"] * d + AFTER_DIMS_UNITS, units)
        sheet.set_row(0, 18)
        sheet.set_column(0, 0, 16)
        sheet.set_column(1, 1, 10)
        sheet.set_column(2, 1 + d, 8)
        sheet.set_column(c_surface, c_surface, 14)
        sheet.set_column(c_surface + 1, c_weight + 1, 10)
        sheet.set_column(c_weight + 2, c_weight + 2, 22)
        sheet.set_column(c_weight + 3, c_weight + 3, 16)
        sheet.set_column(c_weight + 4, c_weight + 5, 11)
        sheet.set_column(c_weight + 6, c_weight + 6, 14)
        sheet.set_column(c_weight + 7, c_weight + 7, 24)
        sheet.freeze_panes(2, 2)
        sheet.repeat_rows(0, 1)
        sheet.set_landscape()
        sheet.fit_to_pages(1, 0)
        row = 2
        weight_sum = 0.0
        for grade, dims, surface, length, quantity, per_metre, location, supplier in lines:
            sheet.write_string(row, 0, name, text)
            sheet.write_string(row, 1, grade, text)
            for i, value in enumerate(dims):
                sheet.write_number(row, 2 + i, value, dim)
            sheet.write_string(row, c_surface, surface, text)
            sheet.write_string(row, c_surface + 1, "EN 10025-2" if "H" not in grade else "EN 10219", text)
            sheet.write_number(row, c_metres, length, metres)
            sheet.write_number(row, c_count, quantity, count)
            sheet.write_number(row, c_kgm, per_metre, kgm)
            value = length * quantity * per_metre
            weight_sum += value
            sheet.write_formula(row, c_weight, "=%s*%s*%s" % (xl_rowcol_to_cell(row, c_metres),
                                                           xl_rowcol_to_cell(row, c_count),
                                                           xl_rowcol_to_cell(row, c_kgm)), weight, value)
            sheet.write_number(row, c_weight + 1, PRICE[grade], price)
            sheet.write_blank(row, c_weight + 2, None, text)
            sheet.write_string(row, c_weight + 3, location, text)
            sheet.write_string(row, c_weight + 4, "3.1", text)
            sheet.write_datetime(row, c_weight + 5, datetime.datetime.combine(PURCHASED, datetime.time()),
                                 date)
            sheet.write_string(row, c_weight + 6, supplier, text)
            sheet.write_blank(row, c_weight + 7, None, text)
            row += 1
        if not lines:
            # No totals yet: a row under the header would be taken for the place of the first line.
            weight_range = "%s:%s" % (xl_rowcol_to_cell(1, c_weight), xl_rowcol_to_cell(199, c_weight))
            totals.append((name, "=COUNTA('%s'!B2:B200)" % name, 0,
                           "=SUM('%s'!%s)" % (name, weight_range), 0))
            continue
        # A row that ends the list, then the totals. The end row holds a note, so a new line at the end
        # of the list goes into a row inserted above it; the ranges run from the units row to the end
        # row, so that every line inserted, first or last, still counts.
        end = row
        total = row + 1
        sheet.write_string(end, 0, "Slutt på listen: nye linjer kommer over denne raden", end_note)
        sheet.write_string(total, 0, "Sum", total_label)
        count_range = "%s:%s" % (xl_rowcol_to_cell(1, c_count), xl_rowcol_to_cell(end, c_count))
        weight_range = "%s:%s" % (xl_rowcol_to_cell(1, c_weight), xl_rowcol_to_cell(end, c_weight))
        sheet.write_formula(total, c_count, "=SUM(%s)" % count_range, total_count,
                            sum(line[4] for line in lines))
        sheet.write_formula(total, c_weight, "=SUM(%s)" % weight_range, total_weight, weight_sum)
        sheet.autofilter(1, 0, end, len(heads) - 1)
        grade_range = "'%s'!%s:%s" % (name, xl_rowcol_to_cell(1, 1), xl_rowcol_to_cell(end, 1))
        totals.append((name, "=COUNTA(%s)" % grade_range, len(lines),
                       "='%s'!%s" % (name, xl_rowcol_to_cell(total, c_weight, True, True)), weight_sum))

    overview.write_row(0, 0, ["Lagerbeholdning", "", ""], book.add_format({"bold": True, "font_size": 14}))
    overview.write_row(2, 0, ["Produkt", "Lagerlinjer", "Vekt kg"], head)
    overview.set_column(0, 0, 20)
    overview.set_column(1, 2, 12)
    row = 3
    for name, lines_formula, lines_value, weight_formula, weight_value in totals:
        overview.write_string(row, 0, name, text)
        overview.write_formula(row, 1, lines_formula, count, lines_value)
        overview.write_formula(row, 2, weight_formula, weight, weight_value)
        row += 1
    overview.write_string(row, 0, "Sum", total_label)
    overview.write_formula(row, 1, "=SUM(B4:B%d)" % row, total_count, sum(t[2] for t in totals))
    overview.write_formula(row, 2, "=SUM(C4:C%d)" % row, total_weight, sum(t[4] for t in totals))
    book.close()


ORDER_HEADS = ["Pos", "Produkt", "Grade", "H", "B", "T", "Overflate", "Meter", "Antall", "Enhet", "Prosjekt",
               "Levering", "Merknad", "Bokført"]
ORDER_WIDTHS = [6, 18, 10, 8, 8, 8, 14, 8, 8, 7, 22, 12, 26, 9]

# Produkt, Grade, H, B, T, Overflate, Meter, Antall, Prosjekt, merknad, booking mark
ORDER_LINES = [
    ("HEA", "S355J2", 200, None, None, "Blank", 12, 6, "2317 Kai 4", None, "x"),
    ("HEA", "S355J2", 240, None, None, "Blank", 12, 2, "2317 Kai 4", None, "x"),
    # Both after the last HEA line: each in a row inserted over the end of the list.
    ("HEA", "S355J2", 320, None, None, "Blank", 12, 2, "2325 Hall 5", None, "x"),
    ("HEA", "S460M", 300, None, None, "Blank", 12, 1, "2325 Hall 5", None, "x"),
    ("HEA", "S235JR", 200, None, None, "Grunnet", 12, 1, "2320 Lagerhall", "Restordre, kommer uke 14", None),
    # Ordered as diameter and wall thickness in H and T.
    ("Ø", "S235JRH", 60.3, None, 4, "Blank", 6, 10, "2320 Lagerhall", None, "x"),
    # Crane rails are ordered as type, width and height.
    ("Kranbane skinner", "S355J2", "F", 60, 40, "Blank", 12, 2, "2323 Kranbane hall 3", None, "x"),
    ("UNP", "S235JR", 200, None, None, "Blank", 12, 4, "2317 Kai 4", "Ny profil", "x"),
    ("RHS", "S275J2H", 80, 40, 4, "Blank", 6, 10, "2324 Rekkverk", None, "x"),
    ("IPE", "S355J2", 200, None, None, "Blank", 12, 3, "2317 Kai 4", None, "x"),
    ("Flattstål", "S235JR", 60, 8, None, "Blank", 6, 5, "2324 Rekkverk", None, "x"),
]


def write_order_heading(sheet, heads_only):
    bold = Font(bold=True)
    thin = Side(style="thin")
    sheet["A1"] = "Tverrlia Stål AS"
    sheet["A1"].font = Font(bold=True, size=16)
    sheet["A2"] = "Innkjøpsordre"
    sheet["A2"].font = Font(bold=True, size=12)
    labels = [("Ordrenr.:", "" if heads_only else "IO-2024-118"),
              ("Dato:", None if heads_only else datetime.date(2024, 3, 11)),
              ("Leverandør:", "" if heads_only else "Bjørnevik Stål AS"),
              ("Bestilt av:", "" if heads_only else "Kari Nordbø")]
    for i, (label, value) in enumerate(labels):
        sheet.cell(row=4 + i, column=2, value=label).font = bold
        if value:
            cell = sheet.cell(row=4 + i, column=3, value=value)
            if isinstance(value, datetime.date):
                cell.number_format = "dd.mm.yyyy"
                cell.alignment = Alignment(horizontal="left")
    for column, (head, width) in enumerate(zip(ORDER_HEADS, ORDER_WIDTHS), start=1):
        cell = sheet.cell(row=9, column=column, value=head)
        cell.font = Font(bold=True, color="FFFFFF")
        cell.fill = PatternFill("solid", fgColor="1F4E78")
        cell.border = Border(top=thin, bottom=thin, left=thin, right=thin)
        sheet.column_dimensions[get_column_letter(column)].width = width
    sheet.freeze_panes = "A10"
    sheet.print_title_rows = "9:9"


def write_order(path):
    book = openpyxl.Workbook()
    template = book.active
    template.title = "Mal"
    write_order_heading(template, heads_only=True)

    sheet = book.create_sheet("Bestilling")
    write_order_heading(sheet, heads_only=False)
    thin = Side(style="thin")
    for i, line in enumerate(ORDER_LINES):
        row = 10 + i
        product, grade, h, b, t, surface, length, quantity, project, note, mark = line
        values = [i + 1, product, grade, h, b, t, surface, length, quantity, "stk", project,
                  datetime.date(2024, 3, 25), note, mark]
        for column, value in enumerate(values, start=1):
            cell = sheet.cell(row=row, column=column, value=value)
            cell.border = Border(top=thin, bottom=thin, left=thin, right=thin)
            if column == 8:
                cell.number_format = "0.00"
            elif column == 12:
                cell.number_format = "dd.mm.yyyy"
            elif column == 14:
                cell.alignment = Alignment(horizontal="center")
    book.active = book.index(sheet)
    template.sheet_view.tabSelected = False
    sheet.sheet_view.tabSelected = True
    book.save(path)


def main():
    if len(sys.argv) != 2:
        sys.exit("bruk: make_samples.py MAPPE")
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    write_inventory(os.path.join(folder, "Tulverkan.xlsx"))
    write_order(os.path.join(folder, "Bestilling.xlsx"))


if __name__ == "__main__":
    main()
