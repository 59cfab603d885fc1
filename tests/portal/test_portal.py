#!/usr/bin/env python3
"""The portal injector end to end: a driver types through the real portal and a
stand-in backend (or the stand-in as a version 2 portal) into headless mutter."""

import json
import os
import signal
import stat
import subprocess
import sys
import threading
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from desktop import MutterDesktop, wait_until  # noqa: E402
from recorders import WevRecorder  # noqa: E402

STANDIN = ["/usr/bin/python3", os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                            "remote_desktop_standin.py")]  # has python3-gi
BACKEND = "org.freedesktop.impl.portal.desktop.tavlunstandin"
QUIET = {"stdout": subprocess.DEVNULL, "stderr": subprocess.DEVNULL}
V1_NOTICE = "asks at every start"


class Driver:
    """tavlun_portal_driver: key strings in, one answer a key and the problems told out."""

    def __init__(self, desktop):
        self.lines = []
        self.proc = desktop.start([os.environ["TAVLUN_PORTAL_DRIVER"]], stdin=subprocess.PIPE,
                                  stdout=subprocess.PIPE)
        threading.Thread(target=lambda: self.lines.extend(
            raw.decode().rstrip("\n") for raw in self.proc.stdout), daemon=True).start()

    def type(self, *keys):
        answers = lambda: [x for x in list(self.lines) if x.startswith(("accepted", "rejected"))]  # noqa
        before = len(answers())
        self.proc.stdin.write("".join(f"{key}\n" for key in keys).encode())
        self.proc.stdin.flush()
        wait_until(lambda: len(answers()) >= before + len(keys), 10, f"answers for {keys}: {self.lines}")
        return answers()[before:]

    def problems(self, fragment=""):
        return [x[9:] for x in list(self.lines) if x.startswith("problem: ") and fragment in x]


