#!/usr/bin/python3
"""Writes the whole-process benchmark's workloads for bench/batch_bench.py.

usage: make_batch_workloads.py DIR
  DIR/mid/Tulverkan.xlsx, DIR/mid/Bestilling.xlsx: 20 product sheets of 2,000 stock lines each;
      200 marked order lines, a third of them new
  DIR/big/Tulverkan.xlsx, DIR/big/Bestilling.xlsx: one sheet of 100,000 stock lines of 18 columns
      (three dimensions); 1,000 marked order lines, half of them new

Both inventories are made by xlsxwriter, which asks for a full calculation on load, with a weight
formula on every stock line and a totals row; the sheets and orders are laid out as in
make_stock_workloads.py, whose writer this uses. Fixed seeds: the same files come out every time.
"""
import os
import random
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from make_stock_workloads import PRODUCTS_A, workload  # noqa: E402


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_batch_workloads.py DIR")
    workload(os.path.join(sys.argv[1], "mid"), PRODUCTS_A, 2000, 200, 1 / 3, random.Random(20240311))
    # 100 x 5 x 2 dimensions x 5 grades x 4 surfaces x 5 lengths: exactly 100,000 stock lines.
    big = [("Plater", [list(range(10, 1010, 10)), [1000, 1250, 1500, 2000, 2500], [3000, 6000]])]
    workload(os.path.join(sys.argv[1], "big"), big, 100_000, 1000, 1 / 2, random.Random(20240312))


if __name__ == "__main__":
    main()
