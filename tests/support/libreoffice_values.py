#!/usr/bin/python3
r"""The result LibreOffice computes for every formula cell of a workbook, one per line, tab separated:

  SHEET<TAB>B12<TAB>KIND<TAB>VALUE

KIND: n number (repr), s text (escaped as dump_workbook.py does), b boolean (1/0), e error (as
LibreOffice shows it: #DIV/0!, #N/A ... or Err:502 for its errors without a counterpart). Every formula
is computed anew first.

Usage: /usr/bin/python3 libreoffice_values.py WORKBOOK
"""
import sys

from libreoffice_uno import Office, used_area  # first: it makes the com.sun.star modules importable
from com.sun.star.table.CellContentType import FORMULA  # noqa: E402
from com.sun.star.util.NumberFormat import LOGICAL  # noqa: E402
from dump_workbook import escape  # noqa: E402


def column_name(column):
    name = ""
    while column > 0:
        column, rest = divmod(column - 1, 26)
        name = chr(65 + rest) + name
    return name


def main():
    with Office() as office:
        document = office.load(sys.argv[1])
        try:
            document.calculateAll()
            formats = document.getNumberFormats()
            sheets = document.getSheets()
            for index in range(sheets.getCount()):
                sheet = sheets.getByIndex(index)
                rows, columns = used_area(sheet)
                data = sheet.getCellRangeByPosition(0, 0, columns - 1, rows - 1)
                kinds = data.getFormulaArray()
                for r in range(rows):
                    for c in range(columns):
                        if not kinds[r][c].startswith(("=", "{=")):
                            continue
                        cell = sheet.getCellByPosition(c, r)
                        if cell.getType() != FORMULA:
                            continue
                        where = f"{sheet.getName()}\t{column_name(c + 1)}{r + 1}"
                        if cell.getError() != 0:
                            print(f"{where}\te\t{cell.getString()}")
                        elif cell.FormulaResultType2 == 2:
                            print(f"{where}\ts\t{escape(cell.getString())}")
                        elif formats.getByKey(cell.NumberFormat).Type & LOGICAL:
                            print(f"{where}\tb\t{1 if cell.getValue() != 0 else 0}")
                        else:
                            print(f"{where}\tn\t{cell.getValue()!r}")
        finally:
            document.close(True)


if __name__ == "__main__":
    main()