class PortalInjectorTest(unittest.TestCase):

    def desktop(self, *options, layouts=None, portal=True):
        """The stand-in with `options`, the real portal unless it is one, mutter with `layouts`."""
        d = MutterDesktop({}, layouts)
        self.addCleanup(d.close)
        d.env.update(XDG_STATE_HOME=os.path.join(d.tmp, "state"), XDG_CURRENT_DESKTOP="tavlun-test")
        d.log = os.path.join(d.tmp, "standin.log")
        if portal:
            d.standin = d.start(STANDIN + ["--log", d.log, *options] + ["--mutter"] * bool(layouts), **QUIET)
            d.wait_name("org.freedesktop.portal.Desktop" if "--portal" in options else BACKEND)
        if portal and "--portal" not in options:
            os.mkdir(os.path.join(d.tmp, "portals"))
            with open(os.path.join(d.tmp, "portals", "standin.portal"), "w") as f:
                f.write(f"[portal]\nDBusName={BACKEND}\nInterfaces=org.freedesktop.impl.portal."
                        "RemoteDesktop;\nUseIn=tavlun-test\n")
            d.portal = d.start(["/usr/libexec/xdg-desktop-portal"], **QUIET,
                               env={"XDG_DESKTOP_PORTAL_DIR": os.path.join(d.tmp, "portals")})
            d.wait_name("org.freedesktop.portal.Desktop")
        return d

    @staticmethod
    def calls(d, *names):
        with open(d.log) as log:
            return [(e["call"], e["args"]) for e in map(json.loads, log) if e["call"] in names]

    def sent(self, d):
        return [tuple(args) for _, args in self.calls(d, "NotifyKeyboardKeysym")]

    def test_keys_reach_mutter_in_order_once_allowed_and_only_on_the_layout_in_use(self):
        d = self.desktop("--hold", layouts="tr,ru")  # Turkish in use, Russian the other
        (wev := WevRecorder(d)).wait_focus()
        driver = Driver(d)
        keys = ["a", "B", "1", ">", "+", " ", "ğ", "ş", "Ж", "{ENTER}", "ı", "İ", "€", "ñ",
                "{BACKSPACE}", "Ж", "{ESC}", "z"]
        lacking = {"Ж": "switch to that layout", "ñ": "add a layout"}
        # Keys that come while the desktop is asking are kept.
        self.assertEqual(driver.type(*keys), [("rejected " if k in lacking else "accepted ") + k for k in keys])
        wait_until(lambda: self.calls(d, "Start"), 10, "the Start request")
        self.assertEqual(self.sent(d), [], "keys were sent before the desktop allowed them")
        d.standin.send_signal(signal.SIGUSR1)  # the user allows it
        names = {"{ENTER}": "<Return>", "{BACKSPACE}": "<BackSpace>", "{ESC}": "<Escape>"}
        typed = "".join(names.get(k, k) for k in keys if k not in lacking)
        wait_until(lambda: len(self.sent(d)) == 2 * (len(keys) - 3), 10, "the kept keys")
        driver.type("x")
        got = []
        wait_until(lambda: got.append(wev.text(1, 0.1)) or len("".join(got)) > len(typed), 10,
                   f"wev to receive {typed}x; it has {got}")
        self.assertEqual("".join(got), typed + "x")
        sent = self.sent(d)
        self.assertEqual(sent, [(k, s) for k, _ in sent[::2] for s in (1, 0)], "each key down and up once")
        self.assertEqual(self.calls(d, "CreateSession", "SelectDevices", "Start")[1:],
                         [("SelectDevices", {"types": 1}), ("Start", {})], "version 1: no persisting")
        told = [(c, r in p) for c, r in lacking.items() for p in driver.problems(f"\u201C{c}\u201D")]
        self.assertEqual(told, [(c, True) for c in lacking], driver.problems())  # once, with the remedy
        self.assertEqual(len(driver.problems(V1_NOTICE)), 1, driver.problems())
        # mutter says which layout is in use only to the focused client: the user is told once.
        self.assertEqual(len(driver.problems("types with \u201CTurkish\u201D")), 1, driver.problems())
        self.assertEqual(len(driver.problems()), len(lacking) + 2, driver.problems())

    def test_nothing_is_typed_once_the_desktop_says_no(self):
        # (what happens, stand-in options, what comes once a key is through, the problem told)
        for what, options, then, problem in [
                ("the user refuses", ["--answer", "Start=1"], None, "refused"),
                ("device choice cancelled", ["--answer", "SelectDevices=1"], None, "refused"),
                ("the desktop fails", ["--answer", "Start=2"], None, "could not give"),
                ("the portal errs", ["--portal", "--answer", "CreateSession=error"], None, "did not answer"),
                ("the desktop ends the session", [], signal.SIGUSR2, "ended its permission"),
                ("the portal quits", [], "quit", "portal stopped"),
                # (xdg-desktop-portal does not pass its backend's errors on)
                ("the portal refuses keys", ["--portal", "--refuse-keys"], "", "refused a key")]:
            with self.subTest(what):
                d = self.desktop(*options)
                driver = Driver(d)
                self.assertEqual(driver.type("a"), ["accepted a"])
                if then is not None:  # allowed: the key goes out, then the desktop says no
                    wait_until(lambda: self.sent(d)[:1] == [(0x61, 1)], 10, "the key")
                    d.portal.terminate() if then == "quit" else then and d.standin.send_signal(then)
                wait_until(lambda: driver.problems(problem), 10, f"'{problem}': {driver.lines}")
                sent = self.sent(d)
                self.assertEqual(driver.type("b", "{ENTER}"), ["rejected b", "rejected {ENTER}"])
                self.assertEqual(self.sent(d), sent, "keys sent after the desktop said no")
                self.assertLessEqual(len(sent), 2, sent)
                self.assertEqual(len(driver.problems()) - len(driver.problems(V1_NOTICE)), 1, driver.lines)

    def test_without_a_portal(self):
        driver = Driver(self.desktop(portal=False))
        wait_until(lambda: driver.lines and driver.proc.poll() == 3, 20, f"exit status 3: {driver.lines}")
        self.assertRegex(driver.lines[0], "^unavailable: the desktop portal offers no remote desktop")

    def test_version_2_keeps_the_permission_for_the_next_start(self):
        d = self.desktop("--portal", "--version", "2")
        token_file = os.path.join(d.env["XDG_STATE_HOME"], "tavlun", "portal-restore-token")
        for start, restored in [(1, None), (2, "tavlun-standin-1")]:
            with self.subTest(start=start):
                driver = Driver(d)
                # Without a compositor's keymap: Latin-1 keysyms, then Unicode ones.
                self.assertEqual(driver.type("ÿ", "ğ"), ["accepted ÿ", "accepted ğ"])
                keys = [(0xFF, 1), (0xFF, 0), (0x100011F, 1), (0x100011F, 0)]
                wait_until(lambda: self.sent(d) == keys * start, 10, f"{keys} at start {start}")
                selected = self.calls(d, "SelectDevices")[-1][1]
                self.assertEqual((selected.get("persist_mode"), selected.get("restore_token")), (2, restored))
                with open(token_file) as f:
                    self.assertEqual(f.read().strip(), f"tavlun-standin-{start}")
                self.assertEqual(stat.S_IMODE(os.stat(token_file).st_mode), 0o600)
                self.assertEqual(driver.problems(), [])
                driver.proc.terminate() or driver.proc.wait(5)


if __name__ == "__main__":
    unittest.main(verbosity=2)
