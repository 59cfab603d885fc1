#!/usr/bin/env python3
"""The portal injector end to end, each case on a private session bus: the
test driver types through the real xdg-desktop-portal and a stand-in
backend of ours (or the stand-in alone, playing a version 2 portal), which
passes keysyms on to headless mutter, where wev records what arrives."""

import json
import os
import re
import shutil
import signal
import stat
import subprocess
import sys
import tempfile
import threading
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "e2e"))
from desktop import wait_until  # noqa: E402

DRIVER = os.environ.get("TAVLUN_PORTAL_DRIVER", "")
STANDIN = os.path.join(HERE, "remote_desktop_standin.py")
# The stand-in needs python3-gi, which only the system's interpreter has.
SYSTEM_PYTHON = "/usr/bin/python3"
PORTAL = "/usr/libexec/xdg-desktop-portal"
DESKTOP = "tavlun-test"

BUS_CONFIG = """<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>{type}</type>
  <listen>unix:dir={tmp}</listen>
  <auth>EXTERNAL</auth>
  <servicedir>{services}</servicedir>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
"""
# Only the permission store can be started on demand; the portal itself
# runs when a test starts it, so a test without one has none.
PERMISSION_STORE = """[D-BUS Service]
Name=org.freedesktop.impl.portal.PermissionStore
Exec=/usr/libexec/xdg-permission-store
"""
STANDIN_PORTAL = """[portal]
DBusName=org.freedesktop.impl.portal.desktop.tavlunstandin
Interfaces=org.freedesktop.impl.portal.RemoteDesktop;
UseIn={desktop}
"""

MODIFIERS = set(range(0xFFE1, 0xFFEF)) | set(range(0xFE01, 0xFE14))  # Shift..Hyper, ISO_Level3..5
V1_NOTICE = "asks at every start"


