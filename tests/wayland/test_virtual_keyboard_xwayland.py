"""The virtual keyboard typing into an X11 client on sway's XWayland, which reads the keyboard's keymap too."""

import re
import unittest

from desktop import SwayDesktop, wait_until  # the end-to-end tests' harness, on PYTHONPATH
from recorders import KeyRecorder, TypeDriver as Driver, as_seen


class VirtualKeyboardOnXWaylandTest(unittest.TestCase):

    def test_every_kind_of_key_reaches_an_x11_client(self):
        desktop = SwayDesktop()
        self.addCleanup(desktop.close)
        xev, driver = KeyRecorder(desktop), Driver(desktop)
        # A seat's first keys from a new keyboard can be lost: one until it arrives.
        wait_until(lambda: driver.type("{ESC}") == "typed" and xev.text(1, 0.5) == "<Escape>", 10, "xev's first key")
        xev.quiet()
        keys = [*"1234567890", *"azAZ!@€ğ", "{ENTER}", "{BACKSPACE}", "{ESC}"]  # the keymap's fixed and pool keys
        self.assertEqual(driver.type(*keys), "typed")
        self.assertEqual(xev.text(len(keys)), as_seen(keys))
        self.assertEqual((xev.quiet(), xev.down), ("", set()), "keys after the last, or keys left down")
        named = set(re.findall(r"keycode (\d+) \(keysym 0x\w+, (BackSpace|Return|Escape)\)", "\n".join(xev.lines)))
        self.assertEqual(named, {("22", "BackSpace"), ("36", "Return"), ("9", "Escape")},
                         "the named keys not on their usual keycodes, which clients that go by keycode need")
