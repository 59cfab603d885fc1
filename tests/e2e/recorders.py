"""The typing driver, and xev and wev recording the keys they get as text, <Name> for the named keys."""

import os
import re
import select
import subprocess
import threading
import time

from desktop import wait_until

NAMED = {"BackSpace", "Return", "Escape"}
AS_SEEN = {"{ENTER}": "<Return>", "{BACKSPACE}": "<BackSpace>", "{ESC}": "<Escape>"}


def as_seen(keys):
    return "".join(AS_SEEN.get(k, k) for k in keys)


class TypeDriver:  # tavlun_type_driver: keys in, "typed" or "typed not:<keys>" out; its standard error in `told`

    def __init__(self, desktop, env=None):
        self.proc = desktop.start([os.environ["TAVLUN_TYPE_DRIVER"]], env=env, stdin=subprocess.PIPE,
                                  stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        self.told = []
        self._listener = threading.Thread(target=lambda: self.told.extend(self.proc.stderr), daemon=True)
        self._listener.start()

    def type(self, *keys):
        print("\t".join(keys), file=self.proc.stdin, flush=True)
        return self.proc.stdout.readline().strip()

    def problems(self, fragment=""):
        return [line for line in list(self.told) if line.startswith("problem: ") and fragment in line]

    def close(self):  # all it told, once it ended well (under the sanitizers: without a finding)
        self.proc.stdin.close()
        self._listener.join(10)
        assert self.proc.wait(10) == 0, f"the type driver failed: {''.join(self.told)}"
        return "".join(self.told)


class Recorder:
    def __init__(self, desktop, argv):
        self.proc = desktop.start(argv, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        self.desktop, self.lines, self.keys, self._pending = desktop, [], [], b""
        self.down, self.modifiers = set(), 0  # keys down; modifiers at the latest press or event
        self.focused = self._press = False

    def _read(self, timeout):
        if select.select([self.proc.stdout], [], [], timeout)[0]:  # unbuffered, as select() sees it
            self._pending += os.read(self.proc.stdout.fileno(), 65536)
        *complete, self._pending = self._pending.split(b"\n")
        for line in complete:
            self.lines.append(line.decode(errors="replace"))
            self._parse(self.lines[-1])

    def _key(self, code, press):
        self._press = press
        (self.down.add if press else self.down.discard)(code)

    def text(self, count, timeout=10.0):  # what the next `count` keys typed
        deadline = time.monotonic() + timeout
        while len(self.keys) < count and time.monotonic() < deadline:
            self._read(0.05)
        got, self.keys = self.keys[:count], self.keys[count:]
        return "".join(got)

    def quiet(self, seconds=0.5):
        return self.text(1 << 30, seconds)


class KeyRecorder(Recorder):  # xev, focused and sent a Shift first: libX11 follows the keymap from the first key on
    def __init__(self, desktop):
        super().__init__(desktop, ["env", "LC_ALL=C.UTF-8", "stdbuf", "-oL", "xev", "-event", "keyboard"])
        self.warm = self.window = False
        wait_until(lambda: self._read(0.1) or self.window, 10, "xev's window")

        def focused():
            desktop.run(["xdotool", "windowfocus", self.window], check=False)
            self._read(0.05)
            return desktop.run(["xdotool", "getwindowfocus"], check=False).strip() == str(int(self.window, 16))
        wait_until(focused, 10, "xev's focus")
        desktop.key("Shift_L")
        wait_until(lambda: self._read(0.05) or self.warm, 10, "xev to see Shift")

    def _parse(self, line):
        if m := re.match(r"Outer window is (0x[0-9a-f]+)", line):
            self.window = m.group(1)
        elif line.startswith(("KeyPress", "KeyRelease")):
            self._press = line.startswith("KeyPress")
        elif m := re.search(r"state (0x[0-9a-f]+), keycode (\d+) \(keysym 0x[0-9a-f]+, (\w+)\)", line):
            self._key(m.group(2), self._press)
            self._name = m.group(3)
            if self._press:
                self.modifiers = int(m.group(1), 16)
        elif m := re.search(r"XmbLookupString gives \d+ bytes: (?:\(([0-9a-f ]+)\))?", line):
            if self._name in NAMED or m.group(1):
                self.keys.append(f"<{self._name}>" if self._name in NAMED else bytes.fromhex(m.group(1)).decode())
            self.warm = self.warm or self._name == "Shift_L"


class WevRecorder(Recorder):  # a native Wayland client, run as the compositor's user
    def __init__(self, desktop):
        super().__init__(desktop, desktop.as_user(["stdbuf", "-oL", "wev", "-f", "wl_keyboard"]))
        self.keymaps, self._keyboard, self._other = 0, None, False

    def _parse(self, line):  # of the first keyboard: KWin gives wev one for each seat event, each sent every key
        if m := re.match(r"\[(\d+):\s+wl_keyboard\]", line):
            self._keyboard = self._keyboard or m.group(1)
            self._other = m.group(1) != self._keyboard
        if self._other:
            return
        if m := re.search(r"wl_keyboard\] key: .*key: (\d+); state: (\d)", line):
            self._key(m.group(1), m.group(2) == "1")
        elif m := re.search(r"sym: (\S+).*utf8: '(.*)'$", line):
            if self._press and (m.group(1) in NAMED or m.group(2)):
                self.keys.append(f"<{m.group(1)}>" if m.group(1) in NAMED else m.group(2))
            self._press = False
        elif m := re.search(r"(depressed|latched|locked): ([0-9a-f]+)", line):
            self.modifiers = (0 if m.group(1) == "depressed" else self.modifiers) | int(m.group(2), 16)
        elif "wl_keyboard] keymap:" in line:
            self.keymaps += 1
        elif m := re.search(r"wl_keyboard\] (enter|leave):", line):
            self.focused = m.group(1) == "enter"

    def wait_focus(self, timeout=10.0):
        wait_until(lambda: self._read(0.1) or self.focused, timeout, "wev's keyboard focus")
