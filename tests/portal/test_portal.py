#!/usr/bin/env python3
"""The portal backend end to end: the program's typing driver in a GNOME session of the test's
own, through the real portal and a stand-in backend (or the stand-in as the portal), into wev."""

import json
import os
import pathlib
import signal
import stat
import subprocess
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "e2e"))
from desktop import MutterDesktop, wait_until  # noqa: E402
from recorders import TypeDriver as Driver, WevRecorder, as_seen  # noqa: E402

STANDIN = ["/usr/bin/python3", os.path.join(HERE, "remote_desktop_standin.py")]  # has python3-gi
BACKEND = "org.freedesktop.impl.portal.desktop.tavlunstandin"
V1_NOTICE = "asks at every start"


class PortalInjectorTest(unittest.TestCase):

    def desktop(self, *options, layouts=None):  # the stand-in behind the real portal unless it is one
        d = MutterDesktop(layouts)
        self.addCleanup(d.close)
        d.log = os.path.join(d.tmp, "standin.log")
        d.standin = d.start(STANDIN + [d.log, *options] + ["--mutter"] * bool(layouts))
        if "--portal" not in options:  # xdg-desktop-portal finds its backend in this folder's .portal file
            d.wait_name(BACKEND)
            d.portal = d.start(["/usr/libexec/xdg-desktop-portal"], env={"XDG_DESKTOP_PORTAL_DIR": HERE},
                               stderr=subprocess.DEVNULL)
        d.wait_name("org.freedesktop.portal.Desktop")
        return d

    @staticmethod
    def calls(d, name="NotifyKeyboardKeysym"):
        with open(d.log) as log:
            return [e["args"] for e in map(json.loads, log) if e["call"] == name]

    def test_keys_reach_wev_in_order_once_allowed_and_only_from_the_layout_in_use(self):
        d = self.desktop("Start=hold", layouts="tr,ru")  # Turkish in use, Russian the other
        (wev := WevRecorder(d)).wait_focus()
        driver = Driver(d)
        keys = ["a", "B", "1", ">", "+", " ", "ğ", "ş", "Ж", "{ENTER}", "ı", "İ", "€", "ñ",
                "{BACKSPACE}", "Ж", "{ESC}", "z"]
        self.assertEqual(driver.type(*keys), "typed not:ЖñЖ")  # Russian only, in no layout
        wait_until(lambda: self.calls(d, "Start"), 10, "the Start request")
        self.assertEqual(wev.quiet(), "", "typed before the desktop allowed it")
        d.standin.send_signal(signal.SIGUSR1)  # the user allows it: what came meanwhile is typed
        typed = [k for k in keys if k not in "Жñ"]
        self.assertEqual(wev.text(len(typed)), as_seen(typed))
        self.assertEqual(driver.type("x"), "typed")
        self.assertEqual((wev.text(1), wev.quiet(), wev.down), ("x", "", set()), "x, then nothing held")
        self.assertEqual(self.calls(d, "SelectDevices"), [{"types": 1}], "version 1: no persisting")
        notices = {"\u201CЖ\u201D": "switch to that layout", "\u201Cñ\u201D": "add a layout", V1_NOTICE: "",
                   "types with \u201CTurkish\u201D": ""}  # the layout taken as in use, which mutter does not say
        wait_until(lambda: len(driver.problems()) >= 4, 10, f"four notices in {driver.told}")
        told = [next((f for f, remedy in notices.items() if f in p and remedy in p), p) for p in driver.problems()]
        self.assertEqual(sorted(told), sorted(notices), "each notice once, with its remedy")

    def test_nothing_is_typed_once_the_desktop_says_no(self):
        # (what happens, stand-in options, what comes once a key is through, the problem told)
        for what, options, then, problem in [
                ("the user refuses", ["Start=1"], None, "refused"),
                ("the desktop fails", ["Start=2"], None, "could not give"),
                ("the portal errs", ["--portal", "CreateSession=error"], None, "did not answer"),
                ("the desktop ends the session", [], signal.SIGUSR2, "ended its permission"),
                ("the portal quits", [], "quit", "portal stopped"),
                # (xdg-desktop-portal does not pass its backend's errors on)
                ("keys refused", ["--portal", "NotifyKeyboardKeysym=error"], "", "refused a key")]:
            with self.subTest(what):
                d = self.desktop(*options)
                driver = Driver(d)
                self.assertEqual(driver.type("a"), "typed")
                if then is not None:  # allowed: the key goes out, then the desktop says no
                    wait_until(lambda: self.calls(d)[:1] == [[0x61, 1]], 10, "the key")
                    d.portal.terminate() if then == "quit" else then and d.standin.send_signal(then)
                wait_until(lambda: driver.problems(problem), 10, f"'{problem}' in {driver.told}")
                sent = self.calls(d)
                self.assertEqual(driver.type("b", "{ENTER}"), "typed not:b{ENTER}")
                self.assertEqual(self.calls(d), sent, "keys sent after the desktop said no")
                self.assertLessEqual(len(sent), 2, sent)
                self.assertEqual(len(driver.problems()) - len(driver.problems(V1_NOTICE)), 1, driver.told)

    def test_version_2_keeps_the_permission_for_the_next_start(self):
        d = self.desktop("--portal")
        token = pathlib.Path(d.tmp, ".local", "state", "tavlun", "portal-restore-token")  # $HOME's
        keys = [[0xFF, 1], [0xFF, 0], [0x100011F, 1], [0x100011F, 0]]  # no keymap: Latin-1, Unicode
        for start, restored in [(1, None), (2, "tavlun-standin-1")]:
            driver = Driver(d)
            self.assertEqual(driver.type("ÿ", "ğ"), "typed")
            wait_until(lambda: len(self.calls(d)) >= 4 * start, 10, f"the keys at start {start}")
            self.assertEqual(self.calls(d), keys * start)
            options = self.calls(d, "SelectDevices")[-1]
            self.assertEqual((options.get("persist_mode"), options.get("restore_token")), (2, restored))
            modes = [oct(stat.S_IMODE(path.stat().st_mode)) for path in (token, token.parent)]
            self.assertEqual((token.read_text().strip(), modes), (f"tavlun-standin-{start}", ["0o600", "0o700"]),
                             "the token kept, for the user only")
            self.assertEqual(driver.problems(), [])
            driver.close()
        token.unlink()
        token.parent.rmdir()
        token.parent.write_text("")  # a file where the token's folder goes: the user is told
        driver = Driver(d)
        self.assertEqual(driver.type("ÿ"), "typed")
        wait_until(lambda: driver.problems("could not keep the desktop's permission"), 10, f"the notice in {driver.told}")


if __name__ == "__main__":
    unittest.main(verbosity=2)
