"""The Windows program's end-to-end tests on the test run's wine session (tests/windows/wine_session.py): its X server,
window manager and wine prefix, its COM ports as links that a test points at pseudo-terminals."""

import os
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path[:0] = [os.path.join(HERE, ".."), os.path.join(HERE, "..", "..", "e2e")]

import wine_session  # noqa: E402
from desktop import Desktop, wait_until  # noqa: E402,F401
from program import Program  # noqa: E402,F401

EXE, ACCESSORY = os.environ["TAVLUN_EXE"], os.environ.get("TAVLUN_ACCESSORY")


class WineDesktop(Desktop):  # the session's desktop; stops only what a test started on it, and its links

    def __init__(self, test=None):  # a test's, closed with it
        self.procs, self.links, self.tmp = [], [], tempfile.mkdtemp(prefix="tavlun-wine-e2e-")
        self.env = dict(os.environ, **wine_session.load(os.environ["TAVLUN_WINE_SESSION"]))
        self.display = self.env["DISPLAY"]
        test and test.addCleanup(self.close)

    def map_port(self, name, target):  # COMn of wine to `target`, until the test ends
        link = os.path.join(self.env["TAVLUN_WINE_PORTS"], name.lower())
        if os.path.lexists(link):
            os.unlink(link)
        os.symlink(target, link)
        self.links.append(link)

    def close(self):
        super().close()
        for link in self.links:
            if os.path.lexists(link):
                os.unlink(link)

    def program(self, exe=EXE):  # tavlun.exe under wine: its window shown; its standard error in its log
        return Program(self, "wine", [exe])
