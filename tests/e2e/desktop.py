"""Private desktops for end-to-end tests (Xvfb with openbox or i3, headless sway, mutter) that stop what they start."""

import contextlib
import os
import re
import shutil
import subprocess
import tempfile
import time


def wait_until(condition, timeout=10.0, what="condition"):
    deadline = time.monotonic() + timeout
    while not (result := condition()):
        if time.monotonic() > deadline:
            raise AssertionError(f"timed out after {timeout:.0f} s waiting for {what() if callable(what) else what}")
        time.sleep(0.02)
    return result


class Desktop:
    def __init__(self):
        self.procs, self.tmp = [], tempfile.mkdtemp(prefix="tavlun-e2e-")
        self.env = dict(os.environ, XDG_SESSION_TYPE="x11", QT_QPA_PLATFORM="xcb")
        self.env.pop("WAYLAND_DISPLAY", None)
        self.display = self.env["DISPLAY"] = ":" + self.announced(  # a free display, once it takes connections
            ["Xvfb", "-displayfd", "{}", "-screen", "0", "1024x768x24", "-nolisten", "tcp", "-noreset"])
        assert self.display != ":", "Xvfb did not start"
        self.start_window_manager()

    def start_window_manager(self):
        wm_ready = os.path.join(self.tmp, "wm-ready")  # openbox starts it once it manages windows
        self.start(["openbox", "--sm-disable", "--startup", "touch " + wm_ready])
        wait_until(lambda: os.path.exists(wm_ready), 15, "the window manager")

    def start(self, argv, env=None, **kw):  # stopped with the desktop; None in `env` unsets
        env = {k: v for k, v in {**self.env, **(env or {})}.items() if v is not None}
        self.procs.append(subprocess.Popen(argv, env=env, **{"stdout": subprocess.DEVNULL,
                                                              "stderr": subprocess.DEVNULL, **kw}))
        return self.procs[-1]

    def announced(self, argv):  # argv started with a pipe's end for "{}": the line it writes there
        ready, announce = os.pipe()
        self.start([a.replace("{}", str(announce)) for a in argv], pass_fds=(announce,))
        os.close(announce)
        with os.fdopen(ready) as line:
            return line.readline().strip()

    def run(self, argv, check=True, input=None):
        res = subprocess.run(argv, env=self.env, capture_output=True, text=True, input=input)
        if check and res.returncode != 0:
            raise AssertionError(f"{' '.join(argv)} failed: {res.stderr.strip()}")
        return res.stdout

    def close(self):
        for proc in reversed(self.procs):
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

    def find_windows(self, name, pattern=None, visible=True):  # titled `name` or matching `pattern`; mapped
        out = self.run(["xdotool", "search"] + ["--onlyvisible"] * visible + ["--name", pattern or f"^{re.escape(name)}$"],
                       False)
        return [int(line) for line in out.split()]

    def wait_window(self, name, timeout=10.0, pattern=None):
        return wait_until(lambda: self.find_windows(name, pattern), timeout, f"window '{name}'")[0]

    def titles(self, window):  # WM_NAME and _NET_WM_NAME
        out = self.run(["env", "LC_ALL=C.UTF-8", "xprop", "-id", str(window), "WM_NAME", "_NET_WM_NAME"])
        found = dict(re.findall(r'^(\w+)\([^)]*\) = "(.*)"$', out, re.M))
        return found.get("WM_NAME"), found.get("_NET_WM_NAME")

    def geometry(self, window):  # of the client area
        out = self.run(["xwininfo", "-id", str(window)])
        return tuple(int(re.search(label + r":\s+(-?\d+)", out).group(1)) for label in
                     ("Absolute upper-left X", "Absolute upper-left Y", "Width", "Height"))

    def settled_geometry(self, window):  # once two reads 0.1 s apart agree: a new window may still move
        seen = [self.geometry(window)]
        return wait_until(lambda: time.sleep(0.1) or seen.append(self.geometry(window)) or seen[-1] == seen[-2]
                          and seen[-1], 5, "the window to settle")

    def window_state(self, window):
        return self.run(["xprop", "-id", str(window), "_NET_WM_STATE", "WM_STATE"], check=False)

    def click(self, x, y):  # no synchronous move to where the pointer is: it waits 15 s for a motion that never comes
        if self.run(["xdotool", "getmouselocation"]).split()[:2] != [f"x:{x}", f"y:{y}"]:
            self.run(["xdotool", "mousemove", "--sync", str(x), str(y)])
        self.run(["xdotool", "click", "1"])

    def key(self, *keys, window=None):
        self.run(["xdotool", "key"] + (["--window", str(window)] if window else []) + list(keys))

    def activate(self, window):
        self.run(["xdotool", "windowactivate", "--sync", str(window)], check=False)

    def pixels(self, window, x, y, w=1, h=1):  # RGB, from the window: XWayland draws no root window
        return subprocess.run(["import", "-window", str(window), "-crop", f"{w}x{h}+{x}+{y}", "-depth", "8", "rgb:-"],
                              env=self.env, capture_output=True, check=True).stdout

    def as_user(self, argv):
        return list(argv)


