"""The real program on a private desktop, with pseudo-terminals as its ports."""

import contextlib
import fcntl
import json
import os
import pwd
import select
import shutil
import socket
import struct
import subprocess
import termios
import time
import tty

from desktop import Desktop, tree_nodes, wait_until

MAIN_TITLE_PATTERN = r"^Tavlun    Ver\. [0-9]+\.[0-9]+\.[0-9]+$"
INDICATOR_CENTRE = (8 + 8 + 8, 8 + 24 + 8)  # client-area positions (pixels) of the main window's controls
PORT_LIST_CENTRE = (8 + 32 + 32, 8 + 24 + 10)
DISCONNECT_CENTRE = (8 + 8 + 44, 8 + 56 + 12)
TEXT_BOX_CENTRE = (8 + 8 + 216, 240 + 16 + 44)
PROMPT_RECT = (8, 360, 449, 17)
TRAFFIC_LOG_RECT = (120 + 8 + 2, 8 + 16 + 2, 317, 195)
BLUE = (0, 0, 255)


class Phone:  # the far side of a pseudo-terminal, playing the accessory
    def __init__(self):
        self.controller, device = os.openpty()
        tty.setraw(device)
        self.path = os.ttyname(device)
        os.close(device)
        with contextlib.suppress(OSError):  # left by a program killed while it held a terminal of this number
            os.unlink("/var/lock/LCK.." + self.path[5:].replace("/", "_"))

    def write(self, data: bytes):
        os.write(self.controller, data)

    def read(self, count, timeout=3.0):
        data, deadline = b"", time.monotonic() + timeout
        while len(data) < count and select.select([self.controller], [], [], max(0, deadline - time.monotonic()))[0]:
            with contextlib.suppress(OSError):
                if chunk := os.read(self.controller, 4096):
                    data += chunk
                    continue
            break
        return data

    def unread(self):  # bytes written that the program has not read yet
        device = os.open(self.path, os.O_RDONLY | os.O_NOCTTY | os.O_NONBLOCK)
        try:
            return struct.unpack("i", fcntl.ioctl(device, termios.FIONREAD, b"\0" * 4))[0]
        finally:
            os.close(device)

    def exchange(self, line: bytes, timeout=3.0):  # a line, and the answer
        self.write(line)
        return self.read(4, timeout)

    def close(self):
        if self.controller >= 0:
            os.close(self.controller)
            self.controller = -1


def desktop_with_phones(test, count=2):
    desktop, phones = Desktop(), [Phone() for _ in range(count)]
    for thing in [desktop] + phones:
        test.addCleanup(thing.close)
    return desktop, phones


