#!/usr/bin/env python3
"""Takes the screenshots of both windows in docs/ on a private X server:
the main window connected to the virtual accessory after typing a line, and
the about window. Run after a build: tools/screenshots.py [build-dir]"""

import os
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "e2e"))

from desktop import Desktop, wait_until  # noqa: E402
import program as P  # noqa: E402

build = sys.argv[1] if len(sys.argv) > 1 else os.path.join(ROOT, "build")
docs = os.path.join(ROOT, "docs")

with Desktop() as desktop:
    typing, keyboard = os.pipe()
    accessory = desktop.start([os.path.join(build, "tools/accessory/tavlun-accessory"), "--pty",
                               "--wait-for-peer", "--hello-timeout", "0"],
                              stdin=typing, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    device = accessory.stdout.readline().decode().split(": ", 1)[1].strip()
    program = P.Program(desktop, os.path.join(build, "app/tavlun"), [device])
    program.pick_first()
    program.answer_connect()
    wait_until(lambda: program.indicator() == P.BLUE, 5, "the connection")
    os.write(keyboard, "Merhaba Dünya, 2026!\n".encode())
    accessory.stdout.close()
    time.sleep(3)
    desktop.screenshot(os.path.join(docs, "main-window.png"), program.window, frame=True)
    desktop.click(*program.client(8 + 52, 208 + 8))  # Hakkında
    about = desktop.wait_window("Hakkında", 5)
    time.sleep(0.3)
    desktop.screenshot(os.path.join(docs, "about-window.png"), about, frame=True)
    os.close(keyboard)