class I3Desktop(Desktop):
    """Xvfb with i3, every window floating at its own size; I3SOCK names i3's IPC socket, as i3 sets it."""

    def start_window_manager(self):
        self.env["I3SOCK"] = os.path.join(self.tmp, "i3-ipc")
        with open(config := os.path.join(self.tmp, "i3-config"), "w") as out:
            out.write(f"# i3 config file (v4)\nipc-socket {self.env['I3SOCK']}\nfor_window [class=.] floating enable\n")
        self.start(["i3", "-c", config])
        wait_until(lambda: self.run(["i3-msg", "-t", "get_version"], check=False), 15, "i3")


def tree_nodes(node):  # a sway or i3 layout tree, node by node
    yield node
    for child in node.get("nodes", []) + node.get("floating_nodes", []):
        yield from tree_nodes(child)


class SwayDesktop(Desktop):
    """Headless sway with XWayland; as root, sway and `as_user` clients run as nobody, and root may use XWayland."""

    def __init__(self, layout="us"):
        self.procs, self.tmp = [], tempfile.mkdtemp(prefix="tavlun-sway-")
        self.runtime, self.root = os.path.join(self.tmp, "run"), os.geteuid() == 0
        os.mkdir(self.runtime, 0o700)
        os.chmod(self.tmp, 0o755)
        for path in (self.tmp, self.runtime) * self.root:
            shutil.chown(path, "nobody", "nogroup")
        ready, config = os.path.join(self.tmp, "ready"), os.path.join(self.tmp, "config")
        with open(config, "w") as out:  # sway runs exec's command through sh
            out.write(f"xwayland enable\ninput * xkb_layout {layout}\n"
                      f"exec printenv DISPLAY > {ready}.tmp && mv {ready}.tmp {ready}\n")
        self.env, self.socket, self.display = {}, None, None
        self.sway = self.start(self.as_user(["sway", "-c", config]))
        wait_until(lambda: os.path.exists(ready) or self.sway.poll() is not None, 15, "sway")
        with open(ready) as f:
            self.display = f.read().strip()
        assert self.display, "sway started no XWayland"
        [self.socket, swaysock] = [next(os.path.join(self.runtime, n) for n in os.listdir(self.runtime)
                                        if re.fullmatch(p, n)) for p in (r"wayland-\d+", r"sway-ipc\..*")]
        self.env = {k: v for k, v in os.environ.items() if k not in ("QT_QPA_PLATFORM", "XDG_RUNTIME_DIR")}
        self.env.update(DISPLAY=self.display, WAYLAND_DISPLAY=self.socket, SWAYSOCK=swaysock,
                        XDG_SESSION_TYPE="wayland", XDG_CURRENT_DESKTOP="sway")
        if self.root:
            subprocess.run(self.as_user(["xhost", "+si:localuser:root"]), check=True, stdout=subprocess.DEVNULL)
        wait_until(lambda: self.run(["xdpyinfo"], check=False), 15, f"XWayland on {self.display}")

    def as_user(self, argv):  # as the compositor's user, in its environment
        return (["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"] * self.root +
                ["env", "-i", "PATH=/usr/local/bin:/usr/bin:/bin", f"HOME={self.tmp}", "LANG=C.UTF-8",
                 f"XDG_RUNTIME_DIR={self.runtime}", "WLR_BACKENDS=headless", "WLR_LIBINPUT_NO_DEVICES=1",
                 "WLR_RENDERER=pixman"] +
                [f"WAYLAND_DISPLAY={self.socket}", f"DISPLAY={self.display}"] * bool(self.socket) + list(argv))


