#!/usr/bin/env python3
"""One wine session for the Windows program's tests: a private X server with
a window manager and a fresh wine prefix in a temporary folder, with the
fonts of the program's layout and COM ports mapped to links that the tests
point at pseudo-terminals. `start FILE` sets it up and writes FILE, the
environment that the tests and tests/windows/wine-run take (KEY=VALUE lines);
`stop FILE` ends what `start` started, by pid, and removes the folder.

A supervisor process holds the session; it ends it on SIGTERM, or by itself
after an hour, should `stop` never come."""

import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from desktop import Desktop, wait_until  # noqa: E402

PORTS = ("COM1", "COM2", "COM12")  # each a link in the session's folder, named after it in lower case
FONTS = ("tahoma.ttf", "tahomabd.ttf", "fixedsys.ttf", "vgafix.fon", "ms_sans_serif.ttf",
         "sserife.fon", "sseriff.fon")
LIFETIME = 3600


def wine_environment(tmp, display):
    return {"DISPLAY": display, "WINEPREFIX": os.path.join(tmp, "prefix"), "WINEDEBUG": "-all",
            "WINEDLLOVERRIDES": "mscoree,mshtml=;winemenubuilder.exe=d", "WINEARCH": "win64",
            "TAVLUN_WINE_PORTS": tmp, "LC_ALL": "C.UTF-8"}


def load(path):
    """The session's environment, as `start` wrote it."""
    with open(path) as f:
        return dict(line.rstrip("\n").split("=", 1) for line in f if "=" in line)


def supervise(env_file, ready_fd):
    desktop = Desktop()
    env = wine_environment(desktop.tmp, desktop.display)
    run_env = dict(os.environ, **env)
    quiet = {"stdout": subprocess.DEVNULL, "stderr": subprocess.DEVNULL, "env": run_env}
    server = None
    try:
        subprocess.run(["wineboot", "-i"], check=True, **quiet)
        for port in PORTS:
            subprocess.run(["wine", "reg", "add", r"HKLM\Software\Wine\Ports", "/v", port, "/t", "REG_SZ",
                            "/d", os.path.join(desktop.tmp, port.lower()), "/f"], check=True, **quiet)
        subprocess.run(["wineserver", "-w"], **quiet)
        fonts = os.path.join(env["WINEPREFIX"], "drive_c", "windows", "Fonts")
        for font in FONTS:
            shutil.copy(os.path.join("/usr/share/wine/fonts", font), fonts)
        # Kept running, so that every test starts warm and sees the ports as mapped now.
        server = subprocess.Popen(["wineserver", "-f", "-p"], **quiet)
        # Wine's own services start with the first program and inherit its
        # output: started here, they hold no test's output open.
        subprocess.run(["wine", "cmd", "/c", "exit"], **quiet)
        with open(env_file + ".tmp", "w") as f:
            f.writelines(f"{key}={value}\n" for key, value in {**env, "TAVLUN_WINE_SUPERVISOR": os.getpid()}.items())
        os.replace(env_file + ".tmp", env_file)
        os.write(ready_fd, b"ok\n")
        os.close(ready_fd)
        stop = []
        signal.signal(signal.SIGTERM, lambda *_: stop.append(1))
        deadline = time.monotonic() + LIFETIME
        while not stop and time.monotonic() < deadline:
            time.sleep(0.2)
    finally:
        subprocess.run(["wineserver", "-k"], **quiet)
        if server:
            server.wait()
        desktop.close()


def start(env_file):
    stop(env_file)  # the session of a run that was cut short, not to be left running
    ready, announce = os.pipe()
    if os.fork() == 0:  # the supervisor, in a session of its own, its output nowhere
        os.close(ready)
        os.setsid()
        null = os.open(os.devnull, os.O_RDWR)
        for fd in (0, 1, 2):
            os.dup2(null, fd)
        try:
            supervise(env_file, announce)
        finally:
            os._exit(0)
    os.close(announce)
    with os.fdopen(ready) as line:
        if line.readline().strip() != "ok":
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
    except OSError:
        return
    try:
        os.kill(pid, signal.SIGTERM)
        wait_until(lambda: not os.path.exists(f"/proc/{pid}") or open(f"/proc/{pid}/stat").read().split()[2] == "Z",
                   30, "the wine session to end")
    except ProcessLookupError:
        pass


if __name__ == "__main__":
    {"start": start, "stop": stop}[sys.argv[1]](sys.argv[2])
