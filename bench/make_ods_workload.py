#!/usr/bin/python3
"""Writes the .ods benchmark's workbooks into a folder.

usage: make_ods_workload.py DIR
  DIR/empty-run.ods   an order sheet whose used rows are followed by a run of a million empty rows
                      (as LibreOffice writes a sheet with formatting far down) and one more line
  DIR/value-run.ods   a run of a million rows that all hold the same order line
  DIR/wide-run.ods    a thousand rows each holding one value repeated over all 16,384 columns
  DIR/distinct.ods    100,000 order lines, every cell its own (what the XML itself costs)
The XML is written here with the attributes LibreOffice uses; the zip by Python's zipfile.
"""
import os
import sys
import zipfile

HEAD = ('<?xml version="1.0" encoding="UTF-8"?>'
        '<office:document-content xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" '
        'xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" '
        'xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" office:version="1.3">'
        '<office:body><office:spreadsheet><table:table table:name="Bestilling">')
TAIL = '</table:table></office:spreadsheet></office:body></office:document-content>'
EMPTY_ROW_REST = '<table:table-cell table:number-columns-repeated="{}"/>'


def text(value, repeat=1):
    attr = f' table:number-columns-repeated="{repeat}"' if repeat > 1 else ""
    return f'<table:table-cell office:value-type="string"{attr}><text:p>{value}</text:p></table:table-cell>'


def number(value):
    return f'<table:table-cell office:value-type="float" office:value="{value}"><text:p>{value}</text:p></table:table-cell>'


def order_line(row):
    cells = ["<table:table-cell/>", text("HEA"), text("S355J2"), number(100 + row % 20 * 20), number(100),
             "<table:table-cell/>", text("Blank"), number(6 + row % 7), number(row % 40 + 1),
             "<table:table-cell/>", text(f"P-{row}"), '<table:table-cell table:number-columns-repeated="2"/>',
             text("x")]
    return "<table:table-row>" + "".join(cells) + EMPTY_ROW_REST.format(16384 - 14) + "</table:table-row>"


def repeated(row_xml, count):
    return row_xml.replace("<table:table-row>", f'<table:table-row table:number-rows-repeated="{count}">', 1)


def write(path, rows):
    with zipfile.ZipFile(path, "w") as z:
        z.writestr(zipfile.ZipInfo("mimetype"), "application/vnd.oasis.opendocument.spreadsheet")
        with z.open("content.xml", "w", force_zip64=True) as part:
            part.write(HEAD.encode())
            for row in rows:
                part.write(row.encode())
            part.write(TAIL.encode())


def main():
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    header = [f"<table:table-row>{text('Bestilling')}{EMPTY_ROW_REST.format(16383)}</table:table-row>",
              repeated(f"<table:table-row>{EMPTY_ROW_REST.format(16384)}</table:table-row>", 8)]
    lines = [order_line(row) for row in range(10, 40)]
    empty_million = repeated(f"<table:table-row>{EMPTY_ROW_REST.format(16384)}</table:table-row>", 1000000)
    write(os.path.join(folder, "empty-run.ods"), header + lines + [empty_million, order_line(1)])
    write(os.path.join(folder, "value-run.ods"), header + [repeated(order_line(10), 1000000)])
    write(os.path.join(folder, "wide-run.ods"),
          header + [repeated(f"<table:table-row>{text('bred', 16384)}</table:table-row>", 1000)])
    write(os.path.join(folder, "distinct.ods"), header + [order_line(row) for row in range(10, 100010)])


if __name__ == "__main__":
    main()
