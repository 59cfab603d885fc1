"""A private X desktop for end-to-end tests (Xvfb and openbox, or headless sway)
and helpers to find windows, click, type and read pixels. Only the processes
started here are stopped, by pid."""

import os
import re
import shutil
import subprocess
import tempfile
import time


class Timeout(AssertionError):
    pass


def wait_until(condition, timeout=10.0, what="condition"):
    """Polls `condition` until it returns something truthy or time runs out."""
    deadline = time.monotonic() + timeout
    while not (result := condition()):
        if time.monotonic() > deadline:
            raise Timeout(f"timed out after {timeout:.0f} s waiting for {what}")
        time.sleep(0.02)
    return result


class Desktop:
    def __init__(self, width=1024, height=768):
        self.procs = []
        self.env = dict(os.environ, XDG_SESSION_TYPE="x11", QT_QPA_PLATFORM="xcb")
        self.env.pop("WAYLAND_DISPLAY", None)
        self.tmp = tempfile.mkdtemp(prefix="tavlun-e2e-")
        # The server picks a free display itself and names it once it
        # accepts connections: no race with other servers starting.
        ready, announce = os.pipe()
        self.start(["Xvfb", "-displayfd", str(announce), "-screen", "0", f"{width}x{height}x24",
                    "-nolisten", "tcp", "-noreset"], pass_fds=(announce,))
        os.close(announce)
        with os.fdopen(ready) as numbers:
            self.display = ":" + numbers.readline().strip()
        if self.display == ":":
            raise RuntimeError("Xvfb did not start")
        self.env["DISPLAY"] = self.display
        wait_until(self._server_answers, 15, f"Xvfb on {self.display}")
        # openbox runs its start-up command once it manages windows; a window
        # mapped before then may be left unmapped.
        wm_ready = os.path.join(self.tmp, "wm-ready")
        self.start(["openbox", "--sm-disable", "--startup", "touch " + wm_ready])
        wait_until(lambda: os.path.exists(wm_ready), 15, "the window manager")

    def start(self, argv, env=None, **kw):
        """Starts a client, stopped with the desktop; output is dropped unless
        `kw` says otherwise. A variable set to None in `env` is taken out."""
        merged = {**self.env, **(env or {})}
        proc = subprocess.Popen(argv, env={k: v for k, v in merged.items() if v is not None},
                                **{"stdout": subprocess.DEVNULL, "stderr": subprocess.DEVNULL, **kw})
        self.procs.append(proc)
        return proc

    _start = start

    def _server_answers(self):
        return subprocess.run(["xdpyinfo"], env=self.env, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL).returncode == 0

    def run(self, argv, check=True):
        res = subprocess.run(argv, env=self.env, capture_output=True, text=True)
        if check and res.returncode != 0:
            raise AssertionError(f"{' '.join(argv)} failed: {res.stderr.strip()}")
        return res.stdout

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

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    # Windows -------------------------------------------------------------

    def find_windows(self, name, pattern=None):
        """Ids of visible windows titled `name`, or matching the regular
        expression `pattern` when one is given."""
        out = self.run(["xdotool", "search", "--onlyvisible", "--name",
                        pattern or "^" + re.escape(name) + "$"], check=False)
        return [int(line) for line in out.split()]

    def wait_window(self, name, timeout=10.0, pattern=None):
        return wait_until(lambda: self.find_windows(name, pattern), timeout,
                          f"window '{name}'")[0]

    def titles(self, window):
        """The window's WM_NAME and _NET_WM_NAME, as the X server holds them."""
        out = subprocess.run(["xprop", "-id", str(window), "WM_NAME", "_NET_WM_NAME"],
                             env=dict(self.env, LC_ALL="C.UTF-8"), capture_output=True,
                             check=True).stdout.decode("utf-8")
        found = dict(re.findall(r'^(\w+)\([^)]*\) = "(.*)"$', out, re.M))
        return found.get("WM_NAME"), found.get("_NET_WM_NAME")

    def geometry(self, window):
        """Absolute x, y, width, height of a window's client area."""
        out = self.run(["xwininfo", "-id", str(window)])
        return tuple(int(re.search(label + r":\s+(-?\d+)", out).group(1)) for label in
                     ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height"))

    def settled_geometry(self, window, timeout=5.0):
        """The geometry once two reads 0.1 s apart agree: a window just
        mapped may still be placed and sized."""
        seen = [self.geometry(window)]

        def steady():
            time.sleep(0.1)
            seen.append(self.geometry(window))
            return seen[-1] == seen[-2] and seen[-1]
        return wait_until(steady, timeout, "the window to settle")

    def window_state(self, window):
        return self.run(["xprop", "-id", str(window), "_NET_WM_STATE", "WM_STATE"], check=False)

    # Input ---------------------------------------------------------------

    def click(self, x, y):
        # A synchronous move to where the pointer already is waits 15 s for
        # a motion that never comes.
        if self.run(["xdotool", "getmouselocation"]).split()[:2] != [f"x:{x}", f"y:{y}"]:
            self.run(["xdotool", "mousemove", "--sync", str(x), str(y)])
        self.run(["xdotool", "click", "1"])

    def key(self, *keys, window=None):
        self.run(["xdotool", "key"] + (["--window", str(window)] if window else []) + list(keys))

    def activate(self, window):
        self.run(["xdotool", "windowactivate", "--sync", str(window)], check=False)

    def minimize(self, window):
        self.run(["xdotool", "windowminimize", "--sync", str(window)])

    # Pixels --------------------------------------------------------------

    def screenshot(self, path, window=None, frame=False):
        self.run(["import"] + (["-frame"] if frame else []) +
                 ["-window", str(window) if window else "root", path])
        return path

    def pixels(self, window, x, y, w=1, h=1):
        """RGB bytes of a rectangle of a window's client area. (XWayland draws
        no root window: the pixels come from the window itself.)"""
        return subprocess.run(["import", "-window", str(window), "-crop", f"{w}x{h}+{x}+{y}",
                               "-depth", "8", "rgb:-"], env=self.env, capture_output=True,
                              check=True).stdout


class SwayDesktop(Desktop):
    """A private headless sway with XWayland. sway refuses to run as root: then
    it and the clients started through `as_user` run as `nobody`, and root is
    let into XWayland. Programs started with `start` see a Wayland session."""

    def __init__(self, layout="us"):
        self.procs = []
        self.tmp = tempfile.mkdtemp(prefix="tavlun-sway-")
        self.runtime = os.path.join(self.tmp, "run")
        os.mkdir(self.runtime, 0o700)
        os.chmod(self.tmp, 0o755)
        self.root = os.geteuid() == 0
        if self.root:
            for path in (self.tmp, self.runtime):
                shutil.chown(path, "nobody", "nogroup")
        ready, config = os.path.join(self.tmp, "ready"), os.path.join(self.tmp, "config")
        with open(config, "w") as out:  # sway runs exec's command through sh
            out.write(f"xwayland enable\ninput * xkb_layout {layout}\n"
                      f"exec printenv DISPLAY > {ready}.tmp && mv {ready}.tmp {ready}\n")
        self.env = {}
        self.sway = self.start(self.as_user(["sway", "-c", config], displays=False))
        wait_until(lambda: os.path.exists(ready) or self.sway.poll() is not None, 15, "sway")
        with open(ready) as f:
            self.display = f.read().strip()
        if not self.display:
            raise RuntimeError("sway started no XWayland")
        [self.socket, swaysock] = [next(os.path.join(self.runtime, n) for n in os.listdir(self.runtime)
                                        if re.fullmatch(p, n)) for p in (r"wayland-\d+", r"sway-ipc\..*")]
        self.env = {k: v for k, v in os.environ.items() if k not in ("QT_QPA_PLATFORM", "XDG_RUNTIME_DIR")}
        self.env.update(DISPLAY=self.display, WAYLAND_DISPLAY=self.socket, SWAYSOCK=swaysock,
                        XDG_SESSION_TYPE="wayland", XDG_CURRENT_DESKTOP="sway")
        if self.root:
            subprocess.run(self.as_user(["xhost", "+si:localuser:root"]), check=True,
                           stdout=subprocess.DEVNULL)
        wait_until(self._server_answers, 15, f"XWayland on {self.display}")

    def as_user(self, argv, displays=True):
        """argv run as the compositor's user, in its environment."""
        prefix = ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"] if self.root else []
        env = ["env", "-i", "PATH=/usr/local/bin:/usr/bin:/bin", f"HOME={self.tmp}",
               f"XDG_RUNTIME_DIR={self.runtime}", "WLR_BACKENDS=headless",
               "WLR_LIBINPUT_NO_DEVICES=1", "WLR_RENDERER=pixman", "LANG=C.UTF-8"]
        if displays:
            env += [f"WAYLAND_DISPLAY={self.socket}", f"DISPLAY={self.display}"]
        return prefix + env + list(argv)


class MutterDesktop(Desktop):
    """A GNOME Wayland session of the tests' own: a private session bus; with `layouts`, headless
    mutter, which takes them from localed on the system bus (a private one, with a stand-in)."""

    BUS = ('<busconfig><type>session</type><listen>unix:dir={tmp}</listen><auth>EXTERNAL</auth>'
           '<policy context="default"><allow send_destination="*"/><allow receive_sender="*"/>'
           '<allow own="*"/></policy></busconfig>')
    LOCALED = """if 1:  # python3-gi, which only the system's interpreter has
        import sys
        from gi.repository import Gio, GLib
        node = Gio.DBusNodeInfo.new_for_xml('<node><interface name="org.freedesktop.locale1"><property '
                                            'name="X11Layout" type="s" access="read"/></interface></node>')
        bus = Gio.bus_get_sync(Gio.BusType.SYSTEM)
        bus.register_object("/org/freedesktop/locale1", node.interfaces[0], None,
                            lambda *a: GLib.Variant("s", sys.argv[1]), None)
        Gio.bus_own_name_on_connection(bus, "org.freedesktop.locale1", 0, None, None)
        GLib.MainLoop().run()"""

    def __init__(self, layouts=None):
        self.procs = []
        self.tmp = tempfile.mkdtemp(prefix="tavlun-mutter-")
        self.env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "XDG_STATE_HOME")}
        self.env.update(XDG_RUNTIME_DIR=os.path.join(self.tmp, "run"), XDG_SESSION_TYPE="wayland",
                        HOME=self.tmp, XDG_CURRENT_DESKTOP="GNOME")
        os.mkdir(self.env["XDG_RUNTIME_DIR"], 0o700)
        self.env["DBUS_SESSION_BUS_ADDRESS"] = self.bus("session")
        if layouts:
            self.env["DBUS_SYSTEM_BUS_ADDRESS"] = self.bus("system")
            self._start(["/usr/bin/python3", "-c", self.LOCALED, layouts])
            self.wait_name("org.freedesktop.locale1", "SYSTEM")
            self._start(["mutter", "--headless", "--wayland", "--no-x11", "--virtual-monitor",
                         "1024x768", "--wayland-display=wayland-tavlun"])
            self.wait_name("org.gnome.Mutter.RemoteDesktop")
            self.env["WAYLAND_DISPLAY"] = "wayland-tavlun"

    def bus(self, kind):
        """Starts a bus of the tests' own; returns its address."""
        config = os.path.join(self.tmp, kind + ".conf")
        os.mkdir(os.path.join(self.tmp, kind))
        with open(config, "w") as f:
            f.write(self.BUS.format(tmp=os.path.join(self.tmp, kind)))
        ready, announce = os.pipe()
        self._start(["dbus-daemon", "--nofork", "--config-file", config,
                     f"--print-address={announce}"], pass_fds=(announce,))
        os.close(announce)
        with os.fdopen(ready) as address:
            return address.readline().strip()

    def wait_name(self, name, bus="SESSION", timeout=20):
        argv = ["dbus-send", "--bus=" + self.env[f"DBUS_{bus}_BUS_ADDRESS"], "--print-reply",
                "--dest=org.freedesktop.DBus", "/org/freedesktop/DBus",
                "org.freedesktop.DBus.NameHasOwner", "string:" + name]
        wait_until(lambda: "true" in self.run(argv, check=False), timeout, f"{name} on the bus")

    def as_user(self, argv):
        return list(argv)