class Program:  # on `desktop` with `options` and `ports` on its command line; as `user` from a copy all may run;
    # `native`: a Wayland window on sway, found in its tree

    def __init__(self, desktop, binary, ports, env=None, user=None, options=(), shown=True, native=False):
        self.desktop, self.log = desktop, os.path.join(desktop.tmp, f"tavlun-{len(desktop.procs)}.log")
        argv = [binary, *options] + list(ports)
        if user:
            os.chmod(desktop.tmp, 0o755)
            argv = ["setpriv", f"--reuid={user}", f"--regid={pwd.getpwnam(user).pw_gid}", "--clear-groups",
                    shutil.copy(binary, os.path.join(desktop.tmp, "tavlun-copy"))] + argv[1:]
        with open(self.log, "w") as log:
            self.proc = desktop.start(argv, env=env, stdout=log, stderr=subprocess.STDOUT)
        try:
            if native:
                self.window = wait_until(self.views, 60, "the main window in sway's tree")[0]["id"]
            elif shown:
                self.window = desktop.wait_window("the main window", 60, MAIN_TITLE_PATTERN)
            else:  # not the group leader
                self.window = wait_until(lambda: [w for w in desktop.find_windows("", MAIN_TITLE_PATTERN, visible=False)
                                                  if "WM_STATE(" in desktop.window_state(w)], 60, "the main window, managed")[0]
        except AssertionError as error:
            with open(self.log) as log:
                raise AssertionError(f"{error}; exit status {self.proc.poll()}; it said:\n{log.read()}")
        wait_until(lambda: native or not shown or self.desktop.geometry(self.window)[2] == 460, 5, "the main window")

    def views(self):  # its windows in sway's tree
        return [node for node in tree_nodes(json.loads(self.desktop.run(["swaymsg", "-t", "get_tree"])))
                if node.get("pid") == self.proc.pid]

    def client(self, x, y):
        wx, wy, _, _ = self.desktop.geometry(self.window)
        return wx + x, wy + y

    def indicator(self):
        return tuple(self.desktop.pixels(self.window, *INDICATOR_CENTRE))

    def popup_entries(self, timeout=8):  # clicked again if a click is lost (a window just mapped on KWin's XWayland)
        clicked = [0.0]

        def popup():  # an override-redirect window of its own, not a tooltip
            if time.monotonic() - clicked[0] > 2.5:
                self.desktop.activate(self.window)
                self.desktop.click(*self.client(*PORT_LIST_CENTRE))
                clicked[0] = time.monotonic()
            for window in self.desktop.run(["xdotool", "search", "--onlyvisible", "--pid", str(self.proc.pid)],
                                           check=False).split():
                if "Override Redirect State: yes" in self.desktop.run(["xwininfo", "-id", window], check=False) \
                        and "TOOLTIP" not in self.desktop.run(["xprop", "-id", window, "_NET_WM_WINDOW_TYPE"], False):
                    return self.desktop.geometry(int(window))
        return wait_until(popup, timeout, "the port list to open")

    def pick_first(self, spoil=None):  # with the mouse; `spoil` runs while the list is open (opening probes again)
        x, y, w, _ = self.popup_entries()
        if spoil:
            spoil()
        time.sleep(0.5)  # a list just opened ignores a release within the double-click interval
        self.desktop.click(x + w // 2, y + 10)

    def connect_first(self):
        self.pick_first()
        self.answer_connect()
        wait_until(lambda: self.indicator() == BLUE, 5, "the indicator to turn blue")

    def answer_connect(self):
        self.desktop.activate(self.desktop.wait_window("Port Aç", 5))
        self.desktop.key("Return")

    def failed_pick(self, spoil):  # the first port picked, spoiled meanwhile, Yes answered: the failure box's text
        self.pick_first(spoil)
        self.answer_connect()
        box = self.desktop.wait_window("Port Hata...", 5)
        x, y, w, h = self.desktop.settled_geometry(box)  # its text, and its informative text below
        text = "\n".join(copy_text(self.desktop, x + w // 2, y + int(h * at)) for at in (0.1, 0.6))
        assert "Seçilen Port Meşgul veya \n\n Bağlantı Kurulmuyor..." in text, text  # \n\r shows as two breaks
        self.desktop.activate(box)
        self.desktop.key("Return")
        return text

    def said(self):  # its lines to the user, but for the one naming the keystroke backend
        with open(self.log, encoding="utf-8") as log:
            return [line for line in log.read().splitlines() if line.startswith("tavlun: ")
                    and not line.startswith("tavlun: typing into other applications")]

    def wait_said(self, text, timeout=10.0):
        return wait_until(lambda: [line for line in self.said() if text in line], timeout, f"a line with {text!r}")

    def busy_seconds(self, over=1.0):
        before = cpu_seconds(self.proc.pid)
        time.sleep(over)
        return cpu_seconds(self.proc.pid) - before


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def rss_kib(pid):
    with open(f"/proc/{pid}/status") as status:
        return next(int(line.split()[1]) for line in status if line.startswith("VmRSS:"))


class PortLock:  # holds a device as serial programs do: a process named by a lock file, the device open unless told

    def __init__(self, device_path, locked_only=False):
        device = subprocess.DEVNULL if locked_only else os.open(device_path, os.O_RDWR | os.O_NOCTTY)
        self.holder = subprocess.Popen(["sleep", "600"], stdin=device)
        locked_only or os.close(device)
        name = device_path[5:] if device_path.startswith("/dev/") else device_path  # as Qt names it
        self.pid, self.path = self.holder.pid, "/var/lock/LCK.." + name.replace("/", "_")
        with open(self.path, "w") as lock:
            lock.write(f"{self.pid}\nsleep\n{socket.gethostname()}\n")

    def release(self):
        if self.holder:
            os.unlink(self.path)
            self.holder.kill()
            self.holder.wait()
            self.holder = None


def copy_text(desktop, x, y):  # what a click at x, y, Ctrl+A and Ctrl+C put on the clipboard; "" if nothing
    clipboard = lambda: desktop.run(["xclip", "-selection", "clipboard", "-o"], check=False)  # noqa: E731
    # A mark first, so neither an earlier copy nor xclip taking the selection late passes for the copy.
    mark = f"mark {time.monotonic()}"
    subprocess.run(["xclip", "-selection", "clipboard", "-i"], input=mark, text=True, env=desktop.env,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True)  # xclip stays to serve it
    wait_until(lambda: clipboard() == mark, 5, "xclip to hold the mark")
    desktop.click(x, y)
    desktop.key("ctrl+a", "ctrl+c")
    with contextlib.suppress(AssertionError):
        return wait_until(lambda: (text := clipboard()) != mark and text, 1, "the copy")
    return ""


def text_box_contents(program):
    program.desktop.activate(program.window)
    return copy_text(program.desktop, *program.client(*TEXT_BOX_CENTRE))


class Accessory:  # the virtual accessory tool on a pseudo-terminal of its own, typing what the test writes to it

    def __init__(self, desktop, binary, *options):
        self.proc = desktop.start([binary, "--pty", "--wait-for-peer", "--hello-timeout", "0", "--keep-going",
                                   *options], stdin=subprocess.PIPE, stdout=subprocess.PIPE, bufsize=0)
        first = self.proc.stdout.readline().decode()
        assert first.startswith("device: "), f"unexpected first line {first!r}"
        self.path = first.split(": ", 1)[1].strip()

    def type(self, text):
        self.proc.stdin.write((text + "\n").encode())

    def close(self):  # ends its input: its exit status (the desktop stops it if it does not end)
        self.proc.stdin.close()
        return self.proc.wait(5)
