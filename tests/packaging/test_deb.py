"""The Debian package: built with cpack, its control data and contents
checked, checked by lintian, its dependencies resolved against this system,
then unpacked and started from its desktop entry on a private X server.

The package is unpacked with dpkg-deb rather than installed with dpkg -i:
a test must not replace or remove a tavlun that the machine's user has
installed, nor take the dpkg lock from a build running beside it. Setting
TAVLUN_TEST_DPKG_INSTALL=1 (as root, with no tavlun installed) also runs a
real dpkg -i and dpkg -r."""

import glob
import os
import re
import shutil
import subprocess
import sys
import unittest

from installed import (BUILD_DIR, CPACK, MAIN_TITLE, VERSION, TempDir, exec_argv,
                       offscreen_env, read_desktop_entry, run)

sys.path.insert(0, os.environ["TAVLUN_E2E_DIR"])
from desktop import Desktop, wait_until  # noqa: E402

ARCH = run(["dpkg", "--print-architecture"]).stdout.strip()


def control(deb):
    return run(["dpkg-deb", "-f", deb]).stdout


def control_field(deb, name):
    match = re.search(rf"^{name}: (.*)$", control(deb), re.M)
    return match.group(1) if match else None


def depends_packages(deb):
    """Package names in Depends, alternatives included, versions dropped."""
    names = set()
    for clause in (control_field(deb, "Depends") or "").split(","):
        for alternative in clause.split("|"):
            if alternative.strip():
                names.add(re.split(r"[\s(:]", alternative.strip())[0])
    return names


def owner_of_library(soname):
    """The installed package that holds the library `soname`, as found by the
    dynamic linker's cache."""
    out = run(["ldconfig", "-p"]).stdout
    paths = re.findall(rf"^\s*{re.escape(soname)} \(([^)]*)\) => (\S+)$", out, re.M)
    candidates = []
    for flags, path in paths:
        if "x86-64" in flags or ARCH != "amd64":
            candidates += [path, os.path.realpath(path)]
    for path in list(candidates):
        if path.startswith("/usr/"):
            candidates.append(path[4:])
        else:
            candidates.append("/usr" + path)
    for path in candidates:
        res = run(["dpkg-query", "-S", path], check=False)
        if res.returncode == 0:
            return res.stdout.split(":")[0].strip()
    raise AssertionError(f"no installed package holds {soname} (tried {candidates})")


