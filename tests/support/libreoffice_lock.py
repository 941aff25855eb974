#!/usr/bin/python3
"""What LibreOffice makes of the lock file beside a workbook, over UNO (libreoffice_uno.py).

usage: libreoffice_lock.py write WORKBOOK
           LibreOffice opens the workbook as "open" does; prints what "open" prints, the mode (octal)
           of the lock file it writes beside the workbook on the next line, and the lock file's bytes,
           as they are, after it.
       libreoffice_lock.py open WORKBOOK
           LibreOffice opens the workbook as a user would (with an interaction handler, so that a
           locked document is offered read-only rather than refused); prints "read-only" or "editable",
           then "asked N", how many questions LibreOffice asked on the way.
"""
import os
import stat
import sys

import unohelper
from com.sun.star.task import XInteractionHandler

from libreoffice_uno import Office, properties, url


class Handler(unohelper.Base, XInteractionHandler):
    """Counts LibreOffice's questions and chooses nothing, as a user who closes the question does: a
    locked document is then opened read-only. (Debian's python3-uno cannot hand over the request
    itself, a LockedDocumentRequest, so its text is not read.)"""

    def __init__(self):
        self.asked = 0

    def handle(self, request):
        self.asked += 1


def lock_file(workbook):
    folder, name = os.path.split(os.path.abspath(workbook))
    return os.path.join(folder, ".~lock." + name + "#")


def main():
    if len(sys.argv) != 3 or sys.argv[1] not in ("write", "open"):
        sys.exit(__doc__)
    mode, workbook = sys.argv[1], sys.argv[2]
    with Office() as office:
        handler = Handler()
        document = office.desktop.loadComponentFromURL(url(workbook), "_blank", 0,
                                                       properties(Hidden=True, InteractionHandler=handler))
        if document is None:
            sys.exit(f"LibreOffice cannot open {workbook}")
        try:
            print("read-only" if document.isReadonly() else "editable", "asked", handler.asked)
            if mode == "write":
                path = lock_file(workbook)
                with open(path, "rb") as lock:
                    data = lock.read()
                print("%o" % stat.S_IMODE(os.stat(path).st_mode))
                sys.stdout.flush()
                sys.stdout.buffer.write(data)
        finally:
            document.close(True)


if __name__ == "__main__":
    main()
