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

--references prints, sorted, one line per place a reference can live, as "Sheet|what|details":
formulas (cell and text; array formulas with their range), defined names, print area and titles,
merged cells, conditional formats and data validations (ranges and formulas), hyperlinks,
autofilter, tables, comments with their VML anchor rows, images and charts with their anchor rows
(0-based, as the drawing stores them), chart series, pivot table sources, row page breaks, pane
and selection.
"""
import datetime
import re
import sys
import zipfile

import openpyxl
from openpyxl.packaging.relationship import get_dependents, get_rels_path
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


def sheet_parts(reader):
    return [(sheet, rel.target) for sheet, rel in reader.parser.find_sheets() if rel.target in reader.valid_files]


def related(reader, part, kind):
    rels_path = get_rels_path(part)
    if rels_path not in reader.valid_files:
        return []
    return [rel.target for rel in get_dependents(reader.archive, rels_path).Relationship
            if rel.Type.endswith("/" + kind) and rel.target in reader.valid_files]


def anchor_rows(anchor):
    rows = [str(anchor._from.row)]
    if getattr(anchor, "to", None) is not None:
        rows.append(str(anchor.to.row))
    return "-".join(rows)


def series_refs(chart):
    refs = []
    for series in chart.series:
        for source in (series.tx and series.tx.strRef, series.cat and (series.cat.numRef or series.cat.strRef),
                       series.val and series.val.numRef):
            if source is not None and source.f:
                refs.append(source.f)
    return ",".join(refs)


def reference_lines(path):
    reader = ExcelReader(path, read_only=False, keep_vba=False, data_only=False, keep_links=False)
    reader.read()
    reader.archive = zipfile.ZipFile(path)  # read() closes it; the raw parts are read below
    book = reader.wb
    lines = []
    for name in book.defined_names.definedName:
        scope = book._sheets[name.localSheetId].title if name.localSheetId is not None else ""
        lines.append(f"{scope}|name|{name.name}={name.attr_text}")
    for (sheet_info, part), sheet in zip(sheet_parts(reader), book._sheets):
        if not isinstance(sheet, openpyxl.worksheet.worksheet.Worksheet):
            continue
        title = sheet.title
        out = lambda what, details: lines.append(f"{title}|{what}|{details}")
        xml = reader.archive.read(part).decode("utf-8")
        arrays = dict(re.findall(r'<c r="([A-Z]+[0-9]+)"[^>]*><f t="array" ref="([^"]+)"', xml))
        for row in sheet.iter_rows():
            for cell in row:
                if isinstance(cell.value, str) and cell.data_type == "f":
                    where = f"{cell.coordinate}{{{arrays[cell.coordinate]}}}" if cell.coordinate in arrays else cell.coordinate
                    out("formula", f"{where}{cell.value}")
                if cell.hyperlink is not None:
                    out("hyperlink", f"{cell.coordinate}->{cell.hyperlink.location or cell.hyperlink.target}")
                if cell.comment is not None:
                    out("comment", cell.coordinate)
        if sheet.print_area:
            out("print-area", ",".join(sheet.print_area) if isinstance(sheet.print_area, list) else sheet.print_area)
        if sheet.print_title_rows:
            out("print-titles", sheet.print_title_rows)
        for merged in sheet.merged_cells.ranges:
            out("merged", str(merged))
        for conditional in sheet.conditional_formatting:
            for rule in conditional.rules:
                out("conditional", f"{conditional.sqref}:{rule.type}:{';'.join(rule.formula or [])}")
        for validation in sheet.data_validations.dataValidation:
            out("validation", f"{validation.sqref}:{validation.formula1 or ''};{validation.formula2 or ''}")
        if sheet.auto_filter.ref:
            out("autofilter", sheet.auto_filter.ref)
        for table in sheet.tables.values():
            out("table", f"{table.name}:{table.ref}:{table.autoFilter.ref if table.autoFilter else ''}")
        for image in sheet._images:
            out("image", anchor_rows(image.anchor))
        for chart in sheet._charts:
            out("chart", f"{anchor_rows(chart.anchor)}:{series_refs(chart)}")
        for pivot in sheet._pivots:
            source = pivot.cache.cacheSource.worksheetSource
            out("pivot", f"{pivot.name}:{source.sheet}!{source.ref}" if source is not None else pivot.name)
        for brk in sheet.row_breaks.brk:
            out("row-break", str(brk.id))
        view = sheet.sheet_view
        if view.pane is not None:
            out("pane", f"{view.pane.topLeftCell}:{view.pane.ySplit}")
        for selection in view.selection:
            out("selection", f"{selection.pane}:{selection.activeCell}:{selection.sqref}")
        for vml in related(reader, part, "vmlDrawing"):
            text = reader.archive.read(vml).decode("utf-8")
            for row, column in re.findall(r"<x:Row>\s*(\d+)\s*</x:Row>\s*<x:Column>\s*(\d+)\s*</x:Column>", text):
                out("comment-vml", f"row {row} column {column}")
            for anchor in re.findall(r"<x:Anchor>([^<]*)</x:Anchor>", text):
                out("comment-anchor", ",".join(part.strip() for part in anchor.split(",")))
    return sorted(lines)


def main():
    path = sys.argv[1]
    if "--references" in sys.argv[2:]:
        print("\n".join(reference_lines(path)))
        return
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
