#!/usr/bin/python3
"""Writes the formula benchmark's workloads: one stock sheet of ROWS lines, each with a weight formula
(=G3*H3*I3), and a totals row summing the weights, as bench/make_stock_workloads.py lays them out.

usage: make_formula_workload.py DIR [ROWS]
  DIR/scratch.xlsx  as xlsxwriter writes it: placeholder results and a request for a full calculation
                    on load, so every formula is computed from scratch
  DIR/stored.xlsx   the same with the request taken out: the cached results stand, as after Excel
Run it with a fixed seed, so the same workload comes out every time.
"""
import os
import random
import sys

import xlsxwriter

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.path.insert(0, os.path.join(HERE, "..", "tests", "support"))
import make_stock_workloads as stock  # noqa: E402
from workbook_tweaks import without_full_calculation  # noqa: E402


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit("usage: make_formula_workload.py DIR [ROWS]")
    folder = sys.argv[1]
    rows = int(sys.argv[2]) if len(sys.argv) == 3 else 100_000
    os.makedirs(folder, exist_ok=True)
    rng = random.Random(20241209)
    dims = [list(range(10, 1010, 10)), [3, 4, 5, 6, 8, 10, 12, 15, 20, 25]]
    lines = sorted(rng.sample(stock.all_lines(dims), rows), key=stock.stock_key)
    scratch = os.path.join(folder, "scratch.xlsx")
    book = xlsxwriter.Workbook(scratch)
    stock.write_stock_sheet(book, stock.Formats(book), "Flattstål", len(dims), lines, rng)
    book.close()
    without_full_calculation(scratch, os.path.join(folder, "stored.xlsx"))


if __name__ == "__main__":
    main()
