#!/usr/bin/env python3
"""Takes the Windows program's screenshots in docs/ under wine, in a wine
session of its own (tests/windows/wine_session.py): the main window
connected to the virtual accessory after typing a line, and the about
window. Run after scripts/build-windows and a Linux build (for the
accessory): tools/windows_screenshots.py [windows-build-dir] [linux-build-dir]"""

import os
import re
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path[:0] = [os.path.join(ROOT, "tests", "windows"), os.path.join(ROOT, "tests", "windows", "e2e")]

import wine_session  # noqa: E402

windows_build = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build-windows")
linux_build = sys.argv[2] if len(sys.argv) > 2 else os.path.join(ROOT, "build")
docs = os.path.join(ROOT, "docs")


def screenshot(desktop, window, path):
    """The window with its frame, as the window manager draws it."""
    x, y, w, h = desktop.geometry(window)
    extents = desktop.run(["xprop", "-id", str(window), "_NET_FRAME_EXTENTS"], check=False)
    found = re.search(r"= (\d+), (\d+), (\d+), (\d+)", extents)
    left, right, top, bottom = map(int, found.groups()) if found else (0, 0, 0, 0)
    desktop.run(["import", "-window", "root", "-crop", f"{w + left + right}x{h + top + bottom}+{x - left}+{y - top}",
                 "+repage", path])


session = os.path.join(tempfile.mkdtemp(prefix="tavlun-shots-"), "session.env")
wine_session.start(session)
os.environ["TAVLUN_WINE_SESSION"] = session
os.environ["TAVLUN_EXE"] = os.path.join(windows_build, "app", "windows", "tavlun.exe")
try:
    from winesession import WineDesktop, wait_until  # noqa: E402
    from program import BLUE, Accessory  # noqa: E402

    desktop = WineDesktop()
    try:
        accessory = Accessory(desktop, os.path.join(linux_build, "tools", "accessory", "tavlun-accessory"))
        desktop.map_port("COM1", accessory.path)
        program = desktop.program()
        program.connect_first()
        accessory.type("Merhaba Dünya, 2026!")
        time.sleep(3)
        screenshot(desktop, program.window, os.path.join(docs, "windows-main-window.png"))
        desktop.click(*program.client(8 + 52, 208 + 8))  # Hakkında
        about = desktop.wait_window("Hakkında", 5)
        time.sleep(0.5)
        screenshot(desktop, about, os.path.join(docs, "windows-about-window.png"))
    finally:
        desktop.close()
finally:
    wine_session.stop(session)
