"""The Windows program's end-to-end tests run in the wine session of the test
run (tests/windows/wine_session.py): its X server, window manager and wine
prefix, its COM ports as links that a test points at pseudo-terminals."""

import os
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path[:0] = [os.path.join(HERE, ".."), os.path.join(HERE, "..", "..", "e2e")]

import wine_session  # noqa: E402
from desktop import Desktop, wait_until  # noqa: E402,F401
from program import Program  # noqa: E402,F401

EXE, ACCESSORY = os.environ.get("TAVLUN_EXE"), os.environ.get("TAVLUN_ACCESSORY")


class WineDesktop(Desktop):
    """The session's desktop; stops only what a test started on it."""

    def __init__(self):
        self.procs, self.tmp = [], tempfile.mkdtemp(prefix="tavlun-wine-e2e-")
        self.env = dict(os.environ, **wine_session.load(os.environ["TAVLUN_WINE_SESSION"]))
        self.display = self.env["DISPLAY"]
        self.links = []

    def wine(self, *argv, **kw):
        return self.start(["wine", *argv], **kw)

    def map_port(self, name, target):  # COMn of wine to `target`, until the test ends
        link = os.path.join(self.env["TAVLUN_WINE_PORTS"], name.lower())
        if os.path.lexists(link):
            os.unlink(link)
        os.symlink(target, link)
        self.links.append(link)
        return link

    def close(self):
        super().close()
        for link in self.links:
            if os.path.lexists(link):
                os.unlink(link)


def wine_desktop(test):
    if not (EXE and os.path.exists(EXE)):
        raise AssertionError(f"no tavlun.exe at {EXE!r}: build it first")
    desktop = WineDesktop()
    test.addCleanup(desktop.close)
    return desktop


def start_program(desktop):
    """tavlun.exe under wine: its window shown; its standard error in its log."""
    return Program(desktop, "wine", [EXE])
