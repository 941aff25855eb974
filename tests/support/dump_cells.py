#!/usr/bin/python3
r"""Prints every cell, sheet and defined name of a workbook as openpyxl reads it, one per line, tab
separated, for loading into the evaluator's tests:

  sheet<TAB>NAME                          sheets in workbook order
  name<TAB>NAME<TAB>SCOPE<TAB>FORMULA     SCOPE: -1 for the workbook, else the 0-based sheet index
  cell<TAB>SHEET<TAB>B12<TAB>KIND<TAB>VALUE
      KIND: n number, s text, b boolean (1/0), e error, f formula, a array formula (its text)

Texts are escaped as dump_workbook.py escapes them. Dates are written as serial numbers.
"""
import datetime
import sys

import openpyxl
from openpyxl.utils.datetime import to_excel

from dump_workbook import escape


def main():
    book = openpyxl.load_workbook(sys.argv[1])
    for sheet in book.worksheets:
        print(f"sheet\t{sheet.title}")
    for name in book.defined_names.definedName:
        scope = -1 if name.localSheetId is None else int(name.localSheetId)
        print(f"name\t{name.name}\t{scope}\t{escape(name.attr_text)}")
    for sheet in book.worksheets:
        for row in sheet.iter_rows():
            for cell in row:
                value = cell.value
                if value is None:
                    continue
                if cell.data_type == "f":
                    text = str(value)[1:]
                    attributes = sheet.formula_attributes.get(cell.coordinate, {})
                    kind = "a" if attributes.get("t") == "array" else "f"
                elif cell.data_type == "e":
                    kind, text = "e", str(value)
                elif isinstance(value, bool):
                    kind, text = "b", "1" if value else "0"
                elif isinstance(value, (int, float)):
                    kind, text = "n", repr(float(value))
                elif isinstance(value, (datetime.datetime, datetime.date)):
                    kind, text = "n", repr(float(to_excel(value)))
                else:
                    kind, text = "s", str(value)
                print(f"cell\t{sheet.title}\t{cell.coordinate}\t{kind}\t{escape(text)}")


if __name__ == "__main__":
    main()
