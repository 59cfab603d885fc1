"""The real program on a private desktop, with pseudo-terminals as its ports."""

import os
import subprocess
import select
import termios
import time
import tty

from desktop import wait_until

MAIN_TITLE = "Tavlun    Ver. 1.0.4"

# Client-area positions (pixels) of the main window's controls.
SHAPE1_CENTRE = (8 + 8 + 8, 8 + 24 + 8)
COMBO1_CENTRE = (8 + 32 + 32, 8 + 24 + 10)
COMMAND1_CENTRE = (8 + 8 + 44, 8 + 56 + 12)
LABEL1_RECT = (8, 360, 449, 17)
BLUE = (0, 0, 255)


class Phone:
    """The far side of a pseudo-terminal: plays the accessory."""

    def __init__(self):
        self.controller, device = os.openpty()
        tty.setraw(device)
        attrs = termios.tcgetattr(device)
        attrs[3] &= ~termios.ECHO
        termios.tcsetattr(device, termios.TCSANOW, attrs)
        self.path = os.ttyname(device)
        os.close(device)

    def write(self, data: bytes):
        os.write(self.controller, data)

    def read(self, count, timeout=3.0):
        data = b""
        deadline = time.monotonic() + timeout
        while len(data) < count:
            left = deadline - time.monotonic()
            if left <= 0:
                break
            ready, _, _ = select.select([self.controller], [], [], left)
            if ready:
                try:
                    chunk = os.read(self.controller, 4096)
                except OSError:
                    break
                if not chunk:
                    break
                data += chunk
        return data

    def exchange(self, line: bytes, timeout=3.0):
        """Writes a line and returns what came back within the deadline."""
        self.write(line)
        return self.read(4, timeout)

    def close(self):
        if self.controller >= 0:
            os.close(self.controller)
            self.controller = -1


class Program:
    def __init__(self, desktop, binary, ports, env=None):
        self.desktop = desktop
        self.proc = desktop.start([binary] + list(ports), env=env,
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.window = desktop.wait_window(MAIN_TITLE, 15)
        wait_until(lambda: self.desktop.geometry(self.window)[2] == 460, 5, "the main window")

    def client(self, x, y):
        wx, wy, _, _ = self.desktop.geometry(self.window)
        return wx + x, wy + y

    def indicator(self):
        return self.desktop.pixel(*self.client(*SHAPE1_CENTRE))

    def prompt_pixels(self):
        x, y = self.client(*LABEL1_RECT[:2])
        return self.desktop.region_signature(x, y, *LABEL1_RECT[2:])

    def popup_entries(self):
        """Opens the port list with the mouse; returns the popup's geometry."""
        self.desktop.activate(self.window)
        self.desktop.click(*self.client(*COMBO1_CENTRE))

        def popup():
            for window in self.desktop.run(["xdotool", "search", "--onlyvisible", "--pid",
                                            str(self.proc.pid)], check=False).split():
                if int(window) != self.window:
                    geometry = self.desktop.geometry(int(window))
                    if geometry[2] < 200 and geometry[3] > 10:
                        return geometry
            return None
        return wait_until(popup, 5, "the port list to open")

    def pick_first(self):
        """Picks the first entry of the port list with the mouse."""
        x, y, w, _ = self.popup_entries()
        # A list that has just opened ignores a release within the double-click
        # interval (press, drag and release picks too); wait that out.
        time.sleep(0.5)
        self.desktop.click(x + w // 2, y + 10)

    def answer_connect(self, key="Return"):
        box = self.desktop.wait_window("Port Aç", 5)
        self.desktop.activate(box)
        self.desktop.key(key)
        return box

    def cpu_seconds(self):
        with open(f"/proc/{self.proc.pid}/stat") as stat:
            fields = stat.read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")

    def alive(self):
        return self.proc.poll() is None


def rss_kib(pid):
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


class PortLock:
    """Holds a serial device the way serial programs announce it: a lock file
    naming a living process that is not ours."""

    def __init__(self, device_path):
        import socket
        self.holder = subprocess.Popen(["sleep", "600"])
        name = device_path[len("/dev/"):].replace("/", "_")
        self.path = f"/var/lock/LCK..{name}"
        with open(self.path, "w") as lock:
            lock.write(f"{self.holder.pid}\nsleep\n{socket.gethostname()}\n")

    def release(self):
        if self.holder:
            os.unlink(self.path)
            self.holder.kill()
            self.holder.wait()
            self.holder = None
