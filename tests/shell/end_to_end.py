#!/usr/bin/python3
"""The window end to end on an X display (run it under xvfb-run): the real tulverkan, the real file
dialog, real clicks and keys by xdotool.

    end_to_end.py TULVERKAN CASE_FOLDER DUMP_SCRIPT SCREENSHOT

Copies a booking case's inventory and order into a fresh folder, starts the program with a recording
xdg-open first on PATH, types the inventory's path over the proposed one, clicks "Oppdater tulverkan",
types the order's path into the order dialog and presses Return while its completion list shows,
waits for the run; then books the same order again, which the dialog proposes: the window asks
whether to book its lines a second time (its text read off its picture), and Return takes the default
answer, Nei. Clicks "Avslutt" once and checks that the program ended; then checks the saved inventory
with openpyxl against the case's expected.txt (nothing booked twice), that the journal beside it holds
the first run's lines only, and that the desktop was handed the order and the saved inventory after
each run. A picture of the window after the first run goes to SCREENSHOT.
"""
import csv
import io
import os
import shutil
import subprocess
import sys
import tempfile
import time
import urllib.parse
import urllib.request

from xwindow import (EXIT_BUTTON, UPDATE_BUTTON, click, ends_within, find_window, geometry, run_window,
                     type_into_focus, wait_for, xdotool)

try:
    from PIL import Image, ImageGrab
except ImportError:  # a test-only package; ctest counts the test as skipped on this line
    print("SKIPPED: Pillow (python3-pil) is not installed (scripts/setup --test)")
    sys.exit(0)
if not shutil.which("tesseract"):
    print("SKIPPED: tesseract (tesseract-ocr, tesseract-ocr-nor) is not installed (scripts/setup --test)")
    sys.exit(0)

def opened_paths(log):
    if not os.path.exists(log):
        return []
    paths = []
    with open(log, encoding="utf-8") as lines:
        for line in lines:
            arg = line.rstrip("\n")
            if arg.startswith("file://"):
                arg = urllib.request.url2pathname(urllib.parse.urlparse(arg).path)
            paths.append(arg)
    return paths


# The marked lines of the order of the case the test books.
MARKED_LINES = 5


def box_text(box, display):
    """The text a box shows, read off its picture: the toolkit offers no other way to it under X."""
    x, y, width, height = geometry(box)
    picture = ImageGrab.grab(bbox=(x, y, x + width, y + height), xdisplay=display)
    # Enlarged, the small print reads reliably, Norwegian letters included.
    picture = picture.resize((width * 3, height * 3), Image.LANCZOS)
    text = subprocess.run(["tesseract", "-", "-", "-l", "nor"], input=picture_bytes(picture),
                          capture_output=True, check=True).stdout.decode("utf-8")
    return " ".join(text.split())


def ocr_folded(text):
    """Text with the letters that OCR confuses in this font (l, I, 1, |) made one, so that a
    misread letter does not pass for a different box."""
    return text.translate(str.maketrans("I1|", "lll"))


def picture_bytes(picture):
    buffer = io.BytesIO()
    picture.save(buffer, format="PNG")
    return buffer.getvalue()


def book_again(form, log, display):
    """The same order again: the question shows, and Return answers Nei, its default."""
    click(form, UPDATE_BUTTON)
    dialog = wait_for("the order dialog", lambda: find_window("Velg bestillingsfil"))
    time.sleep(0.5)
    # The dialog proposes the order chosen last; Return takes it, as a user booking it again does.
    xdotool("windowfocus", "--sync", dialog)
    xdotool("key", "Return")
    # The error display has the same title; only the question has the order's name and "før" in it.
    question = wait_for("the question about lines booked before", lambda: find_window("Tulverkan"))
    time.sleep(0.5)
    text = box_text(question, display)
    expected = (f"{MARKED_LINES} av {MARKED_LINES} merkede linjer i «Bestilling.xlsx» er bokført i denne "
                "lagerfilen før")
    if ocr_folded(expected) not in ocr_folded(text):
        raise SystemExit(f"the box shown is not the question about lines booked before:\n{text}")
    xdotool("windowfocus", "--sync", question)
    xdotool("key", "Return")
    # Nei with no new lines books nothing, yet the run ends as any other: saved and shown.
    wait_for("the workbooks handed to the desktop again", lambda: len(opened_paths(log)) >= 4)
    if find_window("Tulverkan"):
        raise SystemExit("a box titled Tulverkan is still showing after the second run")


