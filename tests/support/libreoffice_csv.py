#!/usr/bin/python3
"""Converts a workbook to one CSV per sheet with LibreOffice (headless, over UNO).

Usage: /usr/bin/python3 libreoffice_csv.py WORKBOOK OUTFOLDER [--recalc] [--shown]

Writes OUTFOLDER/<sheet name>.csv for every sheet (comma separated, UTF-8) and prints the paths,
one a line. Without --recalc the values are what LibreOffice shows right after opening the file:
cached formula results as they stand, only formulas without a cached result computed; this is
how a user of LibreOffice would see a workbook we saved. --recalc computes every formula first.
Numbers are written in full precision (dates as serial day numbers); --shown writes every cell
as LibreOffice displays it instead. Exits non-zero when LibreOffice is missing or fails.
"""
import argparse

from libreoffice_uno import Office, write_csvs


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("workbook")
    parser.add_argument("outfolder")
    parser.add_argument("--recalc", action="store_true")
    parser.add_argument("--shown", action="store_true")
    args = parser.parse_args()
    with Office() as office:
        document = office.load(args.workbook)
        try:
            if args.recalc:
                document.calculateAll()
            for path in write_csvs(document, args.outfolder, args.shown):
                print(path)
        finally:
            document.close(True)


if __name__ == "__main__":
    main()
