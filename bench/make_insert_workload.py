#!/usr/bin/python3
"""Writes the row-insertion benchmark's workbook.

usage: make_insert_workload.py OUT.xlsx ROWS
Sheet "Lager": ROWS stock lines (grade, dimension, length, quantity), a per-row weight formula, a gap
and a totals row with SUM over each column, conditional formats over the quantity and weight columns.
Sheet "Oversikt" refers to the stock sheet (single cells, ranges and a whole column).
Made with xlsxwriter, with cached formula results.
"""
import sys

import xlsxwriter


def main():
    out, rows = sys.argv[1], int(sys.argv[2])
    book = xlsxwriter.Workbook(out)
    stock = book.add_worksheet("Lager")
    summary = book.add_worksheet("Oversikt")
    red = book.add_format({"font_color": "#9C0006", "bg_color": "#FFC7CE"})
    stock.write_row(0, 0, ["Grade", "H", "Meter", "Antall", "Vekt"])
    total_weight = 0.0
    for r in range(1, rows + 1):
        meter, count = 6 + r % 7, r % 40
        weight = meter * count * 12.5
        total_weight += weight
        stock.write_string(r, 0, "S355J2" if r % 3 else "S235JR")
        stock.write_string(r, 1, str(100 + r % 50 * 20))
        stock.write_number(r, 2, meter)
        stock.write_number(r, 3, count)
        stock.write_formula(r, 4, f"=C{r + 1}*D{r + 1}*12.5", None, weight)
    last = rows + 1
    total = rows + 3
    stock.write_string(total - 1, 0, "Sum")
    stock.write_formula(total - 1, 3, f"=SUM(D2:D{last})", None, sum(r % 40 for r in range(1, rows + 1)))
    stock.write_formula(total - 1, 4, f"=SUM(E2:E{last})", None, total_weight)
    stock.conditional_format(f"D2:D{last}", {"type": "cell", "criteria": "<", "value": 1, "format": red})
    stock.conditional_format(f"E2:E{last}", {"type": "formula", "criteria": "=$E2>5000", "format": red})
    summary.write_string(0, 0, "Totalvekt")
    summary.write_formula(0, 1, f"=Lager!E{total}", None, total_weight)
    summary.write_formula(1, 1, f"=SUM(Lager!D2:D{last})", None, 0)
    summary.write_formula(2, 1, "=COUNTA(Lager!A:A)", None, rows + 2)
    summary.write_formula(3, 1, "=Lager!C2*2", None, 14)
    book.close()


if __name__ == "__main__":
    main()