class MutterDesktop(Desktop):
    """A private session bus; with `layouts`, headless mutter, which reads them from localed (a stand-in), and with
    `xwayland` its XWayland for X11 clients."""

    BUS = ('<busconfig><type>session</type><listen>unix:dir={}</listen><auth>EXTERNAL</auth><policy context="default">'
           '<allow send_destination="*"/><allow receive_sender="*"/><allow own="*"/></policy></busconfig>')
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

    def __init__(self, layouts=None, xwayland=False):
        self.procs, self.tmp = [], tempfile.mkdtemp(prefix="tavlun-mutter-")
        self.env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "XDG_STATE_HOME")}
        self.env.update(XDG_RUNTIME_DIR=os.path.join(self.tmp, "run"), XDG_SESSION_TYPE="wayland", HOME=self.tmp,
                        XDG_CURRENT_DESKTOP="GNOME")
        os.mkdir(self.env["XDG_RUNTIME_DIR"], 0o700)
        for bus in ("session", "system")[:1 + bool(layouts)]:  # each a bus of the tests' own
            os.mkdir(folder := os.path.join(self.tmp, bus))
            with open(config := folder + ".conf", "w") as f:
                f.write(self.BUS.format(folder))
            self.env[f"DBUS_{bus.upper()}_BUS_ADDRESS"] = self.announced(
                ["dbus-daemon", "--nofork", "--config-file", config, "--print-address={}"])
        if layouts:
            self.start(["/usr/bin/python3", "-c", self.LOCALED, layouts])
            self.wait_name("org.freedesktop.locale1", "SYSTEM")
            mutter = self.start(["mutter", "--headless", "--wayland", "--virtual-monitor", "1024x768",
                                 "--wayland-display=wayland-tavlun"] + ["--no-x11"] * (not xwayland))
            self.wait_name("org.gnome.Mutter.RemoteDesktop")
            self.env["WAYLAND_DISPLAY"] = "wayland-tavlun"
            if xwayland:  # the display that mutter's XWayland took, and the key to it
                self.display = self.env["DISPLAY"] = wait_until(lambda: self.xwayland_display(mutter.pid), 15, "XWayland")
                self.env["XAUTHORITY"] = next(e.path for e in os.scandir(self.env["XDG_RUNTIME_DIR"])
                                              if e.name.startswith(".mutter-Xwaylandauth"))
                wait_until(lambda: self.run(["xdpyinfo"], check=False), 15, f"XWayland on {self.display}")

    @staticmethod
    def xwayland_display(parent):  # of the Xwayland that `parent` started, once it runs
        for entry in os.scandir("/proc"):
            with contextlib.suppress(OSError, ValueError):
                with open(os.path.join(entry.path, "stat")) as stat:
                    if int(stat.read().rsplit(")", 1)[1].split()[1]) != parent:
                        continue
                with open(os.path.join(entry.path, "cmdline"), "rb") as cmdline:
                    argv = cmdline.read().decode().split("\0")
                if argv[0].endswith("Xwayland"):
                    return next((a for a in argv if re.fullmatch(r":\d+", a)), None)
        return None

    def wait_name(self, name, bus="SESSION", timeout=20):
        argv = ["dbus-send", "--bus=" + self.env[f"DBUS_{bus}_BUS_ADDRESS"], "--print-reply",
                "--dest=org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus.NameHasOwner",
                "string:" + name]
        wait_until(lambda: "true" in self.run(argv, check=False), timeout, f"{name} on the bus")