class Session:
    """A private session bus and the processes a case asks for; stops only
    what it started, by pid."""

    def __init__(self, test, layout=None, portal="backend", standin=()):
        self.procs = []
        self.tmp = tempfile.mkdtemp(prefix="tavlun-portal-")
        test.addCleanup(self.close)
        self.env = {k: v for k, v in os.environ.items()
                    if k not in ("DISPLAY", "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS")}
        self.env["XDG_RUNTIME_DIR"] = self.dir("runtime", 0o700)
        self.env["XDG_STATE_HOME"] = self.dir("state")
        self.env["XDG_CURRENT_DESKTOP"] = DESKTOP
        self.standin_log = os.path.join(self.tmp, "standin.log")
        self.wev_log = os.path.join(self.tmp, "wev.log")
        self.portal_log = os.path.join(self.tmp, "portal.log")

        self.write("services/permission-store.service", PERMISSION_STORE)
        self.env["DBUS_SESSION_BUS_ADDRESS"] = self.bus("session", self.dir("services"))
        mutter = layout is not None
        if mutter:
            # Plain mutter takes the layout from localed on the system bus.
            self.env["DBUS_SYSTEM_BUS_ADDRESS"] = self.bus("system", self.dir("no-services"))
            ready = os.path.join(self.tmp, "localed-ready")
            self.start([SYSTEM_PYTHON, os.path.join(HERE, "locale_standin.py"), layout, ready])
            wait_until(lambda: os.path.exists(ready), 20, "the localed stand-in")
            self.start(["mutter", "--headless", "--wayland", "--no-x11", "--virtual-monitor",
                        "1024x768", "--wayland-display=tavlun-wayland"])
            socket = os.path.join(self.env["XDG_RUNTIME_DIR"], "tavlun-wayland")
            wait_until(lambda: os.path.exists(socket), 20, "mutter's Wayland socket")
            self.env["WAYLAND_DISPLAY"] = "tavlun-wayland"
        if portal:
            argv = [SYSTEM_PYTHON, STANDIN, "--log", self.standin_log] + list(standin)
            self.standin = self.start(argv + (["--portal"] if portal == "standin" else [])
                                      + (["--mutter"] if mutter else []))
            wait_until(lambda: self.calls("ready"), 20, "the stand-in to serve")
        if mutter:
            # After the stand-in, whose first key gives the seat a keyboard.
            with open(self.wev_log, "w") as log:
                self.start(["stdbuf", "-oL", "wev"], stdout=log)
            wait_until(lambda: "wl_keyboard] enter" in self.read(self.wev_log), 20,
                       "wev to have the keyboard focus")
        if portal == "backend":
            self.write("portals/standin.portal", STANDIN_PORTAL.format(desktop=DESKTOP))
            self.start_portal()

    # Processes -----------------------------------------------------------

    def bus(self, kind, services):
        """Starts a private bus; returns its address."""
        config = os.path.join(self.tmp, f"{kind}-bus.conf")
        with open(config, "w") as f:
            f.write(BUS_CONFIG.format(type=kind, tmp=self.dir(kind + "-bus"), services=services))
        ready, announce = os.pipe()
        self.start(["dbus-daemon", "--nofork", "--config-file", config,
                    f"--print-address={announce}"], pass_fds=(announce,))
        os.close(announce)
        with os.fdopen(ready) as address:
            return address.readline().strip()

    def start(self, argv, env=None, **kw):
        kw.setdefault("stdout", subprocess.DEVNULL)
        kw.setdefault("stderr", subprocess.DEVNULL)
        proc = subprocess.Popen(argv, env=dict(self.env, **(env or {})), **kw)
        self.procs.append(proc)
        return proc

    def start_portal(self, portals="portals"):
        with open(self.portal_log, "w") as log:
            self.portal = self.start([PORTAL, "--verbose"], stderr=log,
                                     env={"XDG_DESKTOP_PORTAL_DIR": self.dir(portals)})
        wait_until(lambda: "org.freedesktop.portal.Desktop acquired" in self.read(self.portal_log),
                   20, "xdg-desktop-portal to serve")

    def close(self):
        for proc in reversed(self.procs):
            if proc.poll() is None:
                proc.terminate()
        for proc in reversed(self.procs):
            try:
                proc.wait(5)
            except subprocess.TimeoutExpired:
                proc.kill()
                proc.wait()
        shutil.rmtree(self.tmp, ignore_errors=True)

    # Files ---------------------------------------------------------------

    def dir(self, name, mode=0o755):
        path = os.path.join(self.tmp, name)
        os.makedirs(path, exist_ok=True)
        os.chmod(path, mode)
        return path

    def write(self, name, text):
        os.makedirs(os.path.dirname(os.path.join(self.tmp, name)), exist_ok=True)
        with open(os.path.join(self.tmp, name), "w") as f:
            f.write(text)

    @staticmethod
    def read(path):
        try:
            with open(path, encoding="utf-8", errors="replace", newline="") as f:
                return f.read()
        except FileNotFoundError:
            return ""

    def calls(self, *names):
        entries = [json.loads(line) for line in self.read(self.standin_log).splitlines()]
        return [e for e in entries if e["call"] in names]

    def sent(self):
        """(keysym, state) pairs that reached the stand-in."""
        return [(e["keysym"], e["state"]) for e in self.calls("NotifyKeyboardKeysym")]

    def received(self):
        """What wev saw pressed, modifiers left out: the text of each key,
        or the keysym's name for a key without text."""
        pressed = []
        state = None
        # Return's text is a carriage return: split at line feeds only.
        for line in self.read(self.wev_log).split("\n"):
            key = re.search(r"\] key: .*state: (\d)", line)
            if key:
                state = key.group(1)
                continue
            sym = re.search(r"sym: (\S+)\s+\((\d+)\), utf8: '(.*)'$", line, re.S)
            if sym and state == "1" and int(sym.group(2)) not in MODIFIERS:
                text = sym.group(3)
                pressed.append(text if text.isprintable() and text else sym.group(1))
            state = None if sym else state
        return pressed