class DebianPackage(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = TempDir("tavlun-deb-")
        out = os.path.join(cls.tmp.path, "out")
        run([CPACK, "-G", "DEB", "-B", out, "--config",
             os.path.join(BUILD_DIR, "CPackConfig.cmake")])
        debs = glob.glob(os.path.join(out, "*.deb"))
        if len(debs) != 1:
            raise AssertionError(f"cpack made {debs}, expected one package")
        cls.deb = debs[0]
        cls.root = os.path.join(cls.tmp.path, "root")
        run(["dpkg-deb", "-x", cls.deb, cls.root])
        apps = os.path.join(cls.root, "usr", "share", "applications")
        entries = glob.glob(os.path.join(apps, "*.desktop"))
        if len(entries) != 1:
            raise AssertionError(f"expected one desktop entry in the package, found {entries}")
        cls.entry = read_desktop_entry(entries[0])

    @classmethod
    def tearDownClass(cls):
        cls.tmp.close()

    # Control data -----------------------------------------------------------

    def test_file_name_and_control_fields(self):
        self.assertEqual(os.path.basename(self.deb), f"tavlun_{VERSION}_{ARCH}.deb")
        for name, value in (("Package", "tavlun"), ("Version", VERSION), ("Architecture", ARCH)):
            self.assertEqual(control_field(self.deb, name), value)

    def test_depends_covers_every_library_the_program_needs(self):
        binary = os.path.join(self.root, "usr", "bin", "tavlun")
        dynamic = run(["readelf", "-d", binary]).stdout
        needed = re.findall(r"\(NEEDED\)\s+Shared library: \[([^\]]+)\]", dynamic)
        self.assertTrue(needed, "the packaged program needs no shared library?")
        depends = depends_packages(self.deb)
        for soname in needed:
            package = owner_of_library(soname).split(":")[0]
            self.assertIn(package, depends, f"{soname} comes from {package}, not in Depends")
        self.assertRegex(control_field(self.deb, "Depends"), r"libqt6widgets6 \(>= [\d.]+\)",
                         "Depends carries no versions: was dpkg-shlibdeps run?")

    def test_dependencies_resolve_on_this_system(self):
        res = run(["apt-get", "install", "--simulate", "--no-install-recommends", self.deb],
                  check=False, env=dict(os.environ, LC_ALL="C"))
        self.assertEqual(res.returncode, 0, res.stdout + res.stderr)
        self.assertRegex(res.stdout, r"(?m)^Inst tavlun ", res.stdout)

    # Contents ----------------------------------------------------------------

    def test_contents_belong_to_root_under_usr(self):
        listing = run(["dpkg-deb", "-c", self.deb]).stdout.splitlines()
        files = {}
        for line in listing:
            mode, owner, _size, _date, _time, path = line.split(None, 5)
            self.assertEqual(owner, "root/root", line)
            self.assertTrue(path.startswith("./usr/"), line)
            files[path[1:].rstrip("/")] = mode
        self.assertEqual(files.get("/usr/bin/tavlun"), "-rwxr-xr-x")
        for path in ("/usr/share/man/man1/tavlun.1.gz", "/usr/share/doc/tavlun/copyright",
                     "/usr/share/doc/tavlun/changelog.gz"):
            self.assertEqual(files.get(path), "-rw-r--r--", f"{path} missing or not 0644")
        for path, mode in files.items():
            self.assertIn(mode, ("drwxr-xr-x", "-rw-r--r--", "-rwxr-xr-x"), path)

    @unittest.skipUnless(shutil.which("lintian"), "lintian is not installed (scripts/deps.sh)")
    def test_lintian_finds_no_errors_or_warnings(self):
        res = run(["lintian", "--fail-on", "error,warning", self.deb], check=False)
        tags = [line for line in res.stdout.splitlines() if re.match(r"^[EW]: ", line)]
        self.assertEqual(tags, [], res.stdout)
        self.assertEqual(res.returncode, 0, res.stdout + res.stderr)

    # Started as the menu starts it ----------------------------------------------

    def test_menu_entry_opens_the_main_window(self):
        argv = exec_argv(self.entry)
        bindir = os.path.join(self.root, "usr", "bin")
        env = {
            "PATH": bindir + os.pathsep + os.environ.get("PATH", ""),
            "XDG_DATA_DIRS": os.path.join(self.root, "usr", "share") + os.pathsep
            + os.environ.get("XDG_DATA_DIRS", "/usr/local/share:/usr/share"),
        }
        with Desktop() as desktop:
            program = desktop.start(argv, env=env, stdout=subprocess.DEVNULL,
                                    stderr=subprocess.DEVNULL)
            self.assertEqual(os.path.realpath(f"/proc/{program.pid}/exe"),
                             os.path.realpath(os.path.join(bindir, "tavlun")),
                             "Exec= did not start the packaged program")
            window = wait_until(lambda: self.window_of(desktop, program.pid), 15,
                                f"a window titled {MAIN_TITLE!r} of pid {program.pid}")
            self.assertEqual(desktop.title(window), MAIN_TITLE)
            wm_class = desktop.run(["xprop", "-id", str(window), "WM_CLASS"])
            match = re.search(r'WM_CLASS\(STRING\) = "([^"]*)", "([^"]*)"', wm_class)
            self.assertIsNotNone(match, wm_class)
            self.assertEqual(match.group(2), self.entry.get("StartupWMClass"),
                             "the window's WM_CLASS class is not the entry's StartupWMClass")
            self.assertIsNone(program.poll(), "the program ended")

    @staticmethod
    def window_of(desktop, pid):
        for window in desktop.find_windows(MAIN_TITLE):
            out = desktop.run(["xprop", "-id", str(window), "_NET_WM_PID"], check=False)
            if re.search(rf"= {pid}$", out.strip()):
                return window
        return None

    # A real installation, on request ---------------------------------------------

    @unittest.skipUnless(os.environ.get("TAVLUN_TEST_DPKG_INSTALL") == "1",
                         "set TAVLUN_TEST_DPKG_INSTALL=1 to install into this system")
    def test_dpkg_installs_and_removes(self):
        self.assertEqual(os.geteuid(), 0, "dpkg -i needs root")
        status = run(["dpkg-query", "-W", "-f=${Status}", "tavlun"], check=False).stdout
        self.assertNotIn("installed", status.replace("not-installed", ""),
                         "tavlun is already installed here; not touching it")
        desktop_file = f"/usr/share/applications/{self.entry_name()}"
        try:
            run(["dpkg", "-i", self.deb])
            res = run(["/usr/bin/tavlun", "--version"], env=offscreen_env())
            self.assertEqual(res.stdout.strip(), f"tavlun {VERSION}")
            self.assertTrue(os.path.isfile(desktop_file), desktop_file)
        finally:
            run(["dpkg", "-r", "tavlun"])
        self.assertFalse(os.path.exists("/usr/bin/tavlun"), "dpkg -r left the program")
        self.assertFalse(os.path.exists(desktop_file), "dpkg -r left the desktop entry")

    def entry_name(self):
        apps = os.path.join(self.root, "usr", "share", "applications")
        return os.listdir(apps)[0]


if __name__ == "__main__":
    unittest.main(verbosity=2)