class KwinDesktop(MutterDesktop):
    """Headless KWin, KDE Plasma's compositor, on a private session bus with KDE's portal behind the real
    xdg-desktop-portal; with `xwayland`, its XWayland. As root, everything here runs as nobody, whom alone the bus
    lets in; KWin from a plain copy, as its file capability may not be allowed."""

    PORTAL = "/usr/lib/x86_64-linux-gnu/libexec/xdg-desktop-portal-kde"

    def __init__(self, layouts="us", xwayland=False):
        self.procs, self.tmp, self.root = [], tempfile.mkdtemp(prefix="tavlun-kwin-"), os.geteuid() == 0
        self.env = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY", "XDG_STATE_HOME")}
        self.env.update(HOME=self.tmp, XDG_RUNTIME_DIR=os.path.join(self.tmp, "run"), XDG_SESSION_TYPE="wayland",
                        XDG_CONFIG_HOME=os.path.join(self.tmp, "config"), XDG_CURRENT_DESKTOP="KDE")
        for folder in (self.tmp, self.env["XDG_RUNTIME_DIR"], self.env["XDG_CONFIG_HOME"], bus := self.tmp + "/bus"):
            os.makedirs(folder, 0o700, exist_ok=True)
            self.root and shutil.chown(folder, "nobody", "nogroup")
        with open(config := bus + ".conf", "w") as f:
            f.write(self.BUS.format(bus))
        self.env["DBUS_SESSION_BUS_ADDRESS"] = self.announced(
            ["dbus-daemon", "--nofork", "--config-file", config, "--print-address={}"])
        self.write_layouts(layouts)
        kwin = shutil.copy("/usr/bin/kwin_wayland", self.tmp)
        kwin = self.start([kwin, "--virtual", "--socket", "wayland-tavlun", "--no-lockscreen"] + ["--xwayland"] * xwayland)
        self.env["WAYLAND_DISPLAY"] = "wayland-tavlun"
        wait_until(lambda: os.path.exists(os.path.join(self.env["XDG_RUNTIME_DIR"], "wayland-tavlun")), 15, "KWin")
        if xwayland:  # a free display, which KWin takes without saying
            self.display = self.env["DISPLAY"] = wait_until(lambda: self.xwayland_display(kwin.pid), 15, "XWayland")
            wait_until(lambda: self.run(["xdpyinfo"], check=False), 15, f"XWayland on {self.display}")
            self.root and self.run(["xhost", "+si:localuser:root"])  # for the tools the harness runs itself
        self.start([self.PORTAL], env={"QT_QPA_PLATFORM": "wayland"})
        self.wait_name("org.freedesktop.impl.portal.desktop.kde")
        self.start(["/usr/libexec/xdg-desktop-portal"])
        self.wait_name("org.freedesktop.portal.Desktop")

    def write_layouts(self, layouts):  # read at start, and again on reloadConfig()
        with open(os.path.join(self.env["XDG_CONFIG_HOME"], "kxkbrc"), "w") as f:
            f.write(f"[Layout]\nLayoutList={layouts}\nUse=true\n")

    def reload_config(self, layouts):
        self.write_layouts(layouts)
        self.run(["dbus-send", "--session", "--type=signal", "/Layouts", "org.kde.keyboard.reloadConfig"])

    def set_layout(self, index):  # of two or more
        self.run(["dbus-send", "--session", "--print-reply", "--dest=org.kde.keyboard", "/Layouts",
                  "org.kde.KeyboardLayouts.setLayout", f"uint32:{index}"])

    def start(self, argv, env=None, **kw):
        return super().start(self._user(argv), env, **kw)

    def run(self, argv, check=True, input=None):
        return super().run(self._user(argv), check, input)

    def _user(self, argv):
        return ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"] * self.root + list(argv)