def main():
    program, case, dump_script, screenshot = sys.argv[1:5]
    work = tempfile.mkdtemp(prefix="tulverkan-e2e-")
    try:
        run(program, case, dump_script, screenshot, work)
    finally:
        shutil.rmtree(work, ignore_errors=True)


def run(program, case, dump_script, screenshot, work):
    inventory = os.path.join(work, "Lager", "Tulverkan.xlsx")
    order = os.path.join(work, "Bestillinger", "Bestilling.xlsx")
    os.makedirs(os.path.dirname(inventory))
    os.makedirs(os.path.dirname(order))
    shutil.copyfile(os.path.join(case, "inventory.xlsx"), inventory)
    shutil.copyfile(os.path.join(case, "order.xlsx"), order)

    # Stands in for the desktop's handler: records what it is given, one argument per line.
    bin_dir = os.path.join(work, "bin")
    os.makedirs(bin_dir)
    log = os.path.join(work, "opened.txt")
    with open(os.path.join(bin_dir, "xdg-open"), "w", encoding="utf-8") as script:
        script.write(f'#!/bin/sh\nfor a in "$@"; do printf "%s\\n" "$a" >> "{log}"; done\n')
    os.chmod(os.path.join(bin_dir, "xdg-open"), 0o755)

    env = dict(os.environ)
    for name in ("XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "QT_QPA_PLATFORMTHEME", "LANGUAGE"):
        env.pop(name, None)
    env.update(PATH=bin_dir + os.pathsep + env.get("PATH", ""), QT_QPA_PLATFORM="xcb", LC_ALL="nb_NO.UTF-8",
               XDG_CONFIG_HOME=os.path.join(work, "config"), HOME=work)

    def drive(app):
        form = wait_for("the main window", lambda: find_window("Ajourhold av tulverkan"))
        # The proposed path is selected, so the typed one replaces it.
        type_into_focus(form, inventory)
        click(form, UPDATE_BUTTON)

        dialog = wait_for("the order dialog", lambda: find_window("Velg bestillingsfil"))
        time.sleep(0.5)  # the dialog's file name box takes the keys once it has settled
        type_into_focus(dialog, order)
        xdotool("key", "Return")

        wait_for("the workbooks handed to the desktop", lambda: len(opened_paths(log)) >= 2)
        error = find_window("Tulverkan")
        if error:
            raise SystemExit("the run failed; the error display is showing")
        x, y, width, height = geometry(form)
        ImageGrab.grab(bbox=(x, y, x + width, y + height), xdisplay=env.get("DISPLAY")).save(screenshot)

        book_again(form, log, env.get("DISPLAY"))
        # One click: a completion list left open by the dialog would take it and close instead.
        click(form, EXIT_BUTTON)
        ends_within(app, 10, "one click on Avslutt")

    run_window([program], drive, env)

    # Each file goes to its own detached xdg-open, so they may log in either order.
    opened = sorted(opened_paths(log))
    if opened != sorted([order, inventory] * 2):
        raise SystemExit(f"handed to the desktop: {opened}, expected {[order, inventory] * 2}")
    journal = os.path.join(os.path.dirname(inventory), "Tulverkan-logg.csv")
    with open(journal, encoding="utf-8-sig", newline="") as lines:
        rows = list(csv.reader(lines, delimiter=";"))
    if len(rows) != 1 + MARKED_LINES or {row[3] for row in rows[1:]} != {"1"}:
        raise SystemExit(f"the journal should hold the first run's {MARKED_LINES} lines: {rows}")
    dump = subprocess.run([sys.executable, dump_script, inventory], check=True, capture_output=True,
                          text=True).stdout
    with open(os.path.join(case, "expected.txt"), encoding="utf-8") as expected:
        if dump != expected.read():
            raise SystemExit("the saved inventory differs from expected.txt:\n" + dump)
    print("booked, saved, shown and closed; picture in", screenshot)


if __name__ == "__main__":
    main()
