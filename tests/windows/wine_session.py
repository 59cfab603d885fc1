#!/usr/bin/env python3
"""One wine session for the Windows program's tests: a private X server with a window manager and a fresh wine prefix
with the layout's fonts, COM ports mapped to links (for the tests to point at pseudo-terminals). `start FILE` writes its
environment to FILE (KEY=VALUE lines, read by the tests and wine-run) once it is ready; `stop FILE` ends it. Its
supervisor process ends it on SIGTERM, or by itself after an hour."""

import os
import shutil
import signal
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from desktop import Desktop, wait_until  # noqa: E402

PORTS = ("COM1", "COM2", "COM12")  # each a link in the session's folder, named after it in lower case
FONTS = ("tahoma.ttf", "tahomabd.ttf", "fixedsys.ttf", "vgafix.fon", "ms_sans_serif.ttf", "sserife.fon", "sseriff.fon")


def load(path):
    with open(path) as f:
        return dict(line.rstrip("\n").split("=", 1) for line in f if "=" in line)


def supervise(env_file):
    desktop, server = Desktop(), None
    env = {"DISPLAY": desktop.display, "WINEPREFIX": os.path.join(desktop.tmp, "prefix"), "WINEDEBUG": "-all",
           "WINEDLLOVERRIDES": "mscoree,mshtml=;winemenubuilder.exe=d", "WINEARCH": "win64",
           "TAVLUN_WINE_PORTS": desktop.tmp, "LC_ALL": "C.UTF-8"}
    quiet = {"stdout": subprocess.DEVNULL, "stderr": subprocess.DEVNULL, "env": dict(os.environ, **env)}
    stop, deadline = [], time.monotonic() + 3600
    signal.signal(signal.SIGTERM, lambda *_: stop.append(1))
    try:
        subprocess.run(["wineboot", "-i"], check=True, **quiet)
        for port in PORTS:
            subprocess.run(["wine", "reg", "add", r"HKLM\Software\Wine\Ports", "/v", port, "/t", "REG_SZ",
                            "/d", os.path.join(desktop.tmp, port.lower()), "/f"], check=True, **quiet)
        subprocess.run(["wineserver", "-w"], **quiet)
        for font in FONTS:
            shutil.copy(os.path.join("/usr/share/wine/fonts", font), os.path.join(env["WINEPREFIX"], "drive_c/windows/Fonts"))
        server = subprocess.Popen(["wineserver", "-f", "-p"], **quiet)  # kept running: every test starts warm
        # Wine's own services start with the first program and inherit its output: started here, they hold none of a test's.
        subprocess.run(["wine", "cmd", "/c", "exit"], **quiet)
        with open(env_file + ".tmp", "w") as f:
            f.writelines(f"{key}={value}\n" for key, value in {**env, "TAVLUN_WINE_SUPERVISOR": os.getpid()}.items())
        os.replace(env_file + ".tmp", env_file)
        while not stop and time.monotonic() < deadline:
            time.sleep(0.2)
    finally:
        subprocess.run(["wineserver", "-k"], **quiet)
        if server:
            server.wait()
        desktop.close()


def start(env_file):
    stop(env_file)  # the session of a run that was cut short
    supervisor = subprocess.Popen([sys.executable, os.path.abspath(__file__), "supervise", env_file], start_new_session=True,
                                  stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    wait_until(lambda: os.path.exists(env_file) or supervisor.poll() is not None, 110, "the wine session")
    if not os.path.exists(env_file):
        sys.exit("the wine session did not start")


def stop(env_file):
    if not os.path.exists(env_file):
        return
    pid = int(load(env_file)["TAVLUN_WINE_SUPERVISOR"])
    os.unlink(env_file)
    try:
        with open(f"/proc/{pid}/cmdline", "rb") as cmdline:
            if b"wine_session.py" not in cmdline.read():
                return  # ended long ago; the number is another process's now
        os.kill(pid, signal.SIGTERM)
        wait_until(lambda: not os.path.exists(f"/proc/{pid}") or open(f"/proc/{pid}/stat").read().split()[2] == "Z",
                   30, "the wine session to end")
    except (OSError, ProcessLookupError):
        pass


if __name__ == "__main__":
    {"start": start, "stop": stop, "supervise": supervise}[sys.argv[1]](sys.argv[2])
