#!/usr/bin/python3
"""Writes the engine benchmark's workbook: ROWS rows x 18 columns of texts, numbers and a formula column.

usage: make_engine_workload.py OUT.xlsx [ROWS]
Made with xlsxwriter, a writer we did not write, with shared strings as Excel writes them.
Column R holds a formula over the row with its cached result.
"""
import sys

import xlsxwriter

GRADES = ["S235JR", "S275J2", "S355J2", "S355J2+N", "S460M", "1.4301", "1.4404"]
SURFACES = ["Sort", "Blank", "Varmforsinket", "Grunnet", "Sandblåst"]


def main():
    out = sys.argv[1]
    rows = int(sys.argv[2]) if len(sys.argv) > 2 else 100_000
    book = xlsxwriter.Workbook(out)
    sheet = book.add_worksheet("Lager")
    header = ["Produkt", "Grade", "H", "B", "T", "overflate", "Merknad", "Meter", "Antall", "Vekt",
              "Pris", "Sted", "Prosjekt", "Dato", "Leverandør", "Sertifikat", "Notat", "Sum"]
    for c, text in enumerate(header):
        sheet.write_string(0, c, text)
    for r in range(1, rows):
        n = r + 1
        sheet.write_string(r, 0, "HEA")
        sheet.write_string(r, 1, GRADES[r % len(GRADES)])
        sheet.write_string(r, 2, str(100 + (r % 40) * 20))
        sheet.write_string(r, 3, str(100 + (r % 30) * 10))
        sheet.write_string(r, 4, str(5 + r % 12))
        sheet.write_string(r, 5, SURFACES[r % len(SURFACES)])
        sheet.write_string(r, 6, f"Linje {r}")
        sheet.write_number(r, 7, 6 + (r % 7) * 0.5)
        sheet.write_number(r, 8, r % 50)
        sheet.write_number(r, 9, 12.5 + (r % 100) * 0.25)
        sheet.write_number(r, 10, 1000 + r * 0.01)
        sheet.write_string(r, 11, f"Hall {r % 5 + 1}")
        sheet.write_string(r, 12, f"P-{20000 + r % 900}")
        sheet.write_number(r, 13, 45000 + r % 1000)
        sheet.write_string(r, 14, "Stålgrossisten AS" if r % 2 else "Nordic Steel")
        sheet.write_string(r, 15, f"3.1-{r:07d}")
        sheet.write_string(r, 16, "" if r % 3 else "Kontrollert")
        sheet.write_formula(r, 17, f"=H{n}*I{n}*J{n}", None, (6 + (r % 7) * 0.5) * (r % 50) * (12.5 + (r % 100) * 0.25))
    book.close()


if __name__ == "__main__":
    main()
