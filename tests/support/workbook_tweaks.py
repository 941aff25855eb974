#!/usr/bin/python3
"""Small edits of saved workbooks for fixture and workload scripts."""
import os
import shutil
import tempfile
import zipfile


def without_full_calculation(source, target):
    """Copies the workbook without xlsxwriter's request for a full calculation on load: its cached
    results then stand, as in a workbook the application has calculated and saved. source and
    target may be the same file."""
    with tempfile.TemporaryDirectory() as tmp:
        copy = os.path.join(tmp, "copy.xlsx")
        shutil.copy(source, copy)
        with zipfile.ZipFile(copy) as zin, zipfile.ZipFile(target, "w", zipfile.ZIP_DEFLATED) as zout:
            for item in zin.infolist():
                data = zin.read(item.filename)
                if item.filename == "xl/workbook.xml":
                    data = data.replace(b' fullCalcOnLoad="1"', b"")
                zout.writestr(item, data)