class Driver:
    """The test driver program: keys in on standard input, what it says
    collected from standard output."""

    def __init__(self, session):
        self.lines = []
        self.proc = session.start([DRIVER], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                  stderr=None)
        threading.Thread(target=self._collect, daemon=True).start()

    def _collect(self):
        for raw in self.proc.stdout:
            self.lines.append(raw.decode("utf-8").rstrip("\n"))

    def send(self, *commands):
        for command in commands:
            self.proc.stdin.write((command + "\n").encode("utf-8"))
        self.proc.stdin.flush()

    def type(self, *keys):
        """Hands the keys over and waits until the driver has answered for
        each; returns the answers in order."""
        before = len(self.answers())
        self.send(*("key " + key for key in keys))
        wait_until(lambda: len(self.answers()) >= before + len(keys), 10,
                   f"answers for {keys!r}; the driver said {self.lines!r}")
        return self.answers()[before:]

    def answers(self):
        return [line for line in list(self.lines) if line.startswith(("accepted ", "rejected "))]

    def problems(self):
        return [line[len("problem: "):] for line in list(self.lines) if line.startswith("problem: ")]

    def wait_problem(self, fragment):
        return wait_until(lambda: [p for p in self.problems() if fragment in p], 10,
                          f"a problem saying '{fragment}'; the driver said {self.lines!r}")

    def quit(self):
        self.proc.stdin.close()
        self.proc.terminate()
        self.proc.wait(5)


