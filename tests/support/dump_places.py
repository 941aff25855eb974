#!/usr/bin/python3
"""Prints, as openpyxl reads them, the references a workbook keeps outside its cells, one a line:

  SHEET:merge:RANGE            SHEET:cf:RANGE:FORMULA|...     SHEET:dv:RANGE:FORMULA1
  SHEET:freeze:CELL            SHEET:rowbreak:ID              SHEET:hyperlink:CELL:TARGET
  SHEET:autofilter:REF         SHEET:comment:CELL:TEXT        SHEET:table:NAME:REF
  SHEET:chart:FROMROW:FORMULA|...
openpyxl's warnings about extensions it drops go to stderr.
"""
import sys
import warnings

import openpyxl


def places(path):
    warnings.simplefilter("ignore")
    book = openpyxl.load_workbook(path)
    for sheet in book.worksheets:
        name = sheet.title
        for merged in sorted(str(r) for r in sheet.merged_cells.ranges):
            yield f"{name}:merge:{merged}"
        for cf in sheet.conditional_formatting:
            formulas = "|".join(f for rule in cf.rules for f in (rule.formula or []))
            yield f"{name}:cf:{cf.sqref}:{formulas}"
        for dv in sheet.data_validations.dataValidation:
            yield f"{name}:dv:{dv.sqref}:{dv.formula1}"
        if sheet.freeze_panes:
            yield f"{name}:freeze:{sheet.freeze_panes}"
        for brk in sheet.row_breaks.brk:
            yield f"{name}:rowbreak:{brk.id}"
        if sheet.auto_filter.ref:
            yield f"{name}:autofilter:{sheet.auto_filter.ref}"
        for row in sheet.iter_rows():
            for cell in row:
                if cell.comment:
                    yield f"{name}:comment:{cell.coordinate}:{cell.comment.text}"
                if cell.hyperlink:
                    yield f"{name}:hyperlink:{cell.coordinate}:{cell.hyperlink.target}"
        for table in sheet.tables.values():
            yield f"{name}:table:{table.name}:{table.ref}"
        for chart in sheet._charts:
            formulas = "|".join(s.val.numRef.f for s in chart.series if s.val and s.val.numRef)
            yield f"{name}:chart:{chart.anchor._from.row}:{formulas}"


if __name__ == "__main__":
    for line in places(sys.argv[1]):
        print(line)
