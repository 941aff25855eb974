"""Driving the real window on an X display with xdotool, for end_to_end.py and installed_window.py."""
import subprocess
import sys
import time

TIMEOUT = 60

# The window's components in its own pixels, from its design at 96 dpi (Xvfb's): the centre of each.
UPDATE_BUTTON = (8 + 177 // 2, 56 + 25 // 2)
EXIT_BUTTON = (223 + 177 // 2, 56 + 25 // 2)


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


def click(window, at):
    xdotool("mousemove", "--window", window, str(at[0]), str(at[1]))
    # Qt must see the pointer arrive over the button before the press, or it presses nothing.
    time.sleep(0.3)
    xdotool("click", "1")


def type_into_focus(window, text):
    """Types as a user does, into whatever has the focus: no selecting or clearing first."""
    xdotool("windowfocus", "--sync", window)
    xdotool("type", "--delay", "2", text)


def run_window(argv, drive, env=None):
    """Starts the program and hands it to `drive`, which works its window and returns once it has ended;
    the program must end with status 0. On any failure the program is killed and its output shown."""
    app = subprocess.Popen(argv, env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    try:
        drive(app)
        code = app.wait(timeout=TIMEOUT)
    except BaseException:
        app.kill()
        print(app.communicate()[0], file=sys.stderr)
        raise
    if code != 0:
        raise SystemExit(f"{argv[0]} ended with {code}: {app.communicate()[0]}")


def ends_within(app, seconds, what):
    try:
        app.wait(timeout=seconds)
    except subprocess.TimeoutExpired:
        raise SystemExit(f"{what} did not end the program") from None
