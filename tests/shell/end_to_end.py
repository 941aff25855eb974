#!/usr/bin/python3
"""The window end to end on an X display (run it under xvfb-run): the real tulverkan, the real file
dialog, real clicks and keys by xdotool.

    end_to_end.py TULVERKAN CASE_FOLDER DUMP_SCRIPT SCREENSHOT

Copies a booking case's inventory and order into a fresh folder, starts the program with a recording
xdg-open first on PATH, types the inventory's path into the path box, clicks "Oppdater tulverkan",
types the order's path into the order dialog and presses Enter, waits for the run, clicks "Avslutt",
and checks the saved inventory with openpyxl against the case's expected.txt, and that the desktop
was handed the order and the saved inventory. A picture of the window after the run
goes to SCREENSHOT.
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time
import urllib.parse
import urllib.request

from PIL import ImageGrab

TIMEOUT = 60


def wait_for(what, check, timeout=TIMEOUT):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        result = check()
        if result:
            return result
        time.sleep(0.1)
    raise SystemExit(f"timed out waiting for {what}")


def xdotool(*args):
    return subprocess.run(["xdotool", *args], check=True, capture_output=True, text=True).stdout


def find_window(name):
    """The id of the visible window titled exactly `name`, or None."""
    found = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", f"^{name}$"],
                           capture_output=True, text=True).stdout.split()
    return found[0] if found else None


def geometry(window):
    values = dict(line.split("=") for line in xdotool("getwindowgeometry", "--shell", window).split())
    return int(values["X"]), int(values["Y"]), int(values["WIDTH"]), int(values["HEIGHT"])


def click(window, x, y):
    xdotool("mousemove", "--window", window, str(x), str(y))
    # Qt must see the pointer arrive over the button before the press, or it presses nothing.
    time.sleep(0.3)
    xdotool("click", "1")


def type_into_focus(window, text):
    xdotool("windowfocus", "--sync", window)
    xdotool("key", "--clearmodifiers", "ctrl+a")
    xdotool("type", "--delay", "2", text)


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
    app = subprocess.Popen([program], env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    try:
        form = wait_for("the main window", lambda: find_window("Ajourhold av tulverkan"))
        # Positions in the window's own pixels, from its design at 96 dpi (Xvfb's).
        type_into_focus(form, inventory)
        click(form, 8 + 177 // 2, 56 + 25 // 2)

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

        # The dialog's completion popup, shown while the path was typed, leaves a pointer grab behind on a
        # display without a window manager; the first click only ends it. A click on the label does
        # nothing else.
        click(form, 8 + 58 // 2, 19 + 13 // 2)
        click(form, 223 + 177 // 2, 56 + 25 // 2)
        code = app.wait(timeout=TIMEOUT)
    except BaseException:
        app.kill()
        print(app.communicate()[0], file=sys.stderr)
        raise
    if code != 0:
        raise SystemExit(f"tulverkan ended with {code}: {app.communicate()[0]}")

    # Each file goes to its own detached xdg-open, so they may log in either order.
    opened = sorted(opened_paths(log))
    if opened != sorted([order, inventory]):
        raise SystemExit(f"handed to the desktop: {opened}, expected {[order, inventory]}")
    dump = subprocess.run([sys.executable, dump_script, inventory], check=True, capture_output=True,
                          text=True).stdout
    with open(os.path.join(case, "expected.txt"), encoding="utf-8") as expected:
        if dump != expected.read():
            raise SystemExit("the saved inventory differs from expected.txt:\n" + dump)
    print("booked, saved, shown and closed; picture in", screenshot)


if __name__ == "__main__":
    main()
