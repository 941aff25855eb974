#!/usr/bin/python3
"""LibreOffice driven over UNO, for the other libreoffice_*.py scripts (Debian's python3-uno).

Office() starts a headless soffice of its own (own profile in a temporary folder, own pipe), so a
LibreOffice the user is running is not touched, and ends it again on leaving the with-block.
"""
import csv
import math
import os
import shutil
import subprocess
import tempfile
import time
import uuid

import uno
from com.sun.star.beans import PropertyValue
from com.sun.star.table.CellContentType import EMPTY, FORMULA, TEXT, VALUE

XLSX_FILTER = "Calc MS Excel 2007 XML"


def properties(**values):
    result = []
    for name, value in values.items():
        prop = PropertyValue()
        prop.Name = name
        prop.Value = value
        result.append(prop)
    return tuple(result)


def url(path):
    return uno.systemPathToFileUrl(os.path.abspath(path))


class Office:
    def __init__(self, timeout=60):
        self.timeout = timeout
        self.folder = None
        self.process = None
        self.desktop = None

    def __enter__(self):
        soffice = shutil.which("soffice")
        if not soffice:
            raise SystemExit("LibreOffice (soffice) is not installed")
        self.folder = tempfile.mkdtemp(prefix="tulverkan-lo-")
        pipe = "tulverkan" + uuid.uuid4().hex
        self.process = subprocess.Popen(
            [soffice, f"-env:UserInstallation={url(os.path.join(self.folder, 'profile'))}", "--headless",
             "--invisible", "--norestore", "--nologo", "--nodefault",
             f"--accept=pipe,name={pipe};urp;StarOffice.ComponentContext"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        local = uno.getComponentContext()
        resolver = local.ServiceManager.createInstanceWithContext("com.sun.star.bridge.UnoUrlResolver", local)
        deadline = time.monotonic() + self.timeout
        while True:
            try:
                context = resolver.resolve(f"uno:pipe,name={pipe};urp;StarOffice.ComponentContext")
                break
            except Exception:  # NoConnectException until soffice listens
                if time.monotonic() > deadline or self.process.poll() is not None:
                    self.__exit__(None, None, None)
                    raise SystemExit("LibreOffice did not start")
                time.sleep(0.3)
        self.desktop = context.ServiceManager.createInstanceWithContext("com.sun.star.frame.Desktop", context)
        return self

    def __exit__(self, *exc):
        if self.desktop is not None:
            try:
                self.desktop.terminate()
            except Exception:  # the bridge drops while soffice exits
                pass
        if self.process is not None:
            try:
                self.process.wait(timeout=30)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        if self.folder:
            shutil.rmtree(self.folder, ignore_errors=True)
        return False

    def load(self, path):
        document = self.desktop.loadComponentFromURL(url(path), "_blank", 0, properties(Hidden=True))
        if document is None:
            raise SystemExit(f"LibreOffice cannot open {path}")
        return document


def store_xlsx(document, path):
    document.storeToURL(url(path), properties(FilterName=XLSX_FILTER, Overwrite=True))


def used_area(sheet):
    cursor = sheet.createCursor()
    cursor.gotoEndOfUsedArea(False)
    address = cursor.getRangeAddress()
    return address.EndRow + 1, address.EndColumn + 1


def number_text(value):
    if math.isfinite(value) and value == int(value) and abs(value) < 1e15:
        return str(int(value))
    return repr(value)


def cell_text(cell, shown):
    kind = cell.getType()
    if kind == EMPTY:
        return ""
    if shown or kind == TEXT:
        return cell.getString()
    if kind == FORMULA:
        if cell.getError() != 0:
            return cell.getString()  # the error as LibreOffice shows it: #DIV/0!, #N/A, Err:502
        # FormulaResultType2: 1 value, 2 string (com.sun.star.sheet.FormulaResult)
        if cell.FormulaResultType2 == 2:
            return cell.getString()
        return number_text(cell.getValue())
    return number_text(cell.getValue())


def write_csvs(document, folder, shown=False):
    """One CSV per sheet, named after the sheet: <folder>/<sheet name>.csv, comma separated,
    UTF-8, every row of the used area. Values are what LibreOffice holds (formulas: their
    current results); numbers in full precision, dates and times as serial day numbers from the
    document's null date (1899-12-30, or 1904-01-01 in 1904 workbooks). With shown, every cell
    as LibreOffice displays it instead."""
    os.makedirs(folder, exist_ok=True)
    written = []
    sheets = document.getSheets()
    for index in range(sheets.getCount()):
        sheet = sheets.getByIndex(index)
        rows, columns = used_area(sheet)
        path = os.path.join(folder, sheet.getName() + ".csv")
        with open(path, "w", encoding="utf-8", newline="") as out:
            writer = csv.writer(out, lineterminator="\n")
            for row in range(rows):
                values = [cell_text(sheet.getCellByPosition(column, row), shown) for column in range(columns)]
                writer.writerow(values)
        written.append(path)
    return written
