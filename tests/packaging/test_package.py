"""The Debian package, checked by desktop-file-validate, appstreamcli and lintian,
then unpacked (not installed: a tavlun of the machine's own stays) and started:
the command line without a window system, the menu entry on a private X server."""

import glob
import os
import re
import shlex
import subprocess
import sys
import tempfile
import shutil
import unittest

sys.path.insert(0, os.environ["TAVLUN_E2E_DIR"])
from desktop import Desktop  # noqa: E402

BUILD_DIR = os.environ["TAVLUN_BUILD_DIR"]
VERSION = os.environ["TAVLUN_VERSION"]
CPACK = os.environ.get("TAVLUN_CPACK", "cpack")
MAIN_TITLE = "Tavlun    Ver. " + VERSION
# A pedantic remark the project accepts: reverse-DNS ids in the D-Bus style
# carry capitals (org.example.Tavlun).
ACCEPTED_PEDANTIC = {"cid-contains-uppercase-letter"}


def run(argv, **kw):
    return subprocess.run(argv, capture_output=True, text=True, **kw)


class Package(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp(prefix="tavlun-deb-")
        cls.addClassCleanup(shutil.rmtree, cls.tmp, ignore_errors=True)
        out = os.path.join(cls.tmp, "out")
        made = run([CPACK, "-G", "DEB", "-B", out, "--config",
                    os.path.join(BUILD_DIR, "CPackConfig.cmake")])
        debs = glob.glob(os.path.join(out, "*.deb"))
        if made.returncode != 0 or len(debs) != 1:
            raise AssertionError(f"cpack made {debs}:\n{made.stdout}{made.stderr}")
        cls.deb = debs[0]
        cls.root = os.path.join(cls.tmp, "root")
        subprocess.run(["dpkg-deb", "-x", cls.deb, cls.root], check=True)
        [cls.entry] = glob.glob(os.path.join(cls.root, "usr/share/applications/*.desktop"))

    def test_validators_have_nothing_to_say(self):
        res = run(["desktop-file-validate", self.entry])
        self.assertEqual((res.returncode, res.stdout + res.stderr), (0, ""),
                         "desktop-file-validate")

        # validate-tree also checks that the launchable desktop entry exists.
        res = run(["appstreamcli", "validate-tree", "--no-net", "--pedantic",
                   os.path.join(self.root, "usr")])
        issues = re.findall(r"^\s*([EWIP]): \S+: (\S+)", res.stdout, re.M)
        self.assertEqual([f"{level}: {tag}" for level, tag in issues
                          if not (level == "P" and tag in ACCEPTED_PEDANTIC)], [], res.stdout)
        self.assertEqual(res.returncode, 0, res.stdout + res.stderr)

        # Manual pages, hardening, permissions, changelog and copyright. A
        # sanitizer or debug build goes without hardening (see
        # cmake/Hardening.cmake); the build that is shipped has it.
        res = run(["lintian", "--display-info", "--fail-on", "error,warning", self.deb])
        hardened = os.environ.get("TAVLUN_HARDENED") == "ON"
        tags = [line for line in res.stdout.splitlines()
                if re.match(r"^[EW]: ", line) or (hardened and "hardening" in line)]
        self.assertEqual(tags, [], res.stdout)
        self.assertEqual(res.returncode, 0, res.stdout + res.stderr)

    def test_installed_programs_answer_the_command_line_without_a_display(self):
        env = {name: value for name, value in os.environ.items()
               if name not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM")}
        for program, args, status, line in [  # exit status, in the first line
            ("tavlun", ["--help"], 0, "Usage: "),
            ("tavlun", ["-h"], 0, "Usage: "),
            ("tavlun", ["--version"], 0, f"tavlun {VERSION}"),
            ("tavlun", ["--no-such-option"], 2, "tavlun: Unknown option 'no-such-option'."),
            ("tavlun-accessory", ["--version"], 0, VERSION),
        ]:
            res = run([os.path.join(self.root, "usr/bin", program)] + args, env=env, timeout=30)
            output = res.stdout + res.stderr
            self.assertEqual(res.returncode, status, f"{program} {args}: {output}")
            self.assertIn(line, output.splitlines()[0] if output else "", f"{program} {args}")

    def test_menu_entry_opens_the_main_window(self):
        with open(self.entry, encoding="utf-8") as f:
            exec_line = re.search(r"^Exec=(.*)$", f.read(), re.M).group(1)
        argv = [word for word in shlex.split(exec_line) if not re.fullmatch(r"%[a-zA-Z]", word)]
        bindir = os.path.join(self.root, "usr", "bin")
        env = {"PATH": bindir + os.pathsep + os.environ.get("PATH", "")}
        with Desktop() as desktop:
            program = desktop.start(argv, env=env, stdout=subprocess.DEVNULL,
                                    stderr=subprocess.DEVNULL)
            self.assertEqual(os.path.realpath(f"/proc/{program.pid}/exe"),
                             os.path.realpath(os.path.join(bindir, "tavlun")),
                             "Exec= did not start the packaged program")
            window = desktop.wait_window(MAIN_TITLE, 15)
            self.assertEqual(desktop.titles(window), (MAIN_TITLE, MAIN_TITLE))
            self.assertIsNone(program.poll(), "the program ended")


if __name__ == "__main__":
    unittest.main(verbosity=2)