class PortalInjectorTest(unittest.TestCase):

    def test_keys_reach_the_client_in_order_once_allowed(self):
        session = Session(self, layout="tr", standin=["--hold"])
        driver = Driver(session)
        wait_until(lambda: "layout check on" in driver.lines, 10, "the driver to start")
        keys = ["a", "B", "1", ">", "+", " ", "ğ", "ş", "Ж", "{ENTER}", "ı", "İ", "€", "ñ",
                "{BACKSPACE}", "Ж", "{ESC}", "z"]
        lacking = {"Ж", "ñ"}  # not in the Turkish layout
        # Keys that come while the desktop is asking are kept.
        answers = driver.type(*keys)
        self.assertEqual(answers, [("rejected " if k in lacking else "accepted ") + k for k in keys])
        wait_until(lambda: session.calls("Start"), 10, "the Start request")
        self.assertEqual(session.sent(), [], "keys were sent before the desktop allowed them")
        session.standin.send_signal(signal.SIGUSR1)  # the user allows it

        names = {"{ENTER}": "Return", "{BACKSPACE}": "BackSpace", "{ESC}": "Escape"}
        typed = [names.get(k, k) for k in keys if k not in lacking]
        wait_until(lambda: len(session.sent()) == 2 * len(typed), 10, "the kept keys")
        driver.type("x")
        typed.append("x")
        wait_until(lambda: len(session.received()) >= len(typed), 10,
                   f"wev to receive {typed}; it has {session.received()}")
        self.assertEqual(session.received(), typed)
        sent = session.sent()
        self.assertEqual(sent, [(k, s) for k, _ in sent[::2] for s in (1, 0)],
                         "each key pressed and released once")

        calls = [e["call"] for e in session.calls("CreateSession", "SelectDevices", "Start")]
        self.assertEqual(calls, ["CreateSession", "SelectDevices", "Start"])
        self.assertEqual(session.calls("SelectDevices")[0]["options"], {"types": 1},
                         "version 1 selects the keyboard without persisting")
        problems = driver.problems()
        for character in lacking:
            about = [p for p in problems if f"\u201C{character}\u201D" in p]
            self.assertEqual(len(about), 1, f"notices about {character}: {problems}")
            self.assertIn("layout", about[0])
        self.assertEqual(len([p for p in problems if V1_NOTICE in p]), 1, problems)
        self.assertEqual(len(problems), len(lacking) + 1, problems)

    def test_nothing_is_typed_once_the_desktop_says_no(self):
        cases = [
            # (what happens, stand-in options, what the desktop does once a
            # key is through, the problem reported)
            ("the user refuses", ["--answer", "refuse"], None, "refused"),
            ("the desktop fails", ["--answer", "fail"], None, "could not give"),
            ("the backend errs", ["--answer", "error"], None, "could not give"),
            ("device choice cancelled", ["--answer", "refuse", "--answer-at", "SelectDevices"],
             None, "refused"),
            ("the desktop ends the session", [], "close", "ended its permission"),
            ("the portal quits", [], "quit", "portal stopped"),
            # (xdg-desktop-portal does not pass its backend's errors on)
            ("the portal refuses keys", ["--refuse-keys"], "", "refused a key"),
        ]
        for what, options, then, problem in cases:
            with self.subTest(what):
                session = Session(self, standin=options,
                                  portal="standin" if "--refuse-keys" in options else "backend")
                driver = Driver(session)
                self.assertEqual(driver.type("a"), ["accepted a"])
                if then is not None:  # allowed: the key goes out, then the desktop says no
                    wait_until(lambda: session.sent()[:1] == [(0x61, 1)], 10, "the key")
                    if then == "close":
                        session.standin.send_signal(signal.SIGUSR2)
                    elif then == "quit":
                        session.portal.terminate()
                driver.wait_problem(problem)
                sent = session.sent()
                self.assertEqual(driver.type("b", "{ENTER}"), ["rejected b", "rejected {ENTER}"])
                self.assertEqual(session.sent(), sent, "keys sent after the desktop said no")
                self.assertLessEqual(len(sent), 2, sent)
                others = [p for p in driver.problems() if V1_NOTICE not in p]
                self.assertEqual(len(others), 1, f"{what}: {others}")
                driver.quit()

    def test_without_a_remote_desktop_portal(self):
        for what, portal in [("no portal at all", None), ("a portal without it", "empty")]:
            with self.subTest(what):
                session = Session(self, portal=None)
                if portal == "empty":
                    session.start_portal("no-portals")
                driver = Driver(session)
                self.assertEqual(driver.proc.wait(20), 3, driver.lines)
                self.assertEqual(len(driver.lines), 1, driver.lines)
                self.assertRegex(driver.lines[0], "^unavailable: the desktop portal offers no "
                                 "remote desktop")

    def test_version_2_keeps_the_permission_for_the_next_start(self):
        session = Session(self, portal="standin", standin=["--version", "2"])
        token_file = os.path.join(session.env["XDG_STATE_HOME"], "tavlun", "portal-restore-token")
        for start, restored in [(1, None), (2, "tavlun-standin-1")]:
            with self.subTest(start=start):
                driver = Driver(session)
                wait_until(lambda: "version 2" in driver.lines, 10, "the driver to start")
                # Without a compositor's keymap: Latin-1 keysyms, then Unicode ones.
                self.assertEqual(driver.type("ÿ", "ğ"), ["accepted ÿ", "accepted ğ"])
                keys = [(0xFF, 1), (0xFF, 0), (0x100011F, 1), (0x100011F, 0)]
                wait_until(lambda: session.sent() == keys * start, 10, f"{keys} at start {start}")
                selected = session.calls("SelectDevices")[-1]["options"]
                self.assertEqual(selected.get("persist_mode"), 2)
                self.assertEqual(selected.get("restore_token"), restored)
                with open(token_file) as f:
                    self.assertEqual(f.read().strip(), f"tavlun-standin-{start}")
                self.assertEqual(stat.S_IMODE(os.stat(token_file).st_mode), 0o600)
                self.assertEqual(driver.problems(), [])
                driver.quit()
        self.assertEqual([e["token"] for e in session.calls("restored")], ["tavlun-standin-1"])


if __name__ == "__main__":
    if not DRIVER:
        sys.exit("TAVLUN_PORTAL_DRIVER names the test driver")
    unittest.main(verbosity=2)
