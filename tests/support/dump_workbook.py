#!/usr/bin/python3
"""Prints openpyxl's view of a workbook, one line per non-empty cell: Sheet!B12:kind:value.

kind: n number, s text, b boolean, d date/time, e error, f formula (with --formulas: its text,
otherwise the cached value is shown as the other kinds). Numbers use repr(), so 6.5 prints 6.5.
"""
import datetime
import sys

import openpyxl


def kind_and_text(value):
    if isinstance(value, bool):
        return "b", "1" if value else "0"
    if isinstance(value, (int, float)):
        return "n", repr(float(value))
    if isinstance(value, (datetime.datetime, datetime.date, datetime.time, datetime.timedelta)):
        return "d", value.isoformat() if hasattr(value, "isoformat") else str(value)
    text = str(value)
    if text.startswith("#") and text in ("#NULL!", "#DIV/0!", "#VALUE!", "#REF!", "#NAME?", "#NUM!", "#N/A"):
        return "e", text
    return "s", text


def main():
    path = sys.argv[1]
    formulas = "--formulas" in sys.argv[2:]
    book = openpyxl.load_workbook(path, data_only=not formulas)
    for sheet in book.worksheets:
        for row in sheet.iter_rows():
            for cell in row:
                value = cell.value
                if value is None:
                    continue
                if formulas and isinstance(value, str) and value.startswith("="):
                    kind, text = "f", value
                elif formulas and hasattr(value, "text") and not isinstance(value, str):
                    kind, text = "f", str(value.text)  # array formula
                else:
                    kind, text = kind_and_text(value)
                print(f"{sheet.title}!{cell.coordinate}:{kind}:{text}")


if __name__ == "__main__":
    main()
