#!/usr/bin/python3
"""The installed window on an X display (run it under xvfb-run, as a user whose ~/Tulverkan/Data holds
the sample workbooks): scripts/check-package runs it in the fresh root the package was installed into.

    installed_window.py PICTURE_FOLDER

Starts tulverkan from PATH, waits for its window and takes its picture (window.png), clicks "Oppdater
tulverkan" and waits for the order dialog, which shows only when the proposed inventory
~/Tulverkan/Data/Tulverkan.xlsx exists, takes the dialog's picture (dialog.png), cancels it, clicks
"Avslutt" and checks that the program ended.
"""
import os
import sys
import time

from PIL import ImageGrab

from xwindow import EXIT_BUTTON, UPDATE_BUTTON, click, ends_within, find_window, geometry, run_window, wait_for, xdotool


def picture(window, path):
    x, y, width, height = geometry(window)
    image = ImageGrab.grab(bbox=(x, y, x + width, y + height), xdisplay=os.environ.get("DISPLAY"))
    if len(image.getcolors(1 << 24) or []) < 3:
        raise SystemExit(f"{path}: the window shows nothing")
    image.save(path)


def main():
    folder = sys.argv[1]

    def drive(app):
        form = wait_for("the main window", lambda: find_window("Ajourhold av tulverkan"))
        time.sleep(0.5)
        picture(form, os.path.join(folder, "window.png"))
        click(form, UPDATE_BUTTON)
        dialog = wait_for("the order dialog", lambda: find_window("Velg bestillingsfil") or find_window(
            "Finner ikke lagerfilen"))
        if find_window("Finner ikke lagerfilen"):
            raise SystemExit("the proposed inventory is not ~/Tulverkan/Data/Tulverkan.xlsx")
        time.sleep(1)  # the file list fills in the background
        picture(dialog, os.path.join(folder, "dialog.png"))
        xdotool("windowfocus", "--sync", dialog)
        xdotool("key", "Escape")
        wait_for("the dialog to close", lambda: not find_window("Velg bestillingsfil"))
        click(form, EXIT_BUTTON)
        ends_within(app, 10, "a click on Avslutt")

    run_window(["tulverkan"], drive)
    print("window shown, order dialog opened on the proposed inventory, program ended")


if __name__ == "__main__":
    main()
