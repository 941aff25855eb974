#!/usr/bin/python3
"""Inserts rows with LibreOffice itself (headless, over UNO) and writes every sheet's computed
values as CSV: what a spreadsheet application makes of the same insertions, for comparing with
what our engine saved.

Usage: /usr/bin/python3 libreoffice_insert_rows.py WORKBOOK SHEET ROW [ROW ...] --csv OUTFOLDER
                                                   [--save OUT.xlsx] [--shown]

SHEET is the sheet's name. Each ROW (1-based) is one entire row inserted before that row, in the
order given, so "5 5" inserts two rows at 5 and "5 9" inserts at 5 and then at 9 of the already
shifted sheet, as repeated Worksheet::insertRow calls do. Then every formula is computed again
and OUTFOLDER/<sheet name>.csv is written for every sheet; the paths are printed one a line.
--save also stores the changed workbook as .xlsx (LibreOffice's own writing of it). The file
WORKBOOK itself is never changed.

CSV cells (comma separated, UTF-8, every row of the used area): texts as they are, numbers in
full precision with whole numbers without a decimal point, booleans as 1 and 0, dates and times
as serial day numbers from the document's null date, errors as LibreOffice shows them (#DIV/0!,
#REF!, Err:502). LibreOffice keeps about 15 significant digits of numbers it reads from xlsx
and counts dates before 1900-03-01 one day higher than Excel, so compare numbers with a
tolerance and leave those dates out. --shown writes every cell as LibreOffice displays it.
Exits non-zero when LibreOffice is missing, the sheet does not exist, a row is out of range or
LibreOffice refuses an insertion (a row through an array formula, content pushed off the sheet;
LibreOffice also refuses a row at an array formula's first row, which Excel allows).

Example: libreoffice_insert_rows.py insert-formulas.xlsx "Lager 1" 5 --csv /tmp/lo --save /tmp/lo.xlsx
"""
import argparse

from libreoffice_uno import Office, store_xlsx, write_csvs  # imports uno, which makes com.sun.star importable
from com.sun.star.uno import RuntimeException  # noqa: E402

MAX_ROWS = 1048576


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("workbook")
    parser.add_argument("sheet")
    parser.add_argument("rows", nargs="+", type=int)
    parser.add_argument("--csv", required=True, dest="outfolder")
    parser.add_argument("--save")
    parser.add_argument("--shown", action="store_true")
    args = parser.parse_args()
    for row in args.rows:
        if not 1 <= row <= MAX_ROWS:
            parser.error(f"row {row} is outside 1..{MAX_ROWS}")
    with Office() as office:
        document = office.load(args.workbook)
        try:
            sheets = document.getSheets()
            if not sheets.hasByName(args.sheet):
                raise SystemExit(f"no sheet named {args.sheet!r} in {args.workbook}")
            sheet = sheets.getByName(args.sheet)
            for row in args.rows:
                try:
                    sheet.getRows().insertByIndex(row - 1, 1)
                except RuntimeException as refused:
                    # As Excel does for a row through an array formula or content pushed off the sheet.
                    raise SystemExit(f"LibreOffice refuses to insert row {row}: {refused.Message}") from None
            document.calculateAll()
            for path in write_csvs(document, args.outfolder, args.shown):
                print(path)
            if args.save:
                store_xlsx(document, args.save)
        finally:
            document.close(True)


if __name__ == "__main__":
    main()
