#!/usr/bin/env python3
"""Takes the screenshots in docs/ on a private X server: the main window
connected to the virtual accessory after typing a line, the about window,
the failure box for a port that another program holds and for one that only
its owner may open, and the port list's help after a failure. Run as root after a build:
tools/screenshots.py [build-dir]"""

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


def screenshot(desktop, path, window):
    """The window with the window manager's frame around it, as a PNG."""
    desktop.run(["import", "-frame", "-window", str(window), path])


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
    screenshot(desktop, os.path.join(docs, "main-window.png"), program.window)
    desktop.click(*program.client(8 + 52, 208 + 8))  # Hakkında
    about = desktop.wait_window("Hakkında", 5)
    time.sleep(0.3)
    screenshot(desktop, os.path.join(docs, "about-window.png"), about)
    os.close(keyboard)


def pick_spoiled(desktop, program, spoil):
    """Opens the port list (which probes the ports again), lets `spoil`
    make the first entry's device fail, then picks it and answers Yes."""
    x, y, w, _ = program.popup_entries()
    result = spoil()
    time.sleep(0.5)  # a list that has just opened ignores a quick click
    desktop.click(x + w // 2, y + 10)
    program.answer_connect()
    return result


def failure_box(name, prepare, user=None):
    """The "Port Hata..." box for a pseudo-terminal that `prepare` makes
    fail after the probe listed it."""
    with Desktop() as desktop:
        phone = P.Phone()
        os.chmod(phone.path, 0o666)
        program = P.Program(desktop, os.path.join(build, "app/tavlun"), [phone.path], user=user)
        held = pick_spoiled(desktop, program, lambda: prepare(phone.path))
        box = desktop.wait_window("Port Hata...", 5)
        time.sleep(0.3)
        screenshot(desktop, os.path.join(docs, name), box)
        if held:
            held.release()
        phone.close()


failure_box("port-error-busy.png", P.PortLock)
failure_box("port-error-permission.png", lambda path: os.chmod(path, 0o600), user="nobody")


with Desktop() as desktop:
    # A held device, a missing one, and one that goes before it is picked.
    held_phone, gone_phone = P.Phone(), P.Phone()
    held = P.PortLock(held_phone.path)
    program = P.Program(desktop, os.path.join(build, "app/tavlun"),
                        [held_phone.path, "/dev/ttyUSB7", gone_phone.path])
    pick_spoiled(desktop, program, gone_phone.close)
    desktop.activate(desktop.wait_window("Port Hata...", 5))
    desktop.key("Return")
    x, y = program.client(*P.PORT_LIST_CENTRE)
    for dx in (0, 1):  # a move, then a rest over the list, shows its tooltip
        desktop.run(["xdotool", "mousemove", "--sync", str(x + dx), str(y)])
    time.sleep(2)  # the tooltip's own delay
    wx, wy, _, _ = desktop.geometry(program.window)
    path = os.path.join(docs, "port-list-help.png")
    desktop.run(["import", "-window", "root", "-crop", f"774x200+{wx - 30}+{wy - 25}", "+repage",
                 path])
    held.release()
    held_phone.close()
