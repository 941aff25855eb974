#!/usr/bin/python3
r"""Prints openpyxl's view of a workbook, one line per non-empty cell: Sheet!B12:kind:value.

kind: n number, s text, b boolean, d date/time, e error, f formula (with --formulas: its text,
otherwise the cached value is shown as the other kinds). Numbers use repr(), so 6.5 prints 6.5.

--exact gives a form made for comparing with the engine cell by cell:
  #sheet:INDEX:KIND:MAXROW:MAXCOL:NAME  one line per sheet in workbook order, INDEX 1-based, KIND the
                                        last segment of the sheet's relationship type (worksheet,
                                        chartsheet, dialogsheet ...), MAXROW/MAXCOL openpyxl's extent
  #active:INDEX                         the sheet of the active tab, 1-based
  INDEX!B12:kind:value                  cells, the sheet by index; text with \\ \n \r \t and \xHH
                                        escapes; dates and times as the serial day number in the
                                        1900 date system, whatever the workbook's own date system
"""
import datetime
import sys

import openpyxl
from openpyxl.reader.excel import ExcelReader
from openpyxl.utils.datetime import CALENDAR_MAC_1904, to_excel

ERRORS = ("#NULL!", "#DIV/0!", "#VALUE!", "#REF!", "#NAME?", "#NUM!", "#N/A")
DAYS_1900_TO_1904 = 1462


def kind_and_text(value):
    if isinstance(value, bool):
        return "b", "1" if value else "0"
    if isinstance(value, (int, float)):
        return "n", repr(float(value))
    if isinstance(value, (datetime.datetime, datetime.date, datetime.time, datetime.timedelta)):
        return "d", value.isoformat() if hasattr(value, "isoformat") else str(value)
    text = str(value)
    if text.startswith("#") and text in ERRORS:
        return "e", text
    return "s", text


def escape(text):
    out = []
    for ch in text:
        if ch == "\\":
            out.append("\\\\")
        elif ch == "\n":
            out.append("\\n")
        elif ch == "\r":
            out.append("\\r")
        elif ch == "\t":
            out.append("\\t")
        elif ord(ch) < 0x20:
            out.append("\\x%02x" % ord(ch))
        else:
            out.append(ch)
    return "".join(out)


def serial_1900(value, epoch):
    # openpyxl gives datetimes for serials >= 1 but bare times and durations for the raw fraction;
    # those are still counted from the workbook's own epoch.
    if isinstance(value, (datetime.time, datetime.timedelta)):
        return to_excel(value) + (DAYS_1900_TO_1904 if epoch == CALENDAR_MAC_1904 else 0)
    return to_excel(value)


def exact_kind_and_text(cell, epoch):
    value = cell.value
    if cell.data_type == "e":
        return "e", str(value)
    if isinstance(value, (datetime.datetime, datetime.date, datetime.time, datetime.timedelta)):
        return "d", repr(float(serial_1900(value, epoch)))
    if isinstance(value, bool):
        return "b", "1" if value else "0"
    if isinstance(value, (int, float)):
        return "n", repr(float(value))
    return "s", escape(str(value))


def dump_exact(path):
    reader = ExcelReader(path, read_only=False, keep_vba=False, data_only=True, keep_links=False)
    reader.read()
    book = reader.wb
    kinds = [rel.Type.rsplit("/", 1)[-1] for _, rel in reader.parser.find_sheets()
             if rel.target in reader.valid_files]
    for index, sheet in enumerate(book._sheets, start=1):
        cells = isinstance(sheet, openpyxl.worksheet.worksheet.Worksheet)
        extent = (sheet.max_row, sheet.max_column) if cells else (0, 0)
        print(f"#sheet:{index}:{kinds[index - 1]}:{extent[0]}:{extent[1]}:{sheet.title}")
    print(f"#active:{book._active_sheet_index + 1}")
    for index, sheet in enumerate(book._sheets, start=1):
        if not isinstance(sheet, openpyxl.worksheet.worksheet.Worksheet):
            continue
        for row in sheet.iter_rows():
            for cell in row:
                if cell.value is None:
                    continue
                kind, text = exact_kind_and_text(cell, book.epoch)
                print(f"{index}!{cell.coordinate}:{kind}:{text}")


def main():
    path = sys.argv[1]
    if "--exact" in sys.argv[2:]:
        dump_exact(path)
        return
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
                elif cell.data_type == "s":
                    kind, text = "s", str(value)  # a text "#N/A" is a text, not an error
                else:
                    kind, text = kind_and_text(value)
                print(f"{sheet.title}!{cell.coordinate}:{kind}:{text}")


if __name__ == "__main__":
    main()
